#include "WriterLayouts.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>

// A save never loses the file: a writer killed at any moment leaves the old or the new
// content, and a write that fails midway (disk full) leaves the old file and no
// temporary file. The writer runs as a process of its own, layout_writer.
class TestSaveSafety : public QObject {
    Q_OBJECT
private slots:
    void killedWriterLeavesOldOrNewContent_data();
    void killedWriterLeavesOldOrNewContent();
    void fullDiskKeepsTheOldFile_data();
    void fullDiskKeepsTheOldFile();
};

namespace {

const QString WriterPath = QStringLiteral(TAPDECK_BINARY_DIR "/tests/storage/layout_writer");

} // namespace

void TestSaveSafety::killedWriterLeavesOldOrNewContent_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("layout file") << "panel.vmd";
    QTest::newRow("settings file") << SettingsFileName;
}

void TestSaveSafety::killedWriterLeavesOldOrNewContent() {
    QFETCH(QString, name);
    const QByteArray first = SavedBytes(0);
    const QByteArray second = SavedBytes(1);
    QVERIFY(first != second);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    int firstSeen = 0;
    int secondSeen = 0;
    for (int round = 0; round < 40; ++round) {
        QProcess writer;
        writer.start(WriterPath, {QStringLiteral("loop"), path});
        // Saves follow each other without a pause, so any moment is inside one. The kill
        // comes after a random number of saves and within about two saves' time, measured
        // here, so that it falls on either panel however slow a loaded machine makes a save.
        QByteArray said;
        QElapsedTimer clock;
        const int saves = 2 + random.bounded(3);
        while (said.count('\n') < saves) {
            QVERIFY2(writer.waitForReadyRead(30000), qPrintable(writer.errorString()));
            said += writer.readAll();
            if (!clock.isValid())
                clock.start();
        }
        QVERIFY2(QString::fromLatin1(said).remove(QStringLiteral("saved\n")).isEmpty(),
                 said.constData());
        const qint64 save = qMax<qint64>(clock.nsecsElapsed() / 1000 / (saves - 1), 1000);
        QThread::usleep(random.bounded(quint32(2 * save)));
        QCOMPARE(::kill(pid_t(writer.processId()), SIGKILL), 0);
        QVERIFY(writer.waitForFinished(30000));
        QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
        const QByteArray content = ReadAll(path);
        QVERIFY2(content == first || content == second,
                 qPrintable(QStringLiteral("seed %1, round %2: %3 bytes")
                                .arg(seed)
                                .arg(round)
                                .arg(content.size())));
        ++(content == first ? firstSeen : secondSeen);
    }
    // Both panels came through, so the kills did land between and inside saves.
    QVERIFY2(firstSeen > 0 && secondSeen > 0, qPrintable(QString::number(seed)));
    // An unnamed temporary file goes with the process. Only a kill between the link of the
    // finished file under a temporary name and its rename over the old one can leave a file
    // behind (no call links over an existing name): then a whole copy, never a part.
    for (const QString& entry : Entries(dir.path())) {
        if (entry == name)
            continue;
        QVERIFY2(entry.size() == name.size() + 7 && entry.startsWith(name + '.'),
                 qPrintable(entry));
        const QByteArray left = ReadAll(dir.filePath(entry));
        QVERIFY2(left == first || left == second, qPrintable(entry));
    }
}

void TestSaveSafety::fullDiskKeepsTheOldFile_data() {
    const qint64 size = SavedBytes(1).size();
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<bool>("fits");
    QTest::newRow("no byte fits") << qint64(0) << false;
    QTest::newRow("one block fits") << qint64(4096) << false;
    QTest::newRow("half fits") << size / 2 << false;
    QTest::newRow("all but the last byte") << size - 1 << false;
    QTest::newRow("exactly fits") << size << true;
}

void TestSaveSafety::fullDiskKeepsTheOldFile() {
    QFETCH(qint64, limit);
    QFETCH(bool, fits);
    const QByteArray old = SavedBytes(0);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("panel.vmd"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(old), old.size());
    file.close();

    QProcess writer;
    writer.start(WriterPath, {QStringLiteral("limited"), path, QString::number(limit)});
    QVERIFY(writer.waitForFinished(30000));
    QCOMPARE(writer.exitStatus(), QProcess::NormalExit);
    const QString failure = QString::fromUtf8(writer.readAllStandardOutput());
    if (fits) {
        QCOMPARE(writer.exitCode(), 0);
        QCOMPARE(failure, QString());
        QCOMPARE(ReadAll(path), SavedBytes(1));
    } else {
        QCOMPARE(writer.exitCode(), 1);
        QCOMPARE(failure, QStringLiteral("failed %1 %2\n").arg(int(TFileResult::Write)).arg(EFBIG));
        QCOMPARE(ReadAll(path), old);
    }
    QCOMPARE(Entries(dir.path()), QStringList(QStringLiteral("panel.vmd")));
}

QTEST_GUILESS_MAIN(TestSaveSafety)
#include "tst_savesafety.moc"
