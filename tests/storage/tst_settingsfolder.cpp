// Where the program started as itself keeps its settings file.

#include "PanelLayout.h"
#include "SettingsFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSettingsFolder : public QObject {
    Q_OBJECT
private slots:
    void programFolderOrUserFolder_data();
    void programFolderOrUserFolder();
    void userFolderFromEnvironment_data();
    void userFolderFromEnvironment();
};

void TestSettingsFolder::programFolderOrUserFolder_data() {
    QTest::addColumn<bool>("folderWritable");
    QTest::addColumn<QString>("settingsFile"); // "", "writable" or "read-only"
    QTest::addColumn<bool>("besideProgram");
    QTest::addColumn<bool>("installed"); // the install's desktop entry where it puts it
    QTest::newRow("writable folder, no file") << true << "" << true << false;
    QTest::newRow("writable folder, read-only file") << true << "read-only" << true << false;
    QTest::newRow("read-only folder, writable file") << false << "writable" << true << false;
    QTest::newRow("read-only folder, no file") << false << "" << false << false;
    QTest::newRow("read-only folder, read-only file") << false << "read-only" << false << false;
    // As root runs it: its folder and an old settings file there can be written.
    QTest::newRow("installed, writable folder and file") << true << "writable" << false << true;
}

void TestSettingsFolder::programFolderOrUserFolder() {
    QFETCH(bool, folderWritable);
    QFETCH(QString, settingsFile);
    QFETCH(bool, besideProgram);
    QFETCH(bool, installed);
    QTemporaryDir prefix;
    QTemporaryDir config;
    QVERIFY(prefix.isValid() && config.isValid());
    QVERIFY(QDir(prefix.path()).mkpath("bin") && QDir(prefix.path()).mkpath("share/applications"));
    const QDir program(prefix.filePath("bin"));
    if (installed) {
        QFile entry(prefix.filePath("share/applications/tapdeck.desktop"));
        QVERIFY(entry.open(QIODevice::WriteOnly));
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    const QString settings = SettingsFilePath(program.path());
    if (!settingsFile.isEmpty()) {
        QFile file(settings);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        file.setPermissions(settingsFile == "writable" ? QFile::ReadOwner | QFile::WriteOwner
                                                       : QFile::ReadOwner);
    }
    if (!folderWritable)
        QFile::setPermissions(program.path(), QFile::ReadOwner | QFile::ExeOwner);

    const QString user = QDir(config.path()).filePath("tapdeck");
    // Naming the folder makes nothing; choosing it at start makes it.
    const QString named = SettingsFolderOf(program.path());
    QVERIFY(!QFileInfo::exists(user));
    const QString chosen = ChooseSettingsFolder(program.path());
    QFile::setPermissions(program.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QCOMPARE(named, chosen);
    QCOMPARE(chosen, besideProgram ? program.path() : user);
    // The user folder is made only when it is the one chosen.
    QCOMPARE(QDir(user).exists(), !besideProgram);
}

void TestSettingsFolder::userFolderFromEnvironment_data() {
    QTest::addColumn<QByteArray>("configHome");
    QTest::addColumn<QString>("expected");
    QTest::newRow("absolute") << QByteArray("/srv/conf") << "/srv/conf/tapdeck";
    QTest::newRow("unset") << QByteArray() << QDir::homePath() + "/.config/tapdeck";
    QTest::newRow("relative is ignored")
        << QByteArray("conf") << QDir::homePath() + "/.config/tapdeck";
}

void TestSettingsFolder::userFolderFromEnvironment() {
    QFETCH(QByteArray, configHome);
    QFETCH(QString, expected);
    if (configHome.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", configHome);
    QCOMPARE(UserSettingsFolder(), expected);
}

QTEST_GUILESS_MAIN(TestSettingsFolder)
#include "tst_settingsfolder.moc"
