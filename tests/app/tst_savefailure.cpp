#include "CmdMain.h"
#include "MessageBoxRecorder.h"
#include "SmallFileSystem.h"
#include "WriterLayouts.h"

#include <QTest>

#include <cstring>

// The main window closing on a settings folder whose file system has no inode left for
// the new content: the error box keeps its text and says on a second line what the
// system refused; the old settings file stays as it was.
class TestSaveFailure : public QObject {
    Q_OBJECT
private slots:
    void boxSaysWhy();
};

void TestSaveFailure::boxSaysWhy() {
    if (!EnterOwnMountNamespace())
        QSKIP("no mount namespace of our own: small file systems cannot be mounted");
    SmallFileSystem fs("size=1m,nr_inodes=16");
    QVERIFY(fs.isMounted());
    const QString settings = fs.filePath(QString::fromLatin1(SettingsFileName));
    QVERIFY(QFile::copy(TAPDECK_TEST_DATA "/app/worked_example.ini", settings));
    const QByteArray before = ReadAll(settings);
    QVERIFY(fs.fillInodes());

    MessageBoxRecorder boxes;
    TCmdMain panel(fs.path());
    QCOMPARE(boxes.count(), 0);
    QVERIFY(panel.close());
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(boxes.last().kind, (unsigned char)3);
    QCOMPARE(boxes.last().text,
             QStringLiteral("指定の場所には保存できません\n%1 に一時ファイルを作れません: %2")
                 .arg(fs.path(), QString::fromLocal8Bit(std::strerror(ENOSPC))));
    QCOMPARE(ReadAll(settings), before);
}

QTEST_MAIN(TestSaveFailure)
#include "tst_savefailure.moc"
