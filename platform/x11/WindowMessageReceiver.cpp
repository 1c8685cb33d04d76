#include "WindowMessageReceiver.h"

#include "XlibWindowSystem.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {
// The atom on Qt's own connection; 0 when Qt does not run on X11.
quint32 InternMessageAtom() {
    const auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    const auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return 0;
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(
        connection, 0, std::uint16_t(std::strlen(WindowMessageAtomName)), WindowMessageAtomName);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (!reply)
        return 0;
    const quint32 atom = reply->atom;
    std::free(reply);
    return atom;
}
} // namespace

TWindowMessageReceiver::TWindowMessageReceiver(QWidget* window)
    : QObject(window), m_window(window), m_messageAtom(InternMessageAtom()) {
    if (m_messageAtom)
        QCoreApplication::instance()->installNativeEventFilter(this);
}

TWindowMessageReceiver::~TWindowMessageReceiver() {
    if (m_messageAtom && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool TWindowMessageReceiver::nativeEventFilter(const QByteArray& eventType, void* message,
                                               qintptr*) {
    if (eventType != "xcb_generic_event_t" || !m_window)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    // The high bit marks events that came through SendEvent, as posted ones do.
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
        return false;
    const auto* client = static_cast<const xcb_client_message_event_t*>(message);
    // internalWinId: a widget not created yet has no window, and none is forced on it.
    if (client->format != 32 || client->type != m_messageAtom ||
        client->window != m_window->internalWinId())
        return false;
    const quint32 number = client->data.data32[0];
    const auto wParam = qint32(client->data.data32[1]);
    const auto lParam = qint32(client->data.data32[2]);
    // Receivers act outside Qt's native event handling, as for any other input.
    QMetaObject::invokeMethod(
        this, [this, number, wParam, lParam] { emit Received(number, wParam, lParam); },
        Qt::QueuedConnection);
    // Ours alone: Qt would only warn about a client message it does not know.
    return true;
}
