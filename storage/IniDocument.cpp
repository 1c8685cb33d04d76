#include "IniDocument.h"

#include "TextEncoding.h"

#include <cstdint>

namespace {

const QByteArray Utf8Bom("\xEF\xBB\xBF");

QString FoldName(QStringView name) {
    return name.toString().toCaseFolded();
}

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
        return fromText(QString::fromUtf8(bytes.sliced(Utf8Bom.size())));
    return fromText(DecodeCp932(bytes));
}

IniDocument IniDocument::fromText(QStringView text) {
    IniDocument doc;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = pos;
        while (end < text.size() && text[end] != QLatin1Char('\r') &&
               text[end] != QLatin1Char('\n'))
            ++end;
        const QStringView line = TrimIniText(text.sliced(pos, end - pos));
        if (end < text.size() && text[end] == QLatin1Char('\r') && end + 1 < text.size() &&
            text[end + 1] == QLatin1Char('\n'))
            ++end;
        pos = end + 1;

        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.size() >= 2 && line.startsWith(QLatin1Char('[')) &&
            line.endsWith(QLatin1Char(']'))) {
            doc.appendSection(TrimIniText(line.sliced(1, line.size() - 2)).toString());
            continue;
        }
        if (!doc.m_sections.empty())
            doc.appendLine(line); // lines before the first section are dropped
    }
    return doc;
}

void IniDocument::appendSection(const QString& name) {
    m_sectionIndex.insert(FoldName(name), static_cast<qsizetype>(m_sections.size()));
    m_sections.push_back(Section{name, {}, {}});
}

void IniDocument::appendLine(QStringView trimmed) {
    Section& section = m_sections.back();
    Line line;
    const qsizetype equals = trimmed.indexOf(QLatin1Char('='));
    if (equals < 0) {
        line.key = trimmed.toString();
    } else {
        line.key = TrimIniText(trimmed.first(equals)).toString();
        line.value = TrimIniText(trimmed.sliced(equals + 1)).toString();
        line.hasValue = true;
        section.keyIndex.insert(FoldName(line.key), static_cast<qsizetype>(section.lines.size()));
    }
    section.lines.push_back(std::move(line));
}

QString IniDocument::toText() const {
    QString text;
    const QLatin1StringView eol("\r\n");
    for (const Section& section : m_sections) {
        text += QLatin1Char('[') + section.name + QLatin1Char(']') + eol;
        for (const Line& line : section.lines) {
            text += line.key;
            if (line.hasValue)
                text += QLatin1Char('=') + line.value;
            text += eol;
        }
        text += eol;
    }
    return text;
}

QByteArray IniDocument::toBytes() const {
    const QString text = toText();
    if (std::optional<QByteArray> cp932 = EncodeCp932(text))
        return *std::move(cp932);
    return Utf8Bom + text.toUtf8();
}

const IniDocument::Line* IniDocument::findLine(QStringView section, QStringView key) const {
    const auto s = m_sectionIndex.constFind(FoldName(section));
    if (s == m_sectionIndex.constEnd())
        return nullptr;
    const Section& found = m_sections[static_cast<size_t>(*s)];
    const auto k = found.keyIndex.constFind(FoldName(key));
    if (k == found.keyIndex.constEnd())
        return nullptr;
    return &found.lines[static_cast<size_t>(*k)];
}

QString IniDocument::readString(QStringView section, QStringView key,
                                const QString& defaultValue) const {
    const Line* line = findLine(section, key);
    return line ? line->value : defaultValue;
}

int IniDocument::readInteger(QStringView section, QStringView key, int defaultValue) const {
    const Line* line = findLine(section, key);
    if (!line)
        return defaultValue;
    return ParseIniInteger(line->value).value_or(defaultValue);
}

IniDocument::Section& IniDocument::sectionFor(const QString& name) {
    const auto s = m_sectionIndex.constFind(FoldName(name));
    if (s != m_sectionIndex.constEnd())
        return m_sections[static_cast<size_t>(*s)];
    appendSection(name);
    return m_sections.back();
}

void IniDocument::writeString(const QString& section, const QString& key, const QString& value) {
    Section& target = sectionFor(WithoutLineBreaks(section));
    Line line{WithoutLineBreaks(key), WithoutLineBreaks(value), true};
    const QString folded = FoldName(line.key);
    const auto k = target.keyIndex.constFind(folded);
    if (k != target.keyIndex.constEnd()) {
        target.lines[static_cast<size_t>(*k)] = std::move(line);
        return;
    }
    target.keyIndex.insert(folded, static_cast<qsizetype>(target.lines.size()));
    target.lines.push_back(std::move(line));
}

void IniDocument::writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

void IniDocument::clear() {
    m_sections.clear();
    m_sectionIndex.clear();
}
