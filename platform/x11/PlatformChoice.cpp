#include "PlatformChoice.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool UserChosePlatform(const char* qpaPlatform, int argc, const char* const* argv) {
    if (qpaPlatform && *qpaPlatform)
        return true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return true;
    }
    return false;
}

bool XDisplayReachable() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return false;
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reachable;
}

} // namespace

std::string PlatformToRequest(const char* qpaPlatform, int argc, const char* const* argv,
                              bool xDisplayReachable) {
    if (UserChosePlatform(qpaPlatform, argc, argv) || !xDisplayReachable)
        return {};
    return "xcb";
}

void PreferX11Platform(int argc, const char* const* argv) {
    const char* chosen = std::getenv("QT_QPA_PLATFORM");
    if (UserChosePlatform(chosen, argc, argv))
        return;
    const std::string platform = PlatformToRequest(chosen, argc, argv, XDisplayReachable());
    if (!platform.empty())
        ::setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
}

void ReportWaylandLimits() {
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return;
    std::fputs("Wayland で動いています: ウィンドウの位置の復元とモーションエディタとの連携には "
               "XWayland (X のディスプレイ) が必要です\n",
               stderr);
}
