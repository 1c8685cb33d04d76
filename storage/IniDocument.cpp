#include "IniDocument.h"

#include "TextEncoding.h"

#include <QStringDecoder>

#include <cstdint>

namespace {

const QByteArray Utf8Bom("\xEF\xBB\xBF");

// A value that held a line break would split into two lines on disk.
QString WithoutLineBreaks(const QString& text) {
    if (!text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')))
        return text;
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
            continue; // CR LF becomes one blank
        result.append(c == QLatin1Char('\r') || c == QLatin1Char('\n') ? QLatin1Char(' ') : c);
    }
    return result;
}

struct Utf8Char {
    char32_t code = 0;
    int length = 0; // 0: no valid sequence starts here
};

// The character whose UTF-8 sequence starts at bytes[at]. Overlong forms, surrogates,
// code points beyond U+10FFFF and cut sequences are no characters.
Utf8Char ReadUtf8Char(QByteArrayView bytes, qsizetype at) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    if (lead < 0x80)
        return {lead, 1};
    int length = 0;
    char32_t code = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
        least = 0x10000;
    } else {
        return {};
    }
    if (bytes.size() - at < length)
        return {};
    for (int k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(bytes[at + k]);
        if ((next & 0xC0u) != 0x80u)
            return {};
        code = (code << 6) | (next & 0x3Fu);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return {};
    return {code, length};
}

// UTF-8 with every byte outside a valid sequence kept as the escape DecodeCp932 uses,
// so that a save in either encoding writes the byte back unchanged.
QString DecodeUtf8KeepingBytes(QByteArrayView bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (!decoder.hasError())
        return text;
    text.clear();
    text.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        const Utf8Char c = ReadUtf8Char(bytes, at);
        if (c.length == 0) {
            text.append(QChar(char16_t(0xDC00 + static_cast<unsigned char>(bytes[at]))));
            ++at;
            continue;
        }
        // Not QString::fromUcs4, which drops a U+FEFF as a byte-order mark: the
        // characters on either side of it would then meet.
        if (QChar::requiresSurrogates(c.code)) {
            text.append(QChar(QChar::highSurrogate(c.code)));
            text.append(QChar(QChar::lowSurrogate(c.code)));
        } else {
            text.append(QChar(char16_t(c.code)));
        }
        at += c.length;
    }
    return text;
}

// UTF-8 in which every escape of DecodeCp932 becomes its byte again.
QByteArray EncodeUtf8KeepingBytes(QStringView text) {
    QByteArray bytes;
    bytes.reserve(text.size() * 3);
    qsizetype run = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i; // a pair is one character, even when its second half looks like an escape
            continue;
        }
        if (!IsEscapedByte(text[i]))
            continue;
        bytes += text.sliced(run, i - run).toUtf8();
        bytes += static_cast<char>(text[i].unicode() - 0xDC00);
        run = i + 1;
    }
    bytes += text.sliced(run).toUtf8();
    return bytes;
}

int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

std::optional<std::uint32_t> ParseHex(QStringView digits) {
    if (digits.isEmpty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (QChar c : digits) {
        const int d = HexDigit(c);
        if (d < 0)
            return std::nullopt;
        value = value * 16 + static_cast<unsigned>(d);
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

} // namespace

QStringView TrimIniText(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= ' ')
        ++begin;
    while (end > begin && text[end - 1].unicode() <= ' ')
        --end;
    return text.sliced(begin, end - begin);
}

std::optional<int> ParseIniInteger(QStringView text) {
    if (text.size() > 2 && text[0] == QLatin1Char('0') &&
        (text[1] == QLatin1Char('x') || text[1] == QLatin1Char('X'))) {
        const auto hex = ParseHex(text.sliced(2));
        if (!hex)
            return std::nullopt;
        return static_cast<int>(*hex);
    }
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i < text.size() && text[i] == QLatin1Char('$')) {
        const auto hex = ParseHex(text.sliced(i + 1));
        if (!hex)
            return std::nullopt;
        // 32-bit wrap, as hexadecimal colour values rely on.
        return static_cast<int>(negative ? 0u - *hex : *hex);
    }
    if (i >= text.size())
        return std::nullopt;
    std::int64_t value = 0;
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    for (; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < '0' || u > '9')
            return std::nullopt;
        value = value * 10 + (u - '0');
        if (value > limit)
            return std::nullopt;
    }
    return static_cast<int>(negative ? -value : value);
}

IniDocument IniDocument::fromBytes(QByteArrayView bytes) {
    if (bytes.startsWith(Utf8Bom))
        return fromText(DecodeUtf8KeepingBytes(bytes.sliced(Utf8Bom.size())));
    return fromText(DecodeCp932(bytes));
}

IniDocument IniDocument::fromText(const QString& text) {
    IniDocument doc;
    doc.m_source = text;
    const QStringView source(doc.m_source);
    // About one line in 14 characters in layout files; a guess that saves rehashing.
    doc.m_lines.reserve(static_cast<size_t>(source.size() / 14));
    doc.m_pool.reserve(static_cast<size_t>(source.size() / 4));
    qsizetype section = -1;
    qsizetype pos = 0;
    while (pos < source.size()) {
        qsizetype end = pos;
        while (end < source.size() && source[end] != QLatin1Char('\r') &&
               source[end] != QLatin1Char('\n'))
            ++end;
        const QStringView line = TrimIniText(source.sliced(pos, end - pos));
        if (end + 1 < source.size() && source[end] == QLatin1Char('\r') &&
            source[end + 1] == QLatin1Char('\n'))
            ++end;
        pos = end + 1;

        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.size() >= 2 && line.startsWith(QLatin1Char('[')) &&
            line.endsWith(QLatin1Char(']'))) {
            section = doc.appendSection(TrimIniText(line.sliced(1, line.size() - 2)));
            continue;
        }
        if (section < 0)
            continue; // lines before the first section are dropped
        Line entry;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0) {
            entry.key = line;
        } else {
            entry.key = TrimIniText(line.first(equals));
            entry.value = TrimIniText(line.sliced(equals + 1));
            entry.hasValue = true;
        }
        doc.appendLine(section, entry);
    }
    return doc;
}

