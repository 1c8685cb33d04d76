// The data path of the serial port component on a fake device: Write at once or in chunks
// through the worker and its back-pressure, Read and its time-outs, PurgeTrans,
// half-duplex RTS, and Close while the workers are busy.

#include "FakePort.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <climits>
#include <thread>

namespace {
using Bytes = TFakeCommDevice::Bytes;
using Strings = std::vector<std::string>;

void OpenOrFail(TCommX& comm) {
    const QString message = RaisedMessage([&] { comm.Open(); });
    QVERIFY2(message.isEmpty(), qPrintable(message));
}

Bytes Pattern(int size) {
    Bytes bytes(std::size_t(size), 0);
    for (int i = 0; i < size; ++i)
        bytes[std::size_t(i)] = std::uint8_t(i * 7 + i / 256);
    return bytes;
}

// A component that counts the chunks handed to the transmit worker, and fails the
// hand-over from the chosen chunk on.
class TRefusingCommX : public TCommX {
public:
    using TCommX::TCommX;
    int refuseFrom = INT_MAX; // 1-based number of the first chunk refused
    int posted = 0;

protected:
    bool PostChunk(std::vector<unsigned char>&& chunk) override {
        if (++posted >= refuseFrom)
            return false;
        return TCommX::PostChunk(std::move(chunk));
    }
};

bool HasCall(const Strings& calls, const std::string& text) {
    return std::find(calls.begin(), calls.end(), text) != calls.end();
}

int CountCalls(const Strings& calls, const std::string& prefix) {
    return int(std::count_if(calls.begin(), calls.end(),
                             [&](const std::string& call) { return call.rfind(prefix, 0) == 0; }));
}

qint64 MsBetween(const TFakeCommDevice::Call& a, const TFakeCommDevice::Call& b) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(b.at - a.at).count();
}
} // namespace

class TstCommXData : public QObject {
    Q_OBJECT

private slots:
    void writeNothing_data();
    void writeNothing();
    void writeOnClosedPort();
    void sendCharAndString();
    void chunks_data();
    void chunks();
    void atOnceWhenIdle_data();
    void atOnceWhenIdle();
    void partTakenAtOnce_data();
    void partTakenAtOnce();
    void bytesStayInOrder();
    void writeWaitsAtThirtyTwoChunks();
    void writeEndsWhenClosedDuringWait();
    void failedHandOverNotCounted();
    void failedWriteReported_data();
    void failedWriteReported();
    void readAtOnce();
    void readTimeOut();
    void readKeepsEventLoopTurning();
    void readReturnsWhenByteArrives();
    void readInvalid_data();
    void readInvalid();
    void readEndedFromHandler_data();
    void readEndedFromHandler();
    void readOnVanishedDevice();
    void deviceGoneReportedOnce();
    void readFailureReportsErrors();
    void purgeTransNothingQueued();
    void purgeTransDropsQueued();
    void halfDuplexRts_data();
    void halfDuplexRts();
    void closeWhileWorkersNotify();
    void startWorkersAgain();
    void restartWhileOutputBlocked();
};

void TstCommXData::writeNothing_data() {
    QTest::addColumn<bool>("open");
    QTest::newRow("open") << true;
    QTest::newRow("closed") << false;
}

void TstCommXData::writeNothing() {
    QFETCH(bool, open);
    TFakePort port;
    if (open)
        OpenOrFail(*port.comm);
    const char byte = 'x';
    QVERIFY(port.comm->Write(&byte, 0));
    QVERIFY(port.comm->Write(nullptr, 0));
    QVERIFY(port.comm->SendString(QByteArray()));
    QCOMPARE(port.comm->PendingChunks(), 0);
    QTest::qWait(20);
    QVERIFY(port.fake->WriteSizes().empty());
}

