// Rows of text values under fixed column names, in any of the formats.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "rvx/formats.h"
#include "rvx/json_writer.h"

namespace rvx {

// Appended to a string one at a time, so that any number of rows can be written as they come:
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

}  // namespace rvx
