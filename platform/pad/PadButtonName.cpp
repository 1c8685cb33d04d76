#include "PadButtonName.h"

#include <array>

namespace {

constexpr std::array<const char*, static_cast<size_t>(TControllerButton::Count)> Names{
    "A",     "B",       "X",       "Y",        "LB",    "RB",      "LT",      "RT",
    "Back",  "Start",   "LS",      "RS",       "Up",    "Down",    "Left",    "Right",
    "LS-Up", "LS-Down", "LS-Left", "LS-Right", "RS-Up", "RS-Down", "RS-Left", "RS-Right"};

constexpr QLatin1StringView JoystickPrefix("Button");
constexpr QChar PairJoin(u'+');
// SDL reports at most a few hundred buttons; the bound keeps a stored name sane.
constexpr int MaxJoystickButton = 999;

} // namespace

QString PadButtonName(TControllerButton button) {
    const auto index = static_cast<size_t>(button);
    return index < Names.size() ? QString::fromLatin1(Names[index]) : QString();
}

QString JoystickButtonName(int number) {
    return JoystickPrefix + QString::number(number);
}

bool IsPadButtonName(const QString& name) {
    for (const char* known : Names)
        if (name == QLatin1StringView(known))
            return true;
    if (!name.startsWith(JoystickPrefix))
        return false;
    const QStringView digits = QStringView(name).sliced(JoystickPrefix.size());
    // Written as JoystickButtonName writes it: no sign, no leading zero.
    if (digits.isEmpty() || digits.front() == u'0' || digits.size() > 3)
        return false;
    bool ok = false;
    const int number = digits.toInt(&ok);
    return ok && number >= 1 && number <= MaxJoystickButton && digits.front().isDigit();
}

QString PadPairName(const QString& first, const QString& second) {
    return first + PairJoin + second;
}

QStringList PadPairParts(const QString& name) {
    const QStringList parts = name.split(PairJoin);
    if (parts.size() != 2 || parts.front() == parts.back() || !IsPadButtonName(parts.front()) ||
        !IsPadButtonName(parts.back()))
        return {};
    return parts;
}