void TstCommXData::writeOnClosedPort() {
    TFakePort port;
    const char bytes[] = "abc";
    QVERIFY(!port.comm->Write(bytes, 3));
    QVERIFY(!port.comm->SendChar(0x0D));
    QVERIFY(!port.comm->SendString("abc"));
    QCOMPARE(port.comm->PendingBytes(), 0);
    QCOMPARE(port.comm->PendingChunks(), 0);
    OpenOrFail(*port.comm);
    QVERIFY(!port.comm->Write(nullptr, 3));
    QVERIFY(!port.comm->Write(bytes, -1));
    QTest::qWait(20);
    QVERIFY(port.fake->WriteSizes().empty());
}

void TstCommXData::sendCharAndString() {
    TFakePort port;
    OpenOrFail(*port.comm);
    QVERIFY(port.comm->SendChar(0x0D));
    QVERIFY(port.comm->SendString(QByteArray::fromHex("F4010050")));
    QVERIFY(port.comm->SendString(QByteArray("\x00\xFF", 2)));
    QTRY_COMPARE(port.fake->Written(), (Bytes{0x0D, 0xF4, 0x01, 0x00, 0x50, 0x00, 0xFF}));
    QTRY_COMPARE(port.comm->PendingBytes(), 0);
    QCOMPARE(port.comm->PendingChunks(), 0);
}

void TstCommXData::chunks_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("bufLenTrans");
    QTest::addColumn<QList<int>>("sizes");
    QTest::newRow("5000 by 2048") << 5000 << 2048 << QList<int>{2048, 2048, 904};
    QTest::newRow("exactly one") << 2048 << 2048 << QList<int>{2048};
    QTest::newRow("one byte") << 1 << 2048 << QList<int>{1};
    QTest::newRow("4096 by 1024") << 4096 << 1024 << QList<int>{1024, 1024, 1024, 1024};
    QTest::newRow("chunk size 0 still moves") << 3 << 0 << QList<int>{1, 1, 1};
}

void TstCommXData::chunks() {
    QFETCH(int, count);
    QFETCH(int, bufLenTrans);
    QFETCH(QList<int>, sizes);

    TFakePort port;
    port.comm->SetBufLenTrans(bufLenTrans); // the fake takes any queue size
    OpenOrFail(*port.comm);
    // Held: the port takes nothing at once, so every chunk goes to the worker.
    port.fake->HoldWrites(true);
    const Bytes data = Pattern(count);
    QVERIFY(port.comm->Write(data.data(), count));
    // Handed over, not yet written: everything is still counted.
    QCOMPARE(port.comm->PendingBytes(), count);
    QCOMPARE(port.comm->PendingChunks(), int(sizes.size()));
    port.fake->HoldWrites(false);
    QTRY_COMPARE(port.comm->PendingChunks(), 0);
    QCOMPARE(port.comm->PendingBytes(), 0);
    const std::vector<int> written = port.fake->WriteSizes();
    QCOMPARE(QList<int>(written.begin(), written.end()), sizes);
    QCOMPARE(port.fake->Written(), data);
}

void TstCommXData::atOnceWhenIdle_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("queued"); // a chunk waits for the worker already
    QTest::addColumn<bool>("atOnce");
    QTest::newRow("cfcNone") << int(cfcNone) << false << true;
    QTest::newRow("cfcRtsCts") << int(cfcRtsCts) << false << true;
    QTest::newRow("cfcDtrDsr") << int(cfcDtrDsr) << false << true;
    QTest::newRow("cfcXonXoff") << int(cfcXonXoff) << false << true;
    QTest::newRow("cfcHalfHigh") << int(cfcHalfHigh) << false << false;
    QTest::newRow("cfcHalfLow") << int(cfcHalfLow) << false << false;
    QTest::newRow("chunk queued") << int(cfcNone) << true << false;
}

