#include "PressControl.h"

#include "ColorBtn.h"
#include "CommandButtonValues.h"
#include "PressFeedback.h"

#include <QApplication>

#include <algorithm>
#include <limits>

struct TPressControl::Hold {
    QPointer<TColorBtn> button;
    bool mouse = false;
    int keyCode = NoShortcut; // the key holding it
    QString pad;              // the pad button holding it
    int padDowns = 0;         // pads can share a name: each down waits for its own up
    QList<int> clients;       // remote clients holding it
    qint64 lastStartUs = -1;  // start of its last play; no repeat before the first
    bool IsHeld() const {
        return mouse || keyCode != NoShortcut || padDowns > 0 || !clients.isEmpty();
    }
};

struct TPressControl::Waiting {
    enum Kind { Press, Number, Repeat, Release, Stop };
    Kind kind = Press;
    QPointer<TColorBtn> button;
    int number = NoPlayNumber; // number, release and stop plays keep the number they had
    TPressDone done;

    void Tell(TPressResult::Kind how, TPressOutcome outcome = TPressOutcome::NothingSent) const {
        if (done)
            done({how, outcome});
    }
};

TPressControl::TPressControl(TPanelLink& link, std::unique_ptr<IPressClock> clock, QObject* parent)
    : QObject(parent), m_link(link),
      m_clock(clock ? std::move(clock) : std::make_unique<TSteadyPressClock>()) {}

TPressControl::~TPressControl() {
    m_clock->CancelWake();
}

void TPressControl::AddButton(TColorBtn* button) {
    m_buttons.removeAll(QPointer<TColorBtn>());
    m_buttons.append(button);
}

void TPressControl::SetButtons(const QList<TColorBtn*>& buttons) {
    m_buttons.clear();
    for (TColorBtn* button : buttons)
        m_buttons.append(button);
}

void TPressControl::SetEditMode(bool on) {
    m_editMode = on;
    if (on)
        EndAllHolds();
}

void TPressControl::Click(TColorBtn* button) {
    if (button && !IsHeldButton(*button))
        Press({button});
}

void TPressControl::RemoteDown(TColorBtn* button, int client, TPressDone done) {
    if (!button)
        return;
    if (!IsHeldButton(*button)) {
        Press({button}, std::move(done));
        return;
    }
    if (StartHold(button, TPressSource::Remote, client, {}))
        Press({button}, std::move(done));
    else if (done)
        done({m_editMode ? TPressResult::Kind::Off : TPressResult::Kind::Dropped});
}

void TPressControl::RemoteUp(TColorBtn* button, int client) {
    LetGo([button, client](Hold& hold) {
        return hold.button == button && hold.clients.removeOne(client);
    });
}

void TPressControl::EndRemote(int client) {
    LetGo([client](Hold& hold) { return hold.clients.removeAll(client) > 0; });
}

void TPressControl::RemotePress(TColorBtn* button, TPressDone done) {
    // Not a client's number: a press of its own, let go as soon as it is down.
    constexpr int PressClient = -1;
    RemoteDown(button, PressClient, std::move(done));
    if (button)
        RemoteUp(button, PressClient);
}

void TPressControl::PlayFixedNumber(int number, TPressDone done) {
    Replace([this](const Waiting& item) {
        return (item.kind == Waiting::Press && !FindHold(item.button)) ||
               item.kind == Waiting::Number;
    });
    m_waiting.push_back({Waiting::Number, nullptr, number, std::move(done)});
    RunWaiting();
}

void TPressControl::MouseDown(TColorBtn* button) {
    if (button && IsHeldButton(*button) && StartHold(button, TPressSource::Mouse, NoShortcut, {}))
        Press({button});
}

void TPressControl::MouseUp(TColorBtn* button) {
    LetGo([button](Hold& hold) {
        if (hold.button != button || !hold.mouse)
            return false;
        hold.mouse = false;
        return true;
    });
}

void TPressControl::KeyDown(int keyCode, bool autoRepeat) {
    if (keyCode == NoShortcut)
        return;
    if (keyCode == m_stop.key) {
        // Held down, the stop key stops once, also where its auto-repeat is not marked.
        if (!autoRepeat && !std::exchange(m_stopKeyDown, true))
            StopAll();
        return;
    }
    PressMatching(
        Matching([keyCode](const TColorBtn& button) { return ShortcutKey(button) == keyCode; }),
        TPressSource::Key, !autoRepeat, keyCode, {});
}

void TPressControl::KeyUp(int keyCode) {
    if (keyCode == m_stop.key)
        m_stopKeyDown = false;
    LetGo([keyCode](Hold& hold) {
        if (keyCode == NoShortcut || hold.keyCode != keyCode)
            return false;
        hold.keyCode = NoShortcut;
        return true;
    });
}

