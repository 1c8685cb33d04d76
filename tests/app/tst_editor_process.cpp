// The real program under the X server, driven with xdotool as a user would: a shortcut key
// captured in the property editor reaches the settings file and presses the button.

#include "MotionEditorProcess.h"
#include "PanelProcess.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace panel_process;

namespace {

const QByteArray OneButton =
    "[Form]\r\nComm=0\r\nCaption=Editor Panel\r\nTop=100\r\nLeft=200\r\nWidth=320\r\n"
    "Height=240\r\nColor=-2147483633\r\nBmpFile=\r\nButton=1\r\n\r\n"
    "[Button1]\r\nCaption=Walk\r\nTop=10\r\nLeft=10\r\nWidth=80\r\nHeight=30\r\n"
    "Motion=0\r\nShortCut=-1\r\nColor=255\r\n";

bool Click(const QString& window, QPoint at, int count = 1) {
    return Xdo({"mousemove", "--window", window, QString::number(at.x()), QString::number(at.y()),
                "click", "--repeat", QString::number(count), "--delay", "50", "1"});
}

// Polls the window's title until it reads `title`; false when it never does.
bool WaitForTitle(const QString& window, const QString& title) {
    QElapsedTimer timer;
    timer.start();
    while (Run("xdotool", {"getwindowname", window}) != title) {
        if (timer.elapsed() > 20000)
            return false;
        QTest::qWait(50);
    }
    return true;
}

} // namespace

class TestEditorProcess : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void capturedShortcutIsSaved_data();
    void capturedShortcutIsSaved();
};

void TestEditorProcess::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QFAIL("needs an X server (run under xvfb-run)");
    QVERIFY2(QFile::exists(Program), qPrintable(Program));
}

void TestEditorProcess::capturedShortcutIsSaved_data() {
    QTest::addColumn<QString>("layout"); // the server's keyboard layout
    QTest::addColumn<QString>("key");    // as xdotool names it
    QTest::addColumn<int>("code");
    QTest::newRow("A") << "us"
                       << "a" << 65;
    QTest::newRow("変換 on a Japanese keyboard") << "jp"
                                                 << "Henkan_Mode" << 28;
}

void TestEditorProcess::capturedShortcutIsSaved() {
    QFETCH(QString, layout);
    QFETCH(QString, key);
    QFETCH(int, code);
    QCOMPARE(QProcess::execute("setxkbmap", {"-layout", layout}), 0);
    QTemporaryDir dir;
    MotionEditorProcess motionEditor;
    QVERIFY2(motionEditor.Start(), qPrintable(motionEditor.ErrorString()));
    Panel program(dir.path());
    QVERIFY(program.Start(OneButton));
    const QString panel = WaitForWindow("Editor Panel");
    QVERIFY(!panel.isEmpty());
    // The first link selection ends with one box.
    QVERIFY(program.AcknowledgeBox("情報"));

    // A double click on the empty panel switches edit mode on; a click on the button
    // selects it and loads the editor.
    QVERIFY(Click(panel, QPoint(250, 200), 2));
    const QString editor = WaitForWindow("Formのプロパティ");
    QVERIFY(!editor.isEmpty());
    QVERIFY(Click(panel, QPoint(50, 25)));
    QVERIFY(WaitForTitle(editor, "Walkのプロパティ"));

    // The shortcut field, then the key, with the keyboard on the editor window.
    QVERIFY(Click(editor, QPoint(140, 150)));
    QVERIFY(Xdo({"windowfocus", "--sync", editor}));
    QVERIFY(Xdo({"key", key}));
    // A click on the empty panel comes after the key on the same connection: once the
    // editor shows the panel, the key has been handled.
    QVERIFY(Click(panel, QPoint(250, 200)));
    QVERIFY(WaitForTitle(editor, "Formのプロパティ"));

    // Out of edit mode the key plays the button (Motion1) over the motion editor link.
    QVERIFY(Click(panel, QPoint(250, 200), 2));
    QVERIFY(Xdo({"windowfocus", "--sync", panel}));
    QVERIFY(Xdo({"key", key}));
    QVERIFY(motionEditor.WaitForLines(1, 20000));
    QCOMPARE(motionEditor.Lines(), QStringList{"Motion1 (0)"});

    QVERIFY(program.Terminate());
    const QByteArray saved = ReadAll(program.SettingsPath());
    const qsizetype button = saved.indexOf("[Button1]\r\n");
    QVERIFY2(button >= 0, saved.constData());
    QVERIFY2(saved.indexOf("ShortCut=" + QByteArray::number(code) + "\r\n", button) > button,
             saved.constData());
    QVERIFY2(!saved.contains("ShortCut=-1"), saved.constData());
}

QTEST_GUILESS_MAIN(TestEditorProcess)
#include "tst_editor_process.moc"
