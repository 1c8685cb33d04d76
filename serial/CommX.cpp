#include "CommX.h"

#include "CommNotifier.h"
#include "CommThreads.h"

#include <chrono>
#include <thread>

namespace {
const char* const MsgAlreadyOpen = "ポートは、すでにオープンされています";
const char* const MsgCannotOpen = "ポートをオープンできませんでした";
const char* const MsgBitRate = "通信速度の設定でエラーが発生しました";
const char* const MsgCharSize = "通信ビット数の設定でエラーが発生しました";
const char* const MsgParity = "通信パリティチェックの設定でエラーが発生しました";
const char* const MsgStopBit = "通信ストップビット数の設定でエラーが発生しました";
const char* const MsgFlowCtrl = "通信フロー制御の設定で失敗しました";
const char* const MsgTimeouts = "通信タイムアウト時間の設定で失敗しました";
const char* const MsgXonChar = "Ｘｏｎ文字の設定でエラーが発生しました";
const char* const MsgXoffChar = "Ｘｏｆｆ文字の設定でエラーが発生しました";
const char* const MsgBuffers = "通信用ポートのバッファを準備できませんでした";

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

[[noreturn]] void Raise(const char* message, TCommFailure failure = {}) {
    throw ECommError(QString::fromUtf8(message), std::move(failure));
}

std::uint32_t FlowFlags(TCommFlowCtrls mode) {
    const std::uint32_t dtrEnable = DTR_CONTROL_ENABLE << DcbDtrControlShift;
    const std::uint32_t rtsEnable = RTS_CONTROL_ENABLE << DcbRtsControlShift;
    std::uint32_t flags = DcbBinary | DcbParity;
    switch (mode) {
    case cfcRtsCts:
        return flags | DcbOutxCtsFlow | dtrEnable | (RTS_CONTROL_HANDSHAKE << DcbRtsControlShift);
    case cfcDtrDsr:
        return flags | DcbOutxDsrFlow | (DTR_CONTROL_HANDSHAKE << DcbDtrControlShift) | rtsEnable;
    case cfcXonXoff:
        return flags | dtrEnable | rtsEnable | DcbOutX | DcbInX;
    case cfcHalfHigh:
        return flags | dtrEnable | (RTS_CONTROL_DISABLE << DcbRtsControlShift);
    case cfcHalfLow:
    case cfcNone:
        break;
    }
    return flags | dtrEnable | rtsEnable;
}
} // namespace

ECommError::ECommError(const QString& message, TCommFailure failure)
    : m_message(message), m_failure(std::move(failure)), m_utf8(message.toUtf8()) {}

QString ECommError::Reason() const {
    if (m_failure.step.empty())
        return {};
    const QString step = QString::fromStdString(m_failure.step);
    return m_failure.text.empty() ? step : step + ": " + QString::fromStdString(m_failure.text);
}

TCustomCommX::TCustomCommX(QObject* owner, std::unique_ptr<ICommDevice> device)
    : QObject(owner), m_device(device ? std::move(device) : CreateDefaultCommDevice()),
      m_notifier(std::make_unique<TCommNotifier>(static_cast<ICommNotificationSink&>(*this))) {
    m_dcb.DCBlength = sizeof(DCB);
}

TCustomCommX::~TCustomCommX() {
    Close();
}

bool TCustomCommX::IsOpen() const {
    return m_open;
}

bool TCustomCommX::DeviceGone() const {
    return m_reopenWanted || (m_open && m_device->Gone());
}

bool TCustomCommX::Reopen() {
    Close();
    try {
        Open();
    } catch (const ECommError&) {
        m_reopenWanted = true;
        return false;
    }
    return true;
}

std::uint32_t TCustomCommX::Handle() const {
    return m_open ? std::uint32_t(m_device->Handle()) : INVALID_HANDLE_VALUE;
}