void TPressControl::PadDown(const QString& name) {
    if (name.isEmpty())
        return;
    if (name == m_stop.pad) {
        StopAll();
        return;
    }
    // A box or dialog is being answered: keys and clicks cannot reach the panel either.
    if (QApplication::activeModalWidget())
        return;
    PressMatching(Matching([&name](const TColorBtn& button) { return PadButton(button) == name; }),
                  TPressSource::Pad, true, NoShortcut, name);
}

void TPressControl::PadUp(const QString& name) {
    LetGo([&name](Hold& hold) {
        if (name.isEmpty() || hold.padDowns == 0 || hold.pad != name)
            return false;
        --hold.padDowns;
        return true;
    });
}

void TPressControl::EndKeyHolds() {
    m_stopKeyDown = false;
    LetGo([](Hold& hold) {
        const bool held = hold.keyCode != NoShortcut;
        hold.keyCode = NoShortcut;
        return held;
    });
}

void TPressControl::EndAllHolds() {
    EndHolds([](const Hold&) { return true; }, true);
}

void TPressControl::StopAll() {
    EndHolds([](const Hold&) { return true; }, false);
    Replace([](const Waiting&) { return true; });
    if (m_stop.play != NoPlayNumber)
        m_waiting.push_back({Waiting::Stop, nullptr, m_stop.play, {}});
    RunWaiting();
}

QList<TColorBtn*> TPressControl::HeldButtons() const {
    QList<TColorBtn*> held;
    for (const Hold& hold : m_holds) {
        if (hold.button)
            held.append(hold.button);
    }
    return held;
}

QList<QPointer<TColorBtn>>
TPressControl::Matching(const std::function<bool(const TColorBtn&)>& matches) const {
    QList<QPointer<TColorBtn>> matching;
    for (auto it = m_buttons.crbegin(); it != m_buttons.crend(); ++it) {
        if (*it && matches(**it))
            matching.append(*it);
    }
    return matching;
}

void TPressControl::PressMatching(const QList<QPointer<TColorBtn>>& matching, TPressSource source,
                                  bool firstDown, int keyCode, const QString& pad) {
    // Every button of one down is pressed as one press, so that all of them wait together
    // for an exchange that is running. Held buttons start on the first down only.
    QList<QPointer<TColorBtn>> pressed;
    for (const QPointer<TColorBtn>& button : matching) {
        if (!button)
            continue;
        button->setFocus(Qt::ShortcutFocusReason);
        if (!IsHeldButton(*button) || (firstDown && StartHold(button, source, keyCode, pad)))
            pressed.append(button);
    }
    Press(pressed);
}

void TPressControl::Press(const QList<QPointer<TColorBtn>>& buttons, TPressDone done) {
    bool any = false;
    for (const QPointer<TColorBtn>& button : buttons)
        any = any || PlayableNumber(button) != NoPlayNumber;
    if (!any) {
        if (done)
            done({TPressResult::Kind::Off});
        return;
    }
    // The press waiting before replaces this one; a held button's first play stays, as
    // its hold goes on.
    Replace([this](const Waiting& item) {
        return (item.kind == Waiting::Press && !FindHold(item.button)) ||
               item.kind == Waiting::Number;
    });
    for (const QPointer<TColorBtn>& button : buttons) {
        if (PlayableNumber(button) != NoPlayNumber) {
            m_waiting.push_back({Waiting::Press, button, NoPlayNumber, std::move(done)});
            done = nullptr;
        }
    }
    RunWaiting();
}

// Those told are told after the list has changed: they may press again.
void TPressControl::Replace(const std::function<bool(const Waiting&)>& dropped) {
    std::vector<Waiting> gone;
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        if (dropped(*it)) {
            gone.push_back(std::move(*it));
            it = m_waiting.erase(it);
        } else {
            ++it;
        }
    }
    for (const Waiting& item : gone)
        item.Tell(TPressResult::Kind::Dropped);
}

bool TPressControl::StartHold(TColorBtn* button, TPressSource source, int keyCode,
                              const QString& pad) {
    // A button that plays nothing now is held all the same, for its release play.
    if (m_editMode)
        return false;
    Hold* hold = FindHold(button);
    const bool fresh = !hold;
    if (fresh) {
        m_holds.push_back({});
        hold = &m_holds.back();
        hold->button = button;
    }
    switch (source) {
    case TPressSource::Mouse:
        hold->mouse = true;
        break;
    case TPressSource::Key:
        hold->keyCode = keyCode;
        break;
    case TPressSource::Pad:
        hold->pad = pad;
        ++hold->padDowns;
        break;
    case TPressSource::Remote:
        hold->clients.append(keyCode);
        break;
    }
    return fresh;
}

