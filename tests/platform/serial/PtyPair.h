#pragma once

// A pseudo-terminal whose slave stands in for a serial port: linked as ports/COMn in a
// temporary folder, the way a user links a real device.

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

// Processor time the test process has used, to tell waiting from spinning.
inline double CpuMs() {
    rusage usage;
    ::getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

class TPtyPair {
public:
    explicit TPtyPair(int portNo = 5) {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        m_slavePath = QString::fromLocal8Bit(::ptsname(m_master));
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        QDir(m_folder.path()).mkdir("ports");
        m_linked = QFile::link(m_slavePath, PortPath(portNo));
    }
    ~TPtyPair() { CloseMaster(); }
    TPtyPair(const TPtyPair&) = delete;
    TPtyPair& operator=(const TPtyPair&) = delete;

    bool IsValid() const { return m_master >= 0 && m_linked && m_folder.isValid(); }
    QString Folder() const { return m_folder.path(); }
    QString PortPath(int portNo) const {
        return m_folder.path() + "/ports/COM" + QString::number(portNo);
    }
    QString SlavePath() const { return m_slavePath; }
    int Master() const { return m_master; }

    bool WriteMaster(const QByteArray& bytes) {
        return ::write(m_master, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    // Reads until count bytes came or timeoutMs passed.
    QByteArray ReadMaster(int count, int timeoutMs = 1000) {
        QByteArray result;
        QElapsedTimer timer;
        timer.start();
        while (result.size() < count && timer.elapsed() < timeoutMs) {
            pollfd fd = {m_master, POLLIN, 0};
            if (::poll(&fd, 1, 10) <= 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0)
                result.append(buffer, n);
        }
        return result;
    }
    // Hang-up: the far end of the line goes away.
    void CloseMaster() {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    QTemporaryDir m_folder;
    QString m_slavePath;
    int m_master = -1;
    bool m_linked = false;
};
