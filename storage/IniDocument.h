#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include "NameIndex.h"

#include <optional>
#include <vector>

// The in-memory INI document behind every layout and settings file access.
// Sections and keys match without regard to case; when a name occurs more than
// once the last occurrence is read and overwritten. Lookups go through hash
// indexes, so reading or writing N keys costs O(N). Lines refer to the parsed text
// or to the written strings instead of copying them.
class IniDocument {
public:
    // Bytes as stored: UTF-8 after a byte-order mark, CP932 otherwise. A byte that is
    // no character in its encoding is kept as an escape (see DecodeCp932) that toBytes
    // writes back as the same byte in either encoding.
    static IniDocument fromBytes(QByteArrayView bytes);
    static IniDocument fromText(const QString& text);

    // The normal form: each section as its "[name]" line, its lines, an empty line;
    // every line ends in CR LF.
    QString toText() const;
    // CP932 when every character has a CP932 form, else UTF-8 with a byte-order mark.
    QByteArray toBytes() const;

    QString readString(QStringView section, QStringView key, const QString& defaultValue) const;
    int readInteger(QStringView section, QStringView key, int defaultValue) const;

    // The same reads with the section looked up once: findSection gives -1 when the
    // section is missing, and reading from -1 gives the default.
    qsizetype findSection(QStringView section) const;
    QString readString(qsizetype section, QStringView key, const QString& defaultValue) const;
    int readInteger(qsizetype section, QStringView key, int defaultValue) const;

    // Replaces the key's line in place, or appends it to its section (the section
    // to the document). Line breaks in names and value become blanks.
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);

    void clear();
    bool isEmpty() const { return m_sections.empty(); }
    qsizetype sectionCount() const { return static_cast<qsizetype>(m_sections.size()); }

private:
    struct Line {
        QStringView key; // the whole line when it holds no "="
        QStringView value;
        qsizetype next = -1; // next line of the same section
        bool hasValue = false;
    };
    struct Section {
        QStringView name;
        qsizetype first = -1;
        qsizetype last = -1;
        NameRegion keys; // last line of each key
    };

    const Line* findLine(qsizetype section, QStringView key) const;
    qsizetype sectionFor(const QString& name);
    qsizetype appendSection(QStringView name);
    void appendLine(qsizetype section, Line line);
    void indexKey(qsizetype section, qsizetype line);
    QStringView keep(const QString& text);

    QString m_source;             // the parsed text; lines point into it
    std::vector<QString> m_owned; // written names and values; lines point into them
    std::vector<Section> m_sections;
    std::vector<Line> m_lines;
    NamePool m_pool;
    NameRegion m_sectionNames; // last section of each name
};

// Integer text as the document reads it: signed decimal, "$" hexadecimal after an
// optional sign, or "0x"/"0X" hexadecimal when longer than 2 characters. Hexadecimal
// takes 32 bits, so $8000000F is -2147483633. nullopt for anything else.
std::optional<int> ParseIniInteger(QStringView text);

// Text without leading and trailing blanks and control characters.
QStringView TrimIniText(QStringView text);
