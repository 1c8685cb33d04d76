#include "BoardModel.h"

#include <cstdio>

namespace board {

FeedResult BoardModel::Feed(const std::uint8_t* data, std::size_t size, std::int64_t nowMs) {
    FeedResult result;
    if (size == 0)
        return result;
    if (!m_command.empty() && nowMs - m_lastByteMs > m_settings.commandGapMs) {
        result.events.push_back({BoardEvent::Kind::Incomplete, m_command});
        m_command.clear();
    }
    m_lastByteMs = nowMs;
    for (std::size_t i = 0; i < size; ++i)
        TakeByte(data[i], result);
    return result;
}

void BoardModel::TakeByte(std::uint8_t byte, FeedResult& result) {
    if (!m_command.empty()) {
        // Inside a command every value is data, 0x0D included (play number 13).
        m_command.push_back(byte);
        if (m_command.size() == 4)
            FinishCommand(result);
        return;
    }
    if (byte == PlayCommandCode) {
        m_command.push_back(byte);
        return;
    }
    if (byte == ProbeByte) {
        result.events.push_back({BoardEvent::Kind::Probe, {byte}});
        if (m_settings.mode != ReplyMode::Silent && m_settings.probeReplyCount > 0)
            AddSent(result, Bytes(m_settings.probeReplyCount, m_settings.probeReply));
        return;
    }
    result.events.push_back({BoardEvent::Kind::Stray, {byte}});
}

void BoardModel::FinishCommand(FeedResult& result) {
    Bytes command;
    command.swap(m_command);
    const int sum = command[0] + command[1] + command[2];
    const bool good = (sum & 0xFF) == command[3];
    const bool answers = m_settings.mode == ReplyMode::Normal || m_settings.mode == ReplyMode::Nak;
    if (!good) {
        result.events.push_back({BoardEvent::Kind::BadChecksum, command});
        if (answers)
            AddSent(result, {Nak});
        return;
    }
    BoardEvent event{BoardEvent::Kind::Played, command, command[2], command[1]};
    switch (m_settings.mode) {
    case ReplyMode::Normal:
        result.events.push_back(event);
        AddSent(result, {Ack});
        break;
    case ReplyMode::Nak:
        event.kind = BoardEvent::Kind::Refused;
        result.events.push_back(event);
        AddSent(result, {Nak});
        break;
    case ReplyMode::ProbeOnly:
    case ReplyMode::Silent:
        event.kind = BoardEvent::Kind::Ignored;
        result.events.push_back(event);
        break;
    }
}

void BoardModel::AddSent(FeedResult& result, const Bytes& bytes) {
    result.reply.insert(result.reply.end(), bytes.begin(), bytes.end());
    result.events.push_back({BoardEvent::Kind::Sent, bytes});
}

std::string DescribePlayNumber(int number) {
    if (number >= 0 && number <= 79)
        return "motion " + std::to_string(number + 1);
    if (number >= 80 && number <= 84)
        return "scenario " + std::to_string(number - 79);
    return "unknown";
}

std::string FormatHex(const Bytes& bytes) {
    std::string text;
    char buffer[4];
    for (std::uint8_t byte : bytes) {
        std::snprintf(buffer, sizeof buffer, "%02X", byte);
        if (!text.empty())
            text += ' ';
        text += buffer;
    }
    return text;
}

} // namespace board
