#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>
#include <vector>

// What remote control needs of the panel, and nothing of its widgets: the server and the
// page see the panel only through this.

// One command button as a client draws it.
struct TRemoteButton {
    QString name;    // component name, CB_1 ...
    QString caption; // as shown (caption lines joined by line breaks when empty)
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    quint32 color = 0;     // 0xAARRGGBB, resolved, system colours included
    quint32 textColor = 0; // resolved
    int play = -1;         // the play number, -1 for OFF
    bool held = false;     // a repeat or a release play: held while the finger stays down
};

struct TRemotePanelView {
    QString caption;
    int width = 0; // the client area, where the buttons stand
    int height = 0;
    quint32 color = 0;
    std::vector<TRemoteButton> buttons; // component order
};

struct TRemoteStatus {
    QString link; // "PWT3", "COM3", ... or empty when no link is chosen
    bool open = false;
    bool editMode = false;
};

// What became of a remote press, as the API names it.
enum class TRemoteOutcome {
    Acknowledged,   // "acknowledged"
    NotAnswered,    // "not_answered"
    NothingSent,    // "nothing_sent": also a press dropped for a later one, or stopped
    NoMotionEditor, // "no_motion_editor"
    Off,            // "off": the button plays nothing now (OFF, or edit mode)
    Blocked,        // "blocked": a modal window is open
    UnknownButton,  // no such button: the API answers 404
};

class IRemotePanel {
public:
    // Called exactly once per press, when its play has ended or it is known that it will
    // not play; maybe at once, before Press returns.
    using TDone = std::function<void(TRemoteOutcome)>;

    virtual TRemotePanelView View() const = 0;
    virtual TRemoteStatus Status() const = 0;
    // A press as a click would make it; held buttons are pressed once here.
    virtual void PressButton(const QString& name, TDone done) = 0;
    // A play number 0-84 over the link, under the same rule as presses.
    virtual void PlayNumber(int number, TDone done) = 0;
    // The panel's stop.
    virtual void StopAll() = 0;
    // A client's finger on a button and off it. `client` tells the clients apart: each has
    // holds of its own, and EndClient ends every hold a client still has.
    virtual void HoldDown(const QString& name, int client) = 0;
    virtual void HoldUp(const QString& name, int client) = 0;
    virtual void EndClient(int client) = 0;

protected:
    ~IRemotePanel() = default;
};
