#include "SdlPadInput.h"

#include "PadButtonName.h"

#include <QDir>
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

// Triggers read 0 let go to 32767 pulled fully, sticks -32768 to 32767 on each axis.
double Travel(int value) {
    return double(value) / SDL_JOYSTICK_AXIS_MAX;
}

// Down past PressTravel, up again below ReleaseTravel.
bool TriggerDown(bool wasDown, int value) {
    return wasDown ? Travel(value) >= ReleaseTravel : Travel(value) > PressTravel;
}

QString StickName(int stick, TStickDirection direction) {
    using B = TControllerButton;
    static constexpr B Names[2][4]{{B::LSUp, B::LSDown, B::LSLeft, B::LSRight},
                                   {B::RSUp, B::RSDown, B::RSLeft, B::RSRight}};
    return PadButtonName(Names[stick][int(direction) - 1]);
}

const QString InputFolder = QStringLiteral("/dev/input");
const QString DeviceFolder = QStringLiteral("/dev");

QString ControllerButtonName(int button) {
    switch (button) {
    case SDL_CONTROLLER_BUTTON_A:
        return PadButtonName(TControllerButton::A);
    case SDL_CONTROLLER_BUTTON_B:
        return PadButtonName(TControllerButton::B);
    case SDL_CONTROLLER_BUTTON_X:
        return PadButtonName(TControllerButton::X);
    case SDL_CONTROLLER_BUTTON_Y:
        return PadButtonName(TControllerButton::Y);
    case SDL_CONTROLLER_BUTTON_LEFTSHOULDER:
        return PadButtonName(TControllerButton::LB);
    case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER:
        return PadButtonName(TControllerButton::RB);
    case SDL_CONTROLLER_BUTTON_BACK:
        return PadButtonName(TControllerButton::Back);
    case SDL_CONTROLLER_BUTTON_START:
        return PadButtonName(TControllerButton::Start);
    case SDL_CONTROLLER_BUTTON_LEFTSTICK:
        return PadButtonName(TControllerButton::LS);
    case SDL_CONTROLLER_BUTTON_RIGHTSTICK:
        return PadButtonName(TControllerButton::RS);
    case SDL_CONTROLLER_BUTTON_DPAD_UP:
        return PadButtonName(TControllerButton::Up);
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
        return PadButtonName(TControllerButton::Down);
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
        return PadButtonName(TControllerButton::Left);
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
        return PadButtonName(TControllerButton::Right);
    default:
        return QString(); // the guide button and extras have no name here
    }
}

} // namespace

TSdlPadInput::TSdlPadInput(QObject* parent) : TPadInput(parent) {
    // The program has its own handlers for the session's end signals.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        std::fprintf(stderr, "tapdeck: ゲームパッドは使えません: %s\n", SDL_GetError());
        return;
    }
    m_available = true;
    m_poll.setInterval(PollInterval);
    m_poll.setTimerType(Qt::PreciseTimer);
    connect(&m_poll, &QTimer::timeout, this, &TSdlPadInput::Pump);
    m_settle.setInterval(SettleInterval);
    connect(&m_settle, &QTimer::timeout, this, [this] {
        Pump();
        if (--m_settleLeft <= 0)
            m_settle.stop();
    });
    connect(&m_devices, &QFileSystemWatcher::directoryChanged, this, &TSdlPadInput::DevicesChanged);
    WatchDeviceFolder();
    // Pads connected before the start arrive as events like any other.
    Pump();
}

