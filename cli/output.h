// The output layer of rvx-strings, through which every mode writes: the exit statuses, tables
// as text, CSV or JSON, JSON of any shape, standard output through one buffer, and messages on
// standard error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// ---- Exit statuses (what each means: exitStatuses in arguments.h) ----

inline constexpr int exitSuccess = 0;
inline constexpr int exitFindings = 1;
inline constexpr int exitUsage = 2;
inline constexpr int exitOutput = 3;
inline constexpr int exitBus = 4;

// ---- Messages ----

// The name that starts every message on standard error.
inline constexpr std::string_view programName = "rvx-strings";

// A message as standard error shows it, without its line break: "rvx-strings: " and the text.
[[nodiscard]] std::string messageLine(std::string_view message);

// Writes the text and a line break and flushes; false when it could not all be written.
bool writeLine(std::FILE* stream, std::string_view line);

// Writes a message of rvx-strings, as messageLine gives it, on err.
void tell(std::FILE* err, std::string_view message);

class BufferedWriter;

// Writes what out holds and returns status; when standard output could not be written, says
// so on err and returns exitOutput instead.
[[nodiscard]] int finishOutput(BufferedWriter& out, std::FILE* err, int status = exitSuccess);

// ---- Lists in words ----

// The parts with the separator between them.
[[nodiscard]] std::string joined(std::span<const std::string> parts, std::string_view separator);

// The names as alternatives: "a, b or c".
[[nodiscard]] std::string alternatives(std::span<const std::string> names);

// ---- Formats ----

enum class Format : std::uint8_t { Text, Csv, Json };

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

// A JSON string literal: quotes, backslashes and control characters escaped.
[[nodiscard]] std::string jsonString(std::string_view value);
void appendJsonString(std::string& out, std::string_view value);

// The number of characters of a UTF-8 text, for lining up columns.
[[nodiscard]] std::size_t displayWidth(std::string_view text);

// JSON of any shape, written into a string a value at a time; strings go through
// appendJsonString. The one writer of JSON: the tables, the report of --decode and the lines of
// --monitor all use it, each in its layout.
class JsonWriter {
public:
    enum class Layout : std::uint8_t {
        Indented,  // every member and element on a line of its own, four blanks a level
        Compact,   // on one line, nothing between the parts
        Rows,      // the elements of an outer array a line each, indented by two blanks;
                   // everything else on one line, ", " between members and ": " after a key
    };

    JsonWriter(std::string& out, Layout layout) : out_(out), layout_(layout) {}

    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }
    void key(std::string_view name);
    // Returns where the string's characters begin in the output, after its opening quote.
    std::size_t string(std::string_view value);
    // The string, or null where there is none.
    template <class Text>
    void stringOrNull(const std::optional<Text>& value) {
        value ? (void)string(*value) : null();
    }
    // What stands before a value (a comma, a line break and indent) for a value that the caller
    // then writes itself, JSON already: for a writer that makes a value once with this writer
    // and repeats it with a few characters changed (the rows of a batch). In every layout the
    // same text stands before each element of an array after its first.
    void beginRaw() { next(); }
    void number(long long value);
    void boolean(bool value);
    void null();

private:
    // Before a member or an element: the comma after the one before and the line's indent.
    // A value after its key follows on the key's line.
    void next();
    void open(char bracket);
    void close(char bracket);

    std::string& out_;
    Layout layout_;
    struct Level {
        bool array;
        bool filled;  // whether it holds anything yet
    };
    std::vector<Level> levels_;  // the open objects and arrays, the outermost first
    bool afterKey_ = false;
};

// Rows of text values under fixed column names, appended to a string one at a time so that
// any number of rows can be written as they come:
// - CSV: a header line with the column names, then one line per row;
// - JSON: an array of objects with the column names as keys, in column order, an object a line;
// - text: no header, each column but the last padded to its width and two blanks; a column
//   of width 0 is left out.
class TableWriter {
public:
    TableWriter(std::string& out, Format format, std::vector<std::string_view> columns,
                std::vector<std::size_t> textWidths = {});

    void begin();
    void row(std::initializer_list<std::string_view> values);
    void end();

private:
    std::string& out_;
    Format format_;
    std::vector<std::string_view> columns_;
    std::vector<std::size_t> widths_;
    JsonWriter json_;
};

// A stream written through one buffer of fixed size, for output of any length: the one way
// rvx-strings writes standard output. The caller appends text, or asks for room, writes into it
// and commits what it wrote; full buffers go out in one write each. The first write that fails
// (a full disk, a closed descriptor) is remembered, so that a cut-off result is not reported as
// success; the caller asks failed() and stops.
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
