#pragma once

// The serial device seam under the serial port component: one port, spoken to in
// the records and codes of the Windows communications interface, which the panel's
// settings and protocol are defined in. TTermiosCommDevice translates them to termios;
// TFakeCommDevice records what it is asked, for tests.

#include "PortRefusal.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

// Device control record; the field layout and values are those of the Windows DCB.
struct DCB {
    std::uint32_t DCBlength = 0;
    std::uint32_t BaudRate = 0;
    std::uint32_t Flags = 0; // fBinary ... fAbortOnError, see the DcbFlag* masks
    std::uint16_t wReserved = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;
    std::uint8_t StopBits = 0;
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    std::uint16_t wReserved1 = 0;
};
static_assert(sizeof(DCB) == 28, "DCB keeps its 28-byte layout");

inline constexpr std::uint32_t DcbBinary = 0x0001;
inline constexpr std::uint32_t DcbParity = 0x0002;
inline constexpr std::uint32_t DcbOutxCtsFlow = 0x0004;
inline constexpr std::uint32_t DcbOutxDsrFlow = 0x0008;
inline constexpr int DcbDtrControlShift = 4; // 2 bits
inline constexpr std::uint32_t DcbDsrSensitivity = 0x0040;
inline constexpr std::uint32_t DcbTXContinueOnXoff = 0x0080;
inline constexpr std::uint32_t DcbOutX = 0x0100;
inline constexpr std::uint32_t DcbInX = 0x0200;
inline constexpr std::uint32_t DcbErrorChar = 0x0400;
inline constexpr std::uint32_t DcbNull = 0x0800;
inline constexpr int DcbRtsControlShift = 12; // 2 bits
inline constexpr std::uint32_t DcbAbortOnError = 0x4000;

inline constexpr std::uint32_t DTR_CONTROL_DISABLE = 0;
inline constexpr std::uint32_t DTR_CONTROL_ENABLE = 1;
inline constexpr std::uint32_t DTR_CONTROL_HANDSHAKE = 2;
inline constexpr std::uint32_t RTS_CONTROL_DISABLE = 0;
inline constexpr std::uint32_t RTS_CONTROL_ENABLE = 1;
inline constexpr std::uint32_t RTS_CONTROL_HANDSHAKE = 2;

inline std::uint32_t DcbDtrControl(const DCB& dcb) {
    return (dcb.Flags >> DcbDtrControlShift) & 3u;
}
inline std::uint32_t DcbRtsControl(const DCB& dcb) {
    return (dcb.Flags >> DcbRtsControlShift) & 3u;
}

inline constexpr std::uint8_t NOPARITY = 0;
inline constexpr std::uint8_t ODDPARITY = 1;
inline constexpr std::uint8_t EVENPARITY = 2;
inline constexpr std::uint8_t ONESTOPBIT = 0;
inline constexpr std::uint8_t ONE5STOPBITS = 1;
inline constexpr std::uint8_t TWOSTOPBITS = 2;

struct COMMTIMEOUTS {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
};
inline constexpr std::uint32_t MAXDWORD = 0xFFFFFFFFu;

struct COMSTAT {
    std::uint32_t cbInQue = 0;
    std::uint32_t cbOutQue = 0;
};

// PurgeComm flags
inline constexpr std::uint32_t PURGE_TXABORT = 0x0001;
inline constexpr std::uint32_t PURGE_RXABORT = 0x0002;
inline constexpr std::uint32_t PURGE_TXCLEAR = 0x0004;
inline constexpr std::uint32_t PURGE_RXCLEAR = 0x0008;

// Line events (SetCommMask, WaitCommEvent)
inline constexpr std::uint32_t EV_RXCHAR = 0x0001;
inline constexpr std::uint32_t EV_BREAK = 0x0040;
inline constexpr std::uint32_t EV_ERR = 0x0080;
// Our own: the device has gone away (unplugged, hung up). Reported by one wait only.
inline constexpr std::uint32_t EV_GONE = 0x80000000u;

// Line error bits (ClearCommError)
inline constexpr std::uint32_t CE_RXOVER = 0x0001;
inline constexpr std::uint32_t CE_OVERRUN = 0x0002;
inline constexpr std::uint32_t CE_RXPARITY = 0x0004;
inline constexpr std::uint32_t CE_FRAME = 0x0008;
inline constexpr std::uint32_t CE_BREAK = 0x0010;

// EscapeCommFunction codes
inline constexpr std::uint32_t SETXOFF = 1;
inline constexpr std::uint32_t SETXON = 2;
inline constexpr std::uint32_t SETRTS = 3;
inline constexpr std::uint32_t CLRRTS = 4;
inline constexpr std::uint32_t SETDTR = 5;
inline constexpr std::uint32_t CLRDTR = 6;
inline constexpr std::uint32_t SETBREAK = 8;
inline constexpr std::uint32_t CLRBREAK = 9;

// Why a device call failed: the step inside it that failed (a call of the system, or a
// check of the device's own), the error number it set and its text. error 0: the step did
// not fail with an error number (a setting the driver kept different), text says what.
struct TCommFailure {
    std::string step; // "tcsetattr", "epoll_create1", ...; empty: nothing failed
    int error = 0;
    std::string text; // strerror(error), or the device's own words
};

// The failure of a system call, with the system's text.
inline TCommFailure SystemFailure(std::string step, int error) {
    return {std::move(step), error, std::strerror(error)};
}

