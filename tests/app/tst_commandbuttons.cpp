// Command buttons on the panel: drag zones and steps, mouse-downs, presses over both
// links, shortcut keys, pad buttons and presses that arrive while the board is being
// waited for.
#include "BtnPrm.h"
#include "ButtonDrag.h"
#include "CloseUpComboBox.h"
#include "CmdMain.h"
#include "ColorBtn.h"
#include "CommPortPath.h"
#include "CommX.h"
#include "FakePadInput.h"
#include "FakeWindowSystem.h"
#include "MessageBoxRecorder.h"
#include "PressControl.h"
#include "SdlPadInput.h"
#include "SimulatorProcess.h"
#include "VirtualPad.h"

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <SDL.h>

#include <memory>

using Post = TFakeWindowSystem::Post;

namespace {

struct StoredButton {
    int left, top, width, height, motion, shortCut;
    int repeat = 0;
    int release = -1;
};

// A panel with a client area of 304 x 201 whose settings file holds the given buttons
// (Button1 first, so the last one listed is CB_1, the oldest), on the given link.
QByteArray SettingsFile(int comm, const QList<StoredButton>& buttons) {
    QByteArray text = "[Form]\r\nComm=" + QByteArray::number(comm) +
                      "\r\nCaption=Panel\r\nTop=100\r\nLeft=100\r\nWidth=320\r\nHeight=240\r\n"
                      "Button=" +
                      QByteArray::number(buttons.size()) + "\r\n";
    for (int i = 0; i < buttons.size(); ++i) {
        const StoredButton& b = buttons[i];
        text += "[Button" + QByteArray::number(i + 1) + "]\r\nCaption=B" +
                QByteArray::number(i + 1) + "\r\nLeft=" + QByteArray::number(b.left) +
                "\r\nTop=" + QByteArray::number(b.top) +
                "\r\nWidth=" + QByteArray::number(b.width) +
                "\r\nHeight=" + QByteArray::number(b.height) +
                "\r\nMotion=" + QByteArray::number(b.motion) +
                "\r\nShortCut=" + QByteArray::number(b.shortCut) + "\r\n";
        if (b.repeat != 0)
            text += "Repeat=" + QByteArray::number(b.repeat) + "\r\n";
        if (b.release != -1)
            text += "Release=" + QByteArray::number(b.release) + "\r\n";
    }
    return text;
}

struct Panel {
    QTemporaryDir dir;
    MessageBoxRecorder boxes;
    std::unique_ptr<TCmdMain> main;
    std::unique_ptr<TBtnPrm> editor;
    TFakeWindowSystem* windows = nullptr;

