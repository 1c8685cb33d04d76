#include "CommandButtonValues.h"

#include "ColorBtn.h"

#include <QVariant>

namespace {

// The control has no slots for these; they travel with the button as properties.
constexpr const char* RepeatProperty = "tapdeckRepeat";
constexpr const char* ReleaseProperty = "tapdeckRelease";

int IntProperty(const TColorBtn& button, const char* name, int none) {
    const QVariant value = button.property(name);
    return value.isValid() ? value.toInt() : none;
}

} // namespace

int PlayNumber(const TColorBtn& button) {
    return button.Tag();
}

void SetPlayNumber(TColorBtn& button, int number) {
    button.SetTag(number);
}

int ShortcutKey(const TColorBtn& button) {
    return button.Param1();
}

void SetShortcutKey(TColorBtn& button, int keyCode) {
    button.SetParam1(keyCode);
}

QString PadButton(const TColorBtn& button) {
    return button.Param2();
}

void SetPadButton(TColorBtn& button, const QString& name) {
    button.SetParam2(name);
}

int RepeatInterval(const TColorBtn& button) {
    return IntProperty(button, RepeatProperty, NoRepeat);
}

void SetRepeatInterval(TColorBtn& button, int ms) {
    button.setProperty(RepeatProperty, ms);
}

int ReleasePlay(const TColorBtn& button) {
    return IntProperty(button, ReleaseProperty, NoReleasePlay);
}

void SetReleasePlay(TColorBtn& button, int number) {
    button.setProperty(ReleaseProperty, number);
}

bool IsHeldButton(const TColorBtn& button) {
    return RepeatInterval(button) != NoRepeat || ReleasePlay(button) != NoReleasePlay;
}
