// The play command exchange against the board simulator over a real pseudo-terminal.
#include "Cmd.h"
#include "CommX.h"
#include "SimulatorProcess.h"
#include "TermiosCommDevice.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <climits>
#include <memory>

namespace {

// A simulated board and the panel's serial component opened on it as the link
// selection opens a COM port.
struct Bench {
    QTemporaryDir dir;
    SimulatorProcess board;
    std::unique_ptr<TCommX> comm;

    bool Start(const QStringList& options, bool open = true) {
        if (!dir.isValid() || !board.Start(dir.path(), 1, options))
            return false;
        comm = std::make_unique<TCommX>(
            nullptr, std::make_unique<TTermiosCommDevice>(dir.path().toStdString()));
        comm->SetFlowCtrl(cfcNone);
        comm->SetBitRate(115200);
        comm->SetPortNo(1);
        comm->SetTimeOutReceive(Cmd::ReceiveTimeout);
        if (!open)
            return true;
        comm->Open();
        comm->SetDTR(true);
        comm->SetDTR(false);
        comm->PurgeReceive();
        comm->PurgeTrans();
        return comm->IsOpen();
    }
    // The traffic once it has settled: what the board saw and sent.
    QStringList SettledTraffic(int expected) {
        board.WaitForTraffic(expected, 2000);
        QTest::qWait(100); // anything that should not be there would have arrived by now
        return board.Traffic();
    }
};

} // namespace

class TestCmdExchange : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void playCommandTraffic_data();
    void playCommandTraffic();
    void silentBoardNeverGetsTheCommand();
    void nakIsNotAcceptedAndNotRepeated();
    void unansweredCommandTimesOut();
    void closedPortFailsAtOnce();
    void probeAnswers_data();
    void probeAnswers();
    void attemptBudget_data();
    void attemptBudget();
    void replyLengthZero();
    void replyLengthOutOfRangeIsRefused_data();
    void replyLengthOutOfRangeIsRefused();
    void fullReplyBufferWaitsForAllBytes();
    void pressDuringExchangeIsRefused();

private:
    Bench m_bench; // a normal board, shared by the traffic rows
};

void TestCmdExchange::initTestCase() {
    QVERIFY2(m_bench.Start({}), qPrintable(m_bench.board.ErrorString()));
}

void TestCmdExchange::cleanupTestCase() {
    m_bench.comm->Close();
    QVERIFY(m_bench.board.Stop());
}

void TestCmdExchange::playCommandTraffic_data() {
    QTest::addColumn<int>("flag0");
    QTest::addColumn<int>("flag2");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("command");

    QTest::newRow("motion 1") << 1 << 0 << 0 << "F4 01 00 F5";
    QTest::newRow("motion 80") << 1 << 0 << 79 << "F4 01 4F 44";
    QTest::newRow("scenario 1") << 1 << 0 << 80 << "F4 01 50 45";
    QTest::newRow("scenario 5") << 1 << 0 << 84 << "F4 01 54 49";
    QTest::newRow("255") << 1 << 0 << 255 << "F4 01 FF F4";
    QTest::newRow("-2 from a layout file") << 1 << 0 << -2 << "F4 01 FE F3";
    QTest::newRow("300 sends its low byte") << 1 << 0 << 300 << "F4 01 2C 21";
    QTest::newRow("13 equals the probe byte") << 1 << 0 << 13 << "F4 01 0D 02";
    QTest::newRow("flags 1 1") << 1 << 1 << 0 << "F4 05 00 F9";
    QTest::newRow("flags 0 1") << 0 << 1 << 0 << "F4 04 00 F8";
    QTest::newRow("flags 2 0") << 2 << 0 << 0 << "F4 00 00 F4";
    QTest::newRow("flags 255 255") << 255 << 255 << 0 << "F4 00 00 F4";
}

void TestCmdExchange::playCommandTraffic() {
    QFETCH(int, flag0);
    QFETCH(int, flag2);
    QFETCH(int, number);
    QFETCH(QString, command);

    const int before = m_bench.board.Traffic().size();
    // The panel hands over the play number as the caller's byte, the low 8 bits.
    QVERIFY(Cmd::SendPlayCommand(*m_bench.comm, static_cast<unsigned char>(flag0),
                                 static_cast<unsigned char>(flag2),
                                 static_cast<unsigned char>(number)));
    QVERIFY(m_bench.board.WaitForTraffic(before + 4, 2000));
    QCOMPARE(m_bench.board.Traffic().mid(before),
             (QStringList{"rx 0D", "tx 0D", "rx " + command, "tx 06"}));
}

