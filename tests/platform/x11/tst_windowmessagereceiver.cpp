#include "WindowMessageReceiver.h"
#include "XlibWindowSystem.h"

#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

#include <climits>

namespace {
constexpr int WaitMs = 30000;

struct Message {
    quint32 message;
    qint32 wParam;
    qint32 lParam;
    bool operator==(const Message&) const = default;
};

Message Arguments(const QSignalSpy& spy, int index) {
    const QList<QVariant>& args = spy.at(index);
    return {args.at(0).value<quint32>(), args.at(1).value<qint32>(), args.at(2).value<qint32>()};
}
} // namespace

class TstWindowMessageReceiver : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void receivesPostedValues_data();
    void receivesPostedValues();
    void ignoresOtherTypesAndWindows();
    void windowCreatedAfterReceiver();

private:
    TXlibWindowSystem m_windows;
};

void TstWindowMessageReceiver::initTestCase() {
    if (QGuiApplication::platformName() != "xcb" || !m_windows.IsConnected())
        QSKIP("needs Qt on X11");
}

void TstWindowMessageReceiver::receivesPostedValues_data() {
    QTest::addColumn<quint32>("message");
    QTest::addColumn<qint32>("wParam");
    QTest::addColumn<qint32>("lParam");
    QTest::newRow("play scenario 5") << WM_APP << 0 << 84;
    QTest::newRow("ignored by the panel") << WM_APP + 100 << 0 << 0;
    QTest::newRow("negative") << WM_APP << -1 << INT_MIN;
    QTest::newRow("extremes") << quint32(0xFFFFFFFF) << INT_MAX << -1;
}

void TstWindowMessageReceiver::receivesPostedValues() {
    QFETCH(quint32, message);
    QFETCH(qint32, wParam);
    QFETCH(qint32, lParam);
    QWidget window;
    TWindowMessageReceiver receiver(&window);
    QSignalSpy spy(&receiver, &TWindowMessageReceiver::Received);
    QVERIFY(m_windows.PostMessage(TWindowHandle(window.winId()), message, wParam, lParam));
    QVERIFY(spy.wait(WaitMs));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(Arguments(spy, 0), (Message{message, wParam, lParam}));
}

void TstWindowMessageReceiver::ignoresOtherTypesAndWindows() {
    QWidget first;
    QWidget second;
    TWindowMessageReceiver firstReceiver(&first);
    TWindowMessageReceiver secondReceiver(&second);
    QSignalSpy firstSpy(&firstReceiver, &TWindowMessageReceiver::Received);
    QSignalSpy secondSpy(&secondReceiver, &TWindowMessageReceiver::Received);
    TXlibWindowSystem otherType({}, "_TAPDECK_OTHER_MESSAGE");
    const auto firstWindow = TWindowHandle(first.winId());
    const auto secondWindow = TWindowHandle(second.winId());

    // Posts of one connection arrive in order: when the last one is there, the others
    // have been seen.
    QVERIFY(otherType.PostMessage(firstWindow, WM_APP, 0, 1));
    QVERIFY(m_windows.PostMessage(secondWindow, WM_APP, 0, 2));
    QVERIFY(otherType.PostMessage(firstWindow, WM_APP, 0, 3));
    QVERIFY(m_windows.PostMessage(firstWindow, WM_APP, 0, 4));
    QTRY_COMPARE_WITH_TIMEOUT(firstSpy.count(), 1, WaitMs);
    QCOMPARE(Arguments(firstSpy, 0), (Message{WM_APP, 0, 4}));
    QCOMPARE(secondSpy.count(), 1);
    QCOMPARE(Arguments(secondSpy, 0), (Message{WM_APP, 0, 2}));
}

void TstWindowMessageReceiver::windowCreatedAfterReceiver() {
    QWidget window;
    TWindowMessageReceiver receiver(&window);
    QVERIFY(!window.testAttribute(Qt::WA_WState_Created));
    QSignalSpy spy(&receiver, &TWindowMessageReceiver::Received);
    // The window's own events still reach it.
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window, WaitMs));
    QVERIFY(m_windows.PostMessage(TWindowHandle(window.winId()), WM_APP, 0, 84));
    QVERIFY(spy.wait(WaitMs));
    QCOMPARE(Arguments(spy, 0), (Message{WM_APP, 0, 84}));
}

QTEST_MAIN(TstWindowMessageReceiver)
#include "tst_windowmessagereceiver.moc"
