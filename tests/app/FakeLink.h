#pragma once

// A link on the fake serial device and the fake window system, for tests without a board.
#include "FakeCommDevice.h"
#include "FakeWindowSystem.h"
#include "PanelLink.h"

#include <QList>
#include <memory>

// A link on the fake device and the fake window system; the motion editor's window is 42.
struct Link {
    using Bytes = TFakeCommDevice::Bytes;

    TFakeCommDevice* device = nullptr;
    TFakeWindowSystem* windows = nullptr;
    std::unique_ptr<TPanelLink> link;

    Link() {
        auto fakeDevice = std::make_unique<TFakeCommDevice>();
        auto fakeWindows = std::make_unique<TFakeWindowSystem>();
        device = fakeDevice.get();
        windows = fakeWindows.get();
        windows->SetWindows({{42, true, "Editor", "TPosewright3"}});
        link = std::make_unique<TPanelLink>(nullptr, std::move(fakeDevice), std::move(fakeWindows));
    }
    // The board echoes the probe and answers a command with `answer`.
    void Answer(Bytes answer) {
        device->SetReply([answer](const Bytes& written) {
            if (written == Bytes{0x0D})
                return Bytes{0x0D};
            return written.size() > 1 ? answer : Bytes{};
        });
    }
    // The play numbers of the commands written, in order.
    QList<int> Played() const {
        QList<int> numbers;
        const Bytes written = device->Written();
        for (std::size_t i = 0; i + 3 < written.size(); ++i)
            if (written[i] == 0xF4)
                numbers << written[i + 2];
        return numbers;
    }
};
