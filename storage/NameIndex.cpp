#include "NameIndex.h"

#include <QHashSeed>
#include <QString>

bool EqualNoCase(QStringView a, QStringView b) {
    // Folding keeps the length in UTF-16 units, so unequal lengths never match.
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t x = a[i].unicode();
        char16_t y = b[i].unicode();
        if (x >= 0x80 || y >= 0x80) // the rest needs Unicode case folding
            return a.sliced(i).compare(b.sliced(i), Qt::CaseInsensitive) == 0;
        if (x >= 'A' && x <= 'Z')
            x += 'a' - 'A';
        if (y >= 'A' && y <= 'Z')
            y += 'a' - 'A';
        if (x != y)
            return false;
    }
    return true;
}

// FNV-1a over the case-folded code points, then a final mix for the low bits.
size_t HashNoCase(QStringView name, size_t seed) {
    std::uint64_t h = 0xcbf29ce484222325ull ^ seed;
    for (qsizetype i = 0; i < name.size(); ++i) {
        char32_t c = name[i].unicode();
        if (c < 0x80) {
            if (c >= 'A' && c <= 'Z')
                c += 'a' - 'A';
        } else {
            if (QChar::isHighSurrogate(c) && i + 1 < name.size() && name[i + 1].isLowSurrogate())
                c = QChar::surrogateToUcs4(static_cast<char16_t>(c), name[++i].unicode());
            c = QChar::toCaseFolded(c);
        }
        h = (h ^ c) * 0x100000001b3ull;
    }
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return static_cast<size_t>(h);
}

// Seeded per process, so that a crafted file cannot pile its names into one chain.
NamePool::NamePool() : m_seed(QHashSeed::globalSeed()) {}
