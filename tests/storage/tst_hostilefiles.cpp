#include "HostileFiles.h"
#include "IniDocument.h"
#include "PanelLayout.h"

#include <QTemporaryDir>
#include <QTest>

// Hostile layout files through the storage layer: each loads without a box, with the
// defaults where it holds nothing usable and clamped values where it holds too much, and
// the next save writes a well-formed file that loads back to the same panel.
class TestHostileFiles : public QObject {
    Q_OBJECT
private slots:
    void loadAndSaveAgain_data();
    void loadAndSaveAgain();
    void invalidCp932BytesAreWrittenBack();
    void longCaptionIsCutWhole_data();
    void longCaptionIsCutWhole();
};

namespace {

const QSize Screen(1280, 1024);

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteAll(const QString& path, const QByteArray& content) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace

void TestHostileFiles::loadAndSaveAgain_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QString>("newestCaption"); // the button named CB_1
    const QString defaultCaption = QStringLiteral("Orvix Tapdeck3");
    const QString clamped(MaxLayoutCaption, QLatin1Char('x'));
    auto row = [](const char* kind) -> QTestData& {
        return QTest::newRow(kind) << QString::fromLatin1(kind);
    };
    row("binary garbage") << defaultCaption << 320 << 0 << QString();
    row("invalid CP932") << QString() << 400 << 1 << QString();
    row("huge button count") << QStringLiteral("Many") << 320 << MaxLayoutButtons
                             << QStringLiteral("Real");
    row("negative and enormous geometry") << defaultCaption << -5 << 2 << QStringLiteral("Button1");
    row("10 MB caption") << clamped << 400 << 1 << clamped;
    row("10 MB line without an end") << defaultCaption << 400 << 0 << QString();
    row("10 MB key and section name") << defaultCaption << 400 << 0 << QString();
    row("thousand form sections") << QStringLiteral("Copy 999") << 400 << 1
                                  << QStringLiteral("Button1");
    row("thousand Button1 sections") << defaultCaption << 400 << 1 << QStringLiteral("Take 999");
}

void TestHostileFiles::loadAndSaveAgain() {
    QFETCH(QString, kind);
    QFETCH(QString, caption);
    QFETCH(int, width);
    QFETCH(int, buttons);
    QFETCH(QString, newestCaption);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("panel.vmd"));
    WriteAll(path, HostileContent(kind));
    const std::optional<PanelLayout> loaded = LoadLayout(path, Screen);
    QVERIFY(loaded.has_value());
    if (!caption.isEmpty())
        QCOMPARE(loaded->caption, caption);
    QCOMPARE(loaded->width, width);
    QCOMPARE(loaded->buttons.size(), size_t(buttons));
    if (!newestCaption.isEmpty())
        QCOMPARE(loaded->buttons.back().caption, newestCaption);

    QVERIFY(SaveLayout(path, *loaded));
    const QByteArray saved = ReadAll(path);
    const IniDocument document = IniDocument::fromBytes(saved);
    // The normal form, one section for the panel and one for each button.
    QCOMPARE(document.toBytes(), saved);
    QCOMPARE(document.sectionCount(), qsizetype(1 + buttons));
    QCOMPARE(LoadLayout(path, Screen), loaded);
}

// Bytes that are no CP932 text are kept as they are, through a load and a save.
void TestHostileFiles::invalidCp932BytesAreWrittenBack() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("panel.vmd"));
    WriteAll(path, HostileContent(QStringLiteral("invalid CP932")));
    const std::optional<PanelLayout> loaded = LoadLayout(path, Screen);
    QVERIFY(loaded.has_value());
    QCOMPARE(loaded->buttons.front().motion, 5);
    QVERIFY(SaveLayout(path, *loaded));
    const QByteArray saved = ReadAll(path);
    QVERIFY(saved.startsWith("[Form]\r\nComm=0\r\nCaption=A\x80"
                             "B\xa0"
                             "C\xfd\xfe\xff"
                             "D\x81\r\n"));
    QVERIFY(saved.contains("[Button1]\r\nCaption=\x82\x20x\x9f\x40\x85\r\n"));
}

void TestHostileFiles::longCaptionIsCutWhole_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("loaded");
    const QString fits(MaxLayoutCaption, QLatin1Char('a'));
    const QString almost(MaxLayoutCaption - 1, QLatin1Char('a'));
    const QString pair = QStringLiteral("\U0001F600");
    QTest::newRow("at the limit") << fits << fits;
    QTest::newRow("one over") << fits + QLatin1Char('b') << fits;
    QTest::newRow("pair across the limit") << almost + pair << almost;
    QTest::newRow("pair before the limit")
        << almost.chopped(1) + pair + QLatin1Char('b') << almost.chopped(1) + pair;
    QTest::newRow("blanks before the cut")
        << almost.chopped(2) + QStringLiteral("   b") << almost.chopped(2);
}

void TestHostileFiles::longCaptionIsCutWhole() {
    QFETCH(QString, stored);
    QFETCH(QString, loaded);
    IniDocument document;
    document.writeString(QStringLiteral("Form"), QStringLiteral("Caption"), stored);
    document.writeInteger(QStringLiteral("Form"), QStringLiteral("Button"), 1);
    document.writeString(QStringLiteral("Button1"), QStringLiteral("Caption"), stored);
    const PanelLayout layout = LayoutFromDocument(document, Screen);
    QCOMPARE(layout.caption, loaded);
    QCOMPARE(layout.buttons.front().caption, loaded);
}

QTEST_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