void TCustomCommX::Open() {
    if (m_open)
        Raise(MsgAlreadyOpen);
    if (!m_device->Open(m_portNo))
        Raise(MsgCannotOpen, m_device->LastFailure());
    m_open = true;
    // A reply byte must not wait in a USB adapter's buffer for its latency timer.
    m_device->SetLowLatency(true);
    ++m_openGeneration;
    try {
        OpenConfigured();
    } catch (...) {
        Close();
        throw;
    }
    m_reopenWanted = false;
}

void TCustomCommX::OpenConfigured() {
    m_transQueue.ResetCounts();
    ApplyBufferSizes();
    m_device->PurgeComm(PURGE_TXABORT | PURGE_TXCLEAR);
    m_device->PurgeComm(PURGE_RXABORT | PURGE_RXCLEAR);
    m_device->GetCommState(m_dcb);
    SetBitRate(m_bitRate);
    SetCharSize(m_charSize);
    SetParityBit(m_parityBit);
    SetStopBit(m_stopBit);
    SetFlowCtrl(FlowCtrl());
    ApplyTimeouts();
    SetXonChar(m_xonChar);
    SetXoffChar(m_xoffChar);
    m_device->SetCommMask(CommEventMask);
    StartWorkers();
}

void TCustomCommX::Close() {
    m_reopenWanted = false;
    if (!m_open)
        return;
    SetDTR(false);
    SetRTS(false);
    PurgeTrans();
    PurgeReceive();
    SleepMs(100);
    StopWorkers();
    m_device->SetLowLatency(false);
    m_device->Close();
    m_open = false;
}

void TCustomCommX::StopWorkers() {
    if (m_transThread)
        m_transThread->RequestStop();
    if (m_receiveThread)
        m_receiveThread->RequestStop();
    // Nothing is queued after PurgeTrans; this only frees a write stuck in the driver
    // when StartWorkers is called again on an open port.
    if (m_transThread)
        m_device->PurgeComm(PURGE_TXABORT);
    // Joined before the port is closed: after Close no worker touches port or component.
    if (m_transThread)
        m_transThread->Join();
    if (m_receiveThread)
        m_receiveThread->Join();
    m_transThread.reset();
    m_receiveThread.reset();
}

void TCustomCommX::ApplyState(const char* message) {
    if (!m_device->SetCommState(m_dcb))
        Raise(message, m_device->LastFailure());
}

void TCustomCommX::SetPortNo(int value) {
    m_portNo = value;
    if (!m_open)
        return;
    Close();
    Open();
}

void TCustomCommX::SetBitRate(int value) {
    m_bitRate = value;
    if (!m_open)
        return;
    m_dcb.BaudRate = std::uint32_t(value);
    // Below 10 baud there is no character time (1000 div (rate div 10)).
    if (value < 10)
        Raise(MsgBitRate);
    ApplyState(MsgBitRate);
    if (m_transThread)
        m_transThread->CharTime = 1000 / (value / 10) + 1;
}

void TCustomCommX::SetCharSize(int value) {
    m_charSize = value;
    if (!m_open)
        return;
    m_dcb.ByteSize = std::uint8_t(value & 0xFF);
    ApplyState(MsgCharSize);
}

void TCustomCommX::SetParityBit(TCommParityBits value) {
    m_parityBit = value;
    if (!m_open)
        return;
    m_dcb.Parity = value == cpbOdd ? ODDPARITY : value == cpbEven ? EVENPARITY : NOPARITY;
    ApplyState(MsgParity);
}

void TCustomCommX::SetStopBit(TCommStopBits value) {
    m_stopBit = value;
    if (!m_open)
        return;
    m_dcb.StopBits = value == csb1p5 ? ONE5STOPBITS : value == csb2 ? TWOSTOPBITS : ONESTOPBIT;
    ApplyState(MsgStopBit);
}

