#include "MotionEditorProcess.h"
#include "XlibWindowSystem.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <array>
#include <climits>

namespace {
const QString ClassName = QStringLiteral("TPosewright3");
const QString Title = QStringLiteral("Motion editor stand-in");

// Position in the enumeration, -1 when absent.
qsizetype IndexOf(const std::vector<TWindowHandle>& windows, TWindowHandle window) {
    const auto found = std::find(windows.begin(), windows.end(), window);
    return found == windows.end() ? -1 : found - windows.begin();
}

QStringList FileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}
} // namespace

// Runs without Qt's X11 platform: an X error that escaped the layer's own handler would
// reach Xlib's default one and end the test.
class TstXlibWindowSystem : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void describesStandIn_data();
    void describesStandIn();
    void postArrivesAtStandIn_data();
    void postArrivesAtStandIn();
    void standInIgnoresOtherMessages();
    void upperWindowComesFirst();
    void destroyedWindowReadsEmpty();
    void windowsVanishDuringWalk();
    void bogusWindow_data();
    void bogusWindow();
    void withoutDisplay();

private:
    TXlibWindowSystem m_windows;
    QTemporaryDir m_dir;
    MotionEditorProcess m_receiver; // the target of the posts, for the whole run
    QString m_logPath;
};

void TstXlibWindowSystem::initTestCase() {
    if (!m_windows.IsConnected())
        QSKIP("no X display");
    QVERIFY(m_dir.isValid());
    m_logPath = m_dir.filePath("plays.log");
    QVERIFY2(m_receiver.Start({"--log", m_logPath}), qPrintable(m_receiver.ErrorString()));
}

void TstXlibWindowSystem::describesStandIn_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<QString>("title");
    QTest::newRow("shown") << QStringList{} << true << Title;
    QTest::newRow("hidden") << QStringList{"--hidden"} << false << Title;
    QTest::newRow("empty title") << QStringList{"--empty-title"} << true << QString();
    QTest::newRow("hidden, empty title")
        << QStringList{"--hidden", "--empty-title"} << false << QString();
}

void TstXlibWindowSystem::describesStandIn() {
    QFETCH(QStringList, options);
    QFETCH(bool, visible);
    QFETCH(QString, title);
    MotionEditorProcess standIn;
    QVERIFY2(standIn.Start(options), qPrintable(standIn.ErrorString()));
    const TWindowHandle window = standIn.Window();
    QVERIFY(IndexOf(m_windows.EnumWindows(), window) >= 0);
    QCOMPARE(m_windows.IsWindowVisible(window), visible);
    QCOMPARE(m_windows.GetWindowText(window), title);
    QCOMPARE(m_windows.GetClassName(window), ClassName);
}

void TstXlibWindowSystem::postArrivesAtStandIn_data() {
    QTest::addColumn<qint32>("playNumber");
    QTest::addColumn<QString>("line");
    QTest::newRow("scenario 5") << 84 << "Scenario5 (84)";
    QTest::newRow("motion 1") << 0 << "Motion1 (0)";
    QTest::newRow("motion 80") << 79 << "Motion80 (79)";
    QTest::newRow("scenario 1") << 80 << "Scenario1 (80)";
    QTest::newRow("past the scenarios") << 85 << "85";
    QTest::newRow("off") << -1 << "-1";
    QTest::newRow("lowest") << INT_MIN << "-2147483648";
    QTest::newRow("highest") << INT_MAX << "2147483647";
}

void TstXlibWindowSystem::postArrivesAtStandIn() {
    QFETCH(qint32, playNumber);
    QFETCH(QString, line);
    const qsizetype before = m_receiver.Lines().size();
    QVERIFY(m_windows.PostMessage(m_receiver.Window(), WM_APP, 0, playNumber));
    QVERIFY(m_receiver.WaitForLines(int(before) + 1));
    QCOMPARE(m_receiver.Lines().size(), before + 1);
    QCOMPARE(m_receiver.Lines().last(), line);
    QCOMPARE(FileLines(m_logPath).value(before), line);
}

void TstXlibWindowSystem::standInIgnoresOtherMessages() {
    const qsizetype before = m_receiver.Lines().size();
    // Posts arrive in order: once the second is written, the first has been handled.
    QVERIFY(m_windows.PostMessage(m_receiver.Window(), WM_APP + 100, 0, 5));
    QVERIFY(m_windows.PostMessage(m_receiver.Window(), WM_APP, 0, 6));
    QVERIFY(m_receiver.WaitForLines(int(before) + 1));
    QCOMPARE(m_receiver.Lines().mid(before), QStringList{"Motion7 (6)"});
}

