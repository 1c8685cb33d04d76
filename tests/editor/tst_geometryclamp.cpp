#include "GeometryClamp.h"

#include <QTest>
#include <limits>

Q_DECLARE_METATYPE(Geometry)

namespace {

GeometryFields Fields(const QStringList& texts) {
    return GeometryFields{FieldNumber(texts.value(0)), FieldNumber(texts.value(1)),
                          FieldNumber(texts.value(2)), FieldNumber(texts.value(3))};
}

} // namespace

namespace QTest {
template <> char* toString(const Geometry& g) {
    return qstrdup(QByteArray::number(g.left) + ',' + QByteArray::number(g.top) + ' ' +
                   QByteArray::number(g.width) + 'x' + QByteArray::number(g.height));
}
} // namespace QTest

class TestGeometryClamp : public QObject {
    Q_OBJECT
private slots:
    void fieldNumber_data();
    void fieldNumber();
    void buttonGeometry_data();
    void buttonGeometry();
    void panelGeometry_data();
    void panelGeometry();
};

void TestGeometryClamp::fieldNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "80" << true << 80;
    QTest::newRow("negative") << "-7" << true << -7;
    QTest::newRow("blanks around") << " 12 " << true << 12;
    QTest::newRow("letters") << "abc" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("trailing letters") << "12px" << false << 0;
    QTest::newRow("decimal point") << "1.5" << false << 0;
    QTest::newRow("beyond int") << "2147483648" << false << 0;
    QTest::newRow("most negative int") << "-2147483648" << true << std::numeric_limits<int>::min();
}

void TestGeometryClamp::fieldNumber() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, value);
    const std::optional<int> number = FieldNumber(text);
    QCOMPARE(number.has_value(), valid);
    if (valid)
        QCOMPARE(*number, value);
}

void TestGeometryClamp::buttonGeometry_data() {
    QTest::addColumn<QRect>("current");
    QTest::addColumn<QSize>("client");
    QTest::addColumn<QStringList>("fields"); // width, height, left, top
    QTest::addColumn<Geometry>("expected");
    const QSize client(320, 240);
    QTest::newRow("300 + 50 on 320 gives 20")
        << QRect(300, 20, 80, 30) << client << QStringList{"50", "30", "300", "20"}
        << Geometry{300, 20, 20, 30};
    QTest::newRow("5 gives 10") << QRect(10, 20, 80, 30) << client
                                << QStringList{"5", "5", "10", "20"} << Geometry{10, 20, 10, 10};
    QTest::newRow("-7 gives 0") << QRect(10, 20, 80, 30) << client
                                << QStringList{"80", "30", "-7", "-7"} << Geometry{0, 0, 80, 30};
    QTest::newRow("400 for a button 80 wide gives 240")
        << QRect(10, 20, 80, 30) << client << QStringList{"80", "30", "400", "20"}
        << Geometry{240, 20, 80, 30};
    QTest::newRow("top uses the height just set")
        << QRect(10, 20, 80, 30) << client << QStringList{"80", "100", "10", "200"}
        << Geometry{10, 140, 80, 100};
    QTest::newRow("abc and empty keep the current values")
        << QRect(10, 20, 80, 30) << client << QStringList{"abc", "", "x", "1e2"}
        << Geometry{10, 20, 80, 30};
    // Five pixels remain right of the button: above them gives them, below gives 10.
    QTest::newRow("above a limit below 10 gives the limit")
        << QRect(315, 20, 5, 30) << client << QStringList{"50", "30", "315", "20"}
        << Geometry{315, 20, 5, 30};
    QTest::newRow("at or below a limit below 10 gives 10")
        << QRect(315, 20, 5, 30) << client << QStringList{"3", "30", "315", "20"}
        << Geometry{310, 20, 10, 30};
    QTest::newRow("standing beyond the edge gives 1, not less")
        << QRect(330, 250, 80, 30) << client << QStringList{"80", "30", "330", "250"}
        << Geometry{319, 239, 1, 1};
    QTest::newRow("standing on the edge gives 1, not 0")
        << QRect(320, 20, 80, 30) << client << QStringList{"80", "30", "320", "20"}
        << Geometry{319, 20, 1, 30};
    QTest::newRow("left above a negative limit gives that limit")
        << QRect(-100, 20, 80, 30) << client << QStringList{"400", "30", "5", "20"}
        << Geometry{-80, 20, 400, 30};
    QTest::newRow("left below a negative limit gives 0")
        << QRect(-100, 20, 80, 30) << client << QStringList{"400", "30", "-100", "20"}
        << Geometry{0, 20, 400, 30};
    QTest::newRow("most negative ints")
        << QRect(10, 20, 80, 30) << client
        << QStringList{"-2147483648", "-2147483648", "-2147483648", "-2147483648"}
        << Geometry{0, 0, 10, 10};
    QTest::newRow("largest ints") << QRect(10, 20, 80, 30) << client
                                  << QStringList{"2147483647", "2147483647", "2147483647",
                                                 "2147483647"}
                                  << Geometry{10, 20, 310, 220};
}

void TestGeometryClamp::buttonGeometry() {
    QFETCH(QRect, current);
    QFETCH(QSize, client);
    QFETCH(QStringList, fields);
    QFETCH(Geometry, expected);
    QCOMPARE(ClampButtonGeometry(current, Fields(fields), client), expected);
}

void TestGeometryClamp::panelGeometry_data() {
    QTest::addColumn<QRect>("current");
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<Geometry>("expected");
    const QRect current(200, 100, 320, 240);
    const QSize screen(1024, 768);
    QTest::newRow("width 50 gives 116")
        << current << screen << QStringList{"50", "50", "200", "100"}
        << Geometry{200, 100, 116, 116};
    QTest::newRow("left 5000 on 1024 gives 1019")
        << current << screen << QStringList{"320", "240", "5000", "5000"}
        << Geometry{1019, 763, 320, 240};
    QTest::newRow("left equal to the screen width is kept")
        << current << screen << QStringList{"320", "240", "1024", "768"}
        << Geometry{1024, 768, 320, 240};
    QTest::newRow("negative positions give 0")
        << current << screen << QStringList{"320", "240", "-1", "-300"} << Geometry{0, 0, 320, 240};
    QTest::newRow("no upper limit on the size")
        << current << screen << QStringList{"5000", "4000", "0", "0"} << Geometry{0, 0, 5000, 4000};
    QTest::newRow("abc keeps the current values")
        << current << screen << QStringList{"abc", "", "-", "+"} << Geometry{200, 100, 320, 240};
    QTest::newRow("largest left") << current << screen
                                  << QStringList{"320", "240", "2147483647", "100"}
                                  << Geometry{1019, 100, 320, 240};
}

void TestGeometryClamp::panelGeometry() {
    QFETCH(QRect, current);
    QFETCH(QSize, screen);
    QFETCH(QStringList, fields);
    QFETCH(Geometry, expected);
    QCOMPARE(ClampPanelGeometry(current, Fields(fields), screen), expected);
}

QTEST_APPLESS_MAIN(TestGeometryClamp)
#include "tst_geometryclamp.moc"
