#include "ColorBtn.h"

#include <QApplication>
#include <QEnterEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <cmath>

namespace {

// Plain colour values 0x00BBGGRR, none of them a system colour.
constexpr TColor kFace = 0xFF0000;      // blue
constexpr TColor kFrame = 0x0000FF;     // red
constexpr TColor kHighlight = 0x00FF00; // lime
constexpr TColor kShadow = 0x00FFFF;    // yellow

const QColor kPalButton(200, 200, 200);
const QColor kPalLight(255, 255, 255);
const QColor kPalDark(128, 128, 128);

constexpr int kW = 40;
constexpr int kH = 20;

enum class Line { Row, Column };

// A run of pixels of one colour: row y = index from x = from to x = to (inclusive), or
// column x = index from y = from to y = to.
struct Segment {
    Line line;
    int index;
    int from;
    int to;
    QColor color;
};

QColor rgbOf(TColor value) {
    return ResolveColor(value);
}

QString firstMismatch(const QImage& image, const Segment& s) {
    for (int i = s.from; i <= s.to; ++i) {
        const int x = s.line == Line::Row ? i : s.index;
        const int y = s.line == Line::Row ? s.index : i;
        const QColor actual(image.pixel(x, y));
        if (actual != s.color)
            return QStringLiteral("(%1,%2) is %3, expected %4")
                .arg(x)
                .arg(y)
                .arg(actual.name(), s.color.name());
    }
    return QString();
}

Segment row(int y, int x0, int x1, TColor c) {
    return {Line::Row, y, x0, x1, rgbOf(c)};
}
Segment column(int x, int y0, int y1, TColor c) {
    return {Line::Column, x, y0, y1, rgbOf(c)};
}

QFont testFont() {
    QFont font;
    font.setPixelSize(16);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

void sendEnter(QWidget* widget) {
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(widget, &enter);
}

void sendLeave(QWidget* widget) {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(widget, &leave);
}

void sendMove(QWidget* widget, QPoint pos, Qt::MouseButtons buttons = Qt::NoButton) {
    QMouseEvent move(QEvent::MouseMove, QPointF(pos), widget->mapToGlobal(QPointF(pos)),
                     Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

// A button of the test size and colours, active, focused and hovered.
ColorBtnLook activeLook(TButtonStyle style) {
    ColorBtnLook look;
    look.width = kW;
    look.height = kH;
    look.color = kFace;
    look.frameColor = kFrame;
    look.edgeHighlight = kHighlight;
    look.edgeShadow = kShadow;
    look.style = style;
    look.active = look.focused = look.hovered = true;
    return look;
}

// Ink: pixels that differ from the face colour.
QList<QPoint> inkOf(const QImage& image, const QColor& face) {
    QList<QPoint> ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (QColor(image.pixel(x, y)) != face)
                ink.append(QPoint(x, y));
    return ink;
}

// Neighbouring pixels of the outcome frame this far apart in RGB (of 441) tell apart at a
// glance; the frame colours come closer than that to faces of their own hue.
constexpr double kClearlyApart = 128;

double distance(const QColor& a, const QColor& b) {
    return std::hypot(a.red() - b.red(), a.green() - b.green(), a.blue() - b.blue());
}

// `line` runs from a side of the button to its middle: the pixels on both sides of the
// frame's run must stand clearly apart from it; an empty text when they do.
QString frameStandsOut(const QList<QColor>& line, const QColor& frame) {
    const qsizetype first = line.indexOf(frame);
    if (first < 0)
        return QStringLiteral("no pixel of the frame's colour");
    qsizetype last = first;
    while (last + 1 < line.size() && line.at(last + 1) == frame)
        ++last;
    for (const qsizetype beside : {first - 1, last + 1})
        if (beside >= 0 && beside < line.size() && distance(line.at(beside), frame) < kClearlyApart)
            return QStringLiteral("%1 at %2 beside the frame")
                .arg(line.at(beside).name())
                .arg(beside);
    return QString();
}

} // namespace

Q_DECLARE_METATYPE(TButtonStyle)
Q_DECLARE_METATYPE(QList<Segment>)

class TestColorBtn : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void initialValues();
    void frames_data();
    void frames();
    void focusRect_data();
    void focusRect();
    void disabledFaceAndEmbossedCaption();
    void captionLinesOneAboveTheOther();
    void captionWinsOverLines();
    void equalValueDoesNotRepaint_data();
    void equalValueDoesNotRepaint();
    void captionLinesComparedAsWholeText();
    void hoverRules();
    void activeFlagFollowsFocus();
    void deletingTheFocusedButton();
    void doubleClickGivesTwoClicks();
    void scaledScreenDrawsPixelBlocks_data();
    void scaledScreenDrawsPixelBlocks();
    void exposedPartOnly_data();
    void exposedPartOnly();
    void hugeButtonPaintsWhatShows();
    void outcomeFrameHidesNeitherCaptionNorFocusLine_data();
    void outcomeFrameHidesNeitherCaptionNorFocusLine();
    void outcomeFrameStandsOutOnEveryFace_data();
    void outcomeFrameStandsOutOnEveryFace();

private:
    TColorBtn* makeButton(TButtonStyle style);
    void focusButton(TColorBtn* button);

    QWidget* m_window = nullptr;
    QLineEdit* m_edit = nullptr;
};

void TestColorBtn::initTestCase() {
    QPalette pal = QApplication::palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Button, kPalButton);
        pal.setColor(group, QPalette::Light, kPalLight);
        pal.setColor(group, QPalette::Dark, kPalDark);
        pal.setColor(group, QPalette::Shadow, Qt::black);
        pal.setColor(group, QPalette::Base, Qt::white);
        pal.setColor(group, QPalette::WindowText, Qt::black);
    }
    QApplication::setPalette(pal);
}

