// Configuration of the serial port component on a fake device: defaults, Open and Close,
// the setters and their messages, flow control, small port operations, line events.

#include "FakePort.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

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

using Strings = std::vector<std::string>;

// One property setter applied to an open port: what it sets, which device call can refuse
// it, its message, and where the new value shows.
struct SetterCase {
    const char* name;
    std::function<void(TCommX&)> set;
    const char* refusedCall;
    const char* message;
    std::function<qint64(const TCommX&)> property;
    qint64 propertyValue;
    std::function<qint64(const TFakeCommDevice&)> onPort;
    std::function<qint64(const DCB&)> kept; // null when the setting is not in the DCB
    qint64 expected;
};

const std::vector<SetterCase>& SetterCases() {
    static const std::vector<SetterCase> cases = {
        {"BitRate", [](TCommX& c) { c.SetBitRate(19200); }, "SetCommState", MsgBitRate,
         [](const TCommX& c) { return c.BitRate(); }, 19200,
         [](const TFakeCommDevice& f) { return f.State().BaudRate; },
         [](const DCB& d) { return d.BaudRate; }, 19200},
        {"CharSize", [](TCommX& c) { c.SetCharSize(7); }, "SetCommState", MsgCharSize,
         [](const TCommX& c) { return c.CharSize(); }, 7,
         [](const TFakeCommDevice& f) { return f.State().ByteSize; },
         [](const DCB& d) { return d.ByteSize; }, 7},
        {"ParityBit", [](TCommX& c) { c.SetParityBit(cpbEven); }, "SetCommState", MsgParity,
         [](const TCommX& c) { return int(c.ParityBit()); }, 2,
         [](const TFakeCommDevice& f) { return f.State().Parity; },
         [](const DCB& d) { return d.Parity; }, 2},
        {"StopBit", [](TCommX& c) { c.SetStopBit(csb1p5); }, "SetCommState", MsgStopBit,
         [](const TCommX& c) { return int(c.StopBit()); }, 1,
         [](const TFakeCommDevice& f) { return f.State().StopBits; },
         [](const DCB& d) { return d.StopBits; }, 1},
        {"FlowCtrl", [](TCommX& c) { c.SetFlowCtrl(cfcXonXoff); }, "SetCommState", MsgFlowCtrl,
         [](const TCommX& c) { return int(c.FlowCtrl()); }, 2,
         [](const TFakeCommDevice& f) { return f.State().Flags; },
         [](const DCB& d) { return d.Flags; }, 0x1313},
        {"XonChar", [](TCommX& c) { c.SetXonChar(0x41); }, "SetCommState", MsgXonChar,
         [](const TCommX& c) { return c.XonChar(); }, 65,
         [](const TFakeCommDevice& f) { return f.State().XonChar; },
         [](const DCB& d) { return d.XonChar; }, 0x41},
        {"XoffChar", [](TCommX& c) { c.SetXoffChar(0x42); }, "SetCommState", MsgXoffChar,
         [](const TCommX& c) { return c.XoffChar(); }, 66,
         [](const TFakeCommDevice& f) { return f.State().XoffChar; },
         [](const DCB& d) { return d.XoffChar; }, 0x42},
        {"TimeOutTrans", [](TCommX& c) { c.SetTimeOutTrans(500); }, "SetCommTimeouts", MsgTimeouts,
         [](const TCommX& c) { return c.TimeOutTrans(); }, 500,
         [](const TFakeCommDevice& f) { return f.Timeouts().WriteTotalTimeoutConstant; }, nullptr,
         500},
        {"TimeOutReceive", [](TCommX& c) { c.SetTimeOutReceive(300); }, "SetCommTimeouts",
         MsgTimeouts, [](const TCommX& c) { return c.TimeOutReceive(); }, 300,
         [](const TFakeCommDevice& f) { return f.Timeouts().ReadTotalTimeoutConstant; }, nullptr,
         300},
        {"BufLenTrans", [](TCommX& c) { c.SetBufLenTrans(4096); }, "SetupComm", MsgBuffers,
         [](const TCommX& c) { return c.BufLenTrans(); }, 4096,
         [](const TFakeCommDevice& f) { return f.OutQueue(); }, nullptr, 4096},
        {"BufLenReceive", [](TCommX& c) { c.SetBufLenReceive(4096); }, "SetupComm", MsgBuffers,
         [](const TCommX& c) { return c.BufLenReceive(); }, 4096,
         [](const TFakeCommDevice& f) { return f.InQueue(); }, nullptr, 4096},
        {"BufLenReceive limits", [](TCommX& c) { c.SetBufLenReceive(4096); }, "SetCommState",
         MsgFlowCtrl, [](const TCommX& c) { return c.BufLenReceive(); }, 4096,
         [](const TFakeCommDevice& f) { return f.State().XonLim; },
         [](const DCB& d) { return d.XonLim; }, 1024},
    };
    return cases;
}

