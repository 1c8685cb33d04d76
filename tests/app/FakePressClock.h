#pragma once

#include "PressClock.h"

#include <algorithm>
#include <utility>

// Time that moves only when the test says so, waking whoever waits on the way.
class TFakePressClock : public IPressClock {
public:
    qint64 NowUs() const override { return m_nowUs; }
    void WakeAt(qint64 atUs, TWake wake) override {
        m_wakeAtUs = atUs;
        m_wake = std::move(wake);
    }
    void CancelWake() override { m_wake = nullptr; }

    void Advance(qint64 ms) {
        const qint64 end = m_nowUs + ms * 1000;
        while (m_wake && m_wakeAtUs <= end) {
            m_nowUs = std::max(m_nowUs, m_wakeAtUs);
            std::exchange(m_wake, nullptr)();
        }
        m_nowUs = end;
    }

private:
    qint64 m_nowUs = 0;
    qint64 m_wakeAtUs = 0;
    TWake m_wake;
};
