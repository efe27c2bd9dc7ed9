// --batch: a list of motors in, a table of their command strings out (rvx/batch_table.h), or a
// platform's file of them (--export).
//
// The list is read twice and never held whole. Standard input, and anything else that cannot
// be read twice (a pipe, a device), is copied to a temporary file during the first reading and
// read again from there.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>

#include "output.h"
#include "rvx/batch_table.h"
#include "rvx/motor_list.h"
#include "rvx/site_export.h"

namespace cli {

// What --batch is asked to do, as the argument parser hands it over: the table's options, and
// where the list is.
struct BatchJob : rvx::BatchOptions {
    std::string path;  // the file as given, bytes unchanged; "-" for standard input
    // --export for a platform: the motors go into its file, sent to the target, in place of
    // the table.
    std::optional<rvx::SiteExportKind> exportKind;
    rvx::SiteTarget target;
};

// The longest line of a motor list, without its line break: far above any motor's line, low
// enough that a file that is no list (a device of endless zeros) is refused at once.
inline constexpr std::size_t maxLineBytes = rvx::maxMotorLineBytes;

// Reads the list, checks every line and, when all are right, writes the table to out.
// Messages go to err, one line each ("FILE:LINE: message"). Returns the exit status:
// exitSuccess written, exitUsage the list could not be read or has bad lines (nothing
// written), exitOutput out could not be written (writing stops at the first failed write).
int runBatch(const BatchJob& job, std::FILE* out, std::FILE* err);

}  // namespace cli
