#include "BtnPrm.h"
#include "CmdMain.h"
#include "ColorBtn.h"
#include "CommX.h"
#include "FileDialog.h"
#include "LayoutFileName.h"
#include "MessageBoxRecorder.h"
#include "PanelLink.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString SettingsName = QStringLiteral("Vodazevivuzo3.ini");
const QString CannotSave = QStringLiteral("指定の場所には保存できません");

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& content) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QString WritePicture(const QString& path, QSize size, QColor colour) {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    if (!picture.save(path, "BMP"))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QByteArray PanelFile(const QString& caption, const QString& backgroundFile, int buttons) {
    QByteArray text =
        "[Form]\r\nCaption=" + caption.toUtf8() +
        "\r\nTop=50\r\nLeft=60\r\nWidth=400\r\nHeight=300\r\nColor=65280\r\nBmpFile=" +
        backgroundFile.toUtf8() + "\r\nButton=" + QByteArray::number(buttons) + "\r\n\r\n";
    for (int n = 1; n <= buttons; ++n)
        text += "[Button" + QByteArray::number(n) + "]\r\nCaption=" + caption.toUtf8() +
                QByteArray::number(n) + "\r\n\r\n";
    return text;
}

QColor PixelAt(QWidget& widget, QPoint point) {
    return widget.grab().toImage().pixelColor(point);
}

QStringList CommandButtonNames(const TCmdMain& panel) {
    QStringList names;
    for (QObject* component : panel.Components()) {
        if (component->objectName().startsWith("CB_"))
            names << component->objectName();
    }
    return names;
}

} // namespace

class TestCmdMain : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void firstStartCreatesTheSettingsFileAndShowsTheDefaults();
    void designComponentsAndMenu();
    void rightClickOpensTheMenuOnPanelAndButtons_data();
    void rightClickOpensTheMenuOnPanelAndButtons();
    void workedExampleIsRestored();
    void closeWritesTheWorkedExampleBackUnchanged_data();
    void closeWritesTheWorkedExampleBackUnchanged();
    void layoutExtension_data();
    void layoutExtension();
    void saveAppliesTheFilterRule_data();
    void saveAppliesTheFilterRule();
    void saveOverAnotherExistingFileAsksFirst_data();
    void saveOverAnotherExistingFileAsksFirst();
    void cancelledDialogsChangeNothing();
    void openReplacesAllButThePictureOnScreen();
    void openOfAnUnwritableLayoutKeepsThePanel();
    void openOfAFileWithoutForm_data();
    void openOfAFileWithoutForm();
    void doubleClickOnEmptyPanelTogglesEditMode();
    void menuEditCheckShowsAndHidesTheEditor();
    void hidingTheEditorSwitchesEditModeOff();
    void resizeAndMoveMirrorIntoTheEditor_data();
    void resizeAndMoveMirrorIntoTheEditor();
    void mouseDownOnPanelOrFrameSelectsThePanel_data();
    void mouseDownOnPanelOrFrameSelectsThePanel();
    void activationByAFrameClickSelectsThePanel_data();
    void activationByAFrameClickSelectsThePanel();
    void backgroundPictureIsDrawnUnscaled_data();
    void backgroundPictureIsDrawnUnscaled();
    void unwritableSettingsFolderReportsAtStartAndClose();
    void createAndDeleteButtonsKeepNumbersAndComponentOrder();
    void exitClosesAndWritesTheSettings();
    void smallestStoredSizeGivesTheSmallestWindow();
    void extremeButtonGeometryIsClampedToWhatAWidgetHolds_data();
    void extremeButtonGeometryIsClampedToWhatAWidgetHolds();
    void farthestStoredPositionKeepsTheFrameWithinAnInteger();

private:
    QString SettingsPath() const { return m_dir->filePath(SettingsName); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    std::unique_ptr<TFileDialogAnswers> m_dialogs;
};

void TestCmdMain::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_boxes = std::make_unique<MessageBoxRecorder>();
    m_dialogs = std::make_unique<TFileDialogAnswers>();
}

void TestCmdMain::cleanup() {
    QCOMPARE(m_dialogs->Unanswered(), 0);
    m_dialogs.reset();
    m_boxes.reset();
    m_dir.reset();
}