bool WaitWithoutEvents(const std::function<bool()>& done, int timeoutMs = 2000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(1);
    }
    return true;
}

void OpenOrFail(TCommX& comm) {
    const QString message = RaisedMessage([&] { comm.Open(); });
    QVERIFY2(message.isEmpty(), qPrintable(message));
}
} // namespace

class TstCommX : public QObject {
    Q_OBJECT

private slots:
    void defaults();
    void openOrderOfCalls();
    void linesChangeOnlyByTheSteps_data();
    void linesChangeOnlyByTheSteps();
    void openDeviceName_data();
    void openDeviceName();
    void openRefused_data();
    void openRefused();
    void openWhileOpen();
    void setterWhileOpen_data();
    void setterWhileOpen();
    void setterWhileClosedOnlyStores();
    void flowControl_data();
    void flowControl();
    void bufLenReceiveSetsLimits();
    void charTime_data();
    void charTime();
    void bitRateBelowTen_data();
    void bitRateBelowTen();
    void portNoWhileOpen();
    void closeSequence();
    void closedComponentDoesNothing();
    void modemLines_data();
    void modemLines();
    void receiveCount();
    void notificationOrder();
    void notificationOrderAcrossNestedLoop();
    void receiveWithoutBytesFiresNothing();
    void errorBitsFiltered_data();
    void errorBitsFiltered();
    void noEventAfterClose();
    void noEventAfterReopen();
    void destroyWhileOpen();
};

void TstCommX::defaults() {
    TFakePort port;
    TCommX& comm = *port.comm;
    QVERIFY(!comm.IsOpen());
    QCOMPARE(comm.Handle(), 0xFFFFFFFFu);
    QCOMPARE(comm.PortNo(), 1);
    QCOMPARE(comm.BitRate(), 9600);
    QCOMPARE(comm.CharSize(), 8);
    QCOMPARE(comm.ParityBit(), cpbNone);
    QCOMPARE(comm.StopBit(), csb1);
    QCOMPARE(comm.FlowCtrl(), cfcRtsCts);
    QCOMPARE(comm.TimeOutTrans(), 3000);
    QCOMPARE(comm.TimeOutReceive(), 3000);
    QCOMPARE(int(comm.XonChar()), 17);
    QCOMPARE(int(comm.XoffChar()), 19);
    QCOMPARE(comm.BufLenTrans(), 2048);
    QCOMPARE(comm.BufLenReceive(), 2048);
    QCOMPARE(comm.DeviceControl().DCBlength, 28u);
    QVERIFY(!comm.OnReceive());
    QVERIFY(!comm.OnBreak());
    QVERIFY(!comm.OnError());
    QCOMPARE(comm.PendingBytes(), 0);
    QCOMPARE(comm.PendingChunks(), 0);
    QCOMPARE(comm.CharTime(), 0);
    QVERIFY(port.fake->Calls(true).empty());
    // The enumerations keep their stored values.
    QCOMPARE(int(cpbEven), 2);
    QCOMPARE(int(csb2), 2);
    QCOMPARE(int(cfcNone), 5);
    QCOMPARE(sizeof(TCommFlowCtrls), std::size_t(1));
}

void TstCommX::linesChangeOnlyByTheSteps_data() {
    QTest::addColumn<int>("flow");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("changes");
    const QStringList closing = {"DTR down by EscapeCommFunction",
                                 "RTS down by EscapeCommFunction"};
    QTest::newRow("open, no flow control") << int(cfcNone) << "open" << QStringList{};
    QTest::newRow("open, RTS/CTS") << int(cfcRtsCts) << "open" << QStringList{};
    QTest::newRow("open, half duplex: only the flow step drops RTS")
        << int(cfcHalfHigh) << "open" << QStringList{"RTS down by SetCommState"};
    QTest::newRow("reopen: only the close drops them") << int(cfcNone) << "reopen" << closing;
    QTest::newRow("port number changed while open") << int(cfcNone) << "port" << closing;
}

