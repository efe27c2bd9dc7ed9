#include "output.h"

#include <cstdio>

namespace cli {

std::optional<Format> findFormat(std::string_view name) {
    for (const Format format : {Format::Text, Format::Csv, Format::Json}) {
        if (formatName(format) == name) {
            return format;
        }
    }
    return std::nullopt;
}

std::string_view formatName(Format format) {
    switch (format) {
        case Format::Text:
            return "text";
        case Format::Csv:
            return "csv";
        case Format::Json:
            return "json";
    }
    return {};
}

std::string csvField(std::string_view value) {
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(value);
    }
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string jsonString(std::string_view value) {
    std::string out = "\"";
    for (char c : value) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    constexpr std::string_view hex = "0123456789abcdef";
                    out += "\\u00";
                    out += hex[static_cast<unsigned char>(c) >> 4];
                    out += hex[static_cast<unsigned char>(c) & 0x0F];
                } else {
                    out += c;  // UTF-8 passes through unchanged
                }
        }
    }
    out += '"';
    return out;
}

std::size_t displayWidth(std::string_view text) {
    std::size_t width = 0;
    for (char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++width;
        }
    }
    return width;
}

TableWriter::TableWriter(Format format, std::vector<std::string_view> columns,
                         std::vector<std::size_t> textWidths)
    : format_(format), columns_(std::move(columns)), widths_(std::move(textWidths)) {
    widths_.resize(columns_.size(), 0);
}

void TableWriter::begin(std::string& out) const {
    if (format_ == Format::Csv) {
        for (std::size_t k = 0; k < columns_.size(); ++k) {
            out += k > 0 ? "," : "";
            out += csvField(columns_[k]);
        }
        out += '\n';
    } else if (format_ == Format::Json) {
        out += '[';
    }
}

void TableWriter::row(std::string& out, std::initializer_list<std::string_view> values) {
    std::size_t k = 0;
    switch (format_) {
        case Format::Csv:
            for (const std::string_view value : values) {
                out += k++ > 0 ? "," : "";
                out += csvField(value);
            }
            out += '\n';
            break;
        case Format::Json:
            out += firstRow_ ? "\n  {" : ",\n  {";
            for (const std::string_view value : values) {
                out += k > 0 ? ", " : "";
                out += jsonString(columns_[k++]);
                out += ": ";
                out += jsonString(value);
            }
            out += '}';
            break;
        case Format::Text:
            for (const std::string_view value : values) {
                const bool last = k + 1 == values.size();
                const std::size_t width = widths_[k++];
                if (last) {
                    out += value;
                } else if (width > 0) {
                    out += value;
                    out.append(width + 2 - std::min(width, displayWidth(value)), ' ');
                }
            }
            out += '\n';
            break;
    }
    firstRow_ = false;
}

void TableWriter::end(std::string& out) const {
    if (format_ == Format::Json) {
        out += firstRow_ ? "]\n" : "\n]\n";
    }
}

void StandardOutput::writeIfLarge() {
    if (buffer.size() >= 1U << 16) {
        writeBuffer();
    }
}

bool StandardOutput::finish() {
    writeBuffer();
    if (std::fflush(stream_) != 0 || std::ferror(stream_) != 0) {
        failed_ = true;
    }
    return !failed_;
}

void StandardOutput::writeBuffer() {
    if (!buffer.empty() && !failed_ &&
        std::fwrite(buffer.data(), 1, buffer.size(), stream_) != buffer.size()) {
        failed_ = true;
    }
    buffer.clear();
}

}  // namespace cli
