// Pads read through SDL: virtual pads attached in this process go through the same event
// path as real ones, from SDL's queue to the reported names.
#include "PadButtonName.h"
#include "SdlPadInput.h"

#include <QSignalSpy>
#include <QTest>
#include <SDL.h>

namespace {

// One step on a virtual pad: a button (by SDL's number), an axis or the first hat.
struct Step {
    enum Kind { Button, Axis, Hat } kind;
    int index;
    int value;
};

// Attaches a virtual pad: a game controller with every button and axis, or a joystick
// SDL has no mapping for, with 12 buttons and one hat. The input opens it when next read;
// its handle for setting buttons is there from then on.
int AttachPad(bool controller) {
    SDL_VirtualJoystickDesc desc;
    SDL_zero(desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    if (controller) {
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        desc.name = "virtual controller";
    } else {
        desc.type = SDL_JOYSTICK_TYPE_ARCADE_STICK;
        desc.nbuttons = 12;
        desc.nhats = 1;
        desc.name = "virtual stick";
    }
    return SDL_JoystickAttachVirtualEx(&desc);
}

SDL_Joystick* OpenedPad(int index) {
    return index < 0 ? nullptr : SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(index));
}

void Apply(SDL_Joystick* pad, const Step& step) {
    switch (step.kind) {
    case Step::Button:
        SDL_JoystickSetVirtualButton(pad, step.index, Uint8(step.value));
        break;
    case Step::Axis:
        SDL_JoystickSetVirtualAxis(pad, step.index, Sint16(step.value));
        break;
    case Step::Hat:
        SDL_JoystickSetVirtualHat(pad, step.index, Uint8(step.value));
        break;
    }
}

QStringList Names(const QSignalSpy& spy) {
    QStringList names;
    for (const QList<QVariant>& call : spy)
        names << call.at(0).toString();
    return names;
}

} // namespace

Q_DECLARE_METATYPE(QList<Step>)

class TestSdlPadInput : public QObject {
    Q_OBJECT
private slots:
    void presses_data();
    void presses();
    void padsComeAndGo();
    void openPadIsReadWithoutBeingAsked();
    void names_data();
    void names();
};

void TestSdlPadInput::presses_data() {
    QTest::addColumn<bool>("controller");
    QTest::addColumn<QList<Step>>("steps"); // the pad is read after each step
    QTest::addColumn<QStringList>("pressed");
    using S = Step;
    const QList<std::pair<int, const char*>> buttons{{SDL_CONTROLLER_BUTTON_A, "A"},
                                                     {SDL_CONTROLLER_BUTTON_B, "B"},
                                                     {SDL_CONTROLLER_BUTTON_X, "X"},
                                                     {SDL_CONTROLLER_BUTTON_Y, "Y"},
                                                     {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, "LB"},
                                                     {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, "RB"},
                                                     {SDL_CONTROLLER_BUTTON_BACK, "Back"},
                                                     {SDL_CONTROLLER_BUTTON_START, "Start"},
                                                     {SDL_CONTROLLER_BUTTON_LEFTSTICK, "LS"},
                                                     {SDL_CONTROLLER_BUTTON_RIGHTSTICK, "RS"},
                                                     {SDL_CONTROLLER_BUTTON_DPAD_UP, "Up"},
                                                     {SDL_CONTROLLER_BUTTON_DPAD_DOWN, "Down"},
                                                     {SDL_CONTROLLER_BUTTON_DPAD_LEFT, "Left"},
                                                     {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, "Right"}};
    // Held over two reads: pressed once.
    for (const auto& [button, name] : buttons)
        QTest::addRow("controller %s held", name)
            << true << QList<Step>{{S::Button, button, 1}, {S::Button, button, 1}}
            << QStringList{name};
    QTest::newRow("guide button has no name")
        << true << QList<Step>{{S::Button, SDL_CONTROLLER_BUTTON_GUIDE, 1}} << QStringList{};
    QTest::newRow("A pressed twice") << true
                                     << QList<Step>{{S::Button, SDL_CONTROLLER_BUTTON_A, 1},
                                                    {S::Button, SDL_CONTROLLER_BUTTON_A, 0},
                                                    {S::Button, SDL_CONTROLLER_BUTTON_A, 1}}
                                     << QStringList{"A", "A"};
    // A virtual pad's trigger runs from -32768, let go, to 32767, pulled fully; it starts
    // at half travel, so each row lets it go first.
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
    const int index = AttachPad(controller);
    input.Pump();
    QCOMPARE(input.PadCount(), 1);
    SDL_Joystick* pad = OpenedPad(index);
    QVERIFY(pad);
    QSignalSpy spy(&input, &TPadInput::ButtonPressed);
    for (const Step& step : steps) {
        Apply(pad, step);
        input.Pump();
    }
    QCOMPARE(Names(spy), pressed);
}

// No pad, no polling: the panel costs nothing more while idle.
void TestSdlPadInput::padsComeAndGo() {
    TSdlPadInput input;
    QCOMPARE(input.PadCount(), 0);
    QVERIFY(!input.IsPolling());
    QCOMPARE(AttachPad(true), 0);
    QCOMPARE(AttachPad(false), 1);
    input.Pump();
    QCOMPARE(input.PadCount(), 2);
    SDL_Joystick* second = OpenedPad(1);
    QVERIFY(second);
    QVERIFY(input.IsPolling());
    QVERIFY(SDL_JoystickDetachVirtual(0) == 0);
    input.Pump();
    QCOMPARE(input.PadCount(), 1);
    // The remaining pad still reports.
    QSignalSpy spy(&input, &TPadInput::ButtonPressed);
    SDL_JoystickSetVirtualButton(second, 2, 1);
    input.Pump();
    QCOMPARE(Names(spy), QStringList{"Button3"});
    QVERIFY(SDL_JoystickDetachVirtual(0) == 0);
    input.Pump();
    QCOMPARE(input.PadCount(), 0);
    QVERIFY(!input.IsPolling());
}

void TestSdlPadInput::openPadIsReadWithoutBeingAsked() {
    TSdlPadInput input;
    const int index = AttachPad(true);
    input.Pump();
    SDL_Joystick* pad = OpenedPad(index);
    QVERIFY(pad);
    QSignalSpy spy(&input, &TPadInput::ButtonPressed);
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_START, 1);
    QVERIFY(spy.wait(1000));
    QCOMPARE(Names(spy), QStringList{"Start"});
}

void TestSdlPadInput::names_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("known");
    for (int b = 0; b < int(TControllerButton::Count); ++b)
        QTest::addRow("%s", qPrintable(PadButtonName(TControllerButton(b))))
            << PadButtonName(TControllerButton(b)) << true;
    QTest::newRow("Button1") << JoystickButtonName(1) << true;
    QTest::newRow("Button999") << JoystickButtonName(999) << true;
    QTest::newRow("Button1000") << "Button1000" << false;
    QTest::newRow("Button0") << "Button0" << false;
    QTest::newRow("Button01") << "Button01" << false;
    QTest::newRow("Button+1") << "Button+1" << false;
    QTest::newRow("Button") << "Button" << false;
    QTest::newRow("lower case a") << "a" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("unknown") << "Paddle9" << false;
}

void TestSdlPadInput::names() {
    QFETCH(QString, name);
    QFETCH(bool, known);
    QCOMPARE(IsPadButtonName(name), known);
}

QTEST_GUILESS_MAIN(TestSdlPadInput)
#include "tst_sdlpadinput.moc"
