// The panel's edit history and editing keys in the real program under the X server,
// driven from outside with xdotool as a user would: what the edits leave is read from the
// settings file written at exit, the panel from the screen and the clipboard with xclip.

#include "MotionEditorProcess.h"
#include "PanelProcess.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace panel_process;

namespace {

constexpr int ButtonFace = -2147483633; // the system colour, as stored

// A command button as the settings file holds it.
struct Stored {
    Stored(QByteArray caption = {}, int left = 0, int top = 0, int width = 80, int height = 30,
           int motion = 0, int shortCut = -1, int color = 255, QByteArray pad = {}, int repeat = 0,
           int release = -1)
        : caption(caption), left(left), top(top), width(width), height(height), motion(motion),
          shortCut(shortCut), color(color), pad(pad), repeat(repeat), release(release) {}

    QByteArray caption;
    int left;
    int top;
    int width;
    int height;
    int motion;
    int shortCut;
    int color;
    QByteArray pad;
    int repeat;
    int release;

    Stored at(int x, int y) const {
        Stored moved = *this;
        moved.left = x;
        moved.top = y;
        return moved;
    }
};

QByteArray Dec(int n) {
    return QByteArray::number(n);
}

QByteArray Section(int number, const Stored& b) {
    QByteArray text = "[Button" + Dec(number) + "]\r\nCaption=" + b.caption +
                      "\r\nTop=" + Dec(b.top) + "\r\nLeft=" + Dec(b.left) +
                      "\r\nWidth=" + Dec(b.width) + "\r\nHeight=" + Dec(b.height) +
                      "\r\nMotion=" + Dec(b.motion) + "\r\nShortCut=" + Dec(b.shortCut) +
                      "\r\nColor=" + Dec(b.color) + "\r\n";
    if (!b.pad.isEmpty())
        text += "Pad=" + b.pad + "\r\n";
    if (b.repeat != 0)
        text += "Repeat=" + Dec(b.repeat) + "\r\n";
    if (b.release != -1)
        text += "Release=" + Dec(b.release) + "\r\n";
    return text + "\r\n";
}

// Button1 first, the newest button, as the file lists them.
QByteArray Sections(const QList<Stored>& buttons) {
    QByteArray text;
    for (qsizetype i = 0; i < buttons.size(); ++i)
        text += Section(int(i) + 1, buttons[i]);
    return text;
}

// The settings file exactly as the program writes it. The panel stands clear of the
// property editor, which opens centred on the screen.
QByteArray Settings(const QList<Stored>& buttons) {
    return "[Form]\r\nComm=0\r\nCaption=Edit Panel\r\nTop=60\r\nLeft=800\r\nWidth=320\r\n"
           "Height=240\r\nColor=" +
           Dec(ButtonFace) + "\r\nBmpFile=\r\nButton=" + Dec(int(buttons.size())) + "\r\n\r\n" +
           Sections(buttons);
}

const QString Title = QStringLiteral("Edit Panel");
const QString PanelShown = QStringLiteral("Formのプロパティ");

QString Shown(const QString& caption) {
    return caption + QStringLiteral("のプロパティ");
}

// Menu items by the Down presses that reach them: separators and items that are off are
// passed over. Up from the top reaches the last item, リモート操作, and Up again the last
// item above it that is on: やり直し when there is something to redo, else 元に戻す when
// there is something to undo, else 終了.
const QStringList EditItem{"Down"};
const QStringList CreateItem{"Down", "Down"};
const QStringList DeleteItem{"Down", "Down", "Down"};
const QStringList OpenItem{"Down", "Down", "Down", "Down"};
const QStringList ExitItem{"Down", "Down", "Down", "Down", "Down", "Down"};
const QStringList LastItem{"Up", "Up"};
const QStringList SecondLastItem{"Up", "Up", "Up"};

const QPoint EmptySpot(290, 170);
const QPoint NameField(140, 10); // the property editor's caption field

// The client area's right and bottom edge, for places given from there: a negative place
// counts from the far edge.
QRect Placed(QRect r, QSize client) {
    if (r.x() < 0)
        r.moveLeft(client.width() + r.x());
    if (r.y() < 0)
        r.moveTop(client.height() + r.y());
    return r;
}

Stored WithGeometry(Stored b, const QRect& r) {
    b.left = r.x();
    b.top = r.y();
    b.width = r.width();
    b.height = r.height();
    return b;
}

bool WaitForTitle(const QString& window, const QString& title) {
    QElapsedTimer timer;
    timer.start();
    while (Run("xdotool", {"getwindowname", window}) != title) {
        if (timer.elapsed() > 20000) {
            qWarning("title %s, not %s", qPrintable(Run("xdotool", {"getwindowname", window})),
                     qPrintable(title));
            return false;
        }
        QTest::qWait(50);
    }
    return true;
}

QByteArray Clipboard() {
    QProcess xclip;
    xclip.start("xclip", {"-o", "-selection", "clipboard"});
    if (!xclip.waitForFinished(10000))
        return QByteArray();
    return xclip.readAllStandardOutput();
}

// The buttons of the copy tests: a full one with a key, a pad button and a hold, and a
// plain one.
const Stored Walk{"Walk", 10, 10, 80, 30, 4, 65, 255, "A", 200, 9};
const Stored Halt{"Halt", 120, 60, 60, 40, 2, -1, 65280};

// Places given from the far edges made real for a client area of that size.
QList<Stored> Resolved(QList<Stored> buttons, QSize client) {
    for (Stored& b : buttons)
        b = WithGeometry(b, Placed(QRect(b.left, b.top, b.width, b.height), client));
    return buttons;
}

} // namespace

