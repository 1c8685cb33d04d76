#pragma once

#include "PadInput.h"
#include "StickDirection.h"

#include <QFileSystemWatcher>
#include <QList>
#include <QStringList>
#include <QTimer>

#include <vector>

struct _SDL_GameController;
struct _SDL_Joystick;
union SDL_Event;

// Pads through SDL's game controller layer, with its mapping database, so that common
// pads name their buttons alike; a pad SDL has no mapping for is read as a joystick.
//
// SDL learns of events only when asked. While no pad is open nothing asks: the device
// folder is watched and SDL is asked for a few seconds after it changes, long enough for
// a new device's permissions to be set. While a pad is open SDL is asked every
// PollInterval milliseconds. Presses and releases come out in the order SDL gives them,
// also when a slot pumps again before returning. Everything runs on the thread that made
// the object; one object at a time per process, since SDL's event queue is process-wide.
class TSdlPadInput : public TPadInput {
    Q_OBJECT
public:
    static constexpr int PollInterval = 2;
    static constexpr int SettleInterval = 100;
    static constexpr int SettleTime = 3000;

    explicit TSdlPadInput(QObject* parent = nullptr);
    ~TSdlPadInput() override;

    // False when SDL could not start; the object then reports nothing.
    bool IsAvailable() const { return m_available; }
    // Pads connected now.
    int PadCount() const { return static_cast<int>(m_pads.size()); }
    bool IsPolling() const { return m_poll.isActive(); }
    // Takes every event SDL has now: pads that arrived or left, presses and releases.
    void Pump();

private:
    // A name going down or coming up.
    struct Event {
        QString name;
        bool down = false;
    };
    using Events = QList<Event>;

    struct Stick {
        int x = 0;
        int y = 0;
        // Down, whether or not that was reported.
        TStickDirection direction = TStickDirection::None;
    };

    struct Pad {
        int instance = -1;
        _SDL_GameController* controller = nullptr; // null for a joystick-only pad
        _SDL_Joystick* joystick = nullptr;
        int hat = 0;
        // Down, whether or not that was reported.
        bool leftTrigger = false;
        bool rightTrigger = false;
        Stick sticks[2]; // left, right
        // Reported down and not yet up, in the order they went down.
        QStringList held;

        void Set(const QString& name, bool down, Events& events);
        void MoveStick(int index, bool vertical, int value, Events& events);
    };

    void Handle(const SDL_Event& event);
    // Applies the event to the pads and gives what goes down or up, in order.
    Events Take(const SDL_Event& event);
    void Open(int deviceIndex);
    // Releases what the pad held, then forgets it.
    void Close(int instance, Events& events);
    Pad* Find(int instance);
    static void ReadHeld(Pad& pad);
    static void ControllerAxisMoved(Pad& pad, int axis, int value, Events& events);
    void HatMoved(Pad& pad, int value, Events& events);
    void DevicesChanged();
    void WatchDeviceFolder();
    void UpdatePolling();

    bool m_available = false;
    std::vector<Pad> m_pads;
    QTimer m_poll;
    QTimer m_settle;
    int m_settleLeft = 0;
    QFileSystemWatcher m_devices;
    // Taken from SDL, not yet reported.
    Events m_pending;
};
