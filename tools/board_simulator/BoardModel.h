#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace board {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t ProbeByte = 0x0D;
constexpr std::uint8_t PlayCommandCode = 0xF4;
constexpr std::uint8_t Ack = 0x06;
constexpr std::uint8_t Nak = 0x15;

// How the stand-in board answers.
enum class ReplyMode {
    Normal,    // probe answered, good command ACK, bad checksum NAK
    Silent,    // answers nothing
    Nak,       // probe answered, every command NAK
    ProbeOnly, // probe answered, commands ignored
};

struct BoardSettings {
    ReplyMode mode = ReplyMode::Normal;
    std::uint8_t probeReply = 0x0D;
    int probeReplyCount = 1;
    // A command left incomplete for longer than this is dropped when the next byte comes.
    int commandGapMs = 100;
};

// One thing the board saw or did, in the order it happened.
struct BoardEvent {
    enum class Kind {
        Probe,       // received the probe byte
        Played,      // received a good command and played it
        Refused,     // received a good command and refused it (NAK mode)
        Ignored,     // received a good command and did not answer (probe-only, silent)
        BadChecksum, // received a command whose checksum is wrong
        Stray,       // received a byte outside any command
        Incomplete,  // dropped a command that stopped half way
        Sent,        // sent a reply
    };
    Kind kind;
    Bytes bytes;    // what was received or sent
    int number = 0; // play number (Played, Refused, Ignored)
    int flags = 0;
};

struct FeedResult {
    Bytes reply; // to be written to the line
    std::vector<BoardEvent> events;
};

// The board's side of the wire protocol as a pure byte machine: bytes in, replies and
// events out. No I/O, so it can be tested without a terminal.
class BoardModel {
public:
    explicit BoardModel(BoardSettings settings = {}) : m_settings(settings) {}

    FeedResult Feed(const std::uint8_t* data, std::size_t size, std::int64_t nowMs);
    FeedResult Feed(const Bytes& data, std::int64_t nowMs) {
        return Feed(data.data(), data.size(), nowMs);
    }

    bool HasPartialCommand() const { return !m_command.empty(); }

private:
    void TakeByte(std::uint8_t byte, FeedResult& result);
    void FinishCommand(FeedResult& result);
    static void AddSent(FeedResult& result, const Bytes& bytes);

    BoardSettings m_settings;
    Bytes m_command;
    std::int64_t m_lastByteMs = 0;
};

// "motion 1" .. "motion 80", "scenario 1" .. "scenario 5", else "unknown".
std::string DescribePlayNumber(int number);
std::string FormatHex(const Bytes& bytes);

} // namespace board
