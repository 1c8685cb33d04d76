#include "FakeCommDevice.h"

#include <algorithm>
#include <utility>

namespace {
std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}
} // namespace

std::int64_t TFakeCommDevice::NowNs() const {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

bool TFakeCommDevice::RecordLocked(const std::string& name, const std::string& args) {
    m_calls.push_back({args.empty() ? name : name + " " + args, Clock::now()});
    m_changed.notify_all(); // for WaitForCall
    const int number = ++m_callCounts[name];
    const auto it = m_refusals.find(name);
    if (it == m_refusals.end())
        return true;
    const auto& numbers = it->second;
    const bool refused = std::find(numbers.begin(), numbers.end(), 0) != numbers.end() ||
                         std::find(numbers.begin(), numbers.end(), number) != numbers.end();
    if (refused) {
        const auto error = m_failErrors.find(name);
        if (error != m_failErrors.end())
            m_lastFailure = SystemFailure(name, error->second);
    }
    return !refused;
}

std::vector<std::string> TFakeCommDevice::Calls(bool all) const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> result;
    for (const auto& call : m_calls) {
        if (!all && (call.text == "WaitCommEvent" || call.text == "ClearCommError"))
            continue;
        result.push_back(call.text);
    }
    return result;
}

std::vector<TFakeCommDevice::Call> TFakeCommDevice::TimedCalls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

void TFakeCommDevice::ClearCalls() {
    std::lock_guard lock(m_mutex);
    m_calls.clear();
    m_lineChanges.clear();
}

std::vector<DCB> TFakeCommDevice::StatesWritten() const {
    std::lock_guard lock(m_mutex);
    return m_statesWritten;
}

DCB TFakeCommDevice::State() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

COMMTIMEOUTS TFakeCommDevice::Timeouts() const {
    std::lock_guard lock(m_mutex);
    return m_timeouts;
}

std::int32_t TFakeCommDevice::InQueue() const {
    std::lock_guard lock(m_mutex);
    return m_inQueue;
}

std::int32_t TFakeCommDevice::OutQueue() const {
    std::lock_guard lock(m_mutex);
    return m_outQueue;
}

std::uint32_t TFakeCommDevice::Mask() const {
    std::lock_guard lock(m_mutex);
    return m_mask;
}

TFakeCommDevice::Bytes TFakeCommDevice::Written() const {
    std::lock_guard lock(m_mutex);
    return m_written;
}

void TFakeCommDevice::BeforeNextStartWrite(std::function<void()> hook) {
    std::lock_guard lock(m_mutex);
    m_beforeStartWrite = std::move(hook);
}

void TFakeCommDevice::WaitForCall(const std::string& text) const {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] {
        return std::any_of(m_calls.begin(), m_calls.end(),
                           [&](const Call& call) { return call.text == text; });
    });
}

bool TFakeCommDevice::Gone() const {
    std::lock_guard lock(m_mutex);
    return m_gone;
}

std::vector<int> TFakeCommDevice::WriteSizes() const {
    std::lock_guard lock(m_mutex);
    return m_writeSizes;
}

bool TFakeCommDevice::Rts() const {
    std::lock_guard lock(m_mutex);
    return m_rts;
}

bool TFakeCommDevice::Dtr() const {
    std::lock_guard lock(m_mutex);
    return m_dtr;
}

int TFakeCommDevice::WritesWaiting() const {
    std::lock_guard lock(m_mutex);
    return m_writesWaiting;
}

int TFakeCommDevice::InputWaiting() const {
    std::lock_guard lock(m_mutex);
    return int(m_input.size());
}

void TFakeCommDevice::Refuse(const std::string& call, int nth) {
    std::lock_guard lock(m_mutex);
    m_refusals[call].push_back(nth == 0 ? 0 : m_callCounts[call] + nth);
}

