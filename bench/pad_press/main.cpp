// Pad presses against shortcut keys, on one panel on COM1, a pseudo-terminal: one button
// has both (key A, pad A, Motion1), another is pressed by the left stick pushed up (pad
// LS-Up, Motion1). This program answers as the board and notes when each probe byte
// arrives. A shortcut is a real key event sent through the panel's key filter; a pad
// press is SDL's virtual pad's A button going down, a stick press its left stick going
// from the centre to 0.8 up, read by the panel's SDL input as a real pad is. Each latency
// runs from that moment to the probe byte; the three kinds take turns, with a random gap
// so that a pad press falls anywhere in the panel's reading interval. Targets: pad p99 at
// most 5 ms above the shortcut's, the stick's at most 0.5 ms above the pad button's.
//
// Then idle CPU over a few seconds each: the panel without pad input (baseline), with
// pad input and no pad, and with one pad connected.
// Arguments: the number of presses of each kind (300), seconds per idle series (5).
#include "BenchResult.h"
#include "BtnPrm.h"
#include "CmdMain.h"
#include "CommPortPath.h"
#include "MessageBox.h"
#include "PanelLayout.h"
#include "PanelLink.h"
#include "PressControl.h"
#include "SdlPadInput.h"
#include "VirtualPad.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

qint64 Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// The board's side of the exchange: 0D answered by 0D, the four-byte command by 06.
class Board {
public:
    bool Open() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return false;
        m_thread = std::thread([this] { Run(); });
        return true;
    }
    ~Board() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_master >= 0)
            ::close(m_master);
    }
    QString SlavePath() const { return QString::fromLocal8Bit(::ptsname(m_master)); }
    int Probes() const { return m_probes.load(); }
    qint64 LastProbe() const { return m_lastProbe.load(); }

private:
    void Run() {
        int commandBytes = -1; // -1: waiting for a probe
        while (!m_stop) {
            pollfd fd{m_master, POLLIN, 0};
            if (::poll(&fd, 1, 50) <= 0)
                continue;
            unsigned char bytes[64];
            const ssize_t got = ::read(m_master, bytes, sizeof bytes);
            const qint64 at = Now();
            for (ssize_t i = 0; i < got; ++i) {
                if (commandBytes < 0 && bytes[i] == 0x0D) {
                    m_lastProbe = at;
                    ++m_probes;
                    Reply(0x0D);
                    commandBytes = 0;
                } else if (commandBytes >= 0 && ++commandBytes == 4) {
                    Reply(0x06);
                    commandBytes = -1;
                }
            }
        }
    }
    void Reply(unsigned char byte) {
        if (::write(m_master, &byte, 1) != 1)
            std::fprintf(stderr, "pad_press: the board's reply was not written\n");
    }

    int m_master = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_probes{0};
    std::atomic<qint64> m_lastProbe{0};
};

void RunFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `ended` passes `before` (a press may end before its sender
// returns), or two seconds.
bool WaitForPlay(const int& ended, int before) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (ended > before)
            loop.quit();
    });
    check.start(1);
    QTimer::singleShot(2000, &loop, [&loop] { loop.exit(1); });
    return ended > before || loop.exec() == 0;
}

double ProcessCpuSeconds() {
    timespec spent{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &spent);
    return double(spent.tv_sec) + double(spent.tv_nsec) / 1e9;
}

// Per cent of one core the process spends while the panel sits idle.
double IdleCpuPercent(int seconds) {
    RunFor(300);
    const double before = ProcessCpuSeconds();
    RunFor(seconds * 1000);
    return (ProcessCpuSeconds() - before) * 100.0 / seconds;
}

