// The command buttons' own handlers: selecting, dragging, pressing and shortcut keys.
#include "CmdMain.h"

#include "ButtonDrag.h"
#include "ColorBtn.h"
#include "CommandButtonValues.h"
#include "PadPairs.h"
#include "PressControl.h"

#include <QApplication>
#include <QMouseEvent>

void TCmdMain::ButtonMouseDown(TColorBtn* button, Qt::MouseButton, TShiftState shift, int x,
                               int y) {
    const QString name = button->objectName();
    SelectedButtonName = name;
    if (shift.testFlag(ssCtrl) && EditMode()) {
        // Ctrl+click takes a button into the selection or out of it.
        if (m_selection.removeAll(name) == 0)
            m_selection.append(name);
        else
            SelectedButtonName = m_selection.isEmpty() ? QString() : m_selection.back();
    } else if (!m_selection.contains(name)) {
        // A press on a selected button keeps the selection, so a drag moves all of it.
        m_selection = {name};
    }
    ShowSelection();
    // Drawn above the buttons it overlaps; the component list keeps its order.
    button->raise();
    if (shift == TShiftState(ssLeft)) {
        DragOrigin = QPoint(x, y);
        m_dragging = EditMode();
    }
}

void TCmdMain::ButtonMouseMove(TColorBtn* button, TShiftState shift, int x, int y) {
    if (shift == TShiftState(ssLeft)) {
        if (!EditMode())
            return;
        const TDragZone zone = CursorZone(button->cursor().shape());
        const QRect step = DragStep(zone, button->geometry(), QPoint(x, y), DragOrigin, size());
        // A selected button's body carries the whole selection with it.
        if (zone == TDragZone::Body && m_selection.size() > 1 &&
            m_selection.contains(button->objectName()))
            MoveSelectionBy(step.topLeft() - button->pos());
        else
            SetButtonGeometry(*button, step);
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
    m_presses->Click(button);
}

void TCmdMain::DispatchShortcut(int keyCode) {
    m_presses->KeyDown(keyCode, false);
}

void TCmdMain::PadButtonPressed(const QString& name) {
    if (QApplication::activeModalWidget())
        return;
    m_presses->PadDown(name);
}

void TCmdMain::SetPadInput(std::unique_ptr<TPadInput> input) {
    delete m_padPairs;
    m_padPairs = nullptr;
    m_pads = std::move(input);
    if (!m_pads)
        return;
    // Presses hear pairs held together as buttons of their own; the editor hears the pad
    // itself, to capture a pair as it is pressed.
    m_padPairs = new TPadPairs(*m_pads, this);
    UpdatePadPairs();
    connect(m_padPairs, &TPadInput::ButtonPressed, this, &TCmdMain::PadButtonPressed);
    // An up always arrives, also under a box: it ends the hold its down began.
    connect(m_padPairs, &TPadInput::ButtonReleased, m_presses, &TPressControl::PadUp);
    connect(m_pads.get(), &TPadInput::ButtonPressed, this, [this](const QString& name) {
        if (EditMode() && m_editor && !QApplication::activeModalWidget())
            m_editor->PadButtonPressed(name);
    });
    connect(m_pads.get(), &TPadInput::ButtonReleased, this, [this](const QString& name) {
        if (m_editor)
            m_editor->PadButtonReleased(name);
    });
}

// The pairs among the buttons' pad buttons and the stop's.
void TCmdMain::UpdatePadPairs() {
    if (!m_padPairs)
        return;
    QStringList names{m_presses->Stop().pad};
    for (const TColorBtn* button : CommandButtons())
        names.append(PadButton(*button));
    m_padPairs->SetNames(names);
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
        if (mouse->button() == Qt::LeftButton && !EditMode())
            m_presses->MouseDown(button);
        break;
    }
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            break;
        m_presses->MouseUp(button);
        // A whole drag is one step.
        if (std::exchange(m_dragging, false))
            CommitEdit(TPanelEdits::NoMerge);
        break;
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
    return m_presses->Stop().key;
}

void TCmdMain::SetPanelStopKey(int keyCode) {
    TStopSettings stop = m_presses->Stop();
    stop.key = keyCode;
    m_presses->SetStop(stop);
}

QString TCmdMain::PanelStopPad() const {
    return m_presses->Stop().pad;
}

void TCmdMain::SetPanelStopPad(const QString& name) {
    TStopSettings stop = m_presses->Stop();
    stop.pad = name;
    m_presses->SetStop(stop);
}

int TCmdMain::PanelStopPlay() const {
    return m_presses->Stop().play;
}

void TCmdMain::SetPanelStopPlay(int number) {
    TStopSettings stop = m_presses->Stop();
    stop.play = number;
    m_presses->SetStop(stop);
}
