// Presses against a board that misbehaves (garbage, late, twice, a stream that never
// stops), and long runs of presses that must leave nothing behind.
#include "Cmd.h"
#include "CommX.h"
#include "FakeBytes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>
#include <utility>

namespace {

QByteArray PlayCommand(int number) {
    QByteArray command;
    command.append(char(Cmd::PlayCommandCode)).append(char(1)).append(char(number));
    Cmd::AppendChecksum(command);
    return command;
}

int CountEntries(const char* folder) {
    return int(
        QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}

// A board on its own thread: it watches what reaches the fake device and answers each
// probe byte and each play command, the first press's answers after the given delays;
// it may also send a byte stream that never stops.
class TScriptedBoard {
public:
    TScriptedBoard(TFakeCommDevice& fake, QByteArray probeReply, QByteArray commandReply)
        : m_fake(fake), m_probeReply(std::move(probeReply)),
          m_commandReply(std::move(commandReply)) {}
    ~TScriptedBoard() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    void Start(int firstProbeDelayMs, int firstCommandDelayMs, bool stream) {
        m_thread = std::thread([=, this] { Run(firstProbeDelayMs, firstCommandDelayMs, stream); });
    }
    // Everything written so far has been answered.
    bool Idle() const { return m_answered == m_fake.Written().size(); }

private:
    void Run(int probeDelayMs, int commandDelayMs, bool stream) {
        std::size_t seen = 0;
        while (!m_stop) {
            if (stream)
                m_fake.PushInput({0x55});
            const Bytes written = m_fake.Written();
            if (written.size() > seen) {
                // A probe byte alone, or a whole play command.
                const bool probe = written[seen] == Cmd::ProbeByte;
                const std::size_t size = probe ? 1 : 4;
                if (written.size() - seen >= size) {
                    const int delay =
                        probe ? std::exchange(probeDelayMs, 0) : std::exchange(commandDelayMs, 0);
                    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
                    m_fake.PushInput(ToBytes(probe ? m_probeReply : m_commandReply));
                    seen += size;
                    m_answered = seen;
                    continue;
                }
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }

    TFakeCommDevice& m_fake;
    const QByteArray m_probeReply;
    const QByteArray m_commandReply;
    std::atomic<bool> m_stop{false};
    std::atomic<std::size_t> m_answered{0};
    std::thread m_thread;
};

} // namespace

class TestCmdFaults : public QObject {
    Q_OBJECT
private slots:
    void misbehavingBoard_data();
    void misbehavingBoard();
    void manyPressesLeaveNothingBehind();
};

void TestCmdFaults::misbehavingBoard_data() {
    QTest::addColumn<QByteArray>("probeReply");
    QTest::addColumn<QByteArray>("commandReply");
    QTest::addColumn<int>("probeDelay");           // ms, first press only
    QTest::addColumn<int>("commandDelay");         // ms, first press only
    QTest::addColumn<bool>("stream");              // 0x55 without end besides the answers
    QTest::addColumn<QList<bool>>("acknowledged"); // of two presses
    QTest::addColumn<QList<bool>>("commandSent");

    const QByteArray ack("\x06", 1);
    const QByteArray cr("\x0D", 1);
    QTest::newRow("garbage after the probe")
        << QByteArray("\xFF\x00\x06zz", 5) << ack << 0 << 0 << false << QList<bool>{true, true}
        << QList<bool>{true, true};
    QTest::newRow("garbage for an answer") << cr << QByteArray("\x15\x06\xFF", 3) << 0 << 0 << false
                                           << QList<bool>{false, false} << QList<bool>{true, true};
    QTest::newRow("everything answered twice")
        << cr + cr << ack + ack << 0 << 0 << false << QList<bool>{true, true}
        << QList<bool>{true, true};
    // A late answer arrives between the presses; the next press purges it first.
    QTest::newRow("probe answered late")
        << ack << ack << 450 << 0 << false << QList<bool>{false, true} << QList<bool>{false, true};
    QTest::newRow("command answered late")
        << cr << ack << 0 << 450 << false << QList<bool>{false, true} << QList<bool>{true, true};
    QTest::newRow("stream that never stops")
        << QByteArray() << QByteArray() << 0 << 0 << true << QList<bool>{false, false}
        << QList<bool>{true, true};
    QTest::newRow("stream besides the answers")
        << cr << ack << 0 << 0 << true << QList<bool>() << QList<bool>{true, true};
}

// Whatever the board sends, each press ends within its two receive time-outs and the
// line carries only probe bytes and whole, unchanged play commands.
void TestCmdFaults::misbehavingBoard() {
    QFETCH(QByteArray, probeReply);
    QFETCH(QByteArray, commandReply);
    QFETCH(int, probeDelay);
    QFETCH(int, commandDelay);
    QFETCH(bool, stream);
    QFETCH(QList<bool>, acknowledged);
    QFETCH(QList<bool>, commandSent);

    auto device = std::make_unique<TFakeCommDevice>();
    TFakeCommDevice* fake = device.get();
    TCommX comm(nullptr, std::move(device));
    comm.SetTimeOutReceive(Cmd::ReceiveTimeout);
    comm.Open();
    TScriptedBoard board(*fake, probeReply, commandReply);
    board.Start(probeDelay, commandDelay, stream);

    QByteArray expected;
    QList<bool> results;
    for (int press = 0; press < commandSent.size(); ++press) {
        QElapsedTimer timer;
        timer.start();
        results << Cmd::SendPlayCommand(comm, 1, 0, static_cast<unsigned char>(press + 40));
        QVERIFY2(timer.elapsed() < 3 * Cmd::ReceiveTimeout,
                 qPrintable(QString::number(timer.elapsed())));
        expected += char(Cmd::ProbeByte);
        if (commandSent[press])
            expected += PlayCommand(press + 40);
        QTRY_VERIFY(board.Idle());
        QCOMPARE(FromBytes(fake->Written()).toHex(' '), expected.toHex(' '));
    }
    if (!acknowledged.isEmpty())
        QCOMPARE(results, acknowledged);
    QCOMPARE(comm.PendingChunks(), 0);
    QCOMPARE(comm.PendingBytes(), 0);
    comm.Close();
}

// Ten thousand presses in a row: every one acknowledged, the transmit counters back at 0,
// and once the port is closed no descriptor or thread is left (leaks are the leak
// checker's).
void TestCmdFaults::manyPressesLeaveNothingBehind() {
    constexpr int Presses = 10000;
    auto device = std::make_unique<TFakeCommDevice>();
    TFakeCommDevice* fake = device.get();
    fake->SetReply([](const Bytes& written) {
        return written == Bytes{Cmd::ProbeByte} ? Bytes{Cmd::ProbeByte} : Bytes{0x06};
    });
    TCommX comm(nullptr, std::move(device));
    comm.SetTimeOutReceive(Cmd::ReceiveTimeout);
    const int fdsBefore = CountEntries("/proc/self/fd");
    const int tasksBefore = CountEntries("/proc/self/task");

    comm.Open();
    QVERIFY(comm.IsOpen());
    int acknowledged = 0;
    for (int press = 0; press < Presses; ++press)
        acknowledged += Cmd::SendPlayCommand(comm, 1, 0, static_cast<unsigned char>(press % 85));
    QCOMPARE(acknowledged, Presses);
    QTRY_COMPARE(comm.PendingChunks(), 0);
    QCOMPARE(comm.PendingBytes(), 0);
    QCOMPARE(fake->Written().size(), std::size_t(Presses) * 5);
    comm.Close();
    QCOMPARE(CountEntries("/proc/self/fd"), fdsBefore);
    QCOMPARE(CountEntries("/proc/self/task"), tasksBefore);
}

QTEST_GUILESS_MAIN(TestCmdFaults)
#include "tst_cmdfaults.moc"
