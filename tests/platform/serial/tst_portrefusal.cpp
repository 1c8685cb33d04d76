// Why a port was refused: what the termios device records from the system, on
// pseudo-terminals and real files, and the line that explains it to the user.
#include "PortRefusal.h"
#include "PtyPair.h"
#include "TermiosCommDevice.h"

#include <QProcess>
#include <QTest>

#include <cstring>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

QString Explain(int error, const QString& path, const std::vector<TPortHolder>& holders = {}) {
    return QString::fromStdString(ExplainPortRefusal({error, path.toStdString()}, holders));
}

QString GroupName(const QString& path) {
    struct stat st;
    if (::stat(path.toLocal8Bit().constData(), &st) != 0)
        return {};
    const group* entry = ::getgrgid(st.st_gid);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(st.st_gid);
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
    void theDeviceRecordsWhyItWasRefused_data();
    void theDeviceRecordsWhyItWasRefused();
};

void TestPortRefusal::explainsEachCause_data() {
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("holder"); // "name pid", or empty
    QTest::addColumn<QStringList>("says");
    const QString path = QFINDTESTDATA("tst_portrefusal.cpp");
    const QString group = GroupName(path);
    QTest::newRow("permission: the group and the command")
        << EACCES << "" << QStringList{path, "グループ " + group, "sudo usermod -aG " + group};
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

void TestPortRefusal::theDeviceRecordsWhyItWasRefused_data() {
    QTest::addColumn<QString>("cause");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("says");
    QTest::newRow("link to an unplugged adapter")
        << "unplugged" << ENOENT << "の指す /dev/ttyUSB9 がありません。アダプタが接続されていない";
    QTest::newRow("held by a second port in this program") << "second" << -1 << "が使用中です";
    QTest::newRow("held by another program") << "flock" << -1 << "が使用中です";
    QTest::newRow("no permission") << "permission" << EACCES << "sudo usermod -aG";
}

void TestPortRefusal::theDeviceRecordsWhyItWasRefused() {
    QFETCH(QString, cause);
    QFETCH(int, error);
    QFETCH(QString, says);
    TPtyPair pty(3);
    QVERIFY(pty.IsValid());
    if (cause == "permission") {
        QCOMPARE(RefusalWithoutPermission(pty), error);
        QVERIFY(Explain(error, pty.PortPath(3)).contains(says));
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
