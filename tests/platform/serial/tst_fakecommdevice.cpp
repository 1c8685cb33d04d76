#include "FakeCommDevice.h"

#include <QTest>

#include <algorithm>
#include <future>

namespace {
using Bytes = TFakeCommDevice::Bytes;

CommIoStatus WriteAll(ICommDevice& device, Bytes bytes) {
    CommIo io;
    io.buffer = bytes.data();
    io.count = int(bytes.size());
    const CommIoStatus status = device.StartWrite(io);
    return status == CommIoStatus::Pending ? device.WaitWrite(io) : status;
}

int ReadNow(ICommDevice& device, Bytes& out, int count) {
    out.assign(std::size_t(count), 0);
    CommIo io;
    io.buffer = out.data();
    io.count = count;
    if (device.StartRead(io) == CommIoStatus::Failed)
        return -1;
    out.resize(std::size_t(io.transferred));
    return io.transferred;
}
} // namespace

class TstFakeCommDevice : public QObject {
    Q_OBJECT

private slots:
    void repliesToWrites();
    void refusesChosenCalls_data();
    void refusesChosenCalls();
    void vanishes();
    void heldWriteEndsByPurge();
    void writeNow_data();
    void writeNow();
};

void TstFakeCommDevice::repliesToWrites() {
    TFakeCommDevice device;
    QVERIFY(device.Open(1));
    COMMTIMEOUTS immediate;
    immediate.ReadIntervalTimeout = MAXDWORD;
    QVERIFY(device.SetCommTimeouts(immediate));
    device.SetReply(
        [](const Bytes& written) { return written == Bytes{0x0D} ? Bytes{0x06} : Bytes{}; });
    QCOMPARE(WriteAll(device, {0x0D}), CommIoStatus::Done);
    QCOMPARE(WriteAll(device, {0xF4, 0x01}), CommIoStatus::Done);
    Bytes in;
    QCOMPARE(ReadNow(device, in, 4), 1);
    QCOMPARE(in, Bytes{0x06});
    QCOMPARE(device.Written(), (Bytes{0x0D, 0xF4, 0x01}));
    QCOMPARE(device.WriteSizes(), (std::vector<int>{1, 2}));
}

void TstFakeCommDevice::refusesChosenCalls_data() {
    QTest::addColumn<int>("nth");
    QTest::addColumn<QList<bool>>("results");
    QTest::newRow("every call") << 0 << QList<bool>{false, false, false};
    QTest::newRow("first") << 1 << QList<bool>{false, true, true};
    QTest::newRow("third") << 3 << QList<bool>{true, true, false};
}

void TstFakeCommDevice::refusesChosenCalls() {
    QFETCH(int, nth);
    QFETCH(QList<bool>, results);
    TFakeCommDevice device;
    QVERIFY(device.Open(2));
    device.Refuse("SetCommState", nth);
    QList<bool> actual;
    DCB dcb;
    for (int i = 0; i < 3; ++i)
        actual << device.SetCommState(dcb);
    QCOMPARE(actual, results);
    QCOMPARE(device.StatesWritten().size(), std::size_t(3));
    QVERIFY(device.SetupComm(1, 1)); // other calls are not affected
}

void TstFakeCommDevice::vanishes() {
    TFakeCommDevice device;
    QVERIFY(device.Open(3));
    QVERIFY(device.SetCommMask(EV_RXCHAR));
    device.Vanish();
    QCOMPARE(device.WaitCommEvent(), EV_GONE);
    auto next = std::async(std::launch::async, [&] { return device.WaitCommEvent(); });
    QCOMPARE(next.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    device.CancelWait();
    QCOMPARE(next.get(), 0u);
    Bytes in;
    QCOMPARE(ReadNow(device, in, 1), -1);
    QCOMPARE(WriteAll(device, {1}), CommIoStatus::Failed);
}

void TstFakeCommDevice::heldWriteEndsByPurge() {
    TFakeCommDevice device;
    QVERIFY(device.Open(4));
    device.HoldWrites(true);
    auto write = std::async(std::launch::async, [&] { return WriteAll(device, {1, 2}); });
    QTRY_COMPARE(device.WritesWaiting(), 1);
    device.PurgeComm(PURGE_TXABORT | PURGE_TXCLEAR);
    QCOMPARE(write.get(), CommIoStatus::Failed);
    QVERIFY(device.Written().empty());
}

void TstFakeCommDevice::writeNow_data() {
    QTest::addColumn<QString>("state");
    QTest::addColumn<QList<int>>("taken"); // results of two WriteNow of 3 bytes
    QTest::addColumn<int>("written");
    QTest::newRow("free") << "free" << QList<int>{3, 3} << 6;
    QTest::newRow("held") << "held" << QList<int>{0, 0} << 0;
    QTest::newRow("room for 4") << "room" << QList<int>{3, 1} << 4;
    QTest::newRow("refused once") << "refused" << QList<int>{-1, 3} << 3;
    QTest::newRow("vanished") << "vanished" << QList<int>{-1, -1} << 0;
    QTest::newRow("closed") << "closed" << QList<int>{-1, -1} << 0;
}

void TstFakeCommDevice::writeNow() {
    QFETCH(QString, state);
    QFETCH(QList<int>, taken);
    QFETCH(int, written);
    TFakeCommDevice device;
    QVERIFY(device.Open(5));
    int replies = 0;
    device.SetReply([&](const Bytes&) {
        ++replies;
        return Bytes{};
    });
    if (state == "held")
        device.HoldWrites(true);
    if (state == "room")
        device.LimitWriteNow(4);
    if (state == "refused")
        device.Refuse("WriteNow", 1);
    if (state == "vanished")
        device.Vanish();
    if (state == "closed")
        device.Close();
    const Bytes bytes{1, 2, 3};
    QList<int> results;
    for (int i = 0; i < 2; ++i)
        results << device.WriteNow(bytes.data(), 3);
    QCOMPARE(results, taken);
    QCOMPARE(int(device.Written().size()), written);
    // Bytes taken count as completed writes; they are not StartWrite calls.
    QCOMPARE(replies,
             int(std::count_if(results.begin(), results.end(), [](int n) { return n > 0; })));
    QVERIFY(device.WriteSizes().empty());
    const std::vector<std::string> calls = device.Calls();
    QCOMPARE(std::count(calls.begin(), calls.end(), std::string("WriteNow 3")), 2);
}

QTEST_GUILESS_MAIN(TstFakeCommDevice)
#include "tst_fakecommdevice.moc"
