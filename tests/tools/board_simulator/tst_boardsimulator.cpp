// The board simulator program itself, driven over a real pseudo-terminal.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QString SimulatorPath =
    QStringLiteral(TAPDECK_BINARY_DIR "/tools/board_simulator/board_simulator");

// The panel's side of the line, reduced to what these tests need.
class Line {
public:
    explicit Line(const QString& path) {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_fd >= 0) {
            termios settings{};
            ::tcgetattr(m_fd, &settings);
            ::cfmakeraw(&settings);
            ::tcsetattr(m_fd, TCSANOW, &settings);
        }
    }
    ~Line() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool IsOpen() const { return m_fd >= 0; }
    bool Send(const QByteArray& bytes) {
        return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    // Collects what arrives until nothing more comes for quietMs.
    QByteArray Receive(int quietMs) {
        QByteArray received;
        for (;;) {
            pollfd fd{m_fd, POLLIN, 0};
            if (::poll(&fd, 1, quietMs) <= 0)
                return received;
            char buffer[256];
            const ssize_t count = ::read(m_fd, buffer, sizeof buffer);
            if (count <= 0)
                return received;
            received.append(buffer, count);
        }
    }

private:
    int m_fd = -1;
};

qint64 MonotonicMicros() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

} // namespace

class TestBoardSimulator : public QObject {
    Q_OBJECT
private slots:
    void helpTellsHowToTryThePanel();
    void panelFolder_data();
    void panelFolder();
    void refusesBadOptions();
    void answers_data();
    void answers();
    void delaysReplies();
    void logsPlaysWithTimeStamps();
    void recordsProbesAndPlaysWithTheirTimes();
    void removesLinkOnSignal_data();
    void removesLinkOnSignal();
    void replacesStaleLink();
    void endsWithItsParent();

private:
    bool Start(QProcess& process, const QTemporaryDir& dir, const QStringList& extra, int port = 4);
    QString Help(const QString& program, const QProcessEnvironment& environment);
};

bool TestBoardSimulator::Start(QProcess& process, const QTemporaryDir& dir,
                               const QStringList& extra, int port) {
    process.start(SimulatorPath,
                  QStringList{"--dir", dir.path(), "--port", QString::number(port)} + extra);
    if (!process.waitForStarted(5000))
        return false;
    // The first line names the link once it exists.
    while (!process.canReadLine())
        if (!process.waitForReadyRead(5000))
            return false;
    return process.readLine().contains("/ports/COM" + QByteArray::number(port));
}

