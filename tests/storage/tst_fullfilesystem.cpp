#include "IniFile.h"
#include "SmallFileSystem.h"
#include "WriterLayouts.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <cerrno>
#include <cstring>

// Saves on a file system with no room left: no block, no inode. The old file must stay
// byte for byte, with the reason of the failure kept for the caller. Where the folder
// takes no new file and the file is written over in place, a full disk must fail the
// save before a byte changes.
class TestFullFileSystem : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void saveOnAFullFileSystem_data();
    void saveOnAFullFileSystem();

private:
    bool m_ownNamespace = false;
};

void TestFullFileSystem::initTestCase() {
    m_ownNamespace = EnterOwnMountNamespace();
}

void TestFullFileSystem::saveOnAFullFileSystem_data() {
    QTest::addColumn<QByteArray>("options");
    QTest::addColumn<QString>("full");  // what runs out: "blocks", "inodes" or "nothing"
    QTest::addColumn<bool>("lentFile"); // the folder read-only, the file lent writable
    QTest::addColumn<int>("step");      // TFileResult::Step, Done when the save succeeds
    // A temporary file cannot get its blocks: the write fails, the old file stays.
    QTest::newRow("no free block")
        << QByteArray("size=256k") << "blocks" << false << int(TFileResult::Write);
    // No temporary file at all: not a folder that refuses new files, so no write in place.
    QTest::newRow("no free inode") << QByteArray("size=1m,nr_inodes=64") << "inodes" << false
                                   << int(TFileResult::CreateTemporary);
    // Written over in place, where the room must be taken before the first byte.
    QTest::newRow("read-only folder, no free block")
        << QByteArray("size=256k") << "blocks" << true << int(TFileResult::Write);
    QTest::newRow("read-only folder, room enough")
        << QByteArray("size=1m") << "nothing" << true << int(TFileResult::Done);
}

void TestFullFileSystem::saveOnAFullFileSystem() {
    QFETCH(QByteArray, options);
    QFETCH(QString, full);
    QFETCH(bool, lentFile);
    QFETCH(int, step);
    if (!m_ownNamespace)
        QSKIP("no mount namespace of our own: small file systems cannot be mounted");
    SmallFileSystem fs(options);
    QVERIFY2(fs.isMounted(), options.constData());
    const QString path = fs.filePath(QStringLiteral("panel.vmd"));
    const QByteArray old = SavedBytes(0);
    const QByteArray saved = SavedBytes(1);
    QVERIFY(saved.size() > old.size());
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(old), old.size());
    }
    if (full == "blocks")
        QVERIFY(fs.fillBlocks(QStringLiteral("filler")));
    else if (full == "inodes")
        QVERIFY(fs.fillInodes());
    if (lentFile)
        QVERIFY(fs.lendOnly(QStringLiteral("panel.vmd")));
    const QStringList entriesBefore = Entries(fs.path());

    TFileResult result;
    const bool succeeded = SaveLayout(path, WriterLayout(1), &result);

    QCOMPARE(int(result.step), step);
    QCOMPARE(succeeded, step == int(TFileResult::Done));
    QCOMPARE(Entries(fs.path()), entriesBefore);
    if (succeeded) {
        QCOMPARE(ReadAll(path), saved);
        return;
    }
    QCOMPARE(ReadAll(path), old);
    QCOMPARE(result.error, ENOSPC);
    // What the box's second line says: the step, the place and the system's words.
    const QString place = step == int(TFileResult::CreateTemporary) ? fs.path() : path;
    QVERIFY2(result.Explain().startsWith(place + QLatin1Char(' ')), qPrintable(result.Explain()));
    QVERIFY2(result.Explain().endsWith(QString::fromLocal8Bit(std::strerror(ENOSPC))),
             qPrintable(result.Explain()));
}

QTEST_GUILESS_MAIN(TestFullFileSystem)
#include "tst_fullfilesystem.moc"