    Panel(int comm, const QList<StoredButton>& buttons) {
        QFile file(dir.filePath("Vodazevivuzo3.ini"));
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write the settings file");
        file.write(SettingsFile(comm, buttons));
        file.close();
        SetCommPortFolder(dir.path().toStdString());
        main = std::make_unique<TCmdMain>(dir.path());
        auto fake = std::make_unique<TFakeWindowSystem>();
        windows = fake.get();
        windows->SetWindows({{42, true, "Editor", "TPosewright3"}});
        main->SetWindowSystem(std::move(fake));
        editor = std::make_unique<TBtnPrm>(main.get());
        main->SetEditor(editor.get());
    }
    ~Panel() {
        main->CommX1->Close();
        SetCommPortFolder("");
    }
    TColorBtn* Button(int n) const { return main->FindCommandButton("CB_" + QString::number(n)); }
    // The command buttons in component order.
    QStringList ButtonNames() const {
        QStringList names;
        for (QObject* component : main->Components())
            if (IsCommandButton(component))
                names << component->objectName();
        return names;
    }
    QList<int> Posted() const {
        QList<int> numbers;
        for (const Post& post : windows->Posts())
            numbers << post.lParam;
        return numbers;
    }
};

void SendMouse(QWidget* widget, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held,
               QPoint at, Qt::KeyboardModifiers modifiers = {}) {
    QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), button, held, modifiers);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class TestCommandButtons : public QObject {
    Q_OBJECT
private slots:
    void newButtonsContinueTheNumbering_data();
    void newButtonsContinueTheNumbering();
    void createdButtonKeepsInsideTheRightAndBottomEdges_data();
    void createdButtonKeepsInsideTheRightAndBottomEdges();
    void dragZones_data();
    void dragZones();
    void dragSteps_data();
    void dragSteps();
    void mouseDownSelectsRaisesAndGrabs_data();
    void mouseDownSelectsRaisesAndGrabs();
    void rightPressDecidesWhatDeleteDeletes_data();
    void rightPressDecidesWhatDeleteDeletes();
    void dragWithTheMouseMovesOrSizes_data();
    void dragWithTheMouseMovesOrSizes();
    void pressesOverTheMotionEditorLink_data();
    void pressesOverTheMotionEditorLink();
    void shortcutsPressEveryMatchingButtonNewestFirst_data();
    void shortcutsPressEveryMatchingButtonNewestFirst();
    void keysTypedInTheEditorPressNothing();
    void padButtonsPressLikeShortcuts_data();
    void padButtonsPressLikeShortcuts();
    void padFieldCapturesAndClears();
    void holdEndsWhenThePanelLetsGo_data();
    void holdEndsWhenThePanelLetsGo();
    void pressDuringASlowExchangeRunsAfterIt_data();
    void pressDuringASlowExchangeRunsAfterIt();
};

void TestCommandButtons::newButtonsContinueTheNumbering_data() {
    QTest::addColumn<int>("loaded");
    QTest::addColumn<QString>("deleted"); // before the new one is made
    QTest::addColumn<QString>("created");
    QTest::newRow("empty panel") << 0 << ""
                                 << "CB_1";
    QTest::newRow("after loading three") << 3 << ""
                                         << "CB_4";
    QTest::newRow("deleting the last does not reuse its number") << 3 << "CB_3"
                                                                 << "CB_4";
    QTest::newRow("deleting the first") << 3 << "CB_1"
                                        << "CB_4";
}

void TestCommandButtons::newButtonsContinueTheNumbering() {
    QFETCH(int, loaded);
    QFETCH(QString, deleted);
    QFETCH(QString, created);
    QList<StoredButton> stored;
    for (int i = 0; i < loaded; ++i)
        stored.append({10, 10 + 40 * i, 80, 30, -1, -1});
    Panel panel(0, stored);
    if (!deleted.isEmpty()) {
        panel.main->SelectedButtonName = deleted;
        panel.main->DeleteButton->trigger();
        QVERIFY(!panel.ButtonNames().contains(deleted));
    }
    panel.main->CreateButton->trigger();
    QCOMPARE(panel.ButtonNames().last(), created);
    QCOMPARE(panel.main->FindCommandButton(created)->Caption(), "Button" + created.mid(3));
}

void TestCommandButtons::createdButtonKeepsInsideTheRightAndBottomEdges_data() {
    QTest::addColumn<QPoint>("pointer"); // in the client area
    QTest::addColumn<QPoint>("topLeft");
    QTest::newRow("near the right edge") << QPoint(300, 20) << QPoint(224, 20);
    QTest::newRow("near the bottom edge") << QPoint(20, 190) << QPoint(20, 171);
    QTest::newRow("in the corner") << QPoint(303, 200) << QPoint(224, 171);
    QTest::newRow("room enough") << QPoint(100, 60) << QPoint(100, 60);
    QTest::newRow("no lower bound") << QPoint(-30, -5) << QPoint(-30, -5);
}