Q_DECLARE_METATYPE(Stored)

class TestEditProcess : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void historyTakesEachStepBackAndForth_data();
    void historyTakesEachStepBackAndForth();
    void arrowKeysNudgeAndSize_data();
    void arrowKeysNudgeAndSize();
    void selectionEditsAsOne_data();
    void selectionEditsAsOne();
    void copiesGoThroughTheClipboard_data();
    void copiesGoThroughTheClipboard();

private:
    // Starts the program on the settings and closes the link's box.
    bool Start(const QByteArray& settings);
    bool Menu(const QStringList& keys, QPoint at = EmptySpot) {
        return ChooseFromPopup(m_window, at, 3, keys);
    }
    // From the menu's 編集; the editor appears or goes.
    bool SetEditMode(bool on);
    bool Keys(const QString& window, const QStringList& keys) {
        QStringList command{"key", "--delay", "30"};
        return Xdo({"windowfocus", "--sync", window}) && Xdo(command << keys);
    }
    // modifier: a key held down during the click ("ctrl").
    bool Click(const QString& window, QPoint at, const QString& modifier = {}, int count = 1);
    bool Drag(QPoint from, QPoint to);
    // The menu's 終了, and the settings file the program wrote as it ended.
    QByteArray ExitAndRead();
    // Writes a layout file and opens it from the menu's 開く, its name typed in the dialog.
    bool OpenLayout(const QByteArray& layout);
    // Owns the clipboard with the text, as another program would.
    bool OfferClipboard(const QByteArray& text);
    // Where the history test's new button shows on the panel: "made", "dragged", "none" or
    // "both".
    QString NewButtonShown(const QRect& made, const QRect& dragged) const;

    MotionEditorProcess m_motionEditor;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Panel> m_panel;
    QString m_window;
    QString m_editor;
    QSize m_client;
    QSize m_clientSize; // as every start has it
    QPoint m_frameFar;  // the frame's right and bottom thickness
    QProcess m_clipboardOwner;
};

void TestEditProcess::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QFAIL("needs an X server (run under xvfb-run)");
    QVERIFY2(QFile::exists(Program), qPrintable(Program));
    QVERIFY2(!QStandardPaths::findExecutable("xclip").isEmpty(), "needs xclip");
    QVERIFY2(m_motionEditor.Start(), qPrintable(m_motionEditor.ErrorString()));
    // The client area, which places at the far edge need; and the layouts here are as the
    // program writes them, byte for byte.
    QVERIFY(Start(Settings({})));
    m_clientSize = m_client;
    QCOMPARE(ExitAndRead(), Settings({}));
}

void TestEditProcess::cleanup() {
    if (m_panel && m_panel->IsRunning())
        m_panel->Kill();
    m_panel.reset();
    m_dir.reset();
    m_editor.clear();
    if (m_clipboardOwner.state() != QProcess::NotRunning) {
        m_clipboardOwner.kill();
        m_clipboardOwner.waitForFinished(5000);
    }
}

