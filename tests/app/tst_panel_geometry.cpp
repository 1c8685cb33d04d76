// The panel's outer geometry on the screen and in the settings file, across starts and
// changes made by others. Runs on a bare X server and under a window manager, where the
// frame makes the outside of the window differ from its inside.
#include "PanelProcess.h"

#include <QRect>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace panel_process;

namespace {

const QString Title = QStringLiteral("Geometry Panel");
const QRect Stored(160, 120, 400, 260);

QByteArray Settings() {
    return "[Form]\r\nCaption=" + Title.toUtf8() + "\r\nTop=" + QByteArray::number(Stored.y()) +
           "\r\nLeft=" + QByteArray::number(Stored.x()) +
           "\r\nWidth=" + QByteArray::number(Stored.width()) +
           "\r\nHeight=" + QByteArray::number(Stored.height()) + "\r\n";
}

bool WindowManagerRuns() {
    return Run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id");
}

// Asks the window manager through EWMH client messages.
bool Wmctrl(const QString& window, const QStringList& arguments) {
    QProcess process;
    process.start("wmctrl", QStringList{"-i", "-r", window} + arguments);
    if (process.waitForFinished(10000) && process.exitCode() == 0)
        return true;
    qWarning("wmctrl %s: %s", qPrintable(arguments.join(' ')),
             process.readAllStandardError().constData());
    return false;
}

QRect StoredGeometry(const QString& settingsPath) {
    const QString text = QString::fromUtf8(ReadAll(settingsPath));
    auto key = [&](const char* name) {
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("^%1=(-?\\d+)\\r$").arg(QLatin1String(name)),
                               QRegularExpression::MultilineOption)
                .match(text);
        return match.hasMatch() ? match.captured(1).toInt() : -1;
    };
    return QRect(key("Left"), key("Top"), key("Width"), key("Height"));
}

// Polls until the frame is as wanted; the last frame seen otherwise.
QRect WaitForFrame(const QString& window, const std::function<bool(const QRect&)>& wanted) {
    QElapsedTimer timer;
    timer.start();
    QRect frame = FrameOnScreen(window);
    while (!wanted(frame) && timer.elapsed() < 10000) {
        QTest::qWait(50);
        frame = FrameOnScreen(window);
    }
    return frame;
}

// Starts the panel and waits for its window after the link selection's box.
QString StartPanel(Panel& panel, const QByteArray& settings) {
    if (!panel.Start(settings) || !panel.AcknowledgeBox(QStringLiteral("情報")))
        return QString();
    return WaitForWindow(Title);
}

} // namespace

class TestPanelGeometry : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void restartsKeepTheGeometry();
    void changesByOthersStayAndAreStored_data();
    void changesByOthersStayAndAreStored();
};

void TestPanelGeometry::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QFAIL("needs an X server (run under with_display.sh)");
    QVERIFY2(QFile::exists(Program), qPrintable(Program));
    qInfo("window manager: %s", WindowManagerRuns() ? "yes" : "none");
}

void TestPanelGeometry::restartsKeepTheGeometry() {
    QTemporaryDir dir;
    QByteArray settings = Settings();
    for (int start = 1; start <= 3; ++start) {
        Panel panel(dir.path());
        const QString window = StartPanel(panel, settings);
        QVERIFY2(!window.isEmpty(), qPrintable(QString("start %1").arg(start)));
        QCOMPARE(WaitForFrame(window, [](const QRect& frame) { return frame == Stored; }), Stored);
        QVERIFY(panel.Terminate());
        QCOMPARE(StoredGeometry(panel.SettingsPath()), Stored);
        settings = QByteArray(); // the next start reads what this one wrote
    }
}

void TestPanelGeometry::changesByOthersStayAndAreStored_data() {
    QTest::addColumn<bool>("maximise");
    // Maximised by the window manager; without one, a program asks for the whole screen.
    QTest::newRow("maximise") << true;
    // By the window manager's move and resize request, or a program's own without one.
    QTest::newRow("move and resize") << false;
}

void TestPanelGeometry::changesByOthersStayAndAreStored() {
    QFETCH(bool, maximise);
    const QStringList screenSize = Run("xdotool", {"getdisplaygeometry"}).split(' ');
    QCOMPARE(screenSize.size(), 2);
    const QRect screen(0, 0, screenSize[0].toInt(), screenSize[1].toInt());
    const QSize asked(500, 350);

    QTemporaryDir dir;
    Panel panel(dir.path());
    const QString window = StartPanel(panel, Settings());
    QVERIFY(!window.isEmpty());
    QCOMPARE(WaitForFrame(window, [](const QRect& frame) { return frame == Stored; }), Stored);

    const bool managed = WindowManagerRuns();
    if (maximise && managed)
        QVERIFY(Wmctrl(window, {"-b", "add,maximized_vert,maximized_horz"}));
    else if (maximise)
        QVERIFY(Xdo({"windowmove", "--sync", window, "0", "0", "windowsize", "--sync", window,
                     QString::number(screen.width()), QString::number(screen.height())}));
    else if (managed)
        QVERIFY(Wmctrl(
            window,
            {"-e", QStringLiteral("0,300,200,%1,%2").arg(asked.width()).arg(asked.height())}));
    else
        QVERIFY(Xdo({"windowmove", "--sync", window, "300", "200", "windowsize", "--sync", window,
                     QString::number(asked.width()), QString::number(asked.height())}));

    auto changed = [&](const QRect& frame) {
        return maximise ? frame == screen
                        : frame != Stored && ClientOnScreen(window).size() == asked;
    };
    QRect frame = WaitForFrame(window, changed);
    QVERIFY2(changed(frame), qPrintable(QString("frame %1,%2 %3x%4")
                                            .arg(frame.x())
                                            .arg(frame.y())
                                            .arg(frame.width())
                                            .arg(frame.height())));
    // The panel does not take the change back.
    QTest::qWait(500);
    QCOMPARE(FrameOnScreen(window), frame);

    QVERIFY(panel.Terminate());
    QCOMPARE(StoredGeometry(panel.SettingsPath()), frame);
}

QTEST_GUILESS_MAIN(TestPanelGeometry)
#include "tst_panel_geometry.moc"
