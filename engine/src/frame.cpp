#include "rvx/frame.h"

#include <numeric>

namespace rvx {

namespace {

constexpr std::string_view hexDigits = "0123456789ABCDEF";

void appendHex(std::string& out, std::uint8_t byte) {
    out.push_back(hexDigits[byte >> 4]);
    out.push_back(hexDigits[byte & 0x0F]);
}

struct Style {
    std::string_view prefix;     // before each byte
    std::string_view separator;  // between bytes
};

Style styleOf(Notation notation) {
    switch (notation) {
        case Notation::Spaced:
            return {"", " "};
        case Notation::Compact:
            return {"", ""};
        case Notation::Escaped:
            return {"\\x", ""};
        case Notation::ZeroX:
            return {"0x", ", "};
        case Notation::Dollar:
            return {"$", ","};
        case Notation::Decimal:
            return {"", ","};
    }
    return {"", " "};
}

}  // namespace

std::optional<Notation> findNotation(std::string_view name) {
    for (const auto& info : notationCatalogue) {
        if (info.name == name) {
            return info.notation;
        }
    }
    return std::nullopt;
}

std::string writeFrame(const Frame& frame, Notation notation) {
    return writeBytes(frame, notation);
}

std::string writeBytes(std::span<const std::uint8_t> bytes, Notation notation) {
    const Style style = styleOf(notation);
    std::string out;
    out.reserve(bytes.size() * (style.prefix.size() + style.separator.size() + 3));
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        if (k > 0) {
            out += style.separator;
        }
        out += style.prefix;
        if (notation == Notation::Decimal) {
            out += std::to_string(bytes[k]);
        } else {
            appendHex(out, bytes[k]);
        }
    }
    return out;
}

std::uint16_t checksumOf(std::span<const std::uint8_t> firstTwelve) {
    return static_cast<std::uint16_t>(std::accumulate(firstTwelve.begin(), firstTwelve.end(), 0U) &
                                      0xFFFFU);
}

}  // namespace rvx