void TestCmdMain::firstStartCreatesTheSettingsFileAndShowsTheDefaults() {
    TCmdMain panel(m_dir->path());
    QVERIFY(QFile::exists(SettingsPath()));
    QCOMPARE(ReadAll(SettingsPath()), QByteArray());
    QCOMPARE(m_boxes->count(), 0);
    QVERIFY(panel.isVisible());
    QCOMPARE(panel.Caption(), QString("Orvix Tapdeck3"));
    QCOMPARE(panel.windowTitle(), QString("Orvix Tapdeck3"));
    QTRY_COMPARE(panel.Width(), 320);
    QTRY_COMPARE(panel.Height(), 240);
    const QSize screen = panel.screen()->size();
    QCOMPARE(panel.Left(), (screen.width() - 320) / 2);
    QCOMPARE(panel.Top(), (screen.height() - 240) / 2);
    QCOMPARE(panel.Color(), clBtnFace);
    QVERIFY(CommandButtonNames(panel).isEmpty());
    QCOMPARE(panel.ButtonCounter, 0);
    QVERIFY(panel.BackgroundFile.isEmpty());
    QVERIFY(panel.BackgroundPicture.isNull());
    QCOMPARE(panel.Link().MotionEditorWindow(), -1LL);
    QVERIFY(!panel.EditMode());
    QVERIFY(panel.SelectedButtonName.isEmpty());
    QCOMPARE(PixelAt(panel, QPoint(5, 5)), ResolveColor(clBtnFace));
}

void TestCmdMain::designComponentsAndMenu() {
    TCmdMain panel(m_dir->path());
    QStringList names;
    for (QObject* component : panel.Components())
        names << component->objectName();
    QCOMPARE(names, (QStringList{"PopupMenu", "CommX1", "OpenDialog", "SaveDialog"}));
    QCOMPARE(panel.CommX1->BitRate(), 115200);
    QCOMPARE(panel.CommX1->FlowCtrl(), cfcNone);
    QVERIFY(!panel.CommX1->IsOpen());
    const QString filter = "Velmar Data(*.vmd)|*.VMD|All Files(*.*)|*.*";
    QCOMPARE(panel.OpenDialog->Filter(), filter);
    QCOMPARE(panel.SaveDialog->Filter(), filter);
    QVERIFY(panel.SaveDialog->OverwritePrompt());
    QVERIFY(!panel.OpenDialog->OverwritePrompt());
    QCOMPARE(panel.font().pixelSize(), 12);
    QCOMPARE(panel.font().families().value(0), QString("ＭＳ Ｐゴシック"));
    QVERIFY(panel.font().families().contains("IPAPGothic"));

    QStringList items;
    for (QAction* item : panel.PopupMenu->actions()) {
        items << item->objectName() + '=' + (item->isSeparator() ? QString("-") : item->text());
        // Nothing to undo or redo yet.
        QCOMPARE(item->isEnabled(), item != panel.UndoBtn && item != panel.RedoBtn);
        QVERIFY(item->shortcut().isEmpty());
    }
    QCOMPARE(items, (QStringList{"EditCheck=編集", "N1=-", "CreateButton=ボタンの作成",
                                 "DeleteButton=削除", "N2=-", "OpenBtn=開く", "Save1=保存", "N3=-",
                                 "ExitBtn=終了", "N4=-", "UndoBtn=元に戻す", "RedoBtn=やり直し",
                                 "N5=-", "RemoteBtn=リモート操作"}));
    QVERIFY(panel.EditCheck->isCheckable());
}

void TestCmdMain::rightClickOpensTheMenuOnPanelAndButtons_data() {
    QTest::addColumn<QString>("target");
    QTest::newRow("empty panel") << "";
    QTest::newRow("command button") << "CB_2";
}

void TestCmdMain::rightClickOpensTheMenuOnPanelAndButtons() {
    QFETCH(QString, target);
    QVERIFY(QFile::copy(TAPDECK_TEST_DATA "/app/worked_example.ini", SettingsPath()));
    TCmdMain panel(m_dir->path());
    QWidget* receiver =
        target.isEmpty() ? static_cast<QWidget*>(&panel) : panel.FindCommandButton(target);
    QVERIFY(receiver);
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5),
                            receiver->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(receiver, &click);
    QVERIFY(panel.PopupMenu->isVisible());
    panel.PopupMenu->close();
}