void TFakeCommDevice::Fail(const std::string& call, int error, int nth) {
    Refuse(call, nth);
    std::lock_guard lock(m_mutex);
    m_failErrors[call] = error;
}

void TFakeCommDevice::ClearRefusals() {
    std::lock_guard lock(m_mutex);
    m_refusals.clear();
    m_failErrors.clear();
}

void TFakeCommDevice::PushInput(const Bytes& bytes) {
    std::lock_guard lock(m_mutex);
    m_input.insert(m_input.end(), bytes.begin(), bytes.end());
    m_pendingEvents |= EV_RXCHAR;
    m_changed.notify_all();
}

void TFakeCommDevice::SetReply(std::function<Bytes(const Bytes&)> reply) {
    std::lock_guard lock(m_mutex);
    m_reply = std::move(reply);
}

void TFakeCommDevice::InjectLineEvent(std::uint32_t events, std::uint32_t errors,
                                      const Bytes& input) {
    std::lock_guard lock(m_mutex);
    m_input.insert(m_input.end(), input.begin(), input.end());
    m_pendingEvents |= events;
    m_errors |= errors;
    m_changed.notify_all();
}

void TFakeCommDevice::Vanish() {
    std::lock_guard lock(m_mutex);
    m_gone = true;
    m_changed.notify_all();
}

void TFakeCommDevice::HoldWrites(bool hold) {
    std::lock_guard lock(m_mutex);
    m_hold = hold;
    m_changed.notify_all();
}

void TFakeCommDevice::LimitWriteNow(int bytes) {
    std::lock_guard lock(m_mutex);
    m_writeNowRoom = bytes < 0 ? -1 : bytes;
}

void TFakeCommDevice::RefuseOpenWith(const TPortRefusal& refusal) {
    std::lock_guard lock(m_mutex);
    m_openRefusal = refusal;
}

void TFakeCommDevice::SetLowLatency(bool on) {
    std::lock_guard lock(m_mutex);
    RecordLocked("SetLowLatency", on ? "1" : "0");
}

TPortRefusal TFakeCommDevice::LastRefusal() const {
    std::lock_guard lock(m_mutex);
    return m_lastRefusal;
}

TCommFailure TFakeCommDevice::LastFailure() const {
    std::lock_guard lock(m_mutex);
    return m_lastFailure;
}

bool TFakeCommDevice::Open(int portNo) {
    std::lock_guard lock(m_mutex);
    m_lastRefusal = m_openRefusal;
    m_lastFailure = {};
    if (!RecordLocked("Open", std::to_string(portNo)) || m_open || m_openRefusal.error != 0)
        return false;
    m_open = true;
    m_portNo = portNo;
    m_cancelled = m_gone = m_goneReported = false;
    m_pendingEvents = m_errors = m_mask = 0;
    m_input.clear();
    m_state = DCB{};
    m_state.BaudRate = 1200; // whatever the port had before
    m_state.ByteSize = 7;
    // Every flag set, except that DTR and RTS control say what the lines are: the open
    // raised both, as the kernel does.
    m_state.Flags = (0xFFFFFFFFu & ~(3u << DcbDtrControlShift) & ~(3u << DcbRtsControlShift)) |
                    (DTR_CONTROL_ENABLE << DcbDtrControlShift) |
                    (RTS_CONTROL_ENABLE << DcbRtsControlShift);
    m_dtr = m_rts = true;
    m_state.XonLim = 1;
    m_state.XoffLim = 2;
    return true;
}

void TFakeCommDevice::Close() {
    std::lock_guard lock(m_mutex);
    RecordLocked("Close");
    m_open = false;
    m_changed.notify_all();
}

bool TFakeCommDevice::IsOpen() const {
    std::lock_guard lock(m_mutex);
    return m_open;
}

int TFakeCommDevice::Handle() const {
    std::lock_guard lock(m_mutex);
    return m_open ? 1000 + m_portNo : -1;
}

