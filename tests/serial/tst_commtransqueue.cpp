// The transmit queue on its own: when a writer waiting on a full queue is woken.

#include "CommTransQueue.h"
#include "CommTypes.h"

#include <QElapsedTimer>
#include <QTest>

#include <chrono>
#include <thread>

class TstCommTransQueue : public QObject {
    Q_OBJECT

private slots:
    void writerWokenAtHalf_data();
    void writerWokenAtHalf();
};

void TstCommTransQueue::writerWokenAtHalf_data() {
    QTest::addColumn<int>("done");
    QTest::addColumn<bool>("woken");
    QTest::newRow("one chunk done") << 1 << false;
    QTest::newRow("one short of half") << MaxPendingChunks / 2 - 1 << false;
    QTest::newRow("half done") << MaxPendingChunks / 2 << true;
    QTest::newRow("all done") << MaxPendingChunks << true;
}

// The writer sleeps through single chunks done and wakes to post a batch.
void TstCommTransQueue::writerWokenAtHalf() {
    QFETCH(int, done);
    QFETCH(bool, woken);
    TCommTransQueue queue;
    for (int i = 0; i < MaxPendingChunks; ++i)
        queue.CountIn(10);
    std::thread worker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        for (int i = 0; i < done; ++i)
            queue.CountOff(10);
    });
    QElapsedTimer timer;
    timer.start();
    const bool room = queue.WaitForRoom(std::chrono::milliseconds(1000));
    const qint64 waited = timer.elapsed();
    worker.join();
    QVERIFY(room);
    QVERIFY2((waited < 900) == woken, qPrintable(QString::number(waited)));
    QCOMPARE(queue.PendingBytes(), 10 * (MaxPendingChunks - done));
}

QTEST_GUILESS_MAIN(TstCommTransQueue)
#include "tst_commtransqueue.moc"