bool TestEditProcess::Start(const QByteArray& settings) {
    m_dir = std::make_unique<QTemporaryDir>();
    m_panel = std::make_unique<Panel>(m_dir->path());
    if (!m_panel->Start(settings))
        return false;
    m_window = WaitForWindow(Title);
    if (m_window.isEmpty() || !m_panel->AcknowledgeBox(QStringLiteral("情報")))
        return false;
    const QRect client = ClientOnScreen(m_window);
    const QRect frame = FrameOnScreen(m_window);
    m_client = client.size();
    m_frameFar = QPoint(frame.right() - client.right(), frame.bottom() - client.bottom());
    return m_client.isValid();
}

bool TestEditProcess::SetEditMode(bool on) {
    const QStringList before = VisibleWindows();
    if (!Menu(EditItem))
        return false;
    if (!on)
        return WaitForWindowUnmapped(m_editor);
    m_editor = WaitForNewWindow(before);
    return !m_editor.isEmpty();
}

bool TestEditProcess::Click(const QString& window, QPoint at, const QString& modifier, int count) {
    QStringList command{"mousemove", "--window", window, QString::number(at.x()),
                        QString::number(at.y())};
    if (!modifier.isEmpty())
        command << "keydown" << modifier;
    command << "click"
            << "--repeat" << QString::number(count) << "--delay"
            << "50"
            << "1";
    if (!modifier.isEmpty())
        command << "keyup" << modifier;
    return Xdo(command);
}

// Over the spot first, so the button under it chooses its zone, then down, across in two
// moves and up.
bool TestEditProcess::Drag(QPoint from, QPoint to) {
    auto move = [this](QPoint at) {
        return Xdo(
            {"mousemove", "--window", m_window, QString::number(at.x()), QString::number(at.y())});
    };
    return move(from) && Xdo({"mousedown", "1"}) && move((from + to) / 2) && move(to) &&
           Xdo({"mouseup", "1"});
}

QByteArray TestEditProcess::ExitAndRead() {
    if (!Menu(ExitItem) || !m_panel->WaitForExit())
        return QByteArray();
    return ReadAll(m_panel->SettingsPath());
}

bool TestEditProcess::OpenLayout(const QByteArray& layout) {
    const QString fileName = m_dir->filePath("other.vmd");
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(layout) != layout.size())
        return false;
    file.close();
    const QStringList before = VisibleWindows();
    if (!Menu(OpenItem))
        return false;
    const QString dialog = WaitForNewWindow(before);
    if (dialog.isEmpty() || !Keys(dialog, {"ctrl+a"}) || !Xdo({"type", "--delay", "10", fileName}))
        return false;
    // A first Return may only close the name completion's list.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!Xdo({"key", "Return"}))
            return false;
        if (WaitForWindowUnmapped(dialog, 3000))
            return true;
    }
    return false;
}

bool TestEditProcess::OfferClipboard(const QByteArray& text) {
    m_clipboardOwner.start("xclip", {"-i", "-selection", "clipboard", "-quiet"});
    if (!m_clipboardOwner.waitForStarted())
        return false;
    m_clipboardOwner.write(text);
    m_clipboardOwner.closeWriteChannel();
    QElapsedTimer timer;
    timer.start();
    while (Clipboard() != text) {
        if (timer.elapsed() > 20000)
            return false;
        QTest::qWait(50);
    }
    return true;
}

QString TestEditProcess::NewButtonShown(const QRect& made, const QRect& dragged) const {
    const QImage shot =
        QGuiApplication::primaryScreen()->grabWindow(m_window.toULongLong()).toImage();
    // Nothing but the panel's face where no button is.
    const QRgb face = shot.pixel(EmptySpot);
    auto blank = [&](const QRect& r) {
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                if (shot.pixel(x, y) != face)
                    return false;
            }
        }
        return true;
    };
    const bool atMade = !blank(made);
    const bool atDragged = !blank(dragged);
    return atMade && atDragged ? "both" : atMade ? "made" : atDragged ? "dragged" : "none";
}

// --- the history -------------------------------------------------------------------------

