#pragma once

#include <QObject>
#include <functional>

class QWidget;

// Hears every key-down and auto-repeat aimed at one window or any of its controls, Alt
// combinations and F10 included, before the control does, and hands its virtual-key
// code on. It never consumes a key; keys of other windows (the property editor, menus,
// message boxes) are not heard.
class TShortcutFilter : public QObject {
    Q_OBJECT
public:
    using TDispatch = std::function<void(int keyCode)>;

    TShortcutFilter(QWidget* window, TDispatch dispatch);
    ~TShortcutFilter() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    TDispatch m_dispatch;
};
