#include "CommPortPath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TstCommPortPath : public QObject {
    Q_OBJECT

private slots:
    void defaultTable_data();
    void defaultTable();
    void linkInPortsFolder();
    void danglingLinkStillWins();
    void executableFolder();
    void chosenPortFolder();
};

void TstCommPortPath::defaultTable_data() {
    QTest::addColumn<int>("portNo");
    QTest::addColumn<QString>("path");
    QTest::newRow("COM1") << 1 << "/dev/ttyUSB0";
    QTest::newRow("COM10") << 10 << "/dev/ttyUSB9";
    QTest::newRow("COM11") << 11 << "/dev/ttyACM0";
    QTest::newRow("COM20") << 20 << "/dev/ttyACM9";
    QTest::newRow("COM21") << 21 << "/dev/ttyS0";
    QTest::newRow("COM30") << 30 << "/dev/ttyS9";
    QTest::newRow("COM0") << 0 << "";
    QTest::newRow("COM31") << 31 << "";
    QTest::newRow("negative") << -1 << "";
}

void TstCommPortPath::defaultTable() {
    QFETCH(int, portNo);
    QFETCH(QString, path);
    QTemporaryDir empty;
    QCOMPARE(QString::fromStdString(ResolveCommPortPath(portNo, empty.path().toStdString())), path);
    QCOMPARE(QString::fromStdString(ResolveCommPortPath(portNo, {})), path);
}

void TstCommPortPath::linkInPortsFolder() {
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkdir("ports"));
    QVERIFY(QFile::link("/dev/null", folder.path() + "/ports/COM12"));
    const std::string base = folder.path().toStdString();
    QCOMPARE(ResolveCommPortPath(12, base), base + "/ports/COM12");
    // Only that port is mapped; COM1 (no padding: not COM12's prefix) uses the table.
    QCOMPARE(ResolveCommPortPath(1, base), std::string("/dev/ttyUSB0"));
}

void TstCommPortPath::danglingLinkStillWins() {
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkdir("ports"));
    QVERIFY(QFile::link(folder.path() + "/unplugged", folder.path() + "/ports/COM3"));
    const std::string base = folder.path().toStdString();
    // The user's own mapping, even to a device that is gone, never falls back to another.
    QCOMPARE(ResolveCommPortPath(3, base), base + "/ports/COM3");
}

void TstCommPortPath::executableFolder() {
    QCOMPARE(QString::fromStdString(ExecutableFolder()), QCoreApplication::applicationDirPath());
    QCOMPARE(CommPortFolder(), ExecutableFolder());
}

void TstCommPortPath::chosenPortFolder() {
    SetCommPortFolder("/tmp/somewhere");
    QCOMPARE(CommPortFolder(), std::string("/tmp/somewhere"));
    SetCommPortFolder({});
    QCOMPARE(CommPortFolder(), ExecutableFolder());
}

QTEST_GUILESS_MAIN(TstCommPortPath)
#include "tst_commportpath.moc"
