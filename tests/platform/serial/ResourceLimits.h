#pragma once

#include <pthread.h>

#include <cstddef>

// While the object lives, new threads get a default stack larger than the address space,
// so every std::thread fails to start with the system's error.
class TThreadsRefused {
public:
    TThreadsRefused() {
        if (::pthread_getattr_default_np(&m_saved) != 0)
            return;
        pthread_attr_t huge;
        ::pthread_attr_init(&huge);
        m_ok = ::pthread_attr_setstacksize(&huge, std::size_t(1) << 50) == 0 &&
               ::pthread_setattr_default_np(&huge) == 0;
        ::pthread_attr_destroy(&huge);
    }
    ~TThreadsRefused() {
        if (m_ok)
            ::pthread_setattr_default_np(&m_saved);
    }
    TThreadsRefused(const TThreadsRefused&) = delete;
    TThreadsRefused& operator=(const TThreadsRefused&) = delete;
    bool IsValid() const { return m_ok; }

private:
    pthread_attr_t m_saved;
    bool m_ok = false;
};
