#pragma once

#include "WindowSystem.h"

#include <QStringList>

// A window system for unit tests: the test scripts the windows and their stacking
// order; every call and every posted message is recorded.
class TFakeWindowSystem : public IWindowSystem {
public:
    struct Window {
        TWindowHandle handle = NoWindow;
        bool visible = true;
        QString title;
        QString className;
        // Still listed by EnumWindows, but every other call on it finds nothing, as a
        // window that is destroyed during the walk.
        bool vanished = false;
    };
    struct Post {
        TWindowHandle window = NoWindow;
        quint32 message = 0;
        qint32 wParam = 0;
        qint32 lParam = 0;
        bool operator==(const Post&) const = default;
    };

    // Top of the stacking order first.
    void SetWindows(std::vector<Window> windows) { m_windows = std::move(windows); }
    // Onto the top of the stacking order, as a newly started program's window.
    void AddOnTop(const Window& window);
    // Gone: no longer listed, and calls on its handle find nothing.
    void Remove(TWindowHandle window);
    void Vanish(TWindowHandle window);
    const std::vector<Window>& Windows() const { return m_windows; }

    // "EnumWindows", "IsWindowVisible 7", "GetWindowText 7", "GetClassName 7",
    // "PostMessage 7 32768 0 84"; in order.
    const QStringList& Calls() const { return m_calls; }
    const std::vector<Post>& Posts() const { return m_posts; }
    void ClearCalls();

    std::vector<TWindowHandle> EnumWindows() override;
    bool IsWindowVisible(TWindowHandle window) override;
    QString GetWindowText(TWindowHandle window) override;
    QString GetClassName(TWindowHandle window) override;
    // Recorded always; true only for a window that exists.
    bool PostMessage(TWindowHandle window, quint32 message, qint32 wParam, qint32 lParam) override;

private:
    // The window when it exists and has not vanished.
    const Window* Live(TWindowHandle window) const;

    std::vector<Window> m_windows;
    QStringList m_calls;
    std::vector<Post> m_posts;
};
