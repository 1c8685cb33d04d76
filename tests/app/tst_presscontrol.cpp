// Presses and holds on a fake link and a fake clock: what plays, in which order and when,
// for every input's downs and ups, the stop, and what arrives while an exchange runs.
#include "ColorBtn.h"
#include "CommandButtonValues.h"
#include "FakeLink.h"
#include "FakePressClock.h"
#include "MessageBoxRecorder.h"
#include "PressControl.h"

#include <QTest>
#include <QTimer>

#include <atomic>
#include <memory>
#include <vector>

namespace {

using Bytes = TFakeCommDevice::Bytes;

constexpr int StopKey = 27;

// Buttons, newest last: play, shortcut, pad, repeat, release.
struct ButtonValues {
    int play;
    int key;
    const char* pad;
    int repeat;
    int release;
};
const ButtonValues Buttons[] = {
    {5, 70, "A", 200, 9},         // 1: repeats, with a release play
    {6, 71, "B", 0, -1},          // 2: pressed once per down
    {7, 72, "X", 300, -1},        // 3: repeats, no release play
    {8, 73, "Y", 0, 10},          // 4: a release play only
    {12, StopKey, "Back", 0, -1}, // 5: has the stop key as its shortcut
    {-1, 74, "LB", 0, 13},        // 6: OFF, with a release play
};

struct Panel {
    Link link;
    TFakePressClock* clock = nullptr;
    std::unique_ptr<TPressControl> presses;
    std::vector<std::unique_ptr<TColorBtn>> buttons;
    QStringList played; // "number@ms" when each play ended
    std::atomic<bool> withhold{false};
    std::atomic<bool> commandWaiting{false};

    Panel() {
        auto fake = std::make_unique<TFakePressClock>();
        clock = fake.get();
        presses = std::make_unique<TPressControl>(*link.link, std::move(fake));
        presses->SetStop({StopKey, "Back+Start", 3});
        for (const ButtonValues& values : Buttons) {
            buttons.push_back(std::make_unique<TColorBtn>());
            TColorBtn& button = *buttons.back();
            SetPlayNumber(button, values.play);
            SetShortcutKey(button, values.key);
            SetPadButton(button, values.pad);
            SetRepeatInterval(button, values.repeat);
            SetReleasePlay(button, values.release);
            presses->AddButton(&button);
        }
        QObject::connect(presses.get(), &TPressControl::PlayEnded,
                         [this](TColorBtn*, int number, TPressOutcome) {
                             played
                                 << QStringLiteral("%1@%2").arg(number).arg(clock->NowUs() / 1000);
                         });
        // The board answers at once, except the command after "arm": that one is answered
        // once the steps meant for its exchange have run.
        link.device->SetReply([this](const Bytes& written) {
            if (written == Bytes{0x0D})
                return Bytes{0x0D};
            if (written.size() > 1 && withhold.exchange(false)) {
                commandWaiting = true;
                return Bytes{};
            }
            return Bytes{0x06};
        });
    }

    TColorBtn* ButtonAt(const QString& number) { return buttons.at(number.toInt() - 1).get(); }
    // How a remote press ended: "=played", "=off" or "=dropped".
    TPressDone Recorder() {
        return [this](const TPressResult& result) {
            const char* kinds[] = {"=played", "=off", "=dropped"};
            played << kinds[int(result.kind)];
        };
    }

