#include "decode_report.h"

#include <optional>
#include <string_view>
#include <vector>

#include "output.h"
#include "rvx/catalogue.h"

namespace cli {

namespace {

// JSON laid out one member or element a line, indented by four blanks a level, or compact on one
// line; keys in alphabetical order as the report has always been written. Strings go through
// jsonString, the one writer of JSON strings that the tables use as well.
class JsonLayout {
public:
    explicit JsonLayout(bool compact = false) : compact_(compact) {}

    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }
    void key(std::string_view name) {
        next();
        text_ += cli::jsonString(name);
        text_ += compact_ ? ":" : ": ";
        afterKey_ = true;
    }
    void string(std::string_view value) {
        next();
        text_ += cli::jsonString(value);
    }
    void number(long long value) {
        next();
        text_ += std::to_string(value);
    }
    void boolean(bool value) {
        next();
        text_ += value ? "true" : "false";
    }
    void null() {
        next();
        text_ += "null";
    }
    [[nodiscard]] const std::string& text() const { return text_; }

private:
    // Before a member or an element: the comma after the one before and the line's indent.
    // A value after its key follows on the key's line.
    void next() {
        if (afterKey_) {
            afterKey_ = false;
            return;
        }
        if (!filled_.empty()) {
            if (compact_) {
                text_ += filled_.back() ? "," : "";
            } else {
                text_ += filled_.back() ? ",\n" : "\n";
                text_.append(4 * filled_.size(), ' ');
            }
            filled_.back() = true;
        }
    }
    void open(char bracket) {
        next();
        text_ += bracket;
        filled_.push_back(false);
    }
    void close(char bracket) {
        filled_.pop_back();
        if (!compact_) {
            text_ += '\n';
            text_.append(4 * filled_.size(), ' ');
        }
        text_ += bracket;
    }

    bool compact_;
    std::string text_;
    std::vector<bool> filled_;  // per open level: whether it holds anything yet
    bool afterKey_ = false;
};

std::string_view notationName(rvx::Notation notation) {
    for (const auto& info : rvx::notationCatalogue) {
        if (info.notation == notation) {
            return info.name;
        }
    }
    return {};
}

std::string hexByte(std::uint8_t byte) {
    return rvx::writeBytes(std::span(&byte, 1));
}

std::string addressText(const rvx::DecodedFrame& decoded) {
    if (!decoded.address) {
        return "unknown";
    }
    const std::string digits = rvx::addressText(*decoded.address);
    if (!decoded.kind) {
        return digits + ", single motor or group";
    }
    return (*decoded.kind == rvx::AddressKind::Group ? "group " : "single motor ") + digits;
}

void line(std::string& out, std::string_view name, std::string_view value) {
    std::string label(name);
    label += ':';
    label.resize(12, ' ');
    out += label;
    out += value;
    out += '\n';
}

std::string countText(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " finding" : " findings");
}

}  // namespace

std::string decodedAddress(const rvx::DecodedFrame& decoded) {
    return addressText(decoded);
}

std::string decodeText(std::span<const std::uint8_t> bytes, rvx::Notation notation,
                       const rvx::DecodedFrame& decoded) {
    std::string out;
    line(out, "Frame", rvx::writeBytes(bytes));
    line(out, "Notation", notationName(notation));
    line(out, "Command",
         decoded.command ? rvx::commandCatalogue[*decoded.command].name : "unknown");
    line(out, "Address", addressText(decoded));
    for (const auto& parameter : decoded.parameters) {
        line(out, "Parameter",
             parameter.description + " (byte " + std::to_string(parameter.byte) + ", " +
                 hexByte(parameter.written) + ")");
    }
    for (const auto& note : decoded.notes) {
        line(out, "Note", note);
    }
    for (const auto& finding : decoded.findings) {
        line(out, "Finding", finding.message);
    }
    line(out, "Result",
         decoded.madeByTool() ? "valid: a frame that rvx-strings makes from admitted values"
                              : "not valid: " + countText(decoded.findings.size()) +
                                    "; rvx-strings makes no such frame");
    return out;
}

