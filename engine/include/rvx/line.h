// The serial line of the bus: each byte has 8 data bits and 1 stop bit, and the bus runs at
// 4800 baud with odd parity unless an adapter or a bridge is set up otherwise. Sending and the
// exports of a site name the line with these.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace rvx {

enum class Parity : std::uint8_t { None, Even, Odd, Mark, Space };

// Every parity, in the order choosers and help texts list them.
inline constexpr std::array<Parity, 5> parities{Parity::None, Parity::Even, Parity::Odd,
                                                Parity::Mark, Parity::Space};

inline constexpr unsigned busBaud = 4800;
inline constexpr Parity busParity = Parity::Odd;
inline constexpr unsigned busDataBits = 8;
inline constexpr unsigned busStopBits = 1;

// The quiet time on the line between two frames, counted from the end of the first.
inline constexpr std::chrono::milliseconds busGap{50};
// Watching: a frame still unfinished after this much silence is given up as noise.
inline constexpr std::chrono::milliseconds watchSilence{200};

// The time bytes take on the line: each has a start bit, 8 data bits, the parity bit if any
// and a stop bit; rounded up to whole milliseconds. A baud rate of 0 counts as 1.
[[nodiscard]] constexpr std::chrono::milliseconds lineTime(std::size_t bytes, unsigned baud,
                                                           Parity parity) {
    const unsigned long long bitsPerByte =
        1 + busDataBits + (parity == Parity::None ? 0 : 1) + busStopBits;
    const unsigned long long bits = bytes * bitsPerByte;
    const unsigned long long rate = baud == 0 ? 1 : baud;
    return std::chrono::milliseconds(static_cast<long long>((bits * 1000 + rate - 1) / rate));
}

// "none", "even", "odd", "mark" or "space".
[[nodiscard]] constexpr std::string_view parityKeyword(Parity parity) {
    constexpr std::array<std::string_view, parities.size()> names{"none", "even", "odd", "mark",
                                                                  "space"};
    return names[static_cast<std::size_t>(parity)];
}

}  // namespace rvx
