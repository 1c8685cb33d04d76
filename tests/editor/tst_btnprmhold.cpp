#include "BtnPrmFixture.h"

#include <QApplication>
#include <QLabel>

// What a held button does and the panel's stop, in the property editor; and the panel's
// own size and position shown in it.
class TestBtnPrmHold : public QObject {
    Q_OBJECT
private slots:
    void repeatInterval_data();
    void repeatInterval();
    void releaseAndStopPlay_data();
    void releaseAndStopPlay();
    void stopKey_data();
    void stopKey();
    void padPresses_data();
    void padPresses();
    void padCapture_data();
    void padCapture();
    void captionEditsMergeWithinOneVisit();
    void panelSizeAndPositionShown_data();
    void panelSizeAndPositionShown();
};

void TestBtnPrmHold::repeatInterval_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QKeyCombination>("key");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<QString>("shown");
    const QKeyCombination enter(Qt::Key_Return);
    QTest::newRow("0 is none") << "0" << enter << 0 << "0";
    QTest::newRow("49 gives 50") << "49" << enter << 50 << "50";
    QTest::newRow("6000 gives 5000") << "6000" << enter << 5000 << "5000";
    QTest::newRow("300") << "300" << QKeyCombination(Qt::KeypadModifier | Qt::Key_Enter) << 300
                         << "300";
    QTest::newRow("abc keeps the interval") << "abc" << enter << 1000 << "1000";
    QTest::newRow("Escape discards") << "300" << QKeyCombination(Qt::Key_Escape) << 1000 << "1000";
    QTest::newRow("another key applies nothing")
        << "300" << QKeyCombination(Qt::Key_F5) << 1000 << "300";
}

// Enter applies the interval alone: the geometry typed beside it stays unapplied.
void TestBtnPrmHold::repeatInterval() {
    QFETCH(QString, typed);
    QFETCH(QKeyCombination, key);
    QFETCH(int, repeat);
    QFETCH(QString, shown);
    EditorFixture fixture;
    SetRepeatInterval(*fixture.button, 1000);
    fixture.editor->ShowButtonProperties();
    QVERIFY(fixture.Show());
    TBtnPrm& editor = *fixture.editor;
    QCOMPARE(editor.RepeatEdit->text(), QString("1000"));
    editor.WidthEdit->setText("50");
    editor.RepeatEdit->setText(typed);
    editor.RepeatEdit->setFocus();
    fixture.Type({key});
    QCOMPARE(RepeatInterval(*fixture.button), repeat);
    QCOMPARE(editor.RepeatEdit->text(), shown);
    QCOMPARE(fixture.button->geometry(), QRect(10, 20, 80, 30));
    QCOMPARE(ShortcutKey(*fixture.button), 70);
}

void TestBtnPrmHold::releaseAndStopPlay_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("entry"); // -1: the list closes with no entry selected
    QTest::addColumn<int>("number");
    for (const char* list : {"ReleaseCombo", "StopPlayCombo"}) {
        QTest::addRow("%s, OFF stores -1", list) << QString(list) << 4 << 0 << -1;
        QTest::addRow("%s, Motion1 stores 0", list) << QString(list) << -1 << 1 << 0;
        QTest::addRow("%s, Motion80 stores 79", list) << QString(list) << -1 << 80 << 79;
        QTest::addRow("%s, Scenario1 stores 80", list) << QString(list) << -1 << 81 << 80;
        QTest::addRow("%s, Scenario5 stores 84", list) << QString(list) << -1 << 85 << 84;
        QTest::addRow("%s, no entry selected keeps the number", list)
            << QString(list) << 200 << -1 << 200;
    }
}

void TestBtnPrmHold::releaseAndStopPlay() {
    QFETCH(QString, list);
    QFETCH(int, start);
    QFETCH(int, entry);
    QFETCH(int, number);
    const bool release = list == "ReleaseCombo";
    EditorFixture fixture(!release);
    SetReleasePlay(*fixture.button, release ? start : NoReleasePlay);
    fixture.panel.stopPlay = release ? -1 : start;
    if (release)
        fixture.editor->ShowButtonProperties();
    else
        fixture.editor->ShowPanelProperties();
    const auto stored = [&] {
        return release ? ReleasePlay(*fixture.button) : fixture.panel.stopPlay;
    };
    // Only a number the editor applies shows.
    if (entry >= 0)
        release ? SetReleasePlay(*fixture.button, -5) : void(fixture.panel.stopPlay = -5);
    EditorFixture::ChooseEntry(fixture.editor->findChild<QComboBox*>(list), entry);
    QCOMPARE(stored(), number);
    QCOMPARE(release ? fixture.panel.stopPlay : ReleasePlay(*fixture.button), -1);
    QCOMPARE(PlayNumber(*fixture.button), 4);
}