void TestCmdExchange::silentBoardNeverGetsTheCommand() {
    Bench bench;
    QVERIFY2(bench.Start({"--silent"}), qPrintable(bench.board.ErrorString()));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!Cmd::SendPlayCommand(*bench.comm, 1, 0, 0));
    const qint64 elapsed = timer.elapsed();
    QVERIFY2(elapsed >= 250 && elapsed < 1000, qPrintable(QString::number(elapsed)));
    QCOMPARE(bench.SettledTraffic(1), QStringList{"rx 0D"});
}

void TestCmdExchange::nakIsNotAcceptedAndNotRepeated() {
    Bench bench;
    QVERIFY2(bench.Start({"--nak"}), qPrintable(bench.board.ErrorString()));
    QVERIFY(!Cmd::SendPlayCommand(*bench.comm, 1, 0, 80));
    QCOMPARE(bench.SettledTraffic(4), (QStringList{"rx 0D", "tx 0D", "rx F4 01 50 45", "tx 15"}));
}

void TestCmdExchange::unansweredCommandTimesOut() {
    Bench bench;
    QVERIFY2(bench.Start({"--probe-only"}), qPrintable(bench.board.ErrorString()));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!Cmd::SendPlayCommand(*bench.comm, 1, 0, 84));
    const qint64 elapsed = timer.elapsed();
    QVERIFY2(elapsed >= 250 && elapsed < 1000, qPrintable(QString::number(elapsed)));
    QCOMPARE(bench.SettledTraffic(3), (QStringList{"rx 0D", "tx 0D", "rx F4 01 54 49"}));
}

void TestCmdExchange::closedPortFailsAtOnce() {
    Bench bench;
    QVERIFY2(bench.Start({}, false), qPrintable(bench.board.ErrorString()));
    QVERIFY(!bench.comm->IsOpen());
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!Cmd::SendPlayCommand(*bench.comm, 1, 0, 0));
    QVERIFY2(timer.elapsed() < 150, qPrintable(QString::number(timer.elapsed())));

    QByteArray command = QByteArray::fromHex("F40100F5");
    QByteArray reply = "stale";
    QVERIFY(!Cmd::ExchangeCommand(*bench.comm, command, 1, reply));
    QCOMPARE(command, QByteArray::fromHex("F40100F5"));
    QCOMPARE(reply, QByteArray());
    QCOMPARE(bench.SettledTraffic(0), QStringList());
}

void TestCmdExchange::probeAnswers_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("probeReply");
    QTest::newRow("zero byte") << QStringList{"--probe-reply", "0x00"} << "tx 00";
    QTest::newRow("ACK byte") << QStringList{"--probe-reply", "0x06"} << "tx 06";
    // The second byte must be purged before the command, or it would be taken as the reply.
    QTest::newRow("two bytes") << QStringList{"--probe-reply", "0x15", "--probe-bytes", "2"}
                               << "tx 15 15";
}

void TestCmdExchange::probeAnswers() {
    QFETCH(QStringList, options);
    QFETCH(QString, probeReply);
    Bench bench;
    QVERIFY2(bench.Start(options), qPrintable(bench.board.ErrorString()));
    QVERIFY(Cmd::SendPlayCommand(*bench.comm, 1, 0, 0));
    QCOMPARE(bench.SettledTraffic(4),
             (QStringList{"rx 0D", probeReply, "rx F4 01 00 F5", "tx 06"}));
}

void TestCmdExchange::attemptBudget_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("budget");
    QTest::addColumn<int>("attempts");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("no answer, budget 0") << "--probe-only" << 0 << 1 << false << QByteArray();
    QTest::newRow("no answer, budget 1") << "--probe-only" << 1 << 1 << false << QByteArray();
    QTest::newRow("no answer, budget 2") << "--probe-only" << 2 << 2 << false << QByteArray();
    QTest::newRow("no answer, budget 3") << "--probe-only" << 3 << 3 << false << QByteArray();
    QTest::newRow("no answer, budget -5") << "--probe-only" << -5 << 1 << false << QByteArray();
    // A complete reply ends the exchange whatever it says.
    QTest::newRow("NAK, budget 3") << "--nak" << 3 << 1 << true << QByteArray("\x15");
}

