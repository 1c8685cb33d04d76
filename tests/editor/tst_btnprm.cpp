#include "BtnPrmFixture.h"
#include "ColorCombo.h"
#include "ColorDialog.h"
#include "FileDialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHideEvent>
#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest/qtestspontaneevent.h>

class TestBtnPrm : public QObject {
    Q_OBJECT
private slots:
    void createsTheFieldsAndPortList();
    void showPanelProperties();
    void showButtonProperties();
    void buttonThatIsGoneShowsThePanel();
    void closingThePortListSelectsTheLinkEveryTime();
    void closingTheEditorSwitchesEditModeOff();
    void spontaneousHideKeepsEditMode();
    void listsAndShortcutBeforeTheFirstLoad();
    void loadingEnablesTheFieldsOfTheTarget_data();
    void loadingEnablesTheFieldsOfTheTarget();
    void shortcutCapture_data();
    void shortcutCapture();
    void doubleClickClearsTheShortcut();
    void geometryKeys_data();
    void geometryKeys();
    void colourChoice_data();
    void colourChoice();
    void colourAppliesOnlyWhenTheListCloses();
    void playNumber_data();
    void playNumber();
    void listsShowTwentyEntriesAtATime_data();
    void listsShowTwentyEntriesAtATime();
    void nameFollowsEveryKeystroke_data();
    void nameFollowsEveryKeystroke();
    void pictureField_data();
    void pictureField();
    void staleSelectionChangesNothingAndShowsThePanel_data();
    void staleSelectionChangesNothingAndShowsThePanel();
    void buttonDeletedWhileTheColourDialogIsOpen();
};

