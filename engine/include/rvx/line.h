// The serial line of the bus: each byte has 8 data bits and 1 stop bit, and the bus runs at
// 4800 baud with odd parity unless an adapter or a bridge is set up otherwise. Sending and the
// exports of a site name the line with these.
#pragma once

#include <array>
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

// "none", "even", "odd", "mark" or "space".
[[nodiscard]] constexpr std::string_view parityKeyword(Parity parity) {
    constexpr std::array<std::string_view, parities.size()> names{"none", "even", "odd", "mark",
                                                                  "space"};
    return names[static_cast<std::size_t>(parity)];
}

}  // namespace rvx
