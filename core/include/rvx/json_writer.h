// JSON of any shape, written into a string a value at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rvx {

// The one writer of JSON documents: the tables, the report of a decoded frame, the lines of the
// monitor and of the send log all use it, each in its layout; its strings are the engine's JSON
// strings (rvx/json.h).
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

}  // namespace rvx
