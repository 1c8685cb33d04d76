#include "FrameExtents.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QThread>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct FreeXcbReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeXcbReply>;

xcb_connection_t* X11Connection() {
    const auto* x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t NamedAtom(xcb_connection_t* connection, const char* name) {
    XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
        nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_window_t RootOf(xcb_connection_t* connection) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    return xcb_setup_roots_iterator(setup).data->root;
}

// The atoms the running window manager supports (_NET_SUPPORTED on the root); none
// without one that follows EWMH.
std::vector<xcb_atom_t> SupportedAtoms(xcb_connection_t* connection) {
    const xcb_atom_t supported = NamedAtom(connection, "_NET_SUPPORTED");
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, RootOf(connection), supported, XCB_ATOM_ATOM, 0, 4096),
        nullptr));
    if (!reply || reply->format != 32 || reply->type != XCB_ATOM_ATOM)
        return {};
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    return std::vector<xcb_atom_t>(atoms, atoms + xcb_get_property_value_length(reply.get()) / 4);
}

} // namespace

TFrameExtents::TFrameExtents(QWidget* window) : QObject(window), m_window(window) {
    xcb_connection_t* connection = X11Connection();
    if (!connection)
        return;
    const std::vector<xcb_atom_t> supported = SupportedAtoms(connection);
    auto atomIfSupported = [&](const char* name) -> quint32 {
        const xcb_atom_t atom = NamedAtom(connection, name);
        return std::find(supported.begin(), supported.end(), atom) != supported.end() ? atom : 0;
    };
    m_extentsAtom = atomIfSupported("_NET_FRAME_EXTENTS");
    if (!m_extentsAtom)
        return;
    m_requestAtom = atomIfSupported("_NET_REQUEST_FRAME_EXTENTS");
    QCoreApplication::instance()->installNativeEventFilter(this);
}

TFrameExtents::~TFrameExtents() {
    if (m_extentsAtom && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

std::optional<QMargins> TFrameExtents::Read() const {
    xcb_connection_t* connection = X11Connection();
    if (!connection || !m_window || !m_window->internalWinId())
        return std::nullopt;
    const auto window = static_cast<xcb_window_t>(m_window->internalWinId());
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, m_extentsAtom, XCB_ATOM_CARDINAL, 0, 4),
        nullptr));
    if (!reply || reply->format != 32 || reply->type != XCB_ATOM_CARDINAL ||
        xcb_get_property_value_length(reply.get()) != 16)
        return std::nullopt;
    // Left, right, top, bottom.
    const auto* v = static_cast<const quint32*>(xcb_get_property_value(reply.get()));
    return QMargins(int(v[0]), int(v[2]), int(v[1]), int(v[3]));
}

std::optional<QMargins> TFrameExtents::Request(int timeoutMs) {
    xcb_connection_t* connection = X11Connection();
    if (!connection || !m_requestAtom || !m_window || !m_window->internalWinId())
        return std::nullopt;
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(m_window->internalWinId());
    event.type = m_requestAtom;
    xcb_send_event(connection, 0, RootOf(connection),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection);
    // The answer is a property on the window; Qt reads the events that come meanwhile later.
    const QDeadlineTimer deadline(timeoutMs);
    do {
        if ((m_current = Read()))
            return m_current;
        QThread::msleep(5);
    } while (!deadline.hasExpired());
    return std::nullopt;
}

bool TFrameExtents::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || !m_window)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto* property = static_cast<const xcb_property_notify_event_t*>(message);
    if (property->atom != m_extentsAtom || property->window != m_window->internalWinId())
        return false;
    const std::optional<QMargins> frame = Read();
    if (frame && frame != m_current) {
        m_current = frame;
        const QMargins changed = *frame;
        QMetaObject::invokeMethod(
            this, [this, changed] { emit Changed(changed); }, Qt::QueuedConnection);
    }
    // Qt reads the frame too.
    return false;
}
