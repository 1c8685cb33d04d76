#include "TermiosCommDevice.h"

#include "CommPortPath.h"
#include "TermiosLine.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

std::unique_ptr<ICommDevice> CreateDefaultCommDevice() {
    return std::make_unique<TTermiosCommDevice>();
}

// One read takes an event counter's whole count.
void TTermiosCommDevice::Drain(int fd) {
    std::uint64_t value;
    while (::read(fd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

TTermiosCommDevice::TTermiosCommDevice(std::string portFolder)
    : m_portFolder(std::move(portFolder)) {}

TTermiosCommDevice::~TTermiosCommDevice() {
    Close();
}

bool TTermiosCommDevice::Open(int portNo) {
    std::lock_guard lock(m_mutex);
    m_refusal = {};
    m_failure = {};
    if (m_fd >= 0)
        return FailedLocked("Open", EBUSY);
    const std::string folder = m_portFolder.empty() ? CommPortFolder() : m_portFolder;
    // A port number without a device: the system was never asked, so it said nothing.
    const std::string path = ResolveCommPortPath(portNo, folder);
    if (path.empty())
        return false;
    const int fd = OpenExclusive(path);
    if (fd < 0)
        return false;
    // Not a refusal of the port: the program's own descriptors ran out or were refused.
    if (!CreateWaitDescriptors(fd)) {
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        CloseDescriptors();
        return false;
    }
    m_hasCounters = ::ioctl(fd, TIOCGICOUNT, &m_counters) == 0;
    m_portWaitDisarmed = false;
    m_decoder.Reset();
    m_rxQueue.clear();
    m_rxHead = 0;
    m_parityOn = false;
    m_errors = 0;
    m_lastState = DCB{};
    m_lastState.Flags = DcbBinary | OpenLineFlags(fd);
    m_mask = 0;
    m_pendingEvents = 0;
    m_cancelled = false;
    m_gone = false;
    m_goneReported = false;
    m_fd = fd;
    return true;
}

// DTR and RTS control as the lines stand after the open (the kernel raises both), so that a
// state written back unchanged changes no line. Without modem lines (pseudo-terminals)
// nothing is raised.
std::uint32_t TTermiosCommDevice::OpenLineFlags(int fd) {
    int lines = 0;
    if (::ioctl(fd, TIOCMGET, &lines) != 0)
        return 0;
    std::uint32_t flags = 0;
    if (lines & TIOCM_DTR)
        flags |= DTR_CONTROL_ENABLE << DcbDtrControlShift;
    if (lines & TIOCM_RTS)
        flags |= RTS_CONTROL_ENABLE << DcbRtsControlShift;
    return flags;
}

void TTermiosCommDevice::SetLowLatency(bool on) {
    std::lock_guard lock(m_mutex);
    if (m_fd < 0)
        return;
    SetLowLatencyLocked(on);
}

void TTermiosCommDevice::SetLowLatencyLocked(bool on) {
    serial_struct serial{};
    if (!on) {
        if (m_serialFlagsBefore >= 0 && ::ioctl(m_fd, TIOCGSERIAL, &serial) == 0) {
            serial.flags = m_serialFlagsBefore;
            ::ioctl(m_fd, TIOCSSERIAL, &serial);
        }
        m_serialFlagsBefore = -1;
        return;
    }
    if (m_serialFlagsBefore >= 0 || ::ioctl(m_fd, TIOCGSERIAL, &serial) != 0)
        return;
    if (serial.flags & ASYNC_LOW_LATENCY)
        return;
    const int before = serial.flags;
    serial.flags |= ASYNC_LOW_LATENCY;
    if (::ioctl(m_fd, TIOCSSERIAL, &serial) == 0)
        m_serialFlagsBefore = before;
}

TPortRefusal TTermiosCommDevice::LastRefusal() const {
    std::lock_guard lock(m_mutex);
    return m_refusal;
}

TCommFailure TTermiosCommDevice::LastFailure() const {
    std::lock_guard lock(m_mutex);
    return m_failure;
}

bool TTermiosCommDevice::FailedLocked(TCommFailure failure) {
    m_failure = std::move(failure);
    return false;
}

bool TTermiosCommDevice::FailedLocked(const char* step, int error) {
    return FailedLocked(SystemFailure(step, error));
}

bool TTermiosCommDevice::Failed(const char* step, int error) {
    std::lock_guard lock(m_mutex);
    return FailedLocked(step, error);
}

// Opened, locked against every other opener and raw; -1 with the refusal recorded.
int TTermiosCommDevice::OpenExclusive(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_refusal = {errno, path};
        FailedLocked("open", m_refusal.error);
        return -1;
    }
    // The lock before any change of settings: TIOCEXCL alone does not keep root out.
    termios t;
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (!locked || ::tcgetattr(fd, &t) != 0) {
        m_refusal = {errno, path};
        FailedLocked(locked ? "tcgetattr" : "flock", m_refusal.error);
        ::close(fd);
        return -1;
    }
    ::ioctl(fd, TIOCEXCL);
    MakeRaw(t);
    ::tcsetattr(fd, TCSANOW, &t);
    return fd;
}

bool TTermiosCommDevice::CreateWaitDescriptors(int fd) {
    m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
    if (m_epoll < 0)
        return FailedLocked("epoll_create1", errno);
    for (int* event : {&m_wakeFd, &m_txAbortFd, &m_rxReadyFd}) {
        *event = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (*event < 0)
            return FailedLocked("eventfd", errno);
    }
    epoll_event portEvent{};
    portEvent.events = EPOLLIN | EPOLLET | EPOLLERR | EPOLLHUP;
    portEvent.data.fd = fd;
    epoll_event wakeEvent{};
    wakeEvent.events = EPOLLIN;
    wakeEvent.data.fd = m_wakeFd;
    if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &portEvent) != 0 ||
        ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wakeFd, &wakeEvent) != 0)
        return FailedLocked("epoll_ctl", errno);
    return true;
}