void TestEditProcess::historyTakesEachStepBackAndForth_data() {
    QTest::addColumn<bool>("deleteKey"); // the Delete key, else the menu's 削除
    QTest::addColumn<QString>("undoIn"); // Ctrl+Z in "panel" or "editor", or "menu"
    QTest::addColumn<QString>("redoBy"); // the keys, or "menu"
    QTest::addColumn<int>("redos");
    QTest::newRow("Ctrl+Z in the panel, nothing redone") << false << "panel"
                                                         << "ctrl+y" << 0;
    QTest::newRow("Ctrl+Z in the editor, Ctrl+Y: the new button") << true << "editor"
                                                                  << "ctrl+y" << 1;
    QTest::newRow("menu, Ctrl+Y twice: the new button dragged") << false << "menu"
                                                                << "ctrl+y" << 2;
    QTest::newRow("Ctrl+Z, Ctrl+Shift+Z three times: its caption") << true << "panel"
                                                                   << "ctrl+shift+z" << 3;
    QTest::newRow("menu both ways, all redone") << true << "menu"
                                                << "menu" << 4;
}

// Create, drag, caption and delete, then four undos and some redos. After each, the
// editor's title names the selected button and the new button shows where it should.
void TestEditProcess::historyTakesEachStepBackAndForth() {
    QFETCH(bool, deleteKey);
    QFETCH(QString, undoIn);
    QFETCH(QString, redoBy);
    QFETCH(int, redos);
    const Stored walk{"Walk", 10, 10};
    const QByteArray original = Settings({walk});
    QVERIFY(Start(original));
    QVERIFY(SetEditMode(true));

    const QPoint createAt(100, 100);
    QVERIFY(Menu(CreateItem, createAt));
    QVERIFY(WaitForTitle(m_editor, Shown("Button2")));
    // The corner lands by the frame's far sides before the pointer.
    const QRect created(createAt - m_frameFar, QSize(80, 30));
    const QRect dragged = created.translated(40, 30);
    QTRY_COMPARE_WITH_TIMEOUT(NewButtonShown(created, dragged), QString("made"), 20000);
    QVERIFY(Drag(created.center(), dragged.center()));
    QTRY_COMPARE_WITH_TIMEOUT(NewButtonShown(created, dragged), QString("dragged"), 20000);
    QVERIFY(Click(m_editor, NameField));
    QVERIFY(Keys(m_editor, {"ctrl+a", "H", "o", "p"}));
    if (deleteKey)
        QVERIFY(Keys(m_window, {"Delete"}));
    else
        QVERIFY(Menu(DeleteItem, dragged.center()));
    QVERIFY(WaitForTitle(m_editor, PanelShown));
    QTRY_COMPARE_WITH_TIMEOUT(NewButtonShown(created, dragged), QString("none"), 20000);

    struct Step {
        QString title;
        QString shown;
    };
    const QList<Step> undone{{Shown("Hop"), "dragged"},
                             {Shown("Button2"), "dragged"},
                             {Shown("Button2"), "made"},
                             {PanelShown, "none"}};
    for (qsizetype i = 0; i < undone.size(); ++i) {
        if (undoIn == "menu")
            QVERIFY(Menu(i == 0 ? LastItem : SecondLastItem));
        else
            QVERIFY(Keys(undoIn == "panel" ? m_window : m_editor, {"ctrl+z"}));
        QVERIFY2(WaitForTitle(m_editor, undone[i].title), qPrintable(QString::number(i + 1)));
        QTRY_COMPARE_WITH_TIMEOUT(NewButtonShown(created, dragged), undone[i].shown, 20000);
    }
    const QList<Step> redone{{Shown("Button2"), "made"},
                             {Shown("Button2"), "dragged"},
                             {Shown("Hop"), "dragged"},
                             {PanelShown, "none"}};
    for (int i = 0; i < redos; ++i) {
        if (redoBy == "menu")
            QVERIFY(Menu(LastItem));
        else
            QVERIFY(Keys(m_window, {redoBy}));
        QVERIFY2(WaitForTitle(m_editor, redone[i].title), qPrintable(QString::number(i + 1)));
        QTRY_COMPARE_WITH_TIMEOUT(NewButtonShown(created, dragged), redone[i].shown, 20000);
    }

    // A new button plays nothing and has the face colour.
    const Stored fresh{"Button2", created.x(), created.y(), 80, 30, -1, -1, ButtonFace};
    const QList<QByteArray> files{
        original, Settings({fresh, walk}), Settings({fresh.at(dragged.x(), dragged.y()), walk}),
        Settings({Stored{"Hop", dragged.x(), dragged.y(), 80, 30, -1, -1, ButtonFace}, walk}),
        original};
    QByteArray saved;
    if (redos == 4) {
        // Outside edit mode both items are off: the last one on is 終了.
        QVERIFY(SetEditMode(false));
        QVERIFY(Menu(LastItem));
        QVERIFY(m_panel->WaitForExit());
        saved = ReadAll(m_panel->SettingsPath());
    } else {
        saved = ExitAndRead();
    }
    QCOMPARE(saved, files[redos]);
}

