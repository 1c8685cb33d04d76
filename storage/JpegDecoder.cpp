#include "JpegDecoder.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

namespace {

// More scans than this is a hostile progressive file that would decode for minutes.
constexpr long MaxScans = 1000;

struct ErrorManager {
    jpeg_error_mgr base;
    jmp_buf jump;
};

[[noreturn]] void JumpOnError(j_common_ptr cinfo) {
    longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// libjpeg decodes on past a warning (stray bytes before a marker, say), so warnings
// are accepted, but for data that ends before the picture does: the missing part would
// be filled with grey. Nothing is printed.
void JumpOnMissingData(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF)
        longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void PrintNothing(j_common_ptr) {}

void CheckScanCount(j_common_ptr cinfo) {
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > MaxScans)
        longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Adobe CMYK JPEGs store the inks inverted.
QRgb CmykToRgb(const JSAMPLE* p) {
    const int k = p[3];
    return qRgb(p[0] * k / 255, p[1] * k / 255, p[2] * k / 255);
}

// Everything that must survive a longjmp lives outside the function that calls setjmp.
struct DecodeState {
    jpeg_decompress_struct cinfo{};
    ErrorManager errors{};
    jpeg_progress_mgr progress{};
    std::vector<JSAMPLE> row;
    QImage image;
};

// Creating the decoder can fail too (out of memory), so it jumps to a target of its own.
bool CreateDecoder(DecodeState& s) {
    if (setjmp(s.errors.jump))
        return false;
    jpeg_create_decompress(&s.cinfo);
    s.progress.progress_monitor = CheckScanCount;
    s.cinfo.progress = &s.progress;
    return true;
}

bool DecodeInto(DecodeState& s, QByteArrayView bytes) {
    if (setjmp(s.errors.jump))
        return false;
    jpeg_mem_src(&s.cinfo, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&s.cinfo, TRUE);
    const qint64 pixels = qint64(s.cinfo.image_width) * s.cinfo.image_height;
    if (pixels <= 0 || pixels > MaxPicturePixels)
        return false;
    const bool cmyk = s.cinfo.jpeg_color_space == JCS_CMYK || s.cinfo.jpeg_color_space == JCS_YCCK;
    s.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&s.cinfo);
    const int width = static_cast<int>(s.cinfo.output_width);
    const int channels = s.cinfo.output_components;
    s.image = QImage(width, static_cast<int>(s.cinfo.output_height), QImage::Format_RGB32);
    if (s.image.isNull())
        return false;
    s.row.resize(static_cast<size_t>(width) * static_cast<size_t>(channels));
    while (s.cinfo.output_scanline < s.cinfo.output_height) {
        const int y = static_cast<int>(s.cinfo.output_scanline);
        JSAMPROW rows[1] = {s.row.data()};
        jpeg_read_scanlines(&s.cinfo, rows, 1);
        auto* out = reinterpret_cast<QRgb*>(s.image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const JSAMPLE* p = s.row.data() + static_cast<size_t>(x) * channels;
            out[x] = cmyk ? CmykToRgb(p) : qRgb(p[0], p[1], p[2]);
        }
    }
    jpeg_finish_decompress(&s.cinfo);
    return true;
}

} // namespace

std::optional<QImage> DecodeJpeg(QByteArrayView bytes) {
    if (bytes.isEmpty())
        return std::nullopt;
    DecodeState state;
    state.cinfo.err = jpeg_std_error(&state.errors.base);
    state.errors.base.error_exit = JumpOnError;
    state.errors.base.emit_message = JumpOnMissingData;
    state.errors.base.output_message = PrintNothing;
    const bool ok = CreateDecoder(state) && DecodeInto(state, bytes);
    // Safe after a failed create as well: it frees only what was allocated.
    jpeg_destroy_decompress(&state.cinfo);
    if (!ok)
        return std::nullopt;
    return std::move(state.image);
}
