#include "ShortcutFilter.h"

#include "KeyCodes.h"
#include "KeyboardState.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

TShortcutFilter::TShortcutFilter(QWidget* window, TKeyDown down, TKeyUp up)
    : QObject(window), m_window(window), m_down(std::move(down)), m_up(std::move(up)) {
    qApp->installEventFilter(this);
}

TShortcutFilter::~TShortcutFilter() {
    qApp->removeEventFilter(this);
}

bool TShortcutFilter::eventFilter(QObject* watched, QEvent* event) {
    const bool down = event->type() == QEvent::KeyPress;
    if ((!down && event->type() != QEvent::KeyRelease) || !watched->isWidgetType())
        return false;
    auto* target = static_cast<QWidget*>(watched);
    if (target->window() != m_window)
        return false;
    // A key a control ignores travels on to its parents through this filter again; only
    // its first receiver, the window's focus widget (or the window without one), counts.
    QWidget* first = m_window->focusWidget() ? m_window->focusWidget() : m_window;
    if (target != first)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const int code = VirtualKeyCode(*key);
    if (code == 0)
        return false;
    if (down)
        m_down(code, key->isAutoRepeat());
    else if (!key->isAutoRepeat() && m_up && !IsKeyHeldDown(key->nativeScanCode()))
        // An auto-repeat's key-up that Qt did not mark as one leaves the key down.
        m_up(code);
    return false;
}
