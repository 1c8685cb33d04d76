// The real program under the X server, driven with xdotool as a user would: a shortcut key
// captured in the property editor reaches the settings file.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <functional>

namespace {

const QString Program = QStringLiteral(TAPDECK_BINARY_DIR "/app/tapdeck");

QString Xdotool(const QStringList& arguments) {
    QProcess process;
    process.start("xdotool", arguments);
    if (!process.waitForFinished(10000))
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// Polls until the condition holds; false when it still does not after 20 s.
bool WaitUntil(const std::function<bool()>& condition) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > 20000)
            return false;
        QTest::qWait(50);
    }
    return true;
}

// The visible windows whose title matches the pattern.
QStringList Windows(const QString& titlePattern) {
    return Xdotool({"search", "--onlyvisible", "--name", titlePattern})
        .split('\n', Qt::SkipEmptyParts);
}

QString WaitForWindow(const QString& titlePattern) {
    QString found;
    WaitUntil([&] {
        found = Windows(titlePattern).value(0);
        return !found.isEmpty();
    });
    return found;
}

void Click(const QString& window, QPoint at, int count = 1) {
    Xdotool({"mousemove", "--window", window, QString::number(at.x()), QString::number(at.y()),
             "click", "--repeat", QString::number(count), "--delay", "50", "1"});
}

QByteArray Settings(const QByteArray& buttonShortcut) {
    return "[Form]\r\nComm=0\r\nCaption=Editor Panel\r\nTop=100\r\nLeft=200\r\nWidth=320\r\n"
           "Height=240\r\nColor=-2147483633\r\nBmpFile=\r\nButton=1\r\n\r\n"
           "[Button1]\r\nCaption=Walk\r\nTop=10\r\nLeft=10\r\nWidth=80\r\nHeight=30\r\n"
           "Motion=0\r\nShortCut=" +
           buttonShortcut + "\r\nColor=255\r\n";
}

} // namespace

class TestEditorProcess : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void capturedShortcutIsSaved();
};

void TestEditorProcess::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QFAIL("needs an X server (run under xvfb-run)");
    QVERIFY2(QFile::exists(Program), qPrintable(Program));
}

void TestEditorProcess::capturedShortcutIsSaved() {
    QTemporaryDir dir;
    // A copy, not a link: the program finds its settings beside its own resolved path.
    const QString copy = dir.filePath("tapdeck");
    QVERIFY(QFile::copy(Program, copy));
    const QString settingsPath = dir.filePath("Vodazevivuzo3.ini");
    {
        QFile file(settingsPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(Settings("-1"));
    }
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("QT_QPA_PLATFORM");
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(QDir::tempPath());
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(copy, {});
    QVERIFY(process.waitForStarted());

    const QString panel = WaitForWindow("^Editor Panel$");
    QVERIFY(!panel.isEmpty());
    // The first link selection ends with one box; Enter closes it.
    const QString box = WaitForWindow("^(情報|エラー)$");
    QVERIFY(!box.isEmpty());
    Xdotool({"windowfocus", "--sync", box});
    Xdotool({"key", "Return"});
    QVERIFY(WaitUntil([&] { return Windows("^(情報|エラー)$").isEmpty(); }));

    // A double click on the empty panel switches edit mode on; a click on the button
    // selects it and loads the editor.
    Click(panel, QPoint(250, 200), 2);
    const QString editor = WaitForWindow("^Formのプロパティ$");
    QVERIFY(!editor.isEmpty());
    Click(panel, QPoint(50, 25));
    QVERIFY(WaitUntil([&] { return Xdotool({"getwindowname", editor}) == "Walkのプロパティ"; }));

    // The shortcut field, then A; the keyboard follows the editor window.
    Click(editor, QPoint(140, 150));
    Xdotool({"windowfocus", "--sync", editor});
    Xdotool({"key", "a"});
    // A click on the empty panel comes after the key on the same connection: once the
    // editor shows the panel, the key has been handled.
    Click(panel, QPoint(250, 200));
    QVERIFY(WaitUntil([&] { return Xdotool({"getwindowname", editor}) == "Formのプロパティ"; }));

    QCOMPARE(::kill(static_cast<pid_t>(process.processId()), SIGTERM), 0);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QFile saved(settingsPath);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray content = saved.readAll();
    const qsizetype button = content.indexOf("[Button1]\r\n");
    QVERIFY2(button >= 0, content.constData());
    QVERIFY2(content.indexOf("ShortCut=65\r\n", button) > button, content.constData());
    QVERIFY2(!content.contains("ShortCut=-1"), content.constData());
}

QTEST_GUILESS_MAIN(TestEditorProcess)
#include "tst_editor_process.moc"
