#pragma once

#include <QFont>

// The font of the panel, the editor and their buttons: "ＭＳ Ｐゴシック" at 12 pixels, with
// the Japanese fonts a Linux desktop has in its place.
QFont UiFont();
