// --batch: a list of motors in, a table of their command strings out.
//
// runBatch is what the command line calls; the rest is its parts, open to tests and benchmarks.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output.h"
#include "rvx/frame.h"
#include "rvx/generator.h"
#include "rvx/memory_fields.h"
#include "rvx/notation.h"

namespace cli {

// What --batch is asked to do, as the argument parser hands it over.
struct BatchJob {
    std::string path;  // the file as given, bytes unchanged; "-" for standard input
    rvx::ParameterValues values = rvx::startValues();  // admitted values, one per field
    std::vector<std::size_t> rows;                     // catalogue rows, in order
    Format format = Format::Csv;
    rvx::Notation notation = rvx::Notation::Spaced;
};

// Reads the list, checks every line and, when all are right, writes the table to out.
// Messages go to err, one line each. Returns the exit status: 0 written, 2 the list could not
// be read or has bad lines (nothing written), 3 out could not be written.
int runBatch(const BatchJob& job, std::FILE* out, std::FILE* err);

struct Motor {
    std::string address;  // as given; the generation upper-cases it
    rvx::AddressKind kind = rvx::AddressKind::Single;
    std::string label;
};

struct MotorList {
    std::vector<Motor> motors;
    std::vector<std::string> errors;  // "SOURCE:LINE: message", in the order of the lines
};

// Reads a motor list: one motor per line, ADDRESS[,single|group[,LABEL]], blanks around each
// part ignored, kind single when left out or empty, the label the rest of the line (commas
// included), or a quoted CSV field as a spreadsheet writes it ("Hall, ""east"""). Blank lines and
// lines whose first character other than a blank is "#" are skipped; a UTF-8 byte order mark and
// carriage returns before line breaks are ignored. Every line is checked, the address by the
// generation itself.
[[nodiscard]] MotorList readMotorList(std::string_view content, const std::string& sourceName);

// The whole content of a file, or of standard input for "-"; false and a reason on failure.
[[nodiscard]] bool readSource(const std::string& path, std::string& content, std::string& error);

// One row per motor and command (label, kind, address, command, string), each motor's strings
// made by the generation from the parameter fields given. rows index commandCatalogue.
void writeBatch(const std::vector<Motor>& motors, const rvx::MemoryFields& parameters,
                const std::vector<std::size_t>& rows, Format format, rvx::Notation notation,
                StandardOutput& out);

// A row's string in a notation: its frame written so, or the empty text for a row without one.
[[nodiscard]] std::string inNotation(const std::optional<rvx::Frame>& frame,
                                     rvx::Notation notation);

}  // namespace cli
