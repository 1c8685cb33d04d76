// Why a port was refused: what the termios device records from the system, on
// pseudo-terminals and real files, who holds a port (its descriptors and its lock), and
// the line that explains it to the user.
#include "PortRefusal.h"
#include "PtyPair.h"
#include "TermiosCommDevice.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>

namespace {

QString Explain(int error, const QString& path, const std::vector<TPortHolder>& holders = {},
                const TDeviceAccess& access = {}) {
    return QString::fromStdString(ExplainPortRefusal({error, path.toStdString()}, holders, access));
}

// "name pid" each.
std::vector<TPortHolder> Holders(const QStringList& rows) {
    std::vector<TPortHolder> holders;
    for (const QString& row : rows)
        holders.push_back({row.section(' ', 1).toInt(), row.section(' ', 0, 0).toStdString()});
    return holders;
}

// Whether /proc/locks shows a lock held by pid.
bool ProcLocksShow(qint64 pid) {
    QFile locks("/proc/locks");
    if (!locks.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : locks.readAll().split('\n'))
        if (line.simplified().split(' ').contains(QByteArray::number(pid)))
            return true;
    return false;
}

// Opens the port in a child process that runs as nobody (when we are root, whom no file
// mode stops) or with the device's mode taken away; returns the child's refusal error.
int RefusalWithoutPermission(const TPtyPair& pty) {
    const QByteArray slave = pty.SlavePath().toLocal8Bit();
    const QByteArray folder = pty.Folder().toLocal8Bit();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0) {
            // The port's link must stay reachable: only the device itself is to refuse.
            if (::chmod(folder.constData(), 0755) != 0)
                ::_exit(102);
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(100);
        } else if (::chmod(slave.constData(), 0) != 0) {
            ::_exit(101);
        }
        TTermiosCommDevice device(pty.Folder().toStdString());
        const bool opened = device.Open(3);
        ::_exit(opened ? 0 : device.LastRefusal().error);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

class TestPortRefusal : public QObject {
    Q_OBJECT
private slots:
    void explainsEachCause_data();
    void explainsEachCause();
    void explainsPermissionByTheDevicesMode_data();
    void explainsPermissionByTheDevicesMode();
    void explainsPermissionOfARealFile_data();
    void explainsPermissionOfARealFile();
    void findsLockHoldersInProcLocks_data();
    void findsLockHoldersInProcLocks();
    void namesHoldersLockerFirst_data();
    void namesHoldersLockerFirst();
    void namesEveryProgramHoldingThePort();
    void namesALockerWhoseDescriptorsAreHidden();
    void theDeviceRecordsWhyItWasRefused_data();
    void theDeviceRecordsWhyItWasRefused();
};

void TestPortRefusal::explainsEachCause_data() {
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("holder"); // "name pid", or empty
    QTest::addColumn<QStringList>("says");
    const QString path = QFINDTESTDATA("tst_portrefusal.cpp");
    QTest::newRow("held by brltty")
        << EBUSY << "brltty 321" << QStringList{"brltty (PID 321) が使用中", "apt remove brltty"};
    QTest::newRow("held by ModemManager")
        << EWOULDBLOCK << "ModemManager 77"
        << QStringList{"ModemManager (PID 77)", "ID_MM_DEVICE_IGNORE"};
    QTest::newRow("held, nobody visible") << EBUSY << "" << QStringList{"他のプログラムが使用中"};
    QTest::newRow("something else: the system's words")
        << EIO << "" << QStringList{path + ": " + QString::fromLocal8Bit(std::strerror(EIO))};
}

void TestPortRefusal::explainsEachCause() {
    QFETCH(int, error);
    QFETCH(QString, holder);
    QFETCH(QStringList, says);
    const QString line = Explain(error, QFINDTESTDATA("tst_portrefusal.cpp"),
                                 Holders(holder.isEmpty() ? QStringList{} : QStringList{holder}));
    for (const QString& part : says)
        QVERIFY2(line.contains(part), qPrintable(line));
    QVERIFY(!line.contains('\n'));
    QCOMPARE(Explain(0, "/dev/ttyUSB0"), QString());
}

void TestPortRefusal::explainsPermissionByTheDevicesMode_data() {
    QTest::addColumn<int>("mode"); // -1: the device could not be looked at
    QTest::addColumn<QString>("owner");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QStringList>("says");
    QTest::addColumn<bool>("joinGroup");
    const QString ownerOnly = "udev規則でグループと MODE=\"0660\" を付けてください (例: "
                              "/usr/share/doc/tapdeck/examples/60-tapdeck-serial.rules)。";
    QTest::newRow("dialout may read and write")
        << int(S_IFCHR | 0660) << "root"
        << "dialout"
        << QStringList{"(グループ dialout)。", "sudo usermod -aG dialout $USER を実行し"} << true;
    QTest::newRow("root's group may read and write")
        << int(S_IFCHR | 0660) << "root"
        << "root"
        << QStringList{"(crw-rw---- root root)。開けるのは所有者 root だけです。", ownerOnly}
        << false;
    QTest::newRow("only the owner may (this machine's ttyS0)")
        << int(S_IFCHR | 0600) << "root"
        << "root"
        << QStringList{"(crw------- root root)。開けるのは所有者 root だけです。", ownerOnly}
        << false;
    QTest::newRow("the group may only write (a terminal)")
        << int(S_IFCHR | 0620) << "alice"
        << "tty"
        << QStringList{"(crw--w---- alice tty)。開けるのは所有者 alice と root だけです。",
                       ownerOnly}
        << false;
    QTest::newRow("the group may only read")
        << int(S_IFCHR | 0640) << "root"
        << "dialout" << QStringList{"(crw-r----- root dialout)", ownerOnly} << false;
    QTest::newRow("nothing known")
        << -1 << ""
        << "" << QStringList{"/dev/ttyS0 を開く権限がありません。"} << false;
}

void TestPortRefusal::explainsPermissionByTheDevicesMode() {
    QFETCH(int, mode);
    QFETCH(QString, owner);
    QFETCH(QString, group);
    QFETCH(QStringList, says);
    QFETCH(bool, joinGroup);
    const TDeviceAccess access{mode >= 0, mode_t(std::max(mode, 0)), owner.toStdString(),
                               group.toStdString()};
    for (const int error : {EACCES, EPERM}) {
        const QString line = Explain(error, "/dev/ttyS0", {}, access);
        QVERIFY2(line.startsWith("/dev/ttyS0 を開く権限がありません"), qPrintable(line));
        for (const QString& part : says)
            QVERIFY2(line.contains(part), qPrintable(line));
        QCOMPARE(line.contains("usermod"), joinGroup);
        QCOMPARE(line.contains("所有者"), !joinGroup && mode >= 0);
    }
}

void TestPortRefusal::explainsPermissionOfARealFile_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("ownGroup"); // the file given a group other than root's
    QTest::addColumn<bool>("joinGroup");
    QTest::newRow("only the owner may") << 0600 << false << false;
    QTest::newRow("a group other than root's may") << 0660 << true << true;
}

