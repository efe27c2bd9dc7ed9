// Writing results of rvx-strings as text, CSV or JSON.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

enum class Format { Text, Csv, Json };

[[nodiscard]] std::optional<Format> findFormat(std::string_view name);

// One output record: named columns in a fixed order.
struct Record {
    std::vector<std::pair<std::string_view, std::string>> fields;
};

// A CSV field, quoted when it holds a comma, a quote or a line break.
[[nodiscard]] std::string csvField(std::string_view value);

// Header line and one line per record, each ended by a line break.
[[nodiscard]] std::string writeCsv(const std::vector<Record>& records,
                                   const std::vector<std::string_view>& columns);

// A JSON string literal: quotes, backslashes and control characters escaped.
[[nodiscard]] std::string jsonString(std::string_view value);

// A JSON array of objects with the records' fields as keys, in their order.
[[nodiscard]] std::string writeJson(const std::vector<Record>& records);

}  // namespace cli
