// Pads read through SDL: virtual pads attached in this process take the same event path
// as real ones, from SDL's queue to the reported names.
#include "SdlPadInput.h"
#include "VirtualPad.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <SDL.h>

namespace {

// One step on a virtual pad: a button (by SDL's number), an axis or the first hat.
struct Step {
    enum Kind { Button, Axis, Hat } kind;
    int index;
    int value;
};

void Apply(SDL_Joystick* pad, const Step& step) {
    if (step.kind == Step::Button)
        SDL_JoystickSetVirtualButton(pad, step.index, Uint8(step.value));
    else if (step.kind == Step::Axis)
        SDL_JoystickSetVirtualAxis(pad, step.index, Sint16(step.value));
    else
        SDL_JoystickSetVirtualHat(pad, step.index, Uint8(step.value));
}

QStringList Names(const QSignalSpy& spy) {
    QStringList names;
    for (const QList<QVariant>& call : spy)
        names << call.at(0).toString();
    return names;
}

// What else happens while a press waits on the board.
enum class Devices { Stay, Arrive, Leave };

} // namespace

Q_DECLARE_METATYPE(QList<Step>)
Q_DECLARE_METATYPE(Devices)

class TestSdlPadInput : public QObject {
    Q_OBJECT
private slots:
    void presses_data();
    void presses();
    void pressWaitingOnBoard_data();
    void pressWaitingOnBoard();
    void padsComeAndGo();
};

void TestSdlPadInput::presses_data() {
    QTest::addColumn<bool>("controller");
    QTest::addColumn<QList<Step>>("steps"); // the pad is read after each step
    QTest::addColumn<QStringList>("pressed");
    using S = Step;
    const char* names[]{"A",  "B",  "X",  "Y",  "Back", "",     "Start", "LS",
                        "RS", "LB", "RB", "Up", "Down", "Left", "Right"};
    // In SDL's order; held over two reads, each presses once. The guide button has no name.
    for (int button = 0; button < 15; ++button)
        QTest::addRow("controller button %d held", button)
            << true << QList<Step>{{S::Button, button, 1}, {S::Button, button, 1}}
            << (*names[button] ? QStringList{names[button]} : QStringList{});
    QTest::newRow("A pressed twice") << true
                                     << QList<Step>{{S::Button, SDL_CONTROLLER_BUTTON_A, 1},
                                                    {S::Button, SDL_CONTROLLER_BUTTON_A, 0},
                                                    {S::Button, SDL_CONTROLLER_BUTTON_A, 1}}
                                     << QStringList{"A", "A"};
    // A virtual trigger runs from -32768, let go, to 32767, pulled fully; it starts at half
    // travel, so each row lets it go first.
    const int lt = SDL_CONTROLLER_AXIS_TRIGGERLEFT;
    const int rt = SDL_CONTROLLER_AXIS_TRIGGERRIGHT;
    QTest::newRow("LT short of half")
        << true << QList<Step>{{S::Axis, lt, -32768}, {S::Axis, lt, -1000}} << QStringList{};
    QTest::newRow("LT past half, held deeper")
        << true << QList<Step>{{S::Axis, lt, -32768}, {S::Axis, lt, 1000}, {S::Axis, lt, 32767}}
        << QStringList{"LT"};
    QTest::newRow("RT pulled, let go, pulled") << true
                                               << QList<Step>{{S::Axis, rt, -32768},
                                                              {S::Axis, rt, 30000},
                                                              {S::Axis, rt, -32768},
                                                              {S::Axis, rt, 30000}}
                                               << QStringList{"RT", "RT"};
    QTest::newRow("stick axes press nothing")
        << true << QList<Step>{{S::Axis, SDL_CONTROLLER_AXIS_LEFTX, 32767}} << QStringList{};
    QTest::newRow("joystick buttons by number")
        << false << QList<Step>{{S::Button, 0, 1}, {S::Button, 11, 1}, {S::Button, 11, 1}}
        << QStringList{"Button1", "Button12"};
    QTest::newRow("joystick hat as the D-pad, a diagonal adds one")
        << false
        << QList<Step>{{S::Hat, 0, SDL_HAT_UP},
                       {S::Hat, 0, SDL_HAT_RIGHTUP},
                       {S::Hat, 0, SDL_HAT_CENTERED},
                       {S::Hat, 0, SDL_HAT_LEFTDOWN}}
        << QStringList{"Up", "Right", "Down", "Left"};
}

void TestSdlPadInput::presses() {
    QFETCH(bool, controller);
    QFETCH(QList<Step>, steps);
    QFETCH(QStringList, pressed);
    TSdlPadInput input;
    QVERIFY(input.IsAvailable());
    const int index = AttachVirtualPad(controller);
    input.Pump();
    SDL_Joystick* pad = OpenedVirtualPad(index);
    QVERIFY(pad);
    QSignalSpy spy(&input, &TPadInput::ButtonPressed);
    for (const Step& step : steps) {
        Apply(pad, step);
        input.Pump();
    }
    QCOMPARE(Names(spy), pressed);
}