    // r+1 / r-1 a remote client's finger on button 1 and off, rend the client gone, rp1 a
    // remote press, n33 a play number of its own;
    // k+70 key down, k*70 its auto-repeat, k-70 key up; m+1 / m-1 the mouse on button 1;
    // c1 a click on it; p+A / p-A a pad button; t200 200 ms pass; unfocus, modal, edit the
    // panel loses the keyboard, a box opens, edit mode comes on; arm: the next command's
    // answer waits while `during` runs.
    void Run(const QString& step, const QStringList& during) {
        const QString arg = step.mid(2);
        if (step == "arm") {
            withhold = true;
            auto* answer = new QTimer;
            answer->setInterval(1);
            QObject::connect(answer, &QTimer::timeout, [this, answer, during] {
                if (!commandWaiting.exchange(false))
                    return;
                answer->deleteLater();
                answer->stop();
                for (const QString& inner : during)
                    Run(inner, {});
                link.device->PushInput({0x06});
            });
            answer->start();
        } else if (step.startsWith("k+")) {
            presses->KeyDown(arg.toInt(), false);
        } else if (step.startsWith("k*")) {
            presses->KeyDown(arg.toInt(), true);
        } else if (step.startsWith("k-")) {
            presses->KeyUp(arg.toInt());
        } else if (step.startsWith("m+")) {
            presses->MouseDown(ButtonAt(arg));
        } else if (step.startsWith("m-")) {
            presses->MouseUp(ButtonAt(arg));
        } else if (step.startsWith("c")) {
            presses->Click(ButtonAt(step.mid(1)));
        } else if (step.startsWith("p+")) {
            presses->PadDown(arg);
        } else if (step.startsWith("p-")) {
            presses->PadUp(arg);
        } else if (step.startsWith("r+")) {
            presses->RemoteDown(ButtonAt(arg), 1, Recorder());
        } else if (step.startsWith("r-")) {
            presses->RemoteUp(ButtonAt(arg), 1);
        } else if (step == "rend") {
            presses->EndRemote(1);
        } else if (step.startsWith("rp")) {
            presses->RemotePress(ButtonAt(arg), Recorder());
        } else if (step.startsWith("n")) {
            presses->PlayFixedNumber(step.mid(1).toInt(), Recorder());
        } else if (step.startsWith("t")) {
            clock->Advance(step.mid(1).toInt());
        } else if (step == "unfocus") {
            presses->EndKeyHolds();
        } else if (step == "modal") {
            presses->EndAllHolds();
        } else if (step == "edit") {
            presses->SetEditMode(true);
        } else {
            QFAIL(qPrintable("unknown step " + step));
        }
    }
};

} // namespace

class TestPressControl : public QObject {
    Q_OBJECT
private slots:
    void plays_data();
    void plays();
};

