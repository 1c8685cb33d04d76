#include "ColorBtn.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>

TColorBtn::TColorBtn(QWidget* owner) : QPushButton(owner) {
    resize(75, 25);
    setFocusPolicy(Qt::StrongFocus);
    // Moves without a pressed button are needed for the hover rules.
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_focusConnection = connect(qApp, &QApplication::focusChanged, this, &TColorBtn::FocusChanged);
}

// A focused button loses the focus in QWidget's destructor, when it is no colour button
// any more: the focus notification must not reach it then. Through its handle, not by
// signal and slot, which would search every button's connection: clearing a panel of n
// buttons would cost n squared.
TColorBtn::~TColorBtn() {
    disconnect(m_focusConnection);
}

template <typename T> void TColorBtn::Assign(T& field, const T& value) {
    if (field == value)
        return;
    field = value;
    update();
}

void TColorBtn::SetCaptionLines(const QStringList& lines) {
    const QLatin1String crlf("\r\n");
    if (m_captionLines.join(crlf) == lines.join(crlf))
        return;
    m_captionLines = lines;
    update();
}

void TColorBtn::SetColor(TColor value) {
    Assign(m_color, value);
}
void TColorBtn::SetFontColor(TColor value) {
    Assign(m_fontColor, value);
}
void TColorBtn::SetFrameColor(TColor value) {
    Assign(m_frameColor, value);
}
void TColorBtn::SetEdgeHighlight(TColor value) {
    Assign(m_edgeHighlight, value);
}
void TColorBtn::SetEdgeShadow(TColor value) {
    Assign(m_edgeShadow, value);
}
void TColorBtn::SetCapAlignH(TNHAlignment value) {
    Assign(m_capAlignH, value);
}
void TColorBtn::SetCapAlignV(TNVAlignment value) {
    Assign(m_capAlignV, value);
}
void TColorBtn::SetButtonStyle(TButtonStyle value) {
    Assign(m_buttonStyle, value);
}
void TColorBtn::SetCapFixed(bool value) {
    Assign(m_capFixed, value);
}
void TColorBtn::SetFocusline(bool value) {
    Assign(m_focusline, value);
}
void TColorBtn::SetCapOffsetH(int value) {
    Assign(m_capOffsetH, value);
}
void TColorBtn::SetCapOffsetV(int value) {
    Assign(m_capOffsetV, value);
}

ColorBtnLook TColorBtn::Look() const {
    ColorBtnLook look;
    look.width = width();
    look.height = height();
    look.font = font();
    look.fontColor = m_fontColor;
    look.text = ButtonText(text(), m_captionLines);
    look.color = m_color;
    look.frameColor = m_frameColor;
    look.edgeHighlight = m_edgeHighlight;
    look.edgeShadow = m_edgeShadow;
    look.alignH = m_capAlignH;
    look.alignV = m_capAlignV;
    look.style = m_buttonStyle;
    look.capFixed = m_capFixed;
    look.focusline = m_focusline;
    look.offsetH = m_capOffsetH;
    look.offsetV = m_capOffsetV;
    look.enabled = isEnabled();
    look.pressed = isDown();
    look.focused = hasFocus();
    look.active = m_active;
    look.hovered = m_hovered;
    look.outcomeFrame = m_outcomeFrame;
    return look;
}

void TColorBtn::ShowPressOutcome(TColor frame, int ms, const QString& toolTip) {
    m_outcomeFrame = frame;
    setToolTip(toolTip);
    m_outcomeTimer.start(ms, this);
    update();
}

void TColorBtn::ClearPressOutcome() {
    m_outcomeTimer.stop();
    if (!m_outcomeFrame)
        return;
    m_outcomeFrame.reset();
    update();
}

void TColorBtn::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_outcomeTimer.timerId()) {
        QPushButton::timerEvent(event);
        return;
    }
    // The tooltip keeps telling the last outcome.
    ClearPressOutcome();
}

void TColorBtn::paintEvent(QPaintEvent* event) {
    // Drawn off-screen first and copied in one go, so the button never flickers; only
    // the exposed part, which is all a huge button shows on a small panel.
    const QRect exposed = event->rect() & rect();
    if (exposed.isEmpty())
        return;
    const QImage image = PaintColorBtn(Look(), devicePixelRatioF(), exposed);
    QPainter painter(this);
    painter.drawImage(exposed.topLeft(), image);
    if (m_selectionMark) {
        // Dashes of both the caption's and the face's colour show on any face.
        const QRect outline = rect().adjusted(1, 1, -2, -2);
        painter.setPen(QPen(ResolveColor(m_color), 1));
        painter.drawRect(outline);
        painter.setPen(QPen(ResolveColor(m_fontColor), 1, Qt::DashLine));
        painter.drawRect(outline);
    }
}

void TColorBtn::SetSelectionMark(bool on) {
    if (on == m_selectionMark)
        return;
    m_selectionMark = on;
    update();
}

void TColorBtn::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        update();
}

// The window's active push button: the button that takes the focus, or the default
// button while a control that is not a push button has it.
void TColorBtn::FocusChanged(QWidget*, QWidget* now) {
    if (!now || now->window() != window())
        return;
    bool active = false;
    if (now == this)
        active = true;
    else if (!qobject_cast<QPushButton*>(now))
        active = isDefault();
    if (active == m_active)
        return;
    m_active = active;
    repaint();
}

void TColorBtn::Enter() {
    m_hovered = true;
    update();
    if (m_onMouseEnter)
        m_onMouseEnter(this);
}

void TColorBtn::enterEvent(QEnterEvent* event) {
    if (!m_hovered || m_leftHeld)
        Enter();
    QPushButton::enterEvent(event);
}

void TColorBtn::leaveEvent(QEvent* event) {
    m_hovered = false;
    update();
    if (m_onMouseLeave)
        m_onMouseLeave(this);
    QPushButton::leaveEvent(event);
}

void TColorBtn::mouseMoveEvent(QMouseEvent* event) {
    if (!m_hovered && !m_leftHeld && rect().contains(event->position().toPoint()))
        Enter();
    QPushButton::mouseMoveEvent(event);
}

void TColorBtn::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        m_leftHeld = true;
    QPushButton::mousePressEvent(event);
}

void TColorBtn::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        m_leftHeld = false;
    QPushButton::mouseReleaseEvent(event);
}

// The second press of a double click presses the button again, for a second click.
void TColorBtn::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}
