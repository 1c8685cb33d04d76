// Link selection on the fake serial device (call order, failures) and on the board
// simulator's pseudo-terminal (the boxes a user sees).
#include "CommX.h"
#include "FakeCommDevice.h"
#include "MessageBoxRecorder.h"
#include "PanelLink.h"
#include "PtyPair.h"
#include "ResourceLimits.h"
#include "SimulatorProcess.h"
#include "TermiosCommDevice.h"

#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <system_error>
#include <unistd.h>

namespace {

// What this process writes to standard error while action runs.
QString StandardError(const std::function<void()>& action) {
    QTemporaryFile file;
    if (!file.open())
        return "no file for standard error";
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(file.handle(), STDERR_FILENO);
    action();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    file.seek(0);
    return QString::fromUtf8(file.readAll());
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
    void onThePseudoTerminal_data();
    void onThePseudoTerminal();
    void reasonOnTheSecondLine_data();
    void reasonOnTheSecondLine();
};

void TestSelectLink::onTheFakeDevice_data() {
    QTest::addColumn<bool>("openFirst");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("refuse");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("open");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");

    QTest::newRow("COM3 from closed: open, DTR pulse, purge receive then transmit")
        << false << 3 << "" << OpeningCalls << true << 1 << "COM3 設定完了";
    QTest::newRow("COM3 again: closed first, then the same")
        << true << 3 << "" << ClosingCalls + OpeningCalls << true << 1 << "COM3 設定完了";
    QTest::newRow("PWT3 closes an open port")
        << true << 0 << "" << ClosingCalls << false << 1 << "シリアルポートを閉じました";
    QTest::newRow("PWT3 with nothing open")
        << false << 0 << "" << QStringList() << false << 1 << "シリアルポートを閉じました";
    QTest::newRow("device refused: the rest skipped")
        << false << 3 << "Open" << QStringList{"Open 3"} << false << 3 << "COM3は使用できません";
    QTest::newRow("settings refused during the open: closed again")
        << false << 3 << "SetCommTimeouts" << QStringList{"Open 3", "PurgeComm 5", "PurgeComm 10"}
        << false << 3 << "COM3は使用できません";
}

void TestSelectLink::onTheFakeDevice() {
    QFETCH(bool, openFirst);
    QFETCH(int, index);
    QFETCH(QString, refuse);
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
    if (!refuse.isEmpty())
        fake->Refuse(refuse.toStdString(), 1);

    SelectLink(comm, index);

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

void TestSelectLink::onThePseudoTerminal_data() {
    QTest::addColumn<QList<int>>("indexes");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("reason"); // the last box's second line begins so

    const QString missing = "/dev/ttyUSB4 がありません。アダプタが接続されていない";
    QTest::newRow("COM3 twice opens twice")
        << QList<int>{3, 3} << QStringList{"COM3 設定完了", "COM3 設定完了"} << true << "";
    QTest::newRow("COM5 has no device")
        << QList<int>{5} << QStringList{"COM5は使用できません"} << false << missing;
    QTest::newRow("no selection is port -1")
        << QList<int>{-1} << QStringList{"COM-1は使用できません"} << false << "";
    QTest::newRow("COM3 then no device keeps nothing open")
        << QList<int>{3, 5} << QStringList{"COM3 設定完了", "COM5は使用できません"} << false
        << missing;
    QTest::newRow("COM3 then PWT3")
        << QList<int>{3, 0} << QStringList{"COM3 設定完了", "シリアルポートを閉じました"} << false
        << "";
    // A second panel holds COM3.
    QTest::newRow("COM3 held by another")
        << QList<int>{3} << QStringList{"COM3は使用できません"} << false << "/dev/pts/";
}

void TestSelectLink::onThePseudoTerminal() {
    QFETCH(QList<int>, indexes);
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
    MessageBoxRecorder boxes;
    for (int index : indexes)
        SelectLink(comm, index);
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

// What failed beneath the component's message is the box's second line and goes to
// standard error: a call the fake fails with an error number, a setting a pseudo-terminal
// refuses (it has no parity), a worker the system would not start.
void TestSelectLink::reasonOnTheSecondLine_data() {
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<QString>("reason");
    const QString invalid = QString::fromLocal8Bit(std::strerror(EINVAL));
    QTest::newRow("speed refused by the fake")
        << "speed"
        << "通信速度の設定でエラーが発生しました（SetCommState: " + invalid + "）";
    QTest::newRow("even parity on a pseudo-terminal")
        << "parity"
        << "通信パリティチェックの設定でエラーが発生しました（tcsetattr: " + invalid + "）";
    QTest::newRow("no thread can start")
        << "threads"
        << "送信用スレッドを生成できませんでした（std::thread: " +
               QString::fromLocal8Bit(std::system_error(EAGAIN, std::generic_category()).what()) +
               "）";
}

void TestSelectLink::reasonOnTheSecondLine() {
    QFETCH(QString, refusal);
    QFETCH(QString, reason);

    TPtyPair pty(3);
    QVERIFY(pty.IsValid());
    auto fake = std::make_unique<TFakeCommDevice>();
    if (refusal == "speed")
        fake->Fail("SetCommState", EINVAL, 1);
    std::unique_ptr<ICommDevice> device = std::move(fake);
    if (refusal == "parity")
        device = std::make_unique<TTermiosCommDevice>(pty.Folder().toStdString());
    TCommX comm(nullptr, std::move(device));
    if (refusal == "parity")
        comm.SetParityBit(cpbEven);
    MessageBoxRecorder boxes;
    std::optional<TThreadsRefused> threads;
    if (refusal == "threads") {
        threads.emplace();
        QVERIFY(threads->IsValid());
    }
    const QString errors = StandardError([&] { SelectLink(comm, 3); });
    threads.reset();
    const QString refused = "COM3は使用できません";
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(int(boxes.last().kind), 3);
    QCOMPARE(boxes.last().text, refused + '\n' + reason);
    QCOMPARE(errors, refused + ' ' + reason + '\n');
    QVERIFY(!comm.IsOpen());
}

QTEST_GUILESS_MAIN(TestSelectLink)
#include "tst_selectlink.moc"
