#include "StandSimulator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace standsim {

namespace {

// Star, stand digit, letter, four argument characters, two checksum digits.
constexpr std::size_t frameLength = 8;

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

}  // namespace

StandSimulator::StandSimulator(SimOptions options, Clock::time_point start)
    : options_(std::move(options)), lastAdvance_(start)
{
    options_.stands = std::clamp(options_.stands, 1, maxStands);
    if (options_.scale < 1)
        options_.scale = 1;
    for (std::size_t i = 0; i < options_.heights.size() && i < stands_.size(); ++i) {
        const int h = std::clamp(options_.heights[i], 0, topHeight);
        stands_[i] = {double(h), h};
    }
}

std::string StandSimulator::checksum(const std::string& body)
{
    unsigned sum = 0;
    for (unsigned char c : body)
        sum += c;
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", sum & 0xFF);
    return digits;
}

std::string StandSimulator::receive(char byte, Clock::time_point now)
{
    if (byte == '*') {
        if (inFrame_ && !frame_.empty())
            logFrame("BAD", "*" + frame_);
        inFrame_ = true;
        frame_.clear();
        return {};
    }
    if (!inFrame_)
        return {};
    if (byte == '\r' || byte == '\n') {
        inFrame_ = false;
        return handleFrame(frame_, now);
    }
    frame_ += byte;
    if (frame_.size() > frameLength) {
        logFrame("BAD", "*" + frame_);
        inFrame_ = false;
        frame_.clear();
    }
    return {};
}

std::string StandSimulator::handleFrame(const std::string& frame, Clock::time_point now)
{
    const std::string text = "*" + frame;
    const bool wellFormed = frame.size() == frameLength && frame[0] >= '1' && frame[0] <= '8'
        && std::all_of(frame.begin() + 2, frame.end(), isHex)
        && checksum(frame.substr(0, 6)) == frame.substr(6, 2);
    if (!wellFormed) {
        logFrame("BAD", text);
        return {};
    }
    logFrame("IN", text);
    const int stand = frame[0] - '0';
    if (stand > options_.stands || options_.silent.count(stand))
        return {};
    advance(now);
    Stand& s = stands_[std::size_t(stand - 1)];
    switch (frame[1]) {
    case 'Q':
        return reply(stand, now);
    case 'A': {
        const long value = std::stol(frame.substr(2, 4), nullptr, 16);
        s.target = std::clamp(int(std::lround(double(value) / options_.scale)), 0, topHeight);
        return {};
    }
    case 'L':
        s.target = 0;
        return {};
    case 'X':
        s.target = int(std::lround(s.position));
        s.position = s.target;
        return {};
    default:
        return {};
    }
}

std::string StandSimulator::reply(int stand, Clock::time_point now)
{
    char value[8];
    std::snprintf(value, sizeof value, "%04X", unsigned(height(stand, now) * options_.scale) & 0xFFFF);
    const std::string body = std::to_string(stand) + "A" + value;
    const std::string frame = ":" + body + checksum(body);
    logFrame("OUT", frame);
    std::string noise;
    if (options_.noise) {
        static constexpr char stray[] = {'\r', '\n', ' ', '#', '?', '~', '\x7f', '\x01'};
        const int count = int(random_() % 4);
        for (int i = 0; i < count; ++i)
            noise += stray[random_() % sizeof stray];
    }
    return noise + frame + "\r\n";
}

int StandSimulator::height(int stand, Clock::time_point now)
{
    advance(now);
    return int(std::lround(stands_[std::size_t(std::clamp(stand, 1, maxStands) - 1)].position));
}

int StandSimulator::target(int stand) const
{
    return stands_[std::size_t(std::clamp(stand, 1, maxStands) - 1)].target;
}

void StandSimulator::advance(Clock::time_point now)
{
    if (now <= lastAdvance_)
        return;
    if (options_.speed <= 0) {
        for (auto& s : stands_)
            s.position = s.target;
        return;
    }
    const double step = options_.speed * std::chrono::duration<double>(now - lastAdvance_).count();
    lastAdvance_ = now;
    for (auto& s : stands_) {
        const double gap = s.target - s.position;
        s.position = std::abs(gap) <= step ? s.target : s.position + (gap > 0 ? step : -step);
    }
}

void StandSimulator::logFrame(const char* direction, const std::string& frame)
{
    if (log)
        log(direction, frame);
}

}  // namespace standsim