bool TFakeCommDevice::SetupComm(std::int32_t inQueue, std::int32_t outQueue) {
    std::lock_guard lock(m_mutex);
    if (!RecordLocked("SetupComm", std::to_string(inQueue) + " " + std::to_string(outQueue)))
        return false;
    m_inQueue = inQueue;
    m_outQueue = outQueue;
    return true;
}

bool TFakeCommDevice::PurgeComm(std::uint32_t flags) {
    std::lock_guard lock(m_mutex);
    if (!RecordLocked("PurgeComm", std::to_string(flags)))
        return false;
    if (flags & PURGE_TXABORT)
        ++m_txAbort;
    if (flags & PURGE_RXABORT)
        ++m_rxAbort;
    if (flags & PURGE_RXCLEAR)
        m_input.clear();
    m_changed.notify_all();
    return true;
}

bool TFakeCommDevice::GetCommState(DCB& dcb) {
    std::lock_guard lock(m_mutex);
    if (!RecordLocked("GetCommState"))
        return false;
    const auto length = dcb.DCBlength;
    dcb = m_state;
    dcb.DCBlength = length;
    return true;
}

bool TFakeCommDevice::SetCommState(const DCB& dcb) {
    std::lock_guard lock(m_mutex);
    m_statesWritten.push_back(dcb);
    if (!RecordLocked("SetCommState", std::to_string(dcb.BaudRate) + " " + Hex(dcb.Flags)))
        return false;
    m_state = dcb;
    if (DcbDtrControl(dcb) != DTR_CONTROL_HANDSHAKE)
        SetLineLocked("DTR", m_dtr, DcbDtrControl(dcb) == DTR_CONTROL_ENABLE, "SetCommState");
    if (DcbRtsControl(dcb) != RTS_CONTROL_HANDSHAKE)
        SetLineLocked("RTS", m_rts, DcbRtsControl(dcb) == RTS_CONTROL_ENABLE, "SetCommState");
    return true;
}

bool TFakeCommDevice::GetCommTimeouts(COMMTIMEOUTS& timeouts) {
    std::lock_guard lock(m_mutex);
    if (!RecordLocked("GetCommTimeouts"))
        return false;
    timeouts = m_timeouts;
    return true;
}

bool TFakeCommDevice::SetCommTimeouts(const COMMTIMEOUTS& t) {
    std::lock_guard lock(m_mutex);
    const std::string args = Hex(t.ReadIntervalTimeout) + " " +
                             std::to_string(t.ReadTotalTimeoutMultiplier) + " " +
                             std::to_string(t.ReadTotalTimeoutConstant) + " " +
                             std::to_string(t.WriteTotalTimeoutMultiplier) + " " +
                             std::to_string(t.WriteTotalTimeoutConstant);
    if (!RecordLocked("SetCommTimeouts", args))
        return false;
    m_timeouts = t;
    return true;
}

bool TFakeCommDevice::SetCommMask(std::uint32_t mask) {
    std::lock_guard lock(m_mutex);
    if (!RecordLocked("SetCommMask", Hex(mask)))
        return false;
    m_mask = mask;
    ++m_maskChanges;
    m_changed.notify_all();
    return true;
}

std::uint32_t TFakeCommDevice::WaitCommEvent() {
    std::unique_lock lock(m_mutex);
    RecordLocked("WaitCommEvent");
    const std::uint64_t maskChanges = m_maskChanges;
    for (;;) {
        if (m_cancelled || !m_open || m_maskChanges != maskChanges)
            return 0;
        if (m_gone && !m_goneReported) {
            m_goneReported = true;
            return EV_GONE;
        }
        if (const std::uint32_t events = m_pendingEvents & m_mask) {
            m_pendingEvents = 0;
            return events;
        }
        m_changed.wait(lock);
    }
}

void TFakeCommDevice::CancelWait() {
    std::lock_guard lock(m_mutex);
    RecordLocked("CancelWait");
    m_cancelled = true;
    m_changed.notify_all();
}