void TstCommXData::atOnceWhenIdle() {
    QFETCH(int, mode);
    QFETCH(bool, queued);
    QFETCH(bool, atOnce);
    auto device = std::make_unique<TFakeCommDevice>();
    TFakeCommDevice* fake = device.get();
    TRefusingCommX comm(nullptr, std::move(device));
    comm.SetFlowCtrl(TCommFlowCtrls(mode));
    OpenOrFail(comm);
    Bytes expected;
    if (queued) {
        fake->HoldWrites(true);
        QVERIFY(comm.SendString("first"));
        QTRY_COMPARE(fake->WritesWaiting(), 1);
        expected = {'f', 'i', 'r', 's', 't'};
    }
    fake->ClearCalls();
    const int postedBefore = comm.posted;
    QVERIFY(comm.SendString("second"));
    QCOMPARE(HasCall(fake->Calls(), "WriteNow 6"), atOnce);
    QCOMPARE(comm.posted - postedBefore, atOnce ? 0 : 1);
    if (atOnce) {
        // On the line when Write returns, and never counted as queued.
        QCOMPARE(fake->Written(), (Bytes{'s', 'e', 'c', 'o', 'n', 'd'}));
        QCOMPARE(comm.PendingChunks(), 0);
        QCOMPARE(comm.PendingBytes(), 0);
        QCOMPARE(CountCalls(fake->Calls(), "StartWrite"), 0);
    }
    fake->HoldWrites(false);
    expected.insert(expected.end(), {'s', 'e', 'c', 'o', 'n', 'd'});
    QTRY_COMPARE(fake->Written(), expected);
    QTRY_COMPARE(comm.PendingChunks(), 0);
    QCOMPARE(comm.PendingBytes(), 0);
}

void TstCommXData::partTakenAtOnce_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("room");          // what the port takes at once; -1: everything
    QTest::addColumn<QList<int>>("queued"); // the chunks the worker writes
    // BufLenTrans 2048.
    QTest::newRow("part of one chunk") << 10 << 3 << QList<int>{7};
    QTest::newRow("all but one byte") << 2048 << 2047 << QList<int>{1};
    QTest::newRow("nothing taken") << 10 << 0 << QList<int>{10};
    QTest::newRow("second chunk cut") << 5000 << 3000 << QList<int>{1096, 904};
    QTest::newRow("everything taken") << 5000 << -1 << QList<int>{};
}

void TstCommXData::partTakenAtOnce() {
    QFETCH(int, count);
    QFETCH(int, room);
    QFETCH(QList<int>, queued);
    TFakePort port;
    OpenOrFail(*port.comm);
    port.fake->ClearCalls();
    port.fake->LimitWriteNow(room);
    const Bytes data = Pattern(count);
    QVERIFY(port.comm->Write(data.data(), count));
    const Strings calls = port.fake->Calls();
    QVERIFY(!calls.empty());
    QCOMPARE(QString::fromStdString(calls.front()),
             QString("WriteNow %1").arg(std::min(count, 2048)));
    QTRY_COMPARE(port.comm->PendingChunks(), 0);
    QCOMPARE(port.comm->PendingBytes(), 0);
    // The worker wrote exactly what the port did not take, after it.
    const std::vector<int> sizes = port.fake->WriteSizes();
    QCOMPARE(QList<int>(sizes.begin(), sizes.end()), queued);
    QCOMPARE(port.fake->Written(), data);
}

void TstCommXData::bytesStayInOrder() {
    TFakePort port;
    // Small chunks, but fewer than 32 behind the held write, or Write would wait for it.
    port.comm->SetBufLenTrans(16);
    OpenOrFail(*port.comm);
    Bytes expected;
    for (int i = 0; i < 30; ++i) {
        // Written at once, then queued behind a held write, then both while the queue
        // drains, then partly at once.
        if (i == 8)
            port.fake->HoldWrites(true);
        if (i == 16)
            port.fake->HoldWrites(false);
        if (i == 22)
            port.fake->LimitWriteNow(5);
        Bytes part(std::size_t(i * 3 + 1));
        for (std::size_t k = 0; k < part.size(); ++k)
            part[k] = std::uint8_t(i * 31 + int(k));
        expected.insert(expected.end(), part.begin(), part.end());
        QVERIFY(port.comm->Write(part.data(), int(part.size())));
    }
    QTRY_COMPARE(port.fake->Written(), expected);
    QVERIFY(CountCalls(port.fake->Calls(), "WriteNow") > 0);
    QVERIFY(!port.fake->WriteSizes().empty());
}