void TestColorBtn::init() {
    m_window = new QWidget;
    m_window->resize(300, 200);
    m_edit = new QLineEdit(m_window);
    m_edit->setGeometry(200, 150, 80, 20);
    m_window->show();
    QApplication::setActiveWindow(m_window);
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    m_edit->setFocus();
}

void TestColorBtn::cleanup() {
    delete m_window;
    m_window = nullptr;
}

TColorBtn* TestColorBtn::makeButton(TButtonStyle style) {
    auto* button = new TColorBtn(m_window);
    button->setGeometry(10, 10, kW, kH);
    button->SetButtonStyle(style);
    button->SetColor(kFace);
    button->SetFrameColor(kFrame);
    button->SetEdgeHighlight(kHighlight);
    button->SetEdgeShadow(kShadow);
    button->SetFocusline(false);
    button->setFont(testFont());
    button->show();
    return button;
}

void TestColorBtn::focusButton(TColorBtn* button) {
    button->setFocus();
    QVERIFY(button->hasFocus());
    QVERIFY(button->IsActive());
}

void TestColorBtn::initialValues() {
    TColorBtn button;
    QCOMPARE(button.Param1(), 0);
    QCOMPARE(button.Tag(), 0);
    QCOMPARE(button.CaptionLines(), QStringList());
    QCOMPARE(button.Caption(), QString());
    QCOMPARE(button.Color(), TColor(0x80000005));
    QCOMPARE(button.FontColor(), clWindowText);
    QCOMPARE(button.CapAlignH(), haCenter);
    QCOMPARE(button.CapAlignV(), vaCenter);
    QCOMPARE(button.ButtonStyle(), bsStd);
    QCOMPARE(button.CapFixed(), true);
    QCOMPARE(button.Focusline(), true);
    QCOMPARE(button.CapOffsetH(), 0);
    QCOMPARE(button.CapOffsetV(), 0);
    QCOMPARE(button.FrameColor(), TColor(0x80000006));
    QCOMPARE(button.EdgeHighlight(), TColor(0x80000014));
    QCOMPARE(button.EdgeShadow(), TColor(0x80000010));
    QVERIFY(!button.OnMouseEnter());
    QVERIFY(!button.OnMouseLeave());
    QCOMPARE(button.IsHovered(), false);
    QCOMPARE(button.IsActive(), false);
    QCOMPARE(button.size(), QSize(75, 25));
    QCOMPARE(button.focusPolicy(), Qt::StrongFocus);
}

