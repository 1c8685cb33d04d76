// Held buttons in the real program under the X server: keys and the mouse held and let go
// through XTest, the board simulator on COM1 recording when each play's exchange began.
#include "PanelProcess.h"
#include "PlayRuns.h"
#include "SimulatorProcess.h"

#include <QTemporaryDir>
#include <QTest>

using namespace panel_process;

namespace {

const QString Title = QStringLiteral("Hold Panel");

// CB_2 "Go" at (20, 20), 80 x 30: Motion5 (play number 4), shortcut A, plus buttonKeys.
// CB_1 "S" at (20, 70): play number 11, shortcut S, the key a stop may be given.
QByteArray Settings(const QByteArray& formKeys, const QByteArray& buttonKeys) {
    return "[Form]\r\nComm=1\r\nCaption=" + Title.toUtf8() +
           "\r\nTop=100\r\nLeft=100\r\nWidth=320\r\nHeight=240\r\nButton=2\r\n" + formKeys +
           "\r\n[Button1]\r\nCaption=S\r\nTop=70\r\nLeft=20\r\nWidth=80\r\nHeight=30\r\n"
           "Motion=11\r\nShortCut=83\r\n"
           "\r\n[Button2]\r\nCaption=Go\r\nTop=20\r\nLeft=20\r\nWidth=80\r\nHeight=30\r\n"
           "Motion=4\r\nShortCut=65\r\n" +
           buttonKeys;
}

const QByteArray HeldKeys = "Repeat=200\r\nRelease=7\r\n";
const QByteArray StopKeys = "StopKey=83\r\nStopPlay=9\r\n";
// The repeat interval less what a probe byte may lag its play's start by on a loaded
// machine: the interval is counted from the start of the play before.
constexpr int RepeatGapMs = 150;

} // namespace

class TestHoldProcess : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void holdsReachTheBoard_data();
    void holdsReachTheBoard();
    void cleanup();

private:
    // xdotool on the panel; "at X Y" moves the pointer there in the panel, "wait MS"
    // holds what is held, "await N COUNT" until the board has had COUNT plays of N.
    bool Step(const QStringList& step);

    SimulatorProcess* m_board = nullptr;
    QString m_window;
};

void TestHoldProcess::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QFAIL("needs an X server (run under xvfb-run)");
    QVERIFY2(QFile::exists(Program), qPrintable(Program));
}

bool TestHoldProcess::Step(const QStringList& step) {
    if (step[0] == "at")
        return Xdo({"mousemove", "--window", m_window, step[1], step[2]});
    if (step[0] == "wait") {
        QTest::qWait(step[1].toInt());
        return true;
    }
    if (step[0] == "await") {
        const int number = step[1].toInt();
        const int count = step[2].toInt();
        return QTest::qWaitFor(
            [&] { return play_runs::CountOf(m_board->Plays(), number) >= count; }, 10000);
    }
    return Xdo(step);
}

void TestHoldProcess::holdsReachTheBoard_data() {
    QTest::addColumn<QByteArray>("formKeys");
    QTest::addColumn<QByteArray>("buttonKeys");
    QTest::addColumn<QList<QStringList>>("steps");
    QTest::addColumn<QList<PlayRun>>("runs");
    QTest::addColumn<int>("minGapMs"); // between the plays of one run

    const QList<PlayRun> heldThenReleased = {{4, 3, -1}, {7, 1, 1}};
    QTest::newRow("key held: repeats, then the release play")
        << QByteArray() << HeldKeys
        << QList<QStringList>{{"keydown", "a"},
                              {"wait", "1000"},
                              {"await", "4", "3"},
                              {"keyup", "a"}}
        << heldThenReleased << RepeatGapMs;
    QTest::newRow("mouse held: repeats, then the release play")
        << QByteArray() << HeldKeys
        << QList<QStringList>{{"at", "50", "35"},
                              {"mousedown", "1"},
                              {"wait", "1000"},
                              {"await", "4", "3"},
                              {"mouseup", "1"}}
        << heldThenReleased << RepeatGapMs;
    QTest::newRow("mouse held, let go off the button")
        << QByteArray() << HeldKeys
        << QList<QStringList>{{"at", "50", "35"},  {"mousedown", "1"},   {"wait", "1000"},
                              {"await", "4", "3"}, {"at", "250", "200"}, {"mouseup", "1"}}
        << heldThenReleased << RepeatGapMs;
    // X repeats the key all the while: a held button hears only its first down.
    QTest::newRow("key held, release play only: no repeats")
        << QByteArray() << QByteArray("Release=7\r\n")
        << QList<QStringList>{{"keydown", "a"}, {"wait", "1000"}, {"keyup", "a"}}
        << QList<PlayRun>{{4, 1, 1}, {7, 1, 1}} << 0;
    QTest::newRow("key held on a plain button: each X repeat presses")
        << QByteArray() << QByteArray()
        << QList<QStringList>{{"keydown", "a"},
                              {"wait", "1000"},
                              {"await", "4", "2"},
                              {"keyup", "a"}}
        << QList<PlayRun>{{4, 2, -1}} << 0;
    QTest::newRow("click on a plain button: once")
        << QByteArray() << QByteArray() << QList<QStringList>{{"at", "50", "35"}, {"click", "1"}}
        << QList<PlayRun>{{4, 1, 1}} << 0;
    // The stop key is S, CB_1's shortcut too: it presses no button, and the key held
    // before it plays nothing when it comes up.
    QTest::newRow("stop key during a key hold")
        << StopKeys << HeldKeys
        << QList<QStringList>{{"keydown", "a"},    {"await", "4", "2"}, {"key", "s"},
                              {"await", "9", "1"}, {"wait", "300"},     {"keyup", "a"}}
        << QList<PlayRun>{{4, 2, -1}, {9, 1, 1}} << RepeatGapMs;
}

void TestHoldProcess::holdsReachTheBoard() {
    QFETCH(QByteArray, formKeys);
    QFETCH(QByteArray, buttonKeys);
    QFETCH(QList<QStringList>, steps);
    QFETCH(QList<PlayRun>, runs);
    QFETCH(int, minGapMs);

    QTemporaryDir dir;
    SimulatorProcess board;
    QVERIFY2(board.Start(dir.path(), 1), qPrintable(board.ErrorString()));
    m_board = &board;
    Panel panel(dir.path());
    QVERIFY(panel.Start(Settings(formKeys, buttonKeys)));
    QVERIFY(panel.AcknowledgeBox(QStringLiteral("情報"))); // "COM1 設定完了"
    m_window = WaitForWindow(Title);
    QVERIFY(!m_window.isEmpty());
    QVERIFY(Xdo({"windowfocus", "--sync", m_window}));
    QVERIFY(Xdo({"mousemove", "--window", m_window, "250", "200"}));
    for (const QStringList& step : steps)
        QVERIFY2(Step(step), qPrintable(step.join(' ')));

    QTRY_VERIFY_WITH_TIMEOUT(play_runs::LeastReached(board.Plays(), runs), 10000);
    QTest::qWait(500); // a repeat or another play, had there been one, would be here by now
    const QString differs = play_runs::Compare(board.Plays(), runs, minGapMs);
    QVERIFY2(differs.isEmpty(), qPrintable(differs));
    QVERIFY(panel.Terminate());
}

// A row that failed half way must not leave a key or the mouse button down for the next.
void TestHoldProcess::cleanup() {
    Xdo({"mouseup", "1"});
    Xdo({"keyup", "a", "s"});
    m_board = nullptr;
}

QTEST_GUILESS_MAIN(TestHoldProcess)
#include "tst_hold_process.moc"