void TstCommXData::writeWaitsAtThirtyTwoChunks() {
    TFakePort port;
    port.comm->SetBufLenTrans(16);
    OpenOrFail(*port.comm);
    port.fake->HoldWrites(true);

    int ticks = 0;
    int chunksWhileWaiting = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] {
        ++ticks;
        chunksWhileWaiting = std::max(chunksWhileWaiting, port.comm->PendingChunks());
        if (ticks == 5)
            port.fake->HoldWrites(false); // the board starts taking bytes again
    });
    ticker.start(10);

    const Bytes data = Pattern(40 * 16);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(port.comm->Write(data.data(), int(data.size())));
    const int ticksDuringWrite = ticks;
    ticker.stop();
    // The event loop kept turning while Write waited with 32 chunks outstanding.
    QVERIFY2(ticksDuringWrite >= 5, qPrintable(QString::number(ticksDuringWrite)));
    QCOMPARE(chunksWhileWaiting, MaxPendingChunks);
    QTRY_COMPARE(port.fake->Written(), data);
    QCOMPARE(port.comm->PendingChunks(), 0);
}

void TstCommXData::writeEndsWhenClosedDuringWait() {
    TFakePort port;
    port.comm->SetBufLenTrans(4);
    OpenOrFail(*port.comm);
    port.fake->HoldWrites(true);
    QTimer::singleShot(30, this, [&] { port.comm->Close(); });
    const Bytes data = Pattern(4 * 40);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!port.comm->Write(data.data(), int(data.size())));
    QVERIFY(timer.elapsed() < 2000);
    QVERIFY(!port.comm->IsOpen());
    QCOMPARE(port.comm->PendingBytes(), 0);
}

void TstCommXData::failedHandOverNotCounted() {
    auto device = std::make_unique<TFakeCommDevice>();
    TFakeCommDevice* fake = device.get();
    TRefusingCommX comm(nullptr, std::move(device));
    comm.refuseFrom = 2;
    comm.SetBufLenTrans(100);
    OpenOrFail(comm);
    // The port takes 30 bytes at once, the worker gets the rest of the first chunk, and
    // the second chunk is refused.
    fake->LimitWriteNow(30);
    const Bytes data = Pattern(250);
    // Bytes that did not reach the worker are not reported as handed over.
    QVERIFY(!comm.Write(data.data(), 250));
    QCOMPARE(comm.posted, 2);
    QTRY_COMPARE(fake->Written(), Bytes(data.begin(), data.begin() + 100));
    QTRY_COMPARE(comm.PendingChunks(), 0);
    QCOMPARE(comm.PendingBytes(), 0);
    QElapsedTimer timer;
    timer.start();
    comm.PurgeTrans();
    QVERIFY(timer.elapsed() < 150);
    comm.Close();
    QVERIFY(timer.elapsed() < 2000);
}

void TstCommXData::failedWriteReported_data() {
    QTest::addColumn<bool>("atOnce");
    QTest::newRow("written at once") << true;
    QTest::newRow("written by the worker") << false;
}

