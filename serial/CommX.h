#pragma once

// The serial port component: owns one port, its line settings, a transmit worker and
// a receive worker, and reports line events on the GUI thread.

#include "CommDevice.h"
#include "CommNotifier.h"
#include "CommTransQueue.h"
#include "CommTypes.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

class TCommTransThread;
class TCommReceiveThread;

// Events, called on the GUI thread with the component as Sender.
using TCommReceiveEvent = std::function<void(QObject* Sender, int ReceiveSize)>;
using TCommBreakEvent = std::function<void(QObject* Sender)>;
using TCommErrEvent = std::function<void(QObject* Sender, int ErrorState)>;
using TCommGoneEvent = std::function<void(QObject* Sender)>;

inline constexpr std::uint32_t INVALID_HANDLE_VALUE = 0xFFFFFFFFu;

// Raised by Open and the property setters; the data path reports by results instead.
// The message is the component's fixed one; the failure beside it says what failed
// underneath (the device's step, or the thread that could not start).
class ECommError : public std::exception {
public:
    explicit ECommError(const QString& message, TCommFailure failure = {});
    QString Message() const { return m_message; }
    const TCommFailure& Failure() const { return m_failure; }
    // The failure as one line, "tcsetattr: Invalid argument"; empty when the component
    // refused on its own or the device gave no failure.
    QString Reason() const;
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    TCommFailure m_failure;
    QByteArray m_utf8;
};

class TCustomCommX : public QObject, private ICommNotificationSink {
    Q_OBJECT

public:
    // Without a device the termios device is used (ports/COMn beside the executable,
    // then the default table).
    explicit TCustomCommX(QObject* owner = nullptr, std::unique_ptr<ICommDevice> device = {});
    ~TCustomCommX() override;

    // Configuration; raises ECommError.
    void Open();
    void Close();

    int PortNo() const { return m_portNo; }
    void SetPortNo(int value);
    int BitRate() const { return m_bitRate; }
    void SetBitRate(int value);
    int CharSize() const { return m_charSize; }
    void SetCharSize(int value);
    TCommParityBits ParityBit() const { return m_parityBit; }
    void SetParityBit(TCommParityBits value);
    TCommStopBits StopBit() const { return m_stopBit; }
    void SetStopBit(TCommStopBits value);
    TCommFlowCtrls FlowCtrl() const { return m_flowCtrl.load(); }
    void SetFlowCtrl(TCommFlowCtrls value);
    int TimeOutTrans() const { return m_timeOutTrans; }
    void SetTimeOutTrans(int value);
    int TimeOutReceive() const { return m_timeOutReceive; }
    void SetTimeOutReceive(int value);
    unsigned char XonChar() const { return m_xonChar; }
    void SetXonChar(unsigned char value);
    unsigned char XoffChar() const { return m_xoffChar; }
    void SetXoffChar(unsigned char value);
    int BufLenTrans() const { return m_bufLenTrans.load(); }
    void SetBufLenTrans(int value);
    int BufLenReceive() const { return m_bufLenReceive; }
    void SetBufLenReceive(int value);
    // INVALID_HANDLE_VALUE while closed.
    std::uint32_t Handle() const;
    bool IsOpen() const;

    const TCommReceiveEvent& OnReceive() const { return m_onReceive; }
    void SetOnReceive(TCommReceiveEvent handler);
    const TCommBreakEvent& OnBreak() const { return m_onBreak; }
    void SetOnBreak(TCommBreakEvent handler) { m_onBreak = std::move(handler); }
    const TCommErrEvent& OnError() const { return m_onError; }
    void SetOnError(TCommErrEvent handler) { m_onError = std::move(handler); }
    // Called once when the open port's device goes away (unplugged, hung up).
    const TCommGoneEvent& OnDeviceGone() const { return m_onDeviceGone; }
    void SetOnDeviceGone(TCommGoneEvent handler) { m_onDeviceGone = std::move(handler); }
    // True while the port is open but its device has gone away: writes and reads then
    // fail at once, until the port is closed and opened again. Also true after a Reopen
    // that failed, until Open succeeds or the owner calls Close.
    bool DeviceGone() const;
    // Closes the port and opens it again with the properties it holds: for a device that
    // went away and came back under the same name (an adapter plugged in again). Raises
    // nothing; false when the open failed (device still missing, or taken by another
    // program meanwhile), the component then closed and DeviceGone() still true, so that
    // a later Reopen tries again.
    bool Reopen();

    // Small port operations; they do nothing on a closed port.
    void PurgeReceive();
    int ReceiveCount();
    void SetRTS(bool on);
    void SetDTR(bool on);

    // Data path; never raises. Write and Read let the Qt event loop run while they wait,
    // so callers may be re-entered there.
    // Write: while nothing is queued for the transmit worker (and outside the half-duplex
    // modes, where the worker turns the line), the port gets what it takes at once from
    // the calling thread; the rest goes to the worker. The caller never waits for the
    // device, and successive writes keep their order.
    virtual bool Write(const void* data, int count);
    virtual int Read(void* buffer, int count);
    bool SendChar(unsigned char c);
    bool SendString(const QByteArray& s);
    void PurgeTrans();
    void StartWorkers();

    // The kept device control record and the transmit counters (for diagnostics).
    DCB DeviceControl() const { return m_dcb; }
    int PendingBytes() const;
    int PendingChunks() const;
    // The transmit worker's character time in ms; 0 without a worker.
    int CharTime() const;
    ICommDevice* Device() const { return m_device.get(); }

protected:
    // Hands one chunk to the transmit worker; false when it could not be handed over.
    virtual bool PostChunk(std::vector<unsigned char>&& chunk);

private:
    void ApplyTimeouts();
    void ApplyBufferSizes();
    void ApplyState(const char* message);
    void OpenConfigured();
    void StopWorkers();
    void ReportLineErrors();
    bool MayWriteAtOnce() const;
    int WriteAtOnce(const unsigned char* bytes, int size);
    bool QueueChunk(const unsigned char* bytes, int size);
    void HandleNotification(int message, std::uint32_t param, std::uint64_t generation) override;

    std::unique_ptr<ICommDevice> m_device;
    std::unique_ptr<TCommNotifier> m_notifier;
    TCommTransQueue m_transQueue;

    int m_portNo = 1;
    int m_bitRate = 9600;
    int m_charSize = 8;
    TCommParityBits m_parityBit = cpbNone;
    TCommStopBits m_stopBit = csb1;
    std::atomic<TCommFlowCtrls> m_flowCtrl{cfcRtsCts};
    int m_timeOutTrans = 3000;
    int m_timeOutReceive = 3000;
    unsigned char m_xonChar = 17;
    unsigned char m_xoffChar = 19;
    std::atomic<int> m_bufLenTrans{2048};
    int m_bufLenReceive = 2048;
    DCB m_dcb;
    bool m_open = false;
    bool m_reopenWanted = false; // a Reopen failed; the owner still wants the port
    std::uint64_t m_openGeneration = 0;

    TCommReceiveEvent m_onReceive;
    std::atomic<bool> m_receiveWanted{false}; // OnReceive assigned: worth a notification
    TCommBreakEvent m_onBreak;
    TCommErrEvent m_onError;
    TCommGoneEvent m_onDeviceGone;

    // Last, so that they go first: they use the queue, the device and the settings.
    std::unique_ptr<TCommTransThread> m_transThread;
    std::unique_ptr<TCommReceiveThread> m_receiveThread;
};

// The component as the panel places it.
class TCommX : public TCustomCommX {
    Q_OBJECT

public:
    using TCustomCommX::TCustomCommX;
};
