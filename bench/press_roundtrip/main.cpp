// Times button presses over a pseudo-terminal against the board simulator: the panel's
// SendPlayCommand through the serial component, and, interleaved in the same run, the
// same exchange (0D, one byte, four-byte command, one byte) with plain blocking
// read/write calls on a second pseudo-terminal against a second simulator.
// --diagnose adds a third series that writes with blocking device writes on the calling
// thread and never involves the transmit worker, as a reference for the component's own
// send path (which hands an idle line its bytes at once and queues only the rest).
// --only ours|plain runs one series alone, for counting its system calls and thread
// switches under perf or strace.
// --load runs both series while stress-ng keeps every core busy, makes the kernel reclaim
// memory and writes to disk: failures, p99 and max under load.
#include "BenchResult.h"
#include "Cmd.h"
#include "CommX.h"
#include "SimulatorProcess.h"
#include "TermiosCommDevice.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The lower bound: the same exchange as direct system calls.
class PlainLine {
public:
    explicit PlainLine(const QString& path) {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_fd < 0)
            return;
        termios settings{};
        ::tcgetattr(m_fd, &settings);
        ::cfmakeraw(&settings);
        ::cfsetispeed(&settings, B115200);
        ::cfsetospeed(&settings, B115200);
        settings.c_cflag |= CLOCAL | CREAD;
        settings.c_cc[VMIN] = 1;
        settings.c_cc[VTIME] = 0;
        ::tcsetattr(m_fd, TCSANOW, &settings);
    }
    ~PlainLine() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool IsOpen() const { return m_fd >= 0; }

    bool Press(unsigned char number) {
        const unsigned char probe = Cmd::ProbeByte;
        const unsigned char command[4] = {Cmd::PlayCommandCode, 0x01, number,
                                          static_cast<unsigned char>(0xF4 + 0x01 + number)};
        unsigned char reply = 0;
        return ::write(m_fd, &probe, 1) == 1 && ReadOne(reply) && ::write(m_fd, command, 4) == 4 &&
               ReadOne(reply) && reply == 0x06;
    }

private:
    bool ReadOne(unsigned char& byte) {
        // Blocking read; the poll only guards against a board that never answers.
        pollfd fd{m_fd, POLLIN, 0};
        return ::poll(&fd, 1, Cmd::ReceiveTimeout) == 1 && ::read(m_fd, &byte, 1) == 1;
    }

    int m_fd = -1;
};

// The component with Write going straight to the device from the calling thread, waiting
// for the write if need be: the reference for the share of the send path.
class DirectWriteCommX : public TCommX {
public:
    using TCommX::TCommX;
    bool Write(const void* data, int count) override {
        CommIo io;
        io.buffer = const_cast<void*>(data);
        io.count = count;
        return WriteAndWait(*Device(), io) == CommIoStatus::Done;
    }
};

bool OpenAsThePanelDoes(TCommX& comm, int port) {
    try {
        comm.SetFlowCtrl(cfcNone);
        comm.SetBitRate(115200);
        comm.SetPortNo(port);
        comm.SetTimeOutReceive(Cmd::ReceiveTimeout);
        comm.Open();
        comm.SetDTR(true);
        comm.SetDTR(false);
        comm.PurgeReceive();
        comm.PurgeTrans();
        return true;
    } catch (const ECommError& error) {
        std::fprintf(stderr, "press_roundtrip: COM%d: %s\n", port, error.what());
        return false;
    }
}

struct Figures {
    double p50 = 0;
    double p99 = 0;
    double mean = 0;
    double max = 0;
};

Figures Summarise(const std::vector<double>& micros) {
    Figures figures;
    figures.p50 = bench::Median(micros);
    figures.p99 = bench::Quantile(micros, 0.99);
    double sum = 0;
    for (double value : micros)
        sum += value;
    figures.mean = micros.empty() ? 0 : sum / double(micros.size());
    figures.max = bench::Quantile(micros, 1);
    return figures;
}

