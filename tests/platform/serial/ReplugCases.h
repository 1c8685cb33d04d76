#pragma once

// Shared by the tests of a port whose device went away and came back.

#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

// Rows: whether a device is back at the first try, and whether another program holds
// the port then.
inline void AddReplugRows() {
    QTest::addColumn<bool>("boardBack");
    QTest::addColumn<bool>("takenByOther");
    QTest::newRow("plugged in again") << true << false;
    QTest::newRow("still unplugged at first") << false << false;
    QTest::newRow("taken by another program at first") << true << true;
}

// Another program that holds a port, locked as the component locks it.
class TOtherOpener {
public:
    explicit TOtherOpener(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(),
                      O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0)
            Release();
    }
    ~TOtherOpener() { Release(); }
    TOtherOpener(const TOtherOpener&) = delete;
    TOtherOpener& operator=(const TOtherOpener&) = delete;

    // Still open and locked by this opener.
    bool Holds() const { return m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) == 0; }
    void Release() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};