void TestCommandButtons::createdButtonKeepsInsideTheRightAndBottomEdges() {
    QFETCH(QPoint, pointer);
    QFETCH(QPoint, topLeft);
    Panel panel(0, {});
    // The frame is taken into account once known; the client area is set after that.
    for (int i = 0; i < 2; ++i) {
        panel.main->resize(304, 201);
        QCoreApplication::processEvents();
    }
    QCOMPARE(panel.main->size(), QSize(304, 201));
    // The frame's own thickness lies between the outer and the client corner.
    const QPoint frame =
        panel.main->mapToGlobal(QPoint(0, 0)) - QPoint(panel.main->Left(), panel.main->Top());
    const QPoint extra(panel.main->Width() - 304, panel.main->Height() - 201);
    QCursor::setPos(panel.main->mapToGlobal(pointer) - frame + extra);
    panel.main->CreateButton->trigger();
    TColorBtn* created = panel.Button(1);
    QVERIFY(created);
    QCOMPARE(created->pos(), topLeft);
}

void TestCommandButtons::dragZones_data() {
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<TDragZone>("zone");
    // An 80 x 30 button.
    QTest::newRow("Width - 5 is body") << QPoint(75, 10) << TDragZone::Body;
    QTest::newRow("Width - 4 is the right edge") << QPoint(76, 10) << TDragZone::RightEdge;
    QTest::newRow("last column") << QPoint(79, 25) << TDragZone::RightEdge;
    QTest::newRow("Height - 4 is the bottom edge") << QPoint(40, 26) << TDragZone::BottomEdge;
    QTest::newRow("Height - 5 is body") << QPoint(40, 25) << TDragZone::Body;
    QTest::newRow("corner") << QPoint(76, 26) << TDragZone::Corner;
    QTest::newRow("top left") << QPoint(0, 0) << TDragZone::Body;
}

void TestCommandButtons::dragZones() {
    QFETCH(QPoint, at);
    QFETCH(TDragZone, zone);
    QCOMPARE(DragZoneAt(at.x(), at.y(), 80, 30), zone);
    QCOMPARE(CursorZone(ZoneCursor(zone)), zone);
}

void TestCommandButtons::dragSteps_data() {
    QTest::addColumn<TDragZone>("zone");
    QTest::addColumn<QRect>("before");
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<QRect>("after");
    // Client area 304 x 201, grabbed at (20, 10).
    QTest::newRow("move keeps the grabbed spot")
        << TDragZone::Body << QRect(50, 50, 80, 30) << QPoint(30, 15) << QRect(60, 55, 80, 30);
    QTest::newRow("move past the left edge stops at 0")
        << TDragZone::Body << QRect(5, 50, 80, 30) << QPoint(-40, 10) << QRect(0, 50, 80, 30);
    QTest::newRow("move past the right edge stops at CW - Width")
        << TDragZone::Body << QRect(200, 50, 80, 30) << QPoint(120, 10) << QRect(224, 50, 80, 30);
    QTest::newRow("move past the bottom stops at CH - Height")
        << TDragZone::Body << QRect(50, 160, 80, 30) << QPoint(20, 90) << QRect(50, 171, 80, 30);
    QTest::newRow("wider than the panel ends at a negative left")
        << TDragZone::Body << QRect(0, 0, 400, 30) << QPoint(0, 10) << QRect(-96, 0, 400, 30);
    QTest::newRow("width below 10 gives 10")
        << TDragZone::RightEdge << QRect(50, 50, 80, 30) << QPoint(3, 10) << QRect(50, 50, 10, 30);
    QTest::newRow("width past the edge ends at the edge")
        << TDragZone::RightEdge << QRect(250, 50, 40, 30) << QPoint(500, 10)
        << QRect(250, 50, 54, 30);
    QTest::newRow("height follows the pointer") << TDragZone::BottomEdge << QRect(50, 50, 80, 30)
                                                << QPoint(500, 44) << QRect(50, 50, 80, 44);
    QTest::newRow("height past the bottom ends at the bottom")
        << TDragZone::BottomEdge << QRect(50, 180, 80, 20) << QPoint(0, 90)
        << QRect(50, 180, 80, 21);
    QTest::newRow("corner sizes both, each at least 10")
        << TDragZone::Corner << QRect(50, 50, 80, 30) << QPoint(-5, 100) << QRect(50, 50, 10, 100);
    QTest::newRow("edge left of 10 pixels from the panel's edge still gives 10")
        << TDragZone::RightEdge << QRect(300, 50, 80, 30) << QPoint(50, 10)
        << QRect(300, 50, 10, 30);
}

