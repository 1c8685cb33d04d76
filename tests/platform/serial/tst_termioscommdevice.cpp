#include "PtyPair.h"
#include "TermiosCommDevice.h"

#include <QElapsedTimer>
#include <QTest>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>

namespace {
DCB LineState(std::uint32_t baud, std::uint32_t flags = 0x1013) {
    DCB dcb;
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = baud;
    dcb.Flags = flags;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 17;
    dcb.XoffChar = 19;
    return dcb;
}

void SetReadTimeout(ICommDevice& device, std::uint32_t total) {
    COMMTIMEOUTS t;
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutConstant = total;
    t.WriteTotalTimeoutConstant = 1000;
    QVERIFY(device.SetCommTimeouts(t));
}

// The line discipline passes received bytes on unchanged from now on, so that the test
// can send the device line marks of its own.
void PassMarksThrough(int fd) {
    termios t;
    QCOMPARE(::tcgetattr(fd, &t), 0);
    t.c_iflag &= ~tcflag_t(PARMRK);
    QCOMPARE(::tcsetattr(fd, TCSANOW, &t), 0);
}

// Bytes waiting in the driver's queue, line marks included.
int DriverQueue(int fd) {
    int n = -1;
    return ::ioctl(fd, FIONREAD, &n) == 0 ? n : -1;
}

// Fills the driver's output queue of a line that nobody reads, until it takes nothing.
int FillLine(ICommDevice& device) {
    const QByteArray block(4096, 'f');
    int taken = 0;
    // The kernel moves written bytes on to the other side a little later, more so on a
    // busy machine, which makes room again: the line is full once it stays full.
    for (int full = 0; full < 3;) {
        const int n = device.WriteNow(block.constData(), int(block.size()));
        if (n < 0)
            return -1;
        taken += n;
        if (n < int(block.size())) {
            ++full;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } else {
            full = 0;
        }
    }
    return taken;
}

// Reads with the device's time-outs as the serial component does: 1 ms slices.
int ReadAll(ICommDevice& device, QByteArray& buffer, int count) {
    buffer = QByteArray(count, '\0');
    CommIo io;
    io.buffer = buffer.data();
    io.count = count;
    CommIoStatus status = device.StartRead(io);
    while (status == CommIoStatus::Pending)
        status = device.ContinueRead(io, 1);
    if (status == CommIoStatus::Failed)
        return -1;
    buffer.truncate(io.transferred);
    return io.transferred;
}

} // namespace

class TstTermiosCommDevice : public QObject {
    Q_OBJECT

private slots:
    void openThroughPortsLink();
    void openMissingPort();
    void secondOpenRefused();
    void rawModeWithMarks();
    void settingsReadBack_data();
    void settingsReadBack();
    void refusedSettingLeavesLine();
    void failureNamesTheStep_data();
    void failureNamesTheStep();
    void dataBothWays();
    void dataByteFF();
    void onlyDataBytesCount_data();
    void onlyDataBytesCount();
    void readNeverOverrunsTheBuffer();
    void readTimeOut();
    void readReturnsWhenBytesArrive();
    void lineEventWait();
    void purgeReceive();
    void purgeAbortsPendingRead();
    void modemLinesIgnoredOnPty();
    void hangUp();
    void writeNowTakesWhatFits();
    void writeStepsAfterPurgeOrStop();
    void closeEndsNothingPending();
};

void TstTermiosCommDevice::openThroughPortsLink() {
    TPtyPair pty(5);
    QVERIFY(pty.IsValid());
    TTermiosCommDevice device(pty.Folder().toStdString());
    QVERIFY(!device.IsOpen());
    QCOMPARE(device.Handle(), -1);
    QVERIFY(device.Open(5));
    QVERIFY(device.IsOpen());
    QVERIFY(device.Handle() >= 0);
    QVERIFY(::isatty(device.Handle()));
    QVERIFY(!device.HasCounters()); // pseudo-terminals keep no line counters
    device.Close();
    QVERIFY(!device.IsOpen());
    QCOMPARE(device.Handle(), -1);
}

