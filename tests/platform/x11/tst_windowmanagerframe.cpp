#include "MotionEditorProcess.h"
#include "XlibWindowSystem.h"

#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QWindow>

#include <algorithm>

namespace {
constexpr int WaitMs = 30000;

bool Contains(const std::vector<TWindowHandle>& windows, TWindowHandle window) {
    return std::find(windows.begin(), windows.end(), window) != windows.end();
}
} // namespace

// Frames as a reparenting window manager makes them: the stand-in's window is moved
// into a frame window of this process with xdotool, and WM_STATE is put on it with xprop,
// as the window manager would.
class TstWindowManagerFrame : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void listsClientInsideFrame_data();
    void listsClientInsideFrame();

private:
    bool Run(const QString& program, const QStringList& arguments);

    TXlibWindowSystem m_windows;
    QString m_xprop;
    QString m_xdotool;
};

void TstWindowManagerFrame::initTestCase() {
    if (QGuiApplication::platformName() != "xcb" || !m_windows.IsConnected())
        QSKIP("needs Qt on X11");
    m_xprop = QStandardPaths::findExecutable("xprop");
    m_xdotool = QStandardPaths::findExecutable("xdotool");
    if (m_xprop.isEmpty() || m_xdotool.isEmpty())
        QSKIP("xprop and xdotool are needed to act as a window manager");
}

bool TstWindowManagerFrame::Run(const QString& program, const QStringList& arguments) {
    return QProcess::execute(program, arguments) == 0;
}

void TstWindowManagerFrame::listsClientInsideFrame_data() {
    QTest::addColumn<int>("depth");
    QTest::addColumn<bool>("marked");
    QTest::newRow("right under the frame") << 1 << true;
    QTest::newRow("two levels down") << 2 << true;
    QTest::newRow("no WM_STATE: the frame itself") << 1 << false;
}

void TstWindowManagerFrame::listsClientInsideFrame() {
    QFETCH(int, depth);
    QFETCH(bool, marked);
    QWindow frame;
    frame.resize(400, 200);
    QWindow decoration(&frame);
    decoration.resize(380, 180);
    decoration.setVisible(depth == 2);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame, WaitMs));
    const auto frameWindow = TWindowHandle(frame.winId());
    const QWindow& parent = depth == 2 ? decoration : frame;

    // Ends before the frame, which would otherwise destroy its window.
    MotionEditorProcess standIn;
    QVERIFY2(standIn.Start(), qPrintable(standIn.ErrorString()));
    const TWindowHandle client = standIn.Window();
    const QString clientId = QString::number(client);
    QVERIFY(Run(m_xdotool, {"windowreparent", clientId, QString::number(parent.winId())}));
    QTRY_VERIFY_WITH_TIMEOUT(!Contains(m_windows.EnumWindows(), client), WaitMs);
    QVERIFY(Contains(m_windows.EnumWindows(), frameWindow));

    if (marked) {
        QVERIFY(Run(m_xprop, {"-id", clientId, "-f", "WM_STATE", "32c", "-set", "WM_STATE", "1"}));
        QTRY_VERIFY_WITH_TIMEOUT(Contains(m_windows.EnumWindows(), client), WaitMs);
        QVERIFY(!Contains(m_windows.EnumWindows(), frameWindow));
        QCOMPARE(m_windows.GetClassName(client), QStringLiteral("TPosewright3"));
        QTRY_VERIFY_WITH_TIMEOUT(m_windows.IsWindowVisible(client), WaitMs);
    }
}

QTEST_MAIN(TstWindowManagerFrame)
#include "tst_windowmanagerframe.moc"
