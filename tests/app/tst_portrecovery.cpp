// The panel's COM link after its device went away and came back: the next press opens
// the port again and is delivered, silently; a port taken by another program is left.
#include "BtnPrm.h"
#include "CmdMain.h"
#include "ColorBtn.h"
#include "CommPortPath.h"
#include "CommX.h"
#include "MessageBoxRecorder.h"
#include "ReplugCases.h"
#include "SimulatorProcess.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int Port = 3;

// A panel on COM3 with one button that plays motion 6 (play number 5).
struct Panel {
    QTemporaryDir dir;
    MessageBoxRecorder boxes;
    std::unique_ptr<TCmdMain> main;
    std::unique_ptr<TBtnPrm> editor;

    bool Create() {
        QFile file(dir.filePath("Vodazevivuzo3.ini"));
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write("[Form]\r\nComm=3\r\nCaption=Panel\r\nTop=100\r\nLeft=100\r\nWidth=320\r\n"
                   "Height=240\r\nButton=1\r\n[Button1]\r\nCaption=B1\r\nLeft=10\r\nTop=10\r\n"
                   "Width=80\r\nHeight=30\r\nMotion=5\r\nShortCut=-1\r\n");
        file.close();
        SetCommPortFolder(dir.path().toStdString());
        main = std::make_unique<TCmdMain>(dir.path());
        editor = std::make_unique<TBtnPrm>(main.get());
        main->SetEditor(editor.get());
        return true;
    }
    ~Panel() {
        if (main)
            main->CommX1->Close();
        SetCommPortFolder("");
    }
    void Press() { main->PressButton(main->FindCommandButton("CB_1")); }
};

const QStringList Delivered{"rx 0D", "tx 0D", "rx F4 01 05 FA", "tx 06"};

} // namespace

class TestPortRecovery : public QObject {
    Q_OBJECT
private slots:
    void pressAfterReplug_data();
    void pressAfterReplug();
};

void TestPortRecovery::pressAfterReplug_data() {
    AddReplugRows();
}

void TestPortRecovery::pressAfterReplug() {
    QFETCH(bool, boardBack);
    QFETCH(bool, takenByOther);
    Panel panel;
    SimulatorProcess first;
    QVERIFY2(first.Start(panel.dir.path(), Port), qPrintable(first.ErrorString()));
    QVERIFY(panel.Create());
    QCOMPARE(panel.boxes.count(), 1); // COM3 設定完了
    TCustomCommX& comm = *panel.main->CommX1;
    QVERIFY(comm.IsOpen());
    panel.Press();
    QVERIFY(first.WaitForTraffic(4, 3000));
    QCOMPARE(first.Traffic(), Delivered);

    // Unplugged: the press fails as any failed press does.
    QVERIFY(first.Stop());
    QTRY_VERIFY(comm.DeviceGone());
    panel.Press();

    SimulatorProcess second;
    if (boardBack)
        QVERIFY2(second.Start(panel.dir.path(), Port), qPrintable(second.ErrorString()));
    std::unique_ptr<TOtherOpener> other;
    if (takenByOther) {
        other = std::make_unique<TOtherOpener>(second.LinkPath());
        QVERIFY(other->Holds());
    }
    if (!boardBack || takenByOther) {
        panel.Press();
        QVERIFY(!comm.IsOpen());
        if (takenByOther) {
            // Left to the other program, and the board heard nothing.
            QVERIFY(other->Holds());
            QTest::qWait(100);
            QCOMPARE(second.Traffic(), QStringList());
            other->Release();
        } else {
            QVERIFY2(second.Start(panel.dir.path(), Port), qPrintable(second.ErrorString()));
        }
    }
    panel.Press();
    QVERIFY(comm.IsOpen());
    QVERIFY(!comm.DeviceGone());
    QCOMPARE(comm.BitRate(), 115200);
    QCOMPARE(comm.PortNo(), Port);
    QVERIFY(second.WaitForTraffic(4, 3000));
    QCOMPARE(second.Traffic(), Delivered);
    // Nothing was shown after the link selection's own box.
    QCOMPARE(panel.boxes.count(), 1);
}

QTEST_MAIN(TestPortRecovery)
#include "tst_portrecovery.moc"