void TestCmdMain::workedExampleIsRestored() {
    QVERIFY(QFile::copy(TAPDECK_TEST_DATA "/app/worked_example.ini", SettingsPath()));
    TCmdMain panel(m_dir->path());
    QCOMPARE(panel.Caption(), QString("Orvix Tapdeck3"));
    QTRY_COMPARE(panel.PanelBounds(), QRect(200, 100, 320, 240));
    QCOMPARE(panel.Color(), clBtnFace);
    QCOMPARE(panel.ButtonCounter, 2);
    QCOMPARE(CommandButtonNames(panel), (QStringList{"CB_2", "CB_1"}));
    TColorBtn* walk = panel.FindCommandButton("CB_2");
    TColorBtn* dance = panel.FindCommandButton("CB_1");
    QVERIFY(walk && dance);
    QCOMPARE(walk->Caption(), QString("Walk"));
    QCOMPARE(walk->geometry(), QRect(10, 10, 80, 30));
    QCOMPARE(walk->Tag(), 0);
    QCOMPARE(walk->Param1(), 65);
    QCOMPARE(walk->Color(), TColor(255));
    QCOMPARE(walk->FontColor(), clWhite);
    QCOMPARE(dance->Caption(), QString("Dance"));
    QCOMPARE(dance->geometry(), QRect(100, 10, 80, 30));
    QCOMPARE(dance->Tag(), 80);
    QCOMPARE(dance->Param1(), -1);
    QCOMPARE(dance->Color(), clBtnFace);
    QCOMPARE(dance->ButtonStyle(), bsStd);
    QVERIFY(!dance->Focusline());
    QVERIFY(dance->isVisible());
    QCOMPARE(panel.LastButton.data(), dance);
}

void TestCmdMain::closeWritesTheWorkedExampleBackUnchanged_data() {
    QTest::addColumn<QString>("fixture");
    QTest::newRow("worked example") << "app/worked_example.ini";
    // The held buttons' keys and the stop go through the buttons and back.
    QTest::newRow("held buttons and the stop") << "storage/held_buttons.vmd";
}

void TestCmdMain::closeWritesTheWorkedExampleBackUnchanged() {
    QFETCH(QString, fixture);
    const QByteArray example = ReadAll(TAPDECK_TEST_DATA "/" + fixture);
    WriteAll(SettingsPath(), example);
    {
        TCmdMain panel(m_dir->path());
        TBtnPrm editor(&panel);
        panel.SetEditor(&editor);
        QTRY_COMPARE(panel.PanelBounds(), QRect(200, 100, 320, 240));
        QFile::remove(SettingsPath());
        QSignalSpy closed(&panel, &TCmdMain::Closed);
        QVERIFY(panel.close());
        QCOMPARE(closed.count(), 1);
    }
    QCOMPARE(ReadAll(SettingsPath()), example);
    // Only the editor's link selection of the stored COM3 told the user anything.
    QCOMPARE(m_boxes->count(), 1);
    QVERIFY(m_boxes->last().text.startsWith("COM3"));
}

void TestCmdMain::layoutExtension_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no extension") << "/a/panel"
                                  << "/a/panel.vmd";
    QTest::newRow("other extension") << "/a/panel.txt"
                                     << "/a/panel.vmd";
    QTest::newRow("already vmd") << "/a/panel.vmd"
                                 << "/a/panel.vmd";
    QTest::newRow("capital VMD") << "/a/panel.VMD"
                                 << "/a/panel.vmd";
    QTest::newRow("last dot counts") << "/a/panel.old.txt"
                                     << "/a/panel.old.vmd";
    QTest::newRow("dot only in the folder") << "/a.d/panel"
                                            << "/a.d/panel.vmd";
    QTest::newRow("trailing dot") << "/a/panel."
                                  << "/a/panel.vmd";
}

void TestCmdMain::layoutExtension() {
    QFETCH(QString, chosen);
    QFETCH(QString, expected);
    QCOMPARE(WithLayoutExtension(chosen), expected);
}

void TestCmdMain::saveAppliesTheFilterRule_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<int>("filterIndex");
    QTest::addColumn<QString>("written");
    QTest::newRow("layout filter, panel") << "panel" << 1 << "panel.vmd";
    QTest::newRow("layout filter, panel.txt") << "panel.txt" << 1 << "panel.vmd";
    QTest::newRow("all files, panel") << "panel" << 2 << "panel";
    QTest::newRow("all files, panel.txt") << "panel.txt" << 2 << "panel.txt";
}