void TestColorBtn::frames_data() {
    QTest::addColumn<TButtonStyle>("style");
    QTest::addColumn<bool>("focused");
    QTest::addColumn<bool>("hovered");
    QTest::addColumn<bool>("pressed");
    QTest::addColumn<QList<Segment>>("segments");
    const int r = kW - 1, b = kH - 1;

    QTest::newRow("std raised bevel")
        << bsStd << false << false << false
        << QList<Segment>{row(0, 0, r - 1, kHighlight),     column(0, 0, b - 1, kHighlight),
                          column(r, 0, b, kFrame),          row(b, 0, r, kFrame),
                          column(r - 1, 1, b - 1, kShadow), row(b - 1, 1, r - 1, kShadow),
                          row(1, 1, r - 2, kFace),          column(1, 1, b - 2, kFace)};
    QTest::newRow("std active focused: outline, bevel one pixel in")
        << bsStd << true << false << false
        << QList<Segment>{row(0, 0, r, kFrame),
                          row(b, 0, r, kFrame),
                          column(0, 0, b, kFrame),
                          column(r, 0, b, kFrame),
                          row(1, 1, r - 2, kHighlight),
                          column(1, 1, b - 2, kHighlight),
                          column(r - 1, 1, b - 1, kFrame),
                          row(b - 1, 1, r - 1, kFrame),
                          column(r - 2, 2, b - 2, kShadow),
                          row(b - 2, 2, r - 2, kShadow),
                          row(2, 2, r - 3, kFace)};
    QTest::newRow("std pressed: shadow outline")
        << bsStd << false << false << true
        << QList<Segment>{row(0, 0, r, kShadow),    row(b, 0, r, kShadow),
                          column(0, 0, b, kShadow), column(r, 0, b, kShadow),
                          row(1, 1, r - 1, kFace),  column(r - 1, 1, b - 1, kFace)};
    QTest::newRow("std pressed and focused: frame outline, then shadow outline")
        << bsStd << true << false << true
        << QList<Segment>{row(0, 0, r, kFrame),         column(r, 0, b, kFrame),
                          row(1, 1, r - 1, kShadow),    row(b - 1, 1, r - 1, kShadow),
                          column(1, 1, b - 1, kShadow), column(r - 1, 1, b - 1, kShadow),
                          row(2, 2, r - 2, kFace)};
    QTest::newRow("flat idle: no frame")
        << bsIELike << false << false << false
        << QList<Segment>{row(0, 0, r, kFace), row(b, 0, r, kFace), column(0, 0, b, kFace),
                          column(r, 0, b, kFace)};
    QTest::newRow("flat focused but not hovered: no frame")
        << bsIELike << true << false << false
        << QList<Segment>{row(0, 0, r, kFace), row(b, 0, r, kFace), column(0, 0, b, kFace),
                          column(r, 0, b, kFace)};
    QTest::newRow("flat hovered: raised")
        << bsIELike << false << true << false
        << QList<Segment>{row(0, 0, r - 1, kHighlight), column(0, 0, b - 1, kHighlight),
                          column(r, 0, b, kShadow), row(b, 0, r, kShadow), row(1, 1, r - 1, kFace)};
    QTest::newRow("flat pressed: sunken")
        << bsIELike << false << true << true
        << QList<Segment>{row(0, 0, r - 1, kShadow), column(0, 0, b - 1, kShadow),
                          column(r, 0, b, kHighlight), row(b, 0, r, kHighlight),
                          row(1, 1, r - 1, kFace)};
    QTest::newRow("none: no frame in any state")
        << bsNone << true << true << true
        << QList<Segment>{row(0, 0, r, kFace), row(b, 0, r, kFace), column(0, 0, b, kFace),
                          column(r, 0, b, kFace)};
}