bool WriteSettings(const QString& folder) {
    QFile file(QDir(folder).filePath(QLatin1String(SettingsFileName)));
    return file.open(QIODevice::WriteOnly) &&
           file.write("[Form]\r\nComm=1\r\nCaption=Bench\r\nTop=50\r\nLeft=50\r\nWidth=320\r\n"
                      "Height=240\r\nButton=2\r\n[Button1]\r\nCaption=Go\r\nTop=10\r\nLeft=10\r\n"
                      "Width=80\r\nHeight=30\r\nMotion=0\r\nShortCut=65\r\nPad=A\r\n[Button2]\r\n"
                      "Caption=Stick\r\nTop=50\r\nLeft=10\r\nWidth=80\r\nHeight=30\r\n"
                      "Motion=0\r\nPad=LS-Up\r\n") > 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int presses = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
    const int idleSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    SetMessageBoxHandler([](const MessageBoxRequest&) { return int(IDOK); });
    Board board;
    QTemporaryDir dir;
    if (!dir.isValid() || !board.Open() || !QDir(dir.path()).mkpath("ports") ||
        !QFile::link(board.SlavePath(), dir.filePath("ports/COM1")) || !WriteSettings(dir.path()))
        return 1;
    SetCommPortFolder(QFile::encodeName(dir.path()).toStdString());

    TCmdMain panel(dir.path());
    TBtnPrm editor(&panel);
    panel.SetEditor(&editor); // chooses the stored link: COM1
    const double idleWithoutInput = IdleCpuPercent(idleSeconds);
    const qint64 startingSdl = Now();
    auto input = std::make_unique<TSdlPadInput>();
    const double sdlStartMs = double(Now() - startingSdl) / 1e6;
    TSdlPadInput* pads = input.get();
    panel.SetPadInput(std::move(input));
    const double idleNoPad = IdleCpuPercent(idleSeconds);
    const int index = AttachVirtualPad(true);
    pads->Pump(); // opens it: a virtual pad has no device node to watch
    SDL_Joystick* pad = OpenedVirtualPad(index);
    if (!pad || pads->PadCount() != 1) {
        std::fprintf(stderr, "pad_press: no virtual pad: %s\n", SDL_GetError());
        return 1;
    }
    const double idleOnePad = IdleCpuPercent(idleSeconds);

    int ended = 0;
    QObject::connect(&panel.Presses(), &TPressControl::PlayEnded, [&ended] { ++ended; });
    // Each kind's latencies: the shortcut, the pad button, the stick.
    enum Kind { Key, Button, Stick, Kinds };
    std::vector<double> ms[Kinds];
    int lost = 0;
    int lostStick = 0;
    for (int i = 0; i < presses * Kinds; ++i) {
        RunFor(3 + int(QRandomGenerator::global()->bounded(8)));
        const Kind kind = Kind(i % Kinds);
        const int probes = board.Probes();
        const int endedBefore = ended;
        const qint64 start = Now();
        if (kind == Button) {
            SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, 1);
        } else if (kind == Stick) {
            SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTY,
                                       Sint16(-0.8 * SDL_JOYSTICK_AXIS_MAX));
        } else {
            QWidget* target = panel.focusWidget() ? panel.focusWidget() : &panel;
            QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
            QApplication::sendEvent(target, &press);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
            QApplication::sendEvent(target, &release);
        }
        const bool played = WaitForPlay(ended, endedBefore);
        if (kind == Button)
            SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, 0);
        else if (kind == Stick)
            SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTY, 0);
        if (!played || board.Probes() != probes + 1) {
            ++(kind == Stick ? lostStick : lost);
            continue;
        }
        ms[kind].push_back(double(board.LastProbe() - start) / 1e6);
    }
    const std::vector<double>& keyMs = ms[Key];
    const std::vector<double>& padMs = ms[Button];
    const std::vector<double>& stickMs = ms[Stick];
    const double keyP99 = bench::Quantile(keyMs, 0.99);
    const double padP99 = bench::Quantile(padMs, 0.99);
    const double stickP99 = bench::Quantile(stickMs, 0.99);
    std::printf("pad_press: %d presses of each kind, %d lost; ms to the probe byte: key p50 %.2f "
                "p99 %.2f max %.2f, pad p50 %.2f p99 %.2f max %.2f\n",
                presses, lost, bench::Median(keyMs), keyP99, bench::Quantile(keyMs, 1),
                bench::Median(padMs), padP99, bench::Quantile(padMs, 1));
    std::printf("pad_press: stick past 0.6, %d lost: p50 %.2f p99 %.2f max %.2f\n", lostStick,
                bench::Median(stickMs), stickP99, bench::Quantile(stickMs, 1));
    std::printf("pad_press: idle CPU over %d s: no pad input %.3f %%, no pad %.3f %%, one pad "
                "%.3f %%; starting SDL's pad input took %.2f ms\n",
                idleSeconds, idleWithoutInput, idleNoPad, idleOnePad, sdlStartMs);
    bench::Report({"pad press to probe byte, p99 (shortcut key as baseline)",
                   bench::Format("%.2f ms", padP99), bench::Format("%.2f ms", keyP99),
                   keyP99 > 0 ? padP99 / keyP99 : -1, "<= shortcut + 5 ms, none lost",
                   lost == 0 && padP99 <= keyP99 + 5.0});
    bench::Report({"pad stick past 0.6 to probe byte, p99 (pad button as baseline)",
                   bench::Format("%.2f ms", stickP99), bench::Format("%.2f ms", padP99),
                   padP99 > 0 ? stickP99 / padP99 : -1, "<= pad button + 0.5 ms, none lost",
                   lostStick == 0 && stickP99 <= padP99 + 0.5});
    bench::Report({"idle CPU, pad input without a pad (no pad input as baseline)",
                   bench::Format("%.3f %%", idleNoPad), bench::Format("%.3f %%", idleWithoutInput),
                   -1, "<= baseline + 0.1 points", idleNoPad <= idleWithoutInput + 0.1});
    bench::Report({"idle CPU, one pad connected (reading every 2 ms)",
                   bench::Format("%.3f %%", idleOnePad), bench::Format("%.3f %%", idleWithoutInput),
                   -1, "< 2 % of a core", idleOnePad < 2.0});
    return 0;
}
