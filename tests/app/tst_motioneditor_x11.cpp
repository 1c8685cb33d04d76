// The motion editor link on the real X server against the stand-in program: the window
// found, the play message it receives, and what happens with none running.
#include "MessageBoxRecorder.h"
#include "MotionEditorProcess.h"
#include "PanelLink.h"

#include <QApplication>
#include <QTest>

#include <memory>

class TestMotionEditorX11 : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void pressReachesTheUpperVisibleTitledEditor_data();
    void pressReachesTheUpperVisibleTitledEditor();
};

void TestMotionEditorX11::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QFAIL("needs an X server (run under xvfb-run)");
}

// Stand-ins are started in the order given; each new window is mapped on top.
void TestMotionEditorX11::pressReachesTheUpperVisibleTitledEditor_data() {
    QTest::addColumn<QList<QStringList>>("standIns");
    QTest::addColumn<int>("receiver"); // index into standIns, -1 for none

    QTest::newRow("one") << QList<QStringList>{{}} << 0;
    QTest::newRow("the upper of two") << QList<QStringList>{{}, {}} << 1;
    QTest::newRow("none running") << QList<QStringList>{} << -1;
    QTest::newRow("hidden on top is skipped") << QList<QStringList>{{}, {"--hidden"}} << 0;
    QTest::newRow("untitled on top is skipped") << QList<QStringList>{{}, {"--empty-title"}} << 0;
    QTest::newRow("only hidden and untitled")
        << QList<QStringList>{{"--hidden"}, {"--empty-title"}} << -1;
}

void TestMotionEditorX11::pressReachesTheUpperVisibleTitledEditor() {
    QFETCH(QList<QStringList>, standIns);
    QFETCH(int, receiver);

    std::vector<std::unique_ptr<MotionEditorProcess>> running;
    for (const QStringList& options : standIns) {
        running.push_back(std::make_unique<MotionEditorProcess>());
        QVERIFY2(running.back()->Start(options), qPrintable(running.back()->ErrorString()));
    }
    MessageBoxRecorder boxes;
    const std::unique_ptr<IWindowSystem> windows = CreateWindowSystem();
    TWindowHandle cached = NoWindow;
    SendToMotionEditor(*windows, cached, 84);

    if (receiver < 0) {
        QCOMPARE(cached, NoWindow);
    } else {
        QCOMPARE(cached, running[std::size_t(receiver)]->Window());
        QVERIFY(running[std::size_t(receiver)]->WaitForLines(1));
        QCOMPARE(running[std::size_t(receiver)]->Lines(), QStringList{"Scenario5 (84)"});
    }
    QTest::qWait(200); // a stray message would have arrived by now
    for (std::size_t i = 0; i < running.size(); ++i) {
        if (int(i) != receiver)
            QCOMPARE(running[i]->Lines(), QStringList());
    }
    QCOMPARE(boxes.count(), 0);
}

QTEST_MAIN(TestMotionEditorX11)
#include "tst_motioneditor_x11.moc"
