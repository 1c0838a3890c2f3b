#include "Options.h"

#include <cstdlib>
#include <sstream>

namespace standsim {

const char* const usageText =
    "Usage: standsim [options]\n"
    "Plays the stand controller on a serial line. Prints the path of the line's far end on\n"
    "its first output line, then answers frames until SIGTERM or SIGINT.\n"
    "\n"
    "  --device PATH        use this serial device instead of a new pseudo-terminal\n"
    "  --stands N           number of stands, 1 to 8 (default 8)\n"
    "  --scale N            scale factor, controller units per height unit (default 94)\n"
    "  --speed UNITS_PER_S  travel speed, 0 for instant (default 15: 0 to 99 in 6.6 s)\n"
    "  --heights H1,H2,...  starting heights, stand 1 first (default 0)\n"
    "  --pace-baud RATE     every byte in and out takes its wire time at RATE baud, 8N1\n"
    "  --silent N1,N2,...   stands that never answer\n"
    "  --noise              stray bytes before replies\n"
    "  --log FILE           write every frame in and out with a timestamp to FILE\n"
    "  --help               show this text\n";

namespace {

bool toInt(const std::string& text, int& value)
{
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < -1000000 || v > 1000000)
        return false;
    value = int(v);
    return true;
}

bool toIntList(const std::string& text, std::vector<int>& values)
{
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        int v = 0;
        if (!toInt(item, v))
            return false;
        values.push_back(v);
    }
    return !values.empty();
}

}  // namespace

std::optional<RunOptions> ParseOptions(int argc, char** argv, std::string& error)
{
    RunOptions run;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help") {
            run.help = true;
            continue;
        }
        if (option == "--noise") {
            run.sim.noise = true;
            continue;
        }
        if (i + 1 >= argc) {
            error = "unknown option or missing value: " + option;
            return std::nullopt;
        }
        const std::string value = argv[++i];
        bool ok = true;
        if (option == "--device") {
            run.device = value;
        } else if (option == "--stands") {
            ok = toInt(value, run.sim.stands) && run.sim.stands >= 1 && run.sim.stands <= 8;
        } else if (option == "--scale") {
            ok = toInt(value, run.sim.scale) && run.sim.scale >= 1;
        } else if (option == "--speed") {
            char* end = nullptr;
            run.sim.speed = std::strtod(value.c_str(), &end);
            ok = !value.empty() && *end == '\0';
        } else if (option == "--heights") {
            ok = toIntList(value, run.sim.heights);
        } else if (option == "--pace-baud") {
            ok = toInt(value, run.paceBaud) && run.paceBaud > 0;
        } else if (option == "--silent") {
            std::vector<int> stands;
            ok = toIntList(value, stands);
            run.sim.silent.insert(stands.begin(), stands.end());
        } else if (option == "--log") {
            run.logFile = value;
        } else {
            error = "unknown option: " + option;
            return std::nullopt;
        }
        if (!ok) {
            error = "bad value for " + option + ": " + value;
            return std::nullopt;
        }
    }
    return run;
}

}  // namespace standsim
