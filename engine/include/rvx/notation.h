// The notations a frame's bytes are written in, and reading bytes back from any of them.
//
// One table describes each notation; the writer and the reader both walk it, so a new
// notation is one row.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rvx/frame.h"

namespace rvx {

// How a frame's bytes are written. Spaced is the byte text that the window shows; the last
// four are the string expressions of controller platforms.
enum class Notation : std::uint8_t {
    Spaced,    // AB F1 FF ... 09 30
    Compact,   // ABF1FF...0930
    Escaped,   // \xAB\xF1\xFF...\x09\x30
    ZeroX,     // 0xAB, 0xF1, ..., 0x30
    Dollar,    // $AB,$F1,...,$30
    Decimal,   // 171,241,...,48
    Crestron,  // \xAB\xF1...\x30, as SIMPL and SIMPL+ take a string's bytes
    Amx,       // "$AB,$F1,...,$30", a NetLinx string expression with its quotes
    Control4,  // $AB $F1 ... $30, as Composer's Driver Wizard takes it
    Rti,       // %AB%F1...%30, as Integration Designer takes it
};

struct NotationInfo {
    Notation notation;
    std::string_view name;       // as the command line names it
    std::string_view platform;   // what the notation is for, as the window's menu names it
    std::string_view prefix;     // before each byte, as written (the reader ignores its case)
    std::string_view separator;  // between bytes, as written; the reader takes any number of
                                 // blanks or line breaks for a blank, and around a comma
    std::string_view suffix;     // after each byte, as written (the reader ignores its case)
    char quote;                  // stands before the first byte and after the last; 0 for none
    unsigned radix;              // 16: two upper-case digits a byte; 10: 0 to 255
    // How a controller on this platform is kept from sending a byte above 7F as two bytes of
    // UTF-8; empty where the notation is not a controller's.
    std::string_view rawBytes;
};

inline constexpr std::array<NotationInfo, 10> notationCatalogue{{
    // clang-format off
    {Notation::Spaced, "spaced", "Spaced", "", " ", "", 0, 16, ""},
    {Notation::Compact, "compact", "Compact", "", "", "", 0, 16, ""},
    {Notation::Escaped, "escaped", "Escaped, C and shell strings", "\\x", "", "", 0, 16, ""},
    {Notation::ZeroX, "0x", "C arrays, Kramer", "0x", ", ", "", 0, 16, ""},
    {Notation::Dollar, "dollar", "Dollar", "$", ",", "", 0, 16, ""},
    {Notation::Decimal, "decimal", "Decimal", "", ",", "", 0, 10, ""},
    {Notation::Crestron, "crestron", "Crestron SIMPL", "\\x", "", "", 0, 16,
     "Crestron: give the string as escaped bytes in a serial signal or a SIMPL+ string, never "
     "typed or pasted as characters."},
    {Notation::Amx, "amx", "AMX NetLinx", "$", ",", "", '"', 16,
     "AMX: send the string expression to a device whose port is 8 bit (SEND_STRING), not a "
     "WIDECHAR or a converted string."},
    {Notation::Control4, "control4", "Control4 Driver Wizard", "$", " ", "", 0, 16,
     "Control4: enter the bytes as hexadecimal with $, never as text in a Lua string that is "
     "converted."},
    {Notation::Rti, "rti", "RTI Integration Designer", "%", "", "", 0, 16,
     "RTI: each byte as %XX in the command data, not as characters."},
    // clang-format on
}};

[[nodiscard]] constexpr const NotationInfo& notationInfo(Notation notation) {
    return notationCatalogue[static_cast<std::size_t>(notation)];
}

[[nodiscard]] std::optional<Notation> findNotation(std::string_view name);

// The most characters that count bytes take in a notation.
[[nodiscard]] constexpr std::size_t maxWrittenLength(Notation notation, std::size_t count) {
    const NotationInfo& info = notationInfo(notation);
    const std::size_t digits = info.radix == 10 ? 3 : 2;
    const std::size_t quotes = info.quote != 0 ? 2 : 0;
    return count == 0 ? quotes
                      : quotes + count * (info.prefix.size() + digits + info.suffix.size()) +
                            (count - 1) * info.separator.size();
}

// Writes the bytes in the notation at out, which has room for maxWrittenLength characters;
// returns the end of what was written. No allocation: the batch writes millions this way.
char* writeBytesTo(char* out, std::span<const std::uint8_t> bytes, Notation notation);

// The same as a string; every hexadecimal byte is two upper-case digits.
[[nodiscard]] std::string writeBytes(std::span<const std::uint8_t> bytes,
                                     Notation notation = Notation::Spaced);
[[nodiscard]] std::string writeFrame(const Frame& frame, Notation notation = Notation::Spaced);

// Bytes read from a text.
struct FrameText {
    Notation notation = Notation::Spaced;  // the notation the text was read in
    std::vector<std::uint8_t> bytes;       // empty when the text could not be read
    std::string error;                     // why not, with the character where it went wrong

    [[nodiscard]] bool read() const { return error.empty(); }
};

// Reads bytes written in a notation. Blanks and line breaks may surround the text, hexadecimal
// digits and the "x" of "\x" and "0x" may be of either case, and blanks and line breaks may
// stand around commas. Spaced bytes are separated by blanks or line breaks.
//
// Without a notation it is told from the text: a notation's quote or prefix at its start names
// the notations that begin so ("\" escaped, "0x" 0x, "$" dollar or control4, "%" rti, a double
// quote amx), and the first of them, in the catalogue's order, that reads the whole text is
// taken; otherwise a text with blanks inside is spaced and one without is compact. Two
// notations that write the same text (escaped and crestron) read as the first. Decimal is
// never guessed ("12 34 56" would read both ways); it is read only when asked for.
[[nodiscard]] FrameText readFrameText(std::string_view text,
                                      std::optional<Notation> notation = std::nullopt);

// Exactly fourteen bytes read from a text; nullopt for anything else.
[[nodiscard]] std::optional<Frame> readFrame(std::string_view text,
                                             std::optional<Notation> notation = std::nullopt);

}  // namespace rvx
