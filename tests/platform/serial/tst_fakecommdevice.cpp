#include "FakeCommDevice.h"

#include <QTest>

#include <algorithm>
#include <future>

Q_DECLARE_METATYPE(CommIoStatus)

namespace {
using Bytes = TFakeCommDevice::Bytes;

CommIoStatus WriteAll(ICommDevice& device, Bytes bytes) {
    CommIo io;
    io.buffer = bytes.data();
    io.count = int(bytes.size());
    return WriteAndWait(device, io);
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
    void heldWrite_data();
    void heldWrite();
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

void TstFakeCommDevice::heldWrite_data() {
    QTest::addColumn<QString>("end");
    QTest::addColumn<CommIoStatus>("waited"); // what the wait says
    QTest::addColumn<CommIoStatus>("result"); // of the write in the end
    QTest::addColumn<int>("written");
    QTest::newRow("released") << "released" << CommIoStatus::Pending << CommIoStatus::Done << 2;
    QTest::newRow("purged") << "purged" << CommIoStatus::Failed << CommIoStatus::Failed << 0;
    QTest::newRow("stopped") << "stopped" << CommIoStatus::Failed << CommIoStatus::Failed << 0;
    QTest::newRow("write time-out") << "timed out" << CommIoStatus::Done << CommIoStatus::Done << 0;
}

// A held write: the wait writes nothing; released, the next step writes it.
void TstFakeCommDevice::heldWrite() {
    QFETCH(QString, end);
    QFETCH(CommIoStatus, waited);
    QFETCH(CommIoStatus, result);
    QFETCH(int, written);
    TFakeCommDevice device;
    QVERIFY(device.Open(4));
    COMMTIMEOUTS timeouts;
    timeouts.WriteTotalTimeoutConstant = end == "timed out" ? 20 : 0;
    QVERIFY(device.SetCommTimeouts(timeouts));
    device.HoldWrites(true);
    std::atomic<bool> stop{false};
    Bytes bytes{1, 2};
    CommIo io;
    io.buffer = bytes.data();
    io.count = 2;
    io.cancel = &stop;
    QCOMPARE(device.StartWrite(io), CommIoStatus::Pending);
    auto wait = std::async(std::launch::async, [&] { return device.WaitWrite(io); });
    if (end != "timed out")
        QTRY_COMPARE(device.WritesWaiting(), 1);
    if (end == "released")
        device.HoldWrites(false);
    if (end == "purged")
        device.PurgeComm(PURGE_TXABORT | PURGE_TXCLEAR);
    if (end == "stopped") {
        stop = true;
        device.HoldWrites(true); // wakes the wait
    }
    QCOMPARE(wait.get(), waited);
    QCOMPARE(io.transferred, 0);
    const CommIoStatus status = waited == CommIoStatus::Pending ? device.ContinueWrite(io) : waited;
    QCOMPARE(status, result);
    QCOMPARE(int(device.Written().size()), written);
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
