#include "ColorBtnPaint.h"

#include <QTest>

class TestCaptionRect : public QObject {
    Q_OBJECT
private slots:
    void placement_data();
    void placement();
    void buttonText_data();
    void buttonText();
};

Q_DECLARE_METATYPE(TNHAlignment)
Q_DECLARE_METATYPE(TNVAlignment)
Q_DECLARE_METATYPE(TButtonStyle)

void TestCaptionRect::placement_data() {
    QTest::addColumn<int>("clientHeight");
    QTest::addColumn<int>("textHeight");
    QTest::addColumn<TNHAlignment>("alignH");
    QTest::addColumn<TNVAlignment>("alignV");
    QTest::addColumn<TButtonStyle>("style");
    QTest::addColumn<bool>("capFixed");
    QTest::addColumn<bool>("activeOrFocused");
    QTest::addColumn<QPoint>("offset");
    QTest::addColumn<bool>("pressed");
    QTest::addColumn<QRect>("expected");

    const QPoint none(0, 0);
    // Client width 80 throughout; the rectangle is always client width by text height.
    QTest::newRow("taller text centred moves up 7 (truncated)")
        << 30 << 45 << haCenter << vaCenter << bsStd << true << false << none << false
        << QRect(0, -7, 80, 45);
    QTest::newRow("centre") << 30 << 14 << haCenter << vaCenter << bsStd << true << false << none
                            << false << QRect(0, 8, 80, 14);
    QTest::newRow("centre odd remainder") << 25 << 14 << haCenter << vaCenter << bsStd << true
                                          << false << none << false << QRect(0, 5, 80, 14);
    QTest::newRow("top left") << 30 << 14 << haLeft << vaTop << bsStd << true << false << none
                              << false << QRect(5, 4, 80, 14);
    QTest::newRow("top right") << 30 << 14 << haRight << vaTop << bsStd << true << false << none
                               << false << QRect(-5, 4, 80, 14);
    QTest::newRow("bottom centre") << 30 << 14 << haCenter << vaBottom << bsStd << true << false
                                   << none << false << QRect(0, 11, 80, 14);
    QTest::newRow("centre left") << 30 << 14 << haLeft << vaCenter << bsStd << true << false << none
                                 << false << QRect(5, 8, 80, 14);
    QTest::newRow("bottom right") << 30 << 14 << haRight << vaBottom << bsStd << true << false
                                  << none << false << QRect(-5, 11, 80, 14);
    QTest::newRow("taller text at bottom") << 30 << 45 << haCenter << vaBottom << bsStd << true
                                           << false << none << false << QRect(0, -20, 80, 45);
    QTest::newRow("loose top left idle") << 30 << 14 << haLeft << vaTop << bsStd << false << false
                                         << none << false << QRect(4, 3, 80, 14);
    QTest::newRow("loose bottom right idle") << 30 << 14 << haRight << vaBottom << bsStd << false
                                             << false << none << false << QRect(-4, 12, 80, 14);
    QTest::newRow("loose centre idle") << 30 << 14 << haCenter << vaCenter << bsStd << false
                                       << false << none << false << QRect(0, 8, 80, 14);
    QTest::newRow("loose but active") << 30 << 14 << haLeft << vaTop << bsStd << false << true
                                      << none << false << QRect(5, 4, 80, 14);
    QTest::newRow("loose flat style") << 30 << 14 << haLeft << vaTop << bsIELike << false << false
                                      << none << false << QRect(5, 4, 80, 14);
    QTest::newRow("loose no frame") << 30 << 14 << haRight << vaBottom << bsNone << false << false
                                    << none << false << QRect(-5, 11, 80, 14);
    QTest::newRow("offsets") << 30 << 14 << haLeft << vaTop << bsStd << true << false
                             << QPoint(3, -2) << false << QRect(8, 2, 80, 14);
    QTest::newRow("pressed") << 30 << 14 << haCenter << vaCenter << bsStd << true << true << none
                             << true << QRect(1, 9, 80, 14);
    QTest::newRow("everything at once") << 30 << 14 << haRight << vaBottom << bsStd << false
                                        << false << QPoint(-2, 3) << true << QRect(-5, 16, 80, 14);
}

void TestCaptionRect::placement() {
    QFETCH(int, clientHeight);
    QFETCH(int, textHeight);
    QFETCH(TNHAlignment, alignH);
    QFETCH(TNVAlignment, alignV);
    QFETCH(TButtonStyle, style);
    QFETCH(bool, capFixed);
    QFETCH(bool, activeOrFocused);
    QFETCH(QPoint, offset);
    QFETCH(bool, pressed);
    QFETCH(QRect, expected);

    CaptionPlacement c;
    c.clientWidth = 80;
    c.clientHeight = clientHeight;
    c.textHeight = textHeight;
    c.alignH = alignH;
    c.alignV = alignV;
    c.style = style;
    c.capFixed = capFixed;
    c.activeOrFocused = activeOrFocused;
    c.offsetH = offset.x();
    c.offsetV = offset.y();
    c.pressed = pressed;
    QCOMPARE(CaptionTextRect(c), expected);
}

void TestCaptionRect::buttonText_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("expected");
    QTest::newRow("lines joined, none after the last")
        << QString() << QStringList{"A", "B"} << QStringLiteral("A\r\nB");
    QTest::newRow("caption wins") << QStringLiteral("Go") << QStringList{"A", "B"}
                                  << QStringLiteral("Go");
    QTest::newRow("no lines") << QString() << QStringList() << QString();
    QTest::newRow("one empty line") << QString() << QStringList{""} << QString();
}

void TestCaptionRect::buttonText() {
    QFETCH(QString, caption);
    QFETCH(QStringList, lines);
    QFETCH(QString, expected);
    QCOMPARE(ButtonText(caption, lines), expected);
}

QTEST_APPLESS_MAIN(TestCaptionRect)
#include "tst_captionrect.moc"
