#include "IniFile.h"
#include "PanelLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <QElapsedTimer>

#include <atomic>
#include <chrono>
#include <limits>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Layout and settings files on disk: the worked example, defaults, the write test,
// encodings and the replacement of files.
class TestPanelLayout : public QObject {
    Q_OBJECT
private slots:
    void init();
    void workedExampleSavesByteForByte();
    void workedExampleLoads();
    void loadThenSaveKeepsTheFile_data();
    void loadThenSaveKeepsTheFile();
    void load_data();
    void load();
    void readingLeavesTheFile_data();
    void readingLeavesTheFile();
    void saveThenLoad_data();
    void saveThenLoad();
    void saveWritesEncoding_data();
    void saveWritesEncoding();
    void missingFileIsCreatedEmpty();
    void unwritablePlace_data();
    void unwritablePlace();
    void writableFileInReadOnlyFolder_data();
    void writableFileInReadOnlyFolder();
    void fileWithoutEndIsNoPlace_data();
    void fileWithoutEndIsNoPlace();
    void saveReplacesTheFileWhole();
    void corruptCountIsCapped();
    void saveThroughSymbolicLink();
    void portChoice_data();
    void portChoice();

private:
    QString copyFixture(const QString& name);
    QTemporaryDir m_dir;
};

static const QSize Screen(1280, 1024);

char* toString(const PanelButton& b) {
    return qstrdup(QStringLiteral("{%1 t%2 l%3 %4x%5 m%6 k%7 c%8 f%9}")
                       .arg(b.caption)
                       .arg(b.top)
                       .arg(b.left)
                       .arg(b.width)
                       .arg(b.height)
                       .arg(b.motion)
                       .arg(b.shortCut)
                       .arg(b.color)
                       .arg(b.fontColor)
                       .append(QStringLiteral(" pad %1 repeat %2 release %3")
                                   .arg(b.pad)
                                   .arg(b.repeat)
                                   .arg(b.release))
                       .toUtf8()
                       .constData());
}

char* toString(const PanelLayout& p) {
    QString text =
        QStringLiteral("{comm %1 \"%2\" t%3 l%4 %5x%6 c%7 bmp \"%8\" counter %9, %10 buttons}")
            .arg(p.comm)
            .arg(p.caption)
            .arg(p.top)
            .arg(p.left)
            .arg(p.width)
            .arg(p.height)
            .arg(p.color)
            .arg(p.backgroundFile)
            .arg(p.buttonCounter)
            .arg(p.buttons.size());
    return qstrdup(text.toUtf8().constData());
}

static PanelButton Button(const QString& caption, int top, int left, int width, int height,
                          int motion, int shortCut, TColor color) {
    return PanelButton{
        caption, top, left, width, height, motion, shortCut, color, ContrastTextColor(color), {}};
}

static PanelButton DefaultButton(int number) {
    return Button(QStringLiteral("Button%1").arg(number), 0, 0, 80, 30, -1, -1, clBtnFace);
}

static PanelLayout WorkedExample() {
    PanelLayout layout;
    layout.comm = 3;
    layout.top = 100;
    layout.left = 200;
    layout.buttonCounter = 2;
    // Component order: Walk was created first, then Dance.
    layout.buttons = {Button(QStringLiteral("Walk"), 10, 10, 80, 30, 0, 65, 255),
                      Button(QStringLiteral("Dance"), 10, 100, 80, 30, 80, -1, clBtnFace)};
    return layout;
}

// What LoadLayout gives for a file without any key: centred on Screen.
static PanelLayout Defaults() {
    PanelLayout layout;
    layout.top = (1024 - 240) / 2;
    layout.left = (1280 - 320) / 2;
    return layout;
}

static QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

Q_DECLARE_METATYPE(PanelLayout)

void TestPanelLayout::init() {
    QVERIFY(m_dir.isValid());
}

