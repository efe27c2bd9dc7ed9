#include "output.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

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

void appendCsvField(std::string& out, std::string_view value) {
    if (std::ranges::none_of(
            value, [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; })) {
        out += value;
        return;
    }
    out += '"';
    for (char c : value) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    out += '"';
}

std::string csvField(std::string_view value) {
    std::string field;
    appendCsvField(field, value);
    return field;
}

void appendCsvTextField(std::string& out, std::string_view value) {
    const auto first = std::ranges::find_if(value, [](char c) { return c != '\t' && c != '\r'; });
    if (first == value.end() ||
        (*first != '=' && *first != '+' && *first != '-' && *first != '@')) {
        appendCsvField(out, value);
        return;
    }
    std::string neutral = "'";
    neutral += value;
    appendCsvField(out, neutral);
}

void appendJsonString(std::string& out, std::string_view value) {
    out += '"';
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
}

std::string jsonString(std::string_view value) {
    std::string literal;
    appendJsonString(literal, value);
    return literal;
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

BufferedWriter::BufferedWriter(std::FILE* stream, std::size_t capacity)
    : stream_(stream), buffer_(capacity) {}

char* BufferedWriter::room(std::size_t size) {
    if (buffer_.size() - used_ < size) {
        writeOut();
    }
    return buffer_.data() + used_;
}

void BufferedWriter::append(std::string_view text) {
    while (!text.empty()) {
        const std::size_t part = std::min(text.size(), buffer_.size());
        char* at = room(part);
        std::memcpy(at, text.data(), part);
        commit(at + part);
        text.remove_prefix(part);
    }
}

bool BufferedWriter::finish() {
    writeOut();
    if (!failed_ && (std::fflush(stream_) != 0 || std::ferror(stream_) != 0)) {
        failed_ = true;
    }
    return !failed_;
}

void BufferedWriter::writeOut() {
    if (used_ > 0 && !failed_ && std::fwrite(buffer_.data(), 1, used_, stream_) != used_) {
        failed_ = true;
    }
    used_ = 0;
}

}  // namespace cli
