// The panel's edit history and the editing keys, on the real main window and property
// editor: what each script of edits leaves, and what undo and redo bring back.
#include "BtnPrm.h"
#include "CmdMain.h"
#include "ColorBtn.h"
#include "CommandButtonValues.h"
#include "FileDialog.h"
#include "MessageBoxRecorder.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// CB_3 "One" at 10,10; CB_2 "Two" at 100,10 with key F and pad A, held; CB_1 "Three" at
// 10,100. Client area 304 x 201.
const QByteArray Start =
    "[Form]\r\nComm=-1\r\nCaption=Panel\r\nTop=100\r\nLeft=100\r\n"
    "Width=320\r\nHeight=240\r\nColor=-2147483633\r\nBmpFile=\r\nButton=3\r\n\r\n"
    "[Button1]\r\nCaption=Three\r\nTop=100\r\nLeft=10\r\nWidth=80\r\n"
    "Height=30\r\nMotion=3\r\nShortCut=-1\r\nColor=255\r\n\r\n"
    "[Button2]\r\nCaption=Two\r\nTop=10\r\nLeft=100\r\nWidth=80\r\n"
    "Height=30\r\nMotion=2\r\nShortCut=70\r\nColor=-2147483633\r\nPad=A\r\n"
    "Repeat=200\r\nRelease=9\r\n\r\n"
    "[Button3]\r\nCaption=One\r\nTop=10\r\nLeft=10\r\nWidth=80\r\n"
    "Height=30\r\nMotion=1\r\nShortCut=-1\r\nColor=-2147483633\r\n\r\n";

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void SendMouse(QWidget* widget, QEvent::Type type, Qt::MouseButtons held, QPoint at,
               Qt::KeyboardModifiers modifiers = {}) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), button, held, modifiers);
    QApplication::sendEvent(widget, &event);
}

struct Panel {
    QTemporaryDir dir;
    MessageBoxRecorder boxes;
    TFileDialogAnswers dialogs;
    std::unique_ptr<TCmdMain> main;
    std::unique_ptr<TBtnPrm> editor;

    Panel() {
        QFile file(dir.filePath("Vodazevivuzo3.ini"));
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write the settings file");
        file.write(Start);
        file.close();
        main = std::make_unique<TCmdMain>(dir.path());
        editor = std::make_unique<TBtnPrm>(main.get());
        main->SetEditor(editor.get());
        main->activateWindow();
        if (!QTest::qWaitForWindowActive(main.get()))
            qFatal("the panel did not become active");
    }
    QByteArray Saved() {
        const QString path = dir.filePath("saved.vmd");
        main->SaveLayout(path);
        return ReadAll(path);
    }
    // "CB_3 One 10,10 80x30" for every button in component order, then the selection.
    QStringList Buttons() const {
        QStringList shown;
        for (QObject* component : main->Components()) {
            const auto* b = qobject_cast<const TColorBtn*>(component);
            if (b && IsCommandButton(b))
                shown << QStringLiteral("%1 %2 %3,%4 %5x%6%7")
                             .arg(b->objectName(), b->Caption())
                             .arg(b->x())
                             .arg(b->y())
                             .arg(b->width())
                             .arg(b->height())
                             .arg(ShortcutKey(*b) == NoShortcut && PadButton(*b).isEmpty()
                                      ? QString()
                                      : QStringLiteral(" keyed"));
        }
        return shown;
    }
    TColorBtn* Button(const QString& name) const { return main->FindCommandButton(name); }
    void Key(const QString& keys) {
        QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : main.get();
        const QKeySequence sequence(keys);
        QTest::keyClick(focus, sequence[0].key(), sequence[0].keyboardModifiers());
    }