QString TestPanelLayout::copyFixture(const QString& name) {
    const QString target =
        m_dir.filePath(QString::fromLatin1(QTest::currentTestFunction()) + QLatin1Char('_') + name);
    QFile::remove(target);
    if (!QFile::copy(QStringLiteral(TAPDECK_TEST_DATA "/storage/") + name, target))
        qFatal("cannot copy fixture %s", qPrintable(name));
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    return target;
}

void TestPanelLayout::workedExampleSavesByteForByte() {
    const QString path = m_dir.filePath(QStringLiteral("example.vmd"));
    QVERIFY(SaveLayout(path, WorkedExample()));
    QCOMPARE(ReadAll(path),
             ReadAll(QStringLiteral(TAPDECK_TEST_DATA "/storage/worked_example.vmd")));
}

void TestPanelLayout::workedExampleLoads() {
    const std::optional<PanelLayout> loaded =
        LoadLayout(copyFixture(QStringLiteral("worked_example.vmd")), Screen);
    QVERIFY(loaded.has_value());
    PanelLayout expected = WorkedExample();
    expected.comm = 0; // opening a layout never reads the link
    QCOMPARE(loaded->buttons.size(), size_t(2));
    // Created from the highest section down: CB_2 (Walk) first, CB_1 (Dance) last.
    QCOMPARE(loaded->buttons[0], expected.buttons[0]);
    QCOMPARE(loaded->buttons[1], expected.buttons[1]);
    QCOMPARE(*loaded, expected);
}

void TestPanelLayout::loadThenSaveKeepsTheFile_data() {
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("newestPad");
    QTest::addColumn<QString>("oldestPad");
    QTest::newRow("no pad buttons") << "worked_example.vmd" << QString() << QString();
    // A name this program does not know is kept, not dropped.
    QTest::newRow("pad buttons, one unknown") << "pad_buttons.vmd"
                                              << "A"
                                              << "Paddle9";
    // Repeat and Release after Pad, or after Color without one; the stop in [Form]; a stick
    // direction and a pair kept as written.
    QTest::newRow("held buttons and the stop") << "held_buttons.vmd" << "LS-Up" << QString();
}

void TestPanelLayout::loadThenSaveKeepsTheFile() {
    QFETCH(QString, fixture);
    QFETCH(QString, newestPad);
    QFETCH(QString, oldestPad);
    const QString path = copyFixture(fixture);
    std::optional<PanelLayout> loaded = LoadLayout(path, Screen);
    QVERIFY(loaded.has_value());
    QCOMPARE(loaded->buttons.size(), size_t(2));
    QCOMPARE(loaded->buttons.back().pad, newestPad);
    QCOMPARE(loaded->buttons.front().pad, oldestPad);
    loaded->comm = 3;
    QVERIFY(SaveLayout(path, *loaded));
    QCOMPARE(ReadAll(path), ReadAll(QStringLiteral(TAPDECK_TEST_DATA "/storage/") + fixture));
}

