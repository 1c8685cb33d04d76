#pragma once

// Real refusals of the system for the tests: no thread can start, or only a few more
// descriptors can be opened, while the object lives.

#include <QDir>
#include <QStringList>

#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

// New threads get a default stack larger than the address space, so every std::thread
// fails to start with the system's error.
class TThreadsRefused {
public:
    TThreadsRefused() {
        if (::pthread_getattr_default_np(&m_saved) != 0)
            return;
        m_restore = true;
        pthread_attr_t huge;
        ::pthread_attr_init(&huge);
        m_ok = ::pthread_attr_setstacksize(&huge, std::size_t(1) << 50) == 0 &&
               ::pthread_setattr_default_np(&huge) == 0;
        ::pthread_attr_destroy(&huge);
    }
    ~TThreadsRefused() {
        if (!m_restore)
            return;
        ::pthread_setattr_default_np(&m_saved);
        ::pthread_attr_destroy(&m_saved);
    }
    TThreadsRefused(const TThreadsRefused&) = delete;
    TThreadsRefused& operator=(const TThreadsRefused&) = delete;
    bool IsValid() const { return m_ok; }

private:
    pthread_attr_t m_saved;
    bool m_restore = false;
    bool m_ok = false;
};

// The descriptors this process has open.
inline std::vector<int> OpenDescriptors() {
    std::vector<int> fds;
    const QStringList names =
        QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names)
        fds.push_back(name.toInt());
    return fds;
}

// Only `count` more descriptors can be opened: every free number below the highest in use
// is taken, and the limit allows count numbers above it.
class TDescriptorLimit {
public:
    explicit TDescriptorLimit(int count) {
        if (::getrlimit(RLIMIT_NOFILE, &m_saved) != 0)
            return;
        const std::vector<int> open = OpenDescriptors();
        const int highest = open.empty() ? 2 : *std::max_element(open.begin(), open.end());
        for (;;) {
            const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                return;
            if (fd > highest) {
                ::close(fd);
                break;
            }
            m_fillers.push_back(fd);
        }
        rlimit limited = m_saved;
        limited.rlim_cur = rlim_t(highest + 1 + count);
        m_ok = ::setrlimit(RLIMIT_NOFILE, &limited) == 0;
    }
    ~TDescriptorLimit() {
        ::setrlimit(RLIMIT_NOFILE, &m_saved);
        for (int fd : m_fillers)
            ::close(fd);
    }
    TDescriptorLimit(const TDescriptorLimit&) = delete;
    TDescriptorLimit& operator=(const TDescriptorLimit&) = delete;
    bool IsValid() const { return m_ok; }

private:
    rlimit m_saved{};
    std::vector<int> m_fillers;
    bool m_ok = false;
};
