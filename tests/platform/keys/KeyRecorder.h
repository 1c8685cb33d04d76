#pragma once

#include "KeyCodes.h"

#include <QKeyEvent>
#include <QList>
#include <QWidget>

// A widget that notes the code of every key pressed on it.
class TKeyRecorder : public QWidget {
public:
    QList<int> codes;

protected:
    void keyPressEvent(QKeyEvent* event) override { codes << VirtualKeyCode(*event); }
};
