#include "serial/LineErrors.h"

namespace serial {

std::string BuildErrorText(std::uint32_t flags)
{
    std::string list = flags == 0 ? "NULL Error" : "";
    const auto add = [&list](const char* word) {
        if (!list.empty())
            list += " and ";
        list += word;
    };
    if (flags & errorFraming)
        add("FRAMING");
    if (flags & errorOverrun)
        add("OVERRUN");
    if (flags & errorParity)
        add("PARITY");
    if (flags & errorBreak)
        add("BREAK");
    if (flags & ~std::uint32_t{errorOverrun | errorParity | errorFraming | errorBreak})
        add("UNKNOWN");
    return "RX Error: " + list + ": EvtMask = " + std::to_string(flags);
}

std::uint32_t ErrorFlagsBetween(const ErrorCounters& before, const ErrorCounters& after)
{
    std::uint32_t flags = 0;
    if (after.frame != before.frame)
        flags |= errorFraming;
    if (after.overrun != before.overrun)
        flags |= errorOverrun;
    if (after.parity != before.parity)
        flags |= errorParity;
    if (after.brk != before.brk)
        flags |= errorBreak;
    return flags;
}

ParmrkDecoder::Output ParmrkDecoder::decode(const std::uint8_t* raw, std::size_t size, char* out)
{
    Output result;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t byte = raw[i];
        switch (state_) {
        case State::data:
            if (byte == 0xFF)
                state_ = State::afterFF;
            else
                out[result.length++] = static_cast<char>(byte);
            break;
        case State::afterFF:
            if (byte == 0xFF) {
                out[result.length++] = static_cast<char>(0xFF);
                state_ = State::data;
            } else if (byte == 0x00) {
                state_ = State::afterFF00;
            } else {
                // Not a mark the line discipline makes; keep both bytes as data.
                out[result.length++] = static_cast<char>(0xFF);
                out[result.length++] = static_cast<char>(byte);
                state_ = State::data;
            }
            break;
        case State::afterFF00:
            ++result.marks;
            if (byte == 0x00)
                result.breakMarked = true;
            state_ = State::data;
            break;
        }
    }
    return result;
}

}  // namespace serial