void TestPanelLayout::load_data() {
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<PanelLayout>("expected");

    PanelLayout noButtons;
    noButtons.caption = QStringLiteral("Empty panel");
    noButtons.top = 5;
    noButtons.left = 6;
    noButtons.width = 400;
    noButtons.height = 300;
    noButtons.color = 0xFFFFFF;
    noButtons.backgroundFile = QStringLiteral("/srv/pictures/back.bmp");
    QTest::newRow("panel without buttons") << "no_buttons.vmd" << noButtons;

    PanelLayout three = Defaults();
    three.buttonCounter = 3;
    three.buttons = {DefaultButton(3), DefaultButton(2),
                     Button(QStringLiteral("Only"), 1, 2, 3, 4, 5, 66, 0x00FF00)};
    QTest::newRow("Button=3 with only Button1") << "button3_only_button1.vmd" << three;

    // Repeats clamped into 50-5000 with 0 for none; a release or stop play outside 0-84 is
    // none.
    PanelLayout held = Defaults();
    held.buttonCounter = 4;
    for (int number = 4; number >= 1; --number)
        held.buttons.push_back(DefaultButton(number));
    held.buttons[1].repeat = MinRepeatInterval;
    held.buttons[2].repeat = MaxRepeatInterval;
    held.buttons[3].repeat = MinRepeatInterval;
    QTest::newRow("held values out of range") << "held_out_of_range.vmd" << held;

    PanelLayout missing = Defaults();
    missing.buttonCounter = 1;
    missing.buttons = {DefaultButton(1)};
    QTest::newRow("defaults for every missing key") << "missing_keys.vmd" << missing;

    PanelLayout hex = Defaults();
    hex.color = 255;
    hex.buttonCounter = 1;
    hex.buttons = {Button(QStringLiteral("Button1"), 0, 0, 80, 30, -1, -1, 255)};
    QTest::newRow("Color=0x0000FF is red") << "hex_color.vmd" << hex;

    PanelLayout abc = Defaults();
    abc.buttonCounter = 1;
    abc.buttons = {DefaultButton(1)};
    QTest::newRow("Width=abc is 320 and 80") << "width_abc.vmd" << abc;

    PanelLayout trimmed = Defaults();
    trimmed.caption = QStringLiteral("Padded panel");
    trimmed.buttonCounter = 1;
    trimmed.buttons = {Button(QStringLiteral("Padded button"), 0, 0, 80, 30, -1, -1, clBtnFace)};
    QTest::newRow("trimmed captions") << "trimmed_captions.vmd" << trimmed;

    PanelLayout comments = Defaults();
    comments.caption = QStringLiteral("After comments");
    comments.buttonCounter = 1;
    comments.buttons = {Button(QStringLiteral("Button1"), 0, 0, 80, 30, 7, -1, clBtnFace)};
    QTest::newRow("comments, blank lines, lines before the first section")
        << "comments_blank_lines.vmd" << comments;

    PanelLayout duplicates = Defaults();
    duplicates.caption = QStringLiteral("Third form");
    duplicates.buttonCounter = 2;
    duplicates.buttons = {Button(QStringLiteral("Two"), 0, 0, 80, 30, -1, -1, clBtnFace),
                          Button(QStringLiteral("Button1"), 0, 0, 80, 30, 13, -1, clBtnFace)};
    QTest::newRow("duplicate sections and keys, mixed case")
        << "duplicates_mixed_case.vmd" << duplicates;

    PanelLayout japanese = Defaults();
    japanese.caption = QStringLiteral("歩行パネル");
    japanese.backgroundFile = QStringLiteral("/home/ロボ/背景.bmp");
    japanese.buttonCounter = 1;
    japanese.buttons = {Button(QStringLiteral("ダンス"), 0, 0, 80, 30, -1, -1, clBtnFace)};
    QTest::newRow("Japanese in CP932") << "japanese_cp932.vmd" << japanese;

    PanelLayout outside = Defaults();
    outside.caption = QStringLiteral("Café ☃ 한국");
    outside.buttonCounter = 1;
    outside.buttons = {Button(QStringLiteral("😀 Go"), 0, 0, 80, 30, -1, -1, clBtnFace)};
    QTest::newRow("UTF-8 with a byte-order mark") << "outside_cp932.vmd" << outside;

    PanelLayout negative = Defaults();
    negative.buttonCounter = -4;
    QTest::newRow("negative count creates nothing") << "negative_count.vmd" << negative;

    PanelLayout lf = Defaults();
    lf.caption = QStringLiteral("Unix lines");
    lf.buttonCounter = 1;
    lf.buttons = {Button(QStringLiteral("Lf"), 0, 0, 80, 30, -1, -1, clBtnFace)};
    QTest::newRow("LF line ends") << "lf_only.vmd" << lf;
}