// A board that resets on a DTR edge sees only the edges that the steps ask for.
void TstCommX::linesChangeOnlyByTheSteps() {
    QFETCH(int, flow);
    QFETCH(QString, action);
    QFETCH(QStringList, changes);
    TFakePort port;
    port.comm->SetFlowCtrl(TCommFlowCtrls(flow));
    port.comm->SetPortNo(3);
    if (action != "open") {
        OpenOrFail(*port.comm);
        port.fake->ClearCalls();
    }
    if (action == "open")
        OpenOrFail(*port.comm);
    else if (action == "reopen")
        QVERIFY(port.comm->Reopen());
    else
        port.comm->SetPortNo(4);
    QStringList seen;
    for (const std::string& change : port.fake->LineChanges())
        seen << QString::fromStdString(change);
    QCOMPARE(seen, changes);
}

void TstCommX::openOrderOfCalls() {
    TFakePort port;
    port.comm->SetPortNo(3);
    OpenOrFail(*port.comm);
    QVERIFY(port.comm->IsOpen());
    QCOMPARE(port.comm->Handle(), 1003u);
    // The DCB read from the port (every flag set in the fake, DTR and RTS control as the
    // open left the lines) is kept until the flow control setter builds the flags afresh.
    const Strings expected = {
        "Open 3",
        "SetLowLatency 1",
        "SetupComm 2048 2048",
        "PurgeComm 5",
        "PurgeComm 10",
        "GetCommState",
        "SetCommState 9600 0xFFFFDFDF",
        "SetCommState 9600 0xFFFFDFDF",
        "SetCommState 9600 0xFFFFDFDF",
        "SetCommState 9600 0xFFFFDFDF",
        "SetCommState 9600 0x2017",
        "GetCommTimeouts",
        "SetCommTimeouts 0xFFFFFFFF 0 3000 0 3000",
        "SetCommState 9600 0x2017",
        "SetCommState 9600 0x2017",
        "SetCommMask 0xC1",
    };
    QCOMPARE(Texts(port.fake->Calls()), Texts(expected));
    const std::vector<DCB> states = port.fake->StatesWritten();
    QCOMPARE(states.size(), std::size_t(7));
    for (const DCB& dcb : states)
        QCOMPARE(dcb.DCBlength, 28u);
    const DCB last = states.back();
    QCOMPARE(last.BaudRate, 9600u);
    QCOMPARE(int(last.ByteSize), 8);
    QCOMPARE(int(last.Parity), 0);
    QCOMPARE(int(last.StopBits), 0);
    QCOMPARE(last.Flags, 0x2017u);
    QCOMPARE(int(last.XonLim), 512);
    QCOMPARE(int(last.XoffLim), 512);
    QCOMPARE(int(last.XonChar), 17);
    QCOMPARE(int(last.XoffChar), 19);
    QCOMPARE(port.comm->CharTime(), 2);
}

void TstCommX::openDeviceName_data() {
    QTest::addColumn<int>("portNo");
    QTest::addColumn<QString>("call");
    QTest::newRow("COM3") << 3 << "Open 3";
    QTest::newRow("COM12") << 12 << "Open 12";
    QTest::newRow("COM30") << 30 << "Open 30";
}

void TstCommX::openDeviceName() {
    QFETCH(int, portNo);
    QFETCH(QString, call);
    TFakePort port;
    port.comm->SetPortNo(portNo);
    OpenOrFail(*port.comm);
    QCOMPARE(QString::fromStdString(port.fake->Calls().front()), call);
}

void TstCommX::openRefused_data() {
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("nth");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("statesWritten");
    QTest::newRow("device") << "Open" << 1 << Msg(MsgCannotOpen) << 0;
    QTest::newRow("buffers") << "SetupComm" << 1 << Msg(MsgBuffers) << 0;
    QTest::newRow("bit rate") << "SetCommState" << 1 << Msg(MsgBitRate) << 1;
    QTest::newRow("char size") << "SetCommState" << 2 << Msg(MsgCharSize) << 2;
    QTest::newRow("parity") << "SetCommState" << 3 << Msg(MsgParity) << 3;
    QTest::newRow("stop bits") << "SetCommState" << 4 << Msg(MsgStopBit) << 4;
    QTest::newRow("flow control") << "SetCommState" << 5 << Msg(MsgFlowCtrl) << 5;
    QTest::newRow("time-outs") << "SetCommTimeouts" << 1 << Msg(MsgTimeouts) << 5;
    QTest::newRow("xon") << "SetCommState" << 6 << Msg(MsgXonChar) << 6;
    QTest::newRow("xoff") << "SetCommState" << 7 << Msg(MsgXoffChar) << 7;
}