void TstCommXData::failedWriteReported() {
    QFETCH(bool, atOnce);
    TFakePort port;
    QList<int> states;
    port.comm->SetOnError([&](QObject*, int state) { states << state; });
    OpenOrFail(*port.comm);
    if (atOnce) {
        port.fake->Refuse("WriteNow", 1);
    } else {
        port.fake->LimitWriteNow(0);
        port.fake->Refuse("StartWrite", 1);
    }
    port.fake->InjectLineEvent(0, CE_FRAME);
    QVERIFY(port.comm->SendString("lost"));
    if (atOnce) {
        // Given up at once: nothing stays counted, and the report comes through the
        // event loop as from the worker, not inside Write.
        QCOMPARE(port.comm->PendingChunks(), 0);
        QCOMPARE(port.comm->PendingBytes(), 0);
        QVERIFY(states.isEmpty());
    }
    QVERIFY(port.comm->SendString("next"));
    QTRY_COMPARE(states, QList<int>{8});
    QTRY_COMPARE(port.comm->PendingChunks(), 0);
    QCOMPARE(port.comm->PendingBytes(), 0);
    // The failed bytes are given up; the next ones still go.
    QTRY_COMPARE(port.fake->Written(), (Bytes{'n', 'e', 'x', 't'}));
    if (atOnce)
        QCOMPARE(CountCalls(port.fake->Calls(), "StartWrite"), 0);
}

void TstCommXData::readAtOnce() {
    TFakePort port;
    OpenOrFail(*port.comm);
    port.fake->PushInput({0x06, 0x07});
    unsigned char buffer[4] = {};
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(port.comm->Read(buffer, 1), 1);
    QCOMPARE(int(buffer[0]), 0x06);
    // Bytes that are waiting come back at once, even fewer than asked for.
    QCOMPARE(port.comm->Read(buffer, 4), 1);
    QCOMPARE(int(buffer[0]), 0x07);
    QVERIFY(timer.elapsed() < 150);
    QCOMPARE(port.comm->Read(buffer, 0), 0);
}

void TstCommXData::readTimeOut() {
    TFakePort port;
    port.comm->SetTimeOutReceive(300);
    OpenOrFail(*port.comm);
    unsigned char buffer[1];
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(port.comm->Read(buffer, 1), 0);
    QVERIFY2(timer.elapsed() >= 250 && timer.elapsed() < 1000,
             qPrintable(QString::number(timer.elapsed())));
}

void TstCommXData::readKeepsEventLoopTurning() {
    TFakePort port;
    port.comm->SetTimeOutReceive(300);
    OpenOrFail(*port.comm);
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
    ticker.start(5);
    unsigned char buffer[1];
    QCOMPARE(port.comm->Read(buffer, 1), 0);
    QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
}

void TstCommXData::readReturnsWhenByteArrives() {
    TFakePort port;
    OpenOrFail(*port.comm);
    std::thread board([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        port.fake->PushInput({0x06});
    });
    unsigned char buffer[1] = {};
    QElapsedTimer timer;
    timer.start();
    const int n = port.comm->Read(buffer, 1);
    board.join();
    QCOMPARE(n, 1);
    QCOMPARE(int(buffer[0]), 0x06);
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
}

void TstCommXData::readInvalid_data() {
    QTest::addColumn<bool>("open");
    QTest::addColumn<bool>("nullBuffer");
    QTest::newRow("null buffer") << true << true;
    QTest::newRow("closed") << false << false;
    QTest::newRow("closed, null buffer") << false << true;
}

void TstCommXData::readInvalid() {
    QFETCH(bool, open);
    QFETCH(bool, nullBuffer);
    TFakePort port;
    if (open)
        OpenOrFail(*port.comm);
    port.fake->PushInput({1});
    unsigned char buffer[1];
    QCOMPARE(port.comm->Read(nullBuffer ? nullptr : buffer, 1), -1);
}

void TstCommXData::readEndedFromHandler_data() {
    QTest::addColumn<QString>("action");
    QTest::newRow("PurgeReceive") << "purge";
    QTest::newRow("Close") << "close";
    QTest::newRow("Close and Open") << "reopen";
}

void TstCommXData::readEndedFromHandler() {
    QFETCH(QString, action);
    TFakePort port;
    OpenOrFail(*port.comm);
    QTimer::singleShot(50, this, [&] {
        if (action == "purge")
            port.comm->PurgeReceive();
        else
            port.comm->Close();
        if (action == "reopen") {
            port.comm->Open();
            port.fake->PushInput({1});
        }
    });
    unsigned char buffer[1];
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(port.comm->Read(buffer, 1), -1);
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(port.comm->IsOpen(), action != "close");
}

