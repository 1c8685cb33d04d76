#pragma once

#include <QString>

class QWidget;

// Sets a window's title exactly. On X11 Qt names a window whose title is empty after the
// application; there the empty title is written again, so the title bar stays empty. The
// native window is created if it was not yet, since Qt writes its own name on creation.
void SetExactWindowTitle(QWidget& window, const QString& title);
