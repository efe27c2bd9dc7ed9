// JSON string literals: the one way the project writes a text into JSON, for the exports of
// the engine and every JSON the command line and the windows write (through JsonWriter).
#pragma once

#include <string>
#include <string_view>

namespace rvx {

// Appends the inside of a JSON string for a valid UTF-8 text (ascii::validUtf8 makes any bytes
// into one): quotes, backslashes and control characters escaped (\n, \r, \t, else \uXXXX), and
// besides what JSON requires DEL, the second set of control characters and the line and
// paragraph separators, which JavaScript took for line ends before ES2019.
void appendJsonEscaped(std::string& out, std::string_view value);

// The same in double quotes.
void appendJsonString(std::string& out, std::string_view value);

[[nodiscard]] std::string jsonString(std::string_view value);

}  // namespace rvx