double MicrosSince(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

struct Series {
    const char* name;
    std::vector<double> micros;
    int failures = 0;
};

void PrintRow(const Series& series) {
    const Figures f = Summarise(series.micros);
    std::printf("%-34s %9.1f %9.1f %9.1f %9.1f %9d\n", series.name, f.p50, f.p99, f.mean, f.max,
                series.failures);
}

struct RunOptions {
    int count = 1000;
    bool diagnose = false;
    bool load = false;
    bool runOurs = true;
    bool runPlain = true;
};

RunOptions ReadArguments(const QStringList& args) {
    RunOptions options;
    const qsizetype countAt = args.indexOf("--count");
    if (countAt > 0 && countAt + 1 < args.size())
        options.count = std::max(1, args[countAt + 1].toInt());
    options.diagnose = args.contains("--diagnose");
    options.load = args.contains("--load");
    const qsizetype onlyAt = args.indexOf("--only");
    const QString only = onlyAt > 0 && onlyAt + 1 < args.size() ? args[onlyAt + 1] : QString();
    options.runOurs = only.isEmpty() || only == "ours";
    options.runPlain = only.isEmpty() || only == "plain";
    return options;
}

bool StartBoards(SimulatorProcess* boards, int boardCount, const QString& folder) {
    for (int i = 0; i < boardCount; ++i) {
        if (!boards[i].Start(folder, i + 1)) {
            std::fprintf(stderr, "press_roundtrip: %s\n", qPrintable(boards[i].ErrorString()));
            return false;
        }
    }
    return true;
}

struct AllSeries {
    Series ours{"SendPlayCommand", {}};
    Series direct{"plain read/write", {}};
    Series diagnostic{"  (diagnostic: blocking writes)", {}};
};

void WarmUp(const RunOptions& options, TCommX& comm, PlainLine& plain, TCommX& directComm) {
    for (int i = 0; i < 20; ++i) {
        if (options.runOurs)
            Cmd::SendPlayCommand(comm, 1, 0, 0);
        if (options.runPlain)
            plain.Press(0);
        if (options.diagnose)
            Cmd::SendPlayCommand(directComm, 1, 0, 0);
    }
}

void PressInTurns(const RunOptions& options, TCommX& comm, PlainLine& plain, TCommX& directComm,
                  AllSeries& all) {
    for (Series* series : {&all.ours, &all.direct, &all.diagnostic})
        series->micros.reserve(std::size_t(options.count));
    // Interleaved, so that all see the same load on the machine.
    for (int i = 0; i < options.count; ++i) {
        const auto number = static_cast<unsigned char>(i % 85);
        auto start = Clock::now();
        if (options.runOurs) {
            if (!Cmd::SendPlayCommand(comm, 1, 0, number))
                ++all.ours.failures;
            all.ours.micros.push_back(MicrosSince(start));
        }
        start = Clock::now();
        if (options.runPlain) {
            if (!plain.Press(number))
                ++all.direct.failures;
            all.direct.micros.push_back(MicrosSince(start));
        }
        if (!options.diagnose)
            continue;
        start = Clock::now();
        if (!Cmd::SendPlayCommand(directComm, 1, 0, number))
            ++all.diagnostic.failures;
        all.diagnostic.micros.push_back(MicrosSince(start));
    }
}

// Every core busy, a memory worker as large as three quarters of the memory (the kernel
// reclaims the page cache for it) and a disk writer, until stopped.
bool StartLoad(QProcess& stress, const QString& folder) {
    stress.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    stress.start("stress-ng",
                 {"--cpu", "0", "--vm", "1", "--vm-bytes", "75%", "--hdd", "1", "--hdd-bytes",
                  "256M", "--temp-path", folder, "--timeout", "600s", "--quiet"});
    if (!stress.waitForStarted()) {
        std::fprintf(stderr, "press_roundtrip: stress-ng: %s\n", qPrintable(stress.errorString()));
        return false;
    }
    // Until the memory worker has taken its share.
    QThread::sleep(5);
    return true;
}

void ReportLoad(const RunOptions& options, const AllSeries& all) {
    const Figures a = Summarise(all.ours.micros);
    const Figures b = Summarise(all.direct.micros);
    const double ratio = a.p99 / b.p99;
    const bool met = all.ours.failures == 0 && ratio <= 1.5;
    bench::Report(
        {"press round trip under load, " + std::to_string(options.count) + " presses",
         bench::Format("%d failed, p99 %.0f us, max %.0f us", all.ours.failures, a.p99, a.max),
         bench::Format("%d failed, p99 %.0f us, max %.0f us", all.direct.failures, b.p99, b.max),
         ratio, "none failed, p99 <= 1.5x", met});
}

// Prints the table and, when both series ran, their comparison; returns the exit code.
int ReportSeries(const RunOptions& options, const AllSeries& all) {
    std::printf("press_roundtrip: %d presses each, microseconds\n", options.count);
    std::printf("%-34s %9s %9s %9s %9s %9s\n", "", "p50", "p99", "mean", "max", "failures");
    PrintRow(all.ours);
    PrintRow(all.direct);
    if (options.diagnose)
        PrintRow(all.diagnostic);
    if (!options.runOurs || !options.runPlain)
        return all.ours.failures == 0 && all.direct.failures == 0 ? 0 : 1;
    if (options.load) {
        ReportLoad(options, all);
        return all.ours.failures == 0 ? 0 : 1;
    }
    const Figures a = Summarise(all.ours.micros);
    const Figures b = Summarise(all.direct.micros);
    const double ratio = a.p50 / b.p50;
    std::printf("ratio SendPlayCommand / plain: p50 %.2f, p99 %.2f (target: p50 within 1.2): %s\n",
                ratio, a.p99 / b.p99, ratio <= 1.2 ? "met" : "NOT met");
    bench::Report({"press round trip, " + std::to_string(options.count) + " presses",
                   bench::Format("p50 %.0f us, p99 %.0f us", a.p50, a.p99),
                   bench::Format("p50 %.0f us, p99 %.0f us", b.p50, b.p99), ratio, "p50 <= 1.2x",
                   ratio <= 1.2});
    if (options.diagnose)
        std::printf("ratio with blocking writes instead: p50 %.2f\n",
                    Summarise(all.diagnostic.micros).p50 / b.p50);
    const bool noneFailed =
        all.ours.failures == 0 && all.direct.failures == 0 && all.diagnostic.failures == 0;
    return noneFailed ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const RunOptions options = ReadArguments(app.arguments());
    const int boardCount = options.diagnose ? 3 : 2;

    QTemporaryDir dir;
    SimulatorProcess boards[3];
    if (!StartBoards(boards, boardCount, dir.path()))
        return 1;
    TCommX comm(nullptr, std::make_unique<TTermiosCommDevice>(dir.path().toStdString()));
    DirectWriteCommX directComm(nullptr,
                                std::make_unique<TTermiosCommDevice>(dir.path().toStdString()));
    if (!OpenAsThePanelDoes(comm, 1) || (options.diagnose && !OpenAsThePanelDoes(directComm, 3)))
        return 1;
    PlainLine plain(boards[1].LinkPath());
    if (!plain.IsOpen()) {
        std::fprintf(stderr, "press_roundtrip: cannot open %s\n", qPrintable(boards[1].LinkPath()));
        return 1;
    }

    WarmUp(options, comm, plain, directComm); // not counted
    QProcess stress;
    if (options.load && !StartLoad(stress, dir.path()))
        return 1;
    AllSeries all;
    PressInTurns(options, comm, plain, directComm, all);
    if (options.load) {
        stress.terminate();
        stress.waitForFinished(10000);
    }
    comm.Close();
    directComm.Close();
    return ReportSeries(options, all);
}
