#include "CommThreads.h"

#include "CommNotifier.h"

#include <chrono>

namespace {
// Longest wait for the last bytes of a half-duplex burst to leave the port.
constexpr int DrainLimitMs = 5000;

void SleepMs(int ms) {
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
} // namespace

void ReportCommLineErrors(ICommDevice& device, TCommNotifier& notifier, std::uint64_t generation) {
    std::uint32_t errors = 0;
    if (!device.ClearCommError(&errors, nullptr))
        return;
    if (const std::uint32_t bits = errors & CommErrorMask)
        notifier.Post(CommErrorMessage, bits, generation);
}

TCommTransThread::TCommTransThread(TCommTransQueue& queue, ICommDevice& device,
                                   TCommNotifier& notifier,
                                   const std::atomic<TCommFlowCtrls>& flowCtrl,
                                   std::uint64_t generation)
    : m_queue(queue), m_device(device), m_notifier(notifier), m_flowCtrl(flowCtrl),
      m_generation(generation) {}

TCommTransThread::~TCommTransThread() {
    RequestStop();
    Join();
}

void TCommTransThread::Start() {
    m_thread = std::thread([this] { Execute(); });
}

void TCommTransThread::RequestStop() {
    m_queue.RequestStop();
}

void TCommTransThread::Join() {
    if (m_thread.joinable())
        m_thread.join();
}

void TCommTransThread::Execute() {
    do {
        m_queue.WaitForWork();
        // A burst: everything found now, plus what arrives while working through it.
        bool burst = false;
        std::vector<unsigned char> chunk;
        while (m_queue.Take(chunk)) {
            if (!Dropping()) {
                if (!burst) {
                    burst = true;
                    BeforeSend();
                }
                WriteChunk(chunk);
            }
            const int length = int(chunk.size());
            chunk = {};
            m_queue.CountOff(length);
        }
        if (burst)
            AfterSend();
    } while (!m_queue.Stopping());
}

// Every step that hands bytes to the port holds WriteLock and first checks for a purge
// or a stop, so that no byte follows the purge of PurgeTrans. A stop also ends the wait
// for the port (through the cancel flag and the purge that follows it).
CommIoStatus TCommTransThread::WriteStep(CommIo& io, bool start) {
    std::lock_guard lock(m_queue.WriteLock());
    if (Dropping())
        return CommIoStatus::Failed;
    return start ? m_device.StartWrite(io) : m_device.ContinueWrite(io);
}

void TCommTransThread::WriteChunk(const std::vector<unsigned char>& chunk) {
    CommIo io;
    io.buffer = const_cast<unsigned char*>(chunk.data());
    io.count = int(chunk.size());
    io.cancel = &m_queue.StopFlag();
    while (!Dropping()) {
        CommIoStatus status = WriteStep(io, true);
        if (status == CommIoStatus::Done)
            return;
        if (status == CommIoStatus::Failed) {
            ReportLineErrors();
            return;
        }
        while (status == CommIoStatus::Pending) {
            status = m_device.WaitWrite(io);
            if (status == CommIoStatus::Pending)
                status = WriteStep(io, false);
        }
        if (status == CommIoStatus::Done)
            return;
        // A pending write that failed: issue the rest of the chunk again.
        ReportLineErrors();
        if (io.transferred >= io.count)
            return;
        io.buffer = static_cast<unsigned char*>(io.buffer) + io.transferred;
        io.count -= io.transferred;
    }
}

void TCommTransThread::BeforeSend() {
    const TCommFlowCtrls mode = m_flowCtrl;
    if (mode != cfcHalfHigh && mode != cfcHalfLow)
        return;
    SleepMs(50);
    m_device.EscapeCommFunction(mode == cfcHalfHigh ? SETRTS : CLRRTS);
    SleepMs(CharTime);
}

void TCommTransThread::AfterSend() {
    const TCommFlowCtrls mode = m_flowCtrl;
    if (mode != cfcHalfHigh && mode != cfcHalfLow)
        return;
    // A completed write only means the driver has the bytes; turn the line round
    // after they have left.
    m_device.WaitTransmitted(DrainLimitMs);
    SleepMs(CharTime);
    m_device.EscapeCommFunction(mode == cfcHalfHigh ? CLRRTS : SETRTS);
}

void TCommTransThread::ReportLineErrors() {
    ReportCommLineErrors(m_device, m_notifier, m_generation);
}

TCommReceiveThread::TCommReceiveThread(ICommDevice& device, TCommNotifier& notifier,
                                       std::uint64_t generation,
                                       const std::atomic<bool>& receiveWanted)
    : m_device(device), m_notifier(notifier), m_generation(generation),
      m_receiveWanted(receiveWanted) {}

TCommReceiveThread::~TCommReceiveThread() {
    RequestStop();
    Join();
}

void TCommReceiveThread::Start() {
    m_thread = std::thread([this] { Execute(); });
}

void TCommReceiveThread::RequestStop() {
    m_stop = true;
    m_device.CancelWait();
}

void TCommReceiveThread::Join() {
    if (m_thread.joinable())
        m_thread.join();
}

void TCommReceiveThread::Execute() {
    while (!m_stop) {
        const std::uint32_t mask = m_device.WaitCommEvent();
        if (m_stop)
            break;
        // Read on every wake-up, whatever woke it: EV_ERR has no notification of its own.
        ReportCommLineErrors(m_device, m_notifier, m_generation);
        if (mask & EV_BREAK)
            m_notifier.Post(CommBreakMessage, mask, m_generation);
        if ((mask & EV_RXCHAR) && m_receiveWanted)
            m_notifier.Post(CommRxMessage, 0, m_generation);
        // The device reports this once; its port is not waited on again.
        if (mask & EV_GONE)
            m_notifier.Post(CommGoneMessage, 0, m_generation);
    }
    m_device.SetCommMask(0);
}