void TestCommandButtons::dragSteps() {
    QFETCH(TDragZone, zone);
    QFETCH(QRect, before);
    QFETCH(QPoint, pointer);
    QFETCH(QRect, after);
    QCOMPARE(DragStep(zone, before, pointer, QPoint(20, 10), QSize(304, 201)), after);
}

void TestCommandButtons::mouseDownSelectsRaisesAndGrabs_data() {
    QTest::addColumn<bool>("editMode");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QPoint>("origin");

    const int press = QEvent::MouseButtonPress;
    QTest::newRow("plain left press grabs")
        << true << press << int(Qt::LeftButton) << 0 << QPoint(7, 9);
    QTest::newRow("plain left press outside edit mode grabs")
        << false << press << int(Qt::LeftButton) << 0 << QPoint(7, 9);
    QTest::newRow("Ctrl+left leaves the origin")
        << true << press << int(Qt::LeftButton) << int(Qt::ControlModifier) << QPoint(0, 0);
    QTest::newRow("Shift+left leaves the origin")
        << true << press << int(Qt::LeftButton) << int(Qt::ShiftModifier) << QPoint(0, 0);
    QTest::newRow("right press leaves the origin")
        << true << press << int(Qt::RightButton) << 0 << QPoint(0, 0);
    QTest::newRow("second press of a double click leaves the origin")
        << true << int(QEvent::MouseButtonDblClick) << int(Qt::LeftButton) << 0 << QPoint(0, 0);
}

void TestCommandButtons::mouseDownSelectsRaisesAndGrabs() {
    QFETCH(bool, editMode);
    QFETCH(int, type);
    QFETCH(int, button);
    QFETCH(int, modifiers);
    QFETCH(QPoint, origin);

    Panel panel(0, {{10, 10, 80, 30, -1, -1}, {20, 20, 80, 30, -1, -1}});
    panel.main->SetEditMode(editMode);
    const QStringList order = {"CB_2", "CB_1"};
    TColorBtn* target = panel.Button(2); // the lower of the two
    SendMouse(target, QEvent::Type(type), Qt::MouseButton(button), Qt::MouseButton(button),
              QPoint(7, 9), Qt::KeyboardModifiers(modifiers));

    QCOMPARE(panel.main->SelectedButtonName, QString("CB_2"));
    QCOMPARE(panel.editor->windowTitle(), QString("B2のプロパティ"));
    QCOMPARE(panel.main->DragOrigin, origin);
    // Raised among its siblings; the component list is unchanged.
    QCOMPARE(panel.main->children().last(), target);
    QCOMPARE(panel.ButtonNames(), order);
}

void TestCommandButtons::rightPressDecidesWhatDeleteDeletes_data() {
    QTest::addColumn<bool>("onButton");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("on a button: that button goes") << true << QStringList{"CB_1"};
    QTest::newRow("on the empty panel: nothing goes") << false << QStringList{"CB_2", "CB_1"};
}

void TestCommandButtons::rightPressDecidesWhatDeleteDeletes() {
    QFETCH(bool, onButton);
    QFETCH(QStringList, left);
    Panel panel(0, {{10, 10, 80, 30, -1, -1}, {20, 20, 80, 30, -1, -1}});
    // Something else was selected before.
    SendMouse(panel.Button(1), QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton,
              QPoint(1, 1));
    QWidget* target = onButton ? static_cast<QWidget*>(panel.Button(2)) : panel.main.get();
    const QPoint at = onButton ? QPoint(5, 5) : QPoint(250, 150);
    SendMouse(target, QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, at);
    panel.main->DeleteButton->trigger();
    QCOMPARE(panel.ButtonNames(), left);
}

