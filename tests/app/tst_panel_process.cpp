// The real program under the X server, driven from outside with the mouse and keys,
// with the board simulator on a pseudo-terminal and the motion editor stand-in watching
// the other ends.
#include "MotionEditorProcess.h"
#include "PanelProcess.h"
#include "SimulatorProcess.h"
#include "WindowSystem.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace panel_process;

namespace {

const QString Title = QStringLiteral("Press Panel");

// One button CB_1 at (20, 20), 80 x 30: Motion5 (play number 4), shortcut A (65).
QByteArray Settings(int comm) {
    return "[Form]\r\nComm=" + QByteArray::number(comm) + "\r\nCaption=" + Title.toUtf8() +
           "\r\nTop=100\r\nLeft=100\r\nWidth=320\r\nHeight=240\r\nButton=1\r\n\r\n"
           "[Button1]\r\nCaption=Go\r\nTop=20\r\nLeft=20\r\nWidth=80\r\nHeight=30\r\n"
           "Motion=4\r\nShortCut=65\r\n";
}

const QStringList OneExchange = {"rx 0D", "tx 0D", "rx F4 01 04 F9", "tx 06"};

} // namespace

class TestPanelProcess : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void pressesReachTheBoard_data();
    void pressesReachTheBoard();
    void clickReachesTheMotionEditor();
};

void TestPanelProcess::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QFAIL("needs an X server (run under xvfb-run)");
    QVERIFY2(QFile::exists(Program), qPrintable(Program));
}

void TestPanelProcess::pressesReachTheBoard_data() {
    QTest::addColumn<QStringList>("board");
    QTest::addColumn<QList<QStringList>>("actions"); // xdotool commands on the panel window
    QTest::addColumn<QStringList>("traffic");

    QTest::newRow("a click") << QStringList() << QList<QStringList>{{"click", "1"}}
                             << OneExchange;
    QTest::newRow("the shortcut key") << QStringList() << QList<QStringList>{{"key", "a"}}
                                      << OneExchange;
    QTest::newRow("Shift+A is the same key")
        << QStringList() << QList<QStringList>{{"key", "shift+a"}} << OneExchange;
    QTest::newRow("Alt+A is the same key")
        << QStringList() << QList<QStringList>{{"key", "alt+a"}} << OneExchange;
    // The key arrives while the board is slow to answer the click: it runs after it.
    QTest::newRow("a key during a slow exchange")
        << QStringList{"--delay", "200"}
        << QList<QStringList>{{"click", "1"}, {"sleep", "0.1"}, {"key", "a"}}
        << OneExchange + OneExchange;
}

void TestPanelProcess::pressesReachTheBoard() {
    QFETCH(QStringList, board);
    QFETCH(QList<QStringList>, actions);
    QFETCH(QStringList, traffic);

    QTemporaryDir dir;
    SimulatorProcess simulator;
    QVERIFY2(simulator.Start(dir.path(), 1, board), qPrintable(simulator.ErrorString()));
    Panel panel(dir.path());
    QVERIFY(panel.Start(Settings(1)));
    QVERIFY(panel.AcknowledgeBox(QStringLiteral("情報"))); // "COM1 設定完了"
    const QString window = WaitForWindow(Title);
    QVERIFY(!window.isEmpty());
    QVERIFY(Xdo({"windowfocus", "--sync", window}));
    // The pointer over the button, so that a click lands on it.
    QVERIFY(Xdo({"mousemove", "--window", window, "50", "35"}));
    QStringList command;
    for (const QStringList& action : actions)
        command << action;
    QVERIFY(Xdo(command));

    QVERIFY(simulator.WaitForTraffic(traffic.size(), 10000));
    QTest::qWait(500); // anything more would have arrived by now
    QCOMPARE(simulator.Traffic(), traffic);
    QVERIFY(panel.Terminate());
}

void TestPanelProcess::clickReachesTheMotionEditor() {
    QTemporaryDir dir;
    MotionEditorProcess editor;
    QVERIFY2(editor.Start(), qPrintable(editor.ErrorString()));
    Panel panel(dir.path());
    QVERIFY(panel.Start(Settings(0)));
    QVERIFY(panel.AcknowledgeBox(QStringLiteral("情報"))); // "シリアルポートを閉じました"
    const QString window = WaitForWindow(Title);
    QVERIFY(!window.isEmpty());
    QVERIFY(Xdo({"windowfocus", "--sync", window}));
    QVERIFY(Xdo({"mousemove", "--window", window, "50", "35", "click", "1"}));
    QVERIFY(editor.WaitForLines(1, 10000));
    QTest::qWait(300);
    QCOMPARE(editor.Lines(), QStringList{"Motion5 (4)"});
    // Messages of the same kind posted to the panel are accepted and change nothing.
    const std::unique_ptr<IWindowSystem> windows = CreateWindowSystem();
    QVERIFY(windows->PostMessage(window.toLongLong(), 0x8064, 0, 0));
    QVERIFY(windows->PostMessage(window.toLongLong(), 0x8000, 0, 84));
    QVERIFY(Xdo({"click", "1"}));
    QVERIFY(editor.WaitForLines(2, 10000));
    QCOMPARE(editor.Lines(), (QStringList{"Motion5 (4)", "Motion5 (4)"}));
    QVERIFY(panel.Terminate());
}

QTEST_GUILESS_MAIN(TestPanelProcess)
#include "tst_panel_process.moc"
