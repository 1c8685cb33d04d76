// Which Qt platform the programs ask for before their application object exists.

#include "PlatformChoice.h"

#include <QTest>

#include <vector>

class TestPlatformChoice : public QObject {
    Q_OBJECT
private slots:
    void request_data();
    void request();
};

// The wayland choices by variable and by -platform, and no X display, are run for real in
// the Wayland session test; these rows are the ones it does not reach.
void TestPlatformChoice::request_data() {
    QTest::addColumn<QByteArray>("qpaPlatform"); // null: unset
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("xReachable");
    QTest::addColumn<QString>("expected");
    QTest::newRow("nothing chosen, XWayland") << QByteArray() << QStringList() << true << "xcb";
    QTest::newRow("empty variable is no choice")
        << QByteArray("") << QStringList() << true << "xcb";
    QTest::newRow("variable offscreen") << QByteArray("offscreen") << QStringList() << true << "";
    QTest::newRow("--platform") << QByteArray() << QStringList{"--platform", "wayland"} << true
                                << "";
    QTest::newRow("-platformtheme is another option")
        << QByteArray() << QStringList{"-platformtheme", "gtk3"} << true << "xcb";
}

void TestPlatformChoice::request() {
    QFETCH(QByteArray, qpaPlatform);
    QFETCH(QStringList, arguments);
    QFETCH(bool, xReachable);
    QFETCH(QString, expected);
    std::vector<QByteArray> storage{QByteArray("tapdeck")};
    for (const QString& argument : arguments)
        storage.push_back(argument.toUtf8());
    std::vector<const char*> argv;
    for (const QByteArray& argument : storage)
        argv.push_back(argument.constData());
    const std::string platform =
        PlatformToRequest(qpaPlatform.isNull() ? nullptr : qpaPlatform.constData(),
                          static_cast<int>(argv.size()), argv.data(), xReachable);
    QCOMPARE(QString::fromStdString(platform), expected);
}

QTEST_GUILESS_MAIN(TestPlatformChoice)
#include "tst_platformchoice.moc"