TSdlPadInput::~TSdlPadInput() {
    if (!m_available)
        return;
    for (const Pad& pad : m_pads) {
        if (pad.controller)
            SDL_GameControllerClose(pad.controller);
        else
            SDL_JoystickClose(pad.joystick);
    }
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

void TSdlPadInput::Pump() {
    if (!m_available)
        return;
    SDL_Event event;
    while (SDL_PollEvent(&event))
        Handle(event);
    UpdatePolling();
}

void TSdlPadInput::Handle(const SDL_Event& event) {
    // A slot may wait on the board with the event loop turning, which pumps again and may
    // open or close pads: the new state is stored first, and nothing into m_pads is kept.
    // Such a pump drains the same queue, so what this event left unsaid goes first.
    m_pending.append(Take(event));
    while (!m_pending.isEmpty()) {
        const Event next = m_pending.takeFirst();
        if (next.down)
            emit ButtonPressed(next.name);
        else
            emit ButtonReleased(next.name);
    }
}

TSdlPadInput::Events TSdlPadInput::Take(const SDL_Event& event) {
    Events events;
    switch (event.type) {
    case SDL_JOYDEVICEADDED:
        Open(event.jdevice.which);
        break;
    case SDL_JOYDEVICEREMOVED:
        Close(event.jdevice.which, events);
        break;
    case SDL_CONTROLLERDEVICEREMOVED:
        Close(event.cdevice.which, events);
        break;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
        if (Pad* pad = Find(event.cbutton.which))
            pad->Set(ControllerButtonName(event.cbutton.button), event.cbutton.state == SDL_PRESSED,
                     events);
        break;
    case SDL_CONTROLLERAXISMOTION:
        if (Pad* pad = Find(event.caxis.which))
            ControllerAxisMoved(*pad, event.caxis.axis, event.caxis.value, events);
        break;
    case SDL_JOYAXISMOTION:
        // A joystick's first two axes are taken for its left stick.
        if (Pad* pad = Find(event.jaxis.which); pad && !pad->controller && event.jaxis.axis < 2)
            pad->MoveStick(0, event.jaxis.axis == 1, event.jaxis.value, events);
        break;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
        // A mapped pad reports through the controller events above.
        if (Pad* pad = Find(event.jbutton.which); pad && !pad->controller)
            pad->Set(JoystickButtonName(event.jbutton.button + 1),
                     event.jbutton.state == SDL_PRESSED, events);
        break;
    case SDL_JOYHATMOTION:
        if (Pad* pad = Find(event.jhat.which); pad && !pad->controller && event.jhat.hat == 0)
            HatMoved(*pad, event.jhat.value, events);
        break;
    default:
        break;
    }
    return events;
}

// Only what the pad reported counts: a button already down when the pad arrived releases
// nothing, and a state repeated adds nothing.
void TSdlPadInput::Pad::Set(const QString& name, bool down, Events& events) {
    if (name.isEmpty() || held.contains(name) == down)
        return;
    if (down)
        held << name;
    else
        held.removeOne(name);
    events << Event{name, down};
}

void TSdlPadInput::Open(int deviceIndex) {
    Pad pad;
    if (SDL_IsGameController(deviceIndex)) {
        pad.controller = SDL_GameControllerOpen(deviceIndex);
        pad.joystick = pad.controller ? SDL_GameControllerGetJoystick(pad.controller) : nullptr;
    } else {
        pad.joystick = SDL_JoystickOpen(deviceIndex);
    }
    if (!pad.joystick)
        return; // gone already, or not ours to read
    pad.instance = SDL_JoystickInstanceID(pad.joystick);
    if (Find(pad.instance)) {
        // Opened twice: SDL counts the opens, so give this one back.
        if (pad.controller)
            SDL_GameControllerClose(pad.controller);
        else
            SDL_JoystickClose(pad.joystick);
        return;
    }
    ReadHeld(pad);
    m_pads.push_back(pad);
}

// Triggers, sticks and the hat already held when the pad arrives press nothing until let go.
void TSdlPadInput::ReadHeld(Pad& pad) {
    if (pad.controller) {
        const auto axis = [&pad](SDL_GameControllerAxis axis) {
            return SDL_GameControllerGetAxis(pad.controller, axis);
        };
        pad.leftTrigger = TriggerDown(false, axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT));
        pad.rightTrigger = TriggerDown(false, axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT));
        pad.sticks[0] = {axis(SDL_CONTROLLER_AXIS_LEFTX), axis(SDL_CONTROLLER_AXIS_LEFTY)};
        pad.sticks[1] = {axis(SDL_CONTROLLER_AXIS_RIGHTX), axis(SDL_CONTROLLER_AXIS_RIGHTY)};
    } else {
        if (SDL_JoystickNumHats(pad.joystick) > 0)
            pad.hat = SDL_JoystickGetHat(pad.joystick, 0);
        if (SDL_JoystickNumAxes(pad.joystick) >= 2)
            pad.sticks[0] = {SDL_JoystickGetAxis(pad.joystick, 0),
                             SDL_JoystickGetAxis(pad.joystick, 1)};
    }
    for (Stick& stick : pad.sticks)
        stick.direction =
            NextStickDirection(TStickDirection::None, Travel(stick.x), Travel(stick.y));
}

