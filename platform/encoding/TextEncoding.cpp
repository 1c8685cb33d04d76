#include "TextEncoding.h"

#include <cerrno>
#include <iconv.h>

namespace {

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

    // Converts as much of [in, in + inLeft) as it can and appends the output to `out`.
    // Returns 0 when all input was taken, else the errno that stopped it.
    int convert(const char*& in, size_t& inLeft, QByteArray& out, size_t perByte) {
        const qsizetype start = out.size();
        out.resize(start + static_cast<qsizetype>(inLeft * perByte + 16));
        char* inPtr = const_cast<char*>(in);
        char* outPtr = out.data() + start;
        size_t outLeft = inLeft * perByte + 16;
        const size_t result = iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft);
        const int error = result == static_cast<size_t>(-1) ? errno : 0;
        out.resize(outPtr - out.data());
        in = inPtr;
        return error;
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
    QString result;
    Converter converter("UTF-8", "CP932");
    if (!converter.valid()) {
        // Without the converter every byte above ASCII is kept as an escape.
        for (char b : bytes) {
            const auto u = static_cast<unsigned char>(b);
            result.append(u < 0x80 ? QChar(u) : QChar(0xDC00 + u));
        }
        return result;
    }
    result.reserve(bytes.size());
    const char* in = bytes.data();
    size_t inLeft = static_cast<size_t>(bytes.size());
    QByteArray utf8;
    while (inLeft > 0) {
        utf8.clear();
        // A CP932 byte never needs more than 3 bytes of UTF-8.
        const int error = converter.convert(in, inLeft, utf8, 3);
        result.append(QString::fromUtf8(utf8));
        if (error == 0)
            break;
        if (error != EILSEQ && error != EINVAL)
            break;
        // Invalid or incomplete sequence: keep its first byte and go on after it.
        result.append(QChar(0xDC00 + static_cast<unsigned char>(*in)));
        ++in;
        --inLeft;
    }
    return result;
}

std::optional<QByteArray> EncodeCp932(QStringView text) {
    Converter converter("CP932", "UTF-8");
    if (!converter.valid())
        return std::nullopt;
    QByteArray result;
    result.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        if (IsEscapedByte(text[i])) {
            result.append(static_cast<char>(text[i].unicode() - 0xDC00));
            ++i;
            continue;
        }
        const std::optional<qsizetype> run = PlainRunLength(text, i);
        if (!run)
            return std::nullopt;
        const QByteArray utf8 = text.mid(i, *run).toUtf8();
        const char* in = utf8.constData();
        size_t inLeft = static_cast<size_t>(utf8.size());
        // Two CP932 bytes at most for every UTF-8 byte.
        if (converter.convert(in, inLeft, result, 2) != 0)
            return std::nullopt;
        i += *run;
    }
    return result;
}