void TestCmdMain::saveAppliesTheFilterRule() {
    QFETCH(QString, chosen);
    QFETCH(int, filterIndex);
    QFETCH(QString, written);
    QVERIFY(QFile::copy(TAPDECK_TEST_DATA "/app/worked_example.ini", SettingsPath()));
    TCmdMain panel(m_dir->path());
    m_dialogs->Choose(m_dir->filePath(chosen), filterIndex);
    panel.Save1->trigger();
    QCOMPARE(m_dialogs->Requests().size(), std::size_t(1));
    const FileDialogRequest& request = m_dialogs->Requests().front();
    QVERIFY(request.save);
    QVERIFY(request.confirmOverwrite);
    QCOMPARE(request.nameFilters,
             (QStringList{"Velmar Data(*.vmd) (*.VMD *.vmd)", "All Files(*.*) (*)"}));
    const QStringList files =
        QDir(m_dir->path()).entryList(QDir::Files, QDir::Name).filter(QRegularExpression("^panel"));
    QCOMPARE(files, QStringList{written});
    QCOMPARE(panel.SaveDialog->FileName(), m_dir->filePath(written));
    const QByteArray saved = ReadAll(m_dir->filePath(written));
    QVERIFY(saved.startsWith("[Form]\r\n"));
    QVERIFY(saved.contains("\r\n[Button1]\r\nCaption=Dance\r\n"));
    QVERIFY(saved.contains("\r\n[Button2]\r\nCaption=Walk\r\n"));
    QCOMPARE(m_boxes->count(), 0);
}

void TestCmdMain::saveOverAnotherExistingFileAsksFirst_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("overwritten");
    QTest::newRow("yes") << int(IDYES) << true;
    QTest::newRow("no") << int(IDNO) << false;
}

void TestCmdMain::saveOverAnotherExistingFileAsksFirst() {
    QFETCH(int, answer);
    QFETCH(bool, overwritten);
    WriteAll(m_dir->filePath("panel.vmd"), "keep me");
    TCmdMain panel(m_dir->path());
    m_dialogs->Choose(m_dir->filePath("panel.txt"), 1);
    m_boxes->queueAnswer(answer);
    panel.Save1Click();
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().kind, (unsigned char)2);
    QCOMPARE(m_boxes->last().buttonFlag, unsigned(MB_YESNO));
    QVERIFY(m_boxes->last().text.contains("panel.vmd"));
    QCOMPARE(ReadAll(m_dir->filePath("panel.vmd")) != "keep me", overwritten);
    QVERIFY(!QFile::exists(m_dir->filePath("panel.txt")));
}

void TestCmdMain::cancelledDialogsChangeNothing() {
    QVERIFY(QFile::copy(TAPDECK_TEST_DATA "/app/worked_example.ini", SettingsPath()));
    TCmdMain panel(m_dir->path());
    m_dialogs->Cancel();
    m_dialogs->Cancel();
    panel.Save1Click();
    panel.OpenBtnClick();
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{SettingsName});
    QCOMPARE(CommandButtonNames(panel), (QStringList{"CB_2", "CB_1"}));
    QCOMPARE(m_dialogs->Requests().size(), std::size_t(2));
    QVERIFY(!m_dialogs->Requests().back().save);
}

void TestCmdMain::openReplacesAllButThePictureOnScreen() {
    const QString red = WritePicture(m_dir->filePath("red.bmp"), {40, 40}, Qt::red);
    const QString blue = WritePicture(m_dir->filePath("blue.bmp"), {40, 40}, Qt::blue);
    WriteAll(SettingsPath(), PanelFile("Before", red, 3));
    const QString layout = m_dir->filePath("other.vmd");
    WriteAll(layout, PanelFile("After", blue, 1));
    // Stored buttons sit at (0, 0), 80 x 30: the pictures are looked at below them.
    {
        TCmdMain panel(m_dir->path());
        TBtnPrm editor(&panel);
        panel.SetEditor(&editor);
        QCOMPARE(PixelAt(panel, QPoint(10, 35)), QColor(Qt::red));
        panel.SelectedButtonName = "CB_3";
        editor.ShowButtonProperties();
        m_dialogs->Choose(layout, 1);
        panel.OpenBtn->trigger();
        QCOMPARE(panel.Caption(), QString("After"));
        QCOMPARE(CommandButtonNames(panel), QStringList{"CB_1"});
        QCOMPARE(panel.FindCommandButton("CB_1")->Caption(), QString("After1"));
        QCOMPARE(panel.ButtonCounter, 1);
        QTRY_COMPARE(panel.PanelBounds(), QRect(60, 50, 400, 300));
        QCOMPARE(panel.Color(), TColor(0x00FF00));
        QCOMPARE(panel.BackgroundFile, blue);
        // The selection is gone with the button it named; the editor shows the panel.
        QCOMPARE(panel.SelectedButtonName, QString());
        QCOMPARE(editor.windowTitle(), QString("Formのプロパティ"));
        QCOMPARE(PixelAt(panel, QPoint(10, 35)), QColor(Qt::red));
        QCOMPARE(PixelAt(panel, QPoint(50, 50)), QColor(Qt::green));
        QVERIFY(panel.close());
    }
    TCmdMain restarted(m_dir->path());
    QCOMPARE(restarted.BackgroundFile, blue);
    QCOMPARE(PixelAt(restarted, QPoint(10, 35)), QColor(Qt::blue));
}

