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

} // namespace

ParseResult ParseOptions(const std::vector<std::string>& args) {
    ParseResult result;
    SimulatorOptions& options = result.options;
    int modes = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        const auto equals = name.find('=');
        if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            hasValue = true;
        }
        auto takeValue = [&]() {
            if (hasValue)
                return true;
            if (i + 1 >= args.size())
                return false;
            value = args[++i];
            return true;
        };
        auto takeInt = [&](int low, int high, int& target) {
            if (!takeValue() || !ParseInt(value, low, high, target)) {
                result.error = name + " needs a number from " + std::to_string(low) + " to " +
                               std::to_string(high);
                return false;
            }
            return true;
        };
        int number = 0;
        if (name == "-h" || name == "--help") {
            options.help = true;
        } else if (name == "-d" || name == "--dir") {
            if (!takeValue() || value.empty()) {
                result.error = name + " needs a folder";
                return result;
            }
            options.folder = value;
        } else if (name == "-p" || name == "--port") {
            if (!takeInt(1, 30, options.port))
                return result;
        } else if (name == "--delay") {
            if (!takeInt(0, 60000, options.delayMs))
                return result;
        } else if (name == "--probe-reply") {
            if (!takeInt(0, 255, number))
                return result;
            options.board.probeReply = static_cast<std::uint8_t>(number);
        } else if (name == "--probe-bytes") {
            if (!takeInt(0, 256, options.board.probeReplyCount))
                return result;
        } else if (name == "--log") {
            if (!takeValue() || value.empty()) {
                result.error = name + " needs a file name";
                return result;
            }
            options.logFile = value;
        } else if (name == "--trace" && !hasValue) {
            options.trace = true;
        } else if (name == "--exit-with-parent" && !hasValue) {
            options.exitWithParent = true;
        } else if (name == "--silent" && !hasValue) {
            options.board.mode = ReplyMode::Silent;
            ++modes;
        } else if (name == "--nak" && !hasValue) {
            options.board.mode = ReplyMode::Nak;
            ++modes;
        } else if (name == "--probe-only" && !hasValue) {
            options.board.mode = ReplyMode::ProbeOnly;
            ++modes;
        } else {
            result.error = "unknown option " + args[i];
            return result;
        }
    }
    if (modes > 1)
        result.error = "choose only one of --silent, --nak and --probe-only";
    return result;
}

std::string HelpText(const std::string& programName) {
    return "Usage: " + programName + R"( [options]

Stands in for the robot's controller board, so that the panel can be tried
without a robot. It opens a pseudo-terminal and links it as ports/COMn in the
given folder; the panel looks for its ports in ports/ beside its executable.

It answers as the board does: every probe byte 0D with one byte, every play
command (F4, flags, play number, checksum) with 06, and a command with a wrong
checksum with 15. Every play number it plays is logged, one line each, with a
time stamp. It runs until Ctrl+C (or SIGTERM) and then removes its link.

Trying the panel without a robot (in the source folder):
  1. make run               builds everything and starts the panel
  2. in another terminal:
       build/tools/board_simulator/)" + programName + R"( --dir build/app --port 3
  3. in the panel's property editor choose COM3 as the link, leave edit mode,
     and press a button with a play number: the simulator logs it, e.g.
       2026-12-08 16:50:00.123 play 0 (motion 1) flags 01

Options:
  -d, --dir DIR         folder that gets ports/COMn (default: current folder);
                        use the folder of the panel's executable
  -p, --port N          COM port number, 1 to 30 (default 1)
      --silent          answer nothing at all (a board that is switched off)
      --nak             answer every play command with 15 (refused)
      --probe-only      answer the probe byte but not the play commands
      --delay MS        wait MS milliseconds before each reply (default 0)
      --probe-reply B   byte sent back for the probe, e.g. 0x00 (default 0x0D)
      --probe-bytes N   send N bytes back for each probe (default 1)
      --log FILE        append the log to FILE instead of standard output
      --trace           also log every probe, command and reply, in hex
      --exit-with-parent
                        end when the program that started it ends (for tests)
  -h, --help            show this text
)";
}

} // namespace board