void TestColorBtn::frames() {
    QFETCH(TButtonStyle, style);
    QFETCH(bool, focused);
    QFETCH(bool, hovered);
    QFETCH(bool, pressed);
    QFETCH(QList<Segment>, segments);

    TColorBtn* button = makeButton(style);
    if (focused)
        focusButton(button);
    if (hovered)
        sendEnter(button);
    button->setDown(pressed);
    QCOMPARE(button->IsHovered(), hovered);
    const QImage image = button->grab().toImage();
    QCOMPARE(image.size(), QSize(kW, kH));
    for (const Segment& s : segments)
        QCOMPARE(firstMismatch(image, s), QString());
}

void TestColorBtn::focusRect_data() {
    QTest::addColumn<TButtonStyle>("style");
    QTest::addColumn<int>("inset");
    QTest::newRow("none: outermost pixels") << bsNone << 0;
    QTest::newRow("flat: 2 in") << bsIELike << 2;
    QTest::newRow("std: 4 in") << bsStd << 4;
}

void TestColorBtn::focusRect() {
    QFETCH(TButtonStyle, style);
    QFETCH(int, inset);

    TColorBtn* button = makeButton(style);
    const QImage before = button->grab().toImage();
    button->SetFocusline(true);
    QCOMPARE(button->grab().toImage(), before); // not focused: no line
    focusButton(button);
    const QImage unfocusedLook = [&] {
        button->SetFocusline(false);
        QImage image = button->grab().toImage();
        button->SetFocusline(true);
        return image;
    }();
    const QImage image = button->grab().toImage();

    // Every other pixel of the rectangle is inverted against the button face colour.
    const QRgb mask = kPalButton.rgb() & 0xFFFFFF;
    const int l = inset, t = inset, r = kW - 1 - inset, b = kH - 1 - inset;
    int dots = 0;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const bool onRect = ((x == l || x == r) && y >= t && y <= b) ||
                                ((y == t || y == b) && x >= l && x <= r);
            const QRgb base = unfocusedLook.pixel(x, y);
            const QRgb expected = (onRect && (x + y) % 2 == 0) ? (base ^ mask) : base;
            if (expected != base)
                ++dots;
            QVERIFY2(image.pixel(x, y) == expected,
                     qPrintable(QStringLiteral("pixel (%1,%2)").arg(x).arg(y)));
        }
    }
    QCOMPARE(dots, (r - l + b - t));
}

void TestColorBtn::disabledFaceAndEmbossedCaption() {
    TColorBtn* button = makeButton(bsNone);
    button->resize(60, 30);
    button->SetColor(0x0000FF);
    button->SetCaption(QStringLiteral("HI"));
    button->setEnabled(false);
    const QImage image = button->grab().toImage();

    QCOMPARE(QColor(image.pixel(1, 1)), kPalButton);
    QCOMPARE(QColor(image.pixel(58, 28)), kPalButton);
    int light = 0, dark = 0, other = 0;
    QPoint lastDark;
    for (const QPoint& p : inkOf(image, kPalButton)) {
        const QColor c(image.pixel(p));
        if (c == kPalLight) {
            ++light;
        } else if (c == kPalDark) {
            ++dark;
            lastDark = p;
        } else {
            ++other;
        }
    }
    QVERIFY(light > 0);
    QVERIFY(dark > 0);
    QCOMPARE(other, 0);
    // The bottom-right-most shadow pixel has its highlight copy one pixel down and right.
    QCOMPARE(QColor(image.pixel(lastDark + QPoint(1, 1))), kPalLight);

    button->setEnabled(true);
    const QImage enabled = button->grab().toImage();
    QCOMPARE(QColor(enabled.pixel(1, 1)), QColor(255, 0, 0));
}

