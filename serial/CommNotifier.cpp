#include "CommNotifier.h"

#include "CommX.h"

#include <QPointer>

TCommNotifier::TCommNotifier(TCustomCommX& owner) : m_owner(owner) {}

void TCommNotifier::Post(int message, std::uint32_t param, std::uint64_t generation) {
    bool queueDrain = false;
    {
        std::lock_guard lock(m_mutex);
        m_notes.push_back({message, param, generation});
        queueDrain = !std::exchange(m_drainQueued, true);
    }
    // One queued call drains everything posted until it runs; the queued call is
    // dropped by Qt if this object is destroyed first.
    if (queueDrain)
        QMetaObject::invokeMethod(
            this, [this] { Drain(); }, Qt::QueuedConnection);
}

void TCommNotifier::Drain() {
    std::deque<Note> notes;
    {
        std::lock_guard lock(m_mutex);
        notes.swap(m_notes);
        m_drainQueued = false;
    }
    // A handler may close the port or even destroy the component.
    const QPointer<TCommNotifier> alive(this);
    for (const Note& note : notes) {
        if (!alive)
            return;
        m_owner.HandleNotification(note.message, note.param, note.generation);
    }
}
