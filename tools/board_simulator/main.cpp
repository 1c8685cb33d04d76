// Stand-in for the robot's controller board on a pseudo-terminal. See --help.
#include "BoardModel.h"
#include "PanelFolder.h"
#include "PseudoTerminal.h"
#include "SimulatorOptions.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

int g_stopPipe[2] = {-1, -1};

void RequestStop(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] ssize_t ignored = ::write(g_stopPipe[1], &byte, 1);
    errno = saved;
}

std::int64_t MonotonicMicros() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

std::int64_t MonotonicMs() {
    return MonotonicMicros() / 1000;
}

class Log {
public:
    Log(std::FILE* file, bool trace) : m_file(file), m_trace(trace) {}

    void Line(const std::string& text) {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        tm local{};
        ::localtime_r(&now.tv_sec, &local);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
        std::fprintf(m_file, "%s.%03ld %s\n", stamp, now.tv_nsec / 1000000, text.c_str());
        std::fflush(m_file);
    }
    void Trace(const std::string& text) {
        if (m_trace)
            Line(text);
    }

    // sentLogged: replies were written already and are logged in their place.
    void Events(const std::vector<board::BoardEvent>& events, bool sentLogged) {
        using Kind = board::BoardEvent::Kind;
        for (const board::BoardEvent& event : events) {
            const std::string hex = board::FormatHex(event.bytes);
            char flags[8];
            std::snprintf(flags, sizeof flags, "%02X", event.flags);
            const std::string play = "play " + std::to_string(event.number) + " (" +
                                     board::DescribePlayNumber(event.number) + ") flags " + flags;
            switch (event.kind) {
            case Kind::Sent:
                if (sentLogged)
                    Trace("tx " + hex);
                break;
            case Kind::Probe:
            case Kind::Stray:
                Trace("rx " + hex);
                break;
            case Kind::Played:
                Trace("rx " + hex);
                Line(play);
                break;
            case Kind::Refused:
                Trace("rx " + hex);
                Line("refused " + play);
                break;
            case Kind::Ignored:
                Trace("rx " + hex);
                Line("ignored " + play);
                break;
            case Kind::BadChecksum:
                Trace("rx " + hex);
                Line("bad checksum: " + hex);
                break;
            case Kind::Incomplete:
                Line("incomplete command dropped: " + hex);
                break;
            }
        }
    }

private:
    std::FILE* m_file;
    bool m_trace;
};

// The probes and plays with the time their bytes were read, on the clock other programs
// on the machine read too, for whoever measures the panel's timing against the board.
class Record {
public:
    explicit Record(std::FILE* file) : m_file(file) {}

    void Events(const std::vector<board::BoardEvent>& events, std::int64_t readMicros) {
        if (m_file == nullptr)
            return;
        bool wrote = false;
        for (const board::BoardEvent& event : events) {
            if (event.kind == board::BoardEvent::Kind::Probe)
                std::fprintf(m_file, "%lld probe\n", static_cast<long long>(readMicros));
            else if (event.kind == board::BoardEvent::Kind::Played)
                std::fprintf(m_file, "%lld play %d\n", static_cast<long long>(readMicros),
                             event.number);
            else
                continue;
            wrote = true;
        }
        if (wrote)
            std::fflush(m_file);
    }

private:
    std::FILE* m_file;
};

struct PendingReply {
    std::int64_t dueMs;
    board::Bytes bytes;
};

bool SendReply(int fd, const board::Bytes& bytes, Log& log) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            log.Line("reply dropped (" + std::string(std::strerror(errno)) + ")");
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