void TestBtnPrm::createsTheFieldsAndPortList() {
    FakePanel panel;
    TBtnPrm editor(&panel);
    QCOMPARE(editor.windowTitle(), QString("プロパティ"));
    QCOMPARE(editor.size(), QSize(208, 337));
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

void TestBtnPrm::showPanelProperties() {
    FakePanel panel;
    TBtnPrm editor(&panel);
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
    FakePanel panel;
    panel.button = std::make_unique<TColorBtn>();
    panel.button->setObjectName("CB_1");
    panel.button->SetCaption("Walk");
    panel.button->setGeometry(10, 20, 80, 30);
    panel.selected = "CB_1";
    TBtnPrm editor(&panel);
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

// Opening a layout with fewer buttons can leave a name that names nothing.
void TestBtnPrm::buttonThatIsGoneShowsThePanel() {
    FakePanel panel;
    panel.selected = "CB_9";
    TBtnPrm editor(&panel);
    editor.ShowButtonProperties();
    QCOMPARE(editor.windowTitle(), QString("Formのプロパティ"));
    QCOMPARE(editor.NameEdit->text(), QString("Panel"));
    QCOMPARE(editor.BmpEdit->text(), QString("/pictures/back.bmp"));
}

void TestBtnPrm::closingThePortListSelectsTheLinkEveryTime() {
    FakePanel panel;
    TBtnPrm editor(&panel);
    editor.ShowLink(3);
    QSignalSpy chosen(&editor, &TBtnPrm::LinkChosen);
    // The same entry again, then another one; disabling the closed list is no close.
    for (int index : {3, 5}) {
        editor.CommPort->showPopup();
        editor.CommPort->setCurrentIndex(index);
        editor.CommPort->hidePopup();
        QCoreApplication::processEvents();
    }
    editor.CommPort->setEnabled(false);
    QCoreApplication::processEvents();
    QCOMPARE(chosen, (QList<QVariantList>{{3}, {5}}));
    // Enter in the dropped list closes it before the entry becomes the current one: the
    // link selected is the entry chosen all the same. Escape keeps the old one.
    editor.CommPort->setEnabled(true);
    chosen.clear();
    for (Qt::Key closing : {Qt::Key_Return, Qt::Key_Escape}) {
        editor.CommPort->showPopup();
        QAbstractItemView* list = editor.CommPort->view();
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, closing);
        QTRY_COMPARE(editor.CommPort->view()->isVisible(), false);
        QCoreApplication::processEvents();
    }
    QCOMPARE(chosen, (QList<QVariantList>{{6}, {6}}));
}

void TestBtnPrm::closingTheEditorSwitchesEditModeOff() {
    FakePanel panel;
    TBtnPrm editor(&panel);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QVERIFY(panel.editModeCalls.isEmpty());
    QVERIFY(editor.close());
    QCOMPARE(panel.editModeCalls, QList<bool>{false});
}

void TestBtnPrm::spontaneousHideKeepsEditMode() {
    FakePanel panel;
    TBtnPrm editor(&panel);
    editor.show();
    QHideEvent hide;
    QSpontaneKeyEvent::setSpontaneous(&hide);
    qApp->notify(&editor, &hide); // notify keeps the spontaneous mark, sendEvent clears it
    QVERIFY(panel.editModeCalls.isEmpty());
}

void TestBtnPrm::listsAndShortcutBeforeTheFirstLoad() {
    FakePanel panel;
    TBtnPrm editor(&panel);
    QCOMPARE(editor.ColorCombo->count(), 18);
    QCOMPARE(editor.ColorCombo->currentText(), QString("標準色"));
    QCOMPARE(editor.MotionCombo->count(), 86);
    QCOMPARE(editor.MotionCombo->currentText(), QString("OFF"));
    QCOMPARE(editor.MotionCombo->itemText(80), QString("Motion80"));
    QCOMPARE(editor.MotionCombo->itemText(81), QString("Scenario1"));
    QCOMPARE(editor.ShortEdit->text(), QString("OFF"));
    QVERIFY(editor.ShortEdit->isReadOnly());
    for (QWidget* field :
         {static_cast<QWidget*>(editor.ColorCombo), static_cast<QWidget*>(editor.MotionCombo),
          static_cast<QWidget*>(editor.ShortEdit), static_cast<QWidget*>(editor.BmpEdit)})
        QVERIFY2(field->isEnabled(), qPrintable(field->objectName()));
    QCOMPARE(editor.ColorCombo->geometry(), QRect(76, 100, 132, 20));
    QCOMPARE(editor.MotionLabel->geometry().topLeft(), QPoint(0, 124));
    QCOMPARE(editor.ShortEdit->geometry(), QRect(76, 140, 132, 20));
    QCOMPARE(editor.PadEdit->geometry(), QRect(76, 160, 132, 20));
    QCOMPARE(editor.PadEdit->text(), QString("OFF"));
    // The held button's and the stop's rows below the pad; the rest moves down with them.
    QCOMPARE(editor.BmpEdit->geometry(), QRect(76, 180, 132, 20));
    QCOMPARE(editor.CommPort->geometry(), QRect(76, 200, 132, 20));
    QCOMPARE(editor.RepeatEdit->geometry(), QRect(76, 220, 132, 20));
    QCOMPARE(editor.StopPlayCombo->geometry(), QRect(76, 300, 132, 20));
    QCOMPARE(editor.Panel1->geometry(), QRect(0, 320, 208, 17));
    QCOMPARE(editor.RepeatEdit->text(), QString("0"));
    QCOMPARE(editor.StopKeyEdit->text(), QString("OFF"));
    QCOMPARE(editor.StopPadEdit->text(), QString("OFF"));
    for (QComboBox* list : {editor.ReleaseCombo, editor.StopPlayCombo}) {
        QCOMPARE(list->count(), 86);
        QCOMPARE(list->currentText(), QString("OFF"));
    }
    // The tab order is the design's, not the order on the screen.
    QStringList order;
    QWidget* widget = editor.NameEdit;
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != editor.NameEdit);
    QCOMPARE(order, (QStringList{"NameEdit", "LeftEdit", "WidthEdit", "HeightEdit", "TopEdit",
                                 "ColorCombo", "MotionCombo", "ShortEdit", "PadEdit", "CommPort",
                                 "BmpEdit", "RepeatEdit", "ReleaseCombo", "StopKeyEdit",
                                 "StopPadEdit", "StopPlayCombo"}));
}

void TestBtnPrm::loadingEnablesTheFieldsOfTheTarget_data() {
    QTest::addColumn<bool>("panelSelected");
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("motionEntry");
    QTest::newRow("button") << false << 4 << 5;
    QTest::newRow("button playing Scenario5") << false << 84 << 85;
    QTest::newRow("button with a play number beyond the list") << false << 85 << -1;
    QTest::newRow("button with a play number below OFF") << false << -2 << -1;
    QTest::newRow("panel") << true << 4 << -1;
}

