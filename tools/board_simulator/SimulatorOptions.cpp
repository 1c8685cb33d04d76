#include "SimulatorOptions.h"

#include <charconv>

namespace board {

namespace {

bool ParseInt(const std::string& text, int low, int high, int& value) {
    int base = 10;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        begin += 2;
    }
    int parsed = 0;
    auto [ptr, ec] = std::from_chars(begin, end, parsed, base);
    if (ec != std::errc() || ptr != end || begin == end || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

// Reads the command line one option at a time. A value follows its option's '=' or
// stands in the next argument; what is wrong goes to the error text.
class OptionReader {
public:
    OptionReader(const std::vector<std::string>& args, std::string& error)
        : m_args(args), m_error(error) {}

    bool Next() {
        if (m_next >= m_args.size())
            return false;
        m_current = m_next++;
        m_name = m_args[m_current];
        m_value.clear();
        m_hasValue = false;
        const auto equals = m_name.find('=');
        if (m_name.rfind("--", 0) == 0 && equals != std::string::npos) {
            m_value = m_name.substr(equals + 1);
            m_name = m_name.substr(0, equals);
            m_hasValue = true;
        }
        return true;
    }

    const std::string& Name() const { return m_name; }
    // A switch given a value with '=' is not that switch.
    bool IsSwitch(const char* name) const { return m_name == name && !m_hasValue; }

    bool TakeText(const char* what, std::string& target) {
        if (!TakeValue() || m_value.empty()) {
            m_error = m_name + " needs " + what;
            return false;
        }
        target = m_value;
        return true;
    }

    bool TakeInt(int low, int high, int& target) {
        if (!TakeValue() || !ParseInt(m_value, low, high, target)) {
            m_error = m_name + " needs a number from " + std::to_string(low) + " to " +
                      std::to_string(high);
            return false;
        }
        return true;
    }

    void RejectUnknown() { m_error = "unknown option " + m_args[m_current]; }

private:
    bool TakeValue() {
        if (m_hasValue)
            return true;
        if (m_next >= m_args.size())
            return false;
        m_value = m_args[m_next++];
        return true;
    }

    const std::vector<std::string>& m_args;
    std::string& m_error;
    std::size_t m_next = 0;
    std::size_t m_current = 0;
    std::string m_name;
    std::string m_value;
    bool m_hasValue = false;
};

// False when the option is unknown or its value is wrong.
bool ApplyOption(OptionReader& reader, SimulatorOptions& options, int& modes) {
    const std::string& name = reader.Name();
    int number = 0;
    if (name == "-h" || name == "--help") {
        options.help = true;
    } else if (name == "-d" || name == "--dir") {
        options.folderGiven = true;
        return reader.TakeText("a folder", options.folder);
    } else if (name == "-p" || name == "--port") {
        return reader.TakeInt(1, 30, options.port);
    } else if (name == "--delay") {
        return reader.TakeInt(0, 60000, options.delayMs);
    } else if (name == "--probe-reply") {
        if (!reader.TakeInt(0, 255, number))
            return false;
        options.board.probeReply = static_cast<std::uint8_t>(number);
    } else if (name == "--probe-bytes") {
        return reader.TakeInt(0, 256, options.board.probeReplyCount);
    } else if (name == "--log") {
        return reader.TakeText("a file name", options.logFile);
    } else if (name == "--record") {
        return reader.TakeText("a file name", options.recordFile);
    } else if (reader.IsSwitch("--trace")) {
        options.trace = true;
    } else if (reader.IsSwitch("--exit-with-parent")) {
        options.exitWithParent = true;
    } else if (reader.IsSwitch("--silent")) {
        options.board.mode = ReplyMode::Silent;
        ++modes;
    } else if (reader.IsSwitch("--nak")) {
        options.board.mode = ReplyMode::Nak;
        ++modes;
    } else if (reader.IsSwitch("--probe-only")) {
        options.board.mode = ReplyMode::ProbeOnly;
        ++modes;
    } else {
        reader.RejectUnknown();
        return false;
    }
    return true;
}

} // namespace

ParseResult ParseOptions(const std::vector<std::string>& args) {
    ParseResult result;
    OptionReader reader(args, result.error);
    int modes = 0;
    while (reader.Next()) {
        if (!ApplyOption(reader, result.options, modes))
            return result;
    }
    if (modes > 1)
        result.error = "choose only one of --silent, --nak and --probe-only";
    return result;
}

namespace {

// Where the panel looks, and the lines that try it; both depend on how it was found.
std::string WherePanelLooks(const PanelPlace& panel) {
    if (panel.program.empty())
        return R"(The panel looks for its ports in ports/ beside its executable,
or in $XDG_CONFIG_HOME/tapdeck/ports/ when it cannot write there.
)";
    return "The panel\n  " + panel.program + "\nlooks for its ports in\n  " + panel.portFolder +
           "/ports/\n";
}

std::string HowToTry(const std::string& programName, const PanelPlace& panel) {
    if (panel.installed)
        return "Trying the panel without a robot:\n  1. start the panel: " + panel.program +
               "\n  2. in another terminal:\n       " + programName + " --port 3\n";
    const std::string folder = panel.program.empty() ? "build/app" : panel.portFolder;
    return R"(Trying the panel without a robot (in the source folder):
  1. make run               builds everything and starts the panel
  2. in another terminal:
       build/tools/board_simulator/)" +
           programName + " --dir " + folder + " --port 3\n";
}

std::string FolderOption(const PanelPlace& panel) {
    if (panel.installed)
        return "  -d, --dir DIR         folder that gets ports/COMn (default: the panel's,\n"
               "                        " +
               panel.portFolder + ")\n";
    return R"(  -d, --dir DIR         folder that gets ports/COMn (default: current folder);
                        use the one the panel looks in (above)
)";
}

} // namespace

std::string HelpText(const std::string& programName, const PanelPlace& panel) {
    return "Usage: " + programName + R"( [options]

Stands in for the robot's controller board, so that the panel can be tried
without a robot. It opens a pseudo-terminal and links it as ports/COMn in the
given folder. )" +
           WherePanelLooks(panel) + R"(
It answers as the board does: every probe byte 0D with one byte, every play
command (F4, flags, play number, checksum) with 06, and a command with a wrong
checksum with 15. Every play number it plays is logged, one line each, with a
time stamp. It runs until Ctrl+C (or SIGTERM) and then removes its link.

)" + HowToTry(programName, panel) +
           R"(  3. in the panel's property editor choose COM3 as the link, leave edit mode,
     and press a button with a play number: the simulator logs it, e.g.
       2026-12-08 16:50:00.123 play 0 (motion 1) flags 01

Options:
)" + FolderOption(panel) +
           R"(  -p, --port N          COM port number, 1 to 30 (default 1)
      --silent          answer nothing at all (a board that is switched off)
      --nak             answer every play command with 15 (refused)
      --probe-only      answer the probe byte but not the play commands
      --delay MS        wait MS milliseconds before each reply (default 0)
      --probe-reply B   byte sent back for the probe, e.g. 0x00 (default 0x0D)
      --probe-bytes N   send N bytes back for each probe (default 1)
      --log FILE        append the log to FILE instead of standard output
      --trace           also log every probe, command and reply, in hex
      --record FILE     append every probe byte and every play to FILE, one line
                        each, with the time its bytes were read in microseconds
                        on the monotonic clock, e.g. "81234567890 play 4"
      --exit-with-parent
                        end when the program that started it ends (for tests)
  -h, --help            show this text
)";
}

} // namespace board
