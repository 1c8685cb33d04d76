#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <functional>

// Where the presses' repeat timers take their time from: microseconds on a clock that
// never goes back, and one wake-up at a time. Tests step a fake one instead of sleeping.
class IPressClock {
public:
    using TWake = std::function<void()>;

    virtual ~IPressClock() = default;
    virtual qint64 NowUs() const = 0;
    // Calls wake once, at or soon after atUs; a later call replaces the earlier one.
    virtual void WakeAt(qint64 atUs, TWake wake) = 0;
    virtual void CancelWake() = 0;
};

// The monotonic clock and a precise single-shot timer of the event loop.
class TSteadyPressClock : public IPressClock {
public:
    TSteadyPressClock();
    qint64 NowUs() const override;
    void WakeAt(qint64 atUs, TWake wake) override;
    void CancelWake() override;

private:
    void Fire();

    QElapsedTimer m_started;
    QTimer m_timer;
    qint64 m_wakeAtUs = 0;
    TWake m_wake;
};
