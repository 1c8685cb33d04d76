#include "FuzzSupport.h"
#include "IniDocument.h"
#include "PanelLayout.h"

#include <QGuiApplication>

// Any bytes: the written normal form parses to the same document, writes the same bytes
// again, and gives the same panel as the first parse.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartFuzzApplication<QGuiApplication>("fuzz_inidocument");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const IniDocument first = IniDocument::fromBytes(bytes);
    const QByteArray written = first.toBytes();
    const IniDocument second = IniDocument::fromBytes(written);
    FUZZ_CHECK(second.sectionCount() == first.sectionCount());
    FUZZ_CHECK(second.toText() == first.toText());
    FUZZ_CHECK(second.toBytes() == written);
    const QSize screen(1280, 1024);
    FUZZ_CHECK(LayoutFromDocument(second, screen) == LayoutFromDocument(first, screen));
    return 0;
}
