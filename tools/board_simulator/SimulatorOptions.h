#pragma once

#include "BoardModel.h"

#include <string>
#include <vector>

namespace board {

struct SimulatorOptions {
    std::string folder = ".";
    int port = 1;
    BoardSettings board;
    int delayMs = 0;
    std::string logFile; // empty: standard output
    bool trace = false;
    bool exitWithParent = false;
    bool help = false;
};

struct ParseResult {
    SimulatorOptions options;
    std::string error; // empty when the command line was understood
};

ParseResult ParseOptions(const std::vector<std::string>& args);
std::string HelpText(const std::string& programName);

} // namespace board
