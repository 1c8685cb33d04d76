#pragma once

#include <QObject>

#include <cstdint>
#include <deque>
#include <mutex>

// What the notifier calls on the GUI thread for each notification: the component.
class ICommNotificationSink {
public:
    // generation identifies the opening of the port the notification belongs to.
    virtual void HandleNotification(int message, std::uint32_t param, std::uint64_t generation) = 0;

protected:
    ~ICommNotificationSink() = default;
};

// Lives on the GUI thread and turns the workers' notifications into the component's
// events there. Workers only queue and never wait for the GUI thread, so a GUI thread
// waiting in Close or PurgeTrans can never deadlock with them.
class TCommNotifier : public QObject {
public:
    explicit TCommNotifier(ICommNotificationSink& owner);

    // Any thread. generation identifies the opening of the port the note belongs to.
    void Post(int message, std::uint32_t param, std::uint64_t generation);

private:
    struct Note {
        int message;
        std::uint32_t param;
        std::uint64_t generation;
    };

    void Drain();

    ICommNotificationSink& m_owner;
    std::mutex m_mutex;
    std::deque<Note> m_notes;
    bool m_drainQueued = false;
};