// --- arrow keys --------------------------------------------------------------------------

void TestEditProcess::arrowKeysNudgeAndSize_data() {
    QTest::addColumn<QRect>("start"); // negative places count from the far edge
    QTest::addColumn<bool>("edit");
    QTest::addColumn<bool>("select");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QRect>("expected");
    QTest::addColumn<int>("plays"); // of the button, whose shortcut is Left
    const QRect middle(100, 80, 80, 30);
    QTest::newRow("by 1, with Shift by 10")
        << middle << true << true << QStringList{"Right", "Down", "shift+Left", "shift+Up"}
        << QRect(91, 71, 80, 30) << 0;
    QTest::newRow("Ctrl sizes by 1, with Shift by 10")
        << middle << true << true
        << QStringList{"ctrl+Right", "ctrl+Right", "ctrl+Left", "ctrl+shift+Down"}
        << QRect(100, 80, 81, 40) << 0;
    QTest::newRow("kept inside at the top left")
        << QRect(3, 4, 80, 30) << true << true << QStringList{"shift+Left", "shift+Up"}
        << QRect(0, 0, 80, 30) << 0;
    QTest::newRow("kept inside at the bottom right")
        << QRect(-85, -34, 80, 30) << true << true << QStringList{"shift+Right", "shift+Down"}
        << QRect(-80, -30, 80, 30) << 0;
    QTest::newRow("at least 10 by 10")
        << QRect(100, 80, 12, 11) << true << true
        << QStringList{"ctrl+shift+Left", "ctrl+shift+Up", "ctrl+Left"} << QRect(100, 80, 10, 10)
        << 0;
    QTest::newRow("grows up to the far edge")
        << QRect(-85, -34, 80, 30) << true << true
        << QStringList{"ctrl+shift+Right", "ctrl+shift+Down"} << QRect(-85, -34, 85, 34) << 0;
    QTest::newRow("each nudge a step of its own")
        << middle << true << true << QStringList{"Right", "shift+Down", "ctrl+z"}
        << QRect(101, 80, 80, 30) << 0;
    QTest::newRow("nothing selected, nothing moves")
        << middle << true << false << QStringList{"Left", "ctrl+Down"} << middle << 0;
    QTest::newRow("outside edit mode the shortcut plays")
        << middle << false << false << QStringList{"Left"} << middle << 1;
}

void TestEditProcess::arrowKeysNudgeAndSize() {
    QFETCH(QRect, start);
    QFETCH(bool, edit);
    QFETCH(bool, select);
    QFETCH(QStringList, keys);
    QFETCH(QRect, expected);
    QFETCH(int, plays);
    const QSize client = m_clientSize;
    const Stored button = WithGeometry({"Hop", 0, 0, 0, 0, 0, 37}, Placed(start, client));
    QVERIFY(Start(Settings({button})));
    QCOMPARE(m_client, client);
    if (edit)
        QVERIFY(SetEditMode(true));
    if (select) {
        QVERIFY(Click(m_window, QPoint(button.left + 5, button.top + 5)));
        QVERIFY(WaitForTitle(m_editor, Shown("Hop")));
    }
    const int playsBefore = int(m_motionEditor.Lines().size());
    QVERIFY(Keys(m_window, keys));
    if (plays > 0) {
        QVERIFY(m_motionEditor.WaitForLines(playsBefore + plays, 20000));
        QCOMPARE(m_motionEditor.Lines().mid(playsBefore), QStringList{"Motion1 (0)"});
    }
    const QByteArray saved = ExitAndRead();
    QCOMPARE(saved, Settings({WithGeometry(button, Placed(expected, client))}));
    QCOMPARE(int(m_motionEditor.Lines().size()), playsBefore + plays);
}

// --- several buttons ---------------------------------------------------------------------

namespace {
const Stored One{"One", 10, 10};
const Stored Two{"Two", 110, 10};
const Stored Three{"Three", 10, 100};
} // namespace

