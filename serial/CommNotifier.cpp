#include "CommNotifier.h"

#include <QPointer>

#include <utility>

TCommNotifier::TCommNotifier(ICommNotificationSink& owner) : m_owner(owner) {}

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
    // Notes are taken one at a time while m_drainQueued stays set: a handler that turns the
    // event loop gets no notes of later wake-ups ahead of the rest of the current ones,
    // as a worker waiting for its note to be handled would send none.
    const QPointer<TCommNotifier> alive(this);
    for (;;) {
        Note note;
        {
            std::lock_guard lock(m_mutex);
            if (m_notes.empty()) {
                m_drainQueued = false;
                return;
            }
            note = m_notes.front();
            m_notes.pop_front();
        }
        try {
            // A handler may close the port or even destroy the component.
            m_owner.HandleNotification(note.message, note.param, note.generation);
        } catch (...) {
            // The rest still goes out, after the error report.
            if (alive)
                QMetaObject::invokeMethod(
                    this, [this] { Drain(); }, Qt::QueuedConnection);
            throw;
        }
        if (!alive)
            return;
    }
}