void TestBtnPrm::loadingEnablesTheFieldsOfTheTarget() {
    QFETCH(bool, panelSelected);
    QFETCH(int, tag);
    QFETCH(int, motionEntry);
    // Loaded from the other target first, so that every rule has something to undo.
    EditorFixture fixture(!panelSelected);
    TBtnPrm& editor = *fixture.editor;
    SetPlayNumber(*fixture.button, tag);
    SetRepeatInterval(*fixture.button, 250);
    SetReleasePlay(*fixture.button, tag);
    fixture.panel.stopKey = 32;
    fixture.panel.stopPad = "Start";
    fixture.panel.stopPlay = tag;
    fixture.panel.selected = panelSelected ? QString() : QString("CB_1");
    if (panelSelected)
        editor.ShowPanelProperties();
    else
        editor.ShowButtonProperties();
    QCOMPARE(editor.MotionCombo->currentIndex(), motionEntry);
    QCOMPARE(editor.MotionCombo->isEnabled(), !panelSelected);
    QCOMPARE(editor.MotionLabel->isEnabled(), !panelSelected);
    QCOMPARE(editor.ShortEdit->isEnabled(), !panelSelected);
    QCOMPARE(editor.ShortLabel->isEnabled(), !panelSelected);
    QCOMPARE(editor.PadEdit->isEnabled(), !panelSelected);
    QCOMPARE(editor.PadLabel->isEnabled(), !panelSelected);
    for (QWidget* field : std::initializer_list<QWidget*>{editor.RepeatEdit, editor.RepeatLabel,
                                                          editor.ReleaseCombo, editor.ReleaseLabel})
        QVERIFY2(field->isEnabled() == !panelSelected, qPrintable(field->objectName()));
    for (QWidget* field : std::initializer_list<QWidget*>{
             editor.StopKeyEdit, editor.StopKeyLabel, editor.StopPadEdit, editor.StopPadLabel,
             editor.StopPlayCombo, editor.StopPlayLabel})
        QVERIFY2(field->isEnabled() == panelSelected, qPrintable(field->objectName()));
    // The fields of the other target show nothing.
    QCOMPARE(editor.RepeatEdit->text(), panelSelected ? QString() : QString("250"));
    QCOMPARE(editor.ReleaseCombo->currentIndex(), panelSelected ? -1 : motionEntry);
    QCOMPARE(editor.StopKeyEdit->text(), panelSelected ? QString("032  Space") : QString());
    QCOMPARE(editor.StopPadEdit->text(), panelSelected ? QString("Start") : QString());
    QCOMPARE(editor.StopPlayCombo->currentIndex(), panelSelected ? 5 : -1);
    QCOMPARE(editor.ShortEdit->text(), panelSelected ? QString() : QString("070  ローマ字 [Ｆ]"));
    QCOMPARE(editor.BmpEdit->isEnabled(), panelSelected);
    QCOMPARE(editor.BmpLabel->isEnabled(), panelSelected);
    QCOMPARE(editor.BmpEdit->text(), panelSelected ? QString("/pictures/back.bmp") : QString());
    QCOMPARE(editor.ColorCombo->currentIndex(), panelSelected ? 0 : 7);
    for (QWidget* field :
         {static_cast<QWidget*>(editor.NameEdit), static_cast<QWidget*>(editor.WidthEdit),
          static_cast<QWidget*>(editor.TopEdit), static_cast<QWidget*>(editor.ColorCombo)})
        QVERIFY2(field->isEnabled(), qPrintable(field->objectName()));
}

void TestBtnPrm::shortcutCapture_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QList<QKeyCombination>>("keys");
    QTest::addColumn<int>("param1");
    QTest::addColumn<QString>("shortText");
    QTest::addColumn<QString>("focusAfter");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QStringList>("fields"); // width, height, left, top after the keys
    const QRect unchanged(10, 20, 80, 30);
    const QStringList typed{"50", "999", "10", "20"};
    const QString keptShortcut("070  ローマ字 [Ｆ]");
    QTest::newRow("A") << "ShortEdit" << QList<QKeyCombination>{Qt::Key_A} << 65
                       << "065  ローマ字 [Ａ]"
                       << "ShortEdit" << unchanged << typed;
    QTest::newRow("Enter becomes the shortcut and applies the geometry")
        << "ShortEdit" << QList<QKeyCombination>{Qt::Key_Return} << 13 << "013  Enter"
        << "ShortEdit" << QRect(10, 20, 50, 220) << QStringList{"50", "220", "10", "20"};
    QTest::newRow("keypad Enter") << "ShortEdit"
                                  << QList<QKeyCombination>{Qt::KeypadModifier | Qt::Key_Enter}
                                  << 13 << "013  Enter"
                                  << "ShortEdit" << QRect(10, 20, 50, 220)
                                  << QStringList{"50", "220", "10", "20"};
    QTest::newRow("Escape becomes the shortcut and reloads the fields")
        << "ShortEdit" << QList<QKeyCombination>{Qt::Key_Escape} << 27 << "027  ESC"
        << "ShortEdit" << unchanged << QStringList{"80", "30", "10", "20"};
    QTest::newRow("Tab becomes the shortcut and moves on")
        << "ShortEdit" << QList<QKeyCombination>{Qt::Key_Tab} << 9 << "009  "
        << "PadEdit" << unchanged << typed;
    QTest::newRow("Shift then A stores A")
        << "ShortEdit" << QList<QKeyCombination>{Qt::Key_Shift, Qt::ShiftModifier | Qt::Key_A} << 65
        << "065  ローマ字 [Ａ]"
        << "ShortEdit" << unchanged << typed;
    QTest::newRow("Shift alone") << "ShortEdit" << QList<QKeyCombination>{Qt::Key_Shift} << 16
                                 << "016  Shift"
                                 << "ShortEdit" << unchanged << typed;
    QTest::newRow("F12") << "ShortEdit" << QList<QKeyCombination>{Qt::Key_F12} << 123 << "123  Ｆ12"
                         << "ShortEdit" << unchanged << typed;
    QTest::newRow("A in the width field changes no shortcut")
        << "WidthEdit" << QList<QKeyCombination>{Qt::Key_A} << 70 << keptShortcut << "WidthEdit"
        << unchanged << QStringList{"50a", "999", "10", "20"};
    QTest::newRow("Enter in the name field changes no shortcut and applies nothing")
        << "NameEdit" << QList<QKeyCombination>{Qt::Key_Return} << 70 << keptShortcut << "NameEdit"
        << unchanged << typed;
    QTest::newRow("Tab in the width field changes no shortcut")
        << "WidthEdit" << QList<QKeyCombination>{Qt::Key_Tab} << 70 << keptShortcut << "HeightEdit"
        << unchanged << typed;
}

