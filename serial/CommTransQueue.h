#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

// The chunks on their way to the transmit worker and the counts of what is not yet done
// with. The component owns it and lends it to each worker it starts. Writers are woken
// when the worker has counted chunks off, the worker when a chunk or a stop arrives.
// The queue's lock and the count lock are never held together.
class TCommTransQueue {
public:
    // Counts a chunk of that many bytes in, before it is handed over.
    void CountIn(int bytes);
    // Hands a chunk over; false once a stop has been requested (or out of memory). A chunk
    // not handed over stays counted until CountOff.
    bool Post(std::vector<unsigned char>&& chunk);
    // The worker: waits until a chunk or a stop has arrived.
    void WaitForWork();
    // The worker: the oldest chunk, false when there is none.
    bool Take(std::vector<unsigned char>& chunk);
    // A chunk of that many bytes is done with (written, dropped or failed).
    void CountOff(int bytes);

    void RequestStop();
    bool Stopping() const { return m_stop.load(); }
    // Set by RequestStop: a transfer given it ends at its next step.
    const std::atomic<bool>& StopFlag() const { return m_stop; }
    // For the next worker: no stop requested. The counts stay.
    void Restart();
    // For a port just opened: nothing counted.
    void ResetCounts();

    int PendingBytes() const;
    int PendingChunks() const;
    // Wait at most `limit` for fewer than MaxPendingChunks chunks, or for nothing pending;
    // true when that is so.
    bool WaitForRoom(std::chrono::milliseconds limit);
    bool WaitUntilDone(std::chrono::milliseconds limit);

    // Held around every hand-over of bytes to the device, so that none follows a purge.
    std::mutex& WriteLock() { return m_writeLock; }
    // While set, the worker drops every chunk it takes.
    std::atomic<bool> Purging{false};

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::vector<unsigned char>> m_chunks;
    std::atomic<bool> m_stop{false};

    mutable std::mutex m_countLock;
    std::condition_variable m_countChanged;
    int m_pendingBytes = 0;
    int m_pendingChunks = 0;

    std::mutex m_writeLock;
};
