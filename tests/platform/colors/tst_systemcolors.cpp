#include "SystemColors.h"

#include <QGuiApplication>
#include <QPalette>
#include <QTest>

class TestSystemColors : public QObject {
    Q_OBJECT
private slots:
    void contrast_data();
    void contrast();
    void resolve_data();
    void resolve();
};

static TColor rgb(int r, int g, int b) { return r | (g << 8) | (b << 16); }

void TestSystemColors::contrast_data() {
    QTest::addColumn<TColor>("background");
    QTest::addColumn<TColor>("expected");
    QTest::newRow("black") << rgb(0, 0, 0) << clWhite;
    QTest::newRow("red") << rgb(255, 0, 0) << clWhite;
    QTest::newRow("grey 808080 is exactly 128") << rgb(128, 128, 128) << clWhite;
    QTest::newRow("grey 818181") << rgb(129, 129, 129) << clBlack;
    QTest::newRow("silver") << rgb(192, 192, 192) << clBlack;
    QTest::newRow("yellow") << rgb(255, 255, 0) << clBlack;
    QTest::newRow("lime") << rgb(0, 255, 0) << clBlack;
    QTest::newRow("blue") << rgb(0, 0, 255) << clWhite;
    // 128.5 exactly: ties go to the even neighbour 128, so white.
    QTest::newRow("tie 128.5 rounds to even") << rgb(1, 205, 69) << clWhite;
    QTest::newRow("button face") << clBtnFace
                                 << (qGray(QGuiApplication::palette().color(QPalette::Button).rgb()) >
                                             128
                                         ? clBlack
                                         : clWhite);
    QTest::newRow("unknown system colour is black") << static_cast<TColor>(0x80000040u) << clWhite;
}

void TestSystemColors::contrast() {
    QFETCH(TColor, background);
    QFETCH(TColor, expected);
    QCOMPARE(ContrastTextColor(background), expected);
}

void TestSystemColors::resolve_data() {
    QTest::addColumn<TColor>("value");
    QTest::addColumn<QColor>("expected");
    const QPalette pal = QGuiApplication::palette();
    QTest::newRow("red low byte") << rgb(255, 0, 0) << QColor(255, 0, 0);
    QTest::newRow("bgr order") << static_cast<TColor>(0x00123456) << QColor(0x56, 0x34, 0x12);
    QTest::newRow("window") << clWindow << pal.color(QPalette::Base);
    QTest::newRow("window frame") << clWindowFrame << pal.color(QPalette::Shadow);
    QTest::newRow("window text") << clWindowText << pal.color(QPalette::WindowText);
    QTest::newRow("button face") << clBtnFace << pal.color(QPalette::Button);
    QTest::newRow("button shadow") << clBtnShadow << pal.color(QPalette::Dark);
    QTest::newRow("button text") << clBtnText << pal.color(QPalette::ButtonText);
    QTest::newRow("button highlight") << clBtnHighlight << pal.color(QPalette::Light);
    QTest::newRow("index 31 is black") << static_cast<TColor>(0x8000001Fu) << QColor(0, 0, 0);
}

void TestSystemColors::resolve() {
    QFETCH(TColor, value);
    QFETCH(QColor, expected);
    QCOMPARE(ResolveColor(value).rgb(), expected.rgb());
    if (!IsSystemColor(value))
        QCOMPARE(ColorToValue(ResolveColor(value)), value);
}

QTEST_MAIN(TestSystemColors)
#include "tst_systemcolors.moc"
