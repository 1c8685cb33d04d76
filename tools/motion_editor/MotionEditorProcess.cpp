#include "MotionEditorProcess.h"

#include <QDeadlineTimer>

MotionEditorProcess::~MotionEditorProcess() {
    Stop();
}

QString MotionEditorProcess::Program() {
    return QStringLiteral(MOTION_EDITOR_PATH);
}

bool MotionEditorProcess::Start(const QStringList& options, int timeoutMs) {
    Stop();
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(Program(), options);
    if (!m_process.waitForStarted(timeoutMs)) {
        m_error = "cannot start " + Program() + ": " + m_process.errorString();
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    while (m_window == NoWindow) {
        if (deadline.hasExpired() || m_process.state() != QProcess::Running) {
            m_error = "the stand-in did not get ready";
            Stop();
            return false;
        }
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        ReadAvailable();
    }
    return true;
}

void MotionEditorProcess::Stop() {
    if (IsRunning()) {
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }
    m_pending.clear();
    m_lines.clear();
    m_window = NoWindow;
}

void MotionEditorProcess::Terminate() {
    if (IsRunning())
        m_process.terminate();
}

void MotionEditorProcess::ReadAvailable() {
    m_pending += m_process.readAllStandardOutput();
    qsizetype end = 0;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_pending.left(end));
        m_pending.remove(0, end + 1);
        if (m_window == NoWindow && line.startsWith(QLatin1String("ready "))) {
            bool ok = false;
            const TWindowHandle window = line.mid(6).toLongLong(&ok, 0);
            m_window = ok ? window : NoWindow;
        } else {
            m_lines << line;
        }
    }
}

QStringList MotionEditorProcess::Lines() {
    ReadAvailable();
    return m_lines;
}

bool MotionEditorProcess::WaitForLines(int count, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (Lines().size() < count) {
        if (deadline.hasExpired() || m_process.state() != QProcess::Running)
            return false;
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    return true;
}
