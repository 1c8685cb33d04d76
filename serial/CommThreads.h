#pragma once

#include "CommDevice.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

class TCustomCommX;
class TCommNotifier;

// Writes the chunks handed to it to the port, in order, and drives RTS around each
// burst in the half-duplex modes.
class TCommTransThread {
public:
    TCommTransThread(TCustomCommX& owner, ICommDevice& device, TCommNotifier& notifier,
                     std::uint64_t generation);
    ~TCommTransThread();
    TCommTransThread(const TCommTransThread&) = delete;
    TCommTransThread& operator=(const TCommTransThread&) = delete;

    void Start();
    // Hands a chunk over; false once a stop has been requested (or out of memory).
    bool Post(std::vector<unsigned char>&& chunk);
    void RequestStop();
    void Join();

    // Set while PurgeTrans runs: every chunk taken is dropped.
    std::atomic<bool> Purging{false};
    // One 10-bit character plus 1, in ms.
    std::atomic<int> CharTime{0};

private:
    void Execute();
    bool TakeChunk(std::vector<unsigned char>& chunk);
    void WriteChunk(const std::vector<unsigned char>& chunk);
    CommIoStatus WriteStep(CommIo& io, bool start);
    void BeforeSend();
    void AfterSend();
    void ReportLineErrors();
    bool Stopping() const { return m_stop.load(); }

    TCustomCommX& m_owner;
    ICommDevice& m_device;
    TCommNotifier& m_notifier;
    const std::uint64_t m_generation;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::vector<unsigned char>> m_queue;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Waits for line events and reports them: error, break, received, in that order.
class TCommReceiveThread {
public:
    // receiveWanted: whether anyone listens for received bytes; without a listener the
    // worker saves the GUI thread a wake-up per reply.
    TCommReceiveThread(ICommDevice& device, TCommNotifier& notifier, std::uint64_t generation,
                       const std::atomic<bool>& receiveWanted);
    ~TCommReceiveThread();
    TCommReceiveThread(const TCommReceiveThread&) = delete;
    TCommReceiveThread& operator=(const TCommReceiveThread&) = delete;

    void Start();
    void RequestStop();
    void Join();

private:
    void Execute();

    ICommDevice& m_device;
    TCommNotifier& m_notifier;
    const std::uint64_t m_generation;
    const std::atomic<bool>& m_receiveWanted;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Reports the line error bits that the component passes on (overrun, parity, framing).
void ReportCommLineErrors(ICommDevice& device, TCommNotifier& notifier, std::uint64_t generation);
