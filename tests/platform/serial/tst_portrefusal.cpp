// Why a port was refused: what the termios device records from the system, on
// pseudo-terminals and real files, who holds a port, and the line that explains it.
#include "PortRefusal.h"
#include "PtyPair.h"
#include "TermiosCommDevice.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>

#include <cstring>

#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>

namespace {

QString Explain(int error, const QString& path, const std::vector<TPortHolder>& holders = {}) {
    return QString::fromStdString(ExplainPortRefusal({error, path.toStdString()}, holders, {}));
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
    void explainsPermissionOfARealFile();
    void namesHoldersLockerFirst_data();
    void namesHoldersLockerFirst();
    void namesEveryProgramHoldingThePort();
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
    std::vector<TPortHolder> holders;
    if (!holder.isEmpty())
        holders.push_back(
            {holder.section(' ', 1).toInt(), holder.section(' ', 0, 0).toStdString()});
    const QString line = Explain(error, QFINDTESTDATA("tst_portrefusal.cpp"), holders);
    for (const QString& part : says)
        QVERIFY2(line.contains(part), qPrintable(line));
    QVERIFY(!line.contains('\n'));
    QCOMPARE(Explain(0, "/dev/ttyUSB0"), QString());
}

void TestPortRefusal::explainsPermissionByTheDevicesMode_data() {
    QTest::addColumn<QString>("access"); // "mode owner group"
    QTest::addColumn<QString>("says");   // after "を開く権限がありません "
    const QString udev = "だけです。udev規則でグループと MODE=\"0660\" を付けてください (例: "
                         "/usr/share/doc/tapdeck/examples/60-tapdeck-serial.rules)。";
    QTest::newRow("a group not root's") << "0660 root dialout"
                                        << "(グループ dialout)。sudo usermod -aG dialout $USER "
                                           "を実行し、ログインし直してください。";
    QTest::newRow("root's group") << "0660 root root"
                                  << "(crw-rw---- root root)。開けるのは所有者 root " + udev;
    QTest::newRow("group may only write")
        << "0620 alice tty"
        << "(crw--w---- alice tty)。開けるのは所有者 alice と root " + udev;
    QTest::newRow("group may only read")
        << "0640 root dialout"
        << "(crw-r----- root dialout)。開けるのは所有者 root " + udev;
}

void TestPortRefusal::explainsPermissionByTheDevicesMode() {
    QFETCH(QString, access);
    QFETCH(QString, says);
    const QStringList part = access.split(' ');
    const TDeviceAccess device{true, mode_t(S_IFCHR | part[0].toUInt(nullptr, 8)),
                               part[1].toStdString(), part[2].toStdString()};
    QCOMPARE(QString::fromStdString(ExplainPortRefusal({EACCES, "/dev/ttyS0"}, {}, device)),
             "/dev/ttyS0 を開く権限がありません " + says);
}

void TestPortRefusal::explainsPermissionOfARealFile() {
    QTemporaryFile file;
    QVERIFY(file.open());
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    const QString line =
        QString::fromStdString(ExplainPortRefusal({EACCES, file.fileName().toStdString()}));
    const QString says = QString("(-rw------- %1 %2)。開けるのは所有者 %1")
                             .arg(QFileInfo(file).owner(), QFileInfo(file).group());
    QVERIFY2(line.contains(says), qPrintable(line));
}

void TestPortRefusal::namesHoldersLockerFirst_data() {
    QTest::addColumn<QString>("locks");       // /proc/locks; the device is 00:1a inode 93
    QTest::addColumn<QStringList>("holders"); // "name pid", in the order /proc lists them
    QTest::addColumn<QString>("says");        // after "は "
    QTest::newRow("the locker first, its waiter not")
        << "1: FLOCK  ADVISORY  WRITE 20 00:1a:93 0 EOF\n"
           "1: -> FLOCK  ADVISORY  WRITE 30 00:1a:93 0 EOF\n"
        << QStringList{"cat 10", "flock 20", "flock 30"}
        << "flock (PID 20)、cat (PID 10)、flock (PID 30) が使用中です。";
    QTest::newRow("other files' locks")
        << "1: FLOCK  ADVISORY  WRITE 20 00:1a:930 0 EOF\n"
           "2: FLOCK  ADVISORY  WRITE 20 00:1b:93 0 EOF\n"
        << QStringList{"cat 10", "flock 20"} << "cat (PID 10)、flock (PID 20) が使用中です。";
    QTest::newRow("three named, the rest counted, advice once")
        << "" << QStringList{"brltty 1", "cat 2", "brltty 3", "ModemManager 4", "e 5"}
        << "brltty (PID 1)、cat (PID 2)、brltty (PID 3) 他 2 件が使用中です。"
           "点字ディスプレイを使わないなら sudo apt remove brltty で外せます。";
}

void TestPortRefusal::namesHoldersLockerFirst() {
    QFETCH(QString, locks);
    QFETCH(QStringList, holders);
    QFETCH(QString, says);
    std::vector<TPortHolder> found;
    for (const QString& row : holders)
        found.push_back({row.section(' ', 1).toInt(), row.section(' ', 0, 0).toStdString()});
    // 00:1a: /proc/locks writes the device's numbers in hexadecimal.
    const std::vector<int> lockers = ParseLockHolders(locks.toStdString(), makedev(0, 26), 93);
    QCOMPARE(Explain(EBUSY, "/dev/ttyUSB0", LockHoldersFirst(found, lockers)),
             "/dev/ttyUSB0 は " + says);
}

void TestPortRefusal::namesEveryProgramHoldingThePort() {
    TPtyPair pty(3);
    QVERIFY(pty.IsValid());
    // A monitor that merely has the port open, started first so that /proc lists it first.
    QProcess opener;
    opener.setStandardInputFile(pty.SlavePath());
    opener.start("sleep", {"30"});
    QVERIFY(opener.waitForStarted());
    // -o: flock itself holds the port and its lock, not the shell it runs once it has both.
    QProcess locker;
    locker.start("flock", {"-o", pty.SlavePath(), "-c", "echo locked; exec sleep 30"});
    QVERIFY(locker.waitForReadyRead());
    TTermiosCommDevice device(pty.Folder().toStdString());
    QVERIFY(!device.Open(3));
    const QString line = QString::fromStdString(ExplainPortRefusal(device.LastRefusal()));
    const QString expected = QString("%1 は flock (PID %2)、sleep (PID %3) が使用中です。")
                                 .arg(pty.SlavePath(), QString::number(locker.processId()),
                                      QString::number(opener.processId()));
    for (QProcess* process : {&locker, &opener}) {
        process->kill();
        process->waitForFinished();
    }
    QCOMPARE(line, expected);
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