void TstCommXData::readOnVanishedDevice() {
    TFakePort port;
    OpenOrFail(*port.comm);
    std::thread unplug([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        port.fake->Vanish();
    });
    unsigned char buffer[1];
    QElapsedTimer timer;
    timer.start();
    const int n = port.comm->Read(buffer, 1);
    unplug.join();
    QCOMPARE(n, -1);
    QVERIFY(timer.elapsed() < 1000);
    QCOMPARE(port.comm->Read(buffer, 1), -1);
    // Refused at once, and nothing stays counted.
    QVERIFY(!port.comm->SendChar(1));
    QCOMPARE(port.comm->PendingChunks(), 0);
    QCOMPARE(port.comm->PendingBytes(), 0);
    timer.restart();
    port.comm->Close();
    QVERIFY(timer.elapsed() < 2000);
}

// An unplugged device is reported once; from then on writes and reads fail at once,
// without asking the device, until the port is opened again.
void TstCommXData::deviceGoneReportedOnce() {
    TFakePort port;
    QStringList events;
    port.comm->SetOnDeviceGone([&](QObject* sender) {
        QCOMPARE(sender, port.comm.get());
        events << "gone";
    });
    port.comm->SetOnBreak([&](QObject*) { events << "break"; });
    OpenOrFail(*port.comm);
    QVERIFY(!port.comm->DeviceGone());
    port.fake->Vanish();
    QTRY_COMPARE(events, QStringList{"gone"});
    QVERIFY(port.comm->DeviceGone());
    port.fake->ClearCalls();
    unsigned char buffer[1];
    QVERIFY(!port.comm->SendChar(1));
    QVERIFY(!port.comm->SendString("abc"));
    QCOMPARE(port.comm->Read(buffer, 1), -1);
    QCOMPARE(Texts(port.fake->Calls()), QStringList());
    QCOMPARE(port.comm->PendingBytes(), 0);
    // Later line events come through alone.
    port.fake->InjectLineEvent(EV_BREAK, 0);
    QTRY_COMPARE(events, (QStringList{"gone", "break"}));

    port.comm->Close();
    QVERIFY(!port.comm->DeviceGone());
    OpenOrFail(*port.comm);
    QVERIFY(!port.comm->DeviceGone());
    QVERIFY(port.comm->SendChar(1));
    QTRY_COMPARE(port.fake->Written(), Bytes{1});
}

void TstCommXData::readFailureReportsErrors() {
    TFakePort port;
    QList<int> states;
    port.comm->SetOnError([&](QObject*, int state) { states << state; });
    OpenOrFail(*port.comm);
    port.fake->Refuse("StartRead", 1);
    port.fake->InjectLineEvent(0, CE_OVERRUN | CE_BREAK);
    unsigned char buffer[1];
    QCOMPARE(port.comm->Read(buffer, 1), -1);
    // Reported at once, before Read returns.
    QCOMPARE(states, QList<int>{2});
}

void TstCommXData::purgeTransNothingQueued() {
    TFakePort port;
    OpenOrFail(*port.comm);
    port.fake->ClearCalls();
    QElapsedTimer timer;
    timer.start();
    port.comm->PurgeTrans();
    QVERIFY(timer.elapsed() < 150);
    QCOMPARE(port.comm->PendingBytes(), 0);
    QCOMPARE(Texts(port.fake->Calls()), Texts(Strings{"PurgeComm 5"}));
}

