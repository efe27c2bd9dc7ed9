// A frame of the RVX bus as fourteen bytes, and the notations it is written in.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace rvx {

inline constexpr std::size_t frameLength = 14;
using Frame = std::array<std::uint8_t, frameLength>;

// Positions in a frame, counted from 0.
namespace byteAt {
inline constexpr std::size_t message = 0;
inline constexpr std::size_t length = 1;
inline constexpr std::size_t fixed = 2;
inline constexpr std::size_t firstAddress = 3;   // group address, or FF FF FF
inline constexpr std::size_t secondAddress = 6;  // single motor address, or FF FF FF
inline constexpr std::size_t command = 9;
inline constexpr std::size_t parameter1 = 10;
inline constexpr std::size_t parameter2 = 11;
inline constexpr std::size_t checksumHigh = 12;
inline constexpr std::size_t checksumLow = 13;
}  // namespace byteAt

// How a frame's bytes are written. Spaced is the byte text that the window shows.
enum class Notation : std::uint8_t {
    Spaced,   // AB F1 FF ... 09 30
    Compact,  // ABF1FF...0930
    Escaped,  // \xAB\xF1\xFF...\x09\x30
    ZeroX,    // 0xAB, 0xF1, ..., 0x30
    Dollar,   // $AB,$F1,...,$30
    Decimal,  // 171,241,...,48
};

struct NotationInfo {
    Notation notation;
    std::string_view name;  // as the command line names it
};

inline constexpr std::array<NotationInfo, 6> notationCatalogue{{
    {Notation::Spaced, "spaced"},
    {Notation::Compact, "compact"},
    {Notation::Escaped, "escaped"},
    {Notation::ZeroX, "0x"},
    {Notation::Dollar, "dollar"},
    {Notation::Decimal, "decimal"},
}};

[[nodiscard]] std::optional<Notation> findNotation(std::string_view name);

// Writes the bytes in the notation; every hexadecimal byte is two upper-case digits.
[[nodiscard]] std::string writeFrame(const Frame& frame, Notation notation = Notation::Spaced);

// The same for any number of bytes, as a decoder shows what it read.
[[nodiscard]] std::string writeBytes(std::span<const std::uint8_t> bytes,
                                     Notation notation = Notation::Spaced);

// The 16-bit sum of the first twelve bytes as they stand in the frame.
[[nodiscard]] std::uint16_t checksumOf(std::span<const std::uint8_t> firstTwelve);

}  // namespace rvx
