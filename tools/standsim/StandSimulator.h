#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace standsim {

struct SimOptions {
    int stands = 8;
    int scale = 94;
    double speed = 15.0;        // units per second, 0 or less for instant: 0 to 99 in 6.6 s
    std::vector<int> heights;   // starting heights, stand 1 first; missing ones start at 0
    std::set<int> silent;       // stand numbers that never answer
    bool noise = false;         // stray bytes before replies
};

// The stand controller: takes the bytes of the line one at a time and returns the bytes it
// answers with. Stands move towards their targets as time passes; nothing runs in between.
class StandSimulator {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int maxStands = 8;
    static constexpr int topHeight = 99;

    StandSimulator(SimOptions options, Clock::time_point start);

    std::string receive(char byte, Clock::time_point now);
    // Present height of stand 1..8, whole units.
    int height(int stand, Clock::time_point now);
    int target(int stand) const;

    // Called with "IN", "OUT" or "BAD" and the frame without CR LF.
    std::function<void(const std::string& direction, const std::string& frame)> log;

    static std::string checksum(const std::string& body);

private:
    struct Stand {
        double position = 0;
        int target = 0;
    };

    void advance(Clock::time_point now);
    std::string handleFrame(const std::string& frame, Clock::time_point now);
    std::string reply(int stand, Clock::time_point now);
    void logFrame(const char* direction, const std::string& frame);

    SimOptions options_;
    std::array<Stand, maxStands> stands_{};
    Clock::time_point lastAdvance_;
    std::string frame_;
    bool inFrame_ = false;
    std::minstd_rand random_{12345};
};

}  // namespace standsim