void TstTermiosCommDevice::openMissingPort() {
    TPtyPair pty(5);
    QVERIFY(QFile::link(pty.Folder() + "/unplugged", pty.PortPath(7)));
    TTermiosCommDevice device(pty.Folder().toStdString());
    QVERIFY(!device.Open(7));
    QCOMPARE(QString::fromStdString(device.LastFailure().step), QString("open"));
    QCOMPARE(device.LastFailure().error, ENOENT);
    QVERIFY(!device.Open(0));
    QVERIFY(!device.IsOpen());
    // Not a terminal at all.
    QVERIFY(QFile::link("/dev/null", pty.PortPath(8)));
    QVERIFY(!device.Open(8));
}

void TstTermiosCommDevice::secondOpenRefused() {
    TPtyPair pty(5);
    TTermiosCommDevice first(pty.Folder().toStdString());
    TTermiosCommDevice second(pty.Folder().toStdString());
    QVERIFY(first.Open(5));
    QVERIFY(!second.Open(5));
    first.Close();
    QVERIFY(second.Open(5));
}

void TstTermiosCommDevice::rawModeWithMarks() {
    TPtyPair pty(5);
    TTermiosCommDevice device(pty.Folder().toStdString());
    QVERIFY(device.Open(5));
    QVERIFY(device.SetCommState(LineState(9600)));
    termios t;
    QCOMPARE(::tcgetattr(device.Handle(), &t), 0);
    QCOMPARE(t.c_iflag & (INPCK | PARMRK), tcflag_t(INPCK | PARMRK));
    QCOMPARE(t.c_iflag & (IGNPAR | IGNBRK | BRKINT | ISTRIP | IXON | IXOFF), tcflag_t(0));
    QCOMPARE(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    QCOMPARE(t.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
    QCOMPARE(int(t.c_cc[VMIN]), 1);
    QCOMPARE(int(t.c_cc[VTIME]), 0);
    QVERIFY(::fcntl(device.Handle(), F_GETFL) & O_NONBLOCK);
}

void TstTermiosCommDevice::settingsReadBack_data() {
    QTest::addColumn<std::uint32_t>("baud");
    QTest::addColumn<std::uint32_t>("flags");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<tcflag_t>("cflagSet");
    QTest::addColumn<tcflag_t>("iflagSet");
    QTest::newRow("115200 none") << 115200u << 0x1013u << true << tcflag_t(0) << tcflag_t(0);
    QTest::newRow("9600 rts/cts") << 9600u << 0x2017u << true << tcflag_t(CRTSCTS) << tcflag_t(0);
    QTest::newRow("19200 xon/xoff")
        << 19200u << 0x1313u << true << tcflag_t(0) << tcflag_t(IXON | IXOFF);
    QTest::newRow("dtr/dsr has no termios")
        << 9600u << 0x102Bu << false << tcflag_t(0) << tcflag_t(0);
    QTest::newRow("odd rate") << 12345u << 0x1013u << false << tcflag_t(0) << tcflag_t(0);
    QTest::newRow("rate 5") << 5u << 0x1013u << false << tcflag_t(0) << tcflag_t(0);
    QTest::newRow("rate 0") << 0u << 0x1013u << false << tcflag_t(0) << tcflag_t(0);
}

void TstTermiosCommDevice::settingsReadBack() {
    QFETCH(std::uint32_t, baud);
    QFETCH(std::uint32_t, flags);
    QFETCH(bool, accepted);
    QFETCH(tcflag_t, cflagSet);
    QFETCH(tcflag_t, iflagSet);

    TPtyPair pty(5);
    TTermiosCommDevice device(pty.Folder().toStdString());
    QVERIFY(device.Open(5));
    DCB dcb = LineState(baud, flags);
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    QCOMPARE(device.SetCommState(dcb), accepted);
    if (!accepted)
        return;
    DCB back;
    back.DCBlength = 28;
    QVERIFY(device.GetCommState(back));
    QCOMPARE(back.DCBlength, 28u);
    QCOMPARE(back.BaudRate, baud);
    QCOMPARE(int(back.ByteSize), 8);
    QCOMPARE(int(back.Parity), int(NOPARITY));
    QCOMPARE(int(back.StopBits), int(ONESTOPBIT));
    QCOMPARE(back.Flags, flags);
    termios t;
    QCOMPARE(::tcgetattr(device.Handle(), &t), 0);
    QCOMPARE(t.c_cflag & tcflag_t(CRTSCTS), cflagSet);
    QCOMPARE(t.c_iflag & tcflag_t(IXON | IXOFF), iflagSet);
    QCOMPARE(int(t.c_cc[VSTART]), 0x11);
    QCOMPARE(int(t.c_cc[VSTOP]), 0x13);
}

void TstTermiosCommDevice::refusedSettingLeavesLine() {
    TPtyPair pty(5);
    TTermiosCommDevice device(pty.Folder().toStdString());
    QVERIFY(device.Open(5));
    QVERIFY(device.SetCommState(LineState(57600)));
    QVERIFY(!device.SetCommState(LineState(12345)));
    DCB dcb = LineState(57600);
    dcb.ByteSize = 9;
    QVERIFY(!device.SetCommState(dcb));
    dcb = LineState(57600);
    dcb.StopBits = ONE5STOPBITS; // 1.5 stop bits exist only with 5 data bits
    QVERIFY(!device.SetCommState(dcb));
    DCB back;
    QVERIFY(device.GetCommState(back));
    QCOMPARE(back.BaudRate, 57600u);
    QCOMPARE(int(back.ByteSize), 8);
    QCOMPARE(int(back.StopBits), int(ONESTOPBIT));
}

void TstTermiosCommDevice::failureNamesTheStep_data() {
    QTest::addColumn<std::uint32_t>("baud");
    QTest::addColumn<int>("parity");
    QTest::addColumn<QString>("step");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text"); // empty: the system's text for error
    // A pseudo-terminal keeps 8 data bits without parity: alone, the change is refused;
    // with a new rate, the rate is taken and the parity kept as it was.
    QTest::newRow("even parity alone") << 115200u << int(EVENPARITY) << "tcsetattr" << EINVAL << "";
    QTest::newRow("even parity with a new rate")
        << 9600u << int(EVENPARITY) << "tcsetattr" << 0 << "読み戻すと PARENB が設定と違います";
    QTest::newRow("a rate termios has no speed for")
        << 12345u << int(NOPARITY) << "SetCommState" << EINVAL
        << "12345 bps は termios で設定できません";
}

void TstTermiosCommDevice::failureNamesTheStep() {
    QFETCH(std::uint32_t, baud);
    QFETCH(int, parity);
    QFETCH(QString, step);
    QFETCH(int, error);
    QFETCH(QString, text);

    TPtyPair pty(5);
    TTermiosCommDevice device(pty.Folder().toStdString());
    QVERIFY(device.Open(5));
    QVERIFY(device.SetCommState(LineState(115200)));
    DCB dcb = LineState(baud);
    dcb.Parity = std::uint8_t(parity);
    QVERIFY(!device.SetCommState(dcb));
    const TCommFailure failure = device.LastFailure();
    QCOMPARE(QString::fromStdString(failure.step), step);
    QCOMPARE(failure.error, error);
    QCOMPARE(QString::fromStdString(failure.text),
             text.isEmpty() ? QString::fromLocal8Bit(std::strerror(error)) : text);
}

void TstTermiosCommDevice::dataBothWays() {
    TPtyPair pty(5);
    TTermiosCommDevice device(pty.Folder().toStdString());
    QVERIFY(device.Open(5));
    QVERIFY(device.SetCommState(LineState(115200)));
    SetReadTimeout(device, 500);

    QByteArray out = QByteArray::fromHex("0DF4010050");
    CommIo io;
    io.buffer = out.data();
    io.count = int(out.size());
    QCOMPARE(WriteAndWait(device, io), CommIoStatus::Done);
    QCOMPARE(io.transferred, 5);
    QCOMPARE(pty.ReadMaster(5).toHex(' '), out.toHex(' '));

    QVERIFY(pty.WriteMaster(QByteArray::fromHex("06000A0D")));
    QByteArray in;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            COMSTAT stat;
            std::uint32_t errors;
            return device.ClearCommError(&errors, &stat) && stat.cbInQue == 4;
        }(),
        1000);
    QCOMPARE(ReadAll(device, in, 10), 4);
    QCOMPARE(in.toHex(' '), QByteArray("06 00 0a 0d"));
}