void TestEditProcess::selectionEditsAsOne_data() {
    QTest::addColumn<QStringList>("script"); // click, ctrl+click, drag, band and keys
    QTest::addColumn<QList<Stored>>("expected");
    QTest::newRow("Ctrl+click two, drag one: both move")
        << QStringList{"click One", "ctrl+click Two", "drag One 30 40"}
        << QList<Stored>{Three, Two.at(140, 50), One.at(40, 50)};
    QTest::newRow("Ctrl+click again takes it out")
        << QStringList{"click One", "ctrl+click Two", "ctrl+click One", "key Delete"}
        << QList<Stored>{Three, One};
    QTest::newRow("a band selects every button it touches")
        << QStringList{"band 5 60 120 35", "key Delete"} << QList<Stored>{Three};
    // The editor shows the newest of the band's buttons, and again once the undo has
    // brought them back selected.
    QTest::newRow("one undo brings all deleted back")
        << QStringList{"band 5 60 120 35", "title Two",  "key Delete",
                       "title Form",       "key ctrl+z", "title Two"}
        << QList<Stored>{Three, Two, One};
    QTest::newRow("opening a layout") << QStringList{"open", "title Form"} << QList<Stored>{Halt};
    QTest::newRow("opening a layout is a step")
        << QStringList{"open", "key ctrl+z"} << QList<Stored>{Three, Two, One};
    // Ctrl+Z in the caption field takes back its own typing first; the next Ctrl+Z is the
    // panel's, and takes back the edit before the caption.
    QTest::newRow("the caption field's own undo first")
        << QStringList{"click One", "key Right", "caption Hop", "editor-key ctrl+z",
                       "editor-key ctrl+z"}
        << QList<Stored>{Three, Two, One};
    QTest::newRow("dragged past the edge, kept inside together")
        << QStringList{"click One", "ctrl+click Three", "drag One -50 -50"}
        << QList<Stored>{Three.at(0, 90), Two, One.at(0, 0)};
}

void TestEditProcess::selectionEditsAsOne() {
    QFETCH(QStringList, script);
    QFETCH(QList<Stored>, expected);
    const QList<Stored> buttons{Three, Two, One};
    QVERIFY(Start(Settings(buttons)));
    QVERIFY(SetEditMode(true));
    auto centre = [&](const QString& caption) {
        for (const Stored& b : buttons) {
            if (b.caption == caption.toUtf8())
                return QPoint(b.left + b.width / 2, b.top + b.height / 2);
        }
        return QPoint();
    };
    for (const QString& line : std::as_const(script)) {
        const QStringList words = line.split(' ');
        const QString& verb = words[0];
        if (verb == "click" || verb == "ctrl+click") {
            QVERIFY(Click(m_window, centre(words[1]), verb == "click" ? QString() : "ctrl"));
        } else if (verb == "drag") {
            const QPoint from = centre(words[1]);
            QVERIFY(Drag(from, from + QPoint(words[2].toInt(), words[3].toInt())));
        } else if (verb == "band") {
            QVERIFY(Drag(QPoint(words[1].toInt(), words[2].toInt()),
                         QPoint(words[3].toInt(), words[4].toInt())));
        } else if (verb == "title") {
            QVERIFY(WaitForTitle(m_editor, Shown(words[1])));
        } else if (verb == "open") {
            QVERIFY(OpenLayout(Settings({Halt})));
        } else if (verb == "caption") {
            QVERIFY(Click(m_editor, NameField));
            QVERIFY(Keys(m_editor, {"ctrl+a"}));
            QVERIFY(Xdo({"type", "--delay", "30", words[1]}));
        } else if (verb == "editor-key") {
            QVERIFY(Keys(m_editor, {words[1]}));
        } else {
            QVERIFY(Keys(m_window, {words[1]}));
        }
    }
    QCOMPARE(ExitAndRead(), Settings(expected));
}

// --- duplicates and the clipboard -------------------------------------------------------