void TestBtnPrm::shortcutCapture() {
    QFETCH(QString, focus);
    QFETCH(QList<QKeyCombination>, keys);
    QFETCH(int, param1);
    QFETCH(QString, shortText);
    QFETCH(QString, focusAfter);
    QFETCH(QRect, geometry);
    QFETCH(QStringList, fields);
    EditorFixture fixture;
    QVERIFY(fixture.Show());
    TBtnPrm& editor = *fixture.editor;
    editor.WidthEdit->setText("50");
    editor.HeightEdit->setText("999");
    fixture.Field(focus)->setFocus();
    QVERIFY(fixture.Field(focus)->hasFocus());
    fixture.Type(keys);
    QCOMPARE(ShortcutKey(*fixture.button), param1);
    QCOMPARE(editor.ShortEdit->text(), shortText);
    QVERIFY(QApplication::focusWidget());
    QCOMPARE(QApplication::focusWidget()->objectName(), focusAfter);
    QCOMPARE(fixture.button->geometry(), geometry);
    QCOMPARE(GeometryTexts(editor), fields);
}

void TestBtnPrm::doubleClickClearsTheShortcut() {
    EditorFixture fixture;
    QVERIFY(fixture.Show());
    QTest::mouseDClick(fixture.editor->ShortEdit, Qt::LeftButton);
    QCOMPARE(ShortcutKey(*fixture.button), -1);
    QCOMPARE(fixture.editor->ShortEdit->text(), QString("OFF"));
}

