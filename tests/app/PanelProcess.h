#pragma once

// Test support: runs a copy of the real program in a folder of its own, the way a user
// starts it, and drives it from outside with xdotool.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QTest>

#include <csignal>

namespace panel_process {

inline const QString Program = QStringLiteral(TAPDECK_BINARY_DIR "/app/tapdeck");

// Standard output of a command, trimmed; empty when it fails or hangs.
inline QString Run(const QString& command, const QStringList& arguments) {
    QProcess process;
    process.start(command, arguments);
    if (!process.waitForFinished(10000))
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

inline bool Xdo(const QStringList& arguments) {
    QProcess process;
    process.start("xdotool", arguments);
    const bool finished = process.waitForFinished(10000);
    if (finished && process.exitCode() == 0)
        return true;
    qWarning("xdotool %s: %s", qPrintable(arguments.join(' ')),
             finished ? process.readAllStandardError().constData() : "no answer in 10 s");
    if (!finished)
        process.kill();
    process.waitForFinished(1000);
    return false;
}

// The visible X window of the given exact title, polled until it is mapped.
inline QString WaitForWindow(const QString& title, int timeoutMs = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        const QString found = Run("xdotool", {"search", "--onlyvisible", "--name",
                                              '^' + QRegularExpression::escape(title) + '$'});
        if (!found.isEmpty())
            return found.split('\n').first();
        QTest::qWait(100);
    }
    return QString();
}

// Waits until no visible window has the title.
inline bool WaitForWindowGone(const QString& title, int timeoutMs = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (Run("xdotool", {"search", "--onlyvisible", "--name",
                            '^' + QRegularExpression::escape(title) + '$'})
                .isEmpty())
            return true;
        QTest::qWait(100);
    }
    return false;
}

// The program's visible windows (panel, editor, menus, lists, dialogs, boxes).
inline QStringList VisibleWindows(const QString& windowClass = QStringLiteral("tapdeck")) {
    return Run("xdotool", {"search", "--onlyvisible", "--class", windowClass})
        .split('\n', Qt::SkipEmptyParts);
}

// Waits for a window that is not in `before` to be mapped, and returns it.
inline QString WaitForNewWindow(const QStringList& before, int timeoutMs = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        for (const QString& window : VisibleWindows()) {
            if (!before.contains(window))
                return window;
        }
        QTest::qWait(50);
    }
    return QString();
}

inline bool WaitForWindowUnmapped(const QString& window, int timeoutMs = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (!VisibleWindows().contains(window))
            return true;
        QTest::qWait(50);
    }
    return false;
}

// Opens a popup (a context menu, a drop-down list) with a click on a window, which gets
// the focus first, waits until it is on screen, walks it with the keys given and waits
// until it has closed.
inline bool ChooseFromPopup(const QString& window, QPoint at, int button, const QStringList& keys) {
    // Without a window manager nothing gives a clicked window the focus, and a popup
    // opened while the program is still settling who is active closes at once: the click
    // is repeated until the popup stays on screen.
    QString popup;
    for (int attempt = 0; attempt < 5 && popup.isEmpty(); ++attempt) {
        if (!Xdo({"windowfocus", "--sync", window}))
            return false;
        const QStringList before = VisibleWindows();
        if (!Xdo({"mousemove", "--window", window, QString::number(at.x()), QString::number(at.y()),
                  "click", QString::number(button)}))
            return false;
        popup = WaitForNewWindow(before, 2000);
    }
    if (popup.isEmpty()) {
        qWarning("no popup after a click at %d,%d on %s", at.x(), at.y(), qPrintable(window));
        return false;
    }
    QStringList command{"key", "--delay", "30"};
    command << keys << "Return";
    if (!Xdo(command))
        return false;
    if (!WaitForWindowUnmapped(popup)) {
        qWarning("popup %s stayed open after %s", qPrintable(popup), qPrintable(keys.join(' ')));
        return false;
    }
    return true;
}

inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The program copied into folder (it finds its settings and ports beside its own
// resolved path, so a link would not do), with the settings file given, started there.
class Panel {
public:
    explicit Panel(const QString& folder) : m_folder(folder) {}
    ~Panel() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    QString SettingsPath() const { return QDir(m_folder).filePath("Vodazevivuzo3.ini"); }

    // Runs an installed program where it is instead of a copy in the folder, which then
    // only holds the settings file.
    void RunInstalled(const QString& program) { m_installed = program; }
    // The environment it starts with: the test's own, without a platform chosen.
    QProcessEnvironment& Environment() { return m_environment; }
    // Standard error is kept for ErrorOutput() rather than passed on.
    void KeepErrorOutput() { m_keepErrors = true; }
    QString ErrorOutput() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }

    bool Start(const QByteArray& settings, const QStringList& arguments = {}) {
        QString program = m_installed;
        if (program.isEmpty()) {
            program = QDir(m_folder).filePath("tapdeck");
            if (!QFile::exists(program) && !QFile::copy(Program, program))
                return false;
        }
        if (!settings.isNull()) {
            QFile file(SettingsPath());
            if (!file.open(QIODevice::WriteOnly))
                return false;
            file.write(settings);
        }
        m_process.setProcessEnvironment(m_environment);
        m_process.setWorkingDirectory(QDir::tempPath());
        m_process.setProcessChannelMode(m_keepErrors ? QProcess::ForwardedOutputChannel
                                                     : QProcess::ForwardedChannels);
        m_process.start(program, arguments);
        return m_process.waitForStarted();
    }

    // Closes the start-up box of the given text with Enter, as a user would. sentKey: the
    // key is sent to the box itself, for an X server that takes no typed keys (XWayland
    // without a keyboard); only its press, as the box is gone before a release.
    bool AcknowledgeBox(const QString& caption, bool sentKey = false) {
        const QString box = WaitForWindow(caption);
        if (box.isEmpty())
            return false;
        const bool typed = sentKey ? Xdo({"keydown", "--window", box, "Return"})
                                   : Xdo({"windowfocus", "--sync", box}) && Xdo({"key", "Return"});
        return typed && WaitForWindowGone(caption);
    }

    bool IsRunning() const { return m_process.state() == QProcess::Running; }
    void Kill() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    bool WaitForExit(int timeoutMs = 20000) {
        return m_process.waitForFinished(timeoutMs) &&
               m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }

    // Ends the program as the session does; it writes its settings file first. True
    // when it ended normally with status 0.
    bool Terminate() { return Signal(SIGTERM); }
    bool Signal(int signalNumber) {
        // Never pid 0: that would signal the test's own process group.
        const qint64 pid = m_process.processId();
        if (pid <= 0 || ::kill(static_cast<pid_t>(pid), signalNumber) != 0)
            return false;
        return WaitForExit();
    }

private:
    QString m_folder;
    QString m_installed;
    QProcessEnvironment m_environment = [] {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QT_QPA_PLATFORM");
        return environment;
    }();
    bool m_keepErrors = false;
    QProcess m_process;
};

inline int Number(const QString& text, const QString& label) {
    const QRegularExpressionMatch match =
        QRegularExpression(QRegularExpression::escape(label) + ":\\s*(-?\\d+)").match(text);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

// The window's inside as the X server has it, in screen coordinates.
inline QRect ClientOnScreen(const QString& window) {
    const QString info = Run("xwininfo", {"-id", window});
    return QRect(Number(info, "Absolute upper-left X"), Number(info, "Absolute upper-left Y"),
                 Number(info, "Width"), Number(info, "Height"));
}

// The outer frame: the inside grown by the frame the window manager reports, if any.
inline QRect FrameOnScreen(const QString& window) {
    const QStringList extents =
        Run("xprop", {"-id", window, "_NET_FRAME_EXTENTS"}).section('=', 1).split(',');
    const QRect client = ClientOnScreen(window);
    if (extents.size() != 4)
        return client;
    return client.adjusted(-extents[0].toInt(), -extents[2].toInt(), extents[1].toInt(),
                           extents[3].toInt());
}

} // namespace panel_process