void TestPortRefusal::explainsPermissionOfARealFile() {
    QFETCH(int, mode);
    QFETCH(bool, ownGroup);
    QFETCH(bool, joinGroup);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QByteArray path = folder.filePath("ttyStandIn").toLocal8Bit();
    QFile file(QString::fromLocal8Bit(path));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    if (ownGroup) {
        // Root may give any group; others, one of their own.
        const group* dialout = ::getgrnam("dialout");
        const gid_t gid = ::geteuid() == 0 ? (dialout ? dialout->gr_gid : 65534) : ::getegid();
        if (gid == 0)
            QSKIP("no group other than root's to give the file");
        QCOMPARE(::chown(path.constData(), uid_t(-1), gid), 0);
    }
    QCOMPARE(::chmod(path.constData(), mode_t(mode)), 0);
    struct stat st;
    QCOMPARE(::stat(path.constData(), &st), 0);
    const passwd* owner = ::getpwuid(st.st_uid);
    const group* entry = ::getgrgid(st.st_gid);
    const QString ownerName = owner ? owner->pw_name : QString::number(st.st_uid);
    const QString groupName = entry ? entry->gr_name : QString::number(st.st_gid);

    const QString line = QString::fromStdString(ExplainPortRefusal({EACCES, path.toStdString()}));
    QVERIFY2(line.startsWith(QString::fromLocal8Bit(path) + " を開く権限がありません"),
             qPrintable(line));
    if (joinGroup) {
        QVERIFY2(line.contains("sudo usermod -aG " + groupName + " $USER"), qPrintable(line));
    } else {
        QVERIFY2(line.contains(
                     QString("(-rw------- %1 %2)。開けるのは所有者 %1").arg(ownerName, groupName)),
                 qPrintable(line));
        QVERIFY2(!line.contains("usermod"), qPrintable(line));
    }
}

