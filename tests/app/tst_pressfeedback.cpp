// What a press shows on its own button: the outcome's frame inside the edge, how long it
// stays, and the tooltip that names it, over both links, on the fake device and the fake
// window system.
#include "CmdMain.h"
#include "ColorBtn.h"
#include "CommPortPath.h"
#include "CommX.h"
#include "FakeCommDevice.h"
#include "FakeWindowSystem.h"
#include "MessageBoxRecorder.h"
#include "PanelLink.h"
#include "PressFeedback.h"
#include "SimulatorProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

using Bytes = TFakeCommDevice::Bytes;

// A panel on `link` with one button (Motion5, or OFF) at 10,10, 80 x 30.
struct Panel {
    QTemporaryDir dir;
    MessageBoxRecorder boxes;
    TFakeCommDevice* device = nullptr;
    TFakeWindowSystem* windows = nullptr;
    std::unique_ptr<TCmdMain> main;

    Panel(int link, int motion) {
        QFile settings(dir.filePath("Vodazevivuzo3.ini"));
        if (!settings.open(QIODevice::WriteOnly))
            qFatal("cannot write the settings file");
        settings.write("[Form]\r\nCaption=P\r\nWidth=320\r\nHeight=240\r\nButton=1\r\n"
                       "[Button1]\r\nCaption=B\r\nLeft=10\r\nTop=10\r\nWidth=80\r\nHeight=30\r\n"
                       "Motion=" +
                       QByteArray::number(motion) + "\r\n");
        settings.close();
        auto fake = std::make_unique<TFakeCommDevice>();
        device = fake.get();
        main = std::make_unique<TCmdMain>(dir.path(), nullptr, std::move(fake));
        auto fakeWindows = std::make_unique<TFakeWindowSystem>();
        windows = fakeWindows.get();
        main->SetWindowSystem(std::move(fakeWindows));
        m_link = link;
    }
    void ChooseLink() { main->Link().ChooseLink(m_link); }
    int m_link = 0;
    TColorBtn* Button() const { return main->FindCommandButton("CB_1"); }
    // The colour just inside the button's left edge, halfway down.
    QColor EdgeColour() const {
        return Button()->grab().toImage().pixelColor(OutcomeFrameInset(bsStd), 15);
    }
};

} // namespace

class TestPressFeedback : public QObject {
    Q_OBJECT
private slots:
    void outcomeOnTheButton_data();
    void outcomeOnTheButton();
    void nothingShownForPressesThatPlayNothing_data();
    void nothingShownForPressesThatPlayNothing();
    void againstTheBoardSimulator();
};

void TestPressFeedback::outcomeOnTheButton_data() {
    QTest::addColumn<int>("link");
    QTest::addColumn<QString>("board"); // "ack", "silent", "refused"; "editor", "no editor"
    QTest::addColumn<TColor>("frame");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<int>("gone"); // ms after which the frame has gone
    QTest::newRow("acknowledged: green, briefly")
        << 3 << "ack" << AcknowledgedFrame << "応答あり" << AcknowledgedMs;
    QTest::newRow("silent board: red") << 3 << "silent" << FailedFrame << "応答なし" << FailedMs;
    QTest::newRow("no port: red") << 3 << "refused" << FailedFrame << "ポートが閉じています"
                                  << FailedMs;
    QTest::newRow("motion editor window: green")
        << 0 << "editor" << AcknowledgedFrame << "モーションエディタに送りました" << AcknowledgedMs;
    QTest::newRow("no motion editor window: red")
        << 0 << "no editor" << FailedFrame << "モーションエディタが見つかりません" << FailedMs;
}

void TestPressFeedback::outcomeOnTheButton() {
    QFETCH(int, link);
    QFETCH(QString, board);
    QFETCH(TColor, frame);
    QFETCH(QString, toolTip);
    QFETCH(int, gone);
    Panel panel(link, 4);
    if (board == "refused")
        panel.device->Refuse("Open");
    panel.ChooseLink();
    if (board == "editor")
        panel.windows->SetWindows({{42, true, "Editor", "TPosewright3"}});
    if (board == "ack")
        panel.device->SetReply([](const Bytes& written) {
            return written == Bytes{0x0D} ? Bytes{0x0D} : Bytes{0x06};
        });
    const QColor face = panel.EdgeColour();
    QElapsedTimer clock;
    QTest::mouseClick(panel.Button(), Qt::LeftButton, {}, QPoint(40, 15));
    clock.start();
    QCOMPARE(panel.Button()->PressOutcomeFrame(), std::optional<TColor>(frame));
    QCOMPARE(panel.EdgeColour(), ResolveColor(frame));
    QVERIFY2(panel.Button()->toolTip().contains(toolTip), qPrintable(panel.Button()->toolTip()));
    // The frame stays for its time, then the button is as it was; the tooltip stays.
    QTRY_VERIFY_WITH_TIMEOUT(!panel.Button()->PressOutcomeFrame(), gone + 2000);
    // A coarse timer may end up to a twentieth early.
    QVERIFY2(clock.elapsed() >= gone * 19 / 20, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(panel.EdgeColour(), face);
    QVERIFY(panel.Button()->toolTip().contains(toolTip));
}

void TestPressFeedback::nothingShownForPressesThatPlayNothing_data() {
    QTest::addColumn<int>("motion");
    QTest::addColumn<bool>("editMode");
    QTest::newRow("OFF button") << -1 << false;
    QTest::newRow("edit mode") << 4 << true;
}

void TestPressFeedback::nothingShownForPressesThatPlayNothing() {
    QFETCH(int, motion);
    QFETCH(bool, editMode);
    Panel panel(3, motion);
    panel.ChooseLink();
    panel.main->SetEditMode(editMode);
    QTest::mouseClick(panel.Button(), Qt::LeftButton, {}, QPoint(40, 15));
    QVERIFY(!panel.Button()->PressOutcomeFrame());
    QVERIFY(panel.Button()->toolTip().isEmpty());
}

// The real serial device against the board simulator: green, then back to normal; with
// the simulator stopped, red within a second of the press, and the tooltip says why.
void TestPressFeedback::againstTheBoardSimulator() {
    QTemporaryDir dir;
    QFile settings(dir.filePath("Vodazevivuzo3.ini"));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[Form]\r\nComm=-1\r\nButton=1\r\n[Button1]\r\nCaption=B\r\nLeft=10\r\n"
                   "Top=10\r\nWidth=80\r\nHeight=30\r\nMotion=4\r\n");
    settings.close();
    MessageBoxRecorder boxes;
    SimulatorProcess board;
    QVERIFY2(board.Start(dir.path(), 3), qPrintable(board.ErrorString()));
    SetCommPortFolder(dir.path().toStdString());
    TCmdMain panel(dir.path());
    panel.Link().ChooseLink(3);
    TColorBtn* button = panel.FindCommandButton("CB_1");
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(40, 15));
    QCOMPARE(button->PressOutcomeFrame(), std::optional<TColor>(AcknowledgedFrame));
    QTRY_VERIFY(!button->PressOutcomeFrame());

    QVERIFY(board.Stop());
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(40, 15));
    QVERIFY(clock.elapsed() < 1000);
    QCOMPARE(button->PressOutcomeFrame(), std::optional<TColor>(FailedFrame));
    QVERIFY2(button->toolTip().contains("失敗"), qPrintable(button->toolTip()));
    panel.CommX1->Close();
    SetCommPortFolder("");
}

QTEST_MAIN(TestPressFeedback)
#include "tst_pressfeedback.moc"