void TestPressControl::plays_data() {
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QStringList>("during"); // steps run while the armed exchange waits
    QTest::addColumn<QStringList>("played");
    const QStringList none;
    QTest::newRow("key held: at once, every interval, the release once")
        << QStringList{"k+70", "k*70", "t150", "k*70", "t800", "k-70", "t1000"} << none
        << QStringList{"5@0", "5@200", "5@400", "5@600", "5@800", "9@950"};
    QTest::newRow("plain button: every key-down, auto-repeat included; nothing on up")
        << QStringList{"k+71", "t30", "k*71", "t30", "k*71", "k-71", "t500"} << none
        << QStringList{"6@0", "6@30", "6@60"};
    QTest::newRow("plain button: a click plays, the mouse's down and up do nothing")
        << QStringList{"m+2", "t100", "m-2", "c2"} << none << QStringList{"6@100"};
    QTest::newRow("mouse held, then let go: the click after it plays nothing more")
        << QStringList{"m+1", "t450", "m-1", "c1", "t1000"} << none
        << QStringList{"5@0", "5@200", "5@400", "9@450"};
    QTest::newRow("pad held; a second pad with the same button keeps the hold")
        << QStringList{"p+A", "t100", "p+A", "t150", "p-A", "t100", "p-A", "t500"} << none
        << QStringList{"5@0", "5@200", "9@350"};
    QTest::newRow("release play only: the press, then the release")
        << QStringList{"k+73", "t2000", "k-73"} << none << QStringList{"8@0", "10@2000"};
    QTest::newRow("an OFF button plays nothing but its release")
        << QStringList{"k+74", "t500", "k-74"} << none << QStringList{"13@500"};
    QTest::newRow("two keys held: each at its own interval")
        << QStringList{"k+70", "t100", "k+72", "t350", "k-72", "t150", "k-70"} << none
        << QStringList{"5@0", "7@100", "5@200", "5@400", "7@400", "5@600", "9@600"};
    QTest::newRow("mouse and key on one button: one hold, ended by the last up")
        << QStringList{"m+1", "t100", "k+70", "t150", "m-1", "t100", "k-70"} << none
        << QStringList{"5@0", "5@200", "9@350"};
    QTest::newRow("focus lost: the key hold ends; its key's later up plays nothing")
        << QStringList{"k+70", "t250", "unfocus", "t500", "k-70"} << none
        << QStringList{"5@0", "5@200", "9@250"};
    QTest::newRow("a box opens: every hold ends with its release")
        << QStringList{"m+1", "p+Y", "t100", "modal", "m-1", "p-Y", "t500"} << none
        << QStringList{"5@0", "8@0", "9@100", "10@100"};
    QTest::newRow("edit mode: holds end, and nothing plays after")
        << QStringList{"k+70", "t100", "edit", "k-70", "k+71", "c2", "t500"} << none
        << QStringList{"5@0", "9@100"};
    QTest::newRow("stop key: holds end without release, the stop plays, the up nothing")
        << QStringList{"k+70", "k+73", "t250", "k+27", "k*27", "t300", "k-70", "k-73", "k-27"}
        << none << QStringList{"5@0", "8@0", "5@200", "3@250"};
    QTest::newRow("a stop key held stops once, also where its repeats are not marked")
        << QStringList{"k+70", "t250", "k+27", "k+27", "k-27", "t100", "k+27"} << none
        << QStringList{"5@0", "5@200", "3@250", "3@350"};
    QTest::newRow("stop pad pair acts; its parts alone are buttons")
        << QStringList{"p+A", "t100", "p+Back+Start", "t300", "p-A", "p+Back"} << none
        << QStringList{"5@0", "3@100", "12@400"};
    QTest::newRow("a remote client holds until it goes")
        << QStringList{"r+1", "t250", "rend", "t500"} << none
        << QStringList{"5@0", "=played", "5@200", "9@250"};
    QTest::newRow("a remote press of a held button: its play, then its release")
        << QStringList{"rp1", "r+2", "r-2", "t500"} << none
        << QStringList{"5@0", "=played", "9@0", "6@0", "=played"};
    QTest::newRow("a remote press of an OFF button is off; its release still plays")
        << QStringList{"rp6", "n84"} << none << QStringList{"=off", "13@0", "84@0", "=played"};
    QTest::newRow("a later press drops a waiting play number")
        << QStringList{"arm", "c2"} << QStringList{"n33", "c2"}
        << QStringList{"=dropped", "6@0", "6@0"};
    QTest::newRow("the stop drops a waiting remote press")
        << QStringList{"arm", "c2"} << QStringList{"rp3", "k+27"}
        << QStringList{"=dropped", "6@0", "3@0"};
    QTest::newRow("a repeat falling due during an exchange waits for it, once")
        << QStringList{"arm", "k+70", "t300", "k-70"} << QStringList{"t450"}
        << QStringList{"5@450", "5@450", "5@650", "9@750"};
    QTest::newRow("released during an exchange: the waiting repeat goes, the release comes")
        << QStringList{"arm", "k+70", "t500"} << QStringList{"t300", "k-70"}
        << QStringList{"5@300", "9@300"};
    QTest::newRow("stop during an exchange drops what waits and plays after it")
        << QStringList{"arm", "k+70", "t500"} << QStringList{"t250", "k+71", "k+27"}
        << QStringList{"5@250", "3@250"};
    QTest::newRow("presses during an exchange: the later replaces the waiting one")
        << QStringList{"arm", "c2"} << QStringList{"c5", "c2"} << QStringList{"6@0", "6@0"};
    QTest::newRow("a hold started during an exchange plays after it, then repeats")
        << QStringList{"arm", "c2", "t300", "k-70"} << QStringList{"k+70", "c2"}
        << QStringList{"6@0", "5@0", "6@0", "5@200", "9@300"};
}

void TestPressControl::plays() {
    QFETCH(QStringList, script);
    QFETCH(QStringList, during);
    QFETCH(QStringList, played);
    MessageBoxRecorder boxes;
    Panel panel;
    panel.link.link->ChooseLink(3);
    for (const QString& step : script)
        panel.Run(step, during);
    QCOMPARE(panel.played, played);
    QCOMPARE(panel.presses->HeldButtons().size(), 0);
}

QTEST_MAIN(TestPressControl)
#include "tst_presscontrol.moc"
