#include "decode_report.h"

#include <optional>
#include <string_view>
#include <vector>

#include "output.h"
#include "rvx/ascii.h"
#include "rvx/catalogue.h"

namespace cli {

namespace {

std::string addressText(const rvx::DecodedFrame& decoded) {
    return decoded.address ? addressInWords(decoded.kind, *decoded.address) : "unknown";
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

std::string addressInWords(std::optional<rvx::AddressKind> kind, const rvx::Address& address) {
    const std::string digits = rvx::addressText(address);
    if (!kind) {
        return digits + ", single motor or group";
    }
    return (*kind == rvx::AddressKind::Group ? "group " : "single motor ") + digits;
}

std::string decodeText(std::span<const std::uint8_t> bytes, rvx::Notation notation,
                       const rvx::DecodedFrame& decoded) {
    std::string out;
    line(out, "Frame", rvx::writeBytes(bytes));
    line(out, "Notation", rvx::notationInfo(notation).name);
    line(out, "Command",
         decoded.command ? rvx::commandCatalogue[*decoded.command].name : "unknown");
    line(out, "Address", addressText(decoded));
    for (const auto& parameter : decoded.parameters) {
        line(out, "Parameter",
             parameter.description + " (byte " + std::to_string(parameter.byte) + ", " +
                 std::string(rvx::ascii::hexByte(parameter.written)) + ")");
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
void writeDecodeJson(JsonWriter& json, std::span<const std::uint8_t> bytes,
                     std::optional<rvx::Notation> notation, const rvx::DecodedFrame& decoded,
                     std::optional<std::string_view> time) {
    json.beginObject();
    json.key("address");
    json.stringOrNull(decoded.address ? std::optional(rvx::addressText(*decoded.address))
                                      : std::nullopt);
    json.key("command");
    json.stringOrNull(decoded.command ? std::optional(rvx::commandCatalogue[*decoded.command].name)
                                      : std::nullopt);

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
    json.stringOrNull(notation ? std::optional(rvx::notationInfo(*notation).name) : std::nullopt);

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
        json.string(rvx::ascii::hexByte(parameter.written));
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

}  // namespace

std::string decodeJson(std::span<const std::uint8_t> bytes, rvx::Notation notation,
                       const rvx::DecodedFrame& decoded) {
    std::string text;
    JsonWriter json(text, JsonWriter::Layout::Indented);
    writeDecodeJson(json, bytes, notation, decoded, std::nullopt);
    return text + "\n";
}

std::string decodeJsonLine(std::span<const std::uint8_t> bytes, const rvx::DecodedFrame& decoded,
                           std::string_view time) {
    std::string text;
    JsonWriter json(text, JsonWriter::Layout::Compact);
    writeDecodeJson(json, bytes, std::nullopt, decoded, time);
    return text;
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