void TestCommandButtons::dragWithTheMouseMovesOrSizes_data() {
    QTest::addColumn<bool>("editMode");
    QTest::addColumn<QPoint>("grab");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QRect>("after");
    QTest::addColumn<int>("cursor");

    // The button stands at (50, 50), 80 x 30.
    QTest::newRow("body moves") << true << QPoint(10, 10) << QPoint(30, 5) << QRect(70, 45, 80, 30)
                                << int(Qt::ArrowCursor);
    QTest::newRow("right edge sizes") << true << QPoint(77, 10) << QPoint(120, 10)
                                      << QRect(50, 50, 120, 30) << int(Qt::SizeHorCursor);
    QTest::newRow("bottom edge sizes") << true << QPoint(10, 27) << QPoint(10, 3)
                                       << QRect(50, 50, 80, 10) << int(Qt::SizeVerCursor);
    QTest::newRow("corner sizes") << true << QPoint(78, 28) << QPoint(100, 60)
                                  << QRect(50, 50, 100, 60) << int(Qt::SizeFDiagCursor);
    QTest::newRow("outside edit mode nothing moves")
        << false << QPoint(77, 10) << QPoint(120, 10) << QRect(50, 50, 80, 30)
        << int(Qt::ArrowCursor);
}

void TestCommandButtons::dragWithTheMouseMovesOrSizes() {
    QFETCH(bool, editMode);
    QFETCH(QPoint, grab);
    QFETCH(QPoint, to);
    QFETCH(QRect, after);
    QFETCH(int, cursor);

    Panel panel(0, {{50, 50, 80, 30, -1, -1}});
    panel.main->SetEditMode(editMode);
    TColorBtn* button = panel.Button(1);
    // Hovering decides the zone; the press grabs; the move drags.
    SendMouse(button, QEvent::MouseMove, Qt::NoButton, Qt::NoButton, grab);
    QCOMPARE(int(button->cursor().shape()), cursor);
    SendMouse(button, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, grab);
    SendMouse(button, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, to);
    QCOMPARE(button->geometry(), after);
    // The zone stays fixed while the button is held, and the editor follows each step.
    QCOMPARE(int(button->cursor().shape()), cursor);
    QCOMPARE(panel.editor->WidthEdit->text(), QString::number(after.width()));
    QCOMPARE(panel.editor->LeftEdit->text(), QString::number(after.left()));
    SendMouse(button, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, to);
}

void TestCommandButtons::pressesOverTheMotionEditorLink_data() {
    QTest::addColumn<bool>("editMode");
    QTest::addColumn<int>("motion");
    QTest::addColumn<QList<int>>("posted");
    QTest::newRow("Scenario5 posts 84") << false << 84 << QList<int>{84};
    QTest::newRow("Motion1 posts 0") << false << 0 << QList<int>{0};
    QTest::newRow("OFF sends nothing") << false << -1 << QList<int>{};
    QTest::newRow("edit mode only selects") << true << 4 << QList<int>{};
}

