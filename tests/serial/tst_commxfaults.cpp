// Faults under the serial port component, on the fake device and on a pseudo-terminal:
// the device going away while a Write waits on a full queue, PurgeTrans and Close while
// the line takes nothing, and what an open port leaves behind once closed.
#include "FakePort.h"
#include "PtyPair.h"
#include "TermiosCommDevice.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <thread>

namespace {

int CountEntries(const char* folder) {
    return int(
        QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}

// Descriptors and threads of this process.
struct Resources {
    int fds = CountEntries("/proc/self/fd");
    int tasks = CountEntries("/proc/self/task");
};

// The component on the fake device or on a pseudo-terminal linked as ports/COM5, with
// one way to make its device go away.
struct Line {
    explicit Line(bool onPty) {
        if (onPty) {
            pty = std::make_unique<TPtyPair>(5);
            comm = std::make_unique<TCommX>(
                nullptr, std::make_unique<TTermiosCommDevice>(pty->Folder().toStdString()));
            comm->SetPortNo(5);
        } else {
            auto device = std::make_unique<TFakeCommDevice>();
            fake = device.get();
            comm = std::make_unique<TCommX>(nullptr, std::move(device));
        }
        comm->SetFlowCtrl(cfcNone);
        comm->SetBitRate(115200);
    }
    bool Valid() const { return !pty || pty->IsValid(); }
    // Leaves the port unable to take more: the fake holds its writes; the pseudo-terminal
    // is filled with filler bytes that nobody reads at the other end.
    void BlockOutput(char filler) {
        if (fake) {
            fake->HoldWrites(true);
            return;
        }
        const QByteArray block(4096, filler);
        while (::write(int(comm->Handle()), block.constData(), size_t(block.size())) > 0) {
        }
    }
    void Unplug() {
        if (fake)
            fake->Vanish();
        else
            pty->CloseMaster();
    }

    std::unique_ptr<TPtyPair> pty;
    TFakeCommDevice* fake = nullptr;
    std::unique_ptr<TCommX> comm;
};

QString OpenMessage(TCommX& comm) {
    return RaisedMessage([&] { comm.Open(); });
}

} // namespace

class TstCommXFaults : public QObject {
    Q_OBJECT

private slots:
    void goneDuringFullQueueWrite_data();
    void goneDuringFullQueueWrite();
    void purgeTransWhileLineBlocked();
    void closeWhileBothWorkersBusy_data();
    void closeWhileBothWorkersBusy();
};

void TstCommXFaults::goneDuringFullQueueWrite_data() {
    QTest::addColumn<bool>("onPty");
    QTest::newRow("fake device unplugged") << false;
    QTest::newRow("pseudo-terminal hung up") << true;
}

// Write waits while 32 chunks are outstanding; the device going away meanwhile must end
// the wait with false and leave nothing counted, however long the write time-out.
void TstCommXFaults::goneDuringFullQueueWrite() {
    QFETCH(bool, onPty);
    Line line(onPty);
    QVERIFY(line.Valid());
    int gone = 0;
    line.comm->SetOnDeviceGone([&](QObject*) { ++gone; });
    line.comm->SetTimeOutTrans(60000);
    line.comm->SetBufLenTrans(onPty ? 1024 : 16);
    QCOMPARE(OpenMessage(*line.comm), QString());
    line.BlockOutput('w');

    int maxChunks = 0;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        maxChunks = std::max(maxChunks, line.comm->PendingChunks());
        if (maxChunks == MaxPendingChunks)
            line.Unplug();
    });
    watch.start(5);
    // Far more than the queue takes.
    const QByteArray data(line.comm->BufLenTrans() * (MaxPendingChunks * 4), 'w');
    QElapsedTimer timer;
    timer.start();
    const bool written = line.comm->SendString(data);
    watch.stop();
    QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(maxChunks, MaxPendingChunks);
    QVERIFY(!written);
    QTRY_COMPARE(line.comm->PendingChunks(), 0);
    QCOMPARE(line.comm->PendingBytes(), 0);
    QVERIFY(line.comm->DeviceGone());
    QTRY_COMPARE(gone, 1);
    QVERIFY(!line.comm->SendChar(1));
    timer.restart();
    line.comm->Close();
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
}

// The purge aborts a write that waits for the line: it returns, nothing stays counted,
// and what is sent afterwards arrives whole, after whatever had left before the purge.
void TstCommXFaults::purgeTransWhileLineBlocked() {
    Line line(true);
    QVERIFY(line.Valid());
    line.comm->SetTimeOutTrans(60000);
    QCOMPARE(OpenMessage(*line.comm), QString());
    line.BlockOutput('p');
    const QByteArray data(line.comm->BufLenTrans() * (MaxPendingChunks / 2), 'p');
    QVERIFY(line.comm->SendString(data));
    QVERIFY(line.comm->PendingChunks() > 0);
    QElapsedTimer timer;
    timer.start();
    line.comm->PurgeTrans();
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(line.comm->PendingBytes(), 0);
    QCOMPARE(line.comm->PendingChunks(), 0);

    QVERIFY(line.comm->SendString("after"));
    QByteArray received;
    QTRY_VERIFY_WITH_TIMEOUT((received += line.pty->ReadMaster(1 << 20, 50)).endsWith("after"),
                             5000);
    received.chop(5);
    QCOMPARE(received, QByteArray(received.size(), 'p'));
    line.comm->Close();
}

void TstCommXFaults::closeWhileBothWorkersBusy_data() {
    QTest::addColumn<bool>("onPty");
    QTest::newRow("fake device") << false;
    QTest::newRow("pseudo-terminal") << true;
}

// The transmit worker waits for a line that takes nothing while the receive worker
// reports a stream of bytes; Close ends both at once, fires nothing afterwards and
// leaves no descriptor or thread behind.
void TstCommXFaults::closeWhileBothWorkersBusy() {
    QFETCH(bool, onPty);
    Line line(onPty);
    QVERIFY(line.Valid());
    const Resources before;
    int received = 0;
    bool closed = false;
    int afterClose = 0;
    line.comm->SetOnReceive([&](QObject*, int) {
        ++received;
        afterClose += closed;
        line.comm->PurgeReceive();
    });
    line.comm->SetTimeOutTrans(60000);
    QCOMPARE(OpenMessage(*line.comm), QString());
    line.BlockOutput('c');
    QVERIFY(line.comm->SendString(QByteArray(line.comm->BufLenTrans() * 8, 'c')));

    std::atomic<bool> stop{false};
    std::thread board([&] {
        while (!stop) {
            if (line.fake)
                line.fake->PushInput({1, 2, 3});
            else
                line.pty->WriteMaster("stream");
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    });
    QTRY_VERIFY(received > 3);
    QVERIFY(line.comm->PendingChunks() > 0);
    QElapsedTimer timer;
    timer.start();
    line.comm->Close();
    closed = true;
    const qint64 ms = timer.elapsed();
    QTest::qWait(50);
    stop = true;
    board.join();
    QVERIFY2(ms < 2000, qPrintable(QString::number(ms)));
    QCOMPARE(afterClose, 0);
    QCOMPARE(line.comm->PendingBytes(), 0);
    QCOMPARE(line.comm->PendingChunks(), 0);
    const Resources after;
    QCOMPARE(after.fds, before.fds);
    QCOMPARE(after.tasks, before.tasks);
}

QTEST_GUILESS_MAIN(TstCommXFaults)
#include "tst_commxfaults.moc"
