#include "FuzzSupport.h"
#include "IniDocument.h"
#include "PanelLayout.h"

#include <QGuiApplication>

#include <algorithm>

// Any layout file: the panel it describes is within the button limit, and a file written
// from it reads back to the same panel and the same buttons.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartFuzzApplication<QGuiApplication>("fuzz_panellayout");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QSize screen(1280, 1024);
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const PanelLayout loaded = LayoutFromDocument(IniDocument::fromBytes(bytes), screen);
    FUZZ_CHECK(loaded.buttonCounter <= MaxLayoutButtons);
    FUZZ_CHECK(loaded.buttons.size() == size_t(std::max(loaded.buttonCounter, 0)));
    for (const PanelButton& button : loaded.buttons)
        FUZZ_CHECK(button.fontColor == ContrastTextColor(button.color));

    IniDocument saved;
    WriteLayoutDocument(saved, loaded);
    const QByteArray file = saved.toBytes();
    PanelLayout again = LayoutFromDocument(IniDocument::fromBytes(file), screen);
    // A count below 1 is saved as the number of buttons, 0.
    again.buttonCounter = loaded.buttonCounter;
    FUZZ_CHECK(again == loaded);
    return 0;
}
