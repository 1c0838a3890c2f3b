#pragma once

#include "serial/SerialDevice.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace serial {

// Line-error flags as the error texts number them.
enum LineErrorFlag : std::uint32_t {
    errorOverrun = 2,
    errorParity = 4,
    errorFraming = 8,
    errorBreak = 16,
};

// "RX Error: FRAMING and OVERRUN: EvtMask = 10" and the like.
std::string BuildErrorText(std::uint32_t flags);

// The flags for the counters that grew between two looks.
std::uint32_t ErrorFlagsBetween(const ErrorCounters& before, const ErrorCounters& after);

// Undoes the PARMRK marking of the received stream: FF FF is a data FF, FF 00 x marks a
// character received with an error (x 0 for a break). Keeps its state across reads.
class ParmrkDecoder {
public:
    struct Output {
        std::size_t length = 0;  // data bytes written
        unsigned marks = 0;      // error marks met
        bool breakMarked = false;
    };

    // Decodes `size` raw bytes into `out`, which needs room for `size` bytes.
    Output decode(const std::uint8_t* raw, std::size_t size, char* out);

private:
    enum class State { data, afterFF, afterFF00 };
    State state_ = State::data;
};

}  // namespace serial
