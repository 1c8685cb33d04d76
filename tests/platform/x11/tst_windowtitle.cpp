// Titles as the X server holds them: an empty title stays empty rather than becoming the
// application's name, for a window and for a message box without a caption, while the
// window class stays the application's.
#include "MessageBox.h"
#include "WindowSystem.h"
#include "WindowTitle.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

class TestWindowTitle : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void windowTitleAsSet_data();
    void windowTitleAsSet();
    void messageBoxWithoutCaption();
};

void TestWindowTitle::initTestCase() {
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QCoreApplication::setApplicationName("Orvix Tapdeck3");
}

void TestWindowTitle::windowTitleAsSet_data() {
    QTest::addColumn<QStringList>("titles"); // set one after the other
    QTest::newRow("empty before the window is shown") << QStringList{""};
    QTest::newRow("emptied after a title") << QStringList{"Panel", ""};
    QTest::newRow("a title") << QStringList{"", "パネル"};
}

void TestWindowTitle::windowTitleAsSet() {
    QFETCH(QStringList, titles);
    const std::unique_ptr<IWindowSystem> windows = CreateWindowSystem();
    QWidget window;
    SetExactWindowTitle(window, titles.first());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (const QString& title : titles.mid(1))
        SetExactWindowTitle(window, title);
    const auto handle = static_cast<TWindowHandle>(window.winId());
    QTRY_COMPARE(windows->GetWindowText(handle), titles.last());
    QCOMPARE(windows->GetClassName(handle), QString("Orvix Tapdeck3"));
}

void TestWindowTitle::messageBoxWithoutCaption() {
    const std::unique_ptr<IWindowSystem> windows = CreateWindowSystem();
    SetMessageBoxTitleWriter(SetExactWindowTitle);
    QString title = "not read";
    QTimer reader;
    reader.setInterval(20);
    connect(&reader, &QTimer::timeout, this, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box || !box->isVisible())
            return;
        title = windows->GetWindowText(static_cast<TWindowHandle>(box->winId()));
        box->close();
    });
    reader.start();
    // Kind 7 is none of the four, and has no caption.
    ShowMessageBox(7, MessageButtonsOk, 0, "本文", 0);
    reader.stop();
    SetMessageBoxTitleWriter({});
    QCOMPARE(title, QString());
}

QTEST_MAIN(TestWindowTitle)
#include "tst_windowtitle.moc"