void TstXlibWindowSystem::upperWindowComesFirst() {
    MotionEditorProcess lower;
    MotionEditorProcess upper;
    QVERIFY2(lower.Start(), qPrintable(lower.ErrorString()));
    QVERIFY2(upper.Start(), qPrintable(upper.ErrorString()));
    // A new window goes on top of its siblings.
    std::vector<TWindowHandle> windows = m_windows.EnumWindows();
    QVERIFY(IndexOf(windows, upper.Window()) >= 0);
    QVERIFY(IndexOf(windows, upper.Window()) < IndexOf(windows, lower.Window()));

    const QString xdotool = QStandardPaths::findExecutable("xdotool");
    if (xdotool.isEmpty())
        QSKIP("xdotool is needed to restack windows");
    QCOMPARE(QProcess::execute(xdotool, {"windowraise", QString::number(lower.Window())}), 0);
    QTRY_VERIFY_WITH_TIMEOUT((windows = m_windows.EnumWindows(),
                              IndexOf(windows, lower.Window()) < IndexOf(windows, upper.Window())),
                             30000);
}

void TstXlibWindowSystem::destroyedWindowReadsEmpty() {
    MotionEditorProcess standIn;
    QVERIFY2(standIn.Start(), qPrintable(standIn.ErrorString()));
    const TWindowHandle window = standIn.Window();
    QCOMPARE(m_windows.GetClassName(window), ClassName);
    standIn.Stop();
    QTRY_COMPARE_WITH_TIMEOUT(IndexOf(m_windows.EnumWindows(), window), -1, 30000);
    QCOMPARE(m_windows.IsWindowVisible(window), false);
    QCOMPARE(m_windows.GetWindowText(window), QString());
    QCOMPARE(m_windows.GetClassName(window), QString());
    QCOMPARE(m_windows.PostMessage(window, WM_APP, 0, 84), false);
}

void TstXlibWindowSystem::windowsVanishDuringWalk() {
    std::array<MotionEditorProcess, 4> standIns;
    std::vector<TWindowHandle> theirs;
    for (MotionEditorProcess& standIn : standIns) {
        QVERIFY2(standIn.Start(), qPrintable(standIn.ErrorString()));
        theirs.push_back(standIn.Window());
    }
    for (MotionEditorProcess& standIn : standIns)
        standIn.Terminate();
    // Walk and read every window while the stand-ins go away; a window that is gone by
    // the time it is read gives nothing, and the walk goes on.
    const QDeadlineTimer deadline(60000);
    bool anyListed = true;
    while (anyListed && !deadline.hasExpired()) {
        const std::vector<TWindowHandle> windows = m_windows.EnumWindows();
        for (const TWindowHandle window : windows) {
            const QString className = m_windows.GetClassName(window);
            m_windows.GetWindowText(window);
            m_windows.IsWindowVisible(window);
            if (IndexOf(theirs, window) >= 0)
                QVERIFY(className == ClassName || className.isEmpty());
        }
        anyListed = std::any_of(theirs.begin(), theirs.end(), [&](TWindowHandle window) {
            return IndexOf(windows, window) >= 0;
        });
    }
    QVERIFY(!anyListed);
    QVERIFY(m_windows.GetClassName(m_receiver.Window()) == ClassName);
}

void TstXlibWindowSystem::bogusWindow_data() {
    QTest::addColumn<TWindowHandle>("window");
    QTest::newRow("unused id") << TWindowHandle(0x7fffffff);
    QTest::newRow("zero") << TWindowHandle(0);
    QTest::newRow("none") << NoWindow;
    // Cut to 32 bits, it would name a live window.
    QTest::newRow("beyond 32 bits") << (TWindowHandle(1) << 40 | m_receiver.Window());
}

void TstXlibWindowSystem::bogusWindow() {
    QFETCH(TWindowHandle, window);
    QCOMPARE(m_windows.IsWindowVisible(window), false);
    QCOMPARE(m_windows.GetWindowText(window), QString());
    QCOMPARE(m_windows.GetClassName(window), QString());
    QCOMPARE(m_windows.PostMessage(window, WM_APP, 0, 84), false);
    // The connection goes on working.
    QVERIFY(IndexOf(m_windows.EnumWindows(), m_receiver.Window()) >= 0);
}

void TstXlibWindowSystem::withoutDisplay() {
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":9999");
    const std::unique_ptr<IWindowSystem> windows = CreateWindowSystem();
    qputenv("DISPLAY", display);
    QVERIFY(windows->EnumWindows().empty());
    QCOMPARE(windows->IsWindowVisible(m_receiver.Window()), false);
    QCOMPARE(windows->GetWindowText(m_receiver.Window()), QString());
    QCOMPARE(windows->GetClassName(m_receiver.Window()), QString());
    QCOMPARE(windows->PostMessage(m_receiver.Window(), WM_APP, 0, 84), false);
}

QTEST_GUILESS_MAIN(TstXlibWindowSystem)
#include "tst_xlibwindowsystem.moc"