void TestBtnPrm::geometryKeys_data() {
    QTest::addColumn<bool>("panelSelected");
    QTest::addColumn<QRect>("start"); // the button's geometry before loading
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QStringList>("typed"); // width, height, left, top
    QTest::addColumn<QKeyCombination>("key");
    QTest::addColumn<QRect>("applied"); // the button's geometry or the panel's outer frame
    QTest::addColumn<QStringList>("fields");
    const QRect button(10, 20, 80, 30);
    const QStringList buttonFields{"80", "30", "10", "20"};
    const QKeyCombination enter(Qt::Key_Return);
    QTest::newRow("abc in the width field keeps the width")
        << false << button << "WidthEdit" << QStringList{"abc", "30", "10", "20"} << enter << button
        << buttonFields;
    QTest::newRow("Escape after 999 in the height field restores it")
        << false << button << "HeightEdit" << QStringList{"80", "999", "10", "20"}
        << QKeyCombination(Qt::Key_Escape) << button << buttonFields;
    QTest::newRow("300 + 50 on 320 gives 20")
        << false << QRect(300, 20, 10, 30) << "WidthEdit" << QStringList{"50", "30", "300", "20"}
        << enter << QRect(300, 20, 20, 30) << QStringList{"20", "30", "300", "20"};
    QTest::newRow("5 gives 10") << false << button << "WidthEdit"
                                << QStringList{"5", "30", "10", "20"} << enter
                                << QRect(10, 20, 10, 30) << QStringList{"10", "30", "10", "20"};
    QTest::newRow("-7 in the left field gives 0")
        << false << button << "LeftEdit" << QStringList{"80", "30", "-7", "20"} << enter
        << QRect(0, 20, 80, 30) << QStringList{"80", "30", "0", "20"};
    QTest::newRow("400 in the left field gives 240, Enter in the top field")
        << false << button << "TopEdit" << QStringList{"80", "30", "400", "20"} << enter
        << QRect(240, 20, 80, 30) << QStringList{"80", "30", "240", "20"};
    QTest::newRow("keypad Enter in the height field")
        << false << button << "HeightEdit" << QStringList{"80", "30", "10", "-5"}
        << QKeyCombination(Qt::KeypadModifier | Qt::Key_Enter) << QRect(10, 0, 80, 30)
        << QStringList{"80", "30", "10", "0"};
    QTest::newRow("a button beyond the edge gets width 1")
        << false << QRect(330, 20, 80, 30) << "WidthEdit" << QStringList{"80", "30", "330", "20"}
        << enter << QRect(319, 20, 1, 30) << QStringList{"1", "30", "319", "20"};
    QTest::newRow("another key applies nothing")
        << false << button << "WidthEdit" << QStringList{"50", "30", "10", "20"}
        << QKeyCombination(Qt::Key_F5) << button << QStringList{"50", "30", "10", "20"};

    const QRect panel(200, 100, 320, 240);
    const int screenWidth = QGuiApplication::primaryScreen()->size().width();
    const QString beyond = QString::number(screenWidth + 100);
    const QString edge = QString::number(screenWidth);
    QTest::newRow("panel width 50 gives 116")
        << true << button << "WidthEdit" << QStringList{"50", "240", "200", "100"} << enter
        << QRect(200, 100, 116, 240) << QStringList{"116", "240", "200", "100"};
    QTest::newRow("panel left beyond the screen")
        << true << button << "LeftEdit" << QStringList{"320", "240", beyond, "100"} << enter
        << QRect(screenWidth - 5, 100, 320, 240)
        << QStringList{"320", "240", QString::number(screenWidth - 5), "100"};
    QTest::newRow("panel left equal to the screen width")
        << true << button << "LeftEdit" << QStringList{"320", "240", edge, "100"} << enter
        << QRect(screenWidth, 100, 320, 240) << QStringList{"320", "240", edge, "100"};
    QTest::newRow("panel, Escape")
        << true << button << "TopEdit" << QStringList{"999", "240", "200", "1"}
        << QKeyCombination(Qt::Key_Escape) << panel << QStringList{"320", "240", "200", "100"};
}

void TestBtnPrm::geometryKeys() {
    QFETCH(bool, panelSelected);
    QFETCH(QRect, start);
    QFETCH(QString, focus);
    QFETCH(QStringList, typed);
    QFETCH(QKeyCombination, key);
    QFETCH(QRect, applied);
    QFETCH(QStringList, fields);
    EditorFixture fixture(true);
    fixture.button->setGeometry(start);
    fixture.panel.selected = panelSelected ? QString() : QString("CB_1");
    if (!panelSelected)
        fixture.editor->ShowButtonProperties();
    QVERIFY(fixture.Show());
    TBtnPrm& editor = *fixture.editor;
    QLineEdit* const geometryFields[] = {editor.WidthEdit, editor.HeightEdit, editor.LeftEdit,
                                         editor.TopEdit};
    for (int i = 0; i < 4; ++i)
        geometryFields[i]->setText(typed.at(i));
    fixture.Field(focus)->setFocus();
    fixture.Type({key});
    QCOMPARE(panelSelected ? fixture.panel.bounds : fixture.button->geometry(), applied);
    QCOMPARE(GeometryTexts(editor), fields);
    QCOMPARE(ShortcutKey(*fixture.button), 70);
}

