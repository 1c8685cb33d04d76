#include "XlibWindowSystem.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <limits>

namespace {

// Records the errors of one connection while it lives. Xlib calls one process-wide
// handler from inside whichever call reads an error, so the handler is swapped in for
// the scope and the previous one (Qt's, or Xlib's default that exits) put back after
// a sync has drained every error our requests can still cause.
class XErrorTrap {
public:
    explicit XErrorTrap(Display* display)
        : m_display(display), m_outer(s_innermost),
          m_previousHandler(XSetErrorHandler(&XErrorTrap::Handle)) {
        s_innermost = this;
    }
    ~XErrorTrap() {
        XSync(m_display, False);
        XSetErrorHandler(m_previousHandler);
        s_innermost = m_outer;
    }
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    // Every request so far has been answered, errors included.
    bool SyncAndCheck() {
        XSync(m_display, False);
        return m_failed.empty();
    }
    // A request about that window failed. Requests with replies report their error
    // before they return, so this is current after each of them.
    bool FailedOn(XID resource) const {
        return std::find(m_failed.begin(), m_failed.end(), resource) != m_failed.end();
    }

private:
    static int Handle(Display* display, XErrorEvent* error) {
        XErrorTrap* trap = s_innermost;
        for (; trap; trap = trap->m_outer) {
            if (trap->m_display == display) {
                trap->m_failed.push_back(error->resourceid);
                return 0;
            }
            if (!trap->m_outer && trap->m_previousHandler)
                return trap->m_previousHandler(display, error);
        }
        return 0;
    }

    static inline XErrorTrap* s_innermost = nullptr;
    Display* m_display;
    XErrorTrap* m_outer;
    XErrorHandler m_previousHandler;
    std::vector<XID> m_failed; // resources of the failed requests
};

// X window ids are 32-bit (in practice 29-bit); anything else names no window.
std::optional<Window> ToXWindow(TWindowHandle window) {
    if (window <= 0 || window > std::numeric_limits<quint32>::max())
        return std::nullopt;
    return Window(window);
}

// Frames nest the client a level or two down; the bound only guards odd trees.
constexpr int MaxClientDepth = 8;
// Longest property read, in 32-bit units.
constexpr long MaxPropertyLongs = 1 << 16;

} // namespace

TXlibWindowSystem::TXlibWindowSystem(const QByteArray& displayName, const char* messageAtom)
    : m_display(XOpenDisplay(displayName.isEmpty() ? nullptr : displayName.constData())) {
    if (!m_display)
        return;
    m_messageAtom = XInternAtom(m_display, messageAtom, False);
    m_wmState = XInternAtom(m_display, "WM_STATE", False);
    m_netWmName = XInternAtom(m_display, "_NET_WM_NAME", False);
    m_utf8String = XInternAtom(m_display, "UTF8_STRING", False);
}

TXlibWindowSystem::~TXlibWindowSystem() {
    if (m_display)
        XCloseDisplay(m_display);
}

std::optional<std::vector<TXlibWindowSystem::XWindow>> TXlibWindowSystem::Children(XWindow window) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(m_display, window, &root, &parent, &children, &count))
        return std::nullopt;
    std::vector<XWindow> result(children, children + count);
    if (children)
        XFree(children);
    return result;
}

std::optional<TXlibWindowSystem::Property> TXlibWindowSystem::ReadProperty(XWindow window,
                                                                           XAtom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(m_display, window, property, 0, MaxPropertyLongs, False, AnyPropertyType,
                           &type, &format, &count, &remaining, &data) != Success)
        return std::nullopt;
    Property result;
    result.type = type;
    if (data && format == 8)
        result.value = QByteArray(reinterpret_cast<const char*>(data), qsizetype(count));
    if (data)
        XFree(data);
    return result;
}

std::optional<TXlibWindowSystem::XWindow> TXlibWindowSystem::FindWmStateBelow(XWindow window,
                                                                              int depth) {
    const std::optional<std::vector<XWindow>> children = Children(window);
    if (!children || depth > MaxClientDepth)
        return std::nullopt;
    // Breadth first, as the window manager puts the client right under the frame.
    for (const XWindow child : *children) {
        const std::optional<Property> state = ReadProperty(child, m_wmState);
        if (state && state->type != None)
            return child;
    }
    for (const XWindow child : *children)
        if (const std::optional<XWindow> found = FindWmStateBelow(child, depth + 1))
            return found;
    return std::nullopt;
}