void TstCommXData::purgeTransDropsQueued() {
    TFakePort port;
    port.comm->SetBufLenTrans(10);
    OpenOrFail(*port.comm);
    port.fake->HoldWrites(true);
    const Bytes data = Pattern(100);
    QVERIFY(port.comm->Write(data.data(), 100));
    QTRY_COMPARE(port.fake->WritesWaiting(), 1);
    QCOMPARE(port.comm->PendingChunks(), 10);
    port.comm->PurgeTrans();
    QCOMPARE(port.comm->PendingBytes(), 0);
    QCOMPARE(port.comm->PendingChunks(), 0);
    // The write held in the driver was aborted; nothing queued reached the line.
    QVERIFY(port.fake->Written().empty());
    QCOMPARE(port.fake->WriteSizes().size(), std::size_t(1));
    // Sending works again afterwards.
    port.fake->HoldWrites(false);
    QVERIFY(port.comm->SendString("ok"));
    QTRY_COMPARE(port.fake->Written(), (Bytes{'o', 'k'}));
}

void TstCommXData::halfDuplexRts_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::newRow("cfcHalfHigh") << int(cfcHalfHigh) << "EscapeCommFunction 3"
                                 << "EscapeCommFunction 4";
    QTest::newRow("cfcHalfLow") << int(cfcHalfLow) << "EscapeCommFunction 4"
                                << "EscapeCommFunction 3";
    QTest::newRow("cfcNone") << int(cfcNone) << ""
                             << "";
    QTest::newRow("cfcRtsCts") << int(cfcRtsCts) << ""
                               << "";
    QTest::newRow("cfcXonXoff") << int(cfcXonXoff) << ""
                                << "";
}

void TstCommXData::halfDuplexRts() {
    QFETCH(int, mode);
    QFETCH(QString, before);
    QFETCH(QString, after);
    TFakePort port;
    port.comm->SetFlowCtrl(TCommFlowCtrls(mode));
    port.comm->SetBufLenTrans(2);
    OpenOrFail(*port.comm);
    QCOMPARE(port.comm->CharTime(), 2);
    port.fake->ClearCalls();
    // One burst of three chunks.
    const auto posted = TFakeCommDevice::Clock::now();
    QVERIFY(port.comm->SendString("abcdef"));
    const auto lineCalls = [&] {
        std::vector<TFakeCommDevice::Call> calls;
        for (const auto& call : port.fake->TimedCalls()) {
            if (call.text.rfind("Escape", 0) == 0 || call.text.rfind("StartWrite", 0) == 0 ||
                call.text.rfind("WriteNow", 0) == 0 || call.text.rfind("WaitTransmitted", 0) == 0)
                calls.push_back(call);
        }
        return calls;
    };
    QTRY_COMPARE(port.comm->PendingChunks(), 0);
    if (before.isEmpty())
        QTest::qWait(20);
    else
        QTRY_COMPARE(lineCalls().size(), std::size_t(6));
    const std::vector<TFakeCommDevice::Call> calls = lineCalls();
    Strings texts;
    for (const auto& call : calls)
        texts.push_back(call.text);
    if (before.isEmpty()) {
        // Nothing to turn round: the port takes each chunk at once.
        QCOMPARE(Texts(texts), Texts(Strings{"WriteNow 2", "WriteNow 2", "WriteNow 2"}));
        return;
    }
    // The worker sends every chunk, between the turns of the line.
    QCOMPARE(Texts(texts),
             Texts(Strings{before.toStdString(), "StartWrite 2", "StartWrite 2", "StartWrite 2",
                           "WaitTransmitted 5000", after.toStdString()}));
    // 50 ms after the burst began, RTS turns; CharTime (2 ms) later the writing starts;
    // CharTime after the last bytes have left, RTS turns back.
    const TFakeCommDevice::Call start{"", posted};
    QVERIFY2(MsBetween(start, calls[0]) >= 50,
             qPrintable(QString::number(MsBetween(start, calls[0]))));
    QVERIFY(MsBetween(calls[0], calls[1]) >= 2);
    QVERIFY(MsBetween(calls[4], calls[5]) >= 2);
    QCOMPARE(port.fake->Rts(), mode == cfcHalfLow);
}

