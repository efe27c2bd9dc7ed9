// The strings of many motors as one table, one row per motor and command: what --batch
// writes of a motor list, and what a window saves of the motors it holds.
//
// A list on a stream is read twice and never held whole: checkList reads every line, says
// what is wrong with each and learns how wide the text format's label column must be; then
// writeTable reads it again and writes the table, motor by motor. Motors held in memory are
// written in one go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rvx/formats.h"
#include "rvx/frame.h"
#include "rvx/motor_list.h"
#include "rvx/notation.h"
#include "rvx/output_sink.h"

namespace rvx {

struct BatchOptions {
    ParameterValues values = startValues();  // admitted values, one per field
    std::vector<std::size_t> rows;           // catalogue rows, in order
    Format format = Format::Csv;
    Notation notation = Notation::Spaced;
};

// Every row of the catalogue, in its order.
[[nodiscard]] std::vector<std::size_t> allCommandRows();

// The widest label column of the text format, in characters; a longer label stands as it is
// and pushes only its own rows to the right.
inline constexpr std::size_t maxLabelColumn = 40;

// After this many bad lines the rest of a list is not checked.
inline constexpr std::size_t maxReportedLines = 100;

// A row's string in a notation: its frame written so, or the empty text for a row without one.
[[nodiscard]] std::string inNotation(const std::optional<Frame>& frame, Notation notation);

// ---- A list on a stream ----

struct ListProblem {
    std::size_t line;     // from 1
    std::string message;  // what is wrong with it, in one line
};

struct ListCheck {
    enum class End : std::uint8_t {
        Whole,            // every line was read
        TooManyProblems,  // more than maxReportedLines bad lines; the rest was not checked
        TooLong,          // the line at stopLine is too long; the rest was not read
        Failed,           // the source could not be read
    };
    End end = End::Whole;
    std::size_t stopLine = 0;
    std::size_t motors = 0;      // the right lines read
    std::size_t labelWidth = 0;  // of the text format's label column
    std::vector<ListProblem> problems;
    std::string notText;  // why the list is no text at all (MotorListReader::notText)

    [[nodiscard]] bool ok() const {
        return end == End::Whole && problems.empty() && notText.empty();
    }
};

// The first reading: every line checked. The room and the note a line may hold after a quoted
// label are checked too, and left out of the table.
[[nodiscard]] ListCheck checkList(ListSource& source, Format format);

enum class TableEnd : std::uint8_t {
    Written,      // every motor's rows are written, or the output failed (out.failed())
    ReadFailed,   // the source could not be read again
    ListChanged,  // the list is not the one checked; the table is cut short
};

// The second reading of a list that checkList found right: the table, motor by motor, until
// the first write that fails. out is not finished.
[[nodiscard]] TableEnd writeTable(ListSource& source, const ListCheck& check,
                                  const BatchOptions& options, BufferedWriter& out);

// ---- Motors in memory ----

// The table of the motors, in their order; out is not finished.
void writeTable(std::span<const Motor> motors, const BatchOptions& options, BufferedWriter& out);

}  // namespace rvx
