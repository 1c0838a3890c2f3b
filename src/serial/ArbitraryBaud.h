#pragma once

#include <cstdint>

namespace serial {

// Sets a line speed that has no B-constant (14400, 56000, ...) through the kernel's
// termios2 interface, which cannot share a translation unit with <termios.h>.
bool setArbitraryBaud(int fd, std::uint32_t bitsPerSecond);

}  // namespace serial