void TestCommandButtons::pressesOverTheMotionEditorLink() {
    QFETCH(bool, editMode);
    QFETCH(int, motion);
    QFETCH(QList<int>, posted);
    Panel panel(0, {{50, 50, 80, 30, motion, -1}});
    panel.main->SetEditMode(editMode);
    QTest::mouseClick(panel.Button(1), Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(panel.Posted(), posted);
    QCOMPARE(panel.main->SelectedButtonName, QString("CB_1"));
    for (const Post& post : panel.windows->Posts()) {
        QCOMPARE(post.window, 42LL);
        QCOMPARE(post.message, 0x8000u);
        QCOMPARE(post.wParam, 0);
    }
}

void TestCommandButtons::shortcutsPressEveryMatchingButtonNewestFirst_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QList<int>>("posted");
    QTest::addColumn<QString>("focus");
    // CB_1 (motion 1, A), CB_2 (OFF, B), CB_3 (motion 2, A); loading creates CB_1 last,
    // so it is the newest.
    QTest::newRow("A presses both, newest first")
        << int(Qt::Key_A) << 0 << QList<int>{1, 2} << "CB_3";
    QTest::newRow("Shift+A is the same key")
        << int(Qt::Key_A) << int(Qt::ShiftModifier) << QList<int>{1, 2} << "CB_3";
    QTest::newRow("Ctrl+A is the same key")
        << int(Qt::Key_A) << int(Qt::ControlModifier) << QList<int>{1, 2} << "CB_3";
    QTest::newRow("OFF button takes the focus, sends nothing")
        << int(Qt::Key_B) << 0 << QList<int>{} << "CB_2";
    QTest::newRow("no match") << int(Qt::Key_C) << 0 << QList<int>{} << "CmdMain";
}

void TestCommandButtons::shortcutsPressEveryMatchingButtonNewestFirst() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QList<int>, posted);
    QFETCH(QString, focus);
    Panel panel(0, {{10, 10, 80, 30, 1, 65}, {10, 50, 80, 30, -1, 66}, {10, 90, 80, 30, 2, 65}});
    panel.main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(panel.main.get()));
    panel.main->setFocus();
    QCOMPARE(QApplication::focusWidget(), panel.main.get());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(panel.Posted(), posted);
    QCOMPARE(QApplication::focusWidget()->objectName(), focus);
}

void TestCommandButtons::keysTypedInTheEditorPressNothing() {
    Panel panel(0, {{10, 10, 80, 30, 1, 65}});
    panel.main->SetEditMode(true);
    panel.main->SetEditMode(false);
    panel.editor->show();
    panel.editor->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(panel.editor.get()));
    panel.editor->NameEdit->setFocus();
    QTest::keyClick(panel.editor->NameEdit, Qt::Key_A);
    QCOMPARE(panel.Posted(), QList<int>{});
}

void TestCommandButtons::padButtonsPressLikeShortcuts_data() {
    QTest::addColumn<QString>("pad");
    QTest::addColumn<bool>("throughSdl"); // A on SDL's virtual pad instead of the fake
    QTest::addColumn<bool>("editMode");
    QTest::addColumn<bool>("modal"); // a modal window of the panel's is open
    QTest::addColumn<QList<int>>("posted");
    // CB_1 (motion 1, A), CB_2 (OFF, B), CB_3 (motion 2, A); CB_1 is the newest.
    QTest::newRow("A presses both, newest first")
        << "A" << false << false << false << QList<int>{1, 2};
    QTest::newRow("A on SDL's virtual pad") << "A" << true << false << false << QList<int>{1, 2};
    QTest::newRow("OFF button sends nothing") << "B" << false << false << false << QList<int>{};
    QTest::newRow("no match") << "X" << false << false << false << QList<int>{};
    QTest::newRow("edit mode presses nothing") << "A" << false << true << false << QList<int>{};
    QTest::newRow("modal window open presses nothing")
        << "A" << false << false << true << QList<int>{};
}