void TstCommX::openRefused() {
    QFETCH(QString, call);
    QFETCH(int, nth);
    QFETCH(QString, message);
    QFETCH(int, statesWritten);

    TFakePort port;
    port.fake->Fail(call.toStdString(), EIO, nth);
    // The message stays the component's own; the device's failure goes beside it.
    const QString reason = call + ": " + QString::fromLocal8Bit(std::strerror(EIO));
    QCOMPARE(RaisedError([&] { port.comm->Open(); }), (QStringList{message, reason}));
    QVERIFY(!port.comm->IsOpen());
    QCOMPARE(port.comm->Handle(), 0xFFFFFFFFu);
    QVERIFY(!port.fake->IsOpen());
    QCOMPARE(int(port.fake->StatesWritten().size()), statesWritten);
    const Strings calls = port.fake->Calls();
    if (call == "Open") {
        QCOMPARE(Texts(calls), QStringList{"Open 1"});
    } else {
        // Open closed the port again: lines low, both queues purged, the driver's latency
        // as it was, port closed.
        const Strings tail(calls.end() - 6, calls.end());
        const Strings closing = {"EscapeCommFunction 6", "EscapeCommFunction 4", "PurgeComm 5",
                                 "PurgeComm 10",         "SetLowLatency 0",      "Close"};
        QCOMPARE(Texts(tail), Texts(closing));
        QVERIFY(std::find(calls.begin(), calls.end(), "SetCommMask 0xC1") == calls.end());
    }
    // The properties are untouched and the next Open works.
    QCOMPARE(port.comm->BitRate(), 9600);
    port.fake->ClearRefusals();
    OpenOrFail(*port.comm);
    QVERIFY(port.comm->IsOpen());
}

void TstCommX::openWhileOpen() {
    TFakePort port;
    OpenOrFail(*port.comm);
    const std::uint32_t handle = port.comm->Handle();
    port.fake->ClearCalls();
    QCOMPARE(RaisedMessage([&] { port.comm->Open(); }), Msg(MsgAlreadyOpen));
    QVERIFY(port.fake->Calls().empty());
    QVERIFY(port.comm->IsOpen());
    QCOMPARE(port.comm->Handle(), handle);
    QVERIFY(port.comm->SendChar(0x0D));
    QTRY_COMPARE(port.fake->Written(), TFakeCommDevice::Bytes{0x0D});
}

void TstCommX::setterWhileOpen_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("refused");
    for (int i = 0; i < int(SetterCases().size()); ++i) {
        QTest::addRow("%s accepted", SetterCases()[i].name) << i << false;
        QTest::addRow("%s refused", SetterCases()[i].name) << i << true;
    }
}

void TstCommX::setterWhileOpen() {
    QFETCH(int, index);
    QFETCH(bool, refused);
    const SetterCase& c = SetterCases()[std::size_t(index)];

    TFakePort port;
    OpenOrFail(*port.comm);
    if (refused)
        port.fake->Refuse(c.refusedCall, 1);
    const QString message = RaisedMessage([&] { c.set(*port.comm); });
    QCOMPARE(message, refused ? Msg(c.message) : QString());
    QVERIFY(port.comm->IsOpen());
    // The new value stays in the property and in the kept DCB, refused or not.
    QCOMPARE(c.property(*port.comm), c.propertyValue);
    if (c.kept)
        QCOMPARE(c.kept(port.comm->DeviceControl()), c.expected);
    if (!refused)
        QCOMPARE(c.onPort(*port.fake), c.expected);
    else
        QVERIFY(c.onPort(*port.fake) != c.expected);
}

