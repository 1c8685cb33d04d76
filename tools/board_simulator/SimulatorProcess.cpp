#include "SimulatorProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

SimulatorProcess::~SimulatorProcess() {
    Stop();
}

QString SimulatorProcess::DefaultProgram() {
    return QStringLiteral(BOARD_SIMULATOR_PATH);
}

bool SimulatorProcess::Start(const QString& folder, int port, const QStringList& options) {
    Stop();
    const QString portName = "COM" + QString::number(port);
    m_linkPath = folder + "/ports/" + portName;
    m_logPath = folder + "/board-" + portName + ".log";
    m_recordPath = folder + "/board-" + portName + ".record";
    QFile::remove(m_logPath);
    QFile::remove(m_recordPath);

    QList<QByteArray> args{QFile::encodeName(m_program),
                           "--dir",
                           QFile::encodeName(folder),
                           "--port",
                           QByteArray::number(port),
                           "--trace",
                           "--log",
                           QFile::encodeName(m_logPath),
                           "--record",
                           QFile::encodeName(m_recordPath),
                           "--exit-with-parent"};
    for (const QString& option : options)
        args << option.toLocal8Bit();
    std::vector<char*> argv;
    for (QByteArray& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        m_error = QString("pipe: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    const int result = ::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    m_output = pipeFds[0];
    if (result != 0) {
        m_error = "cannot start " + m_program + ": " + std::strerror(result);
        m_pid = -1;
        ::close(m_output);
        m_output = -1;
        return false;
    }
    // The first line on standard output names the link once it exists.
    QByteArray line;
    if (!ReadFirstLine(line, 10000) || !line.contains("/ports/" + portName.toLatin1())) {
        m_error = "the simulator did not report its link: " + QString::fromLocal8Bit(line);
        Stop();
        return false;
    }
    if (!QFileInfo(m_linkPath).isSymLink()) {
        m_error = "no link at " + m_linkPath;
        Stop();
        return false;
    }
    return true;
}

bool SimulatorProcess::ReadFirstLine(QByteArray& line, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!line.contains('\n')) {
        pollfd fd{m_output, POLLIN, 0};
        const int ready = ::poll(&fd, 1, int(deadline.remainingTime()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char buffer[256];
        const ssize_t count = ::read(m_output, buffer, sizeof buffer);
        if (count <= 0)
            return false;
        line.append(buffer, count);
    }
    return true;
}

bool SimulatorProcess::Stop() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        const QDeadlineTimer deadline(5000);
        pid_t done = 0;
        while ((done = ::waitpid(m_pid, &status, WNOHANG)) == 0 && !deadline.hasExpired())
            QThread::msleep(2);
        if (done == 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &status, 0);
        }
        m_exitedCleanly = done == m_pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        m_pid = -1;
    }
    if (m_output >= 0) {
        ::close(m_output);
        m_output = -1;
    }
    return m_exitedCleanly;
}

QStringList SimulatorProcess::LogLines() const {
    QFile file(m_logPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    // "2026-12-08 16:50:00.123 text": the stamp is 23 characters and a space.
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.size() > 24)
            lines << QString::fromUtf8(line.mid(24));
    return lines;
}

QStringList SimulatorProcess::Traffic() const {
    QStringList traffic;
    for (const QString& line : LogLines())
        if (line.startsWith("rx ") || line.startsWith("tx "))
            traffic << line;
    return traffic;
}

bool SimulatorProcess::WaitForTraffic(int count, int timeoutMs) const {
    const QDeadlineTimer deadline(timeoutMs);
    while (Traffic().size() < count) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(5);
    }
    return true;
}

QList<SimulatorProcess::Play> SimulatorProcess::Plays() const {
    QFile file(m_recordPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<Play> plays;
    qint64 probe = -1;
    QByteArray text = file.readAll();
    // A line still being written is left for the next call.
    text.truncate(text.lastIndexOf('\n') + 1);
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 2 && fields[1] == "probe")
            probe = fields[0].toLongLong();
        else if (fields.size() == 3 && fields[1] == "play" && probe >= 0)
            plays.append({fields[2].toInt(), std::exchange(probe, -1)});
    }
    return plays;
}