QString TestBoardSimulator::Help(const QString& program, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, {"--help"});
    if (!process.waitForFinished(5000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

void TestBoardSimulator::helpTellsHowToTryThePanel() {
    QProcess process;
    process.start(SimulatorPath, {"--help"});
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 0);
    const QByteArray text = process.readAllStandardOutput();
    for (const char* word : {"--dir", "--port", "--silent", "--nak", "--probe-only", "--delay",
                             "--log", "--record", "make run", "COM3"})
        QVERIFY2(text.contains(word), word);
}

// Where an installed simulator (beside the panel, its copy here) or the build tree's puts
// its board by default, and where its help says the panel looks.
void TestBoardSimulator::panelFolder_data() {
    QTest::addColumn<QString>("layout");        // "build tree", "read-only bin" or "writable bin"
    QTest::addColumn<QString>("portFolder");    // where the panel looks, from the test's root
    QTest::addColumn<QString>("defaultFolder"); // where the board goes without --dir
    QTest::newRow("build tree") << "build tree"
                                << ""
                                << "work";
    QTest::newRow("installed") << "read-only bin"
                               << "config/tapdeck"
                               << "config/tapdeck";
    QTest::newRow("installed in the user's own folder") << "writable bin"
                                                        << "bin"
                                                        << "bin";
}

void TestBoardSimulator::panelFolder() {
    QFETCH(QString, layout);
    QFETCH(QString, portFolder);
    QFETCH(QString, defaultFolder);
#ifndef TAPDECK_PANEL_PATH
    QSKIP("this tree builds no panel");
#else
    const QString panelPath = QStringLiteral(TAPDECK_PANEL_PATH);
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath("work") && QDir(root.path()).mkpath("config"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", root.filePath("config"));
    QString simulator = SimulatorPath;
    QString panel = panelPath;
    const QString bin = root.filePath("bin");
    if (layout != "build tree") {
        simulator = bin + "/tapdeck-board-simulator";
        panel = bin + "/tapdeck";
        QVERIFY(QDir().mkpath(bin) && QFile::copy(SimulatorPath, simulator) &&
                QFile::copy(panelPath, panel));
        if (layout == "read-only bin")
            QVERIFY(QFile::setPermissions(bin, QFile::ReadOwner | QFile::ExeOwner));
    }
    const QString looksIn =
        portFolder.isEmpty() ? QFileInfo(panelPath).absolutePath() : root.filePath(portFolder);

    const QString help = Help(simulator, environment);
    QVERIFY2(help.contains("The panel\n  " + panel + "\nlooks for its ports in\n  " + looksIn +
                           "/ports/\n"),
             qPrintable(help));
    QVERIFY2(help.contains(defaultFolder == "work" ? "(default: current folder)"
                                                   : "(default: the panel's,"),
             qPrintable(help));
    // Naming the folder makes nothing; the panel makes it only when it starts.
    QVERIFY(!QFileInfo::exists(root.filePath("config/tapdeck")));

    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(root.filePath("work"));
    process.start(simulator, {"--port", "4", "--exit-with-parent"});
    QVERIFY(process.waitForStarted(5000));
    const QString link = root.filePath(defaultFolder + "/ports/COM4");
    QTRY_VERIFY2_WITH_TIMEOUT(QFileInfo(link).isSymLink(),
                              process.readAllStandardError().constData(), 5000);
    process.terminate();
    QVERIFY(process.waitForFinished(5000));
    QFile::setPermissions(bin, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
#endif
}

void TestBoardSimulator::refusesBadOptions() {
    QProcess process;
    process.start(SimulatorPath, {"--port", "99"});
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardError().contains("--port"));
}

void TestBoardSimulator::answers_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("probeReply");
    QTest::addColumn<QByteArray>("commandReply");

    const QByteArray play0 = QByteArray::fromHex("F40100F5");
    QTest::newRow("play 0") << QStringList{} << play0 << QByteArray("\x0D") << QByteArray("\x06");
    QTest::newRow("play 84") << QStringList{} << QByteArray::fromHex("F4015449")
                             << QByteArray("\x0D") << QByteArray("\x06");
    QTest::newRow("bad checksum") << QStringList{} << QByteArray::fromHex("F4015400")
                                  << QByteArray("\x0D") << QByteArray("\x15");
    QTest::newRow("nak") << QStringList{"--nak"} << play0 << QByteArray("\x0D")
                         << QByteArray("\x15");
    QTest::newRow("probe only") << QStringList{"--probe-only"} << play0 << QByteArray("\x0D")
                                << QByteArray();
    QTest::newRow("silent") << QStringList{"--silent"} << play0 << QByteArray() << QByteArray();
    QTest::newRow("probe reply 00, two bytes")
        << QStringList{"--probe-reply", "0x00", "--probe-bytes", "2"} << play0
        << QByteArray(2, '\0') << QByteArray("\x06");
}

void TestBoardSimulator::answers() {
    QFETCH(QStringList, options);
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, probeReply);
    QFETCH(QByteArray, commandReply);

    QTemporaryDir dir;
    QProcess process;
    QVERIFY(Start(process, dir, options));
    Line line(dir.filePath("ports/COM4"));
    QVERIFY(line.IsOpen());
    QVERIFY(line.Send("\x0D"));
    QCOMPARE(line.Receive(200).toHex(' '), probeReply.toHex(' '));
    QVERIFY(line.Send(command));
    QCOMPARE(line.Receive(200).toHex(' '), commandReply.toHex(' '));
    process.terminate();
    QVERIFY(process.waitForFinished(5000));
}

void TestBoardSimulator::delaysReplies() {
    QTemporaryDir dir;
    QProcess process;
    QVERIFY(Start(process, dir, {"--delay", "150"}));
    Line line(dir.filePath("ports/COM4"));
    QVERIFY(line.Send("\x0D"));
    QCOMPARE(line.Receive(50), QByteArray());
    QCOMPARE(line.Receive(400), QByteArray("\x0D"));
    process.terminate();
    QVERIFY(process.waitForFinished(5000));
}

