// Link selection on the fake serial device (call order, failures) and on the board
// simulator's pseudo-terminal (the boxes a user sees, and standard error).
#include "CommX.h"
#include "FakeCommDevice.h"
#include "MessageBoxRecorder.h"
#include "PanelLink.h"
#include "ResourceLimits.h"
#include "SimulatorProcess.h"
#include "TermiosCommDevice.h"

#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>
#include <unistd.h>

namespace {

// What this process writes to standard error while the object lives.
class StandardErrorCapture {
public:
    StandardErrorCapture() {
        if (!m_file.open())
            return;
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StandardErrorCapture() { Restore(); }
    QString Text() {
        Restore();
        m_file.seek(0);
        return QString::fromUtf8(m_file.readAll());
    }

private:
    void Restore() {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }
    QTemporaryFile m_file;
    int m_saved = -1;
};

// What standard error gets for the boxes: "first line second line" for each box that
// names a reason.
QString ReasonLines(const QList<MessageBoxRequest>& boxes) {
    QString lines;
    for (const MessageBoxRequest& box : boxes) {
        if (box.text.contains('\n'))
            lines += box.text.section('\n', 0, 0) + ' ' + box.text.section('\n', 1) + '\n';
    }
    return lines;
}

QString SystemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The calls that make up a link selection, in the order the device saw them.
QStringList LinkCalls(const std::vector<std::string>& calls) {
    static const QStringList wanted = {"Close", "EscapeCommFunction 5", "EscapeCommFunction 6",
                                       "PurgeComm 5", "PurgeComm 10"};
    QStringList picked;
    for (const std::string& call : calls) {
        const QString text = QString::fromStdString(call);
        if (wanted.contains(text) || text.startsWith("Open "))
            picked << text;
    }
    return picked;
}

const QStringList ClosingCalls = {"EscapeCommFunction 6", "PurgeComm 5", "PurgeComm 10", "Close"};
const QStringList OpeningCalls = {
    "Open 3",       "PurgeComm 5", "PurgeComm 10", "EscapeCommFunction 5", "EscapeCommFunction 6",
    "PurgeComm 10", "PurgeComm 5"};

} // namespace

class TestSelectLink : public QObject {
    Q_OBJECT
private slots:
    void onTheFakeDevice_data();
    void onTheFakeDevice();
    void workerStartRefused();
    void onThePseudoTerminal_data();
    void onThePseudoTerminal();
};

void TestSelectLink::onTheFakeDevice_data() {
    QTest::addColumn<bool>("openFirst");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("refuse");
    QTest::addColumn<int>("error"); // the refused call's error number; 0: none named
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("open");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");

    QTest::newRow("COM3 from closed: open, DTR pulse, purge receive then transmit")
        << false << 3 << "" << 0 << OpeningCalls << true << 1 << "COM3 設定完了";
    QTest::newRow("COM3 again: closed first, then the same")
        << true << 3 << "" << 0 << ClosingCalls + OpeningCalls << true << 1 << "COM3 設定完了";
    QTest::newRow("PWT3 closes an open port")
        << true << 0 << "" << 0 << ClosingCalls << false << 1 << "シリアルポートを閉じました";
    QTest::newRow("PWT3 with nothing open")
        << false << 0 << "" << 0 << QStringList() << false << 1 << "シリアルポートを閉じました";
    QTest::newRow("device refused: the rest skipped")
        << false << 3 << "Open" << 0 << QStringList{"Open 3"} << false << 3
        << "COM3は使用できません";
    QTest::newRow("settings refused during the open: closed again")
        << false << 3 << "SetCommTimeouts" << 0
        << QStringList{"Open 3", "PurgeComm 5", "PurgeComm 10"} << false << 3
        << "COM3は使用できません";
    // A failure the device names is the second line: the component's message, then why.
    QTest::newRow("speed refused with EINVAL")
        << false << 3 << "SetCommState" << EINVAL
        << QStringList{"Open 3", "PurgeComm 5", "PurgeComm 10"} << false << 3
        << "COM3は使用できません\n通信速度の設定でエラーが発生しました（SetCommState: " +
               SystemText(EINVAL) + "）";
    QTest::newRow("queue sizes refused with ENOMEM")
        << false << 3 << "SetupComm" << ENOMEM << QStringList{"Open 3"} << false << 3
        << "COM3は使用できません\n通信用ポートのバッファを準備できませんでした（SetupComm: " +
               SystemText(ENOMEM) + "）";
}

void TestSelectLink::onTheFakeDevice() {
    QFETCH(bool, openFirst);
    QFETCH(int, index);
    QFETCH(QString, refuse);
    QFETCH(int, error);
    QFETCH(QStringList, calls);
    QFETCH(bool, open);
    QFETCH(int, kind);
    QFETCH(QString, text);

    auto device = std::make_unique<TFakeCommDevice>();
    TFakeCommDevice* fake = device.get();
    TCommX comm(nullptr, std::move(device));
    MessageBoxRecorder boxes;
    if (openFirst) {
        SelectLink(comm, 3);
        QVERIFY(comm.IsOpen());
        boxes.clear();
    }
    fake->ClearCalls();
    if (!refuse.isEmpty() && error != 0)
        fake->Fail(refuse.toStdString(), error, 1);
    else if (!refuse.isEmpty())
        fake->Refuse(refuse.toStdString(), 1);

    StandardErrorCapture errors;
    SelectLink(comm, index);
    QCOMPARE(errors.Text(), ReasonLines(boxes.records()));

    QCOMPARE(LinkCalls(fake->Calls()).mid(0, calls.size()), calls);
    QCOMPARE(comm.IsOpen(), open);
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(int(boxes.last().kind), kind);
    QCOMPARE(boxes.last().text, text);
    if (open) {
        QCOMPARE(fake->State().BaudRate, 115200u);
        QCOMPARE(fake->Timeouts().ReadTotalTimeoutConstant, 300u);
        QCOMPARE(fake->Dtr(), false);
    }
}

// The system would not start the transmit worker: its reason is the second line.
void TestSelectLink::workerStartRefused() {
    TCommX comm(nullptr, std::make_unique<TFakeCommDevice>());
    MessageBoxRecorder boxes;
    StandardErrorCapture errors;
    {
        TThreadsRefused threads;
        QVERIFY(threads.IsValid());
        SelectLink(comm, 3);
    }
    const QString reason =
        QString::fromLocal8Bit(std::system_error(EAGAIN, std::generic_category()).what());
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(int(boxes.last().kind), 3);
    QCOMPARE(boxes.last().text,
             "COM3は使用できません\n送信用スレッドを生成できませんでした（std::thread: " + reason +
                 "）");
    QCOMPARE(errors.Text(), ReasonLines(boxes.records()));
    QVERIFY(!comm.IsOpen());
}

void TestSelectLink::onThePseudoTerminal_data() {
    QTest::addColumn<QList<int>>("indexes");
    QTest::addColumn<int>("parity"); // the component's parity before the selections
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("reason"); // the last box's second line begins so

    const QString missing = "/dev/ttyUSB4 がありません。アダプタが接続されていない";
    QTest::newRow("COM3 twice opens twice")
        << QList<int>{3, 3} << int(cpbNone) << QStringList{"COM3 設定完了", "COM3 設定完了"} << true
        << "";
    QTest::newRow("COM5 has no device")
        << QList<int>{5} << int(cpbNone) << QStringList{"COM5は使用できません"} << false << missing;
    QTest::newRow("no selection is port -1")
        << QList<int>{-1} << int(cpbNone) << QStringList{"COM-1は使用できません"} << false << "";
    QTest::newRow("COM3 then no device keeps nothing open")
        << QList<int>{3, 5} << int(cpbNone) << QStringList{"COM3 設定完了", "COM5は使用できません"}
        << false << missing;
    QTest::newRow("COM3 then PWT3")
        << QList<int>{3, 0} << int(cpbNone)
        << QStringList{"COM3 設定完了", "シリアルポートを閉じました"} << false << "";
    // A second panel holds COM3.
    QTest::newRow("COM3 held by another")
        << QList<int>{3} << int(cpbNone) << QStringList{"COM3は使用できません"} << false
        << "/dev/pts/";
    // A pseudo-terminal has no parity: the setting is refused while the port is opened.
    QTest::newRow("COM3 with even parity")
        << QList<int>{3} << int(cpbEven) << QStringList{"COM3は使用できません"} << false
        << "通信パリティチェックの設定でエラーが発生しました（tcsetattr: " + SystemText(EINVAL) +
               "）";
}

void TestSelectLink::onThePseudoTerminal() {
    QFETCH(QList<int>, indexes);
    QFETCH(int, parity);
    QFETCH(QStringList, texts);
    QFETCH(bool, open);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    SimulatorProcess board;
    QVERIFY2(board.Start(dir.path(), 3), qPrintable(board.ErrorString()));
    TCommX other(nullptr, std::make_unique<TTermiosCommDevice>(dir.path().toStdString()));
    if (QString(QTest::currentDataTag()).contains("held")) {
        other.SetPortNo(3);
        other.Open();
    }
    TCommX comm(nullptr, std::make_unique<TTermiosCommDevice>(dir.path().toStdString()));
    comm.SetParityBit(TCommParityBits(parity));
    MessageBoxRecorder boxes;
    StandardErrorCapture errors;
    for (int index : indexes)
        SelectLink(comm, index);
    QCOMPARE(errors.Text(), ReasonLines(boxes.records()));
    QStringList shown;
    for (const MessageBoxRequest& request : boxes.records())
        shown << request.text.section('\n', 0, 0);
    QCOMPARE(shown, texts);
    QCOMPARE(comm.IsOpen(), open);
    // The first line stays as it was; a refusal of the system adds its cause.
    const QString last = boxes.last().text;
    QCOMPARE(last.contains('\n'), !reason.isEmpty());
    if (!reason.isEmpty())
        QVERIFY2(last.section('\n', 1).startsWith(reason), qPrintable(last));
}

QTEST_GUILESS_MAIN(TestSelectLink)
#include "tst_selectlink.moc"
