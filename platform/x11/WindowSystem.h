#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>
#include <vector>

// Other programs' top-level windows, as the panel sees them: enumeration in stacking
// order, visibility, title, class, and posting a message. One implementation per
// window system, and a fake for tests.

using TWindowHandle = long long; // X11 window id; -1 none
inline constexpr TWindowHandle NoWindow = -1;
inline constexpr quint32 WM_APP = 0x8000;

class IWindowSystem {
public:
    virtual ~IWindowSystem() = default;
    // Top-level client windows, from the top of the stacking order down.
    virtual std::vector<TWindowHandle> EnumWindows() = 0;
    virtual bool IsWindowVisible(TWindowHandle window) = 0; // map state IsViewable
    // _NET_WM_NAME, else WM_NAME; empty when none or gone.
    virtual QString GetWindowText(TWindowHandle window) = 0;
    // The class part of WM_CLASS; empty when none or gone.
    virtual QString GetClassName(TWindowHandle window) = 0;
    // ClientMessage, format 32, type _TAPDECK_WINDOW_MESSAGE, l[0] message, l[1] wParam,
    // l[2] lParam; flushed, never awaited.
    virtual bool PostMessage(TWindowHandle window, quint32 message, qint32 wParam,
                             qint32 lParam) = 0;
};

// The window system of this session (X11 through its own Xlib connection to $DISPLAY).
// Without a display it enumerates nothing and posts nothing (returns false); never aborts.
std::unique_ptr<IWindowSystem> CreateWindowSystem();
