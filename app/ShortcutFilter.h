#pragma once

#include <QObject>
#include <functional>

class QWidget;

// Hears every key-down and auto-repeat aimed at one window or any of its controls, Alt
// combinations and F10 included, before the control does, and hands its virtual-key
// code on; and every real key-up, but not the up-and-down pairs of the keyboard's
// auto-repeat. It never consumes a key; keys of other windows (the property editor,
// menus, message boxes) are not heard.
class TShortcutFilter : public QObject {
    Q_OBJECT
public:
    using TKeyDown = std::function<void(int keyCode, bool autoRepeat)>;
    using TKeyUp = std::function<void(int keyCode)>;

    TShortcutFilter(QWidget* window, TKeyDown down, TKeyUp up = {});
    ~TShortcutFilter() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    TKeyDown m_down;
    TKeyUp m_up;
};