void TstTermiosCommDevice::dataByteFF() {
    TPtyPair pty(5);
    TTermiosCommDevice device(pty.Folder().toStdString());
    QVERIFY(device.Open(5));
    QVERIFY(device.SetCommState(LineState(115200)));
    SetReadTimeout(device, 500);
    // With PARMRK the line discipline doubles a data byte FF; the reader gets one back.
    QVERIFY(pty.WriteMaster(QByteArray::fromHex("FF41FFFF")));
    QByteArray in;
    QCOMPARE(ReadAll(device, in, 1), 1);
    QCOMPARE(in.toHex(), QByteArray("ff"));
    QByteArray rest;
    QCOMPARE(ReadAll(device, rest, 3), 3);
    QCOMPARE(rest.toHex(' '), QByteArray("41 ff ff"));
    std::uint32_t errors = 1;
    QVERIFY(device.ClearCommError(&errors, nullptr));
    QCOMPARE(errors, 0u);
}

void TstTermiosCommDevice::onlyDataBytesCount_data() {
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<bool>("marked"); // false: the test sends the marks itself
    QTest::addColumn<std::uint32_t>("events");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<std::uint32_t>("errors");
    QTest::newRow("data bytes FF") << QByteArray::fromHex("06FFFF15") << true << EV_RXCHAR
                                   << QByteArray::fromHex("06FFFF15") << 0u;
    QTest::newRow("a break alone")
        << QByteArray::fromHex("FF0000") << false << EV_BREAK << QByteArray() << CE_BREAK;
    QTest::newRow("a byte with a framing error")
        << QByteArray::fromHex("FF0041") << false << (EV_RXCHAR | EV_ERR)
        << QByteArray::fromHex("41") << CE_FRAME;
    QTest::newRow("break between bytes")
        << QByteArray::fromHex("31FF000032") << false << (EV_RXCHAR | EV_BREAK)
        << QByteArray::fromHex("3132") << CE_BREAK;
}