void TFakeCommDevice::ResumeWait() {
    std::lock_guard lock(m_mutex);
    RecordLocked("ResumeWait");
    m_cancelled = false;
}

bool TFakeCommDevice::ClearCommError(std::uint32_t* errors, COMSTAT* stat) {
    std::lock_guard lock(m_mutex);
    if (!RecordLocked("ClearCommError") || m_gone)
        return false;
    if (errors)
        *errors = m_errors;
    m_errors = 0;
    if (stat) {
        stat->cbInQue = std::uint32_t(m_input.size());
        stat->cbOutQue = 0;
    }
    return true;
}

bool TFakeCommDevice::EscapeCommFunction(std::uint32_t function) {
    std::lock_guard lock(m_mutex);
    if (!RecordLocked("EscapeCommFunction", std::to_string(function)))
        return false;
    if (function == SETRTS || function == CLRRTS)
        SetLineLocked("RTS", m_rts, function == SETRTS, "EscapeCommFunction");
    if (function == SETDTR || function == CLRDTR)
        SetLineLocked("DTR", m_dtr, function == SETDTR, "EscapeCommFunction");
    return true;
}

void TFakeCommDevice::SetLineLocked(const char* name, bool& line, bool on, const char* by) {
    if (line != on)
        m_lineChanges.push_back(std::string(name) + (on ? " up by " : " down by ") + by);
    line = on;
}

std::vector<std::string> TFakeCommDevice::LineChanges() const {
    std::lock_guard lock(m_mutex);
    return m_lineChanges;
}

void TFakeCommDevice::CompleteWriteLocked(const void* data, int count) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    const Bytes chunk(bytes, bytes + count);
    m_written.insert(m_written.end(), chunk.begin(), chunk.end());
    if (m_reply) {
        const Bytes reply = m_reply(chunk);
        if (!reply.empty()) {
            m_input.insert(m_input.end(), reply.begin(), reply.end());
            m_pendingEvents |= EV_RXCHAR;
        }
    }
    m_changed.notify_all();
}

bool TFakeCommDevice::WriteStoppedLocked(const CommIo& io) const {
    return io.abortGeneration != m_txAbort || (io.cancel && *io.cancel) || m_gone || !m_open;
}

CommIoStatus TFakeCommDevice::StartWrite(CommIo& io) {
    std::function<void()> hook;
    {
        std::lock_guard lock(m_mutex);
        hook = std::exchange(m_beforeStartWrite, nullptr);
    }
    if (hook)
        hook();
    std::lock_guard lock(m_mutex);
    io.transferred = 0;
    io.abortGeneration = m_txAbort;
    m_writeSizes.push_back(io.count);
    if (!RecordLocked("StartWrite", std::to_string(io.count)) || WriteStoppedLocked(io))
        return CommIoStatus::Failed;
    const std::uint64_t total =
        std::uint64_t(m_timeouts.WriteTotalTimeoutMultiplier) * std::uint64_t(io.count) +
        m_timeouts.WriteTotalTimeoutConstant;
    io.deadlineNs = total == 0 ? 0 : NowNs() + std::int64_t(total) * 1000000;
    if (m_hold)
        return CommIoStatus::Pending;
    CompleteWriteLocked(io.buffer, io.count);
    io.transferred = io.count;
    return CommIoStatus::Done;
}

CommIoStatus TFakeCommDevice::WaitWrite(CommIo& io) {
    std::unique_lock lock(m_mutex);
    ++m_writesWaiting;
    m_changed.notify_all();
    const auto released = [&] { return !m_hold || WriteStoppedLocked(io); };
    bool timedOut = false;
    if (io.deadlineNs == 0)
        m_changed.wait(lock, released);
    else
        timedOut = !m_changed.wait_until(
            lock, Clock::time_point(std::chrono::nanoseconds(io.deadlineNs)), released);
    --m_writesWaiting;
    if (WriteStoppedLocked(io)) {
        RecordLocked("WaitWrite", "failed");
        return CommIoStatus::Failed;
    }
    RecordLocked("WaitWrite", timedOut ? "timed out" : "ready");
    return timedOut ? CommIoStatus::Done : CommIoStatus::Pending;
}

