// Transmit throughput: 1 MiB handed to the serial component's Write (chunks of its
// transmit buffer length, 2,048 bytes, through the transmit worker) to a pseudo-terminal
// whose other side a thread reads as fast as it can, against plain blocking write calls
// of the same chunk size to a second pseudo-terminal read the same way. Timed from the
// first byte handed over until the reader has the last; the two take turns. Argument:
// the number of runs of each (41); a second one, "ours" or "plain", runs only that
// series, for a profiler.
#include "BenchResult.h"
#include "CommX.h"
#include "TermiosCommDevice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Payload = 1 << 20;

// A pseudo-terminal whose master side a thread drains, counting the bytes.
class DrainedPty {
public:
    DrainedPty() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        char name[128];
        if (::ptsname_r(m_master, name, sizeof name) != 0)
            return;
        m_slavePath = name;
        // Raw on the master too, so that nothing it receives is echoed back.
        termios settings{};
        ::tcgetattr(m_master, &settings);
        ::cfmakeraw(&settings);
        ::tcsetattr(m_master, TCSANOW, &settings);
        m_reader = std::thread([this] { Drain(); });
    }
    ~DrainedPty() {
        m_stop = true;
        // One byte through the slave wakes the reader's blocking read.
        const int slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave >= 0) {
            [[maybe_unused]] const ssize_t n = ::write(slave, "", 1);
            ::close(slave);
        }
        if (m_reader.joinable())
            m_reader.join();
        if (m_master >= 0)
            ::close(m_master);
    }
    bool IsOpen() const { return m_reader.joinable(); }
    const std::string& SlavePath() const { return m_slavePath; }

    void Expect(long bytes) {
        std::lock_guard lock(m_mutex);
        m_received = 0;
        m_expected = bytes;
    }
    // Waits until the expected bytes have arrived; false after 20 s.
    bool WaitForAll() {
        std::unique_lock lock(m_mutex);
        return m_arrived.wait_for(lock, std::chrono::seconds(20),
                                  [this] { return m_received >= m_expected; });
    }

private:
    void Drain() {
        std::vector<char> buffer(1 << 16);
        while (!m_stop) {
            const ssize_t n = ::read(m_master, buffer.data(), buffer.size());
            if (n <= 0) {
                if (n < 0 && errno == EINTR)
                    continue;
                if (m_stop)
                    break;
                // EIO while no slave is open: wait for the next one.
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            std::lock_guard lock(m_mutex);
            m_received += n;
            if (m_received >= m_expected)
                m_arrived.notify_all();
        }
    }

    int m_master = -1;
    std::string m_slavePath;
    std::thread m_reader;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    long m_received = 0;
    long m_expected = 0;
};

// The lower bound: blocking writes of the same chunk size from the calling thread.
class PlainWriter {
public:
    explicit PlainWriter(const std::string& path) {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_fd < 0)
            return;
        termios settings{};
        ::tcgetattr(m_fd, &settings);
        ::cfmakeraw(&settings);
        settings.c_cflag |= CLOCAL | CREAD;
        ::tcsetattr(m_fd, TCSANOW, &settings);
    }
    ~PlainWriter() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool IsOpen() const { return m_fd >= 0; }
    bool Write(const char* data, int count, int chunk) {
        while (count > 0) {
            const ssize_t n = ::write(m_fd, data, std::size_t(std::min(count, chunk)));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            data += n;
            count -= int(n);
        }
        return true;
    }

private:
    int m_fd = -1;
};

double CpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

struct Series {
    std::vector<double> wallMs;
    std::vector<double> cpuMs; // every thread of the process, the reader's included
};