void TestBtnPrmHold::stopKey_data() {
    QTest::addColumn<QList<QKeyCombination>>("keys"); // none: a double click
    QTest::addColumn<int>("stopKey");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("focusAfter");
    QTest::addColumn<QStringList>("fields"); // width, height, left, top after the keys
    const QStringList typed{"50", "240", "200", "100"};
    QTest::newRow("A") << QList<QKeyCombination>{Qt::Key_A} << 65 << "065  ローマ字 [Ａ]"
                       << "StopKeyEdit" << typed;
    QTest::newRow("Enter becomes the stop key and applies the geometry")
        << QList<QKeyCombination>{Qt::Key_Return} << 13 << "013  Enter"
        << "StopKeyEdit" << QStringList{"116", "240", "200", "100"};
    QTest::newRow("Escape becomes the stop key and reloads the fields")
        << QList<QKeyCombination>{Qt::Key_Escape} << 27 << "027  ESC"
        << "StopKeyEdit" << QStringList{"320", "240", "200", "100"};
    QTest::newRow("Tab becomes the stop key and moves on")
        << QList<QKeyCombination>{Qt::Key_Tab} << 9 << "009  "
        << "StopPadEdit" << typed;
    QTest::newRow("double click clears") << QList<QKeyCombination>{} << -1 << "OFF"
                                         << "StopKeyEdit" << typed;
}

void TestBtnPrmHold::stopKey() {
    QFETCH(QList<QKeyCombination>, keys);
    QFETCH(int, stopKey);
    QFETCH(QString, shown);
    QFETCH(QString, focusAfter);
    QFETCH(QStringList, fields);
    EditorFixture fixture(true);
    fixture.panel.stopKey = 32;
    fixture.editor->ShowPanelProperties();
    QVERIFY(fixture.Show());
    TBtnPrm& editor = *fixture.editor;
    editor.WidthEdit->setText("50");
    editor.StopKeyEdit->setFocus();
    if (keys.isEmpty())
        QTest::mouseDClick(editor.StopKeyEdit, Qt::LeftButton);
    fixture.Type(keys);
    QCOMPARE(fixture.panel.stopKey, stopKey);
    QCOMPARE(editor.StopKeyEdit->text(), shown);
    QCOMPARE(QApplication::focusWidget()->objectName(), focusAfter);
    QCOMPARE(GeometryTexts(editor), fields);
    QCOMPARE(ShortcutKey(*fixture.button), 70);
}

void TestBtnPrmHold::padPresses_data() {
    QTest::addColumn<bool>("panelSelected");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<bool>("doubleClick"); // instead of the press of LB
    QTest::addColumn<QString>("pad");      // the button's, then the panel's stop pad
    QTest::addColumn<QString>("stopPad");
    QTest::addColumn<QStringList>("shown"); // the pad and the stop pad field
    QTest::newRow("the pad field takes it for the button") << false << "PadEdit" << false << "LB"
                                                           << "Start" << QStringList{"LB", ""};
    QTest::newRow("the stop pad field takes it for the panel")
        << true << "StopPadEdit" << false << "B"
        << "LB" << QStringList{"", "LB"};
    QTest::newRow("the name field takes nothing, panel shown")
        << true << "NameEdit" << false << "B"
        << "Start" << QStringList{"", "Start"};
    QTest::newRow("double click clears the stop pad") << true << "StopPadEdit" << true << "B"
                                                      << "" << QStringList{"", "OFF"};
}

void TestBtnPrmHold::padPresses() {
    QFETCH(bool, panelSelected);
    QFETCH(QString, focus);
    QFETCH(bool, doubleClick);
    QFETCH(QString, pad);
    QFETCH(QString, stopPad);
    QFETCH(QStringList, shown);
    EditorFixture fixture(panelSelected);
    SetPadButton(*fixture.button, "B");
    fixture.panel.stopPad = "Start";
    if (panelSelected)
        fixture.editor->ShowPanelProperties();
    else
        fixture.editor->ShowButtonProperties();
    QVERIFY(fixture.Show());
    TBtnPrm& editor = *fixture.editor;
    fixture.Field(focus)->setFocus();
    QVERIFY(fixture.Field(focus)->hasFocus());
    if (doubleClick)
        QTest::mouseDClick(fixture.Field(focus), Qt::LeftButton);
    else
        editor.PadButtonPressed("LB");
    QCOMPARE(PadButton(*fixture.button), pad);
    QCOMPARE(fixture.panel.stopPad, stopPad);
    QCOMPARE((QStringList{editor.PadEdit->text(), editor.StopPadEdit->text()}), shown);
}