void TstCommX::setterWhileClosedOnlyStores() {
    TFakePort port;
    port.comm->SetBitRate(115200);
    port.comm->SetCharSize(7);
    port.comm->SetParityBit(cpbOdd);
    port.comm->SetStopBit(csb2);
    port.comm->SetFlowCtrl(cfcNone);
    port.comm->SetTimeOutTrans(100);
    port.comm->SetTimeOutReceive(300);
    port.comm->SetXonChar(1);
    port.comm->SetXoffChar(2);
    port.comm->SetBufLenTrans(1000);
    port.comm->SetBufLenReceive(4000);
    QVERIFY(port.fake->Calls(true).empty());

    OpenOrFail(*port.comm);
    const DCB dcb = port.fake->State();
    QCOMPARE(dcb.BaudRate, 115200u);
    QCOMPARE(int(dcb.ByteSize), 7);
    QCOMPARE(int(dcb.Parity), int(ODDPARITY));
    QCOMPARE(int(dcb.StopBits), int(TWOSTOPBITS));
    QCOMPARE(dcb.Flags, 0x1013u);
    QCOMPARE(int(dcb.XonChar), 1);
    QCOMPARE(int(dcb.XoffChar), 2);
    QCOMPARE(int(dcb.XonLim), 1000);
    QCOMPARE(port.fake->InQueue(), 4000);
    QCOMPARE(port.fake->OutQueue(), 1000);
    QCOMPARE(port.fake->Timeouts().ReadTotalTimeoutConstant, 300u);
    QCOMPARE(port.fake->Timeouts().WriteTotalTimeoutConstant, 100u);
    QCOMPARE(port.comm->CharTime(), 1);
}

void TstCommX::flowControl_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<std::uint32_t>("flags");
    QTest::addColumn<std::uint32_t>("rtsControl");
    QTest::addColumn<std::uint32_t>("dtrControl");
    QTest::newRow("cfcRtsCts") << int(cfcRtsCts) << 0x2017u << RTS_CONTROL_HANDSHAKE
                               << DTR_CONTROL_ENABLE;
    QTest::newRow("cfcDtrDsr") << int(cfcDtrDsr) << 0x102Bu << RTS_CONTROL_ENABLE
                               << DTR_CONTROL_HANDSHAKE;
    QTest::newRow("cfcXonXoff") << int(cfcXonXoff) << 0x1313u << RTS_CONTROL_ENABLE
                                << DTR_CONTROL_ENABLE;
    QTest::newRow("cfcHalfHigh") << int(cfcHalfHigh) << 0x0013u << RTS_CONTROL_DISABLE
                                 << DTR_CONTROL_ENABLE;
    QTest::newRow("cfcHalfLow") << int(cfcHalfLow) << 0x1013u << RTS_CONTROL_ENABLE
                                << DTR_CONTROL_ENABLE;
    QTest::newRow("cfcNone") << int(cfcNone) << 0x1013u << RTS_CONTROL_ENABLE << DTR_CONTROL_ENABLE;
}

void TstCommX::flowControl() {
    QFETCH(int, mode);
    QFETCH(std::uint32_t, flags);
    QFETCH(std::uint32_t, rtsControl);
    QFETCH(std::uint32_t, dtrControl);

    // Set while closed and applied by Open, then set again on the open port.
    for (bool open : {false, true}) {
        TFakePort port;
        if (open) {
            OpenOrFail(*port.comm);
            port.comm->SetFlowCtrl(TCommFlowCtrls(mode));
        } else {
            port.comm->SetFlowCtrl(TCommFlowCtrls(mode));
            OpenOrFail(*port.comm);
        }
        const DCB dcb = port.fake->State();
        QCOMPARE(dcb.Flags, flags);
        QCOMPARE(DcbRtsControl(dcb), rtsControl);
        QCOMPARE(DcbDtrControl(dcb), dtrControl);
        QCOMPARE(int(dcb.XonLim), 512);
        QCOMPARE(int(dcb.XoffLim), 512);
    }
}

void TstCommX::bufLenReceiveSetsLimits() {
    TFakePort port;
    OpenOrFail(*port.comm);
    port.fake->ClearCalls();
    port.comm->SetBufLenReceive(4096);
    QCOMPARE(Texts(port.fake->Calls()),
             (QStringList{"SetupComm 4096 2048", "SetCommState 9600 0x2017"}));
    QCOMPARE(int(port.fake->State().XonLim), 1024);
    QCOMPARE(int(port.fake->State().XoffLim), 1024);
}

void TstCommX::charTime_data() {
    QTest::addColumn<int>("bitRate");
    QTest::addColumn<int>("charTime");
    QTest::newRow("9600") << 9600 << 2;
    QTest::newRow("115200") << 115200 << 1;
    QTest::newRow("110") << 110 << 91;
    QTest::newRow("10") << 10 << 1001;
}

