#include "Cmd.h"

#include "CommX.h"

#include <set>

namespace Cmd {

namespace {

// Components with an exchange in progress. GUI thread only, like the exchange itself.
std::set<const TCustomCommX*>& BusyComponents() {
    static std::set<const TCustomCommX*> busy;
    return busy;
}

class ExchangeGuard {
public:
    explicit ExchangeGuard(const TCustomCommX& comm)
        : m_comm(&comm), m_acquired(BusyComponents().insert(&comm).second) {}
    ~ExchangeGuard() {
        if (m_acquired)
            BusyComponents().erase(m_comm);
    }
    ExchangeGuard(const ExchangeGuard&) = delete;
    ExchangeGuard& operator=(const ExchangeGuard&) = delete;
    bool Acquired() const { return m_acquired; }

private:
    const TCustomCommX* m_comm;
    bool m_acquired;
};

} // namespace

bool SendPlayCommand(TCustomCommX& comm, unsigned char flag0, unsigned char flag2,
                     unsigned char number) {
    unsigned char flags = 0;
    if (flag0 == 1)
        flags |= 0x01;
    if (flag2 == 1)
        flags |= 0x04;
    QByteArray command;
    command.append(char(PlayCommandCode));
    command.append(char(flags));
    command.append(char(number));
    AppendChecksum(command);
    QByteArray reply;
    ExchangeCommand(comm, command, 1, reply);
    return reply == AckReply;
}

void AppendChecksum(QByteArray& command) {
    if (command.isEmpty())
        return;
    // Unsigned, so that a very long string wraps instead of overflowing; the low byte is
    // the same either way.
    unsigned int sum = 0;
    for (char byte : std::as_const(command))
        sum += static_cast<unsigned char>(byte);
    command.append(static_cast<char>(sum & 0xFF));
}

bool ExchangeCommand(TCustomCommX& comm, QByteArray& command, int replyLength, QByteArray& reply,
                     int attemptBudget) {
    reply.clear();
    if (replyLength < 0 || replyLength > ReplyBufferSize)
        return false;
    ExchangeGuard guard(comm);
    if (!guard.Acquired())
        return false;

    unsigned char buffer[ReplyBufferSize];
    int attemptsLeft = attemptBudget;
    for (;;) {
        const QByteArray text = command;
        reply.clear();
        comm.PurgeReceive();
        comm.SendChar(ProbeByte);
        if (comm.Read(buffer, 1) != 1)
            return false; // probe unanswered: command stays as it was
        comm.PurgeReceive();
        comm.SendString(text);
        if (replyLength == 0) {
            command.clear();
            return true;
        }
        const int n = comm.Read(buffer, replyLength);
        if (n == replyLength)
            reply = QByteArray(reinterpret_cast<const char*>(buffer), n);
        --attemptsLeft;
        if (attemptsLeft <= 0 || n == replyLength) {
            command = reply;
            return n == replyLength;
        }
    }
}

} // namespace Cmd
