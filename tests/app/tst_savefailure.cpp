#include "CmdMain.h"
#include "MessageBoxRecorder.h"
#include "SmallFileSystem.h"
#include "WriterLayouts.h"

#include <QTest>

#include <cstring>

// The main window on a settings folder whose file system has run out of inodes: the
// box keeps its text and says on a second line what the system refused, and the old
// settings file stays as it was.
class TestSaveFailure : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void boxSaysWhy_data();
    void boxSaysWhy();

private:
    bool m_ownNamespace = false;
};

namespace {

const QString CannotSave = QStringLiteral("指定の場所には保存できません");
const QString NoSpace = QString::fromLocal8Bit(std::strerror(ENOSPC));

} // namespace

void TestSaveFailure::initTestCase() {
    m_ownNamespace = EnterOwnMountNamespace();
}

void TestSaveFailure::boxSaysWhy_data() {
    QTest::addColumn<bool>("existing");     // a settings file from an earlier start
    QTest::addColumn<QString>("startLine"); // the box's second line at start, "" for no box
    QTest::addColumn<QString>("closeLine"); // the same at the close; %1 the folder, %2 the file
    QTest::newRow("first start: the file cannot be made")
        << false << "%2 を開けません: " + NoSpace << "%2 を開けません: " + NoSpace;
    QTest::newRow("later start: no temporary file for the new content")
        << true << QString() << "%1 に一時ファイルを作れません: " + NoSpace;
}

void TestSaveFailure::boxSaysWhy() {
    QFETCH(bool, existing);
    QFETCH(QString, startLine);
    QFETCH(QString, closeLine);
    if (!m_ownNamespace)
        QSKIP("no mount namespace of our own: small file systems cannot be mounted");
    SmallFileSystem fs("size=1m,nr_inodes=16");
    QVERIFY(fs.isMounted());
    const QString settings = fs.filePath(QString::fromLatin1(SettingsFileName));
    if (existing)
        QVERIFY(QFile::copy(TAPDECK_TEST_DATA "/app/worked_example.ini", settings));
    const QByteArray before = ReadAll(settings);
    QVERIFY(fs.fillInodes());
    auto expected = [&](QString line) {
        return CannotSave + QLatin1Char('\n') +
               line.replace(QLatin1String("%1"), fs.path()).replace(QLatin1String("%2"), settings);
    };

    MessageBoxRecorder boxes;
    TCmdMain panel(fs.path());
    QVERIFY(panel.close());
    QStringList texts;
    for (const MessageBoxRequest& box : boxes.records())
        texts << QString::number(box.kind) + QLatin1Char(' ') + box.text;
    QStringList wanted; // error boxes, at the start when the file cannot be made, at the close
    if (!startLine.isEmpty())
        wanted << "3 " + expected(startLine);
    wanted << "3 " + expected(closeLine);
    QCOMPARE(texts, wanted);
    QCOMPARE(ReadAll(settings), before);
}

QTEST_MAIN(TestSaveFailure)
#include "tst_savefailure.moc"