void TCustomCommX::SetFlowCtrl(TCommFlowCtrls value) {
    m_flowCtrl = value;
    if (!m_open)
        return;
    m_dcb.Flags = FlowFlags(value);
    m_dcb.XonLim = std::uint16_t(m_bufLenReceive / 4);
    m_dcb.XoffLim = std::uint16_t(m_bufLenReceive / 4);
    ApplyState(MsgFlowCtrl);
}

void TCustomCommX::SetTimeOutTrans(int value) {
    m_timeOutTrans = value;
    ApplyTimeouts();
}

void TCustomCommX::SetTimeOutReceive(int value) {
    m_timeOutReceive = value;
    ApplyTimeouts();
}

void TCustomCommX::SetXonChar(unsigned char value) {
    m_xonChar = value;
    if (!m_open)
        return;
    m_dcb.XonChar = char(value);
    ApplyState(MsgXonChar);
}

void TCustomCommX::SetXoffChar(unsigned char value) {
    m_xoffChar = value;
    if (!m_open)
        return;
    m_dcb.XoffChar = char(value);
    ApplyState(MsgXoffChar);
}

void TCustomCommX::SetBufLenTrans(int value) {
    m_bufLenTrans = value;
    ApplyBufferSizes();
}

void TCustomCommX::SetBufLenReceive(int value) {
    m_bufLenReceive = value;
    if (!m_open)
        return;
    ApplyBufferSizes();
    SetFlowCtrl(FlowCtrl());
}

void TCustomCommX::ApplyTimeouts() {
    if (!m_open)
        return;
    COMMTIMEOUTS timeouts;
    m_device->GetCommTimeouts(timeouts);
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = std::uint32_t(m_timeOutReceive);
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = std::uint32_t(m_timeOutTrans);
    if (!m_device->SetCommTimeouts(timeouts))
        Raise(MsgTimeouts, m_device->LastFailure());
}

void TCustomCommX::ApplyBufferSizes() {
    if (!m_open)
        return;
    if (!m_device->SetupComm(m_bufLenReceive, m_bufLenTrans))
        Raise(MsgBuffers, m_device->LastFailure());
}

void TCustomCommX::SetOnReceive(TCommReceiveEvent handler) {
    m_onReceive = std::move(handler);
    m_receiveWanted = bool(m_onReceive);
}

void TCustomCommX::PurgeReceive() {
    if (m_open)
        m_device->PurgeComm(PURGE_RXABORT | PURGE_RXCLEAR);
}

int TCustomCommX::ReceiveCount() {
    if (!m_open)
        return 0;
    std::uint32_t errors = 0; // cleared here, not reported
    COMSTAT stat;
    if (!m_device->ClearCommError(&errors, &stat))
        return 0;
    return int(stat.cbInQue);
}

void TCustomCommX::SetRTS(bool on) {
    if (m_open)
        m_device->EscapeCommFunction(on ? SETRTS : CLRRTS);
}

void TCustomCommX::SetDTR(bool on) {
    if (m_open)
        m_device->EscapeCommFunction(on ? SETDTR : CLRDTR);
}

void TCustomCommX::HandleNotification(int message, std::uint32_t param, std::uint64_t generation) {
    // Notes of a port that has been closed (or closed and opened again) fire nothing.
    if (!m_open || generation != m_openGeneration)
        return;
    switch (message) {
    case CommRxMessage:
        if (m_onReceive) {
            if (const int n = ReceiveCount()) {
                const TCommReceiveEvent handler = m_onReceive; // may reassign itself
                handler(this, n);
            }
        }
        break;
    case CommBreakMessage:
        if (m_onBreak) {
            const TCommBreakEvent handler = m_onBreak;
            handler(this);
        }
        break;
    case CommErrorMessage:
        if (m_onError) {
            const TCommErrEvent handler = m_onError;
            handler(this, int(param));
        }
        break;
    case CommGoneMessage:
        if (m_onDeviceGone) {
            const TCommGoneEvent handler = m_onDeviceGone;
            handler(this);
        }
        break;
    default:
        break;
    }
}
