#include "rvx/formats.h"

#include <algorithm>

namespace rvx {

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

static_assert(formatNames.size() == static_cast<std::size_t>(Format::Json) + 1);

std::optional<Format> findFormat(std::string_view name) {
    const auto* found = std::find(formatNames.begin(), formatNames.end(), name);
    if (found == formatNames.end()) {
        return std::nullopt;
    }
    return static_cast<Format>(found - formatNames.begin());
}

std::string_view formatName(Format format) {
    return formatNames[static_cast<std::size_t>(format)];
}

std::size_t appendCsvField(std::string& out, std::string_view value) {
    if (std::none_of(value.begin(), value.end(),
                     [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; })) {
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
    const auto first =
        std::find_if(value.begin(), value.end(), [](char c) { return c != '\t' && c != '\r'; });
    if (first == value.end() ||
        (*first != '=' && *first != '+' && *first != '-' && *first != '@')) {
        appendCsvField(out, value);
        return;
    }
    std::string neutral = "'";
    neutral += value;
    appendCsvField(out, neutral);
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

}  // namespace rvx
