#pragma once

#include "WindowSystem.h"

#include <QString>

// The motion editor program's main window is known by this window class, exactly.
inline const QString MotionEditorClass = QStringLiteral("TPosewright3");
// The play message: WM_APP, wParam 0, lParam the play number.
inline constexpr quint32 PlayMessage = WM_APP;
// Accepted by the main window and ignored.
inline constexpr quint32 IgnoredAppMessage = WM_APP + 100;

// The first visible, titled top-level window of the motion editor's class, from the top
// of the stacking order down; NoWindow when none. Lets waiting events run before it returns.
TWindowHandle FindMotionEditor(IWindowSystem& windows);

// Posts one play message; nothing is awaited and the result is not examined.
void PostPlayMessage(IWindowSystem& windows, TWindowHandle window, int number);

// A press over the motion editor link: searches when nothing is cached, or when the
// cached window has gone or no longer belongs to the motion editor (the program was
// restarted), then posts to the window found. Nothing happens when none is running.
void SendToMotionEditor(IWindowSystem& windows, TWindowHandle& cached, int number);