qsizetype IniDocument::appendSection(QStringView name) {
    const qsizetype index = static_cast<qsizetype>(m_sections.size());
    m_sections.push_back(Section{name, -1, -1, NameRegion()});
    m_pool.insert(m_sectionNames, name, static_cast<std::uint32_t>(index),
                  [this](std::uint32_t i) { return m_sections[i].name; });
    return index;
}

void IniDocument::appendLine(qsizetype section, Line line) {
    const qsizetype index = static_cast<qsizetype>(m_lines.size());
    m_lines.push_back(line);
    if (line.hasValue)
        indexKey(section, index);
    Section& s = m_sections[static_cast<size_t>(section)];
    if (s.last >= 0)
        m_lines[static_cast<size_t>(s.last)].next = index;
    else
        s.first = index;
    s.last = index;
}

void IniDocument::indexKey(qsizetype section, qsizetype line) {
    m_pool.insert(m_sections[static_cast<size_t>(section)].keys,
                  m_lines[static_cast<size_t>(line)].key, static_cast<std::uint32_t>(line),
                  [this](std::uint32_t i) { return m_lines[i].key; });
}

QStringView IniDocument::keep(const QString& text) {
    m_owned.push_back(WithoutLineBreaks(text));
    return QStringView(m_owned.back());
}

QString IniDocument::toText() const {
    qsizetype size = 0;
    for (const Section& section : m_sections)
        size += section.name.size() + 6;
    for (const Line& line : m_lines)
        size += line.key.size() + line.value.size() + 3;
    QString text;
    text.reserve(size);
    const QLatin1StringView eol("\r\n");
    for (const Section& section : m_sections) {
        text.append(QLatin1Char('[')).append(section.name).append(QLatin1Char(']')).append(eol);
        for (qsizetype i = section.first; i >= 0; i = m_lines[static_cast<size_t>(i)].next) {
            const Line& line = m_lines[static_cast<size_t>(i)];
            text.append(line.key);
            if (line.hasValue)
                text.append(QLatin1Char('=')).append(line.value);
            text.append(eol);
        }
        text.append(eol);
    }
    return text;
}

QByteArray IniDocument::toBytes() const {
    const QString text = toText();
    // A kept byte written beside another can pair up with it into one character when
    // read back (a CP932 lead byte before "]" or "="), changing sections and keys. An
    // encoding is used only when it reads back as the same text.
    std::optional<QByteArray> cp932 = EncodeCp932(text);
    if (cp932 && DecodeCp932(*cp932) == text)
        return *std::move(cp932);
    const QByteArray utf8 = EncodeUtf8KeepingBytes(text);
    if (DecodeUtf8KeepingBytes(utf8) == text)
        return Utf8Bom + utf8;
    // Bytes that no encoding keeps apart become U+FFFD: the file stays well-formed.
    QString replaced = text;
    for (QChar& c : replaced)
        if (IsEscapedByte(c))
            c = QChar::ReplacementCharacter;
    return Utf8Bom + replaced.toUtf8();
}

qsizetype IniDocument::findSection(QStringView section) const {
    return m_pool.find(m_sectionNames, section,
                       [this](std::uint32_t i) { return m_sections[i].name; });
}

const IniDocument::Line* IniDocument::findLine(qsizetype section, QStringView key) const {
    if (section < 0)
        return nullptr;
    const qsizetype line = m_pool.find(m_sections[static_cast<size_t>(section)].keys, key,
                                       [this](std::uint32_t i) { return m_lines[i].key; });
    return line < 0 ? nullptr : &m_lines[static_cast<size_t>(line)];
}

QString IniDocument::readString(qsizetype section, QStringView key,
                                const QString& defaultValue) const {
    const Line* line = findLine(section, key);
    return line ? line->value.toString() : defaultValue;
}

int IniDocument::readInteger(qsizetype section, QStringView key, int defaultValue) const {
    const Line* line = findLine(section, key);
    if (!line)
        return defaultValue;
    return ParseIniInteger(line->value).value_or(defaultValue);
}

QString IniDocument::readString(QStringView section, QStringView key,
                                const QString& defaultValue) const {
    return readString(findSection(section), key, defaultValue);
}

int IniDocument::readInteger(QStringView section, QStringView key, int defaultValue) const {
    return readInteger(findSection(section), key, defaultValue);
}

qsizetype IniDocument::sectionFor(const QString& name) {
    const QStringView clean = keep(name);
    const qsizetype found = findSection(clean);
    if (found >= 0) {
        m_owned.pop_back();
        return found;
    }
    return appendSection(clean);
}

void IniDocument::writeString(const QString& section, const QString& key, const QString& value) {
    const qsizetype target = sectionFor(section);
    const QStringView cleanKey = keep(key);
    const QStringView cleanValue = keep(value);
    const Line* found = findLine(target, cleanKey);
    if (found) {
        Line& line = m_lines[static_cast<size_t>(found - m_lines.data())];
        line.key = cleanKey;
        line.value = cleanValue;
        return;
    }
    appendLine(target, Line{cleanKey, cleanValue, -1, true});
}

void IniDocument::writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

void IniDocument::clear() {
    m_sections.clear();
    m_lines.clear();
    m_pool.clear();
    m_sectionNames = NameRegion();
    m_owned.clear();
    m_source.clear();
}
