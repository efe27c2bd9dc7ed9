// A frame of the RVX bus as fourteen bytes, and the arithmetic that makes one.
//
// composeFrame is the one place where a frame is put together: the generation of the window,
// the command line and its motor lists all take their bytes from it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "rvx/address.h"
#include "rvx/catalogue.h"

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

// The checksum of a frame: the 16-bit sum of the twelve bytes before it, as they stand.
[[nodiscard]] std::uint16_t checksumOf(std::span<const std::uint8_t> firstTwelve);

// Whether the last two bytes are the checksum of the first twelve, high byte first.
[[nodiscard]] bool checksumHolds(const Frame& frame);

struct ComposedFrame {
    enum class Status : std::uint8_t {
        Made,       // frame holds the fourteen bytes
        Overflow,   // the frame sum left the 16-bit range; overflowAt names the parameter
        NoByteForm  // a parameter's written value lies outside 00..FF: no frame can carry it
    };
    Status status = Status::Made;
    Frame frame{};
    // The frame sum: the sum of the twelve bytes, taken from the address, the command's
    // constant part and the written parameter values in 16-bit arithmetic. Set unless the sum
    // overflowed; for a frame made, its checksum.
    std::int16_t sum = 0;
    std::size_t overflowAt = 0;  // Overflow: the index of the parameter whose addition overflowed

    [[nodiscard]] bool made() const { return status == Status::Made; }
};

// The frame of a command for an address, from the written values of its parameter bytes (in
// the order of Command::parameterBytes, as convertParameter gives them).
[[nodiscard]] ComposedFrame composeFrame(const Command& command, AddressKind kind,
                                         const Address& address,
                                         std::span<const std::int16_t> written);

// The values of the seven parameter fields as numbers, by ParameterField.
using ParameterValues = std::array<double, parameterFieldCount>;

// The values the parameter fields start with.
[[nodiscard]] ParameterValues startValues();

// The frame of a command from parameter numbers: each converted as the frames require, then
// composed. nullopt where a number has no written value or the frame has no bytes; never for
// values that the frames admit.
[[nodiscard]] std::optional<Frame> frameFor(const Command& command, AddressKind kind,
                                            const Address& address, const ParameterValues& values);

}  // namespace rvx