void TestPortRefusal::findsLockHoldersInProcLocks_data() {
    QTest::addColumn<QString>("locks");
    QTest::addColumn<QList<int>>("pids"); // of the file 00:05 inode 93
    QTest::newRow("an flock on the device") << "1: FLOCK  ADVISORY  WRITE 1234 00:05:93 0 EOF\n"
                                            << QList<int>{1234};
    QTest::newRow("other files") << "1: FLOCK  ADVISORY  WRITE 10 00:05:930 0 EOF\n"
                                    "2: FLOCK  ADVISORY  WRITE 11 00:05:94 0 EOF\n"
                                    "3: FLOCK  ADVISORY  WRITE 12 00:06:93 0 EOF\n"
                                    "4: FLOCK  ADVISORY  WRITE 13 05:00:93 0 EOF\n"
                                 << QList<int>{};
    QTest::newRow("waiters hold nothing") << "1: FLOCK  ADVISORY  WRITE 20 00:05:93 0 EOF\n"
                                             "1: -> FLOCK  ADVISORY  WRITE 21 00:05:93 0 EOF\n"
                                          << QList<int>{20};
    QTest::newRow("shared locks in the file's order, each pid once")
        << "1: FLOCK  ADVISORY  READ 31 00:05:93 0 EOF\n"
           "2: FLOCK  ADVISORY  READ 30 00:05:93 0 EOF\n"
           "3: POSIX  ADVISORY  READ 31 00:05:93 0 EOF\n"
        << QList<int>{31, 30};
    QTest::newRow("an open file description's lock has no pid")
        << "1: OFDLCK ADVISORY  WRITE -1 00:05:93 0 EOF\n"
           "2: POSIX  ADVISORY  WRITE 0 00:05:93 0 EOF\n"
        << QList<int>{};
    QTest::newRow("leases, no inode, and rubbish")
        << "1: LEASE  ACTIVE    READ 40 00:05:93 0 EOF\n"
           "2: FLOCK  ADVISORY  WRITE 41 <none>:0 0 EOF\n"
           "rubbish 00:05:93\n\n3: FLOCK\n"
        << QList<int>{40};
}

void TestPortRefusal::findsLockHoldersInProcLocks() {
    QFETCH(QString, locks);
    QFETCH(QList<int>, pids);
    const std::vector<int> found = ParseLockHolders(locks.toStdString(), makedev(0, 5), 93);
    QCOMPARE(QList<int>(found.begin(), found.end()), pids);
    // Device numbers are hexadecimal there: 254:26 is fe:1a.
    const std::string hexadecimal = "1: FLOCK  ADVISORY  WRITE 7 fe:1a:93 0 EOF\n";
    QCOMPARE(ParseLockHolders(hexadecimal, makedev(254, 26), 93), std::vector<int>{7});
}