void TPressControl::LetGo(const std::function<bool(Hold&)>& letGo) {
    bool changed = false;
    for (Hold& hold : m_holds)
        changed = letGo(hold) || changed;
    if (changed)
        EndHolds([](const Hold& hold) { return !hold.IsHeld(); }, true);
}

void TPressControl::EndHolds(const std::function<bool(const Hold&)>& ends, bool withRelease) {
    std::vector<Hold> ended;
    for (auto it = m_holds.begin(); it != m_holds.end();) {
        if (!it->button || ends(*it)) {
            ended.push_back(*it);
            it = m_holds.erase(it);
        } else {
            ++it;
        }
    }
    if (ended.empty())
        return;
    for (const Hold& hold : ended) {
        // No repeat starts once the hold has ended, a waiting one neither.
        std::erase_if(m_waiting, [&hold](const Waiting& item) {
            return item.kind == Waiting::Repeat && item.button == hold.button;
        });
        if (withRelease && hold.button && ReleasePlay(*hold.button) != NoReleasePlay)
            m_waiting.push_back({Waiting::Release, hold.button, ReleasePlay(*hold.button), {}});
    }
    ScheduleRepeat();
    RunWaiting();
}

TPressControl::Hold* TPressControl::FindHold(const TColorBtn* button) {
    if (!button)
        return nullptr;
    const auto it = std::find_if(m_holds.begin(), m_holds.end(),
                                 [button](const Hold& hold) { return hold.button == button; });
    return it == m_holds.end() ? nullptr : &*it;
}

bool TPressControl::IsWaiting(const TColorBtn* button, int kind) const {
    return std::any_of(m_waiting.begin(), m_waiting.end(), [button, kind](const Waiting& item) {
        return item.kind == kind && item.button == button;
    });
}

void TPressControl::RunWaiting() {
    // The exchange of a running play lets the event loop run, and what arrives there waits.
    if (m_running)
        return;
    m_running = true;
    const QPointer<TPressControl> alive(this);
    while (!m_waiting.empty()) {
        const Waiting item = m_waiting.front();
        m_waiting.erase(m_waiting.begin());
        RunOne(item);
        if (!alive)
            return;
    }
    m_running = false;
}

void TPressControl::RunOne(const Waiting& item) {
    const bool fixed =
        item.kind == Waiting::Release || item.kind == Waiting::Stop || item.kind == Waiting::Number;
    if (!fixed && !item.button) {
        item.Tell(TPressResult::Kind::Dropped);
        return;
    }
    // A button may have been switched to OFF, or edit mode turned on, since it was pressed.
    const int number = fixed ? item.number : PlayableNumber(item.button);
    if (number == NoPlayNumber) {
        item.Tell(TPressResult::Kind::Off);
        return;
    }
    const QPointer<TColorBtn> button = item.button;
    if (Hold* hold = fixed ? nullptr : FindHold(button)) {
        hold->lastStartUs = m_clock->NowUs();
        ScheduleRepeat();
    }
    if (button)
        button->ClearPressOutcome();
    const QPointer<TPressControl> alive(this);
    const TPressOutcome outcome = m_link.Play(number);
    if (!alive)
        return;
    if (button) {
        const TPressFeedback shown = FeedbackFor(outcome, m_link.LinkIndex() == MotionEditorLink);
        button->ShowPressOutcome(shown.frame, shown.ms, shown.toolTip);
    }
    emit PlayEnded(button, number, outcome);
    item.Tell(TPressResult::Kind::Played, outcome);
}

void TPressControl::ScheduleRepeat() {
    qint64 earliest = std::numeric_limits<qint64>::max();
    for (const Hold& hold : m_holds) {
        if (!hold.button || hold.lastStartUs < 0 || IsWaiting(hold.button, Waiting::Repeat))
            continue;
        const int interval = RepeatInterval(*hold.button);
        if (interval != NoRepeat)
            earliest = std::min(earliest, hold.lastStartUs + qint64(interval) * 1000);
    }
    if (earliest == std::numeric_limits<qint64>::max())
        m_clock->CancelWake();
    else
        m_clock->WakeAt(earliest, [this] { RepeatDue(); });
}

void TPressControl::RepeatDue() {
    const qint64 now = m_clock->NowUs();
    for (const Hold& hold : m_holds) {
        if (!hold.button || hold.lastStartUs < 0 || IsWaiting(hold.button, Waiting::Repeat))
            continue;
        const int interval = RepeatInterval(*hold.button);
        if (interval != NoRepeat && now >= hold.lastStartUs + qint64(interval) * 1000)
            m_waiting.push_back({Waiting::Repeat, hold.button, NoPlayNumber, {}});
    }
    ScheduleRepeat();
    RunWaiting();
}

int TPressControl::PlayableNumber(const TColorBtn* button) const {
    if (!button || m_editMode)
        return NoPlayNumber;
    return PlayNumber(*button);
}
