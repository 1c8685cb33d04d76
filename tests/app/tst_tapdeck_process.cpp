// Starts the real program under the X server, the way a session does, and ends it with
// the signals a session sends.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {

const QString Program = QStringLiteral(TAPDECK_BINARY_DIR "/app/tapdeck");

QString Run(const QString& command, const QStringList& arguments) {
    QProcess process;
    process.start(command, arguments);
    if (!process.waitForFinished(10000))
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// The X window of the given exact title, polled until it is mapped.
QString WaitForWindow(const QString& title) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 20000) {
        const QString found = Run("xdotool", {"search", "--onlyvisible", "--name",
                                              '^' + QRegularExpression::escape(title) + '$'});
        if (!found.isEmpty())
            return found.split('\n').first();
        QTest::qWait(100);
    }
    return QString();
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestTapdeckProcess : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void signalWritesTheSettingsFile_data();
    void signalWritesTheSettingsFile();
};

void TestTapdeckProcess::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QFAIL("needs an X server (run under xvfb-run)");
    QVERIFY2(QFile::exists(Program), qPrintable(Program));
}

void TestTapdeckProcess::signalWritesTheSettingsFile_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("title");
    QTest::newRow("SIGTERM, first start") << SIGTERM << QByteArray() << "Orvix Tapdeck3";
    QTest::newRow("SIGHUP, stored caption")
        << SIGHUP << QByteArray("[Form]\r\nCaption=Process Panel\r\nLeft=30\r\nTop=40\r\n")
        << "Process Panel";
    QTest::newRow("SIGINT, stored caption")
        << SIGINT << QByteArray("[Form]\r\nCaption=Interrupted\r\n") << "Interrupted";
}

void TestTapdeckProcess::signalWritesTheSettingsFile() {
    QFETCH(int, signalNumber);
    QFETCH(QByteArray, settings);
    QFETCH(QString, title);
    QTemporaryDir dir;
    // A copy, not a link: the program finds its settings beside its own resolved path.
    const QString copy = dir.filePath("tapdeck");
    QVERIFY(QFile::copy(Program, copy));
    const QString settingsPath = dir.filePath("Vodazevivuzo3.ini");
    if (!settings.isEmpty()) {
        QFile file(settingsPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(settings);
    }
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("QT_QPA_PLATFORM");
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(QDir::tempPath());
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(copy, {});
    QVERIFY(process.waitForStarted());

    // The title bar shows exactly the caption: nothing appended.
    const QString window = WaitForWindow(title);
    QVERIFY2(!window.isEmpty(), qPrintable("no window titled " + title));
    QCOMPARE(Run("xdotool", {"getwindowname", window}), title);
    if (settings.isEmpty()) {
        // First start: 320 x 240, centred on the screen (no window manager adds a frame here).
        const QStringList screen = Run("xdotool", {"getdisplaygeometry"}).split(' ');
        QCOMPARE(screen.size(), 2);
        const QString geometry = Run("xdotool", {"getwindowgeometry", window});
        QVERIFY2(geometry.contains(QStringLiteral("Position: %1,%2 ")
                                       .arg((screen[0].toInt() - 320) / 2)
                                       .arg((screen[1].toInt() - 240) / 2)),
                 qPrintable(geometry));
        QVERIFY2(geometry.contains("Geometry: 320x240"), qPrintable(geometry));
    }
    QVERIFY(QFile::exists(settingsPath));
    QFile::remove(settingsPath);

    QCOMPARE(::kill(static_cast<pid_t>(process.processId()), signalNumber), 0);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    const QByteArray saved = ReadAll(settingsPath);
    QVERIFY2(saved.contains("Caption=" + title.toUtf8() + "\r\n"), saved.constData());
    QVERIFY(saved.endsWith("Button=0\r\n\r\n"));
}

QTEST_GUILESS_MAIN(TestTapdeckProcess)
#include "tst_tapdeck_process.moc"
