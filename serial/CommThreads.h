#pragma once

#include "CommDevice.h"
#include "CommTransQueue.h"
#include "CommTypes.h"

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

class TCommNotifier;

// Writes the chunks of the queue lent to it to the port, in order, and drives RTS around
// each burst in the half-duplex modes.
class TCommTransThread {
public:
    TCommTransThread(TCommTransQueue& queue, ICommDevice& device, TCommNotifier& notifier,
                     const std::atomic<TCommFlowCtrls>& flowCtrl, std::uint64_t generation);
    ~TCommTransThread();
    TCommTransThread(const TCommTransThread&) = delete;
    TCommTransThread& operator=(const TCommTransThread&) = delete;

    void Start();
    void RequestStop();
    void Join();

    // One 10-bit character plus 1, in ms.
    std::atomic<int> CharTime{0};

private:
    void Execute();
    void WriteChunk(const std::vector<unsigned char>& chunk);
    CommIoStatus WriteStep(CommIo& io, bool start);
    void BeforeSend();
    void AfterSend();
    void ReportLineErrors();
    bool Dropping() const { return m_queue.Purging || m_queue.Stopping(); }

    TCommTransQueue& m_queue;
    ICommDevice& m_device;
    TCommNotifier& m_notifier;
    const std::atomic<TCommFlowCtrls>& m_flowCtrl;
    const std::uint64_t m_generation;
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