    // edit / plain: edit mode on or off; create@x,y; drag:CB_n:dx,dy; click:CB_n and
    // ctrl:CB_n (Ctrl+click); band:x,y,x,y from an empty spot; caption:text typed in the
    // editor's name field; delete (the menu item); undo / redo (the menu items); open (a
    // layout holding one button); clip:text; anything else: a key sequence on the panel.
    void Run(const QString& step) {
        const QString verb = step.section(':', 0, 0);
        const QString arg = step.section(':', 1, 1);
        const QList<int> n = Numbers(step.section(':', -1));
        if (step == "edit" || step == "plain") {
            main->SetEditMode(step == "edit");
        } else if (verb.startsWith("create@")) {
            const QList<int> at = Numbers(verb.mid(7));
            QCursor::setPos(main->mapToGlobal(QPoint(at[0], at[1])) +
                            QPoint(main->Width() - main->width(), main->Height() - main->height()));
            main->CreateButtonClick();
        } else if (verb == "drag") {
            TColorBtn* b = Button(arg);
            SendMouse(b, QEvent::MouseMove, Qt::NoButton, {20, 10});
            SendMouse(b, QEvent::MouseButtonPress, Qt::LeftButton, {20, 10});
            SendMouse(b, QEvent::MouseMove, Qt::LeftButton, QPoint(20 + n[0], 10 + n[1]));
            SendMouse(b, QEvent::MouseButtonRelease, Qt::NoButton, QPoint(20 + n[0], 10 + n[1]));
        } else if (verb == "click" || verb == "ctrl") {
            const Qt::KeyboardModifiers mods =
                verb == "ctrl" ? Qt::ControlModifier : Qt::NoModifier;
            SendMouse(Button(arg), QEvent::MouseButtonPress, Qt::LeftButton, {5, 5}, mods);
            SendMouse(Button(arg), QEvent::MouseButtonRelease, Qt::NoButton, {5, 5}, mods);
        } else if (verb == "band") {
            SendMouse(main.get(), QEvent::MouseButtonPress, Qt::LeftButton, {n[0], n[1]});
            SendMouse(main.get(), QEvent::MouseMove, Qt::LeftButton, {n[2], n[3]});
            SendMouse(main.get(), QEvent::MouseButtonRelease, Qt::NoButton, {n[2], n[3]});
        } else if (verb == "caption") {
            editor->NameEdit->setFocus();
            editor->NameEdit->selectAll();
            QTest::keyClicks(editor->NameEdit, arg);
            main->activateWindow();
        } else if (step == "delete") {
            main->DeleteButton->trigger();
        } else if (step == "undo") {
            main->UndoBtn->trigger();
        } else if (step == "redo") {
            main->RedoBtn->trigger();
        } else if (step == "open") {
            const QString other = dir.filePath("other.vmd");
            QFile file(other);
            if (file.open(QIODevice::WriteOnly))
                file.write("[Form]\r\nButton=1\r\n[Button1]\r\nCaption=Only\r\n");
            file.close();
            dialogs.Choose(other, 1);
            main->OpenBtn->trigger();
        } else if (verb == "clip") {
            QGuiApplication::clipboard()->setText(arg);
        } else {
            Key(step);
        }
    }
    static QList<int> Numbers(const QString& text) {
        QList<int> numbers;
        for (const QString& part : text.split(','))
            numbers << part.toInt();
        return numbers;
    }
};

const QStringList StartButtons{"CB_3 One 10,10 80x30", "CB_2 Two 100,10 80x30 keyed",
                               "CB_1 Three 10,100 80x30"};

} // namespace

class TestPanelEdits : public QObject {
    Q_OBJECT
private slots:
    void init() { QGuiApplication::clipboard()->clear(); }
    void edits_data();
    void edits();
    void undoBringsBackTheFileAndRedoTheEdits();
    void historyIsLimited();
};

