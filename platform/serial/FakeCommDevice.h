#pragma once

#include "CommDevice.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// A serial device for tests: records every call and plays what the test scripts
// (input bytes, replies to writes, refused calls, line errors, breaks, unplugging,
// writes that hang until released). Thread-safe like the real one.
class TFakeCommDevice : public ICommDevice {
public:
    using Clock = std::chrono::steady_clock;
    struct Call {
        std::string text; // "Open 3", "SetupComm 2048 2048", "PurgeComm 5", ...
        Clock::time_point at;
    };
    using Bytes = std::vector<std::uint8_t>;

    // What was asked, in order. Calls() leaves out the receive worker's wait and the
    // status polls (WaitCommEvent, ClearCommError) unless all is true.
    std::vector<std::string> Calls(bool all = false) const;
    std::vector<Call> TimedCalls() const;
    void ClearCalls();
    std::vector<DCB> StatesWritten() const; // every record passed to SetCommState
    DCB State() const;                      // the record the port holds
    COMMTIMEOUTS Timeouts() const;
    std::int32_t InQueue() const;
    std::int32_t OutQueue() const;
    std::uint32_t Mask() const;
    Bytes Written() const;               // bytes of completed writes, in order
    std::vector<int> WriteSizes() const; // count of every StartWrite (not WriteNow)
    bool Rts() const;
    // Every change of DTR or RTS, as "DTR down by SetCommState"; cleared by ClearCalls.
    std::vector<std::string> LineChanges() const;
    bool Dtr() const;
    int WritesWaiting() const; // writes held in WaitWrite

    // The nth call of that name (1 = first from now on) fails; 0: every one from now on.
    void Refuse(const std::string& call, int nth = 0);
    // The same, and LastFailure then names the call with this error number and its text.
    void Fail(const std::string& call, int error, int nth = 0);
    void ClearRefusals();
    // Every Open from now on fails as the system would refuse it; error 0: Opens succeed.
    void RefuseOpenWith(const TPortRefusal& refusal);
    void PushInput(const Bytes& bytes);
    // Called with the bytes of each completed write; what it returns arrives as input.
    void SetReply(std::function<Bytes(const Bytes& written)> reply);
    // Line events with their error bits (CE_*) and input bytes, as one wake-up of the
    // event wait.
    void InjectLineEvent(std::uint32_t events, std::uint32_t errors, const Bytes& input = {});
    // Unplugged: every transfer fails from now on, the event wait reports EV_GONE once.
    void Vanish();
    // Held writes stay Pending, taking nothing, until released (the wait says Pending and
    // ContinueWrite completes them), purged or cancelled (Failed), or their write
    // time-out has passed (Done, nothing written); WriteNow takes nothing while writes
    // are held.
    void HoldWrites(bool hold);
    // Runs once, at the start of the next StartWrite, before it does anything, outside
    // the device's lock: lets a test stop the writer there.
    void BeforeNextStartWrite(std::function<void()> hook);
    // Blocks until a call with exactly this text has been recorded.
    void WaitForCall(const std::string& text) const;
    // WriteNow takes at most this many more bytes in all, then nothing, as a driver
    // queue that fills up; -1: no limit.
    void LimitWriteNow(int bytes);
    // Bytes that arrive with nothing waiting are kept here (queue status cbInQue).
    int InputWaiting() const;

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

private:
    bool RecordLocked(const std::string& name, const std::string& args = {});
    void SetLineLocked(const char* name, bool& line, bool on, const char* by);
    void CompleteWriteLocked(const void* data, int count);
    bool WriteStoppedLocked(const CommIo& io) const;
    void TakeInputLocked(CommIo& io);
    std::int64_t NowNs() const;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<Call> m_calls;
    std::map<std::string, int> m_callCounts;
    std::map<std::string, std::vector<int>> m_refusals; // name -> call numbers (0: all)
    std::map<std::string, int> m_failErrors;            // name -> error number of Fail
    TCommFailure m_lastFailure;
    std::vector<DCB> m_statesWritten;
    std::vector<std::string> m_lineChanges;
    DCB m_state;
    COMMTIMEOUTS m_timeouts;
    std::int32_t m_inQueue = 0;
    std::int32_t m_outQueue = 0;
    std::uint32_t m_mask = 0;
    std::uint32_t m_pendingEvents = 0;
    std::uint32_t m_errors = 0;
    std::uint64_t m_maskChanges = 0;
    Bytes m_input;
    Bytes m_written;
    std::function<void()> m_beforeStartWrite;
    std::vector<int> m_writeSizes;
    std::function<Bytes(const Bytes&)> m_reply;
    TPortRefusal m_openRefusal;
    TPortRefusal m_lastRefusal;
    int m_portNo = 0;
    bool m_open = false;
    bool m_cancelled = false;
    bool m_gone = false;
    bool m_goneReported = false;
    bool m_hold = false;
    int m_writeNowRoom = -1;
    int m_writesWaiting = 0;
    bool m_rts = false;
    bool m_dtr = false;
    std::uint64_t m_txAbort = 0;
    std::uint64_t m_rxAbort = 0;
};
