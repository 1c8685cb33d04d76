#include "SessionSignals.h"

#include <QList>
#include <QMetaMethod>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Written by the handler, which may only make async-signal-safe calls.
std::atomic<int> g_writeFd{-1};
struct sigaction g_previous[3];
constexpr int kSignals[3] = {SIGTERM, SIGHUP, SIGINT};

void OnSignal(int signalNumber) {
    const int savedErrno = errno;
    const int fd = g_writeFd.load();
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

TSessionSignals::TSessionSignals(QObject* parent) : QObject(parent) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        qFatal("TSessionSignals: pipe2 failed");
    m_readFd = fds[0];
    g_writeFd.store(fds[1]);
    m_notifier = new QSocketNotifier(m_readFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { Drain(); });

    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &action, &g_previous[i]);
}

TSessionSignals::~TSessionSignals() {
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    const int writeFd = g_writeFd.exchange(-1);
    delete m_notifier;
    ::close(m_readFd);
    ::close(writeFd);
}

QList<int> TSessionSignals::Handled() {
    return {SIGTERM, SIGHUP, SIGINT};
}

// A signal that arrives before anyone listens (while a start-up box turns the event
// loop) stays in the pipe until the first listener connects.
void TSessionSignals::connectNotify(const QMetaMethod& signal) {
    if (signal == QMetaMethod::fromSignal(&TSessionSignals::Received) && m_notifier)
        m_notifier->setEnabled(true);
}

void TSessionSignals::Drain() {
    if (!isSignalConnected(QMetaMethod::fromSignal(&TSessionSignals::Received))) {
        m_notifier->setEnabled(false);
        return;
    }
    unsigned char bytes[64];
    ssize_t count;
    while ((count = ::read(m_readFd, bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < count; ++i)
            emit Received(bytes[i]);
    }
}
