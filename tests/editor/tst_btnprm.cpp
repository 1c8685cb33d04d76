#include "BtnPrm.h"
#include "ColorBtn.h"
#include "MessageBoxRecorder.h"
#include "PanelHost.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QtTest/qtestspontaneevent.h>
#include <memory>

namespace {

class FakePanel : public IPanelHost {
public:
    QString SelectedName() const override { return selected; }
    TColorBtn* FindCommandButton(const QString& name) const override {
        return button && button->objectName() == name ? button.get() : nullptr;
    }
    QString PanelCaption() const override { return caption; }
    void SetPanelCaption(const QString& text) override { caption = text; }
    QRect PanelBounds() const override { return bounds; }
    void SetPanelLeft(int left) override { bounds.moveLeft(left); }
    void SetPanelTop(int top) override { bounds.moveTop(top); }
    void SetPanelWidth(int width) override { bounds.setWidth(width); }
    void SetPanelHeight(int height) override { bounds.setHeight(height); }
    QSize PanelClientSize() const override { return clientSize; }
    TColor PanelColor() const override { return color; }
    void SetPanelColor(TColor value, TColor font) override {
        color = value;
        fontColor = font;
    }
    QString PanelBackgroundFile() const override { return backgroundFile; }
    void SetPanelBackgroundFile(const QString& fileName) override { backgroundFile = fileName; }
    bool LoadPanelBackground(const QString& fileName) override {
        loadedPictures.append(fileName);
        return QFile::exists(fileName);
    }
    void ClearPanelBackground() override { ++clearedPictures; }
    void SetEditMode(bool on) override { editModeCalls.append(on); }
    void ResetMotionEditorWindow() override { linkCalls.append(QStringLiteral("reset")); }
    void SelectLink(int index) override { linkCalls.append(QString::number(index)); }

