// Bytes of site files that are no UTF-8 text, as other programs save them: the reader is to
// say what they likely are.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace list_bytes {

// ASCII text in UTF-16: a zero byte beside every character, after it (little-endian, as most
// editors save it) or before it (big-endian).
inline std::string utf16(std::string_view ascii, bool bigEndian = false) {
    std::string bytes;
    for (const char c : ascii) {
        if (bigEndian) {
            bytes += '\0';
        }
        bytes += c;
        if (!bigEndian) {
            bytes += '\0';
        }
    }
    return bytes;
}

// Bytes of every value in turn, as an image or a program is: no text at all.
inline std::string binary(std::size_t size) {
    std::string bytes;
    for (std::size_t k = 0; k < size; ++k) {
        bytes += static_cast<char>((k * 37 + 11) % 256);
    }
    return bytes;
}

}  // namespace list_bytes