void TestColorBtn::captionLinesOneAboveTheOther() {
    auto render = [&](const QStringList& lines) {
        TColorBtn* button = makeButton(bsNone);
        button->resize(60, 60);
        button->SetCapAlignV(vaTop);
        button->SetFontColor(clBlack);
        button->SetCaptionLines(lines);
        const QImage image = button->grab().toImage();
        delete button;
        return image;
    };
    const QColor face = rgbOf(kFace);
    const QList<QPoint> both = inkOf(render({"A", "B"}), face);
    const QList<QPoint> onlyA = inkOf(render({"A"}), face);
    const QList<QPoint> onlyB = inkOf(render({"", "B"}), face);
    QVERIFY(!onlyA.isEmpty());
    QVERIFY(!onlyB.isEmpty());

    int lowestA = 0, highestB = 60;
    for (const QPoint& p : onlyA)
        lowestA = qMax(lowestA, p.y());
    for (const QPoint& p : onlyB)
        highestB = qMin(highestB, p.y());
    QVERIFY2(lowestA < highestB, "A is not above B");

    QList<QPoint> expected = onlyA + onlyB;
    std::sort(expected.begin(), expected.end(),
              [](QPoint a, QPoint b) { return std::pair(a.y(), a.x()) < std::pair(b.y(), b.x()); });
    QCOMPARE(both, expected);
}

void TestColorBtn::captionWinsOverLines() {
    TColorBtn* withLines = makeButton(bsStd);
    withLines->SetCaptionLines({"A", "B"});
    withLines->SetCaption(QStringLiteral("Go"));
    TColorBtn* plain = makeButton(bsStd);
    plain->SetCaption(QStringLiteral("Go"));
    TColorBtn* linesOnly = makeButton(bsStd);
    linesOnly->SetCaptionLines({"A", "B"});
    const QImage image = withLines->grab().toImage();
    QCOMPARE(image, plain->grab().toImage());
    QVERIFY(image != linesOnly->grab().toImage());
}