// One transfer; false when not every byte arrived.
bool Measure(DrainedPty& pty, const std::function<bool()>& send, Series& series) {
    pty.Expect(Payload);
    const double cpuStart = CpuMs();
    const Clock::time_point start = Clock::now();
    if (!send() || !pty.WaitForAll())
        return false;
    series.wallMs.push_back(
        std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    series.cpuMs.push_back(CpuMs() - cpuStart);
    return true;
}

// The component's port COM1 in the folder is the slave of ours.
bool SetUpPorts(const QTemporaryDir& dir, const DrainedPty& ours, const DrainedPty& theirs) {
    return dir.isValid() && ours.IsOpen() && theirs.IsOpen() && QDir(dir.path()).mkpath("ports") &&
           QFile::link(QString::fromStdString(ours.SlavePath()), dir.filePath("ports/COM1"));
}

bool OpenPort(TCommX& comm) {
    try {
        comm.SetFlowCtrl(cfcNone);
        comm.SetBitRate(115200);
        comm.SetPortNo(1);
        comm.Open();
        return true;
    } catch (const ECommError& error) {
        std::fprintf(stderr, "transmit: COM1: %s\n", error.what());
        return false;
    }
}

std::vector<char> MakePayload() {
    std::vector<char> data(Payload);
    for (int i = 0; i < Payload; ++i)
        data[std::size_t(i)] = char(i * 131 + 7);
    return data;
}

// One side of the comparison: how it sends, where its bytes arrive and what it measured.
struct Contender {
    DrainedPty& pty;
    std::function<bool()> send;
    Series& series;
};

// The two take turns, each starting every other run; returns the runs that lost bytes.
int TimeInTurns(int runs, const std::string& only, const Contender& ours, const Contender& plain) {
    Series warmUp;
    Measure(ours.pty, ours.send, warmUp);
    Measure(plain.pty, plain.send, warmUp);
    int failures = 0;
    for (int run = 0; run < runs; ++run) {
        const bool oursFirst = run % 2 == 0;
        for (int k = 0; k < 2; ++k) {
            const bool isOurs = (k == 0) == oursFirst;
            if (only != (isOurs ? "ours" : "plain") && !only.empty())
                continue;
            const Contender& next = isOurs ? ours : plain;
            if (!Measure(next.pty, next.send, next.series))
                ++failures;
        }
    }
    return failures;
}

void ReportSeries(int chunk, int runs, const Series& oursSeries, const Series& plainSeries) {
    std::printf("transmit: 1 MiB in chunks of %d bytes, %d runs each, milliseconds\n", chunk, runs);
    std::printf("%-24s %9s %9s %9s %9s %9s\n", "", "p10", "median", "p90", "MB/s", "CPU");
    for (const auto& [name, series] : {std::pair{"Write (transmit worker)", &oursSeries},
                                       std::pair{"plain write", &plainSeries}})
        std::printf("%-24s %9.2f %9.2f %9.2f %9.1f %9.2f\n", name,
                    bench::Quantile(series->wallMs, 0.1), bench::Median(series->wallMs),
                    bench::Quantile(series->wallMs, 0.9),
                    Payload / 1e3 / bench::Median(series->wallMs), bench::Median(series->cpuMs));
    const double ratio = bench::PairedRatio(oursSeries.wallMs, plainSeries.wallMs);
    std::printf("CPU time ours / plain: %.2fx\n",
                bench::PairedRatio(oursSeries.cpuMs, plainSeries.cpuMs));
    bench::Report({"transmit 1 MiB to a pseudo-terminal (median of " + std::to_string(runs) + ")",
                   bench::Format("%.2f ms (CPU %.2f ms)", bench::Median(oursSeries.wallMs),
                                 bench::Median(oursSeries.cpuMs)),
                   bench::Format("%.2f ms (CPU %.2f ms)", bench::Median(plainSeries.wallMs),
                                 bench::Median(plainSeries.cpuMs)),
                   ratio, "<= 1.2x", ratio <= 1.2});
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 41;
    const std::string only = argc > 2 ? argv[2] : "";
    QTemporaryDir dir;
    DrainedPty ours;
    DrainedPty theirs;
    if (!SetUpPorts(dir, ours, theirs)) {
        std::fprintf(stderr, "transmit: cannot set up the pseudo-terminals\n");
        return 1;
    }
    TCommX comm(nullptr, std::make_unique<TTermiosCommDevice>(dir.path().toStdString()));
    if (!OpenPort(comm))
        return 1;
    PlainWriter plain(theirs.SlavePath());
    if (!plain.IsOpen())
        return 1;
    const int chunk = comm.BufLenTrans();
    const std::vector<char> data = MakePayload();

    Series oursSeries, plainSeries;
    auto sendOurs = [&] { return comm.Write(data.data(), Payload); };
    auto sendPlain = [&] { return plain.Write(data.data(), Payload, chunk); };
    const int failures =
        TimeInTurns(runs, only, {ours, sendOurs, oursSeries}, {theirs, sendPlain, plainSeries});
    comm.Close();

    ReportSeries(chunk, runs, oursSeries, plainSeries);
    if (failures > 0)
        std::fprintf(stderr, "transmit: %d runs did not deliver every byte\n", failures);
    return failures == 0 ? 0 : 1;
}