std::optional<TXlibWindowSystem::XWindow> TXlibWindowSystem::ClientWindow(XWindow top) {
    const std::optional<Property> state = ReadProperty(top, m_wmState);
    if (!state)
        return std::nullopt;
    if (state->type != None)
        return top;
    const std::optional<XWindow> below = FindWmStateBelow(top, 1);
    return below ? below : std::optional<XWindow>(top);
}

std::vector<TWindowHandle> TXlibWindowSystem::EnumWindows() {
    if (!m_display)
        return {};
    XErrorTrap trap(m_display);
    const std::optional<std::vector<XWindow>> tops = Children(DefaultRootWindow(m_display));
    if (!tops)
        return {};
    std::vector<TWindowHandle> result;
    for (auto top = tops->rbegin(); top != tops->rend(); ++top)
        // A window that vanished during the walk is left out.
        if (const std::optional<XWindow> client = ClientWindow(*top);
            client && !trap.FailedOn(*top) && !trap.FailedOn(*client))
            result.push_back(TWindowHandle(*client));
    return result;
}

bool TXlibWindowSystem::IsWindowVisible(TWindowHandle window) {
    const std::optional<Window> target = ToXWindow(window);
    if (!m_display || !target)
        return false;
    XErrorTrap trap(m_display);
    XWindowAttributes attributes{};
    return XGetWindowAttributes(m_display, *target, &attributes) &&
           attributes.map_state == IsViewable;
}

QString TXlibWindowSystem::DecodeText(const Property& property) {
    if (property.type == m_utf8String)
        return QString::fromUtf8(property.value);
    if (property.type == XA_STRING)
        return QString::fromLatin1(property.value);
    // COMPOUND_TEXT and other encodings: Xlib converts what the locale allows.
    XTextProperty text{};
    text.value = reinterpret_cast<unsigned char*>(const_cast<char*>(property.value.constData()));
    text.encoding = property.type;
    text.format = 8;
    text.nitems = property.value.size();
    char** list = nullptr;
    int count = 0;
    if (Xutf8TextPropertyToTextList(m_display, &text, &list, &count) < Success || !list)
        return QString::fromLatin1(property.value);
    QString result;
    for (int i = 0; i < count; ++i)
        result += QString::fromUtf8(list[i]);
    XFreeStringList(list);
    return result;
}

QString TXlibWindowSystem::GetWindowText(TWindowHandle window) {
    const std::optional<Window> target = ToXWindow(window);
    if (!m_display || !target)
        return {};
    XErrorTrap trap(m_display);
    std::optional<Property> name = ReadProperty(*target, m_netWmName);
    if (name && name->type == None)
        name = ReadProperty(*target, XA_WM_NAME);
    if (!name || name->type == None)
        return {};
    return DecodeText(*name);
}

QString TXlibWindowSystem::GetClassName(TWindowHandle window) {
    const std::optional<Window> target = ToXWindow(window);
    if (!m_display || !target)
        return {};
    XErrorTrap trap(m_display);
    const std::optional<Property> hint = ReadProperty(*target, XA_WM_CLASS);
    if (!hint)
        return {};
    // "instance\0class\0"; toolkits write UTF-8 here although the type says Latin-1.
    const qsizetype end = hint->value.indexOf('\0');
    if (end < 0)
        return {};
    const QByteArray rest = hint->value.mid(end + 1);
    return QString::fromUtf8(rest.left(rest.indexOf('\0')));
}

bool TXlibWindowSystem::PostMessage(TWindowHandle window, quint32 message, qint32 wParam,
                                    qint32 lParam) {
    const std::optional<Window> target = ToXWindow(window);
    if (!m_display || !target)
        return false;
    XErrorTrap trap(m_display);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = *target;
    event.xclient.message_type = m_messageAtom;
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(message);
    event.xclient.data.l[1] = wParam;
    event.xclient.data.l[2] = lParam;
    // No event mask: the event goes to the program that created the window.
    if (!XSendEvent(m_display, *target, False, NoEventMask, &event))
        return false;
    return trap.SyncAndCheck();
}

bool TXlibWindowSystem::SetWindowText(TWindowHandle window, const QString& text) {
    const std::optional<Window> target = ToXWindow(window);
    if (!m_display || !target)
        return false;
    XErrorTrap trap(m_display);
    const QByteArray utf8 = text.toUtf8();
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.constData());
    for (const Atom property : {Atom(m_netWmName), Atom(XA_WM_NAME)})
        XChangeProperty(m_display, *target, property, m_utf8String, 8, PropModeReplace, bytes,
                        int(utf8.size()));
    return trap.SyncAndCheck();
}

std::unique_ptr<IWindowSystem> CreateWindowSystem() {
    return std::make_unique<TXlibWindowSystem>();
}