void TestBtnPrm::colourChoice_data() {
    QTest::addColumn<bool>("panelSelected");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("shownEntry");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QList<int>>("answers"); // one close per answer; -1 cancels the dialog
    QTest::addColumn<int>("color");
    QTest::addColumn<int>("fontColor");
    QTest::addColumn<QList<int>>("dialogShowed");
    const int white = clWhite;
    const int black = clBlack;
    QTest::newRow("unlisted colour shown as other colour and kept on cancel")
        << false << 0x00123456 << 17 << 17 << QList<int>{-1} << 0x00123456 << white
        << QList<int>{0x00123456};
    QTest::newRow("red, never-used dialog cancelled: black with white text")
        << false << 0x000000FF << 7 << 17 << QList<int>{-1} << black << white << QList<int>{0};
    QTest::newRow("chosen in the dialog, then shown by it the next time")
        << false << 0x000000FF << 7 << 17 << QList<int>{0x00C0FFEE, -1} << 0x00C0FFEE << black
        << QList<int>{0, 0x00C0FFEE};
    QTest::newRow("the entry already selected applies again")
        << false << 0x000000FF << 7 << 7 << QList<int>{} << 0x000000FF << white << QList<int>{};
    QTest::newRow("yellow gives black text")
        << false << 0x000000FF << 7 << 14 << QList<int>{} << 0x0000FFFF << black << QList<int>{};
    QTest::newRow("grey gives white text")
        << false << 0x000000FF << 7 << 3 << QList<int>{} << 0x00808080 << white << QList<int>{};
    QTest::newRow("silver gives black text")
        << false << 0x000000FF << 7 << 2 << QList<int>{} << 0x00C0C0C0 << black << QList<int>{};
    QTest::newRow("button face stays a system colour")
        << false << 0x000000FF << 7 << 0 << QList<int>{} << int(clBtnFace)
        << int(ContrastTextColor(clBtnFace)) << QList<int>{};
    QTest::newRow("panel, lime") << true << int(clBtnFace) << 0 << 13 << QList<int>{} << 0x0000FF00
                                 << black << QList<int>{};
    QTest::newRow("panel, unlisted colour kept on cancel")
        << true << 0x00123456 << 17 << 17 << QList<int>{-1} << 0x00123456 << white
        << QList<int>{0x00123456};
}

void TestBtnPrm::colourChoice() {
    QFETCH(bool, panelSelected);
    QFETCH(int, start);
    QFETCH(int, shownEntry);
    QFETCH(int, entry);
    QFETCH(QList<int>, answers);
    QFETCH(int, color);
    QFETCH(int, fontColor);
    QFETCH(QList<int>, dialogShowed);
    TColorDialogAnswers dialog;
    for (int answer : answers) {
        if (answer == -1)
            dialog.Cancel();
        else
            dialog.Choose(answer);
    }
    EditorFixture fixture(true);
    fixture.button->SetColor(start);
    fixture.panel.color = start;
    fixture.panel.selected = panelSelected ? QString() : QString("CB_1");
    if (panelSelected)
        fixture.editor->ShowPanelProperties();
    else
        fixture.editor->ShowButtonProperties();
    QCOMPARE(fixture.editor->ColorCombo->currentIndex(), shownEntry);
    // Changed behind the editor's back: only a colour the editor applies shows.
    fixture.button->SetColor(0x00ABCDEF);
    fixture.button->SetFontColor(0x00010203);
    fixture.panel.color = 0x00ABCDEF;
    fixture.panel.fontColor = 0x00010203;
    for (qsizetype close = 0; close < std::max<qsizetype>(answers.size(), 1); ++close)
        EditorFixture::ChooseEntry(fixture.editor->ColorCombo, entry);
    const TColor applied = panelSelected ? fixture.panel.color : fixture.button->Color();
    const TColor appliedFont =
        panelSelected ? fixture.panel.fontColor : fixture.button->FontColor();
    QCOMPARE(applied, color);
    QCOMPARE(appliedFont, fontColor);
    QCOMPARE(QList<int>(dialog.Shown().begin(), dialog.Shown().end()), dialogShowed);
    // The other target is untouched.
    QCOMPARE(panelSelected ? fixture.button->Color() : fixture.panel.color, TColor(0x00ABCDEF));
}

void TestBtnPrm::colourAppliesOnlyWhenTheListCloses() {
    EditorFixture fixture;
    QVERIFY(fixture.Show());
    TBtnPrm& editor = *fixture.editor;
    editor.ColorCombo->setFocus();
    fixture.Type({Qt::Key_Down});
    QCOMPARE(editor.ColorCombo->currentIndex(), 8);
    QCOMPARE(fixture.button->Color(), TColor(0x000000FF));
    editor.ColorCombo->showPopup();
    editor.ColorCombo->hidePopup();
    QCoreApplication::processEvents();
    QCOMPARE(fixture.button->Color(), TColor(0x00800080));
}

void TestBtnPrm::playNumber_data() {
    QTest::addColumn<int>("startTag");
    QTest::addColumn<int>("entry"); // -1: the list closes with no entry selected
    QTest::addColumn<int>("tag");
    QTest::newRow("Scenario1 stores 80") << 4 << 81 << 80;
    QTest::newRow("OFF stores -1") << 4 << 0 << -1;
    QTest::newRow("Motion1 stores 0") << 4 << 1 << 0;
    QTest::newRow("Scenario5 stores 84") << 4 << 85 << 84;
    QTest::newRow("the entry already selected") << 4 << 5 << 4;
    QTest::newRow("no entry selected keeps the play number") << 200 << -1 << 200;
}

