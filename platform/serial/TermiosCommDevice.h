#pragma once

#include "CommDevice.h"
#include "ParmrkDecoder.h"

#include <linux/serial.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

struct termios;

// A serial port through termios: exclusive non-blocking open, raw mode with PARMRK marks,
// edge-triggered epoll for line events and an eventfd to end the wait.
class TTermiosCommDevice : public ICommDevice {
public:
    // portFolder: where ports/COMn is looked for; empty means CommPortFolder() at Open.
    explicit TTermiosCommDevice(std::string portFolder = {});
    ~TTermiosCommDevice() override;
    TTermiosCommDevice(const TTermiosCommDevice&) = delete;
    TTermiosCommDevice& operator=(const TTermiosCommDevice&) = delete;

    bool Open(int portNo) override;
    TPortRefusal LastRefusal() const override;
    TCommFailure LastFailure() const override;
    void SetLowLatency(bool on) override;
    void Close() override;
    bool IsOpen() const override;
    int Handle() const override;

    bool SetupComm(std::int32_t inQueue, std::int32_t outQueue) override;
    bool PurgeComm(std::uint32_t flags) override;
    bool GetCommState(DCB& dcb) override;
    bool SetCommState(const DCB& dcb) override;
    bool GetCommTimeouts(COMMTIMEOUTS& timeouts) override;
    bool SetCommTimeouts(const COMMTIMEOUTS& timeouts) override;
    bool SetCommMask(std::uint32_t mask) override;
    std::uint32_t WaitCommEvent() override;
    void CancelWait() override;
    void ResumeWait() override;
    bool ClearCommError(std::uint32_t* errors, COMSTAT* stat) override;
    bool EscapeCommFunction(std::uint32_t function) override;

    CommIoStatus StartWrite(CommIo& io) override;
    CommIoStatus WaitWrite(CommIo& io) override;
    CommIoStatus ContinueWrite(CommIo& io) override;
    int WriteNow(const void* data, int count) override;
    void WaitTransmitted(int timeoutMs) override;
    bool Gone() const override;
    CommIoStatus StartRead(CommIo& io) override;
    CommIoStatus ContinueRead(CommIo& io, int waitMs) override;

    // Whether the driver keeps break and line error counters (TIOCGICOUNT).
    bool HasCounters() const;

private:
    // Data bytes kept beyond the driver's queue; more waits in the driver, where flow
    // control holds the line back.
    static constexpr std::size_t MaxQueued = 64 * 1024;
    static void Drain(int fd);

    int OpenExclusive(const std::string& path);
    bool CreateWaitDescriptors(int fd);
    static std::uint32_t OpenLineFlags(int fd);
    void SetLowLatencyLocked(bool on);
    void SetPortWait(bool armed);
    CommIoStatus ContinueReadStep(CommIo& io, int waitMs);
    struct Fill {
        std::uint32_t events = 0; // EV_RXCHAR for data bytes, EV_BREAK, EV_ERR
        bool failed = false;      // the device is gone or broken
    };

    bool IsGoneError(int error) const;
    void MarkGone();
    void Wake(int fd);
    void Publish(std::uint32_t events);
    std::uint32_t PollCountersLocked();
    bool WriteSome(CommIo& io);
    bool WriteStopped(const CommIo& io) const;
    Fill FillQueueLocked();
    std::size_t QueuedLocked() const { return m_rxQueue.size() - m_rxHead; }
    void TakeQueuedLocked(CommIo& io);
    bool ReadQueued(CommIo& io);
    bool ApplyLines(const DCB& dcb);
    bool ApplyTermios(int fd, const termios& t);
    // Keep the failure; false, for the caller to return.
    bool FailedLocked(TCommFailure failure);
    bool FailedLocked(const char* step, int error);
    bool Failed(const char* step, int error);
    void CloseDescriptors();

    const std::string m_portFolder;
    mutable std::mutex m_mutex; // settings, counters, error bits, decoder
    TPortRefusal m_refusal;
    TCommFailure m_failure;
    bool m_portWaitDisarmed = false; // GUI thread only: a read waits on the port itself
    int m_serialFlagsBefore = -1;    // the driver's flags before low latency; -1: untouched
    std::atomic<int> m_fd{-1};
    int m_epoll = -1;
    int m_wakeFd = -1;    // ends WaitCommEvent
    int m_txAbortFd = -1; // ends WaitWrite and WaitTransmitted
    int m_rxReadyFd = -1; // data bytes came into the queue: ends the wait of a read

    DCB m_lastState;
    COMMTIMEOUTS m_timeouts;
    std::int32_t m_inQueue = 0;
    std::int32_t m_outQueue = 0;
    TParmrkDecoder m_decoder;
    // Data bytes decoded from the driver's queue and not read yet, from m_rxHead on. The
    // driver's queue holds them with their line marks, so it cannot tell their number.
    std::vector<std::uint8_t> m_rxQueue;
    std::size_t m_rxHead = 0;
    bool m_parityOn = false;
    bool m_hasCounters = false;
    serial_icounter_struct m_counters{};
    std::uint32_t m_errors = 0;

    std::atomic<std::uint32_t> m_mask{0};
    std::atomic<std::uint64_t> m_maskChanges{0};
    std::atomic<std::uint32_t> m_pendingEvents{0};
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_gone{false};
    std::atomic<bool> m_goneReported{false};
    std::atomic<std::uint64_t> m_txAbortGeneration{0};
    std::atomic<std::uint64_t> m_rxAbortGeneration{0};
};