void TestPanelLayout::load() {
    QFETCH(QString, fixture);
    QFETCH(PanelLayout, expected);
    const std::optional<PanelLayout> loaded = LoadLayout(copyFixture(fixture), Screen);
    QVERIFY(loaded.has_value());
    QCOMPARE(loaded->caption, expected.caption);
    QCOMPARE(loaded->top, expected.top);
    QCOMPARE(loaded->left, expected.left);
    QCOMPARE(loaded->width, expected.width);
    QCOMPARE(loaded->height, expected.height);
    QCOMPARE(loaded->color, expected.color);
    QCOMPARE(loaded->backgroundFile, expected.backgroundFile);
    QCOMPARE(loaded->buttonCounter, expected.buttonCounter);
    QCOMPARE(loaded->comm, 0);
    QCOMPARE(loaded->stopKey, expected.stopKey);
    QCOMPARE(loaded->stopPad, expected.stopPad);
    QCOMPARE(loaded->stopPlay, expected.stopPlay);
    QCOMPARE(loaded->buttons.size(), expected.buttons.size());
    for (size_t i = 0; i < expected.buttons.size(); ++i)
        QCOMPARE(loaded->buttons[i], expected.buttons[i]);
}

void TestPanelLayout::readingLeavesTheFile_data() {
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("operation");
    const char* fixtures[] = {"comments_blank_lines.vmd",
                              "japanese_cp932.vmd",
                              "outside_cp932.vmd",
                              "invalid_cp932_bytes.vmd",
                              "picture.jpg", // opened with "All Files" by mistake
                              "picture.bmp"};
    for (const char* fixture : fixtures)
        for (const char* op : {"load", "port"})
            QTest::addRow("%s, %s", fixture, op)
                << QString::fromLatin1(fixture) << QString::fromLatin1(op);
}

// Reading passes the write test without writing: not a byte of the file changes, and
// it is not replaced by a new file either.
void TestPanelLayout::readingLeavesTheFile() {
    QFETCH(QString, fixture);
    QFETCH(QString, operation);
    const QString path = copyFixture(fixture);
    struct stat before {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &before), 0);
    if (operation == "load")
        QVERIFY(LoadLayout(path, Screen).has_value());
    else
        QVERIFY(LoadPortChoice(path).has_value());
    QCOMPARE(ReadAll(path), ReadAll(QStringLiteral(TAPDECK_TEST_DATA "/storage/") + fixture));
    struct stat after {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);
    const QString name = QFileInfo(path).fileName();
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter(name),
             QStringList(name));
}

void TestPanelLayout::saveThenLoad_data() {
    QTest::addColumn<PanelLayout>("saved");
    QTest::addColumn<PanelLayout>("loaded");

    PanelLayout empty;
    empty.top = 1;
    empty.left = 2;
    QTest::newRow("panel without buttons") << empty << empty;

    PanelLayout padded = WorkedExample();
    padded.caption = QStringLiteral("  Padded  ");
    padded.buttons[0].caption = QStringLiteral("\tWalk ");
    PanelLayout trimmed = WorkedExample();
    trimmed.comm = 0;
    trimmed.caption = QStringLiteral("Padded");
    QTest::newRow("captions come back trimmed") << padded << trimmed;

    PanelLayout japanese = WorkedExample();
    japanese.caption = QStringLiteral("ロボット操作盤");
    japanese.backgroundFile = QStringLiteral("/home/ロボ/背景.jpg");
    japanese.buttons[1].caption = QStringLiteral("ダンス①");
    PanelLayout japaneseLoaded = japanese;
    japaneseLoaded.comm = 0;
    QTest::newRow("Japanese") << japanese << japaneseLoaded;

    PanelLayout outside = WorkedExample();
    outside.buttons[0].caption = QStringLiteral("Café 😀");
    outside.backgroundFile = QStringLiteral("/home/ünïcode/背景.bmp");
    PanelLayout outsideLoaded = outside;
    outsideLoaded.comm = 0;
    QTest::newRow("outside CP932, lossless") << outside << outsideLoaded;

    // Bytes that were no CP932 characters in the file the panel came from.
    PanelLayout stray = WorkedExample();
    stray.caption = QStringLiteral("bad ") + QChar(char16_t(0xDC82)) + QChar(char16_t(0xDCFF));
    stray.buttons[0].caption = QStringLiteral("Café");
    PanelLayout strayLoaded = stray;
    strayLoaded.comm = 0;
    QTest::newRow("stray bytes through UTF-8") << stray << strayLoaded;

    PanelLayout breaks = WorkedExample();
    breaks.buttons[0].caption = QStringLiteral("Walk\r\n[Form]\nButton=999");
    PanelLayout breaksLoaded = WorkedExample();
    breaksLoaded.comm = 0;
    breaksLoaded.buttons[0].caption = QStringLiteral("Walk [Form] Button=999");
    QTest::newRow("line breaks become blanks") << breaks << breaksLoaded;

    PanelLayout extremes = WorkedExample();
    extremes.color = static_cast<TColor>(0x80000005u);
    extremes.buttons[1].motion = std::numeric_limits<int>::min();
    extremes.buttons[1].shortCut = std::numeric_limits<int>::max();
    extremes.buttons[1].color = 0x00FFFFFF;
    extremes.buttons[1].fontColor = ContrastTextColor(0x00FFFFFF);
    PanelLayout extremesLoaded = extremes;
    extremesLoaded.comm = 0;
    QTest::newRow("32-bit extremes") << extremes << extremesLoaded;
}

