#pragma once

#include "ColorBtnPaint.h"
#include "SystemColors.h"

#include <QBasicTimer>
#include <QPushButton>
#include <QStringList>
#include <functional>

// Handler of a notification; the argument is the object that sends it.
using TNotifyEvent = std::function<void(QObject* sender)>;

// A push button that draws itself completely, so that its face can have any colour:
// a three-colour frame in one of three styles, a caption of one or more lines in one
// of nine positions, and notifications when the mouse enters and leaves it.
class TColorBtn : public QPushButton {
    Q_OBJECT
public:
    explicit TColorBtn(QWidget* owner = nullptr);
    ~TColorBtn() override;

    // Free value for the owner (the panel keeps the shortcut key code here).
    int Param1() const { return m_param1; }
    void SetParam1(int value) { m_param1 = value; }
    // Free value for the owner (the panel keeps the play number here).
    int Tag() const { return m_tag; }
    void SetTag(int value) { m_tag = value; }
    // Free text for the owner (the panel keeps the pad button's name here).
    const QString& Param2() const { return m_param2; }
    void SetParam2(const QString& value) { m_param2 = value; }

    QString Caption() const { return text(); }
    void SetCaption(const QString& caption) { setText(caption); }
    // Shown, joined by line breaks, only while Caption is empty.
    const QStringList& CaptionLines() const { return m_captionLines; }
    void SetCaptionLines(const QStringList& lines);

    TColor Color() const { return m_color; }
    void SetColor(TColor value);
    // The caption colour (the colour of the button's font).
    TColor FontColor() const { return m_fontColor; }
    void SetFontColor(TColor value);
    TColor FrameColor() const { return m_frameColor; }
    void SetFrameColor(TColor value);
    TColor EdgeHighlight() const { return m_edgeHighlight; }
    void SetEdgeHighlight(TColor value);
    TColor EdgeShadow() const { return m_edgeShadow; }
    void SetEdgeShadow(TColor value);

    TNHAlignment CapAlignH() const { return m_capAlignH; }
    void SetCapAlignH(TNHAlignment value);
    TNVAlignment CapAlignV() const { return m_capAlignV; }
    void SetCapAlignV(TNVAlignment value);
    TButtonStyle ButtonStyle() const { return m_buttonStyle; }
    void SetButtonStyle(TButtonStyle value);
    // False lets the caption move 1 pixel toward its edges while the button is idle.
    bool CapFixed() const { return m_capFixed; }
    void SetCapFixed(bool value);
    bool Focusline() const { return m_focusline; }
    void SetFocusline(bool value);
    int CapOffsetH() const { return m_capOffsetH; }
    void SetCapOffsetH(int value);
    int CapOffsetV() const { return m_capOffsetV; }
    void SetCapOffsetV(int value);

    const TNotifyEvent& OnMouseEnter() const { return m_onMouseEnter; }
    void SetOnMouseEnter(TNotifyEvent handler) { m_onMouseEnter = std::move(handler); }
    const TNotifyEvent& OnMouseLeave() const { return m_onMouseLeave; }
    void SetOnMouseLeave(TNotifyEvent handler) { m_onMouseLeave = std::move(handler); }

    // True while the mouse is over the button.
    bool IsHovered() const { return m_hovered; }
    // True while this is the window's active push button.
    bool IsActive() const { return m_active; }

    // The outcome of the last press: a frame of that colour inside the edge for `ms`
    // milliseconds, and the tooltip. Only this button repaints.
    void ShowPressOutcome(TColor frame, int ms, const QString& toolTip);
    void ClearPressOutcome();
    std::optional<TColor> PressOutcomeFrame() const { return m_outcomeFrame; }

    // A dashed outline inside the edge: the button is one of those an edit will change.
    void SetSelectionMark(bool on);
    bool SelectionMark() const { return m_selectionMark; }

    // Everything the next paint would draw with.
    ColorBtnLook Look() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void FocusChanged(QWidget* old, QWidget* now);
    void Enter();
    template <typename T> void Assign(T& field, const T& value);

    int m_param1 = 0;
    int m_tag = 0;
    QString m_param2;
    QStringList m_captionLines;
    TColor m_color = clWindow;
    TColor m_fontColor = clWindowText;
    TColor m_frameColor = clWindowFrame;
    TColor m_edgeHighlight = clBtnHighlight;
    TColor m_edgeShadow = clBtnShadow;
    TNHAlignment m_capAlignH = haCenter;
    TNVAlignment m_capAlignV = vaCenter;
    TButtonStyle m_buttonStyle = bsStd;
    bool m_capFixed = true;
    bool m_focusline = true;
    int m_capOffsetH = 0;
    int m_capOffsetV = 0;
    std::optional<TColor> m_outcomeFrame;
    QBasicTimer m_outcomeTimer; // small: a button may be one of thousands
    TNotifyEvent m_onMouseEnter;
    TNotifyEvent m_onMouseLeave;
    bool m_hovered = false;
    bool m_active = false;
    bool m_leftHeld = false;
    bool m_selectionMark = false;
    QMetaObject::Connection m_focusConnection;
};
