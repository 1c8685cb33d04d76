#include "ProgramLaunch.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<char*> EnvironmentWithoutPlatform() {
    std::vector<char*> variables;
    for (char** v = environ; *v; ++v) {
        if (std::strncmp(*v, "QT_QPA_PLATFORM=", 16) != 0)
            variables.push_back(*v);
    }
    variables.push_back(nullptr);
    return variables;
}

} // namespace

ProgramLauncher::ProgramLauncher() : m_display(XOpenDisplay(nullptr)) {
    if (!m_display)
        return;
    m_pidAtom = XInternAtom(m_display, "_NET_WM_PID", False);
    m_nameAtom = XInternAtom(m_display, "_NET_WM_NAME", False);
    m_utf8Atom = XInternAtom(m_display, "UTF8_STRING", False);
    XSelectInput(m_display, DefaultRootWindow(m_display), SubstructureNotifyMask);
    XSync(m_display, False);
}

ProgramLauncher::~ProgramLauncher() {
    if (m_display)
        XCloseDisplay(m_display);
}

long ProgramLauncher::WindowPid(unsigned long window) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(m_display, window, m_pidAtom, 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &after, &data) == Success &&
        data && format == 32 && count == 1)
        pid = *reinterpret_cast<long*>(data);
    if (data)
        XFree(data);
    return pid;
}

std::string ProgramLauncher::WindowTitle(unsigned long window) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    for (Atom property : {Atom(m_nameAtom), Atom(XA_WM_NAME)}) {
        if (XGetWindowProperty(m_display, window, property, 0, 1024, False, AnyPropertyType,
                               &type, &format, &count, &after, &data) == Success &&
            data && format == 8)
            title.assign(reinterpret_cast<char*>(data), count);
        if (data)
            XFree(data);
        data = nullptr;
        if (!title.empty())
            break;
    }
    return title;
}

bool ProgramLauncher::WaitForTitles(int pid, const std::vector<std::string>& titles,
                                    int timeoutMs) {
    std::vector<bool> seen(titles.size(), false);
    std::size_t missing = titles.size();
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (missing > 0) {
        while (missing > 0 && XPending(m_display) > 0) {
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type != MapNotify || WindowPid(event.xmap.window) != pid)
                continue;
            const std::string title = WindowTitle(event.xmap.window);
            for (std::size_t i = 0; i < titles.size(); ++i) {
                if (!seen[i] && titles[i] == title) {
                    seen[i] = true;
                    --missing;
                }
            }
        }
        if (missing == 0)
            break;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd connection{ConnectionNumber(m_display), POLLIN, 0};
        ::poll(&connection, 1, int(left.count()));
    }
    return true;
}

LaunchFigures ProgramLauncher::Run(const std::string& program,
                                   const std::vector<std::string>& titles, int settleMs,
                                   int timeoutMs) {
    LaunchFigures figures;
    if (!m_display)
        return figures;
    // Events of earlier programs are of no interest.
    XSync(m_display, True);
    std::vector<char*> environment = EnvironmentWithoutPlatform();
    std::string path = program;
    char* arguments[] = {path.data(), nullptr};
    pid_t pid = -1;
    const Clock::time_point start = Clock::now();
    if (::posix_spawn(&pid, path.c_str(), nullptr, nullptr, arguments, environment.data()) != 0)
        return figures;
    figures.ok = WaitForTitles(pid, titles, timeoutMs);
    figures.windowsMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (settleMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    ::kill(pid, SIGKILL);
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) == pid)
        figures.peakKb = usage.ru_maxrss;
    else
        figures.ok = false;
    return figures;
}

} // namespace bench
