// The formats that tables are written in (text, CSV, JSON), the fields of CSV, and lists put
// into words. The core of the output that the command line and the windows share: the standard
// library only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace rvx {

enum class Format : std::uint8_t { Text, Csv, Json };

// The formats by name, in the order of Format.
inline constexpr std::array<std::string_view, 3> formatNames{"text", "csv", "json"};

[[nodiscard]] std::optional<Format> findFormat(std::string_view name);
[[nodiscard]] std::string_view formatName(Format format);

// A CSV field, quoted when it holds a comma, a quote or a line break (RFC 4180).
[[nodiscard]] std::string csvField(std::string_view value);
// Appending one returns where the value's characters begin in out, after a quote if it has one.
std::size_t appendCsvField(std::string& out, std::string_view value);

// A CSV field for a text the user typed, such as a motor's label. A spreadsheet runs a cell
// that starts with "=", "+", "-" or "@" (also after tabs or carriage returns) as a formula, so
// such a text gets a leading "'", as advice against CSV injection has it; otherwise csvField.
void appendCsvTextField(std::string& out, std::string_view value);

// The number of characters of a UTF-8 text, for lining up columns.
[[nodiscard]] std::size_t displayWidth(std::string_view text);

// The parts with the separator between them.
[[nodiscard]] std::string joined(std::span<const std::string> parts, std::string_view separator);

// The names as alternatives: "a, b or c".
[[nodiscard]] std::string alternatives(std::span<const std::string> names);

}  // namespace rvx
