#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

// CP932 (Shift-JIS with the Windows extensions) bytes to Unicode. Bytes that are not
// valid CP932 are kept as the lone surrogates U+DC80-U+DCFF (U+DC00 + byte), so that
// EncodeCp932 gives them back unchanged.
QString DecodeCp932(QByteArrayView bytes);

// Unicode to CP932 bytes; the escapes of DecodeCp932 become their original bytes.
// Returns nullopt when a character has no CP932 form.
std::optional<QByteArray> EncodeCp932(QStringView text);

// True for the characters DecodeCp932 uses to keep an invalid byte.
inline bool IsEscapedByte(QChar c) {
    return c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF;
}
