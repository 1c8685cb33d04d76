#include "FakeWindowSystem.h"

#include <algorithm>

void TFakeWindowSystem::AddOnTop(const Window& window) {
    m_windows.insert(m_windows.begin(), window);
}

void TFakeWindowSystem::Remove(TWindowHandle window) {
    std::erase_if(m_windows, [window](const Window& w) { return w.handle == window; });
}

void TFakeWindowSystem::Vanish(TWindowHandle window) {
    for (Window& w : m_windows)
        if (w.handle == window)
            w.vanished = true;
}

void TFakeWindowSystem::ClearCalls() {
    m_calls.clear();
    m_posts.clear();
}

const TFakeWindowSystem::Window* TFakeWindowSystem::Live(TWindowHandle window) const {
    const auto found = std::find_if(m_windows.begin(), m_windows.end(),
                                    [window](const Window& w) { return w.handle == window; });
    return found == m_windows.end() || found->vanished ? nullptr : &*found;
}

std::vector<TWindowHandle> TFakeWindowSystem::EnumWindows() {
    m_calls << QStringLiteral("EnumWindows");
    std::vector<TWindowHandle> handles;
    for (const Window& w : m_windows)
        handles.push_back(w.handle);
    return handles;
}

bool TFakeWindowSystem::IsWindowVisible(TWindowHandle window) {
    m_calls << QStringLiteral("IsWindowVisible %1").arg(window);
    const Window* w = Live(window);
    return w && w->visible;
}

QString TFakeWindowSystem::GetWindowText(TWindowHandle window) {
    m_calls << QStringLiteral("GetWindowText %1").arg(window);
    const Window* w = Live(window);
    return w ? w->title : QString();
}

QString TFakeWindowSystem::GetClassName(TWindowHandle window) {
    m_calls << QStringLiteral("GetClassName %1").arg(window);
    const Window* w = Live(window);
    return w ? w->className : QString();
}

bool TFakeWindowSystem::PostMessage(TWindowHandle window, quint32 message, qint32 wParam,
                                    qint32 lParam) {
    m_calls << QStringLiteral("PostMessage %1 %2 %3 %4")
                   .arg(window)
                   .arg(message)
                   .arg(wParam)
                   .arg(lParam);
    m_posts.push_back({window, message, wParam, lParam});
    return Live(window) != nullptr;
}
