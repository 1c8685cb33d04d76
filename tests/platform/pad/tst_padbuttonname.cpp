// The names pad buttons and pairs of them are stored under.
#include "PadButtonName.h"

#include <QTest>

class TestPadButtonName : public QObject {
    Q_OBJECT
private slots:
    void names_data();
    void names();
};

void TestPadButtonName::names_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("button");
    QTest::addColumn<QStringList>("parts"); // empty: no pair
    QTest::newRow("LS-Up") << "LS-Up" << true << QStringList{};
    QTest::newRow("RS-Right") << "RS-Right" << true << QStringList{};
    QTest::newRow("written otherwise") << "ls-up" << false << QStringList{};
    QTest::newRow("no such direction") << "LS-Centre" << false << QStringList{};
    QTest::newRow("Back+Start") << "Back+Start" << false << QStringList{"Back", "Start"};
    QTest::newRow("LB+LS-Up") << "LB+LS-Up" << false << QStringList{"LB", "LS-Up"};
    QTest::newRow("joystick button in a pair")
        << "Button12+Up" << false << QStringList{"Button12", "Up"};
    QTest::newRow("a name with itself") << "A+A" << false << QStringList{};
    QTest::newRow("three") << "A+B+X" << false << QStringList{};
    QTest::newRow("one part missing") << "A+" << false << QStringList{};
    QTest::newRow("an unknown part") << "Guide+A" << false << QStringList{};
}

void TestPadButtonName::names() {
    QFETCH(QString, name);
    QFETCH(bool, button);
    QFETCH(QStringList, parts);
    QCOMPARE(IsPadButtonName(name), button);
    QCOMPARE(PadPairParts(name), parts);
    if (!parts.isEmpty())
        QCOMPARE(PadPairName(parts.front(), parts.back()), name);
}

QTEST_GUILESS_MAIN(TestPadButtonName)
#include "tst_padbuttonname.moc"
