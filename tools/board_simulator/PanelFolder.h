#pragma once

#include "SimulatorOptions.h"

#include <string>

namespace board {

// The panel a simulator in simulatorFolder serves: `tapdeck` beside it (installed), else
// app/tapdeck of the build tree it was built in. Its port folder is the one the panel
// chooses for itself. Nothing is made.
PanelPlace FindPanel(const std::string& simulatorFolder);

// The installed panel's port folder, made when missing as the panel makes it at start.
std::string MakePortFolder(const PanelPlace& panel);

// The folder of the running executable; empty when it cannot be told.
std::string ExecutableFolder();

} // namespace board
