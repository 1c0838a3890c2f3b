#pragma once

#include <array>
#include <cstdint>

// How many stands a conference system has; a run displays the first StandsDisplayed of them.
inline constexpr int StandCount = 8;

// A height for every stand, as a speaker's entry keeps them.
using StandHeights = std::array<std::uint8_t, StandCount>;
