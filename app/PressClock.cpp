#include "PressClock.h"

TSteadyPressClock::TSteadyPressClock() {
    m_started.start();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Fire(); });
}

qint64 TSteadyPressClock::NowUs() const {
    return m_started.nsecsElapsed() / 1000;
}

void TSteadyPressClock::WakeAt(qint64 atUs, TWake wake) {
    m_wakeAtUs = atUs;
    m_wake = std::move(wake);
    const qint64 waitUs = atUs - NowUs();
    m_timer.start(waitUs > 0 ? static_cast<int>((waitUs + 999) / 1000) : 0);
}

void TSteadyPressClock::CancelWake() {
    m_timer.stop();
    m_wake = nullptr;
}

void TSteadyPressClock::Fire() {
    // A timer counts whole milliseconds and may come a little early; the rest is waited.
    if (NowUs() < m_wakeAtUs) {
        m_timer.start(0);
        return;
    }
    if (TWake wake = std::exchange(m_wake, nullptr))
        wake();
}