void TestColorBtn::equalValueDoesNotRepaint_data() {
    QTest::addColumn<QString>("property");
    for (const char* name : {"FrameColor", "Color", "EdgeHighlight", "EdgeShadow", "CapAlignH",
                             "CapAlignV", "ButtonStyle", "CapFixed", "Focusline", "CapOffsetH",
                             "CapOffsetV", "CaptionLines", "FontColor"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestColorBtn::equalValueDoesNotRepaint() {
    QFETCH(QString, property);
    TColorBtn* button = makeButton(bsStd);
    button->SetCaptionLines({"A"});
    QVERIFY(QTest::qWaitForWindowExposed(button));
    QCoreApplication::processEvents();

    // Sets the property to its current value (same) or to another one.
    auto set = [&](bool same) {
        if (property == "FrameColor")
            button->SetFrameColor(same ? button->FrameColor() : 0x123456);
        else if (property == "Color")
            button->SetColor(same ? button->Color() : 0x123456);
        else if (property == "EdgeHighlight")
            button->SetEdgeHighlight(same ? button->EdgeHighlight() : 0x123456);
        else if (property == "EdgeShadow")
            button->SetEdgeShadow(same ? button->EdgeShadow() : 0x123456);
        else if (property == "FontColor")
            button->SetFontColor(same ? button->FontColor() : 0x123456);
        else if (property == "CapAlignH")
            button->SetCapAlignH(same ? button->CapAlignH() : haLeft);
        else if (property == "CapAlignV")
            button->SetCapAlignV(same ? button->CapAlignV() : vaTop);
        else if (property == "ButtonStyle")
            button->SetButtonStyle(same ? button->ButtonStyle() : bsNone);
        else if (property == "CapFixed")
            button->SetCapFixed(same ? button->CapFixed() : false);
        else if (property == "Focusline")
            button->SetFocusline(same ? button->Focusline() : true);
        else if (property == "CapOffsetH")
            button->SetCapOffsetH(same ? button->CapOffsetH() : 3);
        else if (property == "CapOffsetV")
            button->SetCapOffsetV(same ? button->CapOffsetV() : 3);
        else if (property == "CaptionLines")
            button->SetCaptionLines(same ? QStringList{"A"} : QStringList{"B"});
    };

    PaintCounter counter;
    button->installEventFilter(&counter);
    set(true);
    QCoreApplication::processEvents();
    QCOMPARE(counter.paints, 0);
    set(false);
    QTRY_VERIFY(counter.paints > 0);
}

void TestColorBtn::captionLinesComparedAsWholeText() {
    TColorBtn* button = makeButton(bsStd);
    button->SetCaptionLines({"A\r\nB"});
    QVERIFY(QTest::qWaitForWindowExposed(button));
    QCoreApplication::processEvents();
    PaintCounter counter;
    button->installEventFilter(&counter);

    // Same text, other split: nothing is copied and nothing repaints.
    button->SetCaptionLines({"A", "B"});
    QCoreApplication::processEvents();
    QCOMPARE(button->CaptionLines(), QStringList{"A\r\nB"});
    QCOMPARE(counter.paints, 0);

    button->SetCaptionLines({"A", "C"});
    QCOMPARE(button->CaptionLines(), (QStringList{"A", "C"}));
    QTRY_VERIFY(counter.paints > 0);
}

void TestColorBtn::hoverRules() {
    TColorBtn* button = makeButton(bsIELike);
    int enters = 0, leaves = 0;
    QObject* sender = nullptr;
    button->SetOnMouseEnter([&](QObject* s) {
        ++enters;
        sender = s;
    });
    button->SetOnMouseLeave([&](QObject*) { ++leaves; });

    sendEnter(button);
    QCOMPARE(enters, 1);
    QCOMPARE(sender, button);
    QVERIFY(button->IsHovered());
    sendEnter(button); // already hovered: nothing new
    sendMove(button, QPoint(3, 3));
    QCOMPARE(enters, 1);

    sendLeave(button);
    QCOMPARE(leaves, 1);
    QVERIFY(!button->IsHovered());

    // A move outside the client area does not count as entering; one inside does.
    sendMove(button, QPoint(kW, 3));
    sendMove(button, QPoint(-1, 3));
    QCOMPARE(enters, 1);
    sendMove(button, QPoint(kW - 1, kH - 1));
    QCOMPARE(enters, 2);
    QVERIFY(button->IsHovered());

    // While the left button is held on it, coming back in reports an enter even when the
    // flag is still set, and moves do not.
    QTest::mousePress(button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    sendEnter(button);
    QCOMPARE(enters, 3);
    sendLeave(button);
    sendMove(button, QPoint(5, 5), Qt::LeftButton);
    QCOMPARE(enters, 3);
    QVERIFY(!button->IsHovered());
    sendEnter(button);
    QCOMPARE(enters, 4);
    QTest::mouseRelease(button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QCOMPARE(leaves, 2);
}

// The focus leaves a button in QWidget's destructor; under the sanitizers a focus
// notification reaching the half-destroyed button fails the test.
void TestColorBtn::deletingTheFocusedButton() {
    TColorBtn* first = makeButton(bsStd);
    TColorBtn* second = makeButton(bsStd);
    second->move(10, 40);
    first->setFocus();
    QVERIFY(first->IsActive());
    delete first;
    QVERIFY(!second->IsActive());
    second->setFocus();
    QVERIFY(second->IsActive());
}

void TestColorBtn::activeFlagFollowsFocus() {
    TColorBtn* first = makeButton(bsStd);
    TColorBtn* second = makeButton(bsStd);
    second->move(10, 40);
    QVERIFY(!first->IsActive());

    first->setFocus();
    QVERIFY(first->IsActive());
    QVERIFY(!second->IsActive());

    second->setFocus();
    QVERIFY(!first->IsActive());
    QVERIFY(second->IsActive());

    // A control that is not a push button: only the default button stays active.
    m_edit->setFocus();
    QVERIFY(!first->IsActive());
    QVERIFY(!second->IsActive());
    first->setDefault(true);
    second->setFocus();
    m_edit->setFocus();
    QVERIFY(first->IsActive());
    QVERIFY(!second->IsActive());

    // Focus moving in another window leaves this window's buttons alone.
    QWidget other;
    auto* otherButton = new TColorBtn(&other);
    other.show();
    QApplication::setActiveWindow(&other);
    QVERIFY(QTest::qWaitForWindowActive(&other));
    otherButton->setFocus();
    QVERIFY(otherButton->IsActive());
    QVERIFY(first->IsActive());
}

void TestColorBtn::doubleClickGivesTwoClicks() {
    TColorBtn* button = makeButton(bsStd);
    QSignalSpy clicks(button, &QAbstractButton::clicked);
    const QPoint at(10, 10);
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(button, Qt::LeftButton, Qt::NoModifier, at);
    QVERIFY(button->isDown()); // pressed again by the second press
    QTest::mouseRelease(button, Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(clicks.count(), 2);
}

void TestColorBtn::scaledScreenDrawsPixelBlocks_data() {
    QTest::addColumn<TButtonStyle>("style");
    QTest::addColumn<bool>("pressed");
    QTest::newRow("std focused") << bsStd << false;
    QTest::newRow("std pressed focused") << bsStd << true;
    QTest::newRow("flat hovered focused") << bsIELike << false;
    QTest::newRow("none focused") << bsNone << false;
}

void TestColorBtn::scaledScreenDrawsPixelBlocks() {
    QFETCH(TButtonStyle, style);
    QFETCH(bool, pressed);
    ColorBtnLook look = activeLook(style);
    look.pressed = pressed;
    const QImage single = PaintColorBtn(look, 1.0);
    const QImage doubled = PaintColorBtn(look, 2.0);
    QCOMPARE(doubled.size(), QSize(2 * kW, 2 * kH));
    QCOMPARE(doubled.devicePixelRatio(), 2.0);
    QImage expected = single.scaled(2 * kW, 2 * kH, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    expected.setDevicePixelRatio(2.0);
    QCOMPARE(doubled, expected);
}

void TestColorBtn::exposedPartOnly_data() {
    QTest::addColumn<TButtonStyle>("style");
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<QRect>("exposed");
    QTest::addColumn<QRect>("shown"); // the part the image holds
    const QRect whole(0, 0, kW, kH);
    QTest::newRow("whole button") << bsStd << 1.0 << whole << whole;
    QTest::newRow("inside, across the focus line")
        << bsStd << 1.0 << QRect(3, 2, 9, 7) << QRect(3, 2, 9, 7);
    QTest::newRow("bottom right corner")
        << bsStd << 1.0 << QRect(kW - 6, kH - 5, 6, 5) << QRect(kW - 6, kH - 5, 6, 5);
    QTest::newRow("beyond the edges, cut to the button")
        << bsIELike << 1.0 << QRect(kW - 4, -3, 20, 10) << QRect(kW - 4, 0, 4, 7);
    QTest::newRow("one column") << bsNone << 1.0 << QRect(0, 0, 1, kH) << QRect(0, 0, 1, kH);
    QTest::newRow("scaled screen") << bsStd << 2.0 << QRect(5, 1, 11, 9) << QRect(5, 1, 11, 9);
}

// The image of an exposed part holds exactly that part, drawn as in the whole button:
// frames, caption and the focus line, whose dots keep their places.
void TestColorBtn::exposedPartOnly() {
    QFETCH(TButtonStyle, style);
    QFETCH(qreal, ratio);
    QFETCH(QRect, exposed);
    QFETCH(QRect, shown);
    ColorBtnLook look = activeLook(style);
    look.font = testFont();
    look.text = QStringLiteral("Go");
    const QImage whole = PaintColorBtn(look, ratio);
    const QImage part = PaintColorBtn(look, ratio, exposed);
    QCOMPARE(part.size(), shown.size() * ratio);
    QImage expected = whole.copy(QRect(shown.topLeft() * ratio, shown.size() * ratio))
                          .convertToFormat(part.format());
    expected.setDevicePixelRatio(ratio);
    QCOMPARE(part, expected);
}

// A button far bigger than its window paints what the window shows of it: its face and
// the caption-less corner of its raised frame.
void TestColorBtn::hugeButtonPaintsWhatShows() {
    TColorBtn* button = makeButton(bsStd);
    button->setGeometry(10, 10, 30000, 30000);
    const QImage image = m_window->grab(QRect(0, 0, 60, 40)).toImage();
    QCOMPARE(QColor(image.pixel(10, 10)), rgbOf(kHighlight));
    QCOMPARE(QColor(image.pixel(11, 11)), rgbOf(kFace));
    QCOMPARE(QColor(image.pixel(59, 39)), rgbOf(kFace));
}

// The outcome frame lies inside the edge in every style; every pixel of the caption and of
// the focus line that shows without it shows the same with it.
void TestColorBtn::outcomeFrameHidesNeitherCaptionNorFocusLine_data() {
    QTest::addColumn<TButtonStyle>("style");
    QTest::newRow("std") << bsStd;
    QTest::newRow("flat") << bsIELike;
    QTest::newRow("none") << bsNone;
}

void TestColorBtn::outcomeFrameHidesNeitherCaptionNorFocusLine() {
    QFETCH(TButtonStyle, style);
    ColorBtnLook look = activeLook(style);
    look.focusline = true;
    look.text = QStringLiteral("W");
    const QImage plain = PaintColorBtn(look);
    look.outcomeFrame = FailedFrame;
    const QImage framed = PaintColorBtn(look);
    const QColor red = ResolveColor(FailedFrame);
    // The frame's innermost columns, halfway down, where the focus line does not run.
    const int inset = OutcomeFrameInset(style) + OutcomeFrameWidth - 1;
    QCOMPARE(QColor(framed.pixel(inset, kH / 2)), red);
    QCOMPARE(QColor(framed.pixel(kW - 1 - inset, kH / 2)), red);
    for (const QPoint& at : inkOf(plain, ResolveColor(kFace))) {
        const QColor before(plain.pixel(at));
        const QColor after(framed.pixel(at));
        // The edge drawn over the frame keeps its colours; the inverted focus dots stay
        // inverted, now against the frame.
        if (after == before)
            continue;
        QVERIFY2(after != red,
                 qPrintable(QStringLiteral("hidden at %1,%2").arg(at.x()).arg(at.y())));
    }
}

// The panel's new button on the faces a user picks most, in the caption colour the panel
// gives each face: both outcome frames stand out from the face on all four sides.
void TestColorBtn::outcomeFrameStandsOutOnEveryFace_data() {
    QTest::addColumn<TColor>("face");
    QTest::addColumn<TColor>("frame");
    const std::pair<const char*, TColor> faces[] = {{"red", 0x0000FF},
                                                    {"green", 0x008000},
                                                    {"white", clWhite},
                                                    {"black", clBlack},
                                                    {"button face", clBtnFace}};
    for (const auto& [name, face] : faces) {
        QTest::addRow("%s, answered", name) << face << AcknowledgedFrame;
        QTest::addRow("%s, no answer", name) << face << FailedFrame;
    }
}

void TestColorBtn::outcomeFrameStandsOutOnEveryFace() {
    QFETCH(TColor, face);
    QFETCH(TColor, frame);
    ColorBtnLook look;
    look.width = 75;
    look.height = 25;
    look.color = face;
    look.fontColor = ContrastTextColor(face);
    look.outcomeFrame = frame;
    const QImage image = PaintColorBtn(look);
    const int midX = look.width / 2, midY = look.height / 2;
    const struct {
        const char* name;
        QPoint from;
        QPoint step;
        int length;
    } sides[] = {{"left", {0, midY}, {1, 0}, midX},
                 {"right", {look.width - 1, midY}, {-1, 0}, midX},
                 {"top", {midX, 0}, {0, 1}, midY},
                 {"bottom", {midX, look.height - 1}, {0, -1}, midY}};
    for (const auto& side : sides) {
        QList<QColor> line;
        for (int i = 0; i < side.length; ++i)
            line.append(QColor(image.pixel(side.from + i * side.step)));
        const QString fault = frameStandsOut(line, ResolveColor(frame));
        QVERIFY2(fault.isEmpty(), qPrintable(QStringLiteral("%1: %2").arg(side.name, fault)));
    }
}

QTEST_MAIN(TestColorBtn)
#include "tst_colorbtn.moc"
