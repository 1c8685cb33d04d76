#pragma once

#include "PadInput.h"

#include <QFileSystemWatcher>
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
// PollInterval milliseconds. Everything runs on the thread that made the object; one
// object at a time per process, since SDL's event queue is process-wide.
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
    // Takes every event SDL has now: pads that arrived or left, and presses.
    void Pump();

private:
    struct Pad {
        int instance = -1;
        _SDL_GameController* controller = nullptr; // null for a joystick-only pad
        _SDL_Joystick* joystick = nullptr;
        int hat = 0;
        bool leftTrigger = false;
        bool rightTrigger = false;
    };

    void Handle(const SDL_Event& event);
    // Applies the event to the pads and gives the names it presses.
    QStringList Take(const SDL_Event& event);
    void Open(int deviceIndex);
    void Close(int instance);
    Pad* Find(int instance);
    QStringList TriggerMoved(Pad& pad, int axis, int value);
    QStringList HatMoved(Pad& pad, int value);
    void DevicesChanged();
    void WatchDeviceFolder();
    void UpdatePolling();

    bool m_available = false;
    std::vector<Pad> m_pads;
    QTimer m_poll;
    QTimer m_settle;
    int m_settleLeft = 0;
    QFileSystemWatcher m_devices;
};