void TestCmdMain::openOfAnUnwritableLayoutKeepsThePanel() {
    QVERIFY(QFile::copy(TAPDECK_TEST_DATA "/app/worked_example.ini", SettingsPath()));
    WriteAll(m_dir->filePath("file"), "");
    TCmdMain panel(m_dir->path());
    m_dialogs->Choose(m_dir->filePath("file/layout.vmd"), 1);
    panel.OpenBtnClick();
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().text, CannotSave);
    QCOMPARE(panel.Caption(), QString("Orvix Tapdeck3"));
    QCOMPARE(CommandButtonNames(panel), (QStringList{"CB_2", "CB_1"}));
    QCOMPARE(panel.ButtonCounter, 2);
}

void TestCmdMain::openOfAFileWithoutForm_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // empty: the picture fixture
    QTest::addColumn<bool>("isLayout");
    QTest::newRow("picture") << "photo.bmp" << QByteArray() << false;
    QTest::newRow("text file") << "notes.txt" << QByteArray("Caption=x\r\n[Notes]\r\n") << false;
    QTest::newRow("empty file") << "empty.vmd" << QByteArray("\r\n") << false;
    // However incomplete, a [Form] section makes it a layout.
    QTest::newRow("only [Form]") << "bare.vmd" << QByteArray("[form]\r\n") << true;
}

// A file that is no layout is not opened: the panel, and so the settings file written
// at the close, keep the user's buttons.
void TestCmdMain::openOfAFileWithoutForm() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, isLayout);
    QVERIFY(QFile::copy(TAPDECK_TEST_DATA "/app/worked_example.ini", SettingsPath()));
    const QString path = m_dir->filePath(name);
    if (content.isEmpty())
        QVERIFY(QFile::copy(TAPDECK_TEST_DATA "/storage/picture.bmp", path));
    else
        WriteAll(path, content);
    const QByteArray before = ReadAll(path);
    TCmdMain panel(m_dir->path());
    m_dialogs->Choose(path, 1);
    panel.OpenBtnClick();
    QCOMPARE(ReadAll(path), before);
    if (isLayout) {
        QCOMPARE(m_boxes->count(), 0);
        QVERIFY(CommandButtonNames(panel).isEmpty());
        return;
    }
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().kind, (unsigned char)3);
    QCOMPARE(m_boxes->last().text, path + QStringLiteral("\nレイアウトファイルではありません"));
    QCOMPARE(CommandButtonNames(panel), (QStringList{"CB_2", "CB_1"}));
}

void TestCmdMain::doubleClickOnEmptyPanelTogglesEditMode() {
    QVERIFY(QFile::copy(TAPDECK_TEST_DATA "/app/worked_example.ini", SettingsPath()));
    TCmdMain panel(m_dir->path());
    TBtnPrm editor(&panel);
    panel.SetEditor(&editor);
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    panel.SelectedButtonName = "CB_1";

    QTest::mouseDClick(&panel, Qt::LeftButton, {}, QPoint(250, 150));
    QVERIFY(panel.EditMode());
    QVERIFY(panel.EditCheck->isChecked());
    QVERIFY(editor.isVisible());
    QVERIFY(panel.SelectedButtonName.isEmpty());
    QCOMPARE(editor.windowTitle(), QString("Formのプロパティ"));
    QCOMPARE(editor.NameEdit->text(), QString("Orvix Tapdeck3"));

    QTest::mouseDClick(&panel, Qt::LeftButton, {}, QPoint(250, 150));
    QVERIFY(!panel.EditMode());
    QVERIFY(!editor.isVisible());

    // A double click with another button only selects.
    QTest::mouseDClick(&panel, Qt::RightButton, {}, QPoint(250, 150));
    QVERIFY(!panel.EditMode());
}

void TestCmdMain::menuEditCheckShowsAndHidesTheEditor() {
    TCmdMain panel(m_dir->path());
    TBtnPrm editor(&panel);
    panel.SetEditor(&editor);
    panel.EditCheck->trigger();
    QVERIFY(panel.EditMode());
    QVERIFY(editor.isVisible());
    panel.EditCheck->trigger();
    QVERIFY(!panel.EditMode());
    QVERIFY(!editor.isVisible());
}

