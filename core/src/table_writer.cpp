#include "rvx/table_writer.h"

#include <algorithm>
#include <utility>

namespace rvx {

TableWriter::TableWriter(std::string& out, Format format, std::vector<std::string_view> columns,
                         std::vector<std::size_t> textWidths)
    : out_(out),
      format_(format),
      columns_(std::move(columns)),
      widths_(std::move(textWidths)),
      json_(out, JsonWriter::Layout::Rows) {
    widths_.resize(columns_.size(), 0);
}

void TableWriter::begin() {
    if (format_ == Format::Csv) {
        for (std::size_t k = 0; k < columns_.size(); ++k) {
            out_ += k > 0 ? "," : "";
            appendCsvField(out_, columns_[k]);
        }
        out_ += '\n';
    } else if (format_ == Format::Json) {
        json_.beginArray();
    }
}

void TableWriter::row(std::initializer_list<std::string_view> values) {
    std::size_t k = 0;
    switch (format_) {
        case Format::Csv:
            for (const std::string_view value : values) {
                out_ += k++ > 0 ? "," : "";
                appendCsvField(out_, value);
            }
            out_ += '\n';
            break;
        case Format::Json:
            json_.beginObject();
            for (const std::string_view value : values) {
                json_.key(columns_[k++]);
                json_.string(value);
            }
            json_.endObject();
            break;
        case Format::Text:
            for (const std::string_view value : values) {
                const bool last = k + 1 == values.size();
                const std::size_t width = widths_[k++];
                if (last) {
                    out_ += value;
                } else if (width > 0) {
                    out_ += value;
                    out_.append(width + 2 - std::min(width, displayWidth(value)), ' ');
                }
            }
            out_ += '\n';
            break;
    }
}

void TableWriter::end() {
    if (format_ == Format::Json) {
        json_.endArray();
        out_ += '\n';
    }
}

}  // namespace rvx
