#include "output.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace cli {

std::string messageLine(std::string_view message) {
    std::string line(programName);
    line += ": ";
    line += message;
    return line;
}

bool writeLine(std::FILE* stream, std::string_view line) {
    std::string text(line);
    text += '\n';
    return std::fwrite(text.data(), 1, text.size(), stream) == text.size() &&
           std::fflush(stream) == 0;
}

void tell(std::FILE* err, std::string_view message) {
    (void)writeLine(err, messageLine(message));
}

int finishOutput(BufferedWriter& out, std::FILE* err, int status) {
    if (!out.finish()) {
        tell(err, "cannot write standard output");
        return exitOutput;
    }
    return status;
}

std::string joined(std::span<const std::string> parts, std::string_view separator) {
    std::string text;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        text += k == 0 ? "" : separator;
        text += parts[k];
    }
    return text;
}

std::string alternatives(std::span<const std::string> names) {
    std::string list;
    for (std::size_t k = 0; k < names.size(); ++k) {
        list += k == 0 ? "" : (k + 1 == names.size() ? " or " : ", ");
        list += names[k];
    }
    return list;
}

namespace {

// The formats by name, in the order of Format.
constexpr std::array<std::string_view, 3> formatNames{"text", "csv", "json"};
static_assert(formatNames.size() == static_cast<std::size_t>(Format::Json) + 1);

}  // namespace

std::optional<Format> findFormat(std::string_view name) {
    const auto* found = std::ranges::find(formatNames, name);
    if (found == formatNames.end()) {
        return std::nullopt;
    }
    return static_cast<Format>(found - formatNames.begin());
}

std::string_view formatName(Format format) {
    return formatNames[static_cast<std::size_t>(format)];
}

std::size_t appendCsvField(std::string& out, std::string_view value) {
    if (std::ranges::none_of(
            value, [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; })) {
        out += value;
        return out.size() - value.size();
    }
    out += '"';
    const std::size_t at = out.size();
    for (char c : value) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    out += '"';
    return at;
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

void JsonWriter::key(std::string_view name) {
    next();
    appendJsonString(out_, name);
    out_ += layout_ == Layout::Compact ? ":" : ": ";
    afterKey_ = true;
}

std::size_t JsonWriter::string(std::string_view value) {
    next();
    const std::size_t at = out_.size() + 1;
    appendJsonString(out_, value);
    return at;
}

void JsonWriter::number(long long value) {
    next();
    out_ += std::to_string(value);
}

void JsonWriter::boolean(bool value) {
    next();
    out_ += value ? "true" : "false";
}

void JsonWriter::null() {
    next();
    out_ += "null";
}

void JsonWriter::next() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (levels_.empty()) {
        return;
    }
    Level& level = levels_.back();
    // The separators as views, so that appending one is a copy of known length.
    std::string_view before;
    switch (layout_) {
        case Layout::Indented:
            before = level.filled ? std::string_view(",\n") : std::string_view("\n");
            break;
        case Layout::Compact:
            before = level.filled ? std::string_view(",") : std::string_view();
            break;
        case Layout::Rows:
            if (levels_.size() == 1 && level.array) {
                before = level.filled ? std::string_view(",\n  ") : std::string_view("\n  ");
            } else {
                before = level.filled ? std::string_view(", ") : std::string_view();
            }
            break;
    }
    out_ += before;
    if (layout_ == Layout::Indented) {
        out_.append(4 * levels_.size(), ' ');
    }
    level.filled = true;
}

void JsonWriter::open(char bracket) {
    next();
    out_ += bracket;
    levels_.push_back({bracket == '[', false});
}

void JsonWriter::close(char bracket) {
    const Level level = levels_.back();
    levels_.pop_back();
    if (layout_ == Layout::Indented) {
        out_ += '\n';
        out_.append(4 * levels_.size(), ' ');
    } else if (layout_ == Layout::Rows && levels_.empty() && level.array && level.filled) {
        out_ += '\n';  // an outer array of rows ends on a line of its own
    }
    out_ += bracket;
}

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