void TestPanelLayout::saveThenLoad() {
    QFETCH(PanelLayout, saved);
    QFETCH(PanelLayout, loaded);
    const QString path = m_dir.filePath(QStringLiteral("round_trip.vmd"));
    QVERIFY(SaveLayout(path, saved));
    const std::optional<PanelLayout> result = LoadLayout(path, Screen);
    QVERIFY(result.has_value());
    QCOMPARE(result->caption, loaded.caption);
    QCOMPARE(result->backgroundFile, loaded.backgroundFile);
    QCOMPARE(result->buttons.size(), loaded.buttons.size());
    for (size_t i = 0; i < loaded.buttons.size(); ++i)
        QCOMPARE(result->buttons[i], loaded.buttons[i]);
    QCOMPARE(*result, loaded);
}

void TestPanelLayout::saveWritesEncoding_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QByteArray>("captionLine");
    QTest::addColumn<bool>("utf8");
    QTest::newRow("Japanese as CP932 bytes")
        << "歩く" << QByteArray("\r\nCaption=\x95\xe0\x82\xad\r\n") << false;
    QTest::newRow("outside CP932 as UTF-8")
        << "Café" << QByteArray("\r\nCaption=Caf\xc3\xa9\r\n") << true;
}

void TestPanelLayout::saveWritesEncoding() {
    QFETCH(QString, caption);
    QFETCH(QByteArray, captionLine);
    QFETCH(bool, utf8);
    PanelLayout layout;
    layout.caption = caption;
    const QString path = m_dir.filePath(QStringLiteral("encoding.vmd"));
    QVERIFY(SaveLayout(path, layout));
    const QByteArray bytes = ReadAll(path);
    QVERIFY2(bytes.contains(captionLine), bytes.constData());
    QCOMPARE(bytes.startsWith("\xef\xbb\xbf[Form]"), utf8);
}

void TestPanelLayout::missingFileIsCreatedEmpty() {
    const QString path = m_dir.filePath(QStringLiteral("first_start.ini"));
    QFile::remove(path);
    const std::optional<PanelLayout> loaded = LoadLayout(path, Screen);
    QVERIFY(loaded.has_value());
    QCOMPARE(*loaded, Defaults());
    QVERIFY(QFile::exists(path));
    QCOMPARE(QFileInfo(path).size(), 0);

    const QString settings = m_dir.filePath(QStringLiteral("first_port.ini"));
    QCOMPARE(LoadPortChoice(settings), std::optional<int>(0));
    QVERIFY(QFile::exists(settings));
}

// Each row makes a place that cannot be written; every operation must show the box and
// leave everything as it was. Permission bits hold for root too, see IsIniPlaceWritable.
void TestPanelLayout::unwritablePlace_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("operation");
    const QStringList kinds = {"missing folder", "parent is a file", "read-only file",
                               "missing file in read-only folder", "name is a folder"};
    for (const QString& kind : kinds)
        for (const char* op : {"save", "load", "port"})
            QTest::addRow("%s, %s", qPrintable(kind), op) << kind << QString::fromLatin1(op);
}

