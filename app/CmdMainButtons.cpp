// The command buttons' own handlers: selecting, dragging, pressing and shortcut keys.
#include "CmdMain.h"

#include "ButtonDrag.h"
#include "Cmd.h"
#include "ColorBtn.h"
#include "CommX.h"
#include "MotionEditorLink.h"
#include "PortRecovery.h"
#include "SelectLink.h"

#include <QMouseEvent>
#include <utility>

namespace {

constexpr int NoPlayNumber = -1;
constexpr int NoShortcut = -1;

} // namespace

void TCmdMain::ButtonMouseDown(TColorBtn* button, Qt::MouseButton, TShiftState shift, int x,
                               int y) {
    SelectedButtonName = button->objectName();
    if (m_editor)
        m_editor->ShowButtonProperties();
    // Drawn above the buttons it overlaps; the component list keeps its order.
    button->raise();
    if (shift == TShiftState(ssLeft))
        DragOrigin = QPoint(x, y);
}

void TCmdMain::ButtonMouseMove(TColorBtn* button, TShiftState shift, int x, int y) {
    if (shift == TShiftState(ssLeft)) {
        if (!EditMode())
            return;
        const TDragZone zone = CursorZone(button->cursor().shape());
        SetButtonGeometry(*button,
                          DragStep(zone, button->geometry(), QPoint(x, y), DragOrigin, size()));
        SelectedButtonName = button->objectName();
        if (m_editor)
            m_editor->ShowButtonProperties();
        return;
    }
    if (shift != TShiftState())
        return;
    // The zone is decided only while nothing is held, so it stays fixed for a whole drag.
    const TDragZone zone =
        EditMode() ? DragZoneAt(x, y, button->width(), button->height()) : TDragZone::Body;
    button->setCursor(ZoneCursor(zone));
}

void TCmdMain::SetButtonGeometry(TColorBtn& button, const QRect& geometry) {
    if (geometry.size() != button.size())
        button.resize(geometry.size());
    if (geometry.topLeft() != button.pos())
        button.move(geometry.topLeft());
}

// Presses never nest: one that comes in while the board is being waited for (the wait
// keeps the event loop turning) becomes the pending press, replacing an earlier pending
// one, and runs as soon as the running one is done.
void TCmdMain::PressButton(TColorBtn* button) {
    if (!button || EditMode() || button->Tag() == NoPlayNumber)
        return;
    if (m_pressRunning) {
        m_pendingPress = button;
        return;
    }
    m_pressRunning = true;
    QPointer<TColorBtn> next = button;
    while (next) {
        SendPress(*next);
        next = std::exchange(m_pendingPress, nullptr);
        if (next && (EditMode() || next->Tag() == NoPlayNumber))
            next = nullptr;
    }
    m_pressRunning = false;
}

void TCmdMain::SendPress(TColorBtn& button) {
    const int number = button.Tag();
    const int link = m_editor ? m_editor->LinkIndex() : -1;
    if (link != MotionEditorLink) {
        // An adapter unplugged under the link and plugged in again is taken up again here.
        RecoverLostLink(*CommX1);
        // The user is told nothing when the board does not acknowledge.
        Cmd::SendPlayCommand(*CommX1, 1, 0, static_cast<unsigned char>(number));
        return;
    }
    SendToMotionEditor(*m_windowSystem, MotionEditorWindow, number);
}

void TCmdMain::DispatchShortcut(int keyCode) {
    QList<QPointer<TColorBtn>> matching;
    const QList<QObject*> components = Components();
    for (auto it = components.crbegin(); it != components.crend(); ++it) {
        auto* button = qobject_cast<TColorBtn*>(*it);
        if (button && IsCommandButton(button) && button->Param1() != NoShortcut &&
            button->Param1() == keyCode)
            matching.append(button);
    }
    // A press lets the event loop run, and a button may go meanwhile.
    for (const QPointer<TColorBtn>& button : matching) {
        if (!button)
            continue;
        button->setFocus(Qt::ShortcutFocusReason);
        PressButton(button);
    }
}

void TCmdMain::WindowMessage(quint32, qint32, qint32) {
    // IgnoredAppMessage and every other number are accepted and change nothing.
}

bool TCmdMain::eventFilter(QObject* watched, QEvent* event) {
    auto* button = qobject_cast<TColorBtn*>(watched);
    if (!button || !IsCommandButton(button))
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint at = mouse->position().toPoint();
        ButtonMouseDown(button, mouse->button(), ShiftStateOf(*mouse), at.x(), at.y());
        break;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint at = mouse->position().toPoint();
        ButtonMouseMove(button, ShiftStateOf(*mouse), at.x(), at.y());
        break;
    }
    default:
        break;
    }
    return false;
}
