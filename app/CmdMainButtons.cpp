// The command buttons' own handlers: selecting, dragging, pressing and shortcut keys.
#include "CmdMain.h"

#include "ButtonDrag.h"
#include "ColorBtn.h"
#include "PanelLink.h"

#include <QApplication>
#include <QMouseEvent>

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

void TCmdMain::PressButton(TColorBtn* button) {
    if (button)
        m_link->Press({button});
}

int TCmdMain::PlayNumberOf(QObject* component) const {
    const auto* button = qobject_cast<const TColorBtn*>(component);
    if (!button || EditMode() || button->Tag() == NoPlayNumber)
        return TPanelLink::NoPlay;
    return button->Tag();
}

void TCmdMain::DispatchShortcut(int keyCode) {
    if (keyCode == NoShortcut)
        return;
    PressMatching([keyCode](const TColorBtn& button) { return button.Param1() == keyCode; });
}

void TCmdMain::DispatchPad(const QString& name) {
    if (name.isEmpty() || EditMode())
        return;
    PressMatching([&name](const TColorBtn& button) { return button.Param2() == name; });
}

void TCmdMain::PadButtonPressed(const QString& name) {
    // A box or dialog is being answered: keys and clicks cannot reach the panel either.
    if (QApplication::activeModalWidget())
        return;
    if (!EditMode())
        DispatchPad(name);
    else if (m_editor)
        m_editor->PadButtonPressed(name);
}

void TCmdMain::SetPadInput(std::unique_ptr<TPadInput> input) {
    m_pads = std::move(input);
    if (m_pads)
        connect(m_pads.get(), &TPadInput::ButtonPressed, this, &TCmdMain::PadButtonPressed);
}

void TCmdMain::PressMatching(const std::function<bool(const TColorBtn&)>& matches) {
    QList<QPointer<TColorBtn>> matching;
    const QList<QObject*> components = Components();
    for (auto it = components.crbegin(); it != components.crend(); ++it) {
        auto* button = qobject_cast<TColorBtn*>(*it);
        if (button && IsCommandButton(button) && matches(*button))
            matching.append(button);
    }
    // Every button of one key-down is pressed as one press, so that all of them wait
    // together for an exchange that is running.
    QList<QPointer<QObject>> pressed;
    for (const QPointer<TColorBtn>& button : matching) {
        button->setFocus(Qt::ShortcutFocusReason);
        pressed.append(button.data());
    }
    m_link->Press(pressed);
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

int TCmdMain::PanelStopKey() const {
    return m_stopKey;
}

void TCmdMain::SetPanelStopKey(int keyCode) {
    m_stopKey = keyCode;
}

QString TCmdMain::PanelStopPad() const {
    return m_stopPad;
}

void TCmdMain::SetPanelStopPad(const QString& name) {
    m_stopPad = name;
}

int TCmdMain::PanelStopPlay() const {
    return m_stopPlay;
}

void TCmdMain::SetPanelStopPlay(int number) {
    m_stopPlay = number;
}
