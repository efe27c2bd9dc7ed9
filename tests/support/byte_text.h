// Reading a command string back: fourteen bytes of two upper-case hexadecimal digits each,
// single blanks between them, and the last two bytes the 16-bit sum of the first twelve.
// Shared by the fuzz targets, the random use of the window and the benchmarks' own checks.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "rvx/frame.h"

namespace rvx::check {

// The bytes of a byte text, or nullopt where the text is not exactly 41 characters of
// fourteen two-digit upper-case bytes joined by single blanks.
inline std::optional<Frame> parseByteText(std::string_view text) {
    if (text.size() != 3 * frameLength - 1) {
        return std::nullopt;
    }
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    };
    Frame frame{};
    for (std::size_t k = 0; k < frameLength; ++k) {
        const int high = digit(text[3 * k]);
        const int low = digit(text[3 * k + 1]);
        if (high < 0 || low < 0 || (k + 1 < frameLength && text[3 * k + 2] != ' ')) {
            return std::nullopt;
        }
        frame[k] = static_cast<std::uint8_t>(16 * high + low);
    }
    return frame;
}

// Whether the last two bytes are the sum of the first twelve, high byte first.
inline bool checksumHolds(const Frame& frame) {
    const std::uint16_t sum = checksumOf(std::span(frame).first(byteAt::checksumHigh));
    return frame[byteAt::checksumHigh] == (sum >> 8) && frame[byteAt::checksumLow] == (sum & 0xFF);
}

// A byte text of fourteen bytes whose checksum verifies.
inline bool isVerifiedString(std::string_view text) {
    const auto frame = parseByteText(text);
    return frame && checksumHolds(*frame);
}

}  // namespace rvx::check
