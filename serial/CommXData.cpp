// The data path of the serial port component: sending at once or through the transmit
// worker, reading on the GUI thread, purging, and starting the workers.

#include "CommNotifier.h"
#include "CommThreads.h"
#include "CommX.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <system_error>
#include <thread>

namespace {
const char* const MsgTransThread = "送信用スレッドを生成できませんでした";
const char* const MsgReceiveThread = "受信用スレッドを生成できませんでした";

void ProcessEvents() {
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

// Why a worker did not start: the thread the system would not create, or what else failed.
TCommFailure WorkerFailure(const std::exception& error) {
    if (const auto* system = dynamic_cast<const std::system_error*>(&error))
        return {"std::thread", system->code().value(), error.what()};
    return {"StartWorkers", 0, error.what()};
}
} // namespace

void TCustomCommX::StartWorkers() {
    if (!m_open)
        return;
    // Never leave running workers behind unreferenced. Stopping them ended the port's
    // event waits and cleared its event mask; the new receive worker needs both again.
    const bool restarting = m_transThread || m_receiveThread;
    StopWorkers();
    if (restarting) {
        m_device->ResumeWait();
        m_device->SetCommMask(CommEventMask);
    }
    // No character time below 10 baud.
    if (m_bitRate < 10)
        throw ECommError(QString::fromUtf8(MsgTransThread));
    try {
        m_transQueue.Restart();
        m_transThread = std::make_unique<TCommTransThread>(m_transQueue, *m_device, *m_notifier,
                                                           m_flowCtrl, m_openGeneration);
        m_transThread->CharTime = 1000 / (m_bitRate / 10) + 1;
        m_transThread->Start();
    } catch (const std::exception& error) {
        m_transThread.reset();
        throw ECommError(QString::fromUtf8(MsgTransThread), WorkerFailure(error));
    }
    try {
        m_receiveThread = std::make_unique<TCommReceiveThread>(*m_device, *m_notifier,
                                                               m_openGeneration, m_receiveWanted);
        m_receiveThread->Start();
    } catch (const std::exception& error) {
        m_receiveThread.reset();
        throw ECommError(QString::fromUtf8(MsgReceiveThread), WorkerFailure(error));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

int TCustomCommX::PendingBytes() const {
    return m_transQueue.PendingBytes();
}

int TCustomCommX::PendingChunks() const {
    return m_transQueue.PendingChunks();
}

int TCustomCommX::CharTime() const {
    return m_transThread ? m_transThread->CharTime.load() : 0;
}

bool TCustomCommX::PostChunk(std::vector<unsigned char>&& chunk) {
    return m_transThread && m_transQueue.Post(std::move(chunk));
}

bool TCustomCommX::MayWriteAtOnce() const {
    // In the half-duplex modes the worker turns the line round every burst.
    const TCommFlowCtrls mode = FlowCtrl();
    return mode != cfcHalfHigh && mode != cfcHalfLow;
}

// Returns how many of the bytes are done with: those the port took at once, or all of
// them when the write failed; failed bytes are given up after reporting, as the worker
// gives up a chunk.
int TCustomCommX::WriteAtOnce(const unsigned char* bytes, int size) {
    int taken = 0;
    {
        std::lock_guard lock(m_transQueue.WriteLock());
        taken = m_device->WriteNow(bytes, size);
    }
    if (taken >= 0)
        return std::min(taken, size);
    // Through the notifier, as from the worker: no handler runs inside Write.
    ReportCommLineErrors(*m_device, *m_notifier, m_openGeneration);
    return size;
}

// Hands a copy of the bytes to the transmit worker; false when it could not be handed
// over. Bytes that cannot be copied are skipped.
bool TCustomCommX::QueueChunk(const unsigned char* bytes, int size) {
    std::vector<unsigned char> chunk;
    try {
        chunk.assign(bytes, bytes + size);
    } catch (const std::bad_alloc&) {
        return true;
    }
    m_transQueue.CountIn(size);
    // A chunk that was not handed over must not stay counted, or Write and PurgeTrans
    // would wait for it forever.
    if (!PostChunk(std::move(chunk))) {
        m_transQueue.CountOff(size);
        return false;
    }
    return true;
}

bool TCustomCommX::Write(const void* data, int count) {
    if (count == 0)
        return true;
    if (count < 0 || !data)
        return false;
    const auto* bytes = static_cast<const unsigned char*>(data);
    const std::uint64_t generation = m_openGeneration;
    while (count > 0) {
        // The port may be closed, or closed and opened again, by a handler run below.
        if (!m_open || generation != m_openGeneration || !m_transThread || m_device->Gone())
            return false;
        const int chunks = m_transQueue.PendingChunks();
        if (chunks >= MaxPendingChunks) {
            ProcessEvents();
            // Wait for the worker to finish a chunk, at most 1 ms between turns.
            m_transQueue.WaitForRoom(std::chrono::milliseconds(1));
            continue;
        }
        const bool idle = chunks == 0;
        // A chunk size below 1 would never get through the data.
        const int size = std::min(count, std::max(1, BufLenTrans()));
        // Nothing queued: every earlier byte is with the driver already (only this thread
        // queues), so these may follow at once, without a wake-up of the worker.
        const int done = idle && MayWriteAtOnce() ? WriteAtOnce(bytes, size) : 0;
        if (done < size && !QueueChunk(bytes + done, size - done))
            return false;
        bytes += size;
        count -= size;
    }
    return true;
}

bool TCustomCommX::SendChar(unsigned char c) {
    return Write(&c, 1);
}

bool TCustomCommX::SendString(const QByteArray& s) {
    if (s.isEmpty())
        return true;
    return Write(s.constData(), int(s.size()));
}

void TCustomCommX::ReportLineErrors() {
    std::uint32_t errors = 0;
    if (!m_device->ClearCommError(&errors, nullptr))
        return;
    // On the GUI thread already: handled at once, as a message sent to one's own window.
    if (const std::uint32_t bits = errors & CommErrorMask)
        HandleNotification(CommErrorMessage, bits, m_openGeneration);
}

int TCustomCommX::Read(void* buffer, int count) {
    if (!m_open || !m_receiveThread || !buffer || count < 0 || m_device->Gone())
        return -1;
    const std::uint64_t generation = m_openGeneration;
    CommIo io;
    io.buffer = buffer;
    io.count = count;
    CommIoStatus status = m_device->StartRead(io);
    for (;;) {
        // Waits on the port itself, at most 1 ms, so bytes are taken the moment they
        // arrive; between the waits the event loop turns.
        if (status == CommIoStatus::Pending)
            status = m_device->ContinueRead(io, 1);
        if (status == CommIoStatus::Done)
            return io.transferred;
        if (status == CommIoStatus::Failed) {
            ReportLineErrors();
            return -1;
        }
        ProcessEvents();
        if (!m_open || generation != m_openGeneration || !m_receiveThread)
            return -1;
    }
}

void TCustomCommX::PurgeTrans() {
    if (!m_open)
        return;
    if (!m_transThread) {
        m_device->PurgeComm(PURGE_TXABORT | PURGE_TXCLEAR);
        return;
    }
    m_transQueue.Purging = true;
    for (;;) {
        {
            std::lock_guard lock(m_transQueue.WriteLock());
            m_device->PurgeComm(PURGE_TXABORT | PURGE_TXCLEAR);
        }
        // The worker never waits for this thread, so it always gets to count off.
        if (m_transQueue.WaitUntilDone(std::chrono::milliseconds(1)))
            break;
    }
    m_transQueue.Purging = false;
}
