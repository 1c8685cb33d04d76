#pragma once

// The translation between the device control record and termios: speeds, raw mode, the
// line flags, and what a driver kept different from what it was given.

#include "CommDevice.h"

#include <string>
#include <termios.h>

bool BaudToSpeed(std::uint32_t baud, speed_t& speed);
std::uint32_t SpeedToBaud(speed_t speed);

// Raw bytes in both directions; parity and framing errors and breaks marked in the input.
void MakeRaw(termios& t);

// The c_cflag bits of a record's line settings; what termios cannot do fails with the
// reason in words.
struct TLineFlags {
    tcflag_t cflag = 0;
    std::string refusal; // empty: termios can do it
};
TLineFlags LineFlags(const DCB& dcb);

// The names of the line's fields that differ ("PARENB CSIZE"); empty when the line is the
// same. A driver that changed any of them did not take the setting.
std::string LineDifference(const termios& wanted, const termios& got);

// The record's line fields as termios holds them; the rest of dcb stays.
void ReadLine(const termios& t, DCB& dcb);
