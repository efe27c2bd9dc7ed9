#include "rvx/json_writer.h"

#include "rvx/json.h"

namespace rvx {

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

}  // namespace rvx
