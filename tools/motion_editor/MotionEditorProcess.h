#pragma once

// Runs the motion editor stand-in as a separate process, for tests: starts it, waits
// until its window is there, and reads the play lines it writes.

#include "WindowSystem.h"

#include <QProcess>
#include <QStringList>

class MotionEditorProcess {
public:
    MotionEditorProcess() = default;
    ~MotionEditorProcess();
    MotionEditorProcess(const MotionEditorProcess&) = delete;
    MotionEditorProcess& operator=(const MotionEditorProcess&) = delete;

    // The stand-in built beside this library.
    static QString Program();

    // Starts it with the given options (--hidden, --empty-title, --log FILE) and waits
    // for its "ready" line. False, with ErrorString(), when it did not get ready.
    bool Start(const QStringList& options = {}, int timeoutMs = 30000);
    // Ends it and waits until it is gone, with its window.
    void Stop();
    // Asks it to end without waiting; Stop() then waits.
    void Terminate();
    bool IsRunning() const { return m_process.state() != QProcess::NotRunning; }

    TWindowHandle Window() const { return m_window; }
    // The play lines written since the start, e.g. "Motion5 (4)".
    QStringList Lines();
    // Waits until at least count play lines have been written.
    bool WaitForLines(int count, int timeoutMs = 30000);
    QString ErrorString() const { return m_error; }

private:
    void ReadAvailable();

    QProcess m_process;
    QByteArray m_pending; // an unfinished line
    QStringList m_lines;
    TWindowHandle m_window = NoWindow;
    QString m_error;
};