void TestCmdExchange::attemptBudget() {
    QFETCH(QString, mode);
    QFETCH(int, budget);
    QFETCH(int, attempts);
    QFETCH(bool, complete);
    QFETCH(QByteArray, reply);

    Bench bench;
    QVERIFY2(bench.Start({mode}), qPrintable(bench.board.ErrorString()));
    QByteArray command = QByteArray::fromHex("F4014F44");
    QByteArray received;
    QCOMPARE(Cmd::ExchangeCommand(*bench.comm, command, 1, received, budget), complete);
    QCOMPARE(received, reply);
    QCOMPARE(command, reply);

    const QStringList traffic = bench.SettledTraffic(attempts * 3);
    QCOMPARE(traffic.count("rx 0D"), attempts);
    QCOMPARE(traffic.count("rx F4 01 4F 44"), attempts);
}

void TestCmdExchange::replyLengthZero() {
    QByteArray command = QByteArray::fromHex("F4015045");
    QByteArray reply = "stale";
    const int before = m_bench.board.Traffic().size();
    QVERIFY(Cmd::ExchangeCommand(*m_bench.comm, command, 0, reply));
    QCOMPARE(command, QByteArray());
    QCOMPARE(reply, QByteArray());
    // The board still acknowledges; that byte is left for the next exchange's purge.
    QVERIFY(m_bench.board.WaitForTraffic(before + 4, 2000));
    QCOMPARE(m_bench.board.Traffic().mid(before),
             (QStringList{"rx 0D", "tx 0D", "rx F4 01 50 45", "tx 06"}));
    QVERIFY(Cmd::SendPlayCommand(*m_bench.comm, 1, 0, 1));
    // Its traffic, all of it, before the next test counts what follows.
    QVERIFY(m_bench.board.WaitForTraffic(before + 8, 2000));
}

void TestCmdExchange::replyLengthOutOfRangeIsRefused_data() {
    QTest::addColumn<int>("replyLength");
    QTest::newRow("257") << 257;
    QTest::newRow("INT_MAX") << INT_MAX;
    QTest::newRow("-1") << -1;
    QTest::newRow("INT_MIN") << INT_MIN;
}

void TestCmdExchange::replyLengthOutOfRangeIsRefused() {
    QFETCH(int, replyLength);
    const int before = m_bench.board.Traffic().size();
    QByteArray command = QByteArray::fromHex("F40100F5");
    QByteArray reply = "stale";
    QVERIFY(!Cmd::ExchangeCommand(*m_bench.comm, command, replyLength, reply));
    QCOMPARE(reply, QByteArray());
    QCOMPARE(command, QByteArray::fromHex("F40100F5"));
    QTest::qWait(100);
    QCOMPARE(m_bench.board.Traffic().size(), before);
}

void TestCmdExchange::fullReplyBufferWaitsForAllBytes() {
    // 256 is allowed; the board sends only one byte, so no complete reply comes. The
    // board answers late: a byte already waiting would end the read at once.
    Bench bench;
    QVERIFY2(bench.Start({"--delay", "50"}), qPrintable(bench.board.ErrorString()));
    QByteArray command = QByteArray::fromHex("F40100F5");
    QByteArray reply;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!Cmd::ExchangeCommand(*bench.comm, command, Cmd::ReplyBufferSize, reply));
    QVERIFY2(timer.elapsed() >= 250, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(reply, QByteArray());
    QCOMPARE(command, QByteArray());
}

void TestCmdExchange::pressDuringExchangeIsRefused() {
    Bench bench;
    QVERIFY2(bench.Start({"--delay", "100"}), qPrintable(bench.board.ErrorString()));
    bool nestedRan = false;
    bool nestedResult = true;
    qint64 nestedElapsed = -1;
    // A second press arrives while the first waits for the probe answer.
    QTimer::singleShot(30, [&] {
        QElapsedTimer timer;
        timer.start();
        nestedResult = Cmd::SendPlayCommand(*bench.comm, 1, 0, 5);
        nestedElapsed = timer.elapsed();
        nestedRan = true;
    });
    QVERIFY(Cmd::SendPlayCommand(*bench.comm, 1, 0, 0));
    QVERIFY(nestedRan);
    QVERIFY(!nestedResult);
    QVERIFY2(nestedElapsed < 50, qPrintable(QString::number(nestedElapsed)));
    QCOMPARE(bench.SettledTraffic(4), (QStringList{"rx 0D", "tx 0D", "rx F4 01 00 F5", "tx 06"}));
    // The refusal leaves nothing behind: the next press goes through.
    QVERIFY(Cmd::SendPlayCommand(*bench.comm, 1, 0, 5));
}

QTEST_GUILESS_MAIN(TestCmdExchange)
#include "tst_cmdexchange.moc"
