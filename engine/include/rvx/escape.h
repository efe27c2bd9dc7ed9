// Escaping a text for a file format, character by character: the walk every escaper of the
// project shares (JSON in rvx/json.h, and the exports' YAML and openHAB strings), and what no
// file carries as it stands.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "rvx/ascii.h"

namespace rvx::escape {

// The code point of the valid UTF-8 character of length bytes that starts at text[at].
constexpr std::uint32_t codePointAt(std::string_view text, std::size_t at, std::size_t length) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (length == 1) {
        return lead;
    }
    std::uint32_t value = lead & (0x7FU >> length);
    for (std::size_t k = 1; k < length; ++k) {
        value = (value << 6) | (static_cast<unsigned char>(text[at + k]) & 0x3FU);
    }
    return value;
}

// The bytes that every escaper writes as they stand: printable ASCII but the quote and the
// backslash.
inline constexpr std::array<bool, 256> plainBytes = [] {
    std::array<bool, 256> plain{};
    for (std::size_t b = 0x20; b < 0x7F; ++b) {
        plain[b] = b != '"' && b != '\\';
    }
    return plain;
}();

// Appends a valid UTF-8 text: runs of plain bytes as they stand, and for every other character
// what escape(at, length, codePoint) makes of it.
template <class Escape>
void appendEscaped(std::string& out, std::string_view text, Escape escape) {
    for (std::size_t at = 0; at < text.size();) {
        std::size_t run = at;
        while (run < text.size() && plainBytes[static_cast<unsigned char>(text[run])]) {
            ++run;
        }
        out.append(text, at, run - at);
        if (run == text.size()) {
            return;
        }
        const std::size_t length = ascii::utf8Length(text, run);
        escape(run, length, codePointAt(text, run, length));
        at = run + length;
    }
}

inline void appendHex(std::string& out, std::string_view lead, std::uint32_t value, int digits) {
    out += lead;
    for (int k = digits; k-- > 0;) {
        out += ascii::hexDigits[(value >> (4 * k)) & 0xFU];
    }
}

// A character that no file carries as it stands: a control character of either set, the line
// and paragraph separators, the byte order mark and the two non-characters of the last plane.
constexpr bool isUnprintable(std::uint32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0xFEFF ||
           c == 0xFFFE || c == 0xFFFF;
}

}  // namespace rvx::escape
