#include "rvx/message.h"

#include "rvx/ascii.h"

namespace rvx {

namespace {

// U+0080 to U+009F, the second set of control characters: a terminal may take U+009B as the
// start of an escape sequence, as it takes ESC [.
bool isC1Control(std::string_view text, std::size_t offset, std::size_t length) {
    return length == 2 && static_cast<unsigned char>(text[offset]) == 0xC2 &&
           static_cast<unsigned char>(text[offset + 1]) <= 0x9F;
}

// Appends the character at offset, escaped where it must be, and returns its length.
std::size_t appendEscaped(std::string& out, std::string_view text, std::size_t offset) {
    const std::size_t length = ascii::utf8Length(text, offset);
    const auto c = static_cast<unsigned char>(text[offset]);
    if (c == '\n') {
        out += "\\n";
    } else if (c == '\r') {
        out += "\\r";
    } else if (c == '\t') {
        out += "\\t";
    } else if (ascii::isControl(static_cast<char>(c)) ||
               !ascii::startsValidCharacter(text, offset) || isC1Control(text, offset, length)) {
        for (std::size_t k = 0; k < length; ++k) {
            const auto byte = static_cast<unsigned char>(text[offset + k]);
            out += "\\x";
            out += ascii::hexByte(byte);
        }
    } else {
        out.append(text.substr(offset, length));
    }
    return length;
}

}  // namespace

std::string quoted(std::string_view text) {
    std::string out = "\"";
    std::size_t offset = 0;
    std::size_t characters = 0;
    while (offset < text.size() && characters < quotedCharacters) {
        offset += appendEscaped(out, text, offset);
        ++characters;
    }
    out += '"';
    if (offset < text.size()) {
        std::size_t total = characters;
        for (; offset < text.size(); offset += ascii::utf8Length(text, offset)) {
            ++total;
        }
        out += "... (" + std::to_string(total) + " characters)";
    }
    return out;
}

std::string escaped(std::string_view text) {
    std::string out;
    for (std::size_t offset = 0; offset < text.size();) {
        offset += appendEscaped(out, text, offset);
    }
    return out;
}

}  // namespace rvx
