#pragma once

// Between the fake device's byte vectors and the byte strings of the exchange.

#include "FakeCommDevice.h"

#include <QByteArray>

using Bytes = TFakeCommDevice::Bytes;

inline Bytes ToBytes(const QByteArray& bytes) {
    return Bytes(bytes.begin(), bytes.end());
}

inline QByteArray FromBytes(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}
