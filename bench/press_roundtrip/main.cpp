// Times button presses over a pseudo-terminal against the board simulator: the panel's
// SendPlayCommand through the serial component, and, interleaved in the same run, the
// same exchange (0D, one byte, four-byte command, one byte) with plain blocking
// read/write calls on a second pseudo-terminal against a second simulator.
#include "Cmd.h"
#include "CommX.h"
#include "SimulatorProcess.h"
#include "TermiosCommDevice.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

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

struct Figures {
    double p50 = 0;
    double p99 = 0;
    double mean = 0;
    double max = 0;
};

Figures Summarise(std::vector<double> micros) {
    std::sort(micros.begin(), micros.end());
    Figures figures;
    auto at = [&](double q) {
        return micros[std::min(micros.size() - 1,
                               std::size_t(q * double(micros.size() - 1) + 0.5))];
    };
    figures.p50 = at(0.50);
    figures.p99 = at(0.99);
    double sum = 0;
    for (double value : micros)
        sum += value;
    figures.mean = sum / double(micros.size());
    figures.max = micros.back();
    return figures;
}

double MicrosSince(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int count = 1000;
    const QStringList args = app.arguments();
    const qsizetype countAt = args.indexOf("--count");
    if (countAt > 0 && countAt + 1 < args.size())
        count = std::max(1, args[countAt + 1].toInt());

    QTemporaryDir dir;
    SimulatorProcess ourBoard;
    SimulatorProcess plainBoard;
    if (!ourBoard.Start(dir.path(), 1) || !plainBoard.Start(dir.path(), 2)) {
        std::fprintf(stderr, "press_roundtrip: %s%s\n", qPrintable(ourBoard.ErrorString()),
                     qPrintable(plainBoard.ErrorString()));
        return 1;
    }

    // The component as the link selection opens it.
    TCommX comm(nullptr, std::make_unique<TTermiosCommDevice>(dir.path().toStdString()));
    try {
        comm.SetFlowCtrl(cfcNone);
        comm.SetBitRate(115200);
        comm.SetPortNo(1);
        comm.SetTimeOutReceive(Cmd::ReceiveTimeout);
        comm.Open();
        comm.SetDTR(true);
        comm.SetDTR(false);
        comm.PurgeReceive();
        comm.PurgeTrans();
    } catch (const ECommError& error) {
        std::fprintf(stderr, "press_roundtrip: %s\n", error.what());
        return 1;
    }
    PlainLine plain(plainBoard.LinkPath());
    if (!plain.IsOpen()) {
        std::fprintf(stderr, "press_roundtrip: cannot open %s\n",
                     qPrintable(plainBoard.LinkPath()));
        return 1;
    }

    for (int i = 0; i < 20; ++i) { // warm-up, not counted
        Cmd::SendPlayCommand(comm, 1, 0, 0);
        plain.Press(0);
    }

    std::vector<double> ours;
    std::vector<double> direct;
    ours.reserve(std::size_t(count));
    direct.reserve(std::size_t(count));
    int ourFailures = 0;
    int directFailures = 0;
    // Interleaved, so that both see the same load on the machine.
    for (int i = 0; i < count; ++i) {
        const auto number = static_cast<unsigned char>(i % 85);
        auto start = Clock::now();
        if (!Cmd::SendPlayCommand(comm, 1, 0, number))
            ++ourFailures;
        ours.push_back(MicrosSince(start));
        start = Clock::now();
        if (!plain.Press(number))
            ++directFailures;
        direct.push_back(MicrosSince(start));
    }
    comm.Close();

    const Figures a = Summarise(ours);
    const Figures b = Summarise(direct);
    std::printf("press_roundtrip: %d presses each, microseconds\n", count);
    std::printf("%-22s %10s %10s %10s %10s %9s\n", "", "p50", "p99", "mean", "max", "failures");
    std::printf("%-22s %10.1f %10.1f %10.1f %10.1f %9d\n", "SendPlayCommand", a.p50, a.p99, a.mean,
                a.max, ourFailures);
    std::printf("%-22s %10.1f %10.1f %10.1f %10.1f %9d\n", "plain read/write", b.p50, b.p99, b.mean,
                b.max, directFailures);
    const double ratio50 = a.p50 / b.p50;
    std::printf("ratio p50 %.2f, p99 %.2f (target: p50 within 1.5): %s\n", ratio50, a.p99 / b.p99,
                ratio50 <= 1.5 ? "met" : "NOT met");
    return ourFailures == 0 && directFailures == 0 ? 0 : 1;
}
