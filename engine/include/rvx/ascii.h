// Character helpers of the project: ASCII classes and case, hexadecimal digits, and stepping
// through UTF-8 one character at a time. None depends on the C or C++ locale.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace rvx::ascii {

inline constexpr std::string_view hexDigits = "0123456789ABCDEF";

constexpr bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A blank inside a line: space or tab.
constexpr bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Any white space, line breaks included.
constexpr bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

constexpr char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr bool equalIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t k = 0; k < a.size(); ++k) {
        if (lower(a[k]) != lower(b[k])) {
            return false;
        }
    }
    return true;
}

// The value of every character as a hexadecimal digit of either case, -1 for any other: a
// lookup rather than comparisons, since the digits of addresses come in no order a branch
// could learn.
inline constexpr std::array<signed char, 256> hexValues = [] {
    std::array<signed char, 256> values{};
    for (std::size_t c = 0; c < values.size(); ++c) {
        values[c] = -1;
    }
    for (std::size_t k = 0; k < 16; ++k) {
        values[static_cast<unsigned char>(hexDigits[k])] = static_cast<signed char>(k);
        values[static_cast<unsigned char>(lower(hexDigits[k]))] = static_cast<signed char>(k);
    }
    return values;
}();

// The value of a hexadecimal digit of either case; -1 for any other character.
constexpr int hexValue(char c) {
    return hexValues[static_cast<unsigned char>(c)];
}

// The two upper-case hexadecimal digits of every byte, side by side: byte b at 2 * b.
inline constexpr std::array<char, 512> hexPairs = [] {
    std::array<char, 512> pairs{};
    for (std::size_t b = 0; b < 256; ++b) {
        pairs[2 * b] = hexDigits[b >> 4];
        pairs[2 * b + 1] = hexDigits[b & 0x0F];
    }
    return pairs;
}();

// The two upper-case hexadecimal digits of a byte ("0A"): the one place a byte is written so.
constexpr std::string_view hexByte(std::uint8_t byte) {
    return {&hexPairs[2U * byte], 2};
}

// The text without the characters at either end that drop holds for; the one trimming of the
// project.
template <class Drop>
constexpr std::string_view trim(std::string_view text, Drop drop) {
    while (!text.empty() && drop(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && drop(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The text without the blanks (spaces and tabs) at either end.
constexpr std::string_view trimBlanks(std::string_view text) {
    return trim(text, [](char c) { return isBlank(c); });
}

// The length in bytes of the UTF-8 character that starts at offset: 1 for a byte that starts
// no valid sequence, so that every byte belongs to exactly one character.
constexpr std::size_t utf8Length(std::string_view text, std::size_t offset) {
    const auto lead = static_cast<unsigned char>(text[offset]);
    std::size_t length = 1;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;  // bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    if (offset + length > text.size()) {
        return 1;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(text[offset + k]);
        if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF)) {
            return 1;
        }
    }
    return length;
}

// Whether the byte at offset starts a valid UTF-8 character (an ASCII byte does).
constexpr bool startsValidCharacter(std::string_view text, std::size_t offset) {
    return static_cast<unsigned char>(text[offset]) < 0x80 || utf8Length(text, offset) > 1;
}

// Whether the whole text is valid UTF-8.
constexpr bool isValidUtf8(std::string_view text) {
    for (std::size_t offset = 0; offset < text.size(); offset += utf8Length(text, offset)) {
        if (!startsValidCharacter(text, offset)) {
            return false;
        }
    }
    return true;
}

// The text with each byte that starts no valid UTF-8 character replaced by U+FFFD, so that
// what a file must hold as text is text whatever the bytes it was given.
inline std::string validUtf8(std::string_view text) {
    bool ascii = true;
    for (const char c : text) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    if (ascii) {
        return std::string(text);
    }
    std::string out;
    out.reserve(text.size());
    for (std::size_t offset = 0; offset < text.size();) {
        const std::size_t length = utf8Length(text, offset);
        if (startsValidCharacter(text, offset)) {
            out.append(text, offset, length);
        } else {
            out += "\xEF\xBF\xBD";
        }
        offset += length;
    }
    return out;
}

// A control character of ASCII: 00 to 1F and 7F.
constexpr bool isControl(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
}

}  // namespace rvx::ascii
