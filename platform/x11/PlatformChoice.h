#pragma once

#include <string>

// On a Wayland session Qt picks its Wayland platform when that plugin is installed. There
// a program cannot place its own windows, and the motion editor link and the key codes
// are X11's; so where an X display can be reached (XWayland) and the user has chosen no
// platform, X11 is asked for. A user's own choice always wins.

// The platform to ask Qt for: "xcb", or empty to leave Qt's own choice. The user chose
// one when qpaPlatform (QT_QPA_PLATFORM) is not empty or the command line has
// -platform (or --platform).
std::string PlatformToRequest(const char* qpaPlatform, int argc, const char* const* argv,
                              bool xDisplayReachable);

// Applies PlatformToRequest to this process; call before the application object is made.
// The X display is tried only when the choice depends on it.
void PreferX11Platform(int argc, const char* const* argv);

// Call once the application object is made: on Wayland, one line on standard error says
// what needs XWayland.
void ReportWaylandLimits();
