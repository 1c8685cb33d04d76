#include "TermiosCommDevice.h"

#include "CommPortPath.h"

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

namespace {

struct BaudSpeed {
    std::uint32_t baud;
    speed_t speed;
};

constexpr BaudSpeed BaudTable[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool BaudToSpeed(std::uint32_t baud, speed_t& speed) {
    for (const auto& entry : BaudTable) {
        if (entry.baud == baud) {
            speed = entry.speed;
            return true;
        }
    }
    return false;
}

std::uint32_t SpeedToBaud(speed_t speed) {
    for (const auto& entry : BaudTable) {
        if (entry.speed == speed)
            return entry.baud;
    }
    return 0;
}

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int64_t DeadlineAfterMs(std::uint64_t ms) {
    return ms == 0 ? 0 : NowNs() + static_cast<std::int64_t>(ms) * 1000000;
}

// Data bytes kept beyond the driver's queue; more waits in the driver, where flow
// control holds the line back.
constexpr std::size_t MaxQueued = 64 * 1024;

// One read takes an event counter's whole count.
void Drain(int fd) {
    std::uint64_t value;
    while (::read(fd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

// The fields of termios that decide the line; a driver that changed any of them did not
// take the setting.
bool SameLine(const termios& a, const termios& b) {
    const tcflag_t cmask = CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CLOCAL | CREAD;
    const tcflag_t imask = INPCK | PARMRK | IXON | IXOFF | IGNPAR | IGNBRK | BRKINT | ISTRIP;
    const tcflag_t lmask = ICANON | ECHO | ISIG | IEXTEN;
    return (a.c_cflag & cmask) == (b.c_cflag & cmask) &&
           (a.c_iflag & imask) == (b.c_iflag & imask) &&
           (a.c_lflag & lmask) == (b.c_lflag & lmask) && cfgetospeed(&a) == cfgetospeed(&b) &&
           cfgetispeed(&a) == cfgetispeed(&b) && a.c_cc[VMIN] == b.c_cc[VMIN] &&
           a.c_cc[VTIME] == b.c_cc[VTIME] && a.c_cc[VSTART] == b.c_cc[VSTART] &&
           a.c_cc[VSTOP] == b.c_cc[VSTOP];
}

// Raw bytes in both directions; parity and framing errors and breaks marked in the input.
void MakeRaw(termios& t) {
    cfmakeraw(&t);
    t.c_iflag &= ~(IGNBRK | BRKINT | IGNPAR | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                   IXANY | PARMRK | INPCK);
    t.c_iflag |= INPCK | PARMRK;
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
}

// The c_cflag bits of a DCB's line settings; false for what termios cannot do.
bool LineFlags(const DCB& dcb, tcflag_t& flags) {
    tcflag_t cflag = CLOCAL | CREAD;
    switch (dcb.ByteSize) {
    case 5:
        cflag |= CS5;
        break;
    case 6:
        cflag |= CS6;
        break;
    case 7:
        cflag |= CS7;
        break;
    case 8:
        cflag |= CS8;
        break;
    default:
        return false;
    }
    switch (dcb.Parity) {
    case NOPARITY:
        break;
    case ODDPARITY:
        cflag |= PARENB | PARODD;
        break;
    case EVENPARITY:
        cflag |= PARENB;
        break;
    default:
        return false;
    }
    // Linux UARTs send 1.5 stop bits for CSTOPB with 5 data bits, and only then.
    if (dcb.StopBits == TWOSTOPBITS || (dcb.StopBits == ONE5STOPBITS && dcb.ByteSize == 5))
        cflag |= CSTOPB;
    else if (dcb.StopBits != ONESTOPBIT)
        return false;
    // There is no DSR handshake in termios; saying yes to it would be a lie.
    if ((dcb.Flags & DcbOutxDsrFlow) || DcbDtrControl(dcb) == DTR_CONTROL_HANDSHAKE)
        return false;
    if ((dcb.Flags & DcbOutxCtsFlow) || DcbRtsControl(dcb) == RTS_CONTROL_HANDSHAKE)
        cflag |= CRTSCTS;
    flags = cflag;
    return true;
}

} // namespace

std::unique_ptr<ICommDevice> CreateDefaultCommDevice() {
    return std::make_unique<TTermiosCommDevice>();
}

TTermiosCommDevice::TTermiosCommDevice(std::string portFolder)
    : m_portFolder(std::move(portFolder)) {}

TTermiosCommDevice::~TTermiosCommDevice() {
    Close();
}

bool TTermiosCommDevice::Open(int portNo) {
    std::lock_guard lock(m_mutex);
    m_refusal = {};
    if (m_fd >= 0)
        return false;
    const std::string folder = m_portFolder.empty() ? CommPortFolder() : m_portFolder;
    const std::string path = ResolveCommPortPath(portNo, folder);
    if (path.empty())
        return false;
    const int fd = OpenExclusive(path);
    if (fd < 0)
        return false;
    if (!CreateWaitDescriptors(fd)) {
        m_refusal = {errno, path};
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

// Opened, locked against every other opener and raw; -1 with the refusal recorded.
int TTermiosCommDevice::OpenExclusive(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_refusal = {errno, path};
        return -1;
    }
    // The lock before any change of settings: TIOCEXCL alone does not keep root out.
    termios t;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::tcgetattr(fd, &t) != 0) {
        m_refusal = {errno, path};
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
    m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    m_txAbortFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    m_rxReadyFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    epoll_event portEvent{};
    portEvent.events = EPOLLIN | EPOLLET | EPOLLERR | EPOLLHUP;
    portEvent.data.fd = fd;
    epoll_event wakeEvent{};
    wakeEvent.events = EPOLLIN;
    wakeEvent.data.fd = m_wakeFd;
    return m_epoll >= 0 && m_wakeFd >= 0 && m_txAbortFd >= 0 && m_rxReadyFd >= 0 &&
           ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &portEvent) == 0 &&
           ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wakeFd, &wakeEvent) == 0;
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
    // The kernel's queues have fixed sizes; the sizes only have to make sense.
    if (m_fd < 0 || inQueue <= 0 || outQueue <= 0)
        return false;
    m_inQueue = inQueue;
    m_outQueue = outQueue;
    return true;
}

bool TTermiosCommDevice::PurgeComm(std::uint32_t flags) {
    const int fd = m_fd;
    if (fd < 0)
        return false;
    if (flags & PURGE_TXABORT) {
        ++m_txAbortGeneration;
        Wake(m_txAbortFd);
    }
    if (flags & PURGE_RXABORT)
        ++m_rxAbortGeneration;
    if (flags & PURGE_TXCLEAR)
        ::tcflush(fd, TCOFLUSH);
    if (flags & PURGE_RXCLEAR) {
        // Under the lock, so that no queue fill mixes old bytes into the empty queue.
        std::lock_guard lock(m_mutex);
        ::tcflush(fd, TCIFLUSH);
        m_decoder.Reset();
        m_rxQueue.clear();
        m_rxHead = 0;
    }
    return true;
}

bool TTermiosCommDevice::GetCommState(DCB& dcb) {
    std::lock_guard lock(m_mutex);
    termios t;
    if (m_fd < 0 || ::tcgetattr(m_fd, &t) != 0)
        return false;
    DCB result = m_lastState;
    result.DCBlength = dcb.DCBlength;
    result.BaudRate = SpeedToBaud(cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
    case CS5:
        result.ByteSize = 5;
        break;
    case CS6:
        result.ByteSize = 6;
        break;
    case CS7:
        result.ByteSize = 7;
        break;
    default:
        result.ByteSize = 8;
        break;
    }
    result.Parity = !(t.c_cflag & PARENB)  ? NOPARITY
                    : (t.c_cflag & PARODD) ? ODDPARITY
                                           : EVENPARITY;
    result.StopBits = !(t.c_cflag & CSTOPB)  ? ONESTOPBIT
                      : result.ByteSize == 5 ? ONE5STOPBITS
                                             : TWOSTOPBITS;
    result.Flags &= ~(DcbOutX | DcbInX | DcbOutxCtsFlow);
    if (t.c_iflag & IXON)
        result.Flags |= DcbOutX;
    if (t.c_iflag & IXOFF)
        result.Flags |= DcbInX;
    const std::uint32_t rtsMask = 3u << DcbRtsControlShift;
    if (t.c_cflag & CRTSCTS) {
        result.Flags = (result.Flags & ~rtsMask) | DcbOutxCtsFlow |
                       (RTS_CONTROL_HANDSHAKE << DcbRtsControlShift);
    } else if (DcbRtsControl(result) == RTS_CONTROL_HANDSHAKE) {
        result.Flags = (result.Flags & ~rtsMask) | (RTS_CONTROL_ENABLE << DcbRtsControlShift);
    }
    result.XonChar = static_cast<char>(t.c_cc[VSTART]);
    result.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
    dcb = result;
    return true;
}

bool TTermiosCommDevice::SetCommState(const DCB& dcb) {
    std::lock_guard lock(m_mutex);
    const int fd = m_fd;
    speed_t speed;
    if (fd < 0 || !BaudToSpeed(dcb.BaudRate, speed))
        return false;
    tcflag_t cflag = 0;
    if (!LineFlags(dcb, cflag))
        return false;

    termios before;
    if (::tcgetattr(fd, &before) != 0)
        return false;
    termios t = before;
    MakeRaw(t);
    if (dcb.Flags & DcbOutX)
        t.c_iflag |= IXON;
    if (dcb.Flags & DcbInX)
        t.c_iflag |= IXOFF;
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    t.c_cflag |= cflag;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    // tcsetattr succeeds when any one change applied: read back and compare.
    termios after;
    if (::tcsetattr(fd, TCSANOW, &t) != 0 || ::tcgetattr(fd, &after) != 0 || !SameLine(t, after)) {
        ::tcsetattr(fd, TCSANOW, &before);
        return false;
    }
    m_lastState = dcb;
    m_parityOn = (cflag & PARENB) != 0;
    ApplyLines(dcb);
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
        return false;
    timeouts = m_timeouts;
    return true;
}

bool TTermiosCommDevice::SetCommTimeouts(const COMMTIMEOUTS& timeouts) {
    std::lock_guard lock(m_mutex);
    if (m_fd < 0)
        return false;
    m_timeouts = timeouts;
    return true;
}

bool TTermiosCommDevice::SetCommMask(std::uint32_t mask) {
    if (m_fd < 0)
        return false;
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
        return false;
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
            return false;
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
        return false;
    int bits = 0;
    switch (function) {
    case SETRTS:
        bits = TIOCM_RTS;
        return ::ioctl(fd, TIOCMBIS, &bits) == 0;
    case CLRRTS:
        bits = TIOCM_RTS;
        return ::ioctl(fd, TIOCMBIC, &bits) == 0;
    case SETDTR:
        bits = TIOCM_DTR;
        return ::ioctl(fd, TIOCMBIS, &bits) == 0;
    case CLRDTR:
        bits = TIOCM_DTR;
        return ::ioctl(fd, TIOCMBIC, &bits) == 0;
    case SETBREAK:
        return ::ioctl(fd, TIOCSBRK) == 0;
    case CLRBREAK:
        return ::ioctl(fd, TIOCCBRK) == 0;
    case SETXOFF:
        return ::tcflow(fd, TCOOFF) == 0;
    case SETXON:
        return ::tcflow(fd, TCOON) == 0;
    default:
        return false;
    }
}

// Writes what the driver takes now; false on an error (the device is then gone or broken).
bool TTermiosCommDevice::WriteSome(CommIo& io) {
    const int fd = m_fd;
    while (io.transferred < io.count) {
        const ssize_t n = ::write(fd, static_cast<const char*>(io.buffer) + io.transferred,
                                  static_cast<std::size_t>(io.count - io.transferred));
        if (n > 0) {
            io.transferred += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return true;
        if (n < 0 && IsGoneError(errno))
            MarkGone();
        return false;
    }
    return true;
}

bool TTermiosCommDevice::WriteStopped(const CommIo& io) const {
    return io.abortGeneration != m_txAbortGeneration || (io.cancel && *io.cancel) || m_gone ||
           m_fd < 0;
}

CommIoStatus TTermiosCommDevice::StartWrite(CommIo& io) {
    io.transferred = 0;
    // Taken before the cancel flag is read: a stop that comes later is followed by a
    // purge, which this write then sees.
    io.abortGeneration = m_txAbortGeneration;
    if (WriteStopped(io) || !io.buffer || io.count < 0)
        return CommIoStatus::Failed;
    {
        std::lock_guard lock(m_mutex);
        io.deadlineNs = DeadlineAfterMs(std::uint64_t(m_timeouts.WriteTotalTimeoutMultiplier) *
                                            std::uint64_t(io.count) +
                                        m_timeouts.WriteTotalTimeoutConstant);
    }
    return ContinueWrite(io);
}

CommIoStatus TTermiosCommDevice::ContinueWrite(CommIo& io) {
    if (WriteStopped(io) || !WriteSome(io))
        return CommIoStatus::Failed;
    return io.transferred == io.count ? CommIoStatus::Done : CommIoStatus::Pending;
}

int TTermiosCommDevice::WriteNow(const void* data, int count) {
    if (m_fd < 0 || m_gone || !data || count < 0)
        return -1;
    // The descriptor is non-blocking: a full driver queue takes what fits, then nothing.
    CommIo io;
    io.buffer = const_cast<void*>(data);
    io.count = count;
    return WriteSome(io) ? io.transferred : -1;
}

CommIoStatus TTermiosCommDevice::WaitWrite(CommIo& io) {
    for (;;) {
        if (WriteStopped(io))
            return CommIoStatus::Failed;
        if (io.transferred == io.count)
            return CommIoStatus::Done;
        int timeoutMs = -1;
        if (io.deadlineNs != 0) {
            const std::int64_t left = io.deadlineNs - NowNs();
            // The write time-out ends the write with what has been written.
            if (left <= 0)
                return CommIoStatus::Done;
            timeoutMs = static_cast<int>((left + 999999) / 1000000);
        }
        pollfd fds[2] = {{m_fd, POLLOUT, 0}, {m_txAbortFd, POLLIN, 0}};
        const int n = ::poll(fds, 2, timeoutMs);
        if (n < 0 && errno != EINTR)
            return CommIoStatus::Failed;
        if (n <= 0)
            continue;
        if (fds[1].revents & POLLIN) {
            Drain(m_txAbortFd);
            continue;
        }
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            MarkGone();
            return CommIoStatus::Failed;
        }
        if (fds[0].revents & POLLOUT)
            return CommIoStatus::Pending;
    }
}

void TTermiosCommDevice::WaitTransmitted(int timeoutMs) {
    const std::uint64_t generation = m_txAbortGeneration;
    const std::int64_t deadline = NowNs() + std::int64_t(std::max(timeoutMs, 0)) * 1000000;
    for (;;) {
        int queued = 0;
        if (m_fd < 0 || m_gone || ::ioctl(m_fd, TIOCOUTQ, &queued) != 0 || queued <= 0 ||
            generation != m_txAbortGeneration || NowNs() >= deadline)
            return;
        pollfd abort = {m_txAbortFd, POLLIN, 0};
        if (::poll(&abort, 1, 1) > 0)
            Drain(m_txAbortFd);
    }
}

// Moves what waits in the driver into the queue of data bytes, decoding the marks.
TTermiosCommDevice::Fill TTermiosCommDevice::FillQueueLocked() {
    Fill fill;
    const int fd = m_fd;
    std::uint8_t raw[4096];
    TParmrkDecoder::Marks marks;
    std::size_t produced = 0;
    while (fd >= 0 && QueuedLocked() < MaxQueued) {
        const ssize_t n = ::read(fd, raw, sizeof raw);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            break;
        if (n <= 0) {
            // With VMIN 1, a read of 0 means the other end hung up.
            if (n == 0 || IsGoneError(errno))
                MarkGone();
            fill.failed = true;
            break;
        }
        if (m_rxHead > 0 && m_rxHead * 2 >= m_rxQueue.size()) {
            m_rxQueue.erase(m_rxQueue.begin(), m_rxQueue.begin() + std::ptrdiff_t(m_rxHead));
            m_rxHead = 0;
        }
        // One byte more than came in: a byte held back by the last read may come out too.
        const std::size_t end = m_rxQueue.size();
        m_rxQueue.resize(end + std::size_t(n) + 1);
        const TParmrkDecoder::Progress p = m_decoder.Decode(
            raw, std::size_t(n), m_rxQueue.data() + end, std::size_t(n) + 1, marks);
        m_rxQueue.resize(end + p.produced);
        produced += p.produced;
        if (std::size_t(n) < sizeof raw)
            break;
    }
    if (produced > 0)
        fill.events |= EV_RXCHAR;
    // Drivers with counters report the same marks through them.
    if (!m_hasCounters && marks.breaks) {
        m_errors |= CE_BREAK;
        fill.events |= EV_BREAK;
    }
    if (!m_hasCounters && marks.errors) {
        m_errors |= m_parityOn ? CE_RXPARITY : CE_FRAME;
        fill.events |= EV_ERR;
    }
    return fill;
}

void TTermiosCommDevice::TakeQueuedLocked(CommIo& io) {
    const std::size_t n = std::min(QueuedLocked(), std::size_t(io.count - io.transferred));
    std::copy_n(m_rxQueue.begin() + std::ptrdiff_t(m_rxHead), n,
                static_cast<std::uint8_t*>(io.buffer) + io.transferred);
    m_rxHead += n;
    io.transferred += int(n);
    if (m_rxHead == m_rxQueue.size()) {
        m_rxQueue.clear();
        m_rxHead = 0;
    }
}

// Takes what is waiting, as far as the buffer holds it; false when the device is gone
// or broken.
bool TTermiosCommDevice::ReadQueued(CommIo& io) {
    Fill fill;
    {
        std::lock_guard lock(m_mutex);
        fill = FillQueueLocked();
        TakeQueuedLocked(io);
        // Bytes the read took at once are nobody else's news: the event wait hears only
        // of those left waiting, and of marks.
        if (QueuedLocked() == 0)
            fill.events &= ~EV_RXCHAR;
        if (m_portWaitDisarmed)
            fill.events |= PollCountersLocked();
    }
    Publish(fill.events);
    return !fill.failed;
}

// While a read waits on the port, the event wait leaves the port to it: one wake-up and
// one reader a byte instead of two contending for it. Hang-ups still reach the event wait.
void TTermiosCommDevice::SetPortWait(bool armed) {
    if (m_portWaitDisarmed != armed || m_fd < 0)
        return;
    epoll_event portEvent{};
    portEvent.events = armed ? EPOLLIN | EPOLLET | EPOLLERR | EPOLLHUP : 0;
    portEvent.data.fd = m_fd;
    if (::epoll_ctl(m_epoll, EPOLL_CTL_MOD, m_fd, &portEvent) == 0)
        m_portWaitDisarmed = !armed;
}

CommIoStatus TTermiosCommDevice::StartRead(CommIo& io) {
    // A read given up before its end hands the port back here.
    SetPortWait(true);
    io.transferred = 0;
    io.abortGeneration = m_rxAbortGeneration;
    if (m_fd < 0 || m_gone || !io.buffer || io.count < 0)
        return CommIoStatus::Failed;
    COMMTIMEOUTS t;
    {
        std::lock_guard lock(m_mutex);
        t = m_timeouts;
    }
    if (io.count == 0)
        return CommIoStatus::Done;
    if (!ReadQueued(io))
        return io.transferred > 0 ? CommIoStatus::Done : CommIoStatus::Failed;
    const std::uint64_t total =
        std::uint64_t(t.ReadTotalTimeoutMultiplier) * std::uint64_t(io.count) +
        t.ReadTotalTimeoutConstant;
    // MAXDWORD interval: bytes already waiting are returned at once; with no total
    // time-out either, an empty read returns at once too.
    if (io.transferred == io.count ||
        (t.ReadIntervalTimeout == MAXDWORD && (io.transferred > 0 || total == 0)))
        return CommIoStatus::Done;
    io.deadlineNs = DeadlineAfterMs(total);
    io.waitForAll = true;
    SetPortWait(false);
    return CommIoStatus::Pending;
}

CommIoStatus TTermiosCommDevice::ContinueRead(CommIo& io, int waitMs) {
    const CommIoStatus status = ContinueReadStep(io, waitMs);
    if (status != CommIoStatus::Pending)
        SetPortWait(true);
    return status;
}

CommIoStatus TTermiosCommDevice::ContinueReadStep(CommIo& io, int waitMs) {
    if (io.abortGeneration != m_rxAbortGeneration || m_fd < 0 || m_gone)
        return CommIoStatus::Failed;
    {
        // Bytes that another call moved into the queue come first.
        std::lock_guard lock(m_mutex);
        TakeQueuedLocked(io);
    }
    if (io.transferred == io.count)
        return CommIoStatus::Done;
    std::int64_t waitNs = std::int64_t(std::max(waitMs, 0)) * 1000000;
    if (io.deadlineNs != 0)
        waitNs = std::max<std::int64_t>(0, std::min(waitNs, io.deadlineNs - NowNs()));
    // The event wait may take the bytes from the driver first; it says so on m_rxReadyFd.
    pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_rxReadyFd, POLLIN, 0}};
    const timespec timeout = {time_t(waitNs / 1000000000), long(waitNs % 1000000000)};
    const int n = ::ppoll(fds, 2, &timeout, nullptr);
    if (io.abortGeneration != m_rxAbortGeneration)
        return CommIoStatus::Failed;
    const short port = n > 0 ? fds[0].revents : 0;
    const bool queued = n > 0 && (fds[1].revents & POLLIN);
    if (queued)
        Drain(m_rxReadyFd);
    if ((port & (POLLIN | POLLHUP | POLLERR)) || queued) {
        const bool ok = ReadQueued(io);
        // Hung up with nothing more to read: never poll it again.
        const bool hungUp = port & (POLLHUP | POLLERR);
        if (hungUp)
            MarkGone();
        if (!ok || hungUp)
            return io.transferred > 0 ? CommIoStatus::Done : CommIoStatus::Failed;
    }
    if (port & POLLNVAL)
        return CommIoStatus::Failed;
    if (io.transferred == io.count)
        return CommIoStatus::Done;
    if (io.deadlineNs != 0 && NowNs() >= io.deadlineNs)
        return CommIoStatus::Done;
    return CommIoStatus::Pending;
}