CommIoStatus TFakeCommDevice::ContinueWrite(CommIo& io) {
    std::lock_guard lock(m_mutex);
    if (!RecordLocked("ContinueWrite", std::to_string(io.count - io.transferred)) ||
        WriteStoppedLocked(io))
        return CommIoStatus::Failed;
    if (m_hold)
        return CommIoStatus::Pending;
    CompleteWriteLocked(static_cast<const std::uint8_t*>(io.buffer) + io.transferred,
                        io.count - io.transferred);
    io.transferred = io.count;
    return CommIoStatus::Done;
}

int TFakeCommDevice::WriteNow(const void* data, int count) {
    std::lock_guard lock(m_mutex);
    if (!RecordLocked("WriteNow", std::to_string(count)) || !m_open || m_gone || !data || count < 0)
        return -1;
    int taken = m_hold ? 0 : count;
    if (m_writeNowRoom >= 0) {
        taken = std::min(taken, m_writeNowRoom);
        m_writeNowRoom -= taken;
    }
    if (taken > 0)
        CompleteWriteLocked(data, taken);
    return taken;
}

void TFakeCommDevice::WaitTransmitted(int timeoutMs) {
    std::lock_guard lock(m_mutex);
    RecordLocked("WaitTransmitted", std::to_string(timeoutMs));
}

void TFakeCommDevice::TakeInputLocked(CommIo& io) {
    const int n = std::min<int>(io.count - io.transferred, int(m_input.size()));
    std::copy_n(m_input.begin(), n, static_cast<std::uint8_t*>(io.buffer) + io.transferred);
    m_input.erase(m_input.begin(), m_input.begin() + n);
    io.transferred += n;
}

CommIoStatus TFakeCommDevice::StartRead(CommIo& io) {
    std::lock_guard lock(m_mutex);
    io.transferred = 0;
    io.abortGeneration = m_rxAbort;
    if (!RecordLocked("StartRead", std::to_string(io.count)) || !m_open || m_gone || !io.buffer)
        return CommIoStatus::Failed;
    TakeInputLocked(io);
    const std::uint64_t total =
        std::uint64_t(m_timeouts.ReadTotalTimeoutMultiplier) * std::uint64_t(io.count) +
        m_timeouts.ReadTotalTimeoutConstant;
    if (io.transferred == io.count ||
        (m_timeouts.ReadIntervalTimeout == MAXDWORD && (io.transferred > 0 || total == 0)))
        return CommIoStatus::Done;
    io.deadlineNs = total == 0 ? 0 : NowNs() + std::int64_t(total) * 1000000;
    io.waitForAll = true;
    return CommIoStatus::Pending;
}

CommIoStatus TFakeCommDevice::ContinueRead(CommIo& io, int waitMs) {
    std::unique_lock lock(m_mutex);
    auto until = Clock::now() + std::chrono::milliseconds(std::max(waitMs, 0));
    if (io.deadlineNs != 0)
        until = std::min(until, Clock::time_point(std::chrono::nanoseconds(io.deadlineNs)));
    m_changed.wait_until(lock, until, [&] {
        return !m_input.empty() || io.abortGeneration != m_rxAbort || m_gone || !m_open;
    });
    if (io.abortGeneration != m_rxAbort || m_gone || !m_open)
        return CommIoStatus::Failed;
    TakeInputLocked(io);
    if (io.transferred == io.count || (io.deadlineNs != 0 && NowNs() >= io.deadlineNs))
        return CommIoStatus::Done;
    return CommIoStatus::Pending;
}
