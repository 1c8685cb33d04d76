#include "ButtonStore.h"

#include "ColorBtn.h"
#include "CommandButtonValues.h"

#include <QWidget>

#include <algorithm>

PanelButton StoredButton(const TColorBtn& button) {
    PanelButton stored;
    stored.caption = button.Caption();
    stored.top = button.y();
    stored.left = button.x();
    stored.width = button.width();
    stored.height = button.height();
    stored.motion = PlayNumber(button);
    stored.shortCut = ShortcutKey(button);
    stored.color = button.Color();
    stored.fontColor = button.FontColor();
    stored.pad = PadButton(button);
    stored.repeat = RepeatInterval(button);
    stored.release = ReleasePlay(button);
    return stored;
}

void ApplyStoredButton(TColorBtn& button, const PanelButton& stored) {
    button.SetCaption(stored.caption);
    const QRect geometry = ButtonGeometry(stored);
    if (geometry != button.geometry())
        button.setGeometry(geometry);
    SetPlayNumber(button, stored.motion);
    SetShortcutKey(button, stored.shortCut);
    SetPadButton(button, stored.pad);
    SetRepeatInterval(button, stored.repeat);
    SetReleasePlay(button, stored.release);
    button.SetColor(stored.color);
    button.SetFontColor(stored.fontColor);
}

int WidgetPosition(int v) {
    return std::clamp(v, -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

QRect ButtonGeometry(const PanelButton& stored) {
    auto extent = [](int v) { return std::clamp(v, 0, QWIDGETSIZE_MAX); };
    return QRect(WidgetPosition(stored.left), WidgetPosition(stored.top), extent(stored.width),
                 extent(stored.height));
}
