// The real program in a Wayland session: a Weston compositor without a screen, with
// XWayland. Where an X display is there the panel must be an X11 window on it, so that
// the motion editor link reaches the stand-in; a user's own choice of platform wins.

#include "MotionEditorProcess.h"
#include "PanelProcess.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace panel_process;

namespace {

const QByteArray OneButton = "[Form]\r\nComm=0\r\nCaption=Wayland Panel\r\nTop=50\r\nLeft=50\r\n"
                             "Width=300\r\nHeight=200\r\nButton=1\r\n\r\n"
                             "[Button1]\r\nCaption=Go\r\nTop=20\r\nLeft=20\r\nWidth=110\r\n"
                             "Height=40\r\nMotion=0\r\nShortCut=65\r\nColor=32768\r\n";
const QString Limits = QStringLiteral("XWayland (X のディスプレイ) が必要です");

} // namespace

class TestWaylandSession : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void panelIsAnX11WindowAndReachesTheMotionEditor();
    void waylandWhenChosenOrWithoutX_data();
    void waylandWhenChosenOrWithoutX();
    void cleanupTestCase();

private:
    QTemporaryDir m_runtime;
    QProcess m_weston;
    QString m_display;
};

void TestWaylandSession::initTestCase() {
    QVERIFY(m_runtime.isValid());
    QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Weston's XWayland listens in the usual place, which a machine without any X server
    // so far may not have.
    ::mkdir("/tmp/.X11-unix", 01777);
    const QString socket =
        QStringLiteral("tapdeck-test-%1").arg(QCoreApplication::applicationPid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", m_runtime.path());
    m_weston.setProcessEnvironment(environment);
    m_weston.setProcessChannelMode(QProcess::MergedChannels);
    m_weston.start("weston", {"--backend=headless-backend.so", "--xwayland", "--socket=" + socket,
                              "--idle-time=0"});
    QVERIFY2(m_weston.waitForStarted(), "weston did not start");
    QByteArray log;
    const QRegularExpression listening(QStringLiteral("xserver listening on display (:\\d+)"));
    QRegularExpressionMatch match;
    QElapsedTimer timer;
    timer.start();
    while (!(match = listening.match(QString::fromLocal8Bit(log))).hasMatch() &&
           timer.elapsed() < 20000 && m_weston.state() == QProcess::Running) {
        m_weston.waitForReadyRead(200);
        log += m_weston.readAll();
    }
    QVERIFY2(match.hasMatch(), log.constData());
    m_display = match.captured(1);
    // Everything started from here (the panel, the stand-in, xdotool) is in the session.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    qputenv("WAYLAND_DISPLAY", socket.toUtf8());
    qputenv("DISPLAY", m_display.toUtf8());
    qunsetenv("QT_QPA_PLATFORM");
}

void TestWaylandSession::panelIsAnX11WindowAndReachesTheMotionEditor() {
    MotionEditorProcess editor;
    QVERIFY2(editor.Start(), qPrintable(editor.ErrorString()));
    QTemporaryDir dir;
    Panel panel(dir.path());
    QVERIFY(panel.Start(OneButton));
    // XWayland without a seat takes no typed keys: keys are sent to the windows.
    QVERIFY(panel.AcknowledgeBox(QStringLiteral("情報"), true));
    const QString window = WaitForWindow(QStringLiteral("Wayland Panel"));
    QVERIFY2(!window.isEmpty(), "the panel is no X11 window on XWayland");
    QCOMPARE(Run("xprop", {"-id", window, "-notype", "WM_CLASS"}),
             QStringLiteral("WM_CLASS = \"tapdeck\", \"Orvix Tapdeck3\""));

    QVERIFY(Xdo({"key", "--window", window, "a"}));
    QVERIFY(editor.WaitForLines(1, 10000));
    QCOMPARE(editor.Lines(), QStringList{"Motion1 (0)"});
    QVERIFY(panel.Terminate());
}

void TestWaylandSession::waylandWhenChosenOrWithoutX_data() {
    QTest::addColumn<bool>("withX");
    QTest::addColumn<QByteArray>("platformVariable");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no X display") << false << QByteArray() << QStringList();
    QTest::newRow("QT_QPA_PLATFORM=wayland") << true << QByteArray("wayland") << QStringList();
    QTest::newRow("-platform wayland")
        << true << QByteArray() << QStringList{"-platform", "wayland"};
}

// On Wayland the panel still starts, and says once what it lacks there. (It shows the link
// selection's box at once, which nothing outside can close on Wayland; so it is killed.)
void TestWaylandSession::waylandWhenChosenOrWithoutX() {
    QFETCH(bool, withX);
    QFETCH(QByteArray, platformVariable);
    QFETCH(QStringList, arguments);
    QTemporaryDir dir;
    Panel panel(dir.path());
    panel.KeepErrorOutput();
    if (!withX)
        panel.Environment().remove("DISPLAY");
    if (!platformVariable.isEmpty())
        panel.Environment().insert("QT_QPA_PLATFORM", QString::fromLatin1(platformVariable));
    QVERIFY(panel.Start(QByteArray("[Form]\r\nCaption=On Wayland\r\n"), arguments));
    QTest::qWait(2000);
    QVERIFY(panel.IsRunning());
    if (withX)
        QCOMPARE(VisibleWindows(), QStringList());
    panel.Kill();
    const QStringList lines = panel.ErrorOutput().split('\n', Qt::SkipEmptyParts).filter(Limits);
    QCOMPARE(lines.size(), 1);
}

void TestWaylandSession::cleanupTestCase() {
    m_weston.terminate();
    if (!m_weston.waitForFinished(5000))
        m_weston.kill();
}

QTEST_GUILESS_MAIN(TestWaylandSession)
#include "tst_wayland_session.moc"
