#include "EditKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

TEditKeys::TEditKeys(QWidget* panel, THandler handler)
    : QObject(panel), m_panel(panel), m_handler(std::move(handler)) {
    qApp->installEventFilter(this);
}

TEditKeys::~TEditKeys() {
    qApp->removeEventFilter(this);
}

TEditKeys::TUndoKey TEditKeys::UndoKeyOf(const QKeyEvent& key) {
    const Qt::KeyboardModifiers mods =
        key.modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    if (key.key() == Qt::Key_Z && mods == Qt::ControlModifier)
        return TUndoKey::Undo;
    if ((key.key() == Qt::Key_Y && mods == Qt::ControlModifier) ||
        (key.key() == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier)))
        return TUndoKey::Redo;
    return TUndoKey::None;
}

bool TEditKeys::FieldUndoesItself(const QKeyEvent& key) const {
    const auto* field = qobject_cast<const QLineEdit*>(QApplication::focusWidget());
    if (!field || field->isReadOnly())
        return false;
    switch (UndoKeyOf(key)) {
    case TUndoKey::Undo:
        return field->isUndoAvailable();
    case TUndoKey::Redo:
        return field->isRedoAvailable();
    case TUndoKey::None:
        break;
    }
    return false;
}

bool TEditKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    QWidget* active = QApplication::activeWindow();
    const bool inPanel = active == m_panel;
    if (!inPanel && (!m_editor || active != m_editor))
        return false;
    // A key travels from its first receiver up to the window; it counts once.
    auto* target = static_cast<QWidget*>(watched);
    QWidget* first = active->focusWidget() ? active->focusWidget() : active;
    if (target != first)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    return !FieldUndoesItself(*key) && m_handler(*key, inPanel);
}
