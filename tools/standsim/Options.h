#pragma once

#include "StandSimulator.h"

#include <optional>
#include <string>

namespace standsim {

struct RunOptions {
    SimOptions sim;
    std::string device;   // empty: make a pseudo-terminal
    int paceBaud = 0;     // 0: no pacing
    std::string logFile;
    bool help = false;
};

extern const char* const usageText;

// Nothing, with `error` set, when the command line is wrong.
std::optional<RunOptions> ParseOptions(int argc, char** argv, std::string& error);

}  // namespace standsim
