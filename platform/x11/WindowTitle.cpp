#include "WindowTitle.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

} // namespace

void SetExactWindowTitle(QWidget& window, const QString& title) {
    window.setWindowTitle(title);
    if (!title.isEmpty() || !window.isWindow())
        return;
    const auto* x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11)
        return;
    // On Qt's own connection, so that this comes after the name Qt has just written.
    xcb_connection_t* connection = x11->connection();
    const auto native = static_cast<xcb_window_t>(window.winId());
    static const xcb_atom_t netWmName = Atom(connection, "_NET_WM_NAME");
    static const xcb_atom_t utf8 = Atom(connection, "UTF8_STRING");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, native, netWmName, utf8, 8, 0, nullptr);
    xcb_flush(connection);
}
