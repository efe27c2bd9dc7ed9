// --batch: a list of motors in, a table of their command strings out.
//
// The list is read twice and never held whole: the first reading checks every line and learns
// how wide the text format's label column must be, the second writes the table, motor by motor.
// Standard input, and anything else that cannot be read twice (a pipe, a device), is copied to
// a temporary file during the first reading and read again from there.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "output.h"
#include "rvx/frame.h"
#include "rvx/motor_list.h"
#include "rvx/notation.h"
#include "rvx/site_export.h"

namespace cli {

// What --batch is asked to do, as the argument parser hands it over.
struct BatchJob {
    std::string path;  // the file as given, bytes unchanged; "-" for standard input
    rvx::ParameterValues values = rvx::startValues();  // admitted values, one per field
    std::vector<std::size_t> rows;                     // catalogue rows, in order
    Format format = Format::Csv;
    rvx::Notation notation = rvx::Notation::Spaced;
    // --export for a platform: the motors go into its file, sent to the target, in place of
    // the table.
    std::optional<rvx::SiteExportKind> exportKind;
    rvx::SiteTarget target;
};

// The longest line of a motor list, without its line break: far above any motor's line, low
// enough that a file that is no list (a device of endless zeros) is refused at once.
inline constexpr std::size_t maxLineBytes = rvx::maxMotorLineBytes;

// The widest label column of the text format, in characters; a longer label stands as it is
// and pushes only its own rows to the right.
inline constexpr std::size_t maxLabelColumn = 40;

// After this many bad lines the rest of a list is not checked.
inline constexpr std::size_t maxReportedLines = 100;

// Reads the list, checks every line and, when all are right, writes the table to out.
// Messages go to err, one line each. Returns the exit status: exitSuccess written, exitUsage
// the list could not be read or has bad lines (nothing written), exitOutput out could not be
// written (writing stops at the first failed write).
//
// A list has one motor per line, ADDRESS[,single|group[,LABEL]], or after a quoted label also a
// room and a note (ADDRESS,KIND,"LABEL",ROOM,NOTE), as the site window writes it; each part as
// CSV writes it. rvx/motor_list.h reads the lines, for this reader and the site window alike.
// The room and the note are checked and left out of the table.
int runBatch(const BatchJob& job, std::FILE* out, std::FILE* err);

// A row's string in a notation: its frame written so, or the empty text for a row without one.
[[nodiscard]] std::string inNotation(const std::optional<rvx::Frame>& frame,
                                     rvx::Notation notation);

}  // namespace cli
