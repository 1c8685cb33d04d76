#pragma once

#include "CommX.h"
#include "FakeCommDevice.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// A component on a fake device; the test keeps a pointer to the device it owns.
struct TFakePort {
    TFakePort() {
        auto device = std::make_unique<TFakeCommDevice>();
        fake = device.get();
        comm = std::make_unique<TCommX>(nullptr, std::move(device));
    }
    TFakeCommDevice* fake = nullptr;
    std::unique_ptr<TCommX> comm;
};

// The message of the ECommError that action raises; empty when it raises nothing.
inline QString RaisedMessage(const std::function<void()>& action) {
    try {
        action();
    } catch (const ECommError& error) {
        return error.Message();
    }
    return {};
}

// The message and the reason of the ECommError that action raises.
inline QStringList RaisedError(const std::function<void()>& action) {
    try {
        action();
    } catch (const ECommError& error) {
        return {error.Message(), error.Reason()};
    }
    return {};
}

inline QString Msg(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Call lists as Qt Test prints them on a mismatch.
inline QStringList Texts(const std::vector<std::string>& texts) {
    QStringList list;
    for (const auto& text : texts)
        list << QString::fromStdString(text);
    return list;
}
