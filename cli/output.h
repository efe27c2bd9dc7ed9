// Writing results of rvx-strings: tables as text, CSV or JSON, and standard output itself.
#pragma once

#include <cstddef>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

enum class Format { Text, Csv, Json };

[[nodiscard]] std::optional<Format> findFormat(std::string_view name);
[[nodiscard]] std::string_view formatName(Format format);

// A CSV field, quoted when it holds a comma, a quote or a line break (RFC 4180).
[[nodiscard]] std::string csvField(std::string_view value);
void appendCsvField(std::string& out, std::string_view value);

// A CSV field for a text the user typed, such as a motor's label. A spreadsheet runs a cell
// that starts with "=", "+", "-" or "@" (also after tabs or carriage returns) as a formula, so
// such a text gets a leading "'", as advice against CSV injection has it; otherwise csvField.
void appendCsvTextField(std::string& out, std::string_view value);

// A JSON string literal: quotes, backslashes and control characters escaped.
[[nodiscard]] std::string jsonString(std::string_view value);
void appendJsonString(std::string& out, std::string_view value);

// The number of characters of a UTF-8 text, for lining up columns.
[[nodiscard]] std::size_t displayWidth(std::string_view text);

// Rows of text values under fixed column names, appended to a string one at a time so that
// any number of rows can be written as they come:
// - CSV: a header line with the column names, then one line per row;
// - JSON: an array of objects with the column names as keys, in column order;
// - text: no header, each column but the last padded to its width and two blanks; a column
//   of width 0 is left out.
class TableWriter {
public:
    TableWriter(Format format, std::vector<std::string_view> columns,
                std::vector<std::size_t> textWidths = {});

    void begin(std::string& out) const;
    void row(std::string& out, std::initializer_list<std::string_view> values);
    void end(std::string& out) const;

private:
    Format format_;
    std::vector<std::string_view> columns_;
    std::vector<std::size_t> widths_;
    bool firstRow_ = true;
};

// Standard output (or another stream), written in large pieces. Remembers whether any write
// failed (a full disk, a closed descriptor), so that a cut-off result is not reported as success.
class StandardOutput {
public:
    explicit StandardOutput(std::FILE* stream = stdout) : stream_(stream) {}

    std::string buffer;

    // Writes the buffer once it holds enough to be worth a write.
    void writeIfLarge();
    // Writes the rest and flushes; false when anything could not be written.
    [[nodiscard]] bool finish();

private:
    void writeBuffer();
    std::FILE* stream_;
    bool failed_ = false;
};

// A stream written through one buffer of fixed size, for output of any length: the caller asks
// for room, writes into it and commits what it wrote; full buffers go out in one write each.
// The first write that fails is remembered; the caller asks failed() and stops.
class BufferedWriter {
public:
    explicit BufferedWriter(std::FILE* stream, std::size_t capacity = std::size_t{1} << 18);

    // Room for size more characters, size at most the capacity.
    [[nodiscard]] char* room(std::size_t size);
    // What was written into the room, up to end, is part of the output.
    void commit(char* end) { used_ = static_cast<std::size_t>(end - buffer_.data()); }
    void append(std::string_view text);

    // Writes what is held and flushes the stream; false when anything could not be written.
    [[nodiscard]] bool finish();
    [[nodiscard]] bool failed() const { return failed_; }

private:
    void writeOut();
    std::FILE* stream_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    bool failed_ = false;
};

}  // namespace cli
