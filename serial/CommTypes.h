#pragma once

// The serial port component's line settings and codes, shared with its workers.

#include "CommDevice.h"

#include <cstdint>

enum TCommParityBits : std::uint8_t { cpbNone, cpbOdd, cpbEven };
enum TCommStopBits : std::uint8_t { csb1, csb1p5, csb2 };
enum TCommFlowCtrls : std::uint8_t {
    cfcRtsCts,
    cfcDtrDsr,
    cfcXonXoff,
    cfcHalfHigh,
    cfcHalfLow,
    cfcNone
};

// Notifications from the workers to the component.
inline constexpr int CommRxMessage = 0x500;
inline constexpr int CommBreakMessage = 0x501;
inline constexpr int CommErrorMessage = 0x502;
inline constexpr int CommGoneMessage = 0x503; // the device has gone away
inline constexpr std::uint32_t CommEventMask = EV_RXCHAR | EV_BREAK | EV_ERR;       // 0xC1
inline constexpr std::uint32_t CommErrorMask = CE_OVERRUN | CE_RXPARITY | CE_FRAME; // 0xE
inline constexpr int MaxPendingChunks = 32;
