// The link to the robot without any window: the stored choice and the outcome of each play
// over both links.
#include "CommX.h"
#include "FakeCommDevice.h"
#include "FakeLink.h"
#include "FakeWindowSystem.h"
#include "MessageBoxRecorder.h"
#include "PanelLink.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <memory>

Q_DECLARE_METATYPE(TPressOutcome)

namespace {

using Bytes = TFakeCommDevice::Bytes;

} // namespace

class TestPanelLink : public QObject {
    Q_OBJECT
private slots:
    void restoresTheStoredChoice_data();
    void restoresTheStoredChoice();
    void outcomeOfAPlay_data();
    void outcomeOfAPlay();
};

void TestPanelLink::restoresTheStoredChoice_data() {
    QTest::addColumn<QByteArray>("settings"); // "-" for no file, "unwritable" for no folder
    QTest::addColumn<int>("expected");
    QTest::addColumn<QStringList>("boxes");
    const QString closed = "シリアルポートを閉じました";
    QTest::newRow("COM3") << QByteArray("[Form]\r\nComm=3\r\n") << 3
                          << QStringList{"COM3 設定完了"};
    QTest::newRow("PWT3") << QByteArray("[Form]\r\nComm=0\r\n") << 0 << QStringList{closed};
    QTest::newRow("COM30") << QByteArray("[Form]\r\nComm=30\r\n") << 30
                           << QStringList{"COM30 設定完了"};
    QTest::newRow("31 is outside the list")
        << QByteArray("[Form]\r\nComm=31\r\n") << -1 << QStringList{"COM-1は使用できません"};
    QTest::newRow("-1 stays unselected")
        << QByteArray("[Form]\r\nComm=-1\r\n") << -1 << QStringList{"COM-1は使用できません"};
    QTest::newRow("missing key gives PWT3")
        << QByteArray("[Form]\r\nCaption=x\r\n") << 0 << QStringList{closed};
    QTest::newRow("missing file is created and gives PWT3")
        << QByteArray("-") << 0 << QStringList{closed};
    QTest::newRow("unwritable folder: the error, then nothing chosen")
        << QByteArray("unwritable") << -1
        << QStringList{"指定の場所には保存できません", "COM-1は使用できません"};
}

void TestPanelLink::restoresTheStoredChoice() {
    QFETCH(QByteArray, settings);
    QFETCH(int, expected);
    QFETCH(QStringList, boxes);
    QTemporaryDir dir;
    QString file = dir.filePath("Vodazevivuzo3.ini");
    if (settings == "unwritable") {
        // A folder below a plain file cannot exist, whoever runs the test.
        QFile blocker(dir.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        file = dir.filePath("file/settings/Vodazevivuzo3.ini");
    } else if (settings != "-") {
        QFile stored(file);
        QVERIFY(stored.open(QIODevice::WriteOnly));
        stored.write(settings);
    }
    Link link;
    if (expected < 0)
        link.device->Refuse("Open"); // no device answers to COM-1
    MessageBoxRecorder recorder;
    QSignalSpy shown(link.link.get(), &TPanelLink::LinkShown);
    link.link->RestoreLink(file);
    QCOMPARE(link.link->LinkIndex(), expected);
    QCOMPARE(shown, (QList<QVariantList>{{expected}}));
    QStringList texts;
    for (const MessageBoxRequest& box : recorder.records())
        texts << box.text;
    QCOMPARE(texts, boxes);
    QCOMPARE(link.link->Comm().IsOpen(), expected > 0);
    if (settings == "-")
        QVERIFY(QFile::exists(file));
}

void TestPanelLink::outcomeOfAPlay_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("board"); // "ack", "nak", "silent", "refused", "unplugged"
    QTest::addColumn<bool>("editorRunning");
    QTest::addColumn<TPressOutcome>("outcome");
    QTest::addColumn<int>("posts");

    QTest::newRow("COM3, acknowledged") << 3 << "ack" << true << TPressOutcome::Acknowledged << 0;
    QTest::newRow("COM3, another reply byte")
        << 3 << "nak" << true << TPressOutcome::NotAnswered << 0;
    QTest::newRow("COM3, silent board") << 3 << "silent" << true << TPressOutcome::NotAnswered << 0;
    QTest::newRow("COM3 refused: the port is closed")
        << 3 << "refused" << true << TPressOutcome::NothingSent << 0;
    QTest::newRow("COM3 unplugged, not back")
        << 3 << "unplugged" << true << TPressOutcome::NothingSent << 0;
    QTest::newRow("nothing chosen") << -1 << "ack" << true << TPressOutcome::NothingSent << 0;
    QTest::newRow("motion editor running")
        << 0 << "ack" << true << TPressOutcome::Acknowledged << 1;
    QTest::newRow("no motion editor window")
        << 0 << "ack" << false << TPressOutcome::NoMotionEditorWindow << 0;
}

void TestPanelLink::outcomeOfAPlay() {
    QFETCH(int, index);
    QFETCH(QString, board);
    QFETCH(bool, editorRunning);
    QFETCH(TPressOutcome, outcome);
    QFETCH(int, posts);
    Link link;
    MessageBoxRecorder boxes;
    if (!editorRunning)
        link.windows->SetWindows({});
    link.Answer(board == "ack" ? Bytes{0x06} : board == "nak" ? Bytes{0x15} : Bytes{});
    if (board == "refused" || index < 0)
        link.device->Refuse("Open");
    link.link->ChooseLink(index);
    if (board == "unplugged") {
        link.device->Vanish();
        link.device->Refuse("Open");
    }
    QCOMPARE(link.link->Play(5), outcome);
    QCOMPARE(int(link.windows->Posts().size()), posts);
    QCOMPARE(link.Played(),
             outcome == TPressOutcome::NothingSent || index == 0 ? QList<int>{} : QList<int>{5});
    // Choosing the link again forgets the motion editor's window.
    link.link->ChooseLink(index);
    QCOMPARE(link.link->MotionEditorWindow(), NoWindow);
}

QTEST_GUILESS_MAIN(TestPanelLink)
#include "tst_panellink.moc"