bool InstallSignals() {
    if (::pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        if (::sigaction(signal, &action, nullptr) != 0)
            return false;
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

// Runs until a stop signal. Returns the exit status.
int Serve(board::PseudoTerminal& terminal, const board::SimulatorOptions& options, Log& log,
          Record& record) {
    board::BoardModel model(options.board);
    std::deque<PendingReply> pending;
    std::uint8_t buffer[4096];
    for (;;) {
        int timeout = -1;
        if (!pending.empty())
            timeout =
                static_cast<int>(std::max<std::int64_t>(0, pending.front().dueMs - MonotonicMs()));
        pollfd fds[2] = {{terminal.MasterFd(), POLLIN, 0}, {g_stopPipe[0], POLLIN, 0}};
        const int ready = ::poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR) {
            log.Line(std::string("poll failed: ") + std::strerror(errno));
            return 1;
        }
        if (ready > 0 && fds[1].revents != 0)
            return 0;
        if (ready > 0 && (fds[0].revents & POLLIN) != 0) {
            const ssize_t count = ::read(terminal.MasterFd(), buffer, sizeof buffer);
            if (count > 0) {
                const std::int64_t readMicros = MonotonicMicros();
                const std::int64_t now = readMicros / 1000;
                board::FeedResult result = model.Feed(buffer, static_cast<std::size_t>(count), now);
                // The reply goes out before anything is logged: the log must not slow it.
                bool sentNow = false;
                if (!result.reply.empty()) {
                    if (options.delayMs == 0)
                        sentNow = SendReply(terminal.MasterFd(), result.reply, log);
                    else
                        pending.push_back({now + options.delayMs, std::move(result.reply)});
                }
                record.Events(result.events, readMicros);
                log.Events(result.events, sentNow);
            } else if (count < 0 && errno != EAGAIN && errno != EINTR) {
                log.Line(std::string("read failed: ") + std::strerror(errno));
                return 1;
            }
        } else if (ready > 0 && (fds[0].revents & (POLLHUP | POLLERR)) != 0) {
            // Cannot happen while our own slave descriptor is open; never spin on it.
            log.Line("terminal hung up");
            return 1;
        }
        while (!pending.empty() && pending.front().dueMs <= MonotonicMs()) {
            if (SendReply(terminal.MasterFd(), pending.front().bytes, log))
                log.Trace("tx " + board::FormatHex(pending.front().bytes));
            pending.pop_front();
        }
    }
}

// The name it was started by, as the user typed it (installed, it has another one).
std::string ProgramName(const char* argv0) {
    const std::string path = argv0 != nullptr && *argv0 != '\0' ? argv0 : "board_simulator";
    return path.substr(path.rfind('/') + 1);
}

} // namespace

int main(int argc, char** argv) {
    const std::string program = ProgramName(argv[0]);
    const board::ParseResult parsed =
        board::ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program.c_str(), parsed.error.c_str(),
                     program.c_str());
        return 2;
    }
    const board::SimulatorOptions& options = parsed.options;
    const board::PanelPlace panel = board::FindPanel(board::ExecutableFolder());
    if (options.help) {
        std::fputs(board::HelpText(program, panel).c_str(), stdout);
        return 0;
    }

    std::FILE* logFile = stdout;
    if (!options.logFile.empty()) {
        logFile = std::fopen(options.logFile.c_str(), "ae");
        if (logFile == nullptr) {
            std::fprintf(stderr, "%s: cannot open %s: %s\n", program.c_str(),
                         options.logFile.c_str(), std::strerror(errno));
            return 1;
        }
    }
    Log log(logFile, options.trace);
    std::FILE* recordFile = nullptr;
    if (!options.recordFile.empty()) {
        recordFile = std::fopen(options.recordFile.c_str(), "ae");
        if (recordFile == nullptr) {
            std::fprintf(stderr, "%s: cannot open %s: %s\n", program.c_str(),
                         options.recordFile.c_str(), std::strerror(errno));
            return 1;
        }
    }
    Record record(recordFile);

    if (!InstallSignals()) {
        std::fprintf(stderr, "%s: cannot install signal handlers\n", program.c_str());
        return 1;
    }
    if (options.exitWithParent) {
        // A test that dies must not leave its boards behind. The parent may be gone already.
        const pid_t parent = ::getppid();
        if (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || parent == 1)
            return 1;
    }
    // Installed, the board goes where the panel looks; in a build tree, where it is asked.
    const std::string wanted =
        !options.folderGiven && panel.installed ? board::MakePortFolder(panel) : options.folder;
    char folder[PATH_MAX];
    if (::realpath(wanted.c_str(), folder) == nullptr) {
        std::fprintf(stderr, "%s: folder %s: %s\n", program.c_str(), wanted.c_str(),
                     std::strerror(errno));
        return 1;
    }
    board::PseudoTerminal terminal;
    std::string error;
    const std::string linkPath = std::string(folder) + "/ports/COM" + std::to_string(options.port);
    if (!terminal.Open(error) || !terminal.Link(linkPath, error)) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
        return 1;
    }
    std::printf("%s: board on COM%d: %s -> %s\n", program.c_str(), options.port,
                terminal.LinkPath().c_str(), terminal.SlavePath().c_str());
    std::printf("%s: press Ctrl+C to stop\n", program.c_str());
    std::fflush(stdout);

    const int status = Serve(terminal, options, log, record);
    terminal.Unlink();
    if (logFile != stdout)
        std::fclose(logFile);
    if (recordFile != nullptr)
        std::fclose(recordFile);
    return status;
}
