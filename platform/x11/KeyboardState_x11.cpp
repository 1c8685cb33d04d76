#include "KeyboardState.h"

#include <QGuiApplication>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

bool IsKeyHeldDown(quint32 keycode) {
    if (keycode == 0 || keycode > 255 || !qGuiApp)
        return false;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    const std::unique_ptr<xcb_query_keymap_reply_t, decltype(&std::free)> reply(
        xcb_query_keymap_reply(connection, xcb_query_keymap(connection), nullptr), &std::free);
    return reply && (reply->keys[keycode / 8] & (1u << (keycode % 8))) != 0;
}