void TSdlPadInput::Close(int instance, Events& events) {
    const auto it = std::find_if(m_pads.begin(), m_pads.end(),
                                 [instance](const Pad& pad) { return pad.instance == instance; });
    if (it == m_pads.end())
        return; // not ours, or closed on its other removal event
    for (const QString& name : std::as_const(it->held))
        events << Event{name, false};
    if (it->controller)
        SDL_GameControllerClose(it->controller);
    else
        SDL_JoystickClose(it->joystick);
    m_pads.erase(it);
}

TSdlPadInput::Pad* TSdlPadInput::Find(int instance) {
    for (Pad& pad : m_pads)
        if (pad.instance == instance)
            return &pad;
    return nullptr;
}

// A trigger goes down once when it passes PressTravel and up when it comes back below
// ReleaseTravel; a stick's direction changes as NextStickDirection says.
void TSdlPadInput::ControllerAxisMoved(Pad& pad, int axis, int value, Events& events) {
    bool* down = nullptr;
    TControllerButton button = TControllerButton::LT;
    switch (axis) {
    case SDL_CONTROLLER_AXIS_LEFTX:
    case SDL_CONTROLLER_AXIS_LEFTY:
        pad.MoveStick(0, axis == SDL_CONTROLLER_AXIS_LEFTY, value, events);
        return;
    case SDL_CONTROLLER_AXIS_RIGHTX:
    case SDL_CONTROLLER_AXIS_RIGHTY:
        pad.MoveStick(1, axis == SDL_CONTROLLER_AXIS_RIGHTY, value, events);
        return;
    case SDL_CONTROLLER_AXIS_TRIGGERLEFT:
        down = &pad.leftTrigger;
        break;
    case SDL_CONTROLLER_AXIS_TRIGGERRIGHT:
        down = &pad.rightTrigger;
        button = TControllerButton::RT;
        break;
    default:
        return;
    }
    // Only a crossing counts: a trigger held as the pad arrived reports nothing until let go.
    if (const bool now = TriggerDown(*down, value); now != *down) {
        *down = now;
        pad.Set(PadButtonName(button), now, events);
    }
}

// The direction left releases before the one entered presses.
void TSdlPadInput::Pad::MoveStick(int index, bool vertical, int value, Events& events) {
    Stick& stick = sticks[index];
    (vertical ? stick.y : stick.x) = value;
    const TStickDirection was = stick.direction;
    stick.direction = NextStickDirection(was, Travel(stick.x), Travel(stick.y));
    if (stick.direction == was)
        return;
    if (was != TStickDirection::None)
        Set(StickName(index, was), false, events);
    if (stick.direction != TStickDirection::None)
        Set(StickName(index, stick.direction), true, events);
}

// Each direction that goes off releases and then each that comes on presses; a diagonal
// is two directions.
void TSdlPadInput::HatMoved(Pad& pad, int value, Events& events) {
    const int was = pad.hat;
    pad.hat = value;
    const std::pair<int, TControllerButton> directions[]{{SDL_HAT_UP, TControllerButton::Up},
                                                         {SDL_HAT_DOWN, TControllerButton::Down},
                                                         {SDL_HAT_LEFT, TControllerButton::Left},
                                                         {SDL_HAT_RIGHT, TControllerButton::Right}};
    for (const bool down : {false, true}) {
        const int changed = down ? value & ~was : was & ~value;
        for (const auto& [bit, button] : directions)
            if (changed & bit)
                pad.Set(PadButtonName(button), down, events);
    }
}

void TSdlPadInput::DevicesChanged() {
    WatchDeviceFolder();
    m_settleLeft = SettleTime / SettleInterval;
    if (!m_settle.isActive())
        m_settle.start();
    Pump();
}

// The input folder when there is one, else its parent, to hear the folder appear.
void TSdlPadInput::WatchDeviceFolder() {
    const QString folder = QDir(InputFolder).exists() ? InputFolder : DeviceFolder;
    if (m_devices.directories().contains(folder))
        return;
    if (!m_devices.directories().isEmpty())
        m_devices.removePaths(m_devices.directories());
    m_devices.addPath(folder);
}

void TSdlPadInput::UpdatePolling() {
    if (m_pads.empty())
        m_poll.stop();
    else if (!m_poll.isActive())
        m_poll.start();
}