void TestPanelLayout::unwritablePlace() {
    QFETCH(QString, kind);
    QFETCH(QString, operation);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString path = dir.filePath(QStringLiteral("panel.vmd"));
    QFile::copy(QStringLiteral(TAPDECK_TEST_DATA "/storage/worked_example.vmd"), path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    if (kind == "missing folder")
        path = dir.filePath(QStringLiteral("missing/panel.vmd"));
    else if (kind == "parent is a file")
        path = dir.filePath(QStringLiteral("panel.vmd/inner.vmd"));
    else if (kind == "read-only file")
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    else if (kind == "missing file in read-only folder") {
        path = dir.filePath(QStringLiteral("new.vmd"));
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    } else if (kind == "name is a folder")
        path = dir.path();
    const QByteArray before = ReadAll(dir.filePath(QStringLiteral("panel.vmd")));
    const QStringList entriesBefore = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden);

    TFileResult result;
    bool succeeded = true;
    if (operation == "save")
        succeeded = SaveLayout(path, PanelLayout(), &result);
    else if (operation == "load")
        succeeded = LoadLayout(path, Screen, &result).has_value();
    else
        succeeded = LoadPortChoice(path, &result).has_value();

    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(dir.filePath(QStringLiteral("panel.vmd")),
                          QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY(!succeeded);
    // Refused by the write test, before any call the system could fail: the box has
    // nothing to add to its text.
    QCOMPARE(result.step, TFileResult::PlaceRefused);
    QCOMPARE(result.Explain(), QString());
    QCOMPARE(ReadAll(dir.filePath(QStringLiteral("panel.vmd"))), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden), entriesBefore);
}

void TestPanelLayout::writableFileInReadOnlyFolder_data() {
    QTest::addColumn<QString>("operation");
    for (const char* op : {"save", "load", "port"})
        QTest::addRow("%s", op) << QString::fromLatin1(op);
}

// A file the user may write is theirs to open and save even where no file can be made
// beside it: it is written over in place, with nothing left in the folder.
void TestPanelLayout::writableFileInReadOnlyFolder() {
    QFETCH(QString, operation);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("panel.vmd"));
    QVERIFY(QFile::copy(QStringLiteral(TAPDECK_TEST_DATA "/storage/worked_example.vmd"), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    const QStringList entriesBefore = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden);

    PanelLayout shorter = WorkedExample();
    shorter.buttons.pop_back();
    bool succeeded = false;
    if (operation == "save")
        succeeded = SaveLayout(path, shorter);
    else if (operation == "load")
        succeeded = LoadLayout(path, Screen) == std::optional<PanelLayout>([] {
                        PanelLayout expected = WorkedExample();
                        expected.comm = 0;
                        return expected;
                    }());
    else
        succeeded = LoadPortChoice(path) == std::optional<int>(WorkedExample().comm);
    const QStringList entriesAfter = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QVERIFY(succeeded);
    QCOMPARE(entriesAfter, entriesBefore);
    if (operation == "save") {
        // Shorter than before: no tail of the old content may stay behind.
        const QString expected = m_dir.filePath(QStringLiteral("shorter.vmd"));
        QVERIFY(SaveLayout(expected, shorter));
        QCOMPARE(ReadAll(path), ReadAll(expected));
    } else {
        QCOMPARE(ReadAll(path),
                 ReadAll(QStringLiteral(TAPDECK_TEST_DATA "/storage/worked_example.vmd")));
    }
}

void TestPanelLayout::fileWithoutEndIsNoPlace_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("operation");
    for (const char* op : {"save", "load", "port"}) {
        QTest::addRow("pipe, %s", op) << "panel.vmd" << QString::fromLatin1(op);
        QTest::addRow("endless device, %s", op) << "/dev/zero" << QString::fromLatin1(op);
    }
}

