#pragma once

#include "BoardModel.h"

#include <string>
#include <vector>

namespace board {

struct SimulatorOptions {
    std::string folder = ".";
    bool folderGiven = false; // --dir was given; else an installed panel's folder is used
    int port = 1;
    BoardSettings board;
    int delayMs = 0;
    std::string logFile; // empty: standard output
    // Every probe byte and play, with the monotonic time its bytes were read; empty: none.
    std::string recordFile;
    bool trace = false;
    bool exitWithParent = false;
    bool help = false;
};

struct ParseResult {
    SimulatorOptions options;
    std::string error; // empty when the command line was understood
};

// The panel the simulator serves: the folder it searches for ports/COMn names the
// simulator's default folder and its help.
struct PanelPlace {
    std::string program;    // the panel's executable; empty when none was found
    std::string portFolder; // the folder whose ports/ it searches
    bool installed = false; // beside the simulator, as installed; else in its build tree
};

ParseResult ParseOptions(const std::vector<std::string>& args);
std::string HelpText(const std::string& programName, const PanelPlace& panel);

} // namespace board
