#include "CommX.h"
#include "MessageBoxRecorder.h"
#include "Program.h"
#include "TapdeckApplication.h"

#include <QAbstractButton>
#include <QFile>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <functional>
#include <stdexcept>

namespace {

class ThrowingWidget : public QWidget {
public:
    int presses = 0;
    std::function<void()> raise = [] { throw std::runtime_error("broken handler"); };

protected:
    void mousePressEvent(QMouseEvent*) override {
        ++presses;
        raise();
    }
};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestStartUp : public QObject {
    Q_OBJECT
private slots:
    void programCreatesTheWindowsInOrder();
    void unwritableFolderAtStartShowsTheErrorForPanelAndLink();
    void sessionSignalClosesTheMainWindow_data();
    void sessionSignalClosesTheMainWindow();
    void signalDuringAStartUpBoxClosesOnceRunning();
    void signalWhileAStartUpBoxTurnsEventsClosesOnceRunning();
    void exceptionInHandlerIsReportedAndTheProgramGoesOn_data();
    void exceptionInHandlerIsReportedAndTheProgramGoesOn();
    void titleIsTheApplicationsAndNotTheWindows();
    void standardButtonsSpeakJapanese_data();
    void standardButtonsSpeakJapanese();
};

void TestStartUp::programCreatesTheWindowsInOrder() {
    QTemporaryDir dir;
    MessageBoxRecorder boxes;
    QFile settings(dir.filePath("Vodazevivuzo3.ini"));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[Form]\r\nComm=0\r\nCaption=Stored\r\n");
    settings.close();
    TProgram program(dir.path());
    QCOMPARE(program.CmdMain.Caption(), QString("Stored"));
    QCOMPARE(program.CmdMain.Editor(), &program.BtnPrm);
    QCOMPARE(program.BtnPrm.LinkIndex(), 0);
    QVERIFY(program.CmdMain.isVisible());
    QVERIFY(!program.BtnPrm.isVisible());
    QCOMPARE(MessageBoxOwner(), &program.CmdMain);
    // The start ends with the first link selection's box, over the panel.
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(boxes.last().text, QString("シリアルポートを閉じました"));
}

void TestStartUp::unwritableFolderAtStartShowsTheErrorForPanelAndLink() {
    QTemporaryDir dir;
    QFile blocker(dir.filePath("file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    MessageBoxRecorder boxes;
    TProgram program(dir.filePath("file/settings"));
    // Panel and link choice cannot be read; the link selection then has port -1.
    QStringList texts;
    for (const MessageBoxRequest& box : boxes.records())
        texts << box.text;
    QCOMPARE(texts, (QStringList{"指定の場所には保存できません", "指定の場所には保存できません",
                                 "COM-1は使用できません"}));
    QCOMPARE(program.BtnPrm.LinkIndex(), -1);
    QVERIFY(program.CmdMain.close());
    QCOMPARE(boxes.count(), 4);
}

void TestStartUp::sessionSignalClosesTheMainWindow_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
    QTest::newRow("SIGINT") << SIGINT;
}

void TestStartUp::sessionSignalClosesTheMainWindow() {
    QFETCH(int, signalNumber);
    QTemporaryDir dir;
    MessageBoxRecorder boxes;
    TProgram program(dir.path());
    program.CmdMain.SetCaption("Signalled");
    QSignalSpy received(&program.Signals, &TSessionSignals::Received);
    QSignalSpy closed(&program.CmdMain, &TCmdMain::Closed);
    QCOMPARE(::raise(signalNumber), 0);
    QTRY_COMPARE(closed.count(), 1);
    QCOMPARE(received.count(), 1);
    QCOMPARE(received.first().first().toInt(), signalNumber);
    QVERIFY(!program.CmdMain.isVisible());
    QVERIFY(ReadAll(dir.filePath("Vodazevivuzo3.ini")).contains("Caption=Signalled\r\n"));
}

void TestStartUp::signalDuringAStartUpBoxClosesOnceRunning() {
    QTemporaryDir dir;
    QFile blocker(dir.filePath("file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    int boxes = 0;
    // The session ends the program while the first start-up box is open.
    MessageBoxHandler previous = SetMessageBoxHandler([&](const MessageBoxRequest&) {
        if (++boxes == 1)
            ::raise(SIGTERM);
        return int(IDOK);
    });
    {
        TProgram program(dir.filePath("file/settings"));
        QSignalSpy closed(&program.CmdMain, &TCmdMain::Closed);
        QVERIFY(program.CmdMain.isVisible());
        QTRY_COMPARE(closed.count(), 1);
        QVERIFY(!program.CmdMain.isVisible());
    }
    SetMessageBoxHandler(std::move(previous));
    QCOMPARE(boxes, 4); // panel, link choice and link at start, panel at close
}

void TestStartUp::signalWhileAStartUpBoxTurnsEventsClosesOnceRunning() {
    QTemporaryDir dir;
    QFile blocker(dir.filePath("file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    int boxes = 0;
    // A real box runs its own event loop while it is open, before anyone listens.
    MessageBoxHandler previous = SetMessageBoxHandler([&](const MessageBoxRequest&) {
        if (++boxes == 1) {
            ::raise(SIGTERM);
            QTest::qWait(100);
        }
        return int(IDOK);
    });
    {
        TProgram program(dir.filePath("file/settings"));
        QSignalSpy closed(&program.CmdMain, &TCmdMain::Closed);
        QTRY_COMPARE(closed.count(), 1);
        QVERIFY(!program.CmdMain.isVisible());
    }
    SetMessageBoxHandler(std::move(previous));
}

using Raise = std::function<void()>;
Q_DECLARE_METATYPE(Raise)

void TestStartUp::exceptionInHandlerIsReportedAndTheProgramGoesOn_data() {
    QTest::addColumn<Raise>("raise");
    QTest::addColumn<QString>("text");
    QTest::newRow("an error of the library")
        << Raise([] { throw std::runtime_error("broken handler"); }) << "broken handler";
    QTest::newRow("a serial error with what failed beneath it") << Raise([] {
        throw ECommError("通信速度の設定でエラーが発生しました",
                         {"tcsetattr", EINVAL, "Invalid argument"});
    }) << "通信速度の設定でエラーが発生しました（tcsetattr: Invalid argument）";
}

void TestStartUp::exceptionInHandlerIsReportedAndTheProgramGoesOn() {
    QFETCH(Raise, raise);
    QFETCH(QString, text);
    MessageBoxRecorder boxes;
    ThrowingWidget widget;
    widget.raise = raise;
    widget.resize(50, 50);
    widget.show();
    QTest::mouseClick(&widget, Qt::LeftButton);
    QCOMPARE(widget.presses, 1);
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(boxes.last().kind, (unsigned char)3);
    QVERIFY(boxes.last().text.contains(text));
    QTest::mouseClick(&widget, Qt::LeftButton);
    QCOMPARE(widget.presses, 2);
    QCOMPARE(boxes.count(), 2);
}

void TestStartUp::titleIsTheApplicationsAndNotTheWindows() {
    QTemporaryDir dir;
    MessageBoxRecorder boxes;
    TTapdeckApplication::SetTitle(TTapdeckApplication::Title());
    QCOMPARE(QGuiApplication::applicationDisplayName(), QString("Orvix Tapdeck3"));
    TCmdMain panel(dir.path());
    panel.SetCaption("Panel A");
    QCOMPARE(panel.windowTitle(), QString("Panel A"));
    QVERIFY(panel.windowHandle());
    QCOMPARE(panel.windowHandle()->title(), QString("Panel A"));
}

void TestStartUp::standardButtonsSpeakJapanese_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("text");
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << QString("キャンセル");
    QTest::newRow("yes") << int(QMessageBox::Yes) << QString("はい");
    QTest::newRow("no") << int(QMessageBox::No) << QString("いいえ");
}

void TestStartUp::standardButtonsSpeakJapanese() {
    QFETCH(int, button);
    QFETCH(QString, text);
    QMessageBox box;
    box.setStandardButtons(QMessageBox::StandardButton(button));
    QAbstractButton* shown = box.button(QMessageBox::StandardButton(button));
    QVERIFY(shown);
    QCOMPARE(shown->text().remove(QLatin1Char('&')).section(QLatin1Char('('), 0, 0), text);
}

int main(int argc, char** argv) {
    TTapdeckApplication application(argc, argv);
    TestStartUp test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