// The queue status and the line events count the data bytes a read returns, never the
// line marks that the driver keeps with them.
void TstTermiosCommDevice::onlyDataBytesCount() {
    QFETCH(QByteArray, sent);
    QFETCH(bool, marked);
    QFETCH(std::uint32_t, events);
    QFETCH(QByteArray, data);
    QFETCH(std::uint32_t, errors);
    TPtyPair pty(5);
    TTermiosCommDevice device(pty.Folder().toStdString());
    QVERIFY(device.Open(5));
    QVERIFY(device.SetCommState(LineState(115200)));
    QVERIFY(device.SetCommMask(EV_RXCHAR | EV_BREAK | EV_ERR));
    SetReadTimeout(device, 0);
    if (!marked)
        PassMarksThrough(device.Handle());
    auto wait = std::async(std::launch::async, [&] { return device.WaitCommEvent(); });
    QVERIFY(pty.WriteMaster(sent));
    QCOMPARE(wait.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    QCOMPARE(wait.get(), events);
    std::uint32_t found = 0;
    QVERIFY(device.ClearCommError(&found, nullptr));
    QCOMPARE(found, errors);
    COMSTAT stat;
    QTRY_VERIFY(device.ClearCommError(&found, &stat) && stat.cbInQue == std::uint32_t(data.size()));
    QCOMPARE(DriverQueue(device.Handle()), 0);
    QByteArray in;
    QCOMPARE(ReadAll(device, in, 16), int(data.size()));
    QCOMPARE(in.toHex(' '), data.toHex(' '));
    QVERIFY(device.ClearCommError(&found, &stat));
    QCOMPARE(stat.cbInQue, 0u);
}

// A byte that was held back by the line-mark decoder never lands beyond the buffer of a
// read: reads of one byte from a stream in which FF is followed by other bytes.
void TstTermiosCommDevice::readNeverOverrunsTheBuffer() {
    TPtyPair pty(5);
    TTermiosCommDevice device(pty.Folder().toStdString());
    QVERIFY(device.Open(5));
    QVERIFY(device.SetCommState(LineState(115200)));
    SetReadTimeout(device, 0);
    PassMarksThrough(device.Handle());
    const QByteArray sent = QByteArray::fromHex("FF41FF4243");
    QVERIFY(pty.WriteMaster(sent));
    QTRY_COMPARE(DriverQueue(device.Handle()), int(sent.size()));
    QByteArray got;
    for (int i = 0; i < sent.size(); ++i) {
        QByteArray buffer(2, '\x5A'); // the second byte guards the end of the buffer
        CommIo io;
        io.buffer = buffer.data();
        io.count = 1;
        QCOMPARE(device.StartRead(io), CommIoStatus::Done);
        QCOMPARE(io.transferred, 1);
        QCOMPARE(buffer[1], '\x5A');
        got += buffer[0];
    }
    QCOMPARE(got.toHex(' '), sent.toHex(' '));
}

void TstTermiosCommDevice::readTimeOut() {
    TPtyPair pty(5);
    TTermiosCommDevice device(pty.Folder().toStdString());
    QVERIFY(device.Open(5));
    SetReadTimeout(device, 300);
    QElapsedTimer timer;
    timer.start();
    QByteArray in;
    QCOMPARE(ReadAll(device, in, 1), 0);
    QVERIFY2(timer.elapsed() >= 250 && timer.elapsed() < 1000,
             qPrintable(QString::number(timer.elapsed())));

    // No total time-out with a MAXDWORD interval: an empty read returns at once.
    SetReadTimeout(device, 0);
    timer.restart();
    QCOMPARE(ReadAll(device, in, 1), 0);
    QVERIFY(timer.elapsed() < 150);
}

void TstTermiosCommDevice::readReturnsWhenBytesArrive() {
    TPtyPair pty(5);
    TTermiosCommDevice device(pty.Folder().toStdString());
    QVERIFY(device.Open(5));
    SetReadTimeout(device, 3000);
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pty.WriteMaster("AB");
    });
    QElapsedTimer timer;
    timer.start();
    QByteArray in;
    const int n = ReadAll(device, in, 2);
    writer.join();
    QCOMPARE(n, 2);
    QCOMPARE(in, QByteArray("AB"));
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
}

