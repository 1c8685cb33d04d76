#include "BackgroundPicture.h"
#include "FuzzSupport.h"
#include "JpegDecoder.h"

namespace {

void CheckPicture(const std::optional<QImage>& picture) {
    if (!picture)
        return;
    FUZZ_CHECK(!picture->isNull());
    FUZZ_CHECK(qint64(picture->width()) * picture->height() <= MaxPicturePixels);
    // Every row is there to be drawn.
    FUZZ_CHECK(picture->constScanLine(picture->height() - 1) != nullptr);
}

} // namespace

// Any bytes through both decoders: a picture within the pixel limit, or nothing.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    CheckPicture(DecodeJpeg(bytes));
    CheckPicture(DecodeBitmap(bytes));
    return 0;
}
