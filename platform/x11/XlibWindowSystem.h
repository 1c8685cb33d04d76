#pragma once

#include "WindowSystem.h"

#include <QByteArray>

#include <optional>

// The window system through an Xlib connection of its own. Windows of other programs
// may vanish at any moment: every request runs under a scoped error handler, and a
// window that errors is skipped or reads as empty. GUI thread only.

struct _XDisplay;

// The type atom of posted messages, shared with the receiving side.
inline constexpr char WindowMessageAtomName[] = "_TAPDECK_WINDOW_MESSAGE";

class TXlibWindowSystem : public IWindowSystem {
public:
    // displayName empty: $DISPLAY. messageAtom: the type of posted messages; tests post
    // other types with it.
    explicit TXlibWindowSystem(const QByteArray& displayName = {},
                               const char* messageAtom = WindowMessageAtomName);
    ~TXlibWindowSystem() override;
    TXlibWindowSystem(const TXlibWindowSystem&) = delete;
    TXlibWindowSystem& operator=(const TXlibWindowSystem&) = delete;

    bool IsConnected() const { return m_display != nullptr; }

    std::vector<TWindowHandle> EnumWindows() override;
    bool IsWindowVisible(TWindowHandle window) override;
    QString GetWindowText(TWindowHandle window) override;
    QString GetClassName(TWindowHandle window) override;
    // Waits for the X server to take the message (so a vanished window gives false),
    // never for the receiving program.
    bool PostMessage(TWindowHandle window, quint32 message, qint32 wParam, qint32 lParam) override;

    // Writes both _NET_WM_NAME and WM_NAME (as UTF-8); a program uses it on its own
    // window when the toolkit would not leave the title empty.
    bool SetWindowText(TWindowHandle window, const QString& text);

private:
    using XWindow = unsigned long;
    using XAtom = unsigned long;

    // Children bottom to top; nullopt when the window is gone.
    std::optional<std::vector<XWindow>> Children(XWindow window);
    // The property's bytes and type; nullopt when the window is gone, an empty
    // value of type 0 when it has no such property.
    struct Property {
        XAtom type = 0;
        QByteArray value;
    };
    std::optional<Property> ReadProperty(XWindow window, XAtom property);
    // The window carrying WM_STATE at or below top; top itself when none does.
    std::optional<XWindow> ClientWindow(XWindow top);
    std::optional<XWindow> FindWmStateBelow(XWindow window, int depth);
    QString DecodeText(const Property& property);

    _XDisplay* m_display = nullptr;
    XAtom m_messageAtom = 0;
    XAtom m_wmState = 0;
    XAtom m_netWmName = 0;
    XAtom m_utf8String = 0;
};
