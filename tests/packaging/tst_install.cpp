// The program installed into a prefix that is then made read-only, as under /usr: it keeps
// its settings and ports/ links in the user's configuration folder. And the Debian package
// made from the same install rules, whose file list shows what they install.

#include "PanelProcess.h"
#include "SimulatorProcess.h"

#include <QDirIterator>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace panel_process;

namespace {

const QStringList OneExchange = {"rx 0D", "tx 0D", "rx F4 01 04 F9", "tx 06"};
const QByteArray ComThree = "[Form]\r\nComm=3\r\nCaption=Installed\r\nTop=100\r\nLeft=100\r\n"
                            "Width=320\r\nHeight=240\r\nButton=1\r\n\r\n"
                            "[Button1]\r\nCaption=Bow\r\nTop=20\r\nLeft=20\r\nWidth=110\r\n"
                            "Height=40\r\nMotion=4\r\nShortCut=65\r\nColor=32768\r\n";

// Output of a command, or a failure naming it; the command must end with status 0.
bool RunTool(const QString& program, const QStringList& arguments, QByteArray* output = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool ended = process.waitForFinished(120000);
    const QByteArray text = process.readAll();
    if (output)
        *output = text;
    if (!ended || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning("%s %s: %s", qPrintable(program), qPrintable(arguments.join(' ')),
                 text.constData());
        return false;
    }
    return true;
}

void SetWritable(const QString& root, bool writable) {
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    QStringList paths{root};
    while (it.hasNext())
        paths << it.next();
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isSymLink())
            continue;
        QFile::Permissions permissions = info.permissions();
        permissions.setFlag(QFile::WriteOwner, writable);
        permissions.setFlag(QFile::WriteUser, writable);
        permissions.setFlag(QFile::WriteGroup, false);
        permissions.setFlag(QFile::WriteOther, false);
        QFile::setPermissions(path, permissions);
    }
}

} // namespace

class TestInstall : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void desktopEntryIsValid();
    void settingsInUserFolderFromReadOnlyPrefix();
    void settingsInUserFolderFromWritablePrefix();
    void debianPackage_data();
    void debianPackage();
    void cleanupTestCase();

private:
    QString Installed(const QString& relative) const { return m_prefix + '/' + relative; }

    QTemporaryDir m_root;
    QString m_prefix;
};

void TestInstall::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QFAIL("needs an X server (run under xvfb-run)");
    m_prefix = m_root.filePath("usr");
    QVERIFY(RunTool(CMAKE_COMMAND_PATH, {"--install", TAPDECK_BINARY_DIR, "--prefix", m_prefix}));
    SetWritable(m_prefix, false);
}

void TestInstall::desktopEntryIsValid() {
    QByteArray output;
    QVERIFY(RunTool("desktop-file-validate", {Installed("share/applications/tapdeck.desktop")},
                    &output));
    QCOMPARE(output, QByteArray());
}

// The installed panel in its read-only folder: its settings file appears in the user's
// folder and is written at close; a ports/COM3 link there is the port it opens.
void TestInstall::settingsInUserFolderFromReadOnlyPrefix() {
    QTemporaryDir config;
    const QString folder = config.filePath("tapdeck");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    {
        Panel first(folder);
        first.RunInstalled(Installed("bin/tapdeck"));
        QVERIFY(first.Start(QByteArray()));
        QVERIFY(first.AcknowledgeBox(QStringLiteral("情報")));
        QVERIFY2(QFile::exists(first.SettingsPath()),
                 qPrintable(Run("find", {m_root.path(), config.path(), "-name", "*.ini"})));
        QVERIFY(first.Terminate());
        QVERIFY2(ReadAll(first.SettingsPath()).startsWith("[Form]"),
                 ReadAll(first.SettingsPath()).constData());
    }

    SimulatorProcess board;
    board.SetProgram(Installed("bin/tapdeck-board-simulator"));
    QVERIFY2(board.Start(folder, 3), qPrintable(board.ErrorString()));
    Panel panel(folder);
    panel.RunInstalled(Installed("bin/tapdeck"));
    QVERIFY(panel.Start(ComThree));
    QVERIFY(panel.AcknowledgeBox(QStringLiteral("情報")));
    const QString window = WaitForWindow(QStringLiteral("Installed"));
    QVERIFY(!window.isEmpty());
    QVERIFY(Xdo({"windowfocus", "--sync", window}) && Xdo({"key", "a"}));
    QVERIFY(board.WaitForTraffic(OneExchange.size(), 20000));
    QCOMPARE(board.Traffic(), OneExchange);

    // The menu entry finds the running panel by its window class.
    const QSettings entry(Installed("share/applications/tapdeck.desktop"), QSettings::IniFormat);
    const QString windowClass = entry.value("Desktop Entry/StartupWMClass").toString();
    QCOMPARE(Run("xprop", {"-id", window, "-notype", "WM_CLASS"}),
             "WM_CLASS = \"tapdeck\", \"" + windowClass + '"');
    QVERIFY(panel.Terminate());
    QVERIFY(ReadAll(panel.SettingsPath()).contains("Comm=3\r\n"));
    QVERIFY(!QFile::exists(Installed("bin/Vodazevivuzo3.ini")));
}

