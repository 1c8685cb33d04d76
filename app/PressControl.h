#pragma once

#include "ColorBtn.h"
#include "PanelLink.h"
#include "PressClock.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// Where a button's down and up came from.
enum class TPressSource {
    Mouse,
    Key,
    Pad,
    Remote, // a client of remote control, told apart by a number
};

// How a press that asked to hear of its end ended.
struct TPressResult {
    enum class Kind {
        Played,  // with the outcome
        Off,     // nothing to play: an OFF button, edit mode
        Dropped, // a later press took its place, a stop dropped it, or its button went
    };
    Kind kind = Kind::Played;
    TPressOutcome outcome = TPressOutcome::NothingSent;
};
using TPressDone = std::function<void(const TPressResult&)>;

// The panel's stop: the key and pad button that stop everything and what plays then.
struct TStopSettings {
    int key = -1;
    QString pad;
    int play = -1;
};

// The one owner of presses and holds. Every input reports its downs and ups here; this
// reads each button's play number, repeat and release itself, keeps the holds, their
// repeats, the waiting presses and the stop, plays over the link one press at a time and
// shows each outcome on its button.
//
// A button without a repeat or release play is pressed once per click, per key-down of
// its shortcut (auto-repeat included) and per pad press. Any other button is held from
// its first down to its last up: it plays at once, again every repeat interval counted
// from the start of its previous play, and its release play once when the hold ends.
// Presses never nest: what comes during an exchange waits for it. A new press replaces
// the press waiting before it; a due repeat waits once, never twice; release and stop
// plays always come.
class TPressControl : public QObject {
    Q_OBJECT
public:
    // Without a clock the steady clock is used.
    explicit TPressControl(TPanelLink& link, std::unique_ptr<IPressClock> clock = {},
                           QObject* parent = nullptr);
    ~TPressControl() override;

    // The command buttons in creation order; a key or pad press reaches the newest first.
    void AddButton(TColorBtn* button);
    void SetButtons(const QList<TColorBtn*>& buttons);

    // Edit mode plays no button; switching it on ends every hold.
    void SetEditMode(bool on);
    bool EditMode() const { return m_editMode; }
    void SetStop(const TStopSettings& stop) { m_stop = stop; }
    const TStopSettings& Stop() const { return m_stop; }

    // A click's release on a button that is not held (the mouse, or its keyboard click).
    void Click(TColorBtn* button);
    // A client's finger on a button and off it: a held button is held, any other pressed
    // once. done hears how the down's own play ended. EndRemote lets go of all a client has.
    void RemoteDown(TColorBtn* button, int client, TPressDone done = {});
    void RemoteUp(TColorBtn* button, int client);
    void EndRemote(int client);
    // A press as a click makes it, for any button: a held one is held and let go at once.
    void RemotePress(TColorBtn* button, TPressDone done);
    // A play number of its own, under the rule of presses.
    void PlayFixedNumber(int number, TPressDone done);
    // The left mouse button on a held button; the up comes wherever the pointer is.
    void MouseDown(TColorBtn* button);
    void MouseUp(TColorBtn* button);
    // A key went down in the panel (an auto-repeat, or its first down) or really came up.
    void KeyDown(int keyCode, bool autoRepeat);
    void KeyUp(int keyCode);
    // A pad button went down or came up, whichever window is active.
    void PadDown(const QString& name);
    void PadUp(const QString& name);

    // The panel lost the keyboard: key holds end, as if their keys came up.
    void EndKeyHolds();
    // A modal window opened, or edit mode came on: every hold ends.
    void EndAllHolds();
    // Ends every hold without its release play, drops every waiting press, then plays the
    // stop play once when there is one.
    void StopAll();

    // Buttons held now, for whatever input.
    QList<TColorBtn*> HeldButtons() const;

signals:
    // One play has ended; button is null for the stop play.
    void PlayEnded(TColorBtn* button, int number, TPressOutcome outcome);

private:
    struct Hold;
    struct Waiting;

    QList<QPointer<TColorBtn>> Matching(const std::function<bool(const TColorBtn&)>& matches) const;
    void PressMatching(const QList<QPointer<TColorBtn>>& matching, TPressSource source,
                       bool firstDown, int keyCode, const QString& pad);
    void Press(const QList<QPointer<TColorBtn>>& buttons, TPressDone done = {});
    // keyCode: the key for a key hold, the client for a remote one.
    bool StartHold(TColorBtn* button, TPressSource source, int keyCode, const QString& pad);
    void Replace(const std::function<bool(const Waiting&)>& dropped);
    // Lets go of what matches in every hold; holds that nothing holds any more end.
    void LetGo(const std::function<bool(Hold&)>& letGo);
    void EndHolds(const std::function<bool(const Hold&)>& ends, bool withRelease);
    Hold* FindHold(const TColorBtn* button);
    bool IsWaiting(const TColorBtn* button, int kind) const;
    void RunWaiting();
    void RunOne(const Waiting& item);
    void ScheduleRepeat();
    void RepeatDue();
    int PlayableNumber(const TColorBtn* button) const;

    TPanelLink& m_link;
    std::unique_ptr<IPressClock> m_clock;
    QList<QPointer<TColorBtn>> m_buttons;
    std::vector<Hold> m_holds;
    std::vector<Waiting> m_waiting;
    TStopSettings m_stop;
    bool m_editMode = false;
    bool m_running = false;
    bool m_stopKeyDown = false;
};