void TTermiosCommDevice::CloseDescriptors() {
    for (int* fd : {&m_epoll, &m_wakeFd, &m_txAbortFd, &m_rxReadyFd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void TTermiosCommDevice::Close() {
    std::lock_guard lock(m_mutex);
    // The driver's latency is the system's, not the port's: it outlives this program.
    if (m_fd >= 0)
        SetLowLatencyLocked(false);
    const int fd = m_fd.exchange(-1);
    if (fd < 0)
        return;
    // Without the flush, close can wait a long time for pending output.
    ::tcflush(fd, TCIOFLUSH);
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    CloseDescriptors();
}

bool TTermiosCommDevice::IsOpen() const {
    return m_fd >= 0;
}

int TTermiosCommDevice::Handle() const {
    return m_fd;
}

bool TTermiosCommDevice::HasCounters() const {
    std::lock_guard lock(m_mutex);
    return m_hasCounters;
}

bool TTermiosCommDevice::IsGoneError(int error) const {
    return error == EIO || error == ENXIO || error == ENODEV;
}

void TTermiosCommDevice::MarkGone() {
    if (m_gone.exchange(true))
        return;
    const int fd = m_fd;
    if (fd >= 0)
        ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
    Wake(m_wakeFd);
}

void TTermiosCommDevice::Wake(int fd) {
    if (fd < 0)
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(fd, &one, sizeof one);
}

// Events found outside the event wait are handed to it.
void TTermiosCommDevice::Publish(std::uint32_t events) {
    if (events == 0)
        return;
    m_pendingEvents |= events;
    Wake(m_wakeFd);
}

bool TTermiosCommDevice::Gone() const {
    return m_gone;
}

bool TTermiosCommDevice::SetupComm(std::int32_t inQueue, std::int32_t outQueue) {
    std::lock_guard lock(m_mutex);
    if (m_fd < 0)
        return FailedLocked("SetupComm", EBADF);
    // The kernel's queues have fixed sizes; the sizes only have to make sense.
    if (inQueue <= 0 || outQueue <= 0)
        return FailedLocked("SetupComm", EINVAL);
    m_inQueue = inQueue;
    m_outQueue = outQueue;
    return true;
}

bool TTermiosCommDevice::PurgeComm(std::uint32_t flags) {
    const int fd = m_fd;
    if (fd < 0)
        return Failed("PurgeComm", EBADF);
    if (flags & PURGE_TXABORT) {
        ++m_txAbortGeneration;
        Wake(m_txAbortFd);
    }
    if (flags & PURGE_RXABORT)
        ++m_rxAbortGeneration;
    bool flushed = true;
    if ((flags & PURGE_TXCLEAR) && ::tcflush(fd, TCOFLUSH) != 0)
        flushed = Failed("tcflush", errno);
    if (flags & PURGE_RXCLEAR) {
        // Under the lock, so that no queue fill mixes old bytes into the empty queue.
        std::lock_guard lock(m_mutex);
        if (::tcflush(fd, TCIFLUSH) != 0)
            flushed = FailedLocked("tcflush", errno);
        m_decoder.Reset();
        m_rxQueue.clear();
        m_rxHead = 0;
    }
    return flushed;
}

bool TTermiosCommDevice::GetCommState(DCB& dcb) {
    std::lock_guard lock(m_mutex);
    if (m_fd < 0)
        return FailedLocked("GetCommState", EBADF);
    termios t;
    if (::tcgetattr(m_fd, &t) != 0)
        return FailedLocked("tcgetattr", errno);
    DCB result = m_lastState;
    result.DCBlength = dcb.DCBlength;
    ReadLine(t, result);
    dcb = result;
    return true;
}

bool TTermiosCommDevice::SetCommState(const DCB& dcb) {
    std::lock_guard lock(m_mutex);
    const int fd = m_fd;
    if (fd < 0)
        return FailedLocked("SetCommState", EBADF);
    speed_t speed;
    if (!BaudToSpeed(dcb.BaudRate, speed))
        return FailedLocked({"SetCommState", EINVAL,
                             std::to_string(dcb.BaudRate) + " bps は termios で設定できません"});
    const TLineFlags line = LineFlags(dcb);
    if (!line.refusal.empty())
        return FailedLocked({"SetCommState", EINVAL, line.refusal});

    termios before;
    if (::tcgetattr(fd, &before) != 0)
        return FailedLocked("tcgetattr", errno);
    termios t = before;
    MakeRaw(t);
    if (dcb.Flags & DcbOutX)
        t.c_iflag |= IXON;
    if (dcb.Flags & DcbInX)
        t.c_iflag |= IXOFF;
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    t.c_cflag |= line.cflag;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    if (!ApplyTermios(fd, t)) {
        ::tcsetattr(fd, TCSANOW, &before);
        return false;
    }
    m_lastState = dcb;
    m_parityOn = (line.cflag & PARENB) != 0;
    ApplyLines(dcb);
    return true;
}

// tcsetattr succeeds when any one change applied: read back and compare.
bool TTermiosCommDevice::ApplyTermios(int fd, const termios& t) {
    termios after;
    if (::tcsetattr(fd, TCSANOW, &t) != 0)
        return FailedLocked("tcsetattr", errno);
    if (::tcgetattr(fd, &after) != 0)
        return FailedLocked("tcgetattr", errno);
    const std::string differs = LineDifference(t, after);
    if (!differs.empty())
        return FailedLocked({"tcsetattr", 0, "読み戻すと " + differs + " が設定と違います"});
    return true;
}

bool TTermiosCommDevice::ApplyLines(const DCB& dcb) {
    // Modem lines are missing on pseudo-terminals and some adapters; that is no failure.
    int set = 0;
    int clear = 0;
    (DcbDtrControl(dcb) == DTR_CONTROL_ENABLE ? set : clear) |= TIOCM_DTR;
    if (DcbRtsControl(dcb) == RTS_CONTROL_ENABLE)
        set |= TIOCM_RTS;
    else if (DcbRtsControl(dcb) == RTS_CONTROL_DISABLE)
        clear |= TIOCM_RTS;
    bool ok = true;
    if (set && ::ioctl(m_fd, TIOCMBIS, &set) != 0)
        ok = false;
    if (clear && ::ioctl(m_fd, TIOCMBIC, &clear) != 0)
        ok = false;
    return ok;
}

bool TTermiosCommDevice::GetCommTimeouts(COMMTIMEOUTS& timeouts) {
    std::lock_guard lock(m_mutex);
    if (m_fd < 0)
        return FailedLocked("GetCommTimeouts", EBADF);
    timeouts = m_timeouts;
    return true;
}

bool TTermiosCommDevice::SetCommTimeouts(const COMMTIMEOUTS& timeouts) {
    std::lock_guard lock(m_mutex);
    if (m_fd < 0)
        return FailedLocked("SetCommTimeouts", EBADF);
    m_timeouts = timeouts;
    return true;
}

bool TTermiosCommDevice::SetCommMask(std::uint32_t mask) {
    if (m_fd < 0)
        return Failed("SetCommMask", EBADF);
    m_mask = mask;
    // As on Windows, a new mask ends a wait in progress.
    ++m_maskChanges;
    Wake(m_wakeFd);
    return true;
}

std::uint32_t TTermiosCommDevice::PollCountersLocked() {
    serial_icounter_struct now{};
    if (!m_hasCounters || m_fd < 0 || ::ioctl(m_fd, TIOCGICOUNT, &now) != 0)
        return 0;
    std::uint32_t events = 0;
    if (now.brk != m_counters.brk) {
        m_errors |= CE_BREAK;
        events |= EV_BREAK;
    }
    if (now.frame != m_counters.frame)
        m_errors |= CE_FRAME;
    if (now.parity != m_counters.parity)
        m_errors |= CE_RXPARITY;
    if (now.overrun != m_counters.overrun)
        m_errors |= CE_OVERRUN;
    if (now.buf_overrun != m_counters.buf_overrun)
        m_errors |= CE_RXOVER;
    if (now.frame != m_counters.frame || now.parity != m_counters.parity ||
        now.overrun != m_counters.overrun || now.buf_overrun != m_counters.buf_overrun)
        events |= EV_ERR;
    m_counters = now;
    return events;
}

std::uint32_t TTermiosCommDevice::WaitCommEvent() {
    const std::uint64_t maskChanges = m_maskChanges;
    for (;;) {
        if (m_cancelled || m_fd < 0 || maskChanges != m_maskChanges)
            return 0;
        if (m_gone && !m_goneReported.exchange(true))
            return EV_GONE;
        if (const std::uint32_t pending = m_pendingEvents.exchange(0) & m_mask)
            return pending;

        epoll_event events[4];
        const int n = ::epoll_wait(m_epoll, events, 4, -1);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Failed("epoll_wait", errno);
            // Not expected while open; never turn it into a busy loop.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            return 0;
        }
        std::uint32_t result = 0;
        bool woken = false;
        bool input = false;
        bool hungUp = false;
        for (int i = 0; i < n; ++i) {
            if (events[i].data.fd == m_wakeFd) {
                Drain(m_wakeFd);
                woken = true;
                continue;
            }
            hungUp = hungUp || (events[i].events & (EPOLLHUP | EPOLLERR));
            input = input || (events[i].events & EPOLLIN);
        }
        {
            // Decoded at once: only data bytes are received characters, a mark is a break
            // or a line error. What came before a hang-up is kept.
            std::lock_guard lock(m_mutex);
            if (input || hungUp)
                result |= FillQueueLocked().events;
            // A read waiting meanwhile takes the bytes from the queue.
            if (result & EV_RXCHAR)
                Wake(m_rxReadyFd);
            result |= PollCountersLocked();
        }
        if (hungUp)
            MarkGone();
        result |= m_pendingEvents.exchange(0);
        if (m_gone && !m_goneReported.exchange(true))
            result |= EV_GONE;
        result &= m_mask | EV_GONE;
        if (result != 0 || m_cancelled)
            return m_cancelled ? 0 : result;
        if (woken && maskChanges != m_maskChanges)
            return 0;
    }
}

void TTermiosCommDevice::CancelWait() {
    m_cancelled = true;
    Wake(m_wakeFd);
}

void TTermiosCommDevice::ResumeWait() {
    m_cancelled = false;
}

bool TTermiosCommDevice::ClearCommError(std::uint32_t* errors, COMSTAT* stat) {
    std::lock_guard lock(m_mutex);
    const int fd = m_fd;
    if (fd < 0)
        return FailedLocked("ClearCommError", EBADF);
    // Let the event wait report what is found here too.
    std::uint32_t events = PollCountersLocked();
    if (stat)
        events |= FillQueueLocked().events;
    if (events & EV_RXCHAR)
        Wake(m_rxReadyFd);
    Publish(events);
    if (errors)
        *errors = m_errors;
    m_errors = 0;
    if (stat) {
        int in = 0;
        int out = 0;
        if (::ioctl(fd, FIONREAD, &in) != 0) {
            if (IsGoneError(errno))
                MarkGone();
            return FailedLocked("FIONREAD", errno);
        }
        if (::ioctl(fd, TIOCOUTQ, &out) != 0)
            out = 0;
        // The driver holds bytes only once the queue is full; they are counted with their
        // marks then.
        const std::size_t queued =
            QueuedLocked() + (QueuedLocked() >= MaxQueued ? std::size_t(std::max(in, 0)) : 0);
        stat->cbInQue = static_cast<std::uint32_t>(queued);
        stat->cbOutQue = static_cast<std::uint32_t>(std::max(out, 0));
    }
    return true;
}

bool TTermiosCommDevice::EscapeCommFunction(std::uint32_t function) {
    const int fd = m_fd;
    if (fd < 0)
        return Failed("EscapeCommFunction", EBADF);
    int bits = 0;
    const auto done = [this](int result, const char* step) {
        return result == 0 || Failed(step, errno);
    };
    switch (function) {
    case SETRTS:
        bits = TIOCM_RTS;
        return done(::ioctl(fd, TIOCMBIS, &bits), "TIOCMBIS");
    case CLRRTS:
        bits = TIOCM_RTS;
        return done(::ioctl(fd, TIOCMBIC, &bits), "TIOCMBIC");
    case SETDTR:
        bits = TIOCM_DTR;
        return done(::ioctl(fd, TIOCMBIS, &bits), "TIOCMBIS");
    case CLRDTR:
        bits = TIOCM_DTR;
        return done(::ioctl(fd, TIOCMBIC, &bits), "TIOCMBIC");
    case SETBREAK:
        return done(::ioctl(fd, TIOCSBRK), "TIOCSBRK");
    case CLRBREAK:
        return done(::ioctl(fd, TIOCCBRK), "TIOCCBRK");
    case SETXOFF:
        return done(::tcflow(fd, TCOOFF), "tcflow");
    case SETXON:
        return done(::tcflow(fd, TCOON), "tcflow");
    default:
        return Failed("EscapeCommFunction", EINVAL);
    }
}
