#include "MotionEditorLink.h"

#include <QCoreApplication>

TWindowHandle FindMotionEditor(IWindowSystem& windows) {
    TWindowHandle found = NoWindow;
    for (TWindowHandle window : windows.EnumWindows()) {
        if (!windows.IsWindowVisible(window) || windows.GetWindowText(window).isEmpty())
            continue;
        if (windows.GetClassName(window) == MotionEditorClass) {
            found = window;
            break;
        }
    }
    QCoreApplication::processEvents();
    return found;
}

void PostPlayMessage(IWindowSystem& windows, TWindowHandle window, int number) {
    windows.PostMessage(window, PlayMessage, 0, number);
}

void SendToMotionEditor(IWindowSystem& windows, TWindowHandle& cached, int number) {
    const bool stale = cached != NoWindow && windows.GetClassName(cached) != MotionEditorClass;
    if (cached == NoWindow || stale)
        cached = FindMotionEditor(windows);
    if (cached == NoWindow)
        return;
    PostPlayMessage(windows, cached, number);
}