void TstCommX::charTime() {
    QFETCH(int, bitRate);
    QFETCH(int, charTime);
    TFakePort opened;
    opened.comm->SetBitRate(bitRate);
    OpenOrFail(*opened.comm);
    QCOMPARE(opened.comm->CharTime(), charTime);

    TFakePort changed;
    OpenOrFail(*changed.comm);
    changed.comm->SetBitRate(bitRate);
    QCOMPARE(changed.comm->CharTime(), charTime);
    QCOMPARE(changed.fake->State().BaudRate, std::uint32_t(bitRate));
}

void TstCommX::bitRateBelowTen_data() {
    QTest::addColumn<int>("bitRate");
    QTest::newRow("9") << 9;
    QTest::newRow("1") << 1;
    QTest::newRow("0") << 0;
    QTest::newRow("negative") << -9600;
}

void TstCommX::bitRateBelowTen() {
    QFETCH(int, bitRate);
    TFakePort port;
    OpenOrFail(*port.comm);
    port.fake->ClearCalls();
    // Refused before it reaches the port or the character time (no division by zero).
    QCOMPARE(RaisedMessage([&] { port.comm->SetBitRate(bitRate); }), Msg(MsgBitRate));
    QVERIFY(port.comm->IsOpen());
    QCOMPARE(port.comm->BitRate(), bitRate);
    QCOMPARE(port.comm->CharTime(), 2);
    QCOMPARE(port.fake->State().BaudRate, 9600u);
    QVERIFY(port.fake->Calls().empty());

    // At Open the same setter refuses it, and the port ends closed.
    port.comm->Close();
    QCOMPARE(RaisedMessage([&] { port.comm->Open(); }), Msg(MsgBitRate));
    QVERIFY(!port.comm->IsOpen());
    QVERIFY(!port.fake->IsOpen());
}

void TstCommX::portNoWhileOpen() {
    TFakePort port;
    port.comm->SetPortNo(4);
    QVERIFY(port.fake->Calls(true).empty());
    OpenOrFail(*port.comm);
    port.fake->ClearCalls();
    port.comm->SetPortNo(2);
    QVERIFY(port.comm->IsOpen());
    QCOMPARE(port.comm->Handle(), 1002u);
    const Strings calls = port.fake->Calls();
    QCOMPARE(calls.front(), std::string("EscapeCommFunction 6"));
    QCOMPARE(calls[1], std::string("EscapeCommFunction 4"));
    const auto close = std::find(calls.begin(), calls.end(), "Close");
    const auto open = std::find(calls.begin(), calls.end(), "Open 2");
    QVERIFY(close != calls.end());
    QVERIFY(open != calls.end());
    QVERIFY(close < open);

    // A failed reopen leaves the component closed and raises.
    port.fake->Refuse("Open", 1);
    QCOMPARE(RaisedMessage([&] { port.comm->SetPortNo(9); }), Msg(MsgCannotOpen));
    QVERIFY(!port.comm->IsOpen());
    QCOMPARE(port.comm->PortNo(), 9);
}

void TstCommX::closeSequence() {
    TFakePort port;
    OpenOrFail(*port.comm);
    port.fake->ClearCalls();
    port.comm->Close();
    QVERIFY(!port.comm->IsOpen());
    QCOMPARE(port.comm->Handle(), 0xFFFFFFFFu);
    const Strings calls = port.fake->Calls();
    const Strings head(calls.begin(), calls.begin() + 4);
    QCOMPARE(Texts(head), (QStringList{"EscapeCommFunction 6", "EscapeCommFunction 4",
                                       "PurgeComm 5", "PurgeComm 10"}));
    QCOMPARE(calls.back(), std::string("Close"));
    QVERIFY(std::find(calls.begin(), calls.end(), "CancelWait") != calls.end());
    // The receive worker cleared the event mask before the port was closed.
    const auto mask = std::find(calls.begin(), calls.end(), "SetCommMask 0x0");
    QVERIFY(mask != calls.end());
    QVERIFY(mask < calls.end() - 1);
    QVERIFY(!port.fake->Dtr());
    QVERIFY(!port.fake->Rts());
}

