#include "KeyName.h"

#include <QChar>

#include <cstdlib>

namespace {

struct FixedName {
    int code;
    const char16_t* name;
};

// Full-width forms are written as escapes: they look like their ASCII twins.
constexpr FixedName kFixedNames[] = {
    {8, u"Back Space"},
    {13, u"Enter"},
    {16, u"Shift"},
    {17, u"Ctrl"},
    {27, u"ESC"},
    {32, u"Space"},
    {33, u"Page Up"},
    {34, u"Page Down"},
    {35, u"End"},
    {36, u"Home"},
    {37, u"\u2190"},
    {38, u"\u2191"},
    {39, u"\u2192"},
    {40, u"\u2193"},
    {44, u"\uFF0C)"},
    {45, u"Insert"},
    {46, u"Delete"},
    {106, u"テンキー [\uFF0A]"},
    {107, u"テンキー [\uFF0B]"},
    {108, u"テンキー [\u3000]"},
    {109, u"テンキー [\uFF0D]"},
    {110, u"テンキー [\uFF0E]"},
    {111, u"テンキー [\uFF0F]"},
    {144, u"Num Lock"},
    {145, u"Scroll Lock"},
};

// A prefix, one full-width character counted from `first`, and a closing bracket.
QString Composed(const char16_t* prefix, char16_t first, int offset) {
    return QString::fromUtf16(prefix) + QChar(static_cast<char16_t>(first + offset)) + u']';
}

QString Name(int code) {
    if (code >= 48 && code <= 57)
        return Composed(u"数字 [", u'\uFF10', code - 48);
    if (code >= 65 && code <= 90)
        return Composed(u"ローマ字 [", u'\uFF21', code - 65);
    if (code >= 96 && code <= 105)
        return Composed(u"テンキー [", u'\uFF10', code - 96);
    if (code >= 112 && code <= 135)
        return QChar(u'\uFF26') + QString::number(code - 111);
    for (const FixedName& entry : kFixedNames) {
        if (entry.code == code)
            return QString::fromUtf16(entry.name);
    }
    return QString();
}

} // namespace

QString KeyName(int code) {
    if (code == -1)
        return QStringLiteral("OFF");
    // The number pattern "000": a minus sign, then at least three digits. 64 bits so that
    // the smallest integer has a magnitude.
    const long long value = code;
    QString number = QString::number(std::llabs(value)).rightJustified(3, u'0');
    if (value < 0)
        number.prepend(u'-');
    return number + QStringLiteral("  ") + Name(code);
}