void TestBtnPrmHold::padCapture_data() {
    QTest::addColumn<bool>("panelSelected"); // the stop pad field has the focus, else the pad's
    QTest::addColumn<QStringList>("events"); // "+name" goes down, "-name" comes up
    QTest::addColumn<QString>("captured");
    QTest::newRow("a stick pushed and let go")
        << false << QStringList{"+LS-Up", "-LS-Up"} << "LS-Up";
    QTest::newRow("Back held, Start pressed")
        << true << QStringList{"+Back", "+Start", "-Start", "-Back"} << "Back+Start";
    QTest::newRow("LB held, the stick pushed up")
        << false << QStringList{"+LB", "+LS-Up", "-LB", "-LS-Up"} << "LB+LS-Up";
    QTest::newRow("each let go before the next")
        << true << QStringList{"+Back", "-Back", "+Start", "-Start"} << "Start";
    QTest::newRow("a third while two are held: the first's pair")
        << false << QStringList{"+Back", "+Start", "+A"} << "Back+A";
    QTest::newRow("A held on another pad") << false << QStringList{"+A", "+A", "-A", "+B"} << "A+B";
}

void TestBtnPrmHold::padCapture() {
    QFETCH(bool, panelSelected);
    QFETCH(QStringList, events);
    QFETCH(QString, captured);
    EditorFixture fixture(panelSelected);
    QVERIFY(fixture.Show());
    TBtnPrm& editor = *fixture.editor;
    QLineEdit* field = panelSelected ? editor.StopPadEdit : editor.PadEdit;
    field->setFocus();
    QVERIFY(field->hasFocus());
    for (const QString& event : events) {
        if (event.startsWith('+'))
            editor.PadButtonPressed(event.mid(1));
        else
            editor.PadButtonReleased(event.mid(1));
    }
    QCOMPARE(panelSelected ? fixture.panel.stopPad : PadButton(*fixture.button), captured);
    QCOMPARE(field->text(), captured);
    // A pair captured through its first part is one edit of the panel, not two.
    const QList<int>& commits = fixture.panel.commits;
    QVERIFY(!commits.isEmpty());
    QVERIFY(commits.first() != -1);
    QCOMPARE(commits.count(commits.first()), commits.size());
}

// The caption typed in one visit of its field is one edit; the next visit another; other
// fields' edits merge with nothing.
void TestBtnPrmHold::captionEditsMergeWithinOneVisit() {
    EditorFixture fixture;
    QVERIFY(fixture.Show());
    TBtnPrm& editor = *fixture.editor;
    editor.NameEdit->setFocus();
    QTest::keyClicks(editor.NameEdit, "ab");
    editor.WidthEdit->setFocus();
    QTest::keyClick(editor.WidthEdit, Qt::Key_Return);
    editor.NameEdit->setFocus();
    QTest::keyClicks(editor.NameEdit, "c");
    const QList<int>& commits = fixture.panel.commits;
    QCOMPARE(commits.size(), 4);
    QCOMPARE(commits[0], commits[1]);
    QCOMPARE(commits[2], -1);
    QVERIFY(commits[3] != commits[0] && commits[3] != -1);
    QCOMPARE(fixture.button->Caption(), QString("Walkabc"));
}

void TestBtnPrmHold::panelSizeAndPositionShown_data() {
    QTest::addColumn<bool>("panelSelected");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("panel shown") << true << QStringList{"500", "400", "-30", "40"};
    QTest::newRow("button shown keeps the button's")
        << false << QStringList{"80", "30", "10", "20"};
}

// The main window's own resizing and moving only shows; nothing is applied.
void TestBtnPrmHold::panelSizeAndPositionShown() {
    QFETCH(bool, panelSelected);
    QFETCH(QStringList, fields);
    EditorFixture fixture(panelSelected);
    fixture.editor->ShowPanelSize(500, 400);
    fixture.editor->ShowPanelPosition(-30, 40);
    QCOMPARE(GeometryTexts(*fixture.editor), fields);
    QCOMPARE(fixture.panel.bounds, QRect(200, 100, 320, 240));
    QCOMPARE(fixture.button->geometry(), QRect(10, 20, 80, 30));
}

QTEST_MAIN(TestBtnPrmHold)
#include "tst_btnprmhold.moc"
