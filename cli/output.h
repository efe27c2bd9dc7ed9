// The standard streams of rvx-strings: the exit statuses, the messages on standard error, and
// standard output written through the core's buffer. The formats, tables and JSON that every
// mode writes are the core's (rvx/formats.h, rvx/table_writer.h, rvx/json_writer.h); they are
// named here as the command line uses them.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "rvx/formats.h"
#include "rvx/json.h"
#include "rvx/json_writer.h"
#include "rvx/output_sink.h"
#include "rvx/table_writer.h"

namespace cli {

using rvx::alternatives;
using rvx::appendCsvField;
using rvx::appendJsonString;
using rvx::csvField;
using rvx::displayWidth;
using rvx::findFormat;
using rvx::Format;
using rvx::formatName;
using rvx::joined;
using rvx::jsonString;
using rvx::JsonWriter;
using rvx::TableWriter;

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

// ---- Standard output ----

// What the result is written to, as messages name it: "standard output", or the file of
// --output ("--output \"flow.json\"").
void nameOutput(std::string name);
[[nodiscard]] const std::string& outputName();

// A stdio stream as the core's sink: a write is taken whole or not at all, and a flush passes
// the stream's buffer on to the system.
class FileSink final : public rvx::Sink {
public:
    explicit FileSink(std::FILE* stream) : stream_(stream) {}
    bool write(std::string_view bytes) override;
    bool flush() override;

private:
    std::FILE* stream_;
};

namespace detail {
// Holds the sink, so that it is made before the writer that is handed it.
struct FileSinkHolder {
    explicit FileSinkHolder(std::FILE* stream) : sink(stream) {}
    FileSink sink;
};
}  // namespace detail

// A stream written through one buffer of fixed size: the one way rvx-strings writes standard
// output.
class BufferedWriter : private detail::FileSinkHolder, public rvx::BufferedWriter {
public:
    explicit BufferedWriter(std::FILE* stream)
        : detail::FileSinkHolder(stream), rvx::BufferedWriter(sink) {}
};

// Writes what out holds and returns status; when standard output could not be written, says
// so on err and returns exitOutput instead.
[[nodiscard]] int finishOutput(BufferedWriter& out, std::FILE* err, int status = exitSuccess);

}  // namespace cli
