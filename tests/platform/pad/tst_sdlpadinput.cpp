// Pads read through SDL: virtual pads attached in this process take the same event path
// as real ones, from SDL's queue to the reported names.
#include "SdlPadInput.h"
#include "VirtualPad.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <SDL.h>

#include <algorithm>
#include <memory>

namespace {

// One step on a virtual pad: a button (by SDL's number), an axis or the first hat; the
// input's first read of the pad (else it reads it before the first step); the pad
// unplugged; or only SDL's removal event of the given type for it, as when SDL has not let
// go of its buttons first.
struct Step {
    enum Kind { Button, Axis, Hat, Arrive, Unplug, Removed } kind;
    int index;
    int value;
    // False: SDL reads the pad, but the input takes what it queued only with a later step.
    bool pump = true;
};

void Remove(SDL_Joystick* pad, int type) {
    SDL_Event removed;
    SDL_zero(removed);
    removed.type = Uint32(type);
    if (type == SDL_CONTROLLERDEVICEREMOVED)
        removed.cdevice.which = SDL_JoystickInstanceID(pad);
    else
        removed.jdevice.which = SDL_JoystickInstanceID(pad);
    QCOMPARE(SDL_PushEvent(&removed), 1);
}

void Apply(SDL_Joystick* pad, const Step& step) {
    if (step.kind == Step::Button)
        SDL_JoystickSetVirtualButton(pad, step.index, Uint8(step.value));
    else if (step.kind == Step::Axis)
        SDL_JoystickSetVirtualAxis(pad, step.index, Sint16(step.value));
    else if (step.kind == Step::Hat)
        SDL_JoystickSetVirtualHat(pad, step.index, Uint8(step.value));
    else if (step.kind == Step::Removed)
        Remove(pad, step.index);
}

// SDL itself lets go of an unplugged pad's axes, buttons and hat before it says the pad is
// gone, in an order of its own: the releases that end the list after `from` are sorted.
void SortLastReleases(QStringList& events, qsizetype from) {
    auto first = events.end();
    while (first - events.begin() > from && (first - 1)->startsWith('-'))
        --first;
    std::sort(first, events.end());
}

// Presses as "+name" and releases as "-name", in the order they come.
void Record(TPadInput& input, QStringList& heard) {
    QObject::connect(&input, &TPadInput::ButtonPressed, &input,
                     [&heard](const QString& name) { heard << "+" + name; });
    QObject::connect(&input, &TPadInput::ButtonReleased, &input,
                     [&heard](const QString& name) { heard << "-" + name; });
}

// From one pad, each name goes down and up by turns, down first, and ends up: else what
// broke that.
QString Unbalanced(const QStringList& heard) {
    QHash<QString, int> down;
    for (const QString& event : heard) {
        int& count = down[event.mid(1)];
        count += event.startsWith('+') ? 1 : -1;
        if (count != 0 && count != 1)
            return "out of turn: " + event;
    }
    for (auto it = down.cbegin(); it != down.cend(); ++it)
        if (it.value() != 0)
            return "never released: " + it.key();
    return {};
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
    QTest::addColumn<QStringList>("heard");
    using S = Step;
    const char* names[]{"A",  "B",  "X",  "Y",  "Back", "",     "Start", "LS",
                        "RS", "LB", "RB", "Up", "Down", "Left", "Right"};
    // In SDL's order; held over two reads, each goes down once. The guide button has no name.
    for (int button = 0; button < 15; ++button) {
        const QString name = names[button];
        QTest::addRow("controller button %d held, let go", button)
            << true
            << QList<Step>{{S::Button, button, 1}, {S::Button, button, 1}, {S::Button, button, 0}}
            << (name.isEmpty() ? QStringList{} : QStringList{"+" + name, "-" + name});
    }
    const int a = SDL_CONTROLLER_BUTTON_A;
    const int b = SDL_CONTROLLER_BUTTON_B;
    QTest::newRow("A pressed twice")
        << true << QList<Step>{{S::Button, a, 1}, {S::Button, a, 0}, {S::Button, a, 1}}
        << QStringList{"+A", "-A", "+A"};
    // A virtual trigger runs from -32768, let go, to 32767, pulled fully; it starts at half
    // travel, so each row lets it go first.
    const int lt = SDL_CONTROLLER_AXIS_TRIGGERLEFT;
    const int rt = SDL_CONTROLLER_AXIS_TRIGGERRIGHT;
    QTest::newRow("LT short of half")
        << true << QList<Step>{{S::Axis, lt, -32768}, {S::Axis, lt, -1000}} << QStringList{};
    QTest::newRow("LT past half, held deeper, back short of half")
        << true
        << QList<Step>{{S::Axis, lt, -32768},
                       {S::Axis, lt, 1000},
                       {S::Axis, lt, 32767},
                       {S::Axis, lt, -1000},
                       {S::Axis, lt, -32768}}
        << QStringList{"+LT", "-LT"};
    QTest::newRow("RT pulled, let go, pulled") << true
                                               << QList<Step>{{S::Axis, rt, -32768},
                                                              {S::Axis, rt, 30000},
                                                              {S::Axis, rt, -32768},
                                                              {S::Axis, rt, 30000}}
                                               << QStringList{"+RT", "-RT", "+RT"};
    // The trigger goes down past 0.6 of its travel and up below 0.45.
    const auto travel = [](double fraction) { return int(fraction * 65535) - 32768; };
    QTest::newRow("LT to 0.55, 0.4, 0.65, 0.5") << true
                                                << QList<Step>{{S::Axis, lt, -32768},
                                                               {S::Axis, lt, travel(0.55)},
                                                               {S::Axis, lt, travel(0.4)},
                                                               {S::Axis, lt, travel(0.65)},
                                                               {S::Axis, lt, travel(0.5)}}
                                                << QStringList{"+LT"};
    // Sticks: one direction at a time, down past 0.6, up below 0.45 (see tst_stickdirection).
    const int lx = SDL_CONTROLLER_AXIS_LEFTX;
    const int ly = SDL_CONTROLLER_AXIS_LEFTY;
    const int rx = SDL_CONTROLLER_AXIS_RIGHTX;
    const int ry = SDL_CONTROLLER_AXIS_RIGHTY;
    QTest::newRow("left stick up to 0.55, 0.65, 0.5, 0.4") << true
                                                           << QList<Step>{{S::Axis, ly, -18022},
                                                                          {S::Axis, ly, -21299},
                                                                          {S::Axis, ly, -16384},
                                                                          {S::Axis, ly, -13107}}
                                                           << QStringList{"+LS-Up", "-LS-Up"};
    // 34° from Right stays Right; 18° from Down is 72° from Right: Down.
    QTest::newRow("right stick right, turned down, let go")
        << true << QList<Step>{{S::Axis, rx, 30000}, {S::Axis, ry, 20000}, {S::Axis, ry, 30000},
                               {S::Axis, rx, 10000}, {S::Axis, rx, 0},     {S::Axis, ry, 0}}
        << QStringList{"+RS-Right", "-RS-Right", "+RS-Down", "-RS-Down"};
    QTest::newRow("left stick held left as the controller arrives, let go, pushed down")
        << true
        << QList<Step>{{S::Axis, lx, -30000, false},
                       {S::Arrive, 0, 0},
                       {S::Axis, lx, 0},
                       {S::Axis, ly, 30000}}
        << QStringList{"+LS-Down"};
    QTest::newRow("joystick's first axes as the left stick")
        << false << QList<Step>{{S::Axis, 0, -30000}, {S::Axis, 0, 0}, {S::Axis, 1, 30000}}
        << QStringList{"+LS-Left", "-LS-Left", "+LS-Down"};
    QTest::newRow("joystick buttons by number")
        << false
        << QList<Step>{{S::Button, 0, 1}, {S::Button, 11, 1}, {S::Button, 11, 1}, {S::Button, 0, 0}}
        << QStringList{"+Button1", "+Button12", "-Button1"};
    QTest::newRow("joystick hat as the D-pad, a diagonal adds one")
        << false
        << QList<Step>{{S::Hat, 0, SDL_HAT_UP},
                       {S::Hat, 0, SDL_HAT_RIGHTUP},
                       {S::Hat, 0, SDL_HAT_CENTERED},
                       {S::Hat, 0, SDL_HAT_LEFTDOWN}}
        << QStringList{"+Up", "+Right", "-Up", "-Right", "+Down", "+Left"};
    QTest::newRow("hat from one direction to the next, then centred")
        << false
        << QList<Step>{{S::Hat, 0, SDL_HAT_UP},
                       {S::Hat, 0, SDL_HAT_RIGHT},
                       {S::Hat, 0, SDL_HAT_CENTERED}}
        << QStringList{"+Up", "-Up", "+Right", "-Right"};
    // Down as the pad arrives, with no event of its own: reported neither down nor up.
    QTest::newRow("A held as the controller arrives, let go, pressed")
        << true
        << QList<Step>{{S::Button, a, 1, false},
                       {S::Arrive, 0, 0},
                       {S::Button, a, 0},
                       {S::Button, a, 1}}
        << QStringList{"+A"};
    QTest::newRow("hat held as the joystick arrives, moved, centred")
        << false
        << QList<Step>{{S::Hat, 0, SDL_HAT_UP, false},
                       {S::Arrive, 0, 0},
                       {S::Hat, 0, SDL_HAT_RIGHT},
                       {S::Hat, 0, SDL_HAT_CENTERED}}
        << QStringList{"+Right", "-Right"};
    QTest::newRow("controller unplugged holding B and RT")
        << true << QList<Step>{{S::Axis, rt, -32768}, {S::Button, a, 1}, {S::Button, b, 1},
                               {S::Axis, rt, 30000},  {S::Button, a, 0}, {S::Unplug, 0, 0}}
        << QStringList{"+A", "+B", "+RT", "-A", "-B", "-RT"};
    QTest::newRow("controller gone holding A and LT, SDL letting go of nothing")
        << true
        << QList<Step>{{S::Axis, lt, -32768},
                       {S::Button, a, 1},
                       {S::Axis, lt, 30000},
                       {S::Removed, SDL_CONTROLLERDEVICEREMOVED, 0}}
        << QStringList{"+A", "+LT", "-A", "-LT"};
    QTest::newRow("joystick gone holding Button3 and the hat, SDL letting go of nothing")
        << false << QList<Step>{{S::Button, 2, 1}, {S::Hat, 0, SDL_HAT_UP},
                                {S::Button, 2, 0}, {S::Hat, 0, SDL_HAT_RIGHTUP},
                                {S::Button, 2, 1}, {S::Removed, SDL_JOYDEVICEREMOVED, 0}}
        << QStringList{"+Button3", "+Up", "-Button3", "+Right",
                       "+Button3", "-Up", "-Right",   "-Button3"};
    QTest::newRow("controller, one read: A, LT pulled and let go, B")
        << true << QList<Step>{{S::Axis, lt, -32768},        {S::Button, a, 1, false},
                               {S::Axis, lt, 30000, false},  {S::Button, a, 0, false},
                               {S::Axis, lt, -32768, false}, {S::Button, b, 1}}
        << QStringList{"+A", "+LT", "-A", "-LT", "+B"};
    QTest::newRow("joystick, one read: Button1 down and up, the hat across")
        << false
        << QList<Step>{{S::Button, 0, 1, false},
                       {S::Button, 0, 0, false},
                       {S::Hat, 0, SDL_HAT_UP, false},
                       {S::Hat, 0, SDL_HAT_DOWN, false},
                       {S::Hat, 0, SDL_HAT_CENTERED}}
        << QStringList{"+Button1", "-Button1", "+Up", "-Up", "+Down", "-Down"};
}

void TestSdlPadInput::presses() {
    QFETCH(bool, controller);
    QFETCH(QList<Step>, steps);
    QFETCH(QStringList, heard);
    TSdlPadInput input;
    QVERIFY(input.IsAvailable());
    const int index = AttachVirtualPad(controller);
    // The test's own handle sets the pad before the input has it, and outlives an unplug.
    const std::unique_ptr<SDL_Joystick, void (*)(SDL_Joystick*)> pad(SDL_JoystickOpen(index),
                                                                     SDL_JoystickClose);
    QVERIFY(pad);
    if (std::none_of(steps.cbegin(), steps.cend(),
                     [](const Step& step) { return step.kind == Step::Arrive; }))
        input.Pump();
    QStringList events;
    Record(input, events);
    qsizetype unplugged = -1;
    bool gone = false;
    for (const Step& step : steps) {
        gone = gone || step.kind == Step::Unplug || step.kind == Step::Removed;
        if (step.kind == Step::Unplug) {
            QCOMPARE(SDL_JoystickDetachVirtual(index), 0);
            unplugged = events.size();
        } else {
            Apply(pad.get(), step);
        }
        if (step.pump)
            input.Pump();
        else
            SDL_JoystickUpdate();
    }
    if (unplugged >= 0) {
        SortLastReleases(events, unplugged);
        SortLastReleases(heard, unplugged);
    }
    QCOMPARE(events, heard);
    QCOMPARE(input.PadCount(), gone ? 0 : 1);
    // Unplugged, the pad releases whatever it still held.
    if (unplugged < 0) {
        QCOMPARE(SDL_JoystickDetachVirtual(index), 0);
        input.Pump();
    }
    const QString fault = Unbalanced(events);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
}

void TestSdlPadInput::pressWaitingOnBoard_data() {
    QTest::addColumn<bool>("controller");
    QTest::addColumn<QList<Step>>("steps");  // the pad is read after each step
    QTest::addColumn<QList<Step>>("during"); // while the first press waits
    QTest::addColumn<Devices>("devices");
    QTest::addColumn<QStringList>("heard");
    using S = Step;
    const int lt = SDL_CONTROLLER_AXIS_TRIGGERLEFT;
    const QList<Step> pullLt{{S::Axis, lt, -32768}, {S::Axis, lt, 20000}};
    const QList<Step> deeperLt{{S::Axis, lt, 32767}};
    const QList<Step> a{{S::Button, SDL_CONTROLLER_BUTTON_A, 1}};
    const QList<Step> hatUp{{S::Hat, 0, SDL_HAT_UP}};
    for (const auto& [name, devices] :
         {std::pair{"", Devices::Stay}, std::pair{", a pad arrives", Devices::Arrive},
          std::pair{", the pad leaves", Devices::Leave}}) {
        // The pad that leaves releases what it held.
        const auto held = [devices](const QString& name) {
            return devices == Devices::Leave ? QStringList{"+" + name, "-" + name}
                                             : QStringList{"+" + name};
        };
        QTest::addRow("LT pulled deeper%s", name)
            << true << pullLt << deeperLt << devices << held("LT");
        QTest::addRow("LT held%s", name)
            << true << pullLt << QList<Step>{} << devices << held("LT");
        QTest::addRow("A held%s", name) << true << a << a << devices << held("A");
        QTest::addRow("hat Up held%s", name) << false << hatUp << hatUp << devices << held("Up");
    }
    QTest::newRow("A let go") << true << a << QList<Step>{{S::Button, SDL_CONTROLLER_BUTTON_A, 0}}
                              << Devices::Stay << QStringList{"+A", "-A"};
    // Right's release is read while Up's press waits, but Right went down before it.
    QTest::newRow("hat diagonal, one direction let go")
        << false << QList<Step>{{S::Hat, 0, SDL_HAT_RIGHTUP}}
        << QList<Step>{{S::Hat, 0, SDL_HAT_UP}} << Devices::Stay
        << QStringList{"+Up", "+Right", "-Right"};
}

// A press over the serial line waits for the board's answer with the event loop turning,
// and the pad is read meanwhile; one pull still presses once, and what the pad does
// meanwhile comes out after what it did before.
void TestSdlPadInput::pressWaitingOnBoard() {
    QFETCH(bool, controller);
    QFETCH(QList<Step>, steps);
    QFETCH(QList<Step>, during);
    QFETCH(Devices, devices);
    QFETCH(QStringList, heard);
    TSdlPadInput input;
    QVERIFY(input.IsAvailable());
    const int index = AttachVirtualPad(controller);
    input.Pump();
    SDL_Joystick* pad = OpenedVirtualPad(index);
    QVERIFY(pad);
    QStringList events;
    Record(input, events);
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
    QCOMPARE(events, heard);
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
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QString("Button3"));
    QCOMPARE(SDL_JoystickDetachVirtual(0), 0);
    input.Pump();
    QCOMPARE(input.PadCount(), 0);
    QVERIFY(!input.IsPolling());
}

QTEST_GUILESS_MAIN(TestSdlPadInput)
#include "tst_sdlpadinput.moc"