namespace {

// The members of the report: notation null for bytes that were read off the bus rather than
// from a text, and time only for those.
void writeDecodeJson(JsonLayout& json, std::span<const std::uint8_t> bytes,
                     std::optional<rvx::Notation> notation, const rvx::DecodedFrame& decoded,
                     std::optional<std::string_view> time) {
    json.beginObject();
    json.key("address");
    decoded.address ? json.string(rvx::addressText(*decoded.address)) : json.null();
    json.key("command");
    decoded.command ? json.string(rvx::commandCatalogue[*decoded.command].name) : json.null();

    json.key("findings");
    json.beginArray();
    for (const auto& finding : decoded.findings) {
        json.beginObject();
        json.key("bytes");
        json.beginArray();
        if (finding.firstByte > 0) {
            json.number(static_cast<long long>(finding.firstByte));
            json.number(static_cast<long long>(finding.lastByte));
        }
        json.endArray();
        json.key("check");
        json.string(rvx::checkName(finding.check));
        json.key("message");
        json.string(finding.message);
        json.endObject();
    }
    json.endArray();

    json.key("frame");
    json.string(rvx::writeBytes(bytes));
    json.key("kind");
    if (decoded.kind) {
        json.string(*decoded.kind == rvx::AddressKind::Group ? "group" : "single");
    } else {
        json.null();
    }
    json.key("notation");
    notation ? json.string(notationName(*notation)) : json.null();

    json.key("notes");
    json.beginArray();
    for (const auto& note : decoded.notes) {
        json.string(note);
    }
    json.endArray();

    json.key("parameters");
    json.beginArray();
    for (const auto& parameter : decoded.parameters) {
        json.beginObject();
        json.key("admitted");
        json.boolean(parameter.admitted);
        json.key("byte");
        json.number(static_cast<long long>(parameter.byte));
        json.key("description");
        json.string(parameter.description);
        json.key("parameter");
        json.string(rvx::parameterInfo(parameter.field).meaning);
        json.key("value");
        parameter.whole ? json.number(*parameter.whole) : json.null();
        json.key("written");
        json.string(hexByte(parameter.written));
        json.endObject();
    }
    json.endArray();

    if (time) {
        json.key("time");
        json.string(*time);
    }
    json.key("valid");
    json.boolean(decoded.madeByTool());
    json.endObject();
}

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
    std::string text;
    for (const auto& part : parts) {
        text += text.empty() ? "" : separator;
        text += part;
    }
    return text;
}

}  // namespace

std::string decodeJson(std::span<const std::uint8_t> bytes, rvx::Notation notation,
                       const rvx::DecodedFrame& decoded) {
    JsonLayout json;
    writeDecodeJson(json, bytes, notation, decoded, std::nullopt);
    return json.text() + "\n";
}

std::string decodeJsonLine(std::span<const std::uint8_t> bytes, const rvx::DecodedFrame& decoded,
                           std::string_view time) {
    JsonLayout json(true);
    writeDecodeJson(json, bytes, std::nullopt, decoded, time);
    return json.text();
}

std::string decodeSummary(std::span<const std::uint8_t> bytes, const rvx::DecodedFrame& decoded) {
    std::vector<std::string> parts{rvx::writeBytes(bytes)};
    parts.push_back(decoded.command ? std::string(rvx::commandCatalogue[*decoded.command].name)
                                    : "unknown command");
    parts.push_back(decoded.address ? addressText(decoded) : "unknown address");
    for (const auto& parameter : decoded.parameters) {
        parts.push_back(parameter.description);
    }
    if (decoded.madeByTool()) {
        parts.emplace_back("valid");
    } else {
        std::vector<std::string> findings;
        for (const auto& finding : decoded.findings) {
            findings.push_back(finding.message);
        }
        parts.push_back("not valid: " + joined(findings, "; "));
    }
    return joined(parts, "  ");
}

}  // namespace cli