void TstCommXData::closeWhileWorkersNotify() {
    TFakePort port;
    std::atomic<int> errors{0};
    bool closed = false;
    int errorsAfterClose = 0;
    port.comm->SetOnError([&](QObject*, int) {
        ++errors;
        if (closed)
            ++errorsAfterClose;
    });
    port.comm->SetBufLenTrans(8);
    OpenOrFail(*port.comm);
    // Every write of the worker fails and reports, the line keeps raising errors, and
    // Close comes in the middle of it without letting any event run.
    port.fake->LimitWriteNow(0);
    port.fake->Refuse("StartWrite", 0);
    std::atomic<bool> stop{false};
    std::thread line([&] {
        while (!stop) {
            port.fake->InjectLineEvent(EV_ERR | EV_RXCHAR, CE_OVERRUN, {1});
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    const Bytes data = Pattern(8 * 30);
    QVERIFY(port.comm->Write(data.data(), int(data.size())));
    QElapsedTimer timer;
    timer.start();
    port.comm->Close();
    closed = true;
    const qint64 closeMs = timer.elapsed();
    const std::size_t callsAtClose = port.fake->Calls(true).size();
    QTest::qWait(50);
    stop = true;
    line.join();
    QVERIFY2(closeMs < 2000, qPrintable(QString::number(closeMs)));
    QCOMPARE(errorsAfterClose, 0);
    // After Close returned no worker touched the port again.
    QCOMPARE(port.fake->Calls(true).size(), callsAtClose);
    QCOMPARE(port.comm->PendingBytes(), 0);
}

void TstCommXData::startWorkersAgain() {
    TFakePort port;
    port.comm->StartWorkers(); // closed: nothing to start
    QVERIFY(!port.comm->SendChar(1));
    QCOMPARE(port.comm->CharTime(), 0);

    OpenOrFail(*port.comm);
    port.fake->HoldWrites(true);
    QVERIFY(port.comm->SendString("held"));
    QTRY_COMPARE(port.fake->WritesWaiting(), 1);
    // The old workers are stopped (their held write given up), new ones take over.
    port.comm->StartWorkers();
    QCOMPARE(port.comm->PendingChunks(), 0);
    QCOMPARE(port.comm->CharTime(), 2);
    port.fake->HoldWrites(false);
    QVERIFY(port.comm->SendString("new"));
    QTRY_COMPARE(port.fake->Written(), (Bytes{'n', 'e', 'w'}));
    int received = 0;
    port.comm->SetOnReceive([&](QObject*, int) { ++received; });
    port.fake->PushInput({1});
    QTRY_COMPARE(received, 1);
}

// The workers are started again while the transmit worker, on a port that takes
// nothing, is between taking a chunk and starting its write: the stop must still end
// that write at once instead of leaving it to wait for the port (for the whole write
// time-out, or for ever without one).
void TstCommXData::restartWhileOutputBlocked() {
    TFakePort port;
    port.comm->SetTimeOutTrans(200);
    OpenOrFail(*port.comm);
    port.fake->HoldWrites(true);
    std::atomic<bool> starting{false};
    // Held there until the stop request has been made and its purge is over.
    port.fake->BeforeNextStartWrite([&] {
        starting = true;
        port.fake->WaitForCall("PurgeComm 1");
    });
    QVERIFY(port.comm->SendString("held"));
    QTRY_VERIFY(starting);
    QVERIFY(port.comm->SendString("queued"));
    port.fake->ClearCalls();
    port.comm->StartWorkers();
    const Strings calls = port.fake->Calls();
    QCOMPARE(CountCalls(calls, "WaitWrite"), 0);
    QCOMPARE(port.comm->PendingChunks(), 0);
    QCOMPARE(port.comm->PendingBytes(), 0);
    QVERIFY(port.fake->Written().empty());
    port.fake->HoldWrites(false);
    QVERIFY(port.comm->SendString("new"));
    QTRY_COMPARE(port.fake->Written(), (Bytes{'n', 'e', 'w'}));
}

QTEST_GUILESS_MAIN(TstCommXData)
#include "tst_commxdata.moc"