void TestCmdMain::hidingTheEditorSwitchesEditModeOff() {
    TCmdMain panel(m_dir->path());
    TBtnPrm editor(&panel);
    panel.SetEditor(&editor);
    panel.EditCheckClick();
    QVERIFY(editor.isVisible());
    QVERIFY(editor.close());
    QVERIFY(!panel.EditMode());
    panel.EditCheckClick();
    QVERIFY(panel.EditMode());
    QVERIFY(editor.isVisible());
}

void TestCmdMain::resizeAndMoveMirrorIntoTheEditor_data() {
    QTest::addColumn<bool>("editMode");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<bool>("mirrored");
    QTest::newRow("edit mode, panel selected") << true << "" << true;
    QTest::newRow("edit mode, button selected") << true << "CB_1" << false;
    QTest::newRow("edit mode off, panel selected") << false << "" << false;
}

void TestCmdMain::resizeAndMoveMirrorIntoTheEditor() {
    QFETCH(bool, editMode);
    QFETCH(QString, selected);
    QFETCH(bool, mirrored);
    QVERIFY(QFile::copy(TAPDECK_TEST_DATA "/app/worked_example.ini", SettingsPath()));
    TCmdMain panel(m_dir->path());
    TBtnPrm editor(&panel);
    panel.SetEditor(&editor);
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    if (editMode)
        panel.EditCheckClick();
    panel.SelectedButtonName = selected;
    for (QLineEdit* field : {editor.WidthEdit, editor.HeightEdit, editor.LeftEdit, editor.TopEdit})
        field->setText("untouched");

    panel.SetWidth(450);
    panel.SetHeight(350);
    QTRY_COMPARE(panel.Width(), 450);
    QTRY_COMPARE(panel.Height(), 350);
    QCOMPARE(editor.WidthEdit->text(), mirrored ? QString("450") : QString("untouched"));
    QCOMPARE(editor.HeightEdit->text(), mirrored ? QString("350") : QString("untouched"));
    QCOMPARE(editor.LeftEdit->text(), QString("untouched"));

    panel.SetLeft(150);
    panel.SetTop(90);
    QTRY_COMPARE(panel.Left(), 150);
    QTRY_COMPARE(panel.Top(), 90);
    QCOMPARE(editor.LeftEdit->text(), mirrored ? QString("150") : QString("untouched"));
    QCOMPARE(editor.TopEdit->text(), mirrored ? QString("90") : QString("untouched"));
}

void TestCmdMain::mouseDownOnPanelOrFrameSelectsThePanel_data() {
    QTest::addColumn<int>("eventType");
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("selectsPanel");
    QTest::newRow("client, left") << int(QEvent::MouseButtonPress) << int(Qt::LeftButton) << true;
    QTest::newRow("client, right") << int(QEvent::MouseButtonPress) << int(Qt::RightButton) << true;
    QTest::newRow("client, middle")
        << int(QEvent::MouseButtonPress) << int(Qt::MiddleButton) << true;
    QTest::newRow("frame, left") << int(QEvent::NonClientAreaMouseButtonPress)
                                 << int(Qt::LeftButton) << true;
    QTest::newRow("frame, right") << int(QEvent::NonClientAreaMouseButtonPress)
                                  << int(Qt::RightButton) << false;
}

void TestCmdMain::mouseDownOnPanelOrFrameSelectsThePanel() {
    QFETCH(int, eventType);
    QFETCH(int, button);
    QFETCH(bool, selectsPanel);
    QVERIFY(QFile::copy(TAPDECK_TEST_DATA "/app/worked_example.ini", SettingsPath()));
    TCmdMain panel(m_dir->path());
    TBtnPrm editor(&panel);
    panel.SetEditor(&editor);
    panel.SelectedButtonName = "CB_2";
    editor.ShowButtonProperties();
    const auto mouseButton = static_cast<Qt::MouseButton>(button);
    QMouseEvent press(static_cast<QEvent::Type>(eventType), QPointF(250, 150),
                      panel.mapToGlobal(QPointF(250, 150)), mouseButton, mouseButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&panel, &press);
    QCOMPARE(panel.SelectedButtonName.isEmpty(), selectsPanel);
    QCOMPARE(editor.windowTitle(),
             selectsPanel ? QString("Formのプロパティ") : QString("Walkのプロパティ"));
    QVERIFY(!panel.EditMode());
}

