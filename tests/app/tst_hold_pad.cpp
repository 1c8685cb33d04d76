// Held buttons by pad: the real panel reading SDL's virtual pad as it reads a real one,
// with the board simulator on COM1 recording when each play's exchange began. (A pad of
// another process cannot be seen, so the panel runs here.)
#include "BtnPrm.h"
#include "CmdMain.h"
#include "CommPortPath.h"
#include "CommX.h"
#include "MessageBoxRecorder.h"
#include "PlayRuns.h"
#include "SdlPadInput.h"
#include "SimulatorProcess.h"
#include "VirtualPad.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <SDL.h>

#include <memory>

namespace {

// One button: play number 4 with buttonKeys (its pad button among them).
QByteArray Settings(const QByteArray& formKeys, const QByteArray& buttonKeys) {
    return "[Form]\r\nComm=1\r\nCaption=Pad Hold\r\nTop=100\r\nLeft=100\r\nWidth=320\r\n"
           "Height=240\r\nButton=1\r\n" +
           formKeys +
           "\r\n[Button1]\r\nCaption=Go\r\nTop=20\r\nLeft=20\r\nWidth=80\r\nHeight=30\r\n"
           "Motion=4\r\n" +
           buttonKeys;
}

int SdlButton(const QString& name) {
    if (name == "Back")
        return SDL_CONTROLLER_BUTTON_BACK;
    if (name == "Start")
        return SDL_CONTROLLER_BUTTON_START;
    return name == "A" ? SDL_CONTROLLER_BUTTON_A : SDL_CONTROLLER_BUTTON_B;
}

} // namespace

class TestHoldPad : public QObject {
    Q_OBJECT
private slots:
    void padHoldsReachTheBoard_data();
    void padHoldsReachTheBoard();
};

void TestHoldPad::padHoldsReachTheBoard_data() {
    QTest::addColumn<QByteArray>("formKeys");
    QTest::addColumn<QByteArray>("buttonKeys");
    // "down A", "up A", "stick Y" (the left stick's vertical axis, -32768 up to 32767
    // down), "wait MS" (what is held stays held), "await N COUNT" (until the board has had
    // COUNT plays of N)
    QTest::addColumn<QList<QStringList>>("steps");
    QTest::addColumn<QList<PlayRun>>("runs");
    QTest::addColumn<int>("minGapMs"); // between the plays of one run

    const QByteArray heldKeys = "Pad=A\r\nRepeat=200\r\nRelease=7\r\n";
    const QByteArray stickKeys = "Pad=LS-Up\r\nRepeat=200\r\nRelease=7\r\n";
    QTest::newRow("held: repeats, then the release play")
        << QByteArray() << heldKeys
        << QList<QStringList>{{"down", "A"}, {"wait", "1000"}, {"await", "4", "3"}, {"up", "A"}}
        << QList<PlayRun>{{4, 3, -1}, {7, 1, 1}} << 150;
    QTest::newRow("held on a plain button: one press")
        << QByteArray() << QByteArray("Pad=A\r\n")
        << QList<QStringList>{{"down", "A"}, {"wait", "1000"}, {"up", "A"}}
        << QList<PlayRun>{{4, 1, 1}} << 0;
    // SDL reads a virtual pad's state: B stays down until the stop has been heard.
    QTest::newRow("the stop pad button during a hold")
        << QByteArray("StopPad=B\r\nStopPlay=9\r\n") << heldKeys
        << QList<QStringList>{{"down", "A"},       {"await", "4", "2"}, {"down", "B"},
                              {"await", "9", "1"}, {"up", "B"},         {"wait", "300"},
                              {"up", "A"}}
        << QList<PlayRun>{{4, 2, -1}, {9, 1, 1}} << 150;
    QTest::newRow("the stick held up: repeats, then the release back at the centre")
        << QByteArray() << stickKeys
        << QList<QStringList>{{"stick", "-30000"},
                              {"wait", "1000"},
                              {"await", "4", "3"},
                              {"stick", "0"}}
        << QList<PlayRun>{{4, 3, -1}, {7, 1, 1}} << 150;
    QTest::newRow("the stop pair Back+Start during a stick hold")
        << QByteArray("StopPad=Back+Start\r\nStopPlay=9\r\n") << stickKeys
        << QList<QStringList>{{"stick", "-30000"}, {"await", "4", "2"}, {"down", "Back"},
                              {"down", "Start"},   {"await", "9", "1"}, {"up", "Start"},
                              {"up", "Back"},      {"wait", "300"},     {"stick", "0"}}
        << QList<PlayRun>{{4, 2, -1}, {9, 1, 1}} << 150;
}

void TestHoldPad::padHoldsReachTheBoard() {
    QFETCH(QByteArray, formKeys);
    QFETCH(QByteArray, buttonKeys);
    QFETCH(QList<QStringList>, steps);
    QFETCH(QList<PlayRun>, runs);
    QFETCH(int, minGapMs);

    QTemporaryDir dir;
    SimulatorProcess board;
    QVERIFY2(board.Start(dir.path(), 1), qPrintable(board.ErrorString()));
    QFile file(dir.filePath("Vodazevivuzo3.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(Settings(formKeys, buttonKeys));
    file.close();
    MessageBoxRecorder boxes; // "COM1 設定完了"
    SetCommPortFolder(QFile::encodeName(dir.path()).toStdString());
    TCmdMain panel(dir.path());
    TBtnPrm editor(&panel);
    panel.SetEditor(&editor);
    QVERIFY(panel.CommX1->IsOpen());
    auto input = std::make_unique<TSdlPadInput>();
    TSdlPadInput* pads = input.get();
    const int index = AttachVirtualPad(true);
    pads->Pump(); // a virtual pad arrives without a device node to watch
    SDL_Joystick* pad = OpenedVirtualPad(index);
    QVERIFY(pad);
    panel.SetPadInput(std::move(input));

    for (const QStringList& step : steps) {
        if (step[0] == "wait") {
            QTest::qWait(step[1].toInt());
        } else if (step[0] == "await") {
            const int number = step[1].toInt();
            const int count = step[2].toInt();
            QTRY_VERIFY2_WITH_TIMEOUT(play_runs::CountOf(board.Plays(), number) >= count,
                                      qPrintable(play_runs::Describe(board.Plays())), 10000);
        } else if (step[0] == "stick") {
            SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTY, Sint16(step[1].toInt()));
        } else {
            SDL_JoystickSetVirtualButton(pad, SdlButton(step[1]), step[0] == "down" ? 1 : 0);
        }
    }
    QTRY_VERIFY_WITH_TIMEOUT(play_runs::LeastReached(board.Plays(), runs), 10000);
    QTest::qWait(500); // a repeat or another play, had there been one, would be here by now
    const QString differs = play_runs::Compare(board.Plays(), runs, minGapMs);
    QVERIFY2(differs.isEmpty(), qPrintable(differs));
    panel.CommX1->Close();
    SetCommPortFolder("");
}

QTEST_MAIN(TestHoldPad)
#include "tst_hold_pad.moc"