void TstCommX::closedComponentDoesNothing() {
    TFakePort port;
    port.comm->Close();
    port.comm->Close();
    port.comm->PurgeReceive();
    port.comm->PurgeTrans();
    port.comm->SetRTS(true);
    port.comm->SetDTR(true);
    QCOMPARE(port.comm->ReceiveCount(), 0);
    OpenOrFail(*port.comm);
    port.comm->Close();
    port.fake->ClearCalls();
    port.comm->Close();
    port.comm->SetDTR(false);
    QCOMPARE(port.comm->ReceiveCount(), 0);
    QVERIFY(port.fake->Calls(true).empty());
}

void TstCommX::modemLines_data() {
    QTest::addColumn<bool>("rts");
    QTest::addColumn<bool>("on");
    QTest::addColumn<QString>("call");
    QTest::newRow("RTS on") << true << true << "EscapeCommFunction 3";
    QTest::newRow("RTS off") << true << false << "EscapeCommFunction 4";
    QTest::newRow("DTR on") << false << true << "EscapeCommFunction 5";
    QTest::newRow("DTR off") << false << false << "EscapeCommFunction 6";
}

void TstCommX::modemLines() {
    QFETCH(bool, rts);
    QFETCH(bool, on);
    QFETCH(QString, call);
    TFakePort port;
    OpenOrFail(*port.comm);
    port.fake->ClearCalls();
    port.fake->Refuse("EscapeCommFunction"); // results are ignored
    if (rts)
        port.comm->SetRTS(on);
    else
        port.comm->SetDTR(on);
    QCOMPARE(Texts(port.fake->Calls()), Texts(Strings{call.toStdString()}));
}

void TstCommX::receiveCount() {
    TFakePort port;
    OpenOrFail(*port.comm);
    QCOMPARE(port.comm->ReceiveCount(), 0);
    port.fake->PushInput({1, 2, 3});
    QCOMPARE(port.comm->ReceiveCount(), 3);
    port.comm->PurgeReceive();
    QCOMPARE(port.comm->ReceiveCount(), 0);
}

void TstCommX::notificationOrder() {
    TFakePort port;
    QStringList events;
    port.comm->SetOnError([&](QObject* sender, int state) {
        QCOMPARE(sender, port.comm.get());
        events << QString("error %1").arg(state);
    });
    port.comm->SetOnBreak([&](QObject* sender) {
        QCOMPARE(sender, port.comm.get());
        events << "break";
    });
    port.comm->SetOnReceive([&](QObject* sender, int size) {
        QCOMPARE(sender, port.comm.get());
        events << QString("receive %1").arg(size);
    });
    OpenOrFail(*port.comm);
    port.fake->InjectLineEvent(EV_RXCHAR | EV_BREAK | EV_ERR, CE_FRAME | CE_BREAK, {7, 8});
    QTRY_COMPARE(events, (QStringList{"error 8", "break", "receive 2"}));
    // EV_ERR alone has no notification of its own; its bits come through the error report.
    port.fake->InjectLineEvent(EV_ERR, CE_OVERRUN | CE_RXPARITY);
    QTRY_COMPARE(events.size(), 4);
    QCOMPARE(events.last(), QString("error 6"));
}

void TstCommX::notificationOrderAcrossNestedLoop() {
    TFakePort port;
    QStringList events;
    bool nested = false;
    port.comm->SetOnError([&](QObject*, int state) {
        events << QString("error %1").arg(state);
        if (std::exchange(nested, true))
            return;
        // A handler that turns the event loop (a message box, a Read) while the line goes on:
        // what the next wake-up reports must not overtake the rest of this one.
        port.fake->InjectLineEvent(EV_BREAK | EV_ERR, CE_OVERRUN);
        QTest::qWait(200);
    });
    port.comm->SetOnBreak([&](QObject*) { events << "break"; });
    port.comm->SetOnReceive([&](QObject*, int size) { events << QString("receive %1").arg(size); });
    OpenOrFail(*port.comm);
    port.fake->InjectLineEvent(EV_RXCHAR | EV_BREAK | EV_ERR, CE_FRAME, {7, 8});
    // Let the worker report the whole wake-up before the GUI thread looks.
    QThread::msleep(100);
    QTRY_COMPARE(events, (QStringList{"error 8", "break", "receive 2", "error 2", "break"}));
}