void TestBtnPrm::playNumber() {
    QFETCH(int, startTag);
    QFETCH(int, entry);
    QFETCH(int, tag);
    EditorFixture fixture(true);
    SetPlayNumber(*fixture.button, startTag);
    fixture.panel.selected = "CB_1";
    fixture.editor->ShowButtonProperties();
    // Only a play number the editor applies shows.
    if (entry >= 0)
        SetPlayNumber(*fixture.button, -5);
    EditorFixture::ChooseEntry(fixture.editor->MotionCombo, entry);
    QCOMPARE(PlayNumber(*fixture.button), tag);
}

// A dropped list shows at most 20 entries and scrolls the rest, so that the play numbers'
// last scenarios stay on the screen.
void TestBtnPrm::listsShowTwentyEntriesAtATime_data() {
    QTest::addColumn<QString>("list");
    QTest::newRow("colour") << "ColorCombo";
    QTest::newRow("play number") << "MotionCombo";
    QTest::newRow("port") << "CommPort";
}

void TestBtnPrm::listsShowTwentyEntriesAtATime() {
    QFETCH(QString, list);
    EditorFixture fixture;
    QVERIFY(fixture.Show());
    auto* combo = fixture.editor->findChild<QComboBox*>(list);
    QVERIFY(combo);
    QCOMPARE(combo->maxVisibleItems(), 20);
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    QVERIFY(QTest::qWaitForWindowExposed(view->window()));
    const int rows = qMin(combo->count(), 20);
    const int rowHeight = view->sizeHintForRow(0);
    const int shown = view->viewport()->height();
    combo->hidePopup();
    QVERIFY2(shown >= rows * rowHeight && shown < (rows + 1) * rowHeight,
             qPrintable(QStringLiteral("%1 px for rows of %2 px").arg(shown).arg(rowHeight)));
}

void TestBtnPrm::nameFollowsEveryKeystroke_data() {
    QTest::addColumn<bool>("panelSelected");
    QTest::newRow("button") << false;
    QTest::newRow("panel") << true;
}

void TestBtnPrm::nameFollowsEveryKeystroke() {
    QFETCH(bool, panelSelected);
    EditorFixture fixture(panelSelected);
    QVERIFY(fixture.Show());
    const auto caption = [&] {
        return panelSelected ? fixture.panel.caption : fixture.button->Caption();
    };
    const QString before = caption();
    fixture.editor->NameEdit->setFocus();
    fixture.Type({Qt::Key_End, Qt::Key_X});
    QCOMPARE(caption(), before + "x");
    fixture.Type({Qt::Key_Backspace, Qt::Key_Backspace});
    QCOMPARE(caption(), before.chopped(1));
    QCOMPARE(panelSelected ? fixture.button->Caption() : fixture.panel.caption,
             panelSelected ? QString("Walk") : QString("Panel"));
}

void TestBtnPrm::pictureField_data() {
    QTest::addColumn<QKeyCombination>("key"); // Key_unknown: a double click instead
    QTest::addColumn<QString>("chosen");      // empty: the dialog is cancelled
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("cleared");
    QTest::addColumn<QStringList>("loaded");
    const QString old("/pictures/back.bmp");
    const QString picture(TAPDECK_TEST_DATA "/storage/picture.jpg");
    const QKeyCombination click(Qt::Key_unknown);
    QTest::newRow("Delete removes the picture at once")
        << QKeyCombination(Qt::Key_Delete) << QString() << QString() << 1 << QStringList{};
    QTest::newRow("Backspace removes nothing")
        << QKeyCombination(Qt::Key_Backspace) << QString() << old << 0 << QStringList{};
    QTest::newRow("double click loads the chosen picture")
        << click << picture << picture << 0 << QStringList{picture};
    QTest::newRow("a picture that cannot be loaded changes nothing")
        << click << "/nowhere/missing.jpg" << old << 0 << QStringList{"/nowhere/missing.jpg"};
    QTest::newRow("cancelled") << click << QString() << old << 0 << QStringList{};
}

void TestBtnPrm::pictureField() {
    QFETCH(QKeyCombination, key);
    QFETCH(QString, chosen);
    QFETCH(QString, shown);
    QFETCH(int, cleared);
    QFETCH(QStringList, loaded);
    TFileDialogAnswers dialogs;
    if (!chosen.isEmpty())
        dialogs.Choose(chosen, 1);
    EditorFixture fixture(true);
    QVERIFY(fixture.Show());
    TBtnPrm& editor = *fixture.editor;
    if (key.key() == Qt::Key_unknown) {
        QTest::mouseDClick(editor.BmpEdit, Qt::LeftButton);
        QCOMPARE(dialogs.Requests().size(), std::size_t(1));
        const FileDialogRequest& request = dialogs.Requests().front();
        QCOMPARE(request.fileName, QString("/pictures/back.bmp"));
        QVERIFY(request.picturePreview);
        QVERIFY(!request.save);
        QVERIFY(request.nameFilters.join(' ').contains("*.bmp"));
        QVERIFY(request.nameFilters.join(' ').contains("*.jpg"));
    } else {
        editor.BmpEdit->setFocus();
        fixture.Type({key});
        QVERIFY(dialogs.Requests().empty());
    }
    QCOMPARE(editor.BmpEdit->text(), shown);
    QCOMPARE(fixture.panel.backgroundFile, shown);
    QCOMPARE(fixture.panel.clearedPictures, cleared);
    QCOMPARE(fixture.panel.loadedPictures, loaded);
}

