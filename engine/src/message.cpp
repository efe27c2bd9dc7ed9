#include "rvx/message.h"

#include "ascii.h"

namespace rvx {

std::string quoted(std::string_view text) {
    std::string out = "\"";
    std::size_t offset = 0;
    std::size_t characters = 0;
    while (offset < text.size() && characters < quotedCharacters) {
        const std::size_t length = ascii::utf8Length(text, offset);
        const auto c = static_cast<unsigned char>(text[offset]);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F || !ascii::startsValidCharacter(text, offset)) {
            out += "\\x";
            out += ascii::hexPairs[2 * c];
            out += ascii::hexPairs[2 * c + 1];
        } else {
            out.append(text.substr(offset, length));
        }
        offset += length;
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

}  // namespace rvx