// Run by root, the installed panel may write its own folder; it still keeps nothing there.
void TestInstall::settingsInUserFolderFromWritablePrefix() {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    SetWritable(m_prefix, true);
    Panel panel(config.filePath("tapdeck"));
    panel.RunInstalled(Installed("bin/tapdeck"));
    QVERIFY(panel.Start(QByteArray()));
    QVERIFY(panel.AcknowledgeBox(QStringLiteral("情報")));
    QVERIFY(panel.Terminate());
    SetWritable(m_prefix, false);
    QVERIFY(ReadAll(panel.SettingsPath()).startsWith("[Form]"));
    QVERIFY(!QFile::exists(Installed("bin/Vodazevivuzo3.ini")));
}

void TestInstall::debianPackage_data() {
    QTest::addColumn<QString>("part"); // "contents" or "control"
    QTest::addColumn<QString>("expected");
    for (const char* path :
         {"./usr/bin/tapdeck", "./usr/bin/tapdeck-board-simulator",
          "./usr/bin/tapdeck-motion-editor-standin", "./usr/share/applications/tapdeck.desktop",
          "./usr/share/icons/hicolor/scalable/apps/tapdeck.svg",
          "./usr/share/icons/hicolor/32x32/apps/tapdeck.png",
          "./usr/share/doc/tapdeck/examples/60-tapdeck-serial.rules"})
        QTest::addRow("contains %s", path) << "contents" << path;
    // Found by dpkg-shlibdeps from the links, and named because no link shows them.
    for (const char* dependency :
         {"libc6", "libqt6widgets6", "libqt6gui6", "libjpeg62-turbo", "libxcb1", "qt6-qpa-plugins",
          "qt6-translations-l10n", "fonts-ipafont-gothic"})
        QTest::addRow("depends on %s", dependency) << "control" << dependency;
    QTest::newRow("package name") << "control"
                                  << "Package: tapdeck";
}

void TestInstall::debianPackage() {
    QFETCH(QString, part);
    QFETCH(QString, expected);
    // Made once, for every row.
    static QTemporaryDir output;
    static QString package;
    if (package.isEmpty()) {
        QVERIFY(RunTool(CPACK_COMMAND_PATH,
                        {"-G", "DEB", "--config", TAPDECK_BINARY_DIR "/CPackConfig.cmake", "-B",
                         output.path()}));
        const QStringList debs = QDir(output.path()).entryList({"*.deb"}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        package = QDir(output.path()).filePath(debs.first());
    }
    QByteArray text;
    QVERIFY(RunTool("dpkg-deb", {part == "contents" ? "-c" : "-I", package}, &text));
    if (part == "contents") {
        const QRegularExpression line(" " + QRegularExpression::escape(expected) + "$",
                                      QRegularExpression::MultilineOption);
        QVERIFY2(line.match(QString::fromUtf8(text)).hasMatch(), text.constData());
        return;
    }
    const QRegularExpression depends("^ Depends: (.*)$", QRegularExpression::MultilineOption);
    const QString control = QString::fromUtf8(text);
    if (expected.contains(':')) {
        QVERIFY2(control.contains(expected), text.constData());
        return;
    }
    const QStringList dependencies =
        depends.match(control).captured(1).split(QRegularExpression("\\s*[,|]\\s*"));
    QVERIFY2(std::any_of(dependencies.begin(), dependencies.end(),
                         [&](const QString& d) { return d.section(' ', 0, 0) == expected; }),
             text.constData());
}

void TestInstall::cleanupTestCase() {
    SetWritable(m_prefix, true);
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