// A pipe or a device is no place for a layout: it is refused before it is read, as
// reading it could wait for ever or never end.
void TestPanelLayout::fileWithoutEndIsNoPlace() {
    QFETCH(QString, name);
    QFETCH(QString, operation);
    QTemporaryDir dir;
    QString path = name;
    std::atomic<bool> finished{false};
    std::thread closer;
    if (!name.startsWith(QLatin1Char('/'))) {
        path = dir.filePath(name);
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        // Held open, so that a reader waits; let go later so that a waiting reader ends.
        const int writer = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK);
        QVERIFY(writer >= 0);
        closer = std::thread([writer, &finished] {
            for (int i = 0; i < 100 && !finished; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            ::close(writer);
        });
    }
    QElapsedTimer timer;
    timer.start();
    TFileResult result;
    bool succeeded = true;
    if (operation == "save")
        succeeded = SaveLayout(path, PanelLayout(), &result);
    else if (operation == "load")
        succeeded = LoadLayout(path, Screen, &result).has_value();
    else
        succeeded = LoadPortChoice(path, &result).has_value();
    const qint64 elapsed = timer.elapsed();
    finished = true;
    if (closer.joinable())
        closer.join();
    QVERIFY(!succeeded);
    QCOMPARE(result.step, TFileResult::PlaceRefused);
    QVERIFY2(elapsed < 500, qPrintable(QString::number(elapsed)));
}

void TestPanelLayout::saveReplacesTheFileWhole() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("panel.vmd"));
    QFile::copy(QStringLiteral(TAPDECK_TEST_DATA "/storage/worked_example.vmd"), path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    // A second name for the old content: a rename leaves it alone, rewriting in place
    // would not.
    const QString oldName = dir.filePath(QStringLiteral("old.vmd"));
    QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(oldName).constData()),
             0);
    PanelLayout layout;
    layout.caption = QStringLiteral("Replaced");
    QVERIFY(SaveLayout(path, layout));
    QVERIFY(ReadAll(path).contains("Caption=Replaced"));
    QCOMPARE(ReadAll(oldName),
             ReadAll(QStringLiteral(TAPDECK_TEST_DATA "/storage/worked_example.vmd")));
    QCOMPARE(QFileInfo(path).permissions(), QFile::ReadOwner | QFile::WriteOwner |
                                                QFile::ReadGroup | QFile::ReadUser |
                                                QFile::WriteUser);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList({"old.vmd", "panel.vmd"}));
}

void TestPanelLayout::saveThroughSymbolicLink() {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("real.ini"));
    const QString link = dir.filePath(QStringLiteral("link.ini"));
    QVERIFY(QFile::copy(QStringLiteral(TAPDECK_TEST_DATA "/storage/no_buttons.vmd"), target));
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY(QFile::link(target, link));
    QVERIFY(SaveLayout(link, WorkedExample()));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(ReadAll(target),
             ReadAll(QStringLiteral(TAPDECK_TEST_DATA "/storage/worked_example.vmd")));
}

void TestPanelLayout::corruptCountIsCapped() {
    const std::optional<PanelLayout> loaded =
        LoadLayout(copyFixture(QStringLiteral("corrupt_count.vmd")), Screen);
    QVERIFY(loaded.has_value());
    QCOMPARE(loaded->buttons.size(), size_t(MaxLayoutButtons));
    QCOMPARE(loaded->buttonCounter, MaxLayoutButtons);
    QCOMPARE(loaded->buttons.front(), DefaultButton(MaxLayoutButtons));
    QCOMPARE(loaded->buttons.back().caption, QStringLiteral("Real"));
}

void TestPanelLayout::portChoice_data() {
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<int>("expected");
    QTest::newRow("stored COM7") << "port_choice.ini" << 7;
    QTest::newRow("missing key gives the motion editor") << "port_choice_missing.ini" << 0;
    QTest::newRow("mixed case and $ hex") << "port_choice_hex.ini" << 30;
    QTest::newRow("worked example") << "worked_example.vmd" << 3;
}

void TestPanelLayout::portChoice() {
    QFETCH(QString, fixture);
    QFETCH(int, expected);
    QCOMPARE(LoadPortChoice(copyFixture(fixture)), std::optional<int>(expected));
}

QTEST_MAIN(TestPanelLayout)
#include "tst_panellayout.moc"