void TestPanelEdits::edits_data() {
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QStringList>("selection");
    QTest::addColumn<int>("steps"); // on the history afterwards
    const QStringList start = StartButtons;
    auto with = [&](int i, const QString& shown) {
        QStringList changed = start;
        changed[i] = shown;
        return changed;
    };
    QTest::newRow("arrows move by 1, with Shift by 10")
        << QStringList{"edit", "click:CB_1", "Right", "Shift+Down", "Up"}
        << with(2, "CB_1 Three 11,109 80x30") << QStringList{"CB_1"} << 3;
    QTest::newRow("Ctrl and arrows size by 1, with Shift by 10, at least 10")
        << QStringList{"edit",          "click:CB_1",    "Ctrl+Right",
                       "Ctrl+Shift+Up", "Ctrl+Shift+Up", "Ctrl+Shift+Up"}
        << with(2, "CB_1 Three 10,100 81x10") << QStringList{"CB_1"} << 3;
    QTest::newRow("arrows keep the button inside")
        << QStringList{"edit", "click:CB_3", "Shift+Left", "Shift+Left", "Shift+Up", "Shift+Up"}
        << with(0, "CB_3 One 0,0 80x30") << QStringList{"CB_3"} << 2;
    QTest::newRow("outside edit mode arrows, Delete and Ctrl+D edit nothing")
        << QStringList{"click:CB_1", "Right", "Delete", "Ctrl+D", "Ctrl+Z"} << start
        << QStringList{"CB_1"} << 0;
    QTest::newRow("Ctrl+click adds and takes out; the group moves as one, kept inside")
        << QStringList{"edit",      "click:CB_3", "ctrl:CB_1",  "ctrl:CB_2",
                       "ctrl:CB_2", "Shift+Left", "Shift+Left", "Right"}
        << QStringList{"CB_3 One 1,10 80x30", "CB_2 Two 100,10 80x30 keyed",
                       "CB_1 Three 1,100 80x30"}
        << QStringList{"CB_3", "CB_1"} << 2;
    QTest::newRow("a dragged selected button carries the selection")
        << QStringList{"edit", "click:CB_3", "ctrl:CB_2", "drag:CB_2:30,40"}
        << QStringList{"CB_3 One 40,50 80x30", "CB_2 Two 130,50 80x30 keyed",
                       "CB_1 Three 10,100 80x30"}
        << QStringList{"CB_3", "CB_2"} << 1;
    QTest::newRow("a band selects what it touches; Delete deletes them, one step")
        << QStringList{"edit", "band:5,5,95,120", "Delete"}
        << QStringList{"CB_2 Two 100,10 80x30 keyed"} << QStringList{} << 1;
    QTest::newRow("one undo brings every deleted button back")
        << QStringList{"edit", "band:5,5,95,120", "Delete", "Ctrl+Z"} << start
        << QStringList{"CB_3", "CB_1"} << 1;
    QTest::newRow("Ctrl+D duplicates 10 right and below, without key or pad")
        << QStringList{"edit", "click:CB_3", "ctrl:CB_2", "Ctrl+D"}
        << start + QStringList{"CB_4 One 20,20 80x30", "CB_5 Two 110,20 80x30"}
        << QStringList{"CB_4", "CB_5"} << 1;
    QTest::newRow("Ctrl+C and Ctrl+V: copies at the stored places, selected")
        << QStringList{"edit", "click:CB_2", "Ctrl+C", "click:CB_1", "Ctrl+V"}
        << start + QStringList{"CB_4 Two 100,10 80x30 keyed"} << QStringList{"CB_4"} << 1;
    QTest::newRow("Ctrl+X cuts; Ctrl+V puts it back, with a new name")
        << QStringList{"edit", "click:CB_3", "Ctrl+X", "Ctrl+V"}
        << QStringList{"CB_2 Two 100,10 80x30 keyed", "CB_1 Three 10,100 80x30",
                       "CB_4 One 10,10 80x30"}
        << QStringList{"CB_4"} << 2;
    QTest::newRow("pasted text from elsewhere, kept inside")
        << QStringList{"edit", "clip:[Button1]\nCaption=Far\nLeft=-900\nTop=-5\n", "Ctrl+V"}
        << start + QStringList{"CB_4 Far 0,0 80x30"} << QStringList{"CB_4"} << 1;
    QTest::newRow("text without button sections pastes nothing")
        << QStringList{"edit", "clip:hello [Form]", "Ctrl+V"} << start << QStringList{} << 0;
    QTest::newRow("the caption typed in one visit is one step")
        << QStringList{"edit", "click:CB_1", "caption:Walk"} << with(2, "CB_1 Walk 10,100 80x30")
        << QStringList{"CB_1"} << 1;
    QTest::newRow("opening a layout is one step, undone")
        << QStringList{"edit", "open", "undo"} << start << QStringList{} << 1;
    QTest::newRow("undo and redo leave the history as it was")
        << QStringList{"edit", "click:CB_1", "Right", "Right", "undo", "undo", "redo"}
        << with(2, "CB_1 Three 11,100 80x30") << QStringList{"CB_1"} << 2;
}

void TestPanelEdits::edits() {
    QFETCH(QStringList, script);
    QFETCH(QStringList, buttons);
    QFETCH(QStringList, selection);
    QFETCH(int, steps);
    Panel panel;
    for (const QString& step : script)
        panel.Run(step);
    QCOMPARE(panel.Buttons(), buttons);
    QCOMPARE(panel.main->Selection(), selection);
    QCOMPARE(panel.main->Edits().Count(), steps);
}

// Create, drag, caption, delete, four undos: the file as it was; redo brings them back.
void TestPanelEdits::undoBringsBackTheFileAndRedoTheEdits() {
    Panel panel;
    const QByteArray before = panel.Saved();
    QList<QStringList> states{panel.Buttons()};
    panel.Run("edit");
    for (const char* step : {"create@150,120", "drag:CB_4:20,-10", "caption:Go", "delete"}) {
        panel.Run(step);
        states << panel.Buttons();
    }
    QVERIFY(!panel.main->RedoBtn->isEnabled());
    for (int i = 3; i >= 0; --i) {
        QVERIFY(panel.main->UndoBtn->isEnabled());
        panel.Key("Ctrl+Z");
        QCOMPARE(panel.Buttons(), states[i]);
    }
    QVERIFY(!panel.main->UndoBtn->isEnabled());
    QCOMPARE(panel.Saved(), before);
    for (int i = 1; i <= 4; ++i) {
        panel.Key(i % 2 ? "Ctrl+Y" : "Ctrl+Shift+Z");
        QCOMPARE(panel.Buttons(), states[i]);
    }
    // Out of edit mode the history stays, and the items are off.
    panel.Run("plain");
    emit panel.main->PopupMenu->aboutToShow();
    QVERIFY(!panel.main->UndoBtn->isEnabled());
    panel.Run("edit");
    QVERIFY(panel.main->UndoBtn->isEnabled());
}

void TestPanelEdits::historyIsLimited() {
    Panel panel;
    panel.Run("edit");
    panel.Run("click:CB_1");
    for (int i = 0; i < TPanelEdits::StepLimit + 20; ++i)
        panel.Run(i % 2 ? "Left" : "Right");
    QCOMPARE(panel.main->Edits().Count(), TPanelEdits::StepLimit);
}

QTEST_MAIN(TestPanelEdits)
#include "tst_paneledits.moc"