// The panel is not the active window: a pad has no keyboard focus.
void TestCommandButtons::padButtonsPressLikeShortcuts() {
    QFETCH(QString, pad);
    QFETCH(bool, throughSdl);
    QFETCH(bool, editMode);
    QFETCH(bool, modal);
    QFETCH(QList<int>, posted);
    Panel panel(0, {{10, 10, 80, 30, 1, -1}, {10, 50, 80, 30, -1, -1}, {10, 90, 80, 30, 2, -1}});
    panel.Button(1)->SetParam2("A");
    panel.Button(2)->SetParam2("B");
    panel.Button(3)->SetParam2("A");
    auto fake = std::make_unique<TFakePadInput>();
    TFakePadInput* pads = fake.get();
    SDL_Joystick* virtualPad = nullptr;
    if (throughSdl) {
        auto sdl = std::make_unique<TSdlPadInput>();
        const int index = AttachVirtualPad(true);
        sdl->Pump(); // a virtual pad arrives without a device node to watch
        virtualPad = OpenedVirtualPad(index);
        QVERIFY(virtualPad);
        panel.main->SetPadInput(std::move(sdl));
    } else {
        panel.main->SetPadInput(std::move(fake));
    }
    panel.main->SetEditMode(editMode);
    QWidget other;
    other.setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    if (virtualPad)
        SDL_JoystickSetVirtualButton(virtualPad, SDL_CONTROLLER_BUTTON_A, 1);
    else
        pads->Press(pad);
    QTRY_COMPARE(panel.Posted(), posted);
}

void TestCommandButtons::padFieldCapturesAndClears() {
    Panel panel(0, {{10, 10, 80, 30, 1, -1}});
    auto fake = std::make_unique<TFakePadInput>();
    TFakePadInput* pads = fake.get();
    panel.main->SetPadInput(std::move(fake));
    panel.main->SetEditMode(true);
    panel.main->SelectedButtonName = "CB_1";
    panel.editor->ShowButtonProperties();
    QLineEdit* field = panel.editor->PadEdit;
    QCOMPARE(field->text(), QString("OFF"));
    panel.editor->show();
    panel.editor->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(panel.editor.get()));
    // Elsewhere in the editor a pad button changes nothing.
    panel.editor->NameEdit->setFocus();
    pads->Press("Start");
    QCOMPARE(panel.Button(1)->Param2(), QString());
    field->setFocus();
    pads->Press("Start");
    QCOMPARE(panel.Button(1)->Param2(), QString("Start"));
    QCOMPARE(field->text(), QString("Start"));
    QCOMPARE(panel.Posted(), QList<int>{}); // edit mode: captured, not played
    QTest::mouseDClick(field, Qt::LeftButton);
    QCOMPARE(panel.Button(1)->Param2(), QString());
    QCOMPARE(field->text(), QString("OFF"));
    // A name this program does not know is shown as none.
    panel.Button(1)->SetParam2("Paddle9");
    panel.editor->ShowButtonProperties();
    QCOMPARE(field->text(), QString("OFF"));
}

void TestCommandButtons::holdEndsWhenThePanelLetsGo_data() {
    QTest::addColumn<bool>("byMouse"); // the hold starts with the mouse, else with the key A
    QTest::addColumn<QString>("ending");
    QTest::addColumn<QList<int>>("posted"); // after the ending and A's real release
    // CB_1 plays 4 and, when let go, 9; the stop key Escape plays 3.
    QTest::newRow("key up") << false << "keyUp" << QList<int>{4, 9};
    QTest::newRow("auto-repeat's up and down pairs are no release")
        << false << "autoRepeat" << QList<int>{4, 9};
    QTest::newRow("a modal window opens") << false << "modal" << QList<int>{4, 9};
    QTest::newRow("another window takes the keyboard") << false << "deactivate" << QList<int>{4, 9};
    QTest::newRow("edit mode comes on") << false << "editMode" << QList<int>{4, 9};
    QTest::newRow("the stop key: no release play") << false << "stopKey" << QList<int>{4, 3};
    QTest::newRow("mouse up away from the button") << true << "mouseUp" << QList<int>{4, 9};
    QTest::newRow("the stop key ends a mouse hold") << true << "stopKey" << QList<int>{4, 3};
}

