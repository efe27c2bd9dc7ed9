// Showing what a user typed inside a message, safely: on one line, in printable characters,
// and not at any length.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace rvx {

// The longest part of a text that messages show before cutting it.
inline constexpr std::size_t quotedCharacters = 40;

// The text in double quotes, with every control character written as an escape (\n, \r, \t,
// \x1B, \x00, \x7F, and U+0080 to U+009F as their two bytes \xC2\x9B) and every byte that is
// not UTF-8 as \xHH, so that the message stays on one line and sends nothing to the terminal.
// A text of more than quotedCharacters characters is cut there and followed by
// "... (N characters)".
[[nodiscard]] std::string quoted(std::string_view text);

// The same escapes without the quotes and without cutting: for a text that must stand whole,
// such as a file name.
[[nodiscard]] std::string escaped(std::string_view text);

}  // namespace rvx
