#include "output.h"

namespace cli {

std::optional<Format> findFormat(std::string_view name) {
    if (name == "text") {
        return Format::Text;
    }
    if (name == "csv") {
        return Format::Csv;
    }
    if (name == "json") {
        return Format::Json;
    }
    return std::nullopt;
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

std::string writeCsv(const std::vector<Record>& records,
                     const std::vector<std::string_view>& columns) {
    std::string out;
    for (std::size_t k = 0; k < columns.size(); ++k) {
        out += (k > 0 ? "," : "");
        out += columns[k];
    }
    out += '\n';
    for (const Record& record : records) {
        for (std::size_t k = 0; k < record.fields.size(); ++k) {
            out += (k > 0 ? "," : "");
            out += csvField(record.fields[k].second);
        }
        out += '\n';
    }
    return out;
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

std::string writeJson(const std::vector<Record>& records) {
    std::string out = "[";
    for (std::size_t r = 0; r < records.size(); ++r) {
        out += r > 0 ? ",\n  {" : "\n  {";
        const auto& fields = records[r].fields;
        for (std::size_t k = 0; k < fields.size(); ++k) {
            out += k > 0 ? ", " : "";
            out += jsonString(fields[k].first);
            out += ": ";
            out += jsonString(fields[k].second);
        }
        out += "}";
    }
    out += records.empty() ? "]\n" : "\n]\n";
    return out;
}

}  // namespace cli