    QString selected;
    std::unique_ptr<TColorBtn> button;
    QString caption = "Panel";
    QRect bounds{200, 100, 320, 240};
    QSize clientSize{304, 201};
    TColor color = clBtnFace;
    TColor fontColor = clWindowText;
    QString backgroundFile = "/pictures/back.bmp";
    QStringList loadedPictures;
    int clearedPictures = 0;
    QList<bool> editModeCalls;
    QStringList linkCalls; // "reset" and the index of each link selection, in order
};

void WriteSettings(const QString& folder, const QByteArray& content) {
    QFile file(folder + "/Vodazevivuzo3.ini");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

class TestBtnPrm : public QObject {
    Q_OBJECT
private slots:
    void createsTheFieldsAndPortList();
    void readsTheStoredLink_data();
    void readsTheStoredLink();
    void missingSettingsFileIsCreatedAndGivesThePwtLink();
    void unwritableSettingsFolderShowsTheErrorAndSelectsNothing();
    void showPanelProperties();
    void showButtonProperties();
    void buttonThatIsGoneShowsNothing();
    void closingThePortListSelectsTheLinkEveryTime();
    void closingTheEditorSwitchesEditModeOff();
    void spontaneousHideKeepsEditMode();
};

void TestBtnPrm::createsTheFieldsAndPortList() {
    QTemporaryDir dir;
    FakePanel panel;
    TBtnPrm editor(&panel, dir.path());
    QCOMPARE(editor.windowTitle(), QString("プロパティ"));
    QCOMPARE(editor.size(), QSize(208, 217));
    QVERIFY(!editor.isVisible());
    QVERIFY(editor.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(editor.CommPort->count(), 31);
    QCOMPARE(editor.CommPort->itemText(0), QString("PWT3"));
    QCOMPARE(editor.CommPort->itemText(1), QString("COM1"));
    QCOMPARE(editor.CommPort->itemText(30), QString("COM30"));
    for (QLineEdit* field :
         {editor.NameEdit, editor.WidthEdit, editor.HeightEdit, editor.LeftEdit, editor.TopEdit})
        QVERIFY2(field->isEnabled() && field->text().isEmpty(), qPrintable(field->objectName()));
    QCOMPARE(editor.WidthEdit->geometry(), QRect(76, 20, 132, 20));
    QCOMPARE(editor.TopEdit->geometry(), QRect(76, 80, 132, 20));
    QVERIFY(editor.BmpEdit->isReadOnly());
    QCOMPARE(editor.Panel1->text(), QString("Vodazevivuzo3 06/08/11版"));
}

void TestBtnPrm::readsTheStoredLink_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<int>("expected");
    QTest::newRow("COM3") << QByteArray("[Form]\r\nComm=3\r\n") << 3;
    QTest::newRow("PWT3") << QByteArray("[Form]\r\nComm=0\r\n") << 0;
    QTest::newRow("COM30") << QByteArray("[Form]\r\nComm=30\r\n") << 30;
    QTest::newRow("31 is outside the list") << QByteArray("[Form]\r\nComm=31\r\n") << -1;
    QTest::newRow("-1 stays unselected") << QByteArray("[Form]\r\nComm=-1\r\n") << -1;
    QTest::newRow("missing key gives PWT3") << QByteArray("[Form]\r\nCaption=x\r\n") << 0;
}

void TestBtnPrm::readsTheStoredLink() {
    QFETCH(QByteArray, settings);
    QFETCH(int, expected);
    QTemporaryDir dir;
    WriteSettings(dir.path(), settings);
    FakePanel panel;
    MessageBoxRecorder boxes;
    TBtnPrm editor(&panel, dir.path());
    QCOMPARE(editor.LinkIndex(), expected);
    QCOMPARE(boxes.count(), 0);
    // Creation ends with exactly one link selection, for what was read.
    QCOMPARE(panel.linkCalls, QStringList({"reset", QString::number(expected)}));
}

void TestBtnPrm::missingSettingsFileIsCreatedAndGivesThePwtLink() {
    QTemporaryDir dir;
    FakePanel panel;
    TBtnPrm editor(&panel, dir.path());
    QCOMPARE(editor.LinkIndex(), 0);
    QVERIFY(QFile::exists(dir.filePath("Vodazevivuzo3.ini")));
}

void TestBtnPrm::unwritableSettingsFolderShowsTheErrorAndSelectsNothing() {
    QTemporaryDir dir;
    // A folder below a plain file cannot exist, whoever runs the test.
    QFile blocker(dir.filePath("file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    FakePanel panel;
    MessageBoxRecorder boxes;
    TBtnPrm editor(&panel, dir.filePath("file/settings"));
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(boxes.last().kind, (unsigned char)3);
    QCOMPARE(boxes.last().text, QString("指定の場所には保存できません"));
    QCOMPARE(editor.LinkIndex(), -1);
}

void TestBtnPrm::showPanelProperties() {
    QTemporaryDir dir;
    FakePanel panel;
    TBtnPrm editor(&panel, dir.path());
    editor.ShowPanelProperties();
    QCOMPARE(editor.windowTitle(), QString("Formのプロパティ"));
    QCOMPARE(editor.NameEdit->text(), QString("Panel"));
    QCOMPARE(editor.WidthEdit->text(), QString("320"));
    QCOMPARE(editor.HeightEdit->text(), QString("240"));
    QCOMPARE(editor.LeftEdit->text(), QString("200"));
    QCOMPARE(editor.TopEdit->text(), QString("100"));
    QCOMPARE(editor.BmpEdit->text(), QString("/pictures/back.bmp"));
    QVERIFY(editor.BmpEdit->isEnabled());
    QVERIFY(editor.BmpLabel->isEnabled());
}

void TestBtnPrm::showButtonProperties() {
    QTemporaryDir dir;
    FakePanel panel;
    panel.button = std::make_unique<TColorBtn>();
    panel.button->setObjectName("CB_1");
    panel.button->SetCaption("Walk");
    panel.button->setGeometry(10, 20, 80, 30);
    panel.selected = "CB_1";
    TBtnPrm editor(&panel, dir.path());
    editor.ShowPanelProperties();
    editor.ShowButtonProperties();
    QCOMPARE(editor.windowTitle(), QString("Walkのプロパティ"));
    QCOMPARE(editor.NameEdit->text(), QString("Walk"));
    QCOMPARE(editor.WidthEdit->text(), QString("80"));
    QCOMPARE(editor.HeightEdit->text(), QString("30"));
    QCOMPARE(editor.LeftEdit->text(), QString("10"));
    QCOMPARE(editor.TopEdit->text(), QString("20"));
    QVERIFY(editor.BmpEdit->text().isEmpty());
    QVERIFY(!editor.BmpEdit->isEnabled());
    QVERIFY(!editor.BmpLabel->isEnabled());
}

void TestBtnPrm::buttonThatIsGoneShowsNothing() {
    QTemporaryDir dir;
    FakePanel panel;
    panel.selected = "CB_9";
    TBtnPrm editor(&panel, dir.path());
    editor.ShowPanelProperties();
    editor.ShowButtonProperties();
    QCOMPARE(editor.windowTitle(), QString("Formのプロパティ"));
    QCOMPARE(editor.NameEdit->text(), QString("Panel"));
}

void TestBtnPrm::closingThePortListSelectsTheLinkEveryTime() {
    QTemporaryDir dir;
    WriteSettings(dir.path(), "[Form]\r\nComm=3\r\n");
    FakePanel panel;
    TBtnPrm editor(&panel, dir.path());
    panel.linkCalls.clear();
    // The same entry again, then another one; disabling the closed list is no close.
    for (int index : {3, 5}) {
        editor.CommPort->showPopup();
        editor.CommPort->setCurrentIndex(index);
        editor.CommPort->hidePopup();
    }
    editor.CommPort->setEnabled(false);
    QCOMPARE(panel.linkCalls, QStringList({"reset", "3", "reset", "5"}));
}

void TestBtnPrm::closingTheEditorSwitchesEditModeOff() {
    QTemporaryDir dir;
    FakePanel panel;
    TBtnPrm editor(&panel, dir.path());
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QVERIFY(panel.editModeCalls.isEmpty());
    QVERIFY(editor.close());
    QCOMPARE(panel.editModeCalls, QList<bool>{false});
}

void TestBtnPrm::spontaneousHideKeepsEditMode() {
    QTemporaryDir dir;
    FakePanel panel;
    TBtnPrm editor(&panel, dir.path());
    editor.show();
    QHideEvent hide;
    QSpontaneKeyEvent::setSpontaneous(&hide);
    qApp->notify(&editor, &hide); // notify keeps the spontaneous mark, sendEvent clears it
    QVERIFY(panel.editModeCalls.isEmpty());
}

QTEST_MAIN(TestBtnPrm)
#include "tst_btnprm.moc"