void TestCmdMain::activationByAFrameClickSelectsThePanel_data() {
    QTest::addColumn<QString>("pointer");
    QTest::addColumn<bool>("selectsPanel");
    QTest::newRow("on the frame") << "frame" << true;
    QTest::newRow("in the client area") << "client" << false;
    QTest::newRow("outside the window") << "outside" << false;
}

void TestCmdMain::activationByAFrameClickSelectsThePanel() {
    QFETCH(QString, pointer);
    QFETCH(bool, selectsPanel);
    TCmdMain panel(m_dir->path());
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    const QRect frame = panel.frameGeometry();
    const QRect client(panel.mapToGlobal(QPoint(0, 0)), panel.size());
    if (frame == client)
        QSKIP("this platform draws no frame");
    const QPoint at = pointer == "frame"    ? frame.topLeft()
                      : pointer == "client" ? client.center()
                                            : frame.bottomRight() + QPoint(20, 20);
    QCursor::setPos(at);
    if (QCursor::pos() != at)
        QSKIP("this platform cannot place the pointer");
    panel.SelectedButtonName = "CB_1";
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&panel, &activate);
    QCOMPARE(panel.SelectedButtonName.isEmpty(), selectsPanel);
}

void TestCmdMain::backgroundPictureIsDrawnUnscaled_data() {
    QTest::addColumn<QSize>("pictureSize");
    QTest::newRow("larger than the client area is cut") << QSize(1000, 800);
    QTest::newRow("smaller leaves the window colour") << QSize(50, 40);
    QTest::newRow("no picture") << QSize();
}

void TestCmdMain::backgroundPictureIsDrawnUnscaled() {
    QFETCH(QSize, pictureSize);
    QString picture;
    if (pictureSize.isValid()) {
        // Two colours, so that scaling or tiling would show.
        QImage image(pictureSize, QImage::Format_RGB32);
        image.fill(Qt::red);
        for (int y = 0; y < pictureSize.height(); ++y)
            image.setPixelColor(pictureSize.width() - 1, y, Qt::blue);
        picture = m_dir->filePath("back.bmp");
        QVERIFY(image.save(picture, "BMP"));
    }
    WriteAll(SettingsPath(), "[Form]\r\nColor=65280\r\nBmpFile=" + picture.toUtf8() + "\r\n");
    TCmdMain panel(m_dir->path());
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    const QImage shot = panel.grab().toImage();
    QCOMPARE(shot.size(), panel.size());
    const QColor window(Qt::green);
    const QPoint corner(shot.width() - 1, shot.height() - 1);
    if (!pictureSize.isValid()) {
        QCOMPARE(shot.pixelColor(0, 0), window);
        QCOMPARE(shot.pixelColor(corner), window);
    } else if (pictureSize.width() > shot.width()) {
        QCOMPARE(shot.pixelColor(0, 0), QColor(Qt::red));
        QCOMPARE(shot.pixelColor(corner), QColor(Qt::red));
    } else {
        QCOMPARE(shot.pixelColor(0, 0), QColor(Qt::red));
        QCOMPARE(shot.pixelColor(48, 39), QColor(Qt::red));
        QCOMPARE(shot.pixelColor(49, 0), QColor(Qt::blue));
        QCOMPARE(shot.pixelColor(50, 0), window);
        QCOMPARE(shot.pixelColor(0, 40), window);
        QCOMPARE(shot.pixelColor(corner), window);
    }
}

void TestCmdMain::unwritableSettingsFolderReportsAtStartAndClose() {
    WriteAll(m_dir->filePath("file"), "");
    // A folder below a plain file cannot be written, whoever runs the test.
    TCmdMain panel(m_dir->filePath("file/settings"));
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().kind, (unsigned char)3);
    QCOMPARE(m_boxes->last().text, CannotSave);
    QCOMPARE(panel.Caption(), QString("Tapdeck"));
    QTRY_COMPARE(panel.Width(), 320);
    QTRY_COMPARE(panel.Height(), 240);
    QCOMPARE(panel.Color(), clBtnFace);
    QVERIFY(CommandButtonNames(panel).isEmpty());
    QSignalSpy closed(&panel, &TCmdMain::Closed);
    QVERIFY(panel.close());
    QCOMPARE(closed.count(), 1);
    QVERIFY(!panel.isVisible());
    QCOMPARE(m_boxes->count(), 2);
    QCOMPARE(m_boxes->last().text, CannotSave);
}

