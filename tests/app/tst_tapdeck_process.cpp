// Starts the real program under the X server, the way a session does, and ends it with
// the signals a session sends.

#include "PanelProcess.h"

#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace panel_process;

class TestTapdeckProcess : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void signalWritesTheSettingsFile_data();
    void signalWritesTheSettingsFile();
};

void TestTapdeckProcess::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QFAIL("needs an X server (run under xvfb-run)");
    QVERIFY2(QFile::exists(Program), qPrintable(Program));
}

void TestTapdeckProcess::signalWritesTheSettingsFile_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("title");
    QTest::newRow("SIGTERM, first start") << SIGTERM << QByteArray() << "Orvix Tapdeck3";
    QTest::newRow("SIGHUP, stored caption")
        << SIGHUP << QByteArray("[Form]\r\nCaption=Process Panel\r\nLeft=30\r\nTop=40\r\n")
        << "Process Panel";
    QTest::newRow("SIGINT, stored caption")
        << SIGINT << QByteArray("[Form]\r\nCaption=Interrupted\r\n") << "Interrupted";
    QTest::newRow("SIGTERM, empty caption")
        << SIGTERM << QByteArray("[Form]\r\nCaption=\r\n") << "";
}

void TestTapdeckProcess::signalWritesTheSettingsFile() {
    QFETCH(int, signalNumber);
    QFETCH(QByteArray, settings);
    QFETCH(QString, title);
    QTemporaryDir dir;
    Panel panel(dir.path());
    const QString settingsPath = panel.SettingsPath();
    QVERIFY(panel.Start(settings));
    // Every start ends with the link selection's box; the first start's link is PWT3.
    QVERIFY(panel.AcknowledgeBox(QStringLiteral("情報")));

    // The title bar shows exactly the caption: nothing appended, and no application name
    // for an empty one; the class stays the application's. The panel is the one window left.
    const QString window = title.isEmpty() ? VisibleWindows().value(0) : WaitForWindow(title);
    QVERIFY2(!window.isEmpty(), qPrintable("no window titled " + title));
    QCOMPARE(Run("xdotool", {"getwindowname", window}), title);
    const QString quoted = title.isEmpty() ? QString() : '"' + title + '"';
    QCOMPARE(Run("xprop", {"-id", window, "-notype", "_NET_WM_NAME", "WM_CLASS"}),
             "_NET_WM_NAME = " + quoted + "\nWM_CLASS = \"tapdeck\", \"Orvix Tapdeck3\"");
    if (settings.isEmpty()) {
        // First start: the frame 320 x 240, centred on the screen (with a window manager,
        // the frame it adds is inside those).
        const QStringList screen = Run("xdotool", {"getdisplaygeometry"}).split(' ');
        QCOMPARE(screen.size(), 2);
        QCOMPARE(FrameOnScreen(window),
                 QRect((screen[0].toInt() - 320) / 2, (screen[1].toInt() - 240) / 2, 320, 240));
    }
    QVERIFY(QFile::exists(settingsPath));
    QFile::remove(settingsPath);

    QVERIFY(panel.Signal(signalNumber));
    const QByteArray saved = ReadAll(settingsPath);
    QVERIFY2(saved.contains("Caption=" + title.toUtf8() + "\r\n"), saved.constData());
    QVERIFY(saved.endsWith("Button=0\r\n\r\n"));
}

QTEST_GUILESS_MAIN(TestTapdeckProcess)
#include "tst_tapdeck_process.moc"