void TestBoardSimulator::logsPlaysWithTimeStamps() {
    QTemporaryDir dir;
    const QString logPath = dir.filePath("board.log");
    QProcess process;
    QVERIFY(Start(process, dir, {"--log", logPath}));
    Line line(dir.filePath("ports/COM4"));
    for (const char* command : {"0D", "F40100F5", "0D", "F4015045", "F40150FF"}) {
        QVERIFY(line.Send(QByteArray::fromHex(command)));
        QCOMPARE(line.Receive(200).size(), 1);
    }
    process.terminate();
    QVERIFY(process.waitForFinished(5000));

    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    const QRegularExpression stamp("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} (.*)$");
    QStringList texts;
    for (const QString& entry : lines) {
        const QRegularExpressionMatch match = stamp.match(entry);
        QVERIFY2(match.hasMatch(), qPrintable(entry));
        texts << match.captured(1);
    }
    QCOMPARE(texts, (QStringList{"play 0 (motion 1) flags 01", "play 80 (scenario 1) flags 01",
                                 "bad checksum: F4 01 50 FF"}));
}

// Each line's time is the monotonic clock's in microseconds: it lies between the test's own
// readings of that clock just before the bytes went out and once the reply was in.
void TestBoardSimulator::recordsProbesAndPlaysWithTheirTimes() {
    QTemporaryDir dir;
    const QString recordPath = dir.filePath("board.record");
    QProcess process;
    QVERIFY(Start(process, dir, {"--record", recordPath}));
    Line line(dir.filePath("ports/COM4"));
    QList<std::pair<qint64, qint64>> sent;
    for (const char* bytes : {"0D", "F40100F5", "0D", "F4015045", "F40150FF", "0D"}) {
        const qint64 before = MonotonicMicros();
        QVERIFY(line.Send(QByteArray::fromHex(bytes)));
        QCOMPARE(line.Receive(50).size(), 1);
        sent.append({before, MonotonicMicros()});
    }
    process.terminate();
    QVERIFY(process.waitForFinished(5000));

    QFile record(recordPath);
    QVERIFY(record.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(record.readAll()).split('\n', Qt::SkipEmptyParts);
    // The bad checksum is no play.
    const QList<std::pair<int, QString>> expected = {
        {0, "probe"}, {1, "play 0"}, {2, "probe"}, {3, "play 80"}, {5, "probe"}};
    QCOMPARE(lines.size(), expected.size());
    for (int i = 0; i < lines.size(); ++i) {
        const qint64 at = lines[i].section(' ', 0, 0).toLongLong();
        QCOMPARE(lines[i].section(' ', 1), expected[i].second);
        const auto [before, after] = sent[expected[i].first];
        QVERIFY2(at >= before && at <= after,
                 qPrintable(QString("%1 not in %2..%3").arg(lines[i]).arg(before).arg(after)));
    }
}

void TestBoardSimulator::removesLinkOnSignal_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void TestBoardSimulator::removesLinkOnSignal() {
    QFETCH(int, signal);
    QTemporaryDir dir;
    QProcess process;
    QVERIFY(Start(process, dir, {}, 30));
    const QFileInfo link(dir.filePath("ports/COM30"));
    QVERIFY(link.isSymLink());
    QVERIFY(link.symLinkTarget().startsWith("/dev/pts/"));
    ::kill(pid_t(process.processId()), signal);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(!QFileInfo(dir.filePath("ports/COM30")).exists());
    QVERIFY(!QFileInfo(dir.filePath("ports/COM30")).isSymLink());
}

void TestBoardSimulator::replacesStaleLink() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("ports"));
    QVERIFY(QFile::link("/dev/pts/nonexistent", dir.filePath("ports/COM4")));
    QProcess process;
    QVERIFY(Start(process, dir, {}));
    QVERIFY(QFileInfo(dir.filePath("ports/COM4")).symLinkTarget() != "/dev/pts/nonexistent");
    Line line(dir.filePath("ports/COM4"));
    QVERIFY(line.Send("\x0D"));
    QCOMPARE(line.Receive(200), QByteArray("\x0D"));
    process.terminate();
    QVERIFY(process.waitForFinished(5000));
}

void TestBoardSimulator::endsWithItsParent() {
    QTemporaryDir dir;
    const QString link = dir.filePath("ports/COM5");
    QProcess shell;
    shell.start("/bin/sh", {"-c", "\"$0\" --dir \"$1\" --port 5 --exit-with-parent & sleep 1",
                            SimulatorPath, dir.path()});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 5000);
    QVERIFY(shell.waitForFinished(5000));
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo(link).isSymLink(), 5000);
}

QTEST_GUILESS_MAIN(TestBoardSimulator)
#include "tst_boardsimulator.moc"