void TestBtnPrm::staleSelectionChangesNothingAndShowsThePanel_data() {
    QTest::addColumn<QString>("action");
    for (const char* action :
         {"typing a name", "Enter in the width field", "a colour", "the other colour",
          "a play number", "a shortcut key", "a double click on the shortcut", "Escape",
          "loading the button", "a release play", "Enter in the repeat field"})
        QTest::newRow(action) << QString(action);
}

void TestBtnPrm::staleSelectionChangesNothingAndShowsThePanel() {
    QFETCH(QString, action);
    TColorDialogAnswers dialog;
    dialog.Choose(0x00111111);
    EditorFixture fixture;
    QVERIFY(fixture.Show());
    TBtnPrm& editor = *fixture.editor;
    // A layout with fewer buttons was opened while CB_1 was selected.
    fixture.panel.selected = "CB_9";
    editor.WidthEdit->setText("50");
    if (action == "typing a name") {
        editor.NameEdit->setFocus();
        fixture.Type({Qt::Key_X});
    } else if (action == "Enter in the width field" || action == "Escape") {
        editor.WidthEdit->setFocus();
        fixture.Type({action == "Escape" ? Qt::Key_Escape : Qt::Key_Return});
    } else if (action == "a colour" || action == "the other colour") {
        EditorFixture::ChooseEntry(editor.ColorCombo, action == "a colour" ? 13 : 17);
    } else if (action == "a play number") {
        EditorFixture::ChooseEntry(editor.MotionCombo, 81);
    } else if (action == "a shortcut key") {
        editor.ShortEdit->setFocus();
        fixture.Type({Qt::Key_B});
    } else if (action == "a double click on the shortcut") {
        QTest::mouseDClick(editor.ShortEdit, Qt::LeftButton);
    } else if (action == "a release play") {
        EditorFixture::ChooseEntry(editor.ReleaseCombo, 3);
    } else if (action == "Enter in the repeat field") {
        editor.RepeatEdit->setText("300");
        editor.RepeatEdit->setFocus();
        fixture.Type({Qt::Key_Return});
    } else {
        editor.ShowButtonProperties();
    }
    const TColorBtn& button = *fixture.button;
    QCOMPARE(button.Caption(), QString("Walk"));
    QCOMPARE(button.geometry(), QRect(10, 20, 80, 30));
    QCOMPARE(button.Color(), TColor(0x000000FF));
    QCOMPARE(PlayNumber(button), 4);
    QCOMPARE(ShortcutKey(button), 70);
    QCOMPARE(ReleasePlay(button), NoReleasePlay);
    QCOMPARE(RepeatInterval(button), NoRepeat);
    QCOMPARE(fixture.panel.caption, QString("Panel"));
    QCOMPARE(fixture.panel.bounds, QRect(200, 100, 320, 240));
    QCOMPARE(fixture.panel.color, clBtnFace);
    QVERIFY(dialog.Shown().empty());
    QCOMPARE(editor.windowTitle(), QString("Formのプロパティ"));
    QCOMPARE(editor.NameEdit->text(), QString("Panel"));
    QCOMPARE(editor.WidthEdit->text(), QString("320"));
    QVERIFY(!editor.ShortEdit->isEnabled());
}

// The dialog runs the event loop; whatever happens there, the button is looked up again.
void TestBtnPrm::buttonDeletedWhileTheColourDialogIsOpen() {
    EditorFixture fixture;
    TColorDialog::SetRunner([&](TColor, QWidget*) {
        fixture.panel.button.reset();
        return ColorDialogAnswer{true, 0x00111111};
    });
    EditorFixture::ChooseEntry(fixture.editor->ColorCombo, 17);
    TColorDialog::SetRunner({});
    QCOMPARE(fixture.panel.color, clBtnFace);
    QCOMPARE(fixture.editor->windowTitle(), QString("Formのプロパティ"));
}

QTEST_MAIN(TestBtnPrm)
#include "tst_btnprm.moc"