void TestPortRefusal::namesHoldersLockerFirst_data() {
    QTest::addColumn<QStringList>("holders"); // "name pid", in the order /proc lists them
    QTest::addColumn<QList<int>>("lockers");
    QTest::addColumn<QString>("says"); // the line's end
    QTest::newRow("one program") << QStringList{"cat 10"} << QList<int>{}
                                 << "は cat (PID 10) が使用中です。";
    QTest::newRow("the locker first, though /proc lists it later")
        << QStringList{"cat 10", "flock 20"} << QList<int>{20}
        << "は flock (PID 20)、cat (PID 10) が使用中です。";
    QTest::newRow("a fourth is counted")
        << QStringList{"a 1", "b 2", "c 3", "d 4"} << QList<int>{4}
        << "は d (PID 4)、a (PID 1)、b (PID 2) 他 1 件が使用中です。";
    QTest::newRow("several counted")
        << QStringList{"a 1", "b 2", "c 3", "d 4", "e 5", "f 6"} << QList<int>{}
        << "は a (PID 1)、b (PID 2)、c (PID 3) 他 3 件が使用中です。";
    QTest::newRow("lockers in the lock file's order")
        << QStringList{"a 1", "b 2", "c 3"} << QList<int>{3, 2}
        << "は c (PID 3)、b (PID 2)、a (PID 1) が使用中です。";
    QTest::newRow("each named known program's advice, once")
        << QStringList{"brltty 5", "ModemManager 6", "brltty 7"} << QList<int>{}
        << "は brltty (PID 5)、ModemManager (PID 6)、brltty (PID 7) が使用中です。"
           "点字ディスプレイを使わないなら sudo apt remove brltty で外せます。"
           "差し込み直後のアダプタを数秒調べます。少し待ってから選び直すか、"
           "udev規則で ENV{ID_MM_DEVICE_IGNORE}=\"1\" を付けてください。";
    QTest::newRow("a known program counted, not named: no advice")
        << QStringList{"a 1", "b 2", "c 3", "brltty 4"} << QList<int>{}
        << "は a (PID 1)、b (PID 2)、c (PID 3) 他 1 件が使用中です。";
}

void TestPortRefusal::namesHoldersLockerFirst() {
    QFETCH(QStringList, holders);
    QFETCH(QList<int>, lockers);
    QFETCH(QString, says);
    const std::vector<TPortHolder> ordered =
        LockHoldersFirst(Holders(holders), std::vector<int>(lockers.begin(), lockers.end()));
    const QString line = Explain(EBUSY, "/dev/ttyUSB0", ordered);
    QVERIFY2(line.endsWith(says), qPrintable(line));
}

void TestPortRefusal::namesEveryProgramHoldingThePort() {
    TPtyPair pty(3);
    QVERIFY(pty.IsValid());
    // A monitor that merely has the port open, started first so that /proc lists it first.
    QProcess opener;
    opener.setStandardInputFile(pty.SlavePath());
    opener.start("sleep", {"30"});
    QVERIFY(opener.waitForStarted());
    // -o: flock itself holds the port and its lock, not the sleep it runs.
    QProcess locker;
    locker.start("flock", {"-o", pty.SlavePath(), "sleep", "30"});
    QVERIFY(locker.waitForStarted());
    QTRY_VERIFY(ProcLocksShow(locker.processId()));

    TTermiosCommDevice device(pty.Folder().toStdString());
    QVERIFY(!device.Open(3));
    const QString line = QString::fromStdString(ExplainPortRefusal(device.LastRefusal()));
    const QString expected = QString("%1 は flock (PID %2)、sleep (PID %3) が使用中です。")
                                 .arg(pty.SlavePath())
                                 .arg(locker.processId())
                                 .arg(opener.processId());
    for (QProcess* process : {&locker, &opener}) {
        process->kill();
        process->waitForFinished();
    }
    QCOMPARE(line, expected);
}

