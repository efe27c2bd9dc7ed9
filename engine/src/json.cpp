#include "rvx/json.h"

#include "rvx/escape.h"

namespace rvx {

void appendJsonEscaped(std::string& out, std::string_view value) {
    using namespace std::string_view_literals;
    escape::appendEscaped(out, value, [&](std::size_t at, std::size_t length, std::uint32_t c) {
        switch (c) {
            case '"':
                out += "\\\""sv;
                return;
            case '\\':
                out += "\\\\"sv;
                return;
            case '\n':
                out += "\\n"sv;
                return;
            case '\r':
                out += "\\r"sv;
                return;
            case '\t':
                out += "\\t"sv;
                return;
            default:
                break;
        }
        if (escape::isUnprintable(c)) {
            escape::appendHex(out, "\\u", c, 4);
        } else {
            out.append(value, at, length);
        }
    });
}

void appendJsonString(std::string& out, std::string_view value) {
    out += '"';
    appendJsonEscaped(out, value);
    out += '"';
}

std::string jsonString(std::string_view value) {
    std::string literal;
    appendJsonString(literal, value);
    return literal;
}

}  // namespace rvx
