#include "PanelSnapshot.h"

bool TPanelSnapshot::SameContent(const TPanelSnapshot& other) const {
    return caption == other.caption && bounds == other.bounds && color == other.color &&
           backgroundFile == other.backgroundFile && stopKey == other.stopKey &&
           stopPad == other.stopPad && stopPlay == other.stopPlay &&
           buttonCounter == other.buttonCounter && buttons == other.buttons;
}