void TstCommX::receiveWithoutBytesFiresNothing() {
    TFakePort port;
    int received = 0;
    int errors = 0;
    port.comm->SetOnReceive([&](QObject*, int) { ++received; });
    port.comm->SetOnError([&](QObject*, int) { ++errors; });
    OpenOrFail(*port.comm);
    port.fake->InjectLineEvent(EV_RXCHAR, 0);
    // The worker has handled the wake-up once it asked for the error state.
    QTRY_VERIFY([&] {
        const Strings calls = port.fake->Calls(true);
        return std::count(calls.begin(), calls.end(), "ClearCommError") >= 1;
    }());
    QTest::qWait(50);
    QCOMPARE(received, 0);
    QCOMPARE(errors, 0);
    port.fake->PushInput({1});
    QTRY_COMPARE(received, 1);
}

void TstCommX::errorBitsFiltered_data() {
    QTest::addColumn<std::uint32_t>("errors");
    QTest::addColumn<int>("reported");
    QTest::newRow("framing") << CE_FRAME << 8;
    QTest::newRow("overrun and parity") << (CE_OVERRUN | CE_RXPARITY) << 6;
    QTest::newRow("all three and more") << (CE_FRAME | CE_OVERRUN | CE_RXOVER | CE_BREAK) << 10;
    QTest::newRow("queue overflow only") << CE_RXOVER << 0;
    QTest::newRow("break only") << CE_BREAK << 0;
}

void TstCommX::errorBitsFiltered() {
    QFETCH(std::uint32_t, errors);
    QFETCH(int, reported);
    TFakePort port;
    QList<int> states;
    port.comm->SetOnError([&](QObject*, int state) { states << state; });
    int received = 0;
    port.comm->SetOnReceive([&](QObject*, int) { ++received; });
    OpenOrFail(*port.comm);
    port.fake->InjectLineEvent(EV_ERR | EV_RXCHAR, errors, {1});
    QTRY_COMPARE(received, 1); // comes after any error report of the same wake-up
    QCOMPARE(states, reported ? QList<int>{reported} : QList<int>{});
}

void TstCommX::noEventAfterClose() {
    TFakePort port;
    int fired = 0;
    port.comm->SetOnReceive([&](QObject*, int) { ++fired; });
    port.comm->SetOnBreak([&](QObject*) { ++fired; });
    port.comm->SetOnError([&](QObject*, int) { ++fired; });
    OpenOrFail(*port.comm);
    port.fake->ClearCalls();
    port.fake->InjectLineEvent(EV_RXCHAR | EV_BREAK | EV_ERR, CE_FRAME, {1, 2});
    port.comm->Close(); // does not let events run
    // The receive worker did handle the wake-up before Close stopped it.
    const Strings calls = port.fake->Calls(true);
    QVERIFY(std::find(calls.begin(), calls.end(), "ClearCommError") != calls.end());
    QCoreApplication::processEvents();
    QTest::qWait(20);
    QCOMPARE(fired, 0);
    // After Close returned, no worker touches the port.
    QCOMPARE(port.fake->Calls(true).back().c_str(), "Close");
}

void TstCommX::noEventAfterReopen() {
    TFakePort port;
    int fired = 0;
    port.comm->SetOnBreak([&](QObject*) { ++fired; });
    OpenOrFail(*port.comm);
    port.fake->InjectLineEvent(EV_BREAK, 0);
    port.comm->Close();
    OpenOrFail(*port.comm);
    QCoreApplication::processEvents();
    QTest::qWait(20);
    QCOMPARE(fired, 0); // the note belonged to the port as it was before
    port.fake->InjectLineEvent(EV_BREAK, 0);
    QTRY_COMPARE(fired, 1);
}

void TstCommX::destroyWhileOpen() {
    auto device = std::make_unique<TFakeCommDevice>();
    TFakeCommDevice* fake = device.get();
    int fired = 0;
    {
        TCommX comm(nullptr, std::move(device));
        comm.SetOnBreak([&](QObject*) { ++fired; });
        OpenOrFail(comm);
        fake->InjectLineEvent(EV_BREAK | EV_RXCHAR, CE_FRAME, {1});
        // Without letting events run: the worker is waiting again once it has posted.
        QVERIFY(WaitWithoutEvents([&] {
            const Strings calls = fake->Calls(true);
            return std::count(calls.begin(), calls.end(), "WaitCommEvent") >= 2;
        }));
    }
    // Queued notes died with the component.
    QCoreApplication::processEvents();
    QCOMPARE(fired, 0);
}

QTEST_GUILESS_MAIN(TstCommX)
#include "tst_commx.moc"
