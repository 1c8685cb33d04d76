#pragma once

#include <QString>

// The text of the shortcut field for a key code: the code with at least three digits, two
// blanks and the key's name; "OFF" alone for -1 (no shortcut).
QString KeyName(int code);