void TestPortRefusal::namesALockerWhoseDescriptorsAreHidden() {
    if (::geteuid() != 0)
        QSKIP("needs root, to hold the port as another user than the one who looks");
    TPtyPair pty(3);
    QVERIFY(pty.IsValid());
    QProcess locker;
    locker.start("flock", {"-o", pty.SlavePath(), "sleep", "30"});
    QVERIFY(locker.waitForStarted());
    QTRY_VERIFY(ProcLocksShow(locker.processId()));
    // nobody may not read root's descriptors, but /proc/locks shows the lock's holder.
    const std::string slave = pty.SlavePath().toStdString();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(100);
        const std::vector<TPortHolder> holders = FindPortHolders(slave);
        const bool named = holders.size() == 1 && holders.front().pid == locker.processId() &&
                           holders.front().name == "flock";
        ::_exit(named ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    locker.kill();
    locker.waitForFinished();
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
}

void TestPortRefusal::theDeviceRecordsWhyItWasRefused_data() {
    QTest::addColumn<QString>("cause");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("says");
    QTest::newRow("link to an unplugged adapter")
        << "unplugged" << ENOENT << "の指す /dev/ttyUSB9 がありません。アダプタが接続されていない";
    QTest::newRow("held by a second port in this program") << "second" << -1 << "が使用中です";
    QTest::newRow("held by another program") << "flock" << -1 << "が使用中です";
    // Terminals are crw--w---- or crw-------: no group to join.
    QTest::newRow("no permission") << "permission" << EACCES << "だけです。udev規則で";
}

void TestPortRefusal::theDeviceRecordsWhyItWasRefused() {
    QFETCH(QString, cause);
    QFETCH(int, error);
    QFETCH(QString, says);
    TPtyPair pty(3);
    QVERIFY(pty.IsValid());
    if (cause == "permission") {
        QCOMPARE(RefusalWithoutPermission(pty), error);
        const QString line =
            QString::fromStdString(ExplainPortRefusal({error, pty.PortPath(3).toStdString()}));
        QVERIFY2(line.contains(says), qPrintable(line));
        return;
    }
    TTermiosCommDevice first(pty.Folder().toStdString());
    QProcess holder;
    if (cause == "unplugged") {
        QVERIFY(QFile::remove(pty.PortPath(3)));
        QVERIFY(QFile::link("/dev/ttyUSB9", pty.PortPath(3)));
    } else if (cause == "second") {
        QVERIFY(first.Open(3));
    } else {
        holder.start("flock", {pty.SlavePath(), "sleep", "30"});
        QVERIFY(holder.waitForStarted());
        // flock has the lock once the device shows it among the holders.
        QTRY_VERIFY(!FindPortHolders(pty.PortPath(3).toStdString()).empty());
    }
    TTermiosCommDevice device(pty.Folder().toStdString());
    QVERIFY(!device.Open(3));
    const TPortRefusal refusal = device.LastRefusal();
    if (error > 0)
        QCOMPARE(refusal.error, error);
    else
        QVERIFY2(refusal.error == EBUSY || refusal.error == EWOULDBLOCK,
                 std::strerror(refusal.error));
    QCOMPARE(QString::fromStdString(refusal.path), pty.PortPath(3));
    const QString line = QString::fromStdString(ExplainPortRefusal(refusal));
    QVERIFY2(line.contains(says), qPrintable(line));
    if (cause == "flock") {
        QVERIFY2(line.contains(QString("(PID %1)").arg(holder.processId())) ||
                     line.contains("sleep (PID "),
                 qPrintable(line));
        holder.kill();
        holder.waitForFinished();
    }
}

QTEST_GUILESS_MAIN(TestPortRefusal)
#include "tst_portrefusal.moc"