void TestEditProcess::copiesGoThroughTheClipboard_data() {
    QTest::addColumn<bool>("edit");
    QTest::addColumn<QStringList>("select"); // clicked in edit mode, the first without Ctrl
    QTest::addColumn<QByteArray>("offered"); // put on the clipboard first
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QByteArray>("clipboard"); // after the keys, as the program gives it
    QTest::addColumn<QList<Stored>>("expected");
    // A copy of Walk without its key and pad button, 10 right and below.
    const Stored walkCopy{"Walk", 20, 20, 80, 30, 4, -1, 255, {}, 200, 9};
    const QByteArray marker = "not buttons\n";
    QTest::newRow("Ctrl+D: a copy, without key and pad button")
        << true << QStringList{"Walk"} << marker << QStringList{"ctrl+d"} << marker
        << QList<Stored>{walkCopy, Halt, Walk};
    QTest::newRow("Ctrl+D of two, then both copies selected")
        << true << QStringList{"Walk", "Halt"} << marker << QStringList{"ctrl+d", "Right"} << marker
        << QList<Stored>{Halt.at(131, 70), walkCopy.at(21, 20), Halt, Walk};
    QTest::newRow("Ctrl+C: layout text")
        << true << QStringList{"Halt", "Walk"} << marker << QStringList{"ctrl+c"}
        << Sections({Halt, Walk}) << QList<Stored>{Halt, Walk};
    QTest::newRow("Ctrl+X: copied and gone")
        << true << QStringList{"Walk"} << marker << QStringList{"ctrl+x"} << Sections({Walk})
        << QList<Stored>{Halt};
    // Pasted in the order a load makes them, each at its place, kept inside; both selected
    // after.
    // As another program would give it: plain line feeds, UTF-8.
    const QByteArray two = "[Button1]\nCaption=前進\nTop=1000\nLeft=1000\nWidth=50\nHeight=20\n"
                           "Motion=7\nColor=0\n\n[Button2]\nCaption=Back\nTop=100\nLeft=150\n"
                           "Motion=3\nShortCut=66\nRelease=5\n";
    QTest::newRow("Ctrl+V: at their places, kept inside, selected")
        << true << QStringList{"Walk"} << two << QStringList{"ctrl+v", "Left"} << two
        << QList<Stored>{{"\x91\x4f\x90\x69", -51, -20, 50, 20, 7, -1, 0},
                         {"Back", 149, 100, 80, 30, 3, 66, ButtonFace, {}, 0, 5},
                         Halt,
                         Walk};
    QTest::newRow("Ctrl+V of text without buttons: nothing")
        << true << QStringList{"Walk"} << QByteArray("[Form]\r\nCaption=Other\r\nButton=0\r\n")
        << QStringList{"ctrl+v"} << QByteArray("[Form]\r\nCaption=Other\r\nButton=0\r\n")
        << QList<Stored>{Halt, Walk};
    QTest::newRow("outside edit mode: nothing")
        << false << QStringList{"Walk"} << Sections({Halt})
        << QStringList{"ctrl+d", "ctrl+c", "ctrl+v", "ctrl+x", "Delete"} << Sections({Halt})
        << QList<Stored>{Halt, Walk};
}

void TestEditProcess::copiesGoThroughTheClipboard() {
    QFETCH(bool, edit);
    QFETCH(QStringList, select);
    QFETCH(QByteArray, offered);
    QFETCH(QStringList, keys);
    QFETCH(QByteArray, clipboard);
    QFETCH(QList<Stored>, expected);
    const QList<Stored> buttons{Halt, Walk};
    QVERIFY(Start(Settings(buttons)));
    QVERIFY(OfferClipboard(offered));
    QVERIFY(SetEditMode(true));
    for (qsizetype i = 0; i < select.size(); ++i) {
        const Stored& b = select[i] == "Walk" ? Walk : Halt;
        QVERIFY(Click(m_window, QPoint(b.left + 5, b.top + 5), i == 0 ? QString() : "ctrl"));
    }
    QVERIFY(WaitForTitle(m_editor, Shown(select.back())));
    if (!edit) {
        // Out from a right click on the button, which keeps it selected.
        const Stored& b = select.back() == "Walk" ? Walk : Halt;
        QVERIFY(Menu(EditItem, QPoint(b.left + 5, b.top + 5)));
        QVERIFY(WaitForWindowUnmapped(m_editor));
    }
    QVERIFY(Keys(m_window, keys));
    // A copy is on the clipboard while the program runs; what was offered stays with the
    // owner that offered it, also when the program has ended.
    if (clipboard != offered)
        QTRY_COMPARE_WITH_TIMEOUT(Clipboard(), clipboard, 20000);
    const QByteArray saved = ExitAndRead();
    QCOMPARE(saved, Settings(Resolved(expected, m_clientSize)));
    if (clipboard == offered)
        QCOMPARE(Clipboard(), offered);
}

QTEST_MAIN(TestEditProcess)
#include "tst_edit_process.moc"
