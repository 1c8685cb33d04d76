#pragma once

// Starts a GUI program on the X server and waits, without polling, until its windows
// of given titles are mapped: the watcher listens for MapNotify on the root window.
// Top-level windows are the root's children only without a reparenting window manager,
// which is how the benchmarks run (under xvfb-run).

#include <string>
#include <vector>

struct _XDisplay;

namespace bench {

struct LaunchFigures {
    bool ok = false;
    double windowsMs = 0; // from just before the spawn until the last title was mapped
    long peakKb = 0;      // the program's peak resident size when it was ended
};

class ProgramLauncher {
public:
    ProgramLauncher();
    ~ProgramLauncher();
    ProgramLauncher(const ProgramLauncher&) = delete;
    ProgramLauncher& operator=(const ProgramLauncher&) = delete;

    bool IsOpen() const { return m_display != nullptr; }

    // Runs program (without arguments, QT_QPA_PLATFORM removed from its environment)
    // until a window of it with each title is mapped, lets it run settleMs more, then
    // kills it and reaps it.
    LaunchFigures Run(const std::string& program, const std::vector<std::string>& titles,
                      int settleMs, int timeoutMs = 20000);

private:
    bool WaitForTitles(int pid, const std::vector<std::string>& titles, int timeoutMs);
    long WindowPid(unsigned long window);
    std::string WindowTitle(unsigned long window);

    _XDisplay* m_display = nullptr;
    unsigned long m_pidAtom = 0;
    unsigned long m_nameAtom = 0;
    unsigned long m_utf8Atom = 0;
};

} // namespace bench
