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

// Whether the last two of fourteen bytes are the checksum of the first twelve, high byte
// first; false for any other number of bytes. The one check of a checksum: the decoder and the
// scanner of the bus both ask it.
[[nodiscard]] bool checksumHolds(std::span<const std::uint8_t> frame);

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

// Whether an address makes the same frames for a single motor and for a group: FFFFFF, whose
// address field looks like the empty one.
[[nodiscard]] constexpr bool sameFramesForBothKinds(const Address& address) {
    return address == Address{fixedByte, fixedByte, fixedByte};
}

// The values of the seven parameter fields as numbers, by ParameterField.
using ParameterValues = std::array<double, parameterFieldCount>;

// The values the parameter fields start with.
[[nodiscard]] ParameterValues startValues();

// The frame of a command from parameter numbers: each converted as the frames require, then
// composed. nullopt where a number has no written value or the frame has no bytes; never for
// values that the frames admit.
[[nodiscard]] std::optional<Frame> frameFor(const Command& command, AddressKind kind,
                                            const Address& address, const ParameterValues& values);

// The frames of one command and kind for many addresses, as a motor list needs them. The
// parameters are converted and the frame composed once; each address then only takes its place
// and adds its bytes to the checksum, the sum of the twelve bytes before it. forAddress gives
// exactly what frameFor gives for that address.
class FramesForAddresses {
public:
    FramesForAddresses(const Command& command, AddressKind kind, const ParameterValues& values);

    // Whether the values make a frame at all.
    [[nodiscard]] bool made() const { return base_.has_value(); }

    // The frame for an address; only where made().
    [[nodiscard]] Frame forAddress(const Address& address) const;

    // The checksum of that frame alone, for a writer that puts only the bytes that change into
    // a text it keeps. Inline: a motor list asks it for every row.
    [[nodiscard]] std::uint16_t checksumFor(const Address& address) const {
        return static_cast<std::uint16_t>(baseChecksum_ + address[0] + address[1] + address[2]);
    }

    // The places of the bytes that change from one address to the next: the three address
    // bytes, then the two checksum bytes. All the others are the same for every address.
    [[nodiscard]] const std::array<std::size_t, 5>& varyingBytes() const { return varying_; }

private:
    std::optional<Frame> base_;  // the frame of address 000000
    std::uint16_t baseChecksum_ = 0;
    std::array<std::size_t, 5> varying_{};
};

}  // namespace rvx
