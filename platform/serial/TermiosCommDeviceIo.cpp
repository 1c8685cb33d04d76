// The transfers of the termios device: writes, and reads through the queue of data bytes.

#include "TermiosCommDevice.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int64_t DeadlineAfterMs(std::uint64_t ms) {
    return ms == 0 ? 0 : NowNs() + static_cast<std::int64_t>(ms) * 1000000;
}

} // namespace

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
        if (n < 0) {
            const int error = errno;
            if (IsGoneError(error))
                MarkGone();
            Failed("write", error);
        }
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
        if (n < 0 && errno != EINTR) {
            Failed("poll", errno);
            return CommIoStatus::Failed;
        }
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
            const int error = n < 0 ? errno : 0;
            if (n < 0)
                FailedLocked("read", error);
            if (n == 0 || IsGoneError(error))
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
