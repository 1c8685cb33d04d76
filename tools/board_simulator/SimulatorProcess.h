#pragma once

// Starts the board simulator as a separate process for tests and benchmarks, with its
// link in a given folder and a full trace log beside it. Spawned with posix_spawn rather
// than QProcess: ThreadSanitizer does not survive a fork from a threaded process.

#include <QList>
#include <QString>
#include <QStringList>

#include <sys/types.h>

class SimulatorProcess {
public:
    SimulatorProcess() = default;
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    // The simulator built beside this library.
    static QString DefaultProgram();
    // Another simulator program for the next Start (an installed one, say).
    void SetProgram(const QString& program) { m_program = program; }

    // Starts the simulator with ports/COM<port> in folder, logging with --trace to
    // folder/board-COM<port>.log and recording to folder/board-COM<port>.record, plus the
    // given options. Returns once the link exists.
    // The simulator ends by itself when this process ends.
    bool Start(const QString& folder, int port, const QStringList& options = {});
    // SIGTERM, then waits for the exit. True when it exited normally with status 0.
    bool Stop();

    QString LinkPath() const { return m_linkPath; }
    QString LogPath() const { return m_logPath; }
    QString RecordPath() const { return m_recordPath; }
    QString ErrorString() const { return m_error; }

    // The log lines so far without their time stamps, e.g. "rx 0D", "tx 06",
    // "play 0 (motion 1) flags 01".
    QStringList LogLines() const;
    // Only the traffic: the "rx ..." and "tx ..." lines.
    QStringList Traffic() const;
    // Waits until the log holds at least count traffic lines.
    bool WaitForTraffic(int count, int timeoutMs) const;

    // One play the board received, and when the probe byte that began its exchange was
    // read: microseconds on the monotonic clock, std::chrono::steady_clock's.
    struct Play {
        int number = -1;
        qint64 probeMicros = 0;
    };
    // The plays so far, in the order they came; a probe without a play after it is left out.
    QList<Play> Plays() const;

private:
    bool ReadFirstLine(QByteArray& line, int timeoutMs);

    QString m_program = DefaultProgram();
    pid_t m_pid = -1;
    int m_output = -1; // read end of the simulator's standard output
    bool m_exitedCleanly = false;
    QString m_linkPath;
    QString m_logPath;
    QString m_recordPath;
    QString m_error;
};
