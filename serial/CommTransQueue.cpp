#include "CommTransQueue.h"

#include "CommTypes.h"

#include <algorithm>
#include <new>

void TCommTransQueue::CountIn(int bytes) {
    std::lock_guard lock(m_countLock);
    m_pendingBytes += bytes;
    ++m_pendingChunks;
}

bool TCommTransQueue::Post(std::vector<unsigned char>&& chunk) {
    {
        std::lock_guard lock(m_mutex);
        if (m_stop)
            return false;
        try {
            m_chunks.push_back(std::move(chunk));
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    m_wake.notify_one();
    return true;
}

void TCommTransQueue::WaitForWork() {
    std::unique_lock lock(m_mutex);
    m_wake.wait(lock, [this] { return !m_chunks.empty() || m_stop; });
}

bool TCommTransQueue::Take(std::vector<unsigned char>& chunk) {
    std::lock_guard lock(m_mutex);
    if (m_chunks.empty())
        return false;
    chunk = std::move(m_chunks.front());
    m_chunks.pop_front();
    return true;
}

void TCommTransQueue::CountOff(int bytes) {
    bool wake = false;
    {
        std::lock_guard lock(m_countLock);
        m_pendingBytes = std::max(0, m_pendingBytes - bytes);
        if (m_pendingChunks > 0)
            --m_pendingChunks;
        // A full queue's waiter is woken once half of it is done, to post a batch, instead
        // of once per chunk; its 1 ms poll still sees every single chunk done.
        wake = m_pendingChunks <= MaxPendingChunks / 2;
    }
    if (wake)
        m_countChanged.notify_all();
}

void TCommTransQueue::RequestStop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
}

void TCommTransQueue::Restart() {
    std::lock_guard lock(m_mutex);
    m_stop = false;
}

void TCommTransQueue::ResetCounts() {
    std::lock_guard lock(m_countLock);
    m_pendingBytes = 0;
    m_pendingChunks = 0;
}

int TCommTransQueue::PendingBytes() const {
    std::lock_guard lock(m_countLock);
    return m_pendingBytes;
}

int TCommTransQueue::PendingChunks() const {
    std::lock_guard lock(m_countLock);
    return m_pendingChunks;
}

bool TCommTransQueue::WaitForRoom(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_countLock);
    return m_countChanged.wait_for(lock, limit,
                                   [this] { return m_pendingChunks < MaxPendingChunks; });
}

bool TCommTransQueue::WaitUntilDone(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_countLock);
    return m_countChanged.wait_for(lock, limit, [this] { return m_pendingBytes == 0; });
}