enum class CommIoStatus { Done, Pending, Failed };

// One transfer in progress: the stand-in for an overlapped record. The caller owns it
// and keeps it alive (and the buffer) until the transfer is Done or Failed.
struct CommIo {
    void* buffer = nullptr;
    int count = 0;
    int transferred = 0;
    // The caller's stop request: once it is set, the transfer fails at its next step and
    // a wait for it ends when the device is woken (a transmit purge wakes write waits).
    const std::atomic<bool>* cancel = nullptr;
    // Private to the device.
    std::int64_t deadlineNs = 0; // 0: no total time-out
    std::uint64_t abortGeneration = 0;
    bool waitForAll = false;
};

// All calls are thread-safe. The serial component calls configuration and reads from the
// GUI thread, writes from its transmit worker (WriteNow from the GUI thread while nothing
// is queued for the worker) and WaitCommEvent from its receive worker. Bytes reach the
// driver only in StartWrite, ContinueWrite and WriteNow, so that a caller that serialises
// those with its transmit purges knows no byte follows a purge.
class ICommDevice {
public:
    virtual ~ICommDevice() = default;

    // Opens port "COMn", exclusively. False when there is no such device or it is busy.
    virtual bool Open(int portNo) = 0;
    // What the system said when the last Open failed; nothing after one that succeeded.
    virtual TPortRefusal LastRefusal() const { return {}; }
    // The failure of the last call that failed (Open clears it), from whichever thread;
    // read it right after the call that failed.
    virtual TCommFailure LastFailure() const = 0;
    // Asks the driver to pass received bytes on at once rather than after its latency
    // timer (16 ms on some USB adapters); off puts back what the port had before. Drivers
    // without the setting, pseudo-terminals among them, are left as they are.
    virtual void SetLowLatency(bool on) = 0;
    // Nobody may be inside WaitCommEvent, WaitWrite or ContinueRead when this is called.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual int Handle() const = 0; // -1 when closed

    virtual bool SetupComm(std::int32_t inQueue, std::int32_t outQueue) = 0;
    virtual bool PurgeComm(std::uint32_t flags) = 0;
    virtual bool GetCommState(DCB& dcb) = 0;
    virtual bool SetCommState(const DCB& dcb) = 0;
    virtual bool GetCommTimeouts(COMMTIMEOUTS& timeouts) = 0;
    virtual bool SetCommTimeouts(const COMMTIMEOUTS& timeouts) = 0;
    virtual bool SetCommMask(std::uint32_t mask) = 0;
    // Blocks until one of the masked events (or EV_GONE, once) happens, or until
    // CancelWait or SetCommMask ends the wait; returns the events, 0 when ended.
    virtual std::uint32_t WaitCommEvent() = 0;
    // Ends the current and every later WaitCommEvent until ResumeWait or the next Open.
    virtual void CancelWait() = 0;
    virtual void ResumeWait() = 0;
    // Returns and clears the line error bits; fills the queue status, whose cbInQue counts
    // the data bytes a read would return (line marks of the driver are not data).
    virtual bool ClearCommError(std::uint32_t* errors, COMSTAT* stat) = 0;
    virtual bool EscapeCommFunction(std::uint32_t function) = 0;

    // Starts a write: Done when every byte went to the driver at once, Pending when the
    // rest has to be waited for with WaitWrite, Failed on an error.
    virtual CommIoStatus StartWrite(CommIo& io) = 0;
    // Waits, writing nothing, until the driver can take more of a pending write
    // (Pending: go on with ContinueWrite), the write time-out has passed (Done, with the
    // count written so far), or the write has failed (aborted by a transmit purge since it
    // started, cancelled, device gone).
    virtual CommIoStatus WaitWrite(CommIo& io) = 0;
    // Hands the driver what it takes now of a pending write: Done, Pending, or Failed
    // as WaitWrite (a purge since the start fails it before any byte is written).
    virtual CommIoStatus ContinueWrite(CommIo& io) = 0;
    // Hands the driver what it takes at once, never waiting: the number of bytes taken
    // (0 when its queue is full), or -1 on an error.
    virtual int WriteNow(const void* data, int count) = 0;
    // Waits until the bytes written so far have left the port, at most timeoutMs
    // (or until a transmit purge).
    virtual void WaitTransmitted(int timeoutMs) = 0;

    // True once the device has gone away (unplugged, hung up) while open; every transfer
    // then fails at once.
    virtual bool Gone() const = 0;

    // Starts a read with the read time-outs: Done at once with bytes that are waiting,
    // else Pending (or Done with 0 when the time-outs say not to wait).
    virtual CommIoStatus StartRead(CommIo& io) = 0;
    // Waits at most waitMs for the read to progress: Done (count reached or time-out),
    // Pending, or Failed (aborted by a receive purge, device gone).
    virtual CommIoStatus ContinueRead(CommIo& io, int waitMs) = 0;
};

// Starts a write and waits for it to end: every byte written, the write time-out, or
// a failure. For callers that have no transmit purge to keep in step with.
inline CommIoStatus WriteAndWait(ICommDevice& device, CommIo& io) {
    CommIoStatus status = device.StartWrite(io);
    while (status == CommIoStatus::Pending) {
        status = device.WaitWrite(io);
        if (status == CommIoStatus::Pending)
            status = device.ContinueWrite(io);
    }
    return status;
}

// The termios device with the port folder of the executable.
std::unique_ptr<ICommDevice> CreateDefaultCommDevice();
