#pragma once

// The board's play command and the probe-and-acknowledge exchange that carries it.
// Everything runs on the GUI thread and reports by results; nothing here raises.

#include <QByteArray>

class TCustomCommX;

namespace Cmd {

inline constexpr unsigned char PlayCommandCode = 0xF4;
inline constexpr unsigned char ProbeByte = 0x0D;
inline constexpr char AckReplyByte = 0x06;
// The reply that means the board accepted the play command.
inline const QByteArray AckReply = QByteArray(1, AckReplyByte);
// Receive time-out in ms that the link selection gives the serial component.
inline constexpr int ReceiveTimeout = 300;
// Attempt budget of ExchangeCommand: 0 or 1 make one attempt, N > 1 at most N.
inline constexpr int RetryCount = 0;
// The longest reply ExchangeCommand can collect.
inline constexpr int ReplyBufferSize = 256;

// The flag arguments the panel plays with: option bit 0 set, bit 2 clear. What the two
// bits mean to the board is its own affair; the panel has always sent these.
inline constexpr unsigned char PanelPlayFlag0 = 1;
inline constexpr unsigned char PanelPlayFlag2 = 0;

// Sends play command F4, flags, number, checksum after the probe byte and returns true
// exactly when the board acknowledged it with 0x06. Flag bit 0 is set when flag0 is 1,
// bit 2 when flag2 is 1. The panel sends PanelPlayFlag0, PanelPlayFlag2 and the number.
bool SendPlayCommand(TCustomCommX& comm, unsigned char flag0, unsigned char flag2,
                     unsigned char number);

// Appends the low byte of the sum of all bytes; an empty command stays empty.
void AppendChecksum(QByteArray& command);

// Sends the probe byte, waits for one byte, then sends command and collects a reply of
// exactly replyLength bytes. On return reply holds it (empty when none came complete) and
// command holds the same, except when the probe went unanswered: then command is
// unchanged. With replyLength 0 both come back empty once the command is sent.
// Returns true when the exchange completed as asked.
//
// A replyLength outside 0..ReplyBufferSize is refused: nothing is sent, reply is empty,
// command unchanged, false. An exchange started while another one on the same component
// is still waiting (a second press from the event loop that Read keeps turning) is
// refused the same way rather than allowed to purge and interleave with it.
bool ExchangeCommand(TCustomCommX& comm, QByteArray& command, int replyLength, QByteArray& reply,
                     int attemptBudget = RetryCount);

} // namespace Cmd
