#include "SimulatorProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <csignal>

SimulatorProcess::SimulatorProcess() {
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

SimulatorProcess::~SimulatorProcess() {
    Stop();
}

QString SimulatorProcess::DefaultProgram() {
    return QStringLiteral(BOARD_SIMULATOR_PATH);
}

bool SimulatorProcess::Start(const QString& folder, int port, const QStringList& options) {
    const QString portName = "COM" + QString::number(port);
    m_linkPath = folder + "/ports/" + portName;
    m_logPath = folder + "/board-" + portName + ".log";
    QFile::remove(m_logPath);
    m_process.start(DefaultProgram(), QStringList{"--dir", folder, "--port", QString::number(port),
                                                  "--trace", "--log", m_logPath} +
                                          options);
    if (!m_process.waitForStarted(5000)) {
        m_error = "cannot start " + DefaultProgram() + ": " + m_process.errorString();
        return false;
    }
    // The first line on standard output names the link once it exists.
    const QDeadlineTimer deadline(10000);
    while (!m_process.canReadLine()) {
        if (deadline.hasExpired() || !m_process.waitForReadyRead(int(deadline.remainingTime()))) {
            m_error = "the simulator did not report its link";
            Stop();
            return false;
        }
    }
    m_process.readLine();
    if (!QFileInfo(m_linkPath).isSymLink()) {
        m_error = "no link at " + m_linkPath;
        Stop();
        return false;
    }
    return true;
}

bool SimulatorProcess::Stop() {
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    ::kill(pid_t(m_process.processId()), SIGTERM);
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
        return false;
    }
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
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