void TestCmdMain::createAndDeleteButtonsKeepNumbersAndComponentOrder() {
    QVERIFY(QFile::copy(TAPDECK_TEST_DATA "/app/worked_example.ini", SettingsPath()));
    TCmdMain panel(m_dir->path());
    TBtnPrm editor(&panel);
    panel.SetEditor(&editor);
    panel.CreateButton->trigger();
    QVERIFY(panel.EditMode());
    QVERIFY(editor.isVisible());
    QCOMPARE(panel.SelectedButtonName, QString("CB_3"));
    TColorBtn* created = panel.FindCommandButton("CB_3");
    QVERIFY(created);
    QCOMPARE(created->Caption(), QString("Button3"));
    QCOMPARE(created->size(), QSize(80, 30));
    QCOMPARE(created->Tag(), -1);
    QCOMPARE(created->Param1(), -1);
    QCOMPARE(created->FontColor(), clBlack);
    QCOMPARE(editor.windowTitle(), QString("Button3のプロパティ"));
    // The button is kept inside the client area's right and bottom edges.
    QVERIFY(created->x() + created->width() <= panel.width());
    QVERIFY(created->y() + created->height() <= panel.height());

    panel.FindCommandButton("CB_2")->raise();
    QCOMPARE(CommandButtonNames(panel), (QStringList{"CB_2", "CB_1", "CB_3"}));

    panel.DeleteButton->trigger();
    QCOMPARE(CommandButtonNames(panel), (QStringList{"CB_2", "CB_1"}));
    QVERIFY(panel.SelectedButtonName.isEmpty());
    QCOMPARE(editor.windowTitle(), QString("Formのプロパティ"));
    panel.DeleteButtonClick(); // nothing selected: nothing happens
    QCOMPARE(CommandButtonNames(panel), (QStringList{"CB_2", "CB_1"}));

    panel.CreateButtonClick();
    QCOMPARE(CommandButtonNames(panel), (QStringList{"CB_2", "CB_1", "CB_4"}));
    QCOMPARE(panel.FindCommandButton("CB_4")->Caption(), QString("Button4"));
}

void TestCmdMain::exitClosesAndWritesTheSettings() {
    TCmdMain panel(m_dir->path());
    panel.SetCaption("Leaving");
    QSignalSpy closed(&panel, &TCmdMain::Closed);
    panel.ExitBtn->trigger();
    QCOMPARE(closed.count(), 1);
    QVERIFY(!panel.isVisible());
    const QByteArray saved = ReadAll(SettingsPath());
    QVERIFY(saved.contains("Caption=Leaving\r\n"));
    QVERIFY(saved.contains("Comm=-1\r\n"));
    QVERIFY(saved.endsWith("Button=0\r\n\r\n"));
}

void TestCmdMain::smallestStoredSizeGivesTheSmallestWindow() {
    QVERIFY(QFile::copy(TAPDECK_TEST_DATA "/app/smallest_size.ini", SettingsPath()));
    TCmdMain panel(m_dir->path());
    const QSize screen = panel.screen()->size();
    QVERIFY2(panel.width() <= screen.width(), qPrintable(QString::number(panel.width())));
    QVERIFY2(panel.height() <= screen.height(), qPrintable(QString::number(panel.height())));
}

void TestCmdMain::extremeButtonGeometryIsClampedToWhatAWidgetHolds_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("largest integers")
        << "CB_1" << QRect(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX, QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    QTest::newRow("most negative integers")
        << "CB_2" << QRect(-QWIDGETSIZE_MAX, -QWIDGETSIZE_MAX, 0, 0);
}

void TestCmdMain::extremeButtonGeometryIsClampedToWhatAWidgetHolds() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QVERIFY(QFile::copy(TAPDECK_TEST_DATA "/app/extreme_buttons.ini", SettingsPath()));
    TCmdMain panel(m_dir->path());
    const TColorBtn* button = panel.FindCommandButton(name);
    QVERIFY(button);
    QCOMPARE(button->geometry(), geometry);
}

void TestCmdMain::farthestStoredPositionKeepsTheFrameWithinAnInteger() {
    QVERIFY(QFile::copy(TAPDECK_TEST_DATA "/app/farthest_position.ini", SettingsPath()));
    TCmdMain panel(m_dir->path());
    const QRect bounds = panel.PanelBounds();
    QVERIFY2(bounds.right() >= bounds.left(), qPrintable(QString::number(bounds.right())));
    QVERIFY2(bounds.bottom() >= bounds.top(), qPrintable(QString::number(bounds.bottom())));
}

QTEST_MAIN(TestCmdMain)
#include "tst_cmdmain.moc"
