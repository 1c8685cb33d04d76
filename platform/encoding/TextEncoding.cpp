#include "TextEncoding.h"

#include <QSysInfo>

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace {

// QString's own layout, so that iconv reads and writes its buffer directly.
constexpr const char* Utf16 =
    QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";

// One conversion descriptor for one call; closed on every path.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter() {
        if (valid())
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts as much of the input as it can into the output buffer and advances
    // both. Returns 0 when all input was taken, else the errno that stopped it.
    int convert(const char*& in, size_t& inLeft, char*& out, size_t& outLeft) {
        char* inPtr = const_cast<char*>(in);
        const size_t result = iconv(m_cd, &inPtr, &inLeft, &out, &outLeft);
        in = inPtr;
        return result == static_cast<size_t>(-1) ? errno : 0;
    }

private:
    iconv_t m_cd;
};

bool IsHighSurrogate(QChar c) {
    return c.unicode() >= 0xD800 && c.unicode() <= 0xDBFF;
}
bool IsLowSurrogate(QChar c) {
    return c.unicode() >= 0xDC00 && c.unicode() <= 0xDFFF;
}

// Length of the run from `from` that holds no escaped byte; fails on an unpaired surrogate.
std::optional<qsizetype> PlainRunLength(QStringView text, qsizetype from) {
    qsizetype i = from;
    while (i < text.size()) {
        const QChar c = text[i];
        if (IsHighSurrogate(c)) {
            if (i + 1 >= text.size() || !IsLowSurrogate(text[i + 1]))
                return std::nullopt;
            i += 2;
            continue;
        }
        if (IsEscapedByte(c))
            break;
        if (IsLowSurrogate(c))
            return std::nullopt;
        ++i;
    }
    return i - from;
}

} // namespace

QString DecodeCp932(QByteArrayView bytes) {
    Converter converter(Utf16, "CP932");
    // A CP932 character of one or two bytes is always one UTF-16 unit.
    QString result(bytes.size(), Qt::Uninitialized);
    char* const begin = reinterpret_cast<char*>(result.data());
    char* out = begin;
    size_t outLeft = static_cast<size_t>(bytes.size()) * sizeof(char16_t);
    const char* in = bytes.data();
    size_t inLeft = static_cast<size_t>(bytes.size());
    auto appendEscape = [&](unsigned char byte) {
        const char16_t escape = byte < 0x80 ? byte : char16_t(0xDC00 + byte);
        std::memcpy(out, &escape, sizeof escape);
        out += sizeof escape;
        outLeft -= sizeof escape;
        ++in;
        --inLeft;
    };
    while (inLeft > 0) {
        // Without the converter every byte above ASCII is kept as an escape.
        const int error = converter.valid() ? converter.convert(in, inLeft, out, outLeft) : EILSEQ;
        if (error == 0 || (error != EILSEQ && error != EINVAL))
            break;
        // Invalid or incomplete sequence: keep its first byte and go on after it.
        appendEscape(static_cast<unsigned char>(*in));
    }
    result.truncate((out - begin) / static_cast<qsizetype>(sizeof(char16_t)));
    return result;
}

std::optional<QByteArray> EncodeCp932(QStringView text) {
    Converter converter("CP932", Utf16);
    if (!converter.valid())
        return std::nullopt;
    // A UTF-16 unit never needs more than two CP932 bytes.
    QByteArray result(text.size() * 2, Qt::Uninitialized);
    char* const begin = result.data();
    char* out = begin;
    size_t outLeft = static_cast<size_t>(result.size());
    qsizetype i = 0;
    while (i < text.size()) {
        if (IsEscapedByte(text[i])) {
            *out++ = static_cast<char>(text[i].unicode() - 0xDC00);
            --outLeft;
            ++i;
            continue;
        }
        const std::optional<qsizetype> run = PlainRunLength(text, i);
        if (!run)
            return std::nullopt;
        const char* in = reinterpret_cast<const char*>(text.data() + i);
        size_t inLeft = static_cast<size_t>(*run) * sizeof(char16_t);
        if (converter.convert(in, inLeft, out, outLeft) != 0)
            return std::nullopt;
        i += *run;
    }
    result.truncate(out - begin);
    return result;
}