void TestCommandButtons::holdEndsWhenThePanelLetsGo() {
    QFETCH(bool, byMouse);
    QFETCH(QString, ending);
    QFETCH(QList<int>, posted);
    Panel panel(0, {{10, 10, 80, 30, 4, 65, 0, 9}});
    panel.main->SetPanelStopKey(27);
    panel.main->SetPanelStopPlay(3);
    panel.main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(panel.main.get()));
    panel.main->setFocus();
    TColorBtn* button = panel.Button(1);
    if (byMouse)
        SendMouse(button, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, {5, 5});
    else
        QTest::keyPress(QApplication::focusWidget(), Qt::Key_A);
    QCOMPARE(panel.Posted(), QList<int>{4});
    QWidget* focus = QApplication::focusWidget();
    QWidget other;
    QDialog box(panel.main.get());
    if (ending == "keyUp") {
        QTest::keyRelease(focus, Qt::Key_A);
    } else if (ending == "autoRepeat") {
        for (QEvent::Type type : {QEvent::KeyRelease, QEvent::KeyPress}) {
            QKeyEvent pair(type, Qt::Key_A, Qt::NoModifier, "a", true);
            QApplication::sendEvent(focus, &pair);
        }
        QCOMPARE(panel.Posted(), QList<int>{4});
    } else if (ending == "modal") {
        box.setModal(true);
        box.show();
        QTRY_COMPARE(panel.Posted().size(), 2);
    } else if (ending == "deactivate") {
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
    } else if (ending == "editMode") {
        panel.main->SetEditMode(true);
    } else if (ending == "stopKey") {
        QTest::keyClick(focus, Qt::Key_Escape);
    } else if (ending == "mouseUp") {
        SendMouse(button, QEvent::MouseButtonRelease, Qt::LeftButton, {}, {500, 500});
    }
    // A key that comes up in another window is not heard.
    if (!byMouse && ending != "deactivate")
        QTest::keyRelease(focus, Qt::Key_A);
    QCOMPARE(panel.Posted(), posted);
    QVERIFY(panel.main->Presses().HeldButtons().isEmpty());
}

void TestCommandButtons::pressDuringASlowExchangeRunsAfterIt_data() {
    QTest::addColumn<bool>("keyDown");
    QTest::addColumn<QStringList>("played");
    const QString first = "rx F4 01 03 F8";
    // The later click replaces the earlier one.
    QTest::newRow("two clicks: the later one runs")
        << false << QStringList{first, "rx F4 01 01 F6"};
    // CB_1 and CB_2 share the key A; CB_1 is the newer.
    QTest::newRow("one key-down on two buttons: both run, the newer first")
        << true << QStringList{first, "rx F4 01 01 F6", "rx F4 01 02 F7"};
}

void TestCommandButtons::pressDuringASlowExchangeRunsAfterIt() {
    QFETCH(bool, keyDown);
    QFETCH(QStringList, played);
    Panel panel(3, {{10, 10, 80, 30, 1, 65}, {10, 50, 80, 30, 2, 65}, {10, 90, 80, 30, 3, -1}});
    SimulatorProcess board;
    QVERIFY2(board.Start(panel.dir.path(), 3, {"--delay", "150"}), qPrintable(board.ErrorString()));
    // Select COM3 again now that the board is there.
    panel.editor->CommPort->showPopup();
    panel.editor->CommPort->hidePopup();
    QCoreApplication::processEvents();
    QVERIFY(panel.main->CommX1->IsOpen());

    // While the first exchange waits for the board, more presses arrive.
    QTimer::singleShot(50, [&] {
        if (keyDown) {
            panel.main->DispatchShortcut(65);
            return;
        }
        panel.main->PressButton(panel.Button(2));
        panel.main->PressButton(panel.Button(1));
    });
    panel.main->PressButton(panel.Button(3));
    QVERIFY(board.WaitForTraffic(4 * played.size(), 5000));
    QTest::qWait(300); // one more exchange, had there been one, would have begun by now
    QStringList traffic;
    for (const QString& command : played)
        traffic << "rx 0D"
                << "tx 0D" << command << "tx 06";
    QCOMPARE(board.Traffic(), traffic);
}

QTEST_MAIN(TestCommandButtons)
#include "tst_commandbuttons.moc"
