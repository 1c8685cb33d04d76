#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

// The in-memory INI document behind every layout and settings file access.
// Sections and keys match without regard to case; when a name occurs more than
// once the last occurrence is read and overwritten. Lookups go through hash
// indexes, so reading or writing N keys costs O(N).
class IniDocument {
public:
    // Bytes as stored: UTF-8 after a byte-order mark, CP932 otherwise.
    static IniDocument fromBytes(QByteArrayView bytes);
    static IniDocument fromText(QStringView text);

    // The normal form: each section as its "[name]" line, its lines, an empty line;
    // every line ends in CR LF.
    QString toText() const;
    // CP932 when every character has a CP932 form, else UTF-8 with a byte-order mark.
    QByteArray toBytes() const;

    QString readString(QStringView section, QStringView key, const QString& defaultValue) const;
    int readInteger(QStringView section, QStringView key, int defaultValue) const;

    // Replaces the key's line in place, or appends it to its section (the section
    // to the document). Line breaks in names and value become blanks.
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);

    void clear();
    bool isEmpty() const { return m_sections.empty(); }
    qsizetype sectionCount() const { return static_cast<qsizetype>(m_sections.size()); }

private:
    struct Line {
        QString key; // the whole line when it holds no "="
        QString value;
        bool hasValue = false;
    };
    struct Section {
        QString name;
        std::vector<Line> lines;
        QHash<QString, qsizetype> keyIndex; // case-folded key -> last line holding it
    };

    const Line* findLine(QStringView section, QStringView key) const;
    Section& sectionFor(const QString& name);
    void appendSection(const QString& name);
    void appendLine(QStringView trimmed);

    std::vector<Section> m_sections;
    QHash<QString, qsizetype> m_sectionIndex; // case-folded name -> last section of that name
};

// Integer text as the document reads it: signed decimal, "$" hexadecimal after an
// optional sign, or "0x"/"0X" hexadecimal when longer than 2 characters. Hexadecimal
// takes 32 bits, so $8000000F is -2147483633. nullopt for anything else.
std::optional<int> ParseIniInteger(QStringView text);

// Text without leading and trailing blanks and control characters.
QStringView TrimIniText(QStringView text);