void TestSdlPadInput::pressWaitingOnBoard_data() {
    QTest::addColumn<bool>("controller");
    QTest::addColumn<QList<Step>>("steps");  // the pad is read after each step
    QTest::addColumn<QList<Step>>("during"); // while the first press waits
    QTest::addColumn<Devices>("devices");
    QTest::addColumn<QStringList>("pressed");
    using S = Step;
    const int lt = SDL_CONTROLLER_AXIS_TRIGGERLEFT;
    const QList<Step> pullLt{{S::Axis, lt, -32768}, {S::Axis, lt, 20000}};
    const QList<Step> deeperLt{{S::Axis, lt, 32767}};
    const QList<Step> a{{S::Button, SDL_CONTROLLER_BUTTON_A, 1}};
    const QList<Step> hatUp{{S::Hat, 0, SDL_HAT_UP}};
    for (const auto& [name, devices] :
         {std::pair{"", Devices::Stay}, std::pair{", a pad arrives", Devices::Arrive},
          std::pair{", the pad leaves", Devices::Leave}}) {
        QTest::addRow("LT pulled deeper%s", name)
            << true << pullLt << deeperLt << devices << QStringList{"LT"};
        QTest::addRow("LT held%s", name)
            << true << pullLt << QList<Step>{} << devices << QStringList{"LT"};
        QTest::addRow("A held%s", name) << true << a << a << devices << QStringList{"A"};
        QTest::addRow("hat Up held%s", name)
            << false << hatUp << hatUp << devices << QStringList{"Up"};
    }
    QTest::newRow("hat diagonal, one direction let go")
        << false << QList<Step>{{S::Hat, 0, SDL_HAT_RIGHTUP}}
        << QList<Step>{{S::Hat, 0, SDL_HAT_UP}} << Devices::Stay << QStringList{"Up", "Right"};
}

// A press over the serial line waits for the board's answer with the event loop turning,
// and the pad is read meanwhile; one pull still presses once.
void TestSdlPadInput::pressWaitingOnBoard() {
    QFETCH(bool, controller);
    QFETCH(QList<Step>, steps);
    QFETCH(QList<Step>, during);
    QFETCH(Devices, devices);
    QFETCH(QStringList, pressed);
    TSdlPadInput input;
    QVERIFY(input.IsAvailable());
    const int index = AttachVirtualPad(controller);
    input.Pump();
    SDL_Joystick* pad = OpenedVirtualPad(index);
    QVERIFY(pad);
    QSignalSpy spy(&input, &TPadInput::ButtonPressed);
    int presses = 0;
    connect(&input, &TPadInput::ButtonPressed, &input, [&] {
        if (presses++ == 0) {
            for (const Step& step : during)
                Apply(pad, step);
            if (devices == Devices::Arrive)
                QVERIFY(AttachVirtualPad(false) >= 0);
            else if (devices == Devices::Leave)
                QCOMPARE(SDL_JoystickDetachVirtual(index), 0);
        }
        // The board answers after 10 ms; meanwhile the settle timer, the folder watcher
        // or the poll reads the pad.
        QEventLoop answer;
        QTimer::singleShot(0, &input, &TSdlPadInput::Pump);
        QTimer::singleShot(10, &answer, &QEventLoop::quit);
        answer.exec();
    });
    for (const Step& step : steps) {
        Apply(pad, step);
        input.Pump();
    }
    input.Pump();
    QCOMPARE(Names(spy), pressed);
    QCOMPARE(input.PadCount(), devices == Devices::Arrive ? 2 : devices == Devices::Leave ? 0 : 1);
}

// No pad, no polling: the panel costs nothing more while idle.
void TestSdlPadInput::padsComeAndGo() {
    TSdlPadInput input;
    QVERIFY(!input.IsPolling());
    QCOMPARE(AttachVirtualPad(true), 0);
    QCOMPARE(AttachVirtualPad(false), 1);
    input.Pump();
    QCOMPARE(input.PadCount(), 2);
    QVERIFY(input.IsPolling());
    SDL_Joystick* stick = OpenedVirtualPad(1);
    QCOMPARE(SDL_JoystickDetachVirtual(0), 0);
    input.Pump();
    QCOMPARE(input.PadCount(), 1);
    QSignalSpy spy(&input, &TPadInput::ButtonPressed);
    SDL_JoystickSetVirtualButton(stick, 2, 1);
    input.Pump();
    QCOMPARE(Names(spy), QStringList{"Button3"});
    QCOMPARE(SDL_JoystickDetachVirtual(0), 0);
    input.Pump();
    QCOMPARE(input.PadCount(), 0);
    QVERIFY(!input.IsPolling());
}

QTEST_GUILESS_MAIN(TestSdlPadInput)
#include "tst_sdlpadinput.moc"
