#include "rvx/frame_report.h"

#include <vector>

#include "rvx/ascii.h"
#include "rvx/formats.h"
#include "rvx/json_writer.h"

namespace rvx {

namespace {

std::string addressOf(const DecodedFrame& decoded) {
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

std::string countText(std::size_t count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

// The members of the report: notation null for bytes that were read off the bus rather than
// from a text, and time only for those, with what a window marks.
void writeDecodeJson(JsonWriter& json, std::span<const std::uint8_t> bytes,
                     std::optional<Notation> notation, const DecodedFrame& decoded,
                     std::optional<std::string_view> time, const MonitorMarks& marks) {
    json.beginObject();
    json.key("address");
    json.stringOrNull(decoded.address ? std::optional(addressText(*decoded.address))
                                      : std::nullopt);
    json.key("command");
    json.stringOrNull(decoded.command ? std::optional(commandCatalogue[*decoded.command].name)
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
        json.string(checkName(finding.check));
        json.key("message");
        json.string(finding.message);
        json.endObject();
    }
    json.endArray();

    json.key("frame");
    json.string(writeBytes(bytes));
    json.key("kind");
    json.stringOrNull(decoded.kind ? std::optional(kindName(*decoded.kind)) : std::nullopt);
    if (!marks.label.empty()) {
        json.key("label");
        json.string(marks.label);
    }
    json.key("notation");
    json.stringOrNull(notation ? std::optional(notationInfo(*notation).name) : std::nullopt);

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
        json.string(parameterInfo(parameter.field).meaning);
        json.key("value");
        parameter.whole ? json.number(*parameter.whole) : json.null();
        json.key("written");
        json.string(ascii::hexByte(parameter.written));
        json.endObject();
    }
    json.endArray();

    if (marks.sent) {
        json.key("sent");
        json.boolean(true);
    }
    if (time) {
        json.key("time");
        json.string(*time);
    }
    json.key("valid");
    json.boolean(decoded.madeByTool());
    json.endObject();
}

std::string noiseWords(std::size_t bytes) {
    return "noise, " + countText(bytes, "byte", "bytes");
}

// Days since 1970-01-01 as a date of the proleptic Gregorian calendar (H. Hinnant's
// days_from_civil, run backwards).
struct Date {
    std::int64_t year;
    unsigned month;
    unsigned day;
};

Date dateOf(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shifted = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    const unsigned month = shifted < 10 ? shifted + 3 : shifted - 9;
    const std::int64_t year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2);
    return {year, month, day};
}

constexpr std::int64_t msPerDay = 86'400'000;

// The whole part of a division that rounds down, for times before 1970 as well.
std::int64_t floorDivide(std::int64_t value, std::int64_t by) {
    return value / by - (value % by < 0 ? 1 : 0);
}

void appendDigits(std::string& out, std::int64_t value, std::size_t width) {
    std::string digits = std::to_string(value);
    if (digits.size() < width) {
        out.append(width - digits.size(), '0');
    }
    out += digits;
}

}  // namespace

std::string addressInWords(std::optional<AddressKind> kind, const Address& address) {
    const std::string digits = addressText(address);
    if (!kind) {
        return digits + ", single motor or group";
    }
    return std::string(kindInfo(*kind).words) + " " + digits;
}

std::string decodeText(std::span<const std::uint8_t> bytes, Notation notation,
                       const DecodedFrame& decoded) {
    std::string out;
    line(out, "Frame", writeBytes(bytes));
    line(out, "Notation", notationInfo(notation).name);
    line(out, "Command", decoded.command ? commandCatalogue[*decoded.command].name : "unknown");
    line(out, "Address", addressOf(decoded));
    for (const auto& parameter : decoded.parameters) {
        line(out, "Parameter",
             parameter.description + " (byte " + std::to_string(parameter.byte) + ", " +
                 std::string(ascii::hexByte(parameter.written)) + ")");
    }
    for (const auto& note : decoded.notes) {
        line(out, "Note", note);
    }
    for (const auto& finding : decoded.findings) {
        line(out, "Finding", finding.message);
    }
    line(out, "Result",
         decoded.madeByTool()
             ? "valid: a frame that rvx-strings makes from admitted values"
             : "not valid: " + countText(decoded.findings.size(), "finding", "findings") +
                   "; rvx-strings makes no such frame");
    return out;
}

std::string decodeJson(std::span<const std::uint8_t> bytes, Notation notation,
                       const DecodedFrame& decoded) {
    std::string text;
    JsonWriter json(text, JsonWriter::Layout::Indented);
    writeDecodeJson(json, bytes, notation, decoded, std::nullopt, {});
    return text + "\n";
}

std::string verdictOf(const DecodedFrame& decoded) {
    if (decoded.madeByTool()) {
        return "valid";
    }
    std::vector<std::string> findings;
    for (const auto& finding : decoded.findings) {
        findings.push_back(finding.message);
    }
    return "not valid: " + joined(findings, "; ");
}

std::string decodeSummary(std::span<const std::uint8_t> bytes, const DecodedFrame& decoded) {
    std::vector<std::string> parts{writeBytes(bytes)};
    parts.push_back(decoded.command ? std::string(commandCatalogue[*decoded.command].name)
                                    : "unknown command");
    parts.push_back(decoded.address ? addressOf(decoded) : "unknown address");
    for (const auto& parameter : decoded.parameters) {
        parts.push_back(parameter.description);
    }
    parts.push_back(verdictOf(decoded));
    return joined(parts, "  ");
}

MonitorReport reportRun(std::span<const std::uint8_t> bytes, ScannedRun::Kind kind) {
    MonitorReport report;
    report.bytes = writeBytes(bytes);
    if (kind != ScannedRun::Kind::Framed) {
        report.verdict = noiseWords(bytes.size());
        return report;
    }
    report.frame = true;
    report.decoded = decodeFrame(bytes);
    const DecodedFrame& decoded = report.decoded;
    report.command = decoded.command ? commandCatalogue[*decoded.command].name : "unknown command";
    if (decoded.address) {
        report.address = addressText(*decoded.address);
    }
    report.verdict = verdictOf(decoded);
    return report;
}

std::string monitorJsonLine(std::span<const std::uint8_t> bytes, ScannedRun::Kind kind,
                            std::int64_t utcMs, const MonitorMarks& marks) {
    const std::string time = utcTimeText(utcMs);
    std::string text;
    JsonWriter json(text, JsonWriter::Layout::Compact);
    if (kind == ScannedRun::Kind::Framed) {
        writeDecodeJson(json, bytes, std::nullopt, decodeFrame(bytes), time, marks);
        return text;
    }
    json.beginObject();
    json.key("bytes");
    json.string(writeBytes(bytes));
    json.key("noise");
    json.boolean(true);
    json.key("time");
    json.string(time);
    json.endObject();
    return text;
}

std::string monitorTextLine(std::span<const std::uint8_t> bytes, ScannedRun::Kind kind,
                            std::int64_t localMs) {
    const std::string time = clockTimeText(localMs);
    if (kind == ScannedRun::Kind::Framed) {
        return time + "  " + decodeSummary(bytes, decodeFrame(bytes));
    }
    return time + "  " + writeBytes(bytes) + "  " + noiseWords(bytes.size());
}

std::string sentJsonLine(const SentFrame& sent) {
    std::string text;
    JsonWriter json(text, JsonWriter::Layout::Compact);
    json.beginObject();
    json.key("address");
    json.string(addressText(sent.address));
    json.key("command");
    json.string(commandOf(sent.command).name);
    json.key("frame");
    json.string(writeFrame(sent.frame));
    json.key("kind");
    json.string(kindName(sent.kind));
    json.key("result");
    json.string(sent.result);
    json.key("sent");
    json.boolean(sent.sent);
    json.key("target");
    json.string(sent.target);
    json.key("time");
    json.string(utcTimeText(sent.utcMs));
    json.endObject();
    return text;
}

std::string utcTimeText(std::int64_t utcMs) {
    const std::int64_t days = floorDivide(utcMs, msPerDay);
    const std::int64_t inDay = utcMs - days * msPerDay;
    const Date date = dateOf(days);
    std::string out;
    appendDigits(out, date.year, 4);
    out += '-';
    appendDigits(out, date.month, 2);
    out += '-';
    appendDigits(out, date.day, 2);
    out += 'T';
    out += clockTimeText(inDay);
    out += 'Z';
    return out;
}

std::string clockTimeText(std::int64_t localMs) {
    const std::int64_t inDay = localMs - floorDivide(localMs, msPerDay) * msPerDay;
    std::string out;
    appendDigits(out, inDay / 3'600'000, 2);
    out += ':';
    appendDigits(out, inDay / 60'000 % 60, 2);
    out += ':';
    appendDigits(out, inDay / 1000 % 60, 2);
    out += '.';
    appendDigits(out, inDay % 1000, 3);
    return out;
}

}  // namespace rvx