void TstTermiosCommDevice::lineEventWait() {
    TPtyPair pty(5);
    TTermiosCommDevice device(pty.Folder().toStdString());
    QVERIFY(device.Open(5));
    QVERIFY(device.SetCommMask(EV_RXCHAR | EV_BREAK | EV_ERR));
    auto wait = std::async(std::launch::async, [&] { return device.WaitCommEvent(); });
    QCOMPARE(wait.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    QVERIFY(pty.WriteMaster("x"));
    QCOMPARE(wait.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    QCOMPARE(wait.get(), EV_RXCHAR);

    // Unread input does not wake it again (edge-triggered): only a stop does.
    auto second = std::async(std::launch::async, [&] { return device.WaitCommEvent(); });
    QCOMPARE(second.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    device.CancelWait();
    QCOMPARE(second.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    QCOMPARE(second.get(), 0u);
    QCOMPARE(device.WaitCommEvent(), 0u); // stays ended until resumed
    device.ResumeWait();
    auto third = std::async(std::launch::async, [&] { return device.WaitCommEvent(); });
    QVERIFY(pty.WriteMaster("y"));
    QCOMPARE(third.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    QCOMPARE(third.get(), EV_RXCHAR);
}

void TstTermiosCommDevice::purgeReceive() {
    TPtyPair pty(5);
    TTermiosCommDevice device(pty.Folder().toStdString());
    QVERIFY(device.Open(5));
    QVERIFY(device.SetCommState(LineState(115200)));
    SetReadTimeout(device, 0);
    QVERIFY(pty.WriteMaster("stale bytes"));
    COMSTAT stat;
    std::uint32_t errors;
    QTRY_VERIFY(device.ClearCommError(&errors, &stat) && stat.cbInQue == 11);
    QVERIFY(device.PurgeComm(PURGE_RXABORT | PURGE_RXCLEAR));
    QVERIFY(device.ClearCommError(&errors, &stat));
    QCOMPARE(stat.cbInQue, 0u);
    QByteArray in;
    QCOMPARE(ReadAll(device, in, 4), 0);
}

void TstTermiosCommDevice::purgeAbortsPendingRead() {
    TPtyPair pty(5);
    TTermiosCommDevice device(pty.Folder().toStdString());
    QVERIFY(device.Open(5));
    SetReadTimeout(device, 3000);
    char buffer[4];
    CommIo io;
    io.buffer = buffer;
    io.count = 4;
    QCOMPARE(device.StartRead(io), CommIoStatus::Pending);
    QCOMPARE(device.ContinueRead(io, 1), CommIoStatus::Pending);
    device.PurgeComm(PURGE_RXABORT | PURGE_RXCLEAR);
    QCOMPARE(device.ContinueRead(io, 1), CommIoStatus::Failed);
}

void TstTermiosCommDevice::modemLinesIgnoredOnPty() {
    TPtyPair pty(5);
    TTermiosCommDevice device(pty.Folder().toStdString());
    QVERIFY(device.Open(5));
    // Pseudo-terminals have no modem lines: the calls fail, the port goes on working.
    device.EscapeCommFunction(SETDTR);
    device.EscapeCommFunction(CLRRTS);
    QVERIFY(!device.EscapeCommFunction(12345));
    QVERIFY(device.SetCommState(LineState(115200, 0x1013)));
    QVERIFY(device.IsOpen());
    SetReadTimeout(device, 500);
    QVERIFY(pty.WriteMaster("k"));
    QByteArray in;
    QCOMPARE(ReadAll(device, in, 1), 1);
}

void TstTermiosCommDevice::hangUp() {
    TPtyPair pty(5);
    TTermiosCommDevice device(pty.Folder().toStdString());
    QVERIFY(device.Open(5));
    QVERIFY(device.SetCommMask(EV_RXCHAR | EV_BREAK | EV_ERR));
    SetReadTimeout(device, 3000);

    auto wait = std::async(std::launch::async, [&] { return device.WaitCommEvent(); });
    char buffer[1];
    CommIo io;
    io.buffer = buffer;
    io.count = 1;
    QCOMPARE(device.StartRead(io), CommIoStatus::Pending);
    pty.CloseMaster();

    QElapsedTimer timer;
    timer.start();
    CommIoStatus status = CommIoStatus::Pending;
    while (status == CommIoStatus::Pending && timer.elapsed() < 3000)
        status = device.ContinueRead(io, 1);
    QCOMPARE(status, CommIoStatus::Failed);
    QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed())));

    QCOMPARE(wait.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    QVERIFY(wait.get() & EV_GONE);
    // Reported once; the next wait sleeps instead of spinning on the dead descriptor.
    const double cpuBefore = CpuMs();
    auto next = std::async(std::launch::async, [&] { return device.WaitCommEvent(); });
    // A spinning wait would take a whole core for the second; the margin covers the sanitizers.
    QCOMPARE(next.wait_for(std::chrono::milliseconds(1000)), std::future_status::timeout);
    QVERIFY2(CpuMs() - cpuBefore < 500, qPrintable(QString::number(CpuMs() - cpuBefore)));
    device.CancelWait();
    QCOMPARE(next.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    QCOMPARE(next.get(), 0u);

    QCOMPARE(device.StartRead(io), CommIoStatus::Failed);
    QCOMPARE(device.StartWrite(io), CommIoStatus::Failed);
    timer.restart();
    device.Close();
    QVERIFY(timer.elapsed() < 1000);
}

void TstTermiosCommDevice::writeNowTakesWhatFits() {
    TPtyPair pty(5);
    TTermiosCommDevice device(pty.Folder().toStdString());
    const char probe = 0x0D;
    QCOMPARE(device.WriteNow(&probe, 1), -1); // closed
    QVERIFY(device.Open(5));
    QVERIFY(device.SetCommState(LineState(115200)));
    QCOMPARE(device.WriteNow(&probe, 1), 1);
    QCOMPARE(pty.ReadMaster(1), QByteArray(1, 0x0D));
    QCOMPARE(device.WriteNow(nullptr, 1), -1);

    // Nobody reads the far end: the line fills, and WriteNow takes what fits, then
    // nothing, without waiting.
    QByteArray taken;
    bool full = false;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 1024 && !full; ++i) {
        QByteArray block(4096, '\0');
        for (int k = 0; k < block.size(); ++k) {
            const qsizetype at = taken.size() + k;
            block[k] = char(at * 13 + at / 251);
        }
        const int n = device.WriteNow(block.constData(), int(block.size()));
        QVERIFY2(n >= 0, qPrintable(QString::number(n)));
        taken += block.left(n);
        full = n < block.size();
    }
    QVERIFY(full);
    QVERIFY(!taken.isEmpty());
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    // What it reported as taken is exactly what reaches the far end, in order.
    QCOMPARE(pty.ReadMaster(int(taken.size()), 5000), taken);

    pty.CloseMaster();
    QCOMPARE(device.WriteNow(&probe, 1), -1);
}

// Waiting for the port never writes; the next write step does, and a transmit purge in
// between, or a stop request, fails it before any byte reaches the driver.
void TstTermiosCommDevice::writeStepsAfterPurgeOrStop() {
    TPtyPair pty(5);
    TTermiosCommDevice device(pty.Folder().toStdString());
    QVERIFY(device.Open(5));
    QVERIFY(device.SetCommState(LineState(115200)));
    COMMTIMEOUTS untimed; // the waits end only by room, a purge or a stop
    QVERIFY(device.SetCommTimeouts(untimed));
    const int filled = FillLine(device);
    QVERIFY(filled > 0);
    QByteArray chunk(256, 'c');
    CommIo io;
    io.buffer = chunk.data();
    io.count = int(chunk.size());
    QCOMPARE(device.StartWrite(io), CommIoStatus::Pending);
    QCOMPARE(io.transferred, 0);
    // Room again: the wait says so and leaves the writing to the next step.
    QCOMPARE(pty.ReadMaster(filled, 5000).size(), filled);
    QCOMPARE(device.WaitWrite(io), CommIoStatus::Pending);
    QCOMPARE(io.transferred, 0);
    QVERIFY(device.PurgeComm(PURGE_TXABORT | PURGE_TXCLEAR));
    QCOMPARE(device.ContinueWrite(io), CommIoStatus::Failed);
    QCOMPARE(device.WaitWrite(io), CommIoStatus::Failed);
    QCOMPARE(io.transferred, 0);

    // A write whose stop request is set takes nothing, though the port has room.
    std::atomic<bool> stop{true};
    CommIo stopped;
    stopped.buffer = chunk.data();
    stopped.count = int(chunk.size());
    stopped.cancel = &stop;
    QCOMPARE(device.StartWrite(stopped), CommIoStatus::Failed);
    QCOMPARE(stopped.transferred, 0);
    // Without it, the same write goes through.
    stop = false;
    QCOMPARE(WriteAndWait(device, stopped), CommIoStatus::Done);
    QCOMPARE(pty.ReadMaster(int(chunk.size())), chunk);
}

void TstTermiosCommDevice::closeEndsNothingPending() {
    TPtyPair pty(5);
    TTermiosCommDevice device(pty.Folder().toStdString());
    QVERIFY(device.Open(5));
    QVERIFY(device.SetCommState(LineState(115200)));
    // Output nobody reads: close must not wait for it to drain.
    QByteArray big(64 * 1024, 'z');
    CommIo io;
    io.buffer = big.data();
    io.count = int(big.size());
    QVERIFY(device.StartWrite(io) != CommIoStatus::Failed);
    QElapsedTimer timer;
    timer.start();
    device.Close();
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(device.Open(5));
}

QTEST_GUILESS_MAIN(TstTermiosCommDevice)
#include "tst_termioscommdevice.moc"
