#include "ShortcutFilter.h"

#include "KeyCodes.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

TShortcutFilter::TShortcutFilter(QWidget* window, TDispatch dispatch)
    : QObject(window), m_window(window), m_dispatch(std::move(dispatch)) {
    qApp->installEventFilter(this);
}

TShortcutFilter::~TShortcutFilter() {
    qApp->removeEventFilter(this);
}

bool TShortcutFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto* target = static_cast<QWidget*>(watched);
    if (target->window() != m_window)
        return false;
    // A key a control ignores travels on to its parents through this filter again; only
    // its first receiver, the window's focus widget (or the window without one), counts.
    QWidget* first = m_window->focusWidget() ? m_window->focusWidget() : m_window;
    if (target != first)
        return false;
    const int code = VirtualKeyCode(*static_cast<QKeyEvent*>(event));
    if (code != 0)
        m_dispatch(code);
    return false;
}
