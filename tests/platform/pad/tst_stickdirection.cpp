// A stick's direction from its previous one and where it points now.
#include "StickDirection.h"

#include <QTest>

#include <cmath>
#include <numbers>

namespace {

using D = TStickDirection;

// Degrees clockwise from straight up; SDL's y grows downwards.
QPointF Pointing(double travel, double degrees) {
    const double radians = degrees * std::numbers::pi / 180.0;
    return {travel * std::sin(radians), -travel * std::cos(radians)};
}

} // namespace

Q_DECLARE_METATYPE(TStickDirection)

class TestStickDirection : public QObject {
    Q_OBJECT
private slots:
    void next_data();
    void next();
};

void TestStickDirection::next_data() {
    QTest::addColumn<TStickDirection>("previous");
    QTest::addColumn<QPointF>("stick");
    QTest::addColumn<TStickDirection>("next");
    QTest::newRow("short of 0.6 up") << D::None << Pointing(0.59, 0) << D::None;
    QTest::newRow("past 0.6 up") << D::None << Pointing(0.61, 0) << D::Up;
    QTest::newRow("straight down is y positive") << D::None << QPointF(0, 0.9) << D::Down;
    QTest::newRow("44° is Up's") << D::None << Pointing(0.9, 44) << D::Up;
    QTest::newRow("46° is Right's") << D::None << Pointing(0.9, 46) << D::Right;
    QTest::newRow("held at 0.46") << D::Up << Pointing(0.46, 10) << D::Up;
    QTest::newRow("let go below 0.45") << D::Up << Pointing(0.44, 0) << D::None;
    QTest::newRow("held 9° past the edge") << D::Up << Pointing(0.9, 54) << D::Up;
    QTest::newRow("11° past the edge: Right") << D::Up << Pointing(0.9, 56) << D::Right;
    QTest::newRow("held 9° past the other edge") << D::Up << Pointing(0.9, -54) << D::Up;
    QTest::newRow("back 9° into Up stays Right") << D::Right << Pointing(0.9, 36) << D::Right;
    QTest::newRow("back 11° into Up") << D::Right << Pointing(0.9, 34) << D::Up;
    QTest::newRow("turned at 0.5 into Down") << D::Left << Pointing(0.5, 200) << D::Down;
    QTest::newRow("flicked across") << D::Up << Pointing(0.9, 180) << D::Down;
}

void TestStickDirection::next() {
    QFETCH(TStickDirection, previous);
    QFETCH(QPointF, stick);
    QFETCH(TStickDirection, next);
    QCOMPARE(NextStickDirection(previous, stick.x(), stick.y()), next);
}

QTEST_GUILESS_MAIN(TestStickDirection)
#include "tst_stickdirection.moc"
