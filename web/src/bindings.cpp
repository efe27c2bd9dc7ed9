// The engine and the core as the page calls them. Every answer is one JSON document, written
// by the core's JSON string writer, so that the page reads what the engine decided (a frame, a
// message, a verdict) and never works one out itself. Texts come in as UTF-8; bytes as arrays
// of numbers 0 to 255.
#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rvx/address.h"
#include "rvx/ascii.h"
#include "rvx/batch_table.h"
#include "rvx/catalogue.h"
#include "rvx/decode.h"
#include "rvx/formats.h"
#include "rvx/frame.h"
#include "rvx/frame_report.h"
#include "rvx/json.h"
#include "rvx/line.h"
#include "rvx/made_frame.h"
#include "rvx/motor_list.h"
#include "rvx/notation.h"
#include "rvx/output_sink.h"
#include "rvx/scanner.h"
#include "rvx/send_steps.h"
#include "rvx/site_export.h"
#include "rvx/table_writer.h"
#include "rvx/value_rules.h"

namespace {

using emscripten::val;

// ---- Writing JSON ----

// An object or array written member by member; the caller puts the commas with next().
class Json {
public:
    Json& raw(std::string_view text) {
        out_ += text;
        return *this;
    }
    Json& key(std::string_view name) {
        comma();
        rvx::appendJsonString(out_, name);
        out_ += ':';
        fresh_ = true;
        return *this;
    }
    Json& str(std::string_view value) {
        comma();
        rvx::appendJsonString(out_, rvx::ascii::validUtf8(value));
        return *this;
    }
    Json& integer(long long value) {
        comma();
        out_ += std::to_string(value);
        return *this;
    }
    Json& boolean(bool value) {
        comma();
        out_ += value ? "true" : "false";
        return *this;
    }
    Json& null() {
        comma();
        out_ += "null";
        return *this;
    }
    Json& open(char bracket) {
        comma();
        out_ += bracket;
        fresh_ = true;
        return *this;
    }
    Json& close(char bracket) {
        out_ += bracket;
        fresh_ = false;
        return *this;
    }
    Json& bytes(std::span<const std::uint8_t> values) {
        open('[');
        for (const std::uint8_t b : values) {
            integer(b);
        }
        return close(']');
    }
    [[nodiscard]] std::string take() { return std::move(out_); }

private:
    void comma() {
        if (!fresh_) {
            out_ += ',';
        }
        fresh_ = false;
    }
    std::string out_;
    bool fresh_ = true;
};

std::vector<std::uint8_t> bytesOf(const val& array) {
    return emscripten::vecFromJSArray<std::uint8_t>(array);
}

std::vector<std::string> textsOf(const val& array) {
    return emscripten::vecFromJSArray<std::string>(array);
}

rvx::Notation notationOf(const std::string& name) {
    return rvx::findNotation(name).value_or(rvx::Notation::Spaced);
}

rvx::AddressKind kindOf(const std::string& name) {
    return rvx::findKind(name).value_or(rvx::AddressKind::Single);
}

rvx::Format formatOf(const std::string& name) {
    return rvx::findFormat(name).value_or(rvx::Format::Text);
}

// ---- What the page lists: the catalogues and the line ----

std::string catalogue() {
    Json j;
    j.open('{');
    j.key("commands").open('[');
    for (const rvx::Command& command : rvx::commandCatalogue) {
        j.open('{').key("name").str(command.name).key("plainName").str(command.plainName);
        j.key("fields").open('[');
        for (const rvx::ParameterByte& p : command.parameterBytes()) {
            j.integer(static_cast<int>(p.field));
        }
        j.close(']').close('}');
    }
    j.close(']');
    j.key("parameters").open('[');
    for (const rvx::ParameterInfo& p : rvx::parameterCatalogue) {
        j.open('{').key("fieldName").str(p.fieldName).key("startText").str(p.startText);
        j.key("meaning").str(p.meaning).key("admittedText").str(p.admittedText).close('}');
    }
    j.close(']');
    j.key("notations").open('[');
    for (const rvx::NotationInfo& n : rvx::notationCatalogue) {
        j.open('{').key("name").str(n.name).key("platform").str(n.platform);
        j.key("rawBytes").str(n.rawBytes).close('}');
    }
    j.close(']');
    j.key("kinds").open('[');
    for (const rvx::KindInfo& k : rvx::kindCatalogue) {
        j.open('{').key("name").str(k.name).key("words").str(k.words).close('}');
    }
    j.close(']');
    j.key("formats").open('[');
    for (const std::string_view name : rvx::formatNames) {
        j.str(name);
    }
    j.close(']');
    j.key("exports").open('[');
    for (const rvx::SiteExportInfo& e : rvx::siteExportCatalogue) {
        j.open('{').key("name").str(e.name).key("title").str(e.title).key("suffix").str(e.suffix);
        j.key("serialOnly").str(e.serialOnly).close('}');
    }
    j.close(']');
    j.key("parities").open('[');
    for (const rvx::Parity parity : rvx::parities) {
        j.str(rvx::parityKeyword(parity));
    }
    j.close(']');
    j.key("line").open('{');
    j.key("baudRate").integer(rvx::busBaud).key("parity").str(rvx::parityKeyword(rvx::busParity));
    j.key("dataBits").integer(rvx::busDataBits).key("stopBits").integer(rvx::busStopBits);
    j.key("gapMs").integer(rvx::busGap.count());
    j.key("silenceMs").integer(rvx::watchSilence.count());
    j.key("frameMs").integer(rvx::lineTime(rvx::frameLength, rvx::busBaud, rvx::busParity).count());
    j.close('}');
    j.key("identify").open('[');
    for (const rvx::SendStep& step : rvx::identifySteps) {
        j.open('{').key("command").integer(static_cast<int>(rvx::rowOf(step.command)));
        j.key("pauseMs").integer(step.pauseBefore.count()).close('}');
    }
    j.close(']');
    return j.close('}').take();
}

// ---- The strings of one address ----

// The values of the seven fields as typed, judged; admitted ones in values.
struct ReadValues {
    rvx::ParameterValues values = rvx::startValues();
    std::array<std::string, rvx::parameterFieldCount> messages;  // empty where admitted
};

ReadValues readValues(const std::vector<std::string>& texts) {
    ReadValues read;
    for (std::size_t f = 0; f < rvx::parameterFieldCount && f < texts.size(); ++f) {
        const auto field = static_cast<rvx::ParameterField>(f);
        const rvx::ValueReading reading = rvx::readValue(field, texts[f]);
        if (reading.verdict == rvx::ValueVerdict::Admitted) {
            read.values[f] = reading.value;
        } else {
            read.messages[f] = rvx::valueMessage(field, texts[f], reading.verdict);
        }
    }
    return read;
}

// The first field of the command whose value is refused, or none.
std::optional<std::size_t> refusedField(const rvx::Command& command, const ReadValues& read) {
    for (const rvx::ParameterByte& p : command.parameterBytes()) {
        const auto f = static_cast<std::size_t>(p.field);
        if (!read.messages[f].empty()) {
            return f;
        }
    }
    return std::nullopt;
}

// The strings of every command: each row's string, or the message of the value that keeps it
// from being made; and, when the address and every value are right, the table of them as
// rvx-strings writes it.
std::string strings(const std::string& kindName, const std::string& addressText, const val& texts,
                    const std::string& notationName, const std::string& formatName) {
    const rvx::AddressKind kind = kindOf(kindName);
    const rvx::Notation notation = notationOf(notationName);
    const rvx::Format format = formatOf(formatName);
    const rvx::AddressReading address = rvx::readAddress(addressText);
    const ReadValues read = readValues(textsOf(texts));

    Json j;
    j.open('{');
    j.key("address").open('{').key("ok").boolean(address.ok());
    j.key("message").str(rvx::addressMessage(addressText, address)).close('}');
    j.key("values").open('[');
    bool allAdmitted = true;
    for (const std::string& message : read.messages) {
        j.open('{').key("ok").boolean(message.empty()).key("message").str(message).close('}');
        allAdmitted = allAdmitted && message.empty();
    }
    j.close(']');
    j.key("rows").open('[');
    std::size_t width = 0;
    for (const rvx::Command& command : rvx::commandCatalogue) {
        width = std::max(width, command.name.size());
    }
    std::string table;
    rvx::TableWriter writer(table, format, {"command", "string"}, {width});
    writer.begin();
    for (const rvx::Command& command : rvx::commandCatalogue) {
        j.open('{').key("name").str(command.name);
        const auto refused = refusedField(command, read);
        std::optional<rvx::Frame> frame;
        if (address.ok() && !refused) {
            frame = rvx::frameFor(command, kind, address.bytes, read.values);
        }
        const std::string text = rvx::inNotation(frame, notation);
        writer.row({command.name, text});
        j.key("text").str(text);
        j.key("frame");
        if (frame) {
            j.bytes(*frame);
        } else {
            j.null();
        }
        // Whether the frame may go to a motor: made, and by the rule that judges every send.
        const auto id = static_cast<rvx::CommandId>(&command - rvx::commandCatalogue.data());
        const auto refusal = rvx::refusedValue(id, read.values);
        j.key("sendable").boolean(frame.has_value() && !refusal);
        j.key("message").str(refused ? read.messages[*refused]
                                     : (refusal ? refusal->sentence : std::string()));
        j.close('}');
    }
    writer.end();
    j.close(']');
    j.key("table").str(address.ok() && allAdmitted ? table : std::string());
    return j.close('}').take();
}

// One command's string alone, as `rvx-strings --command NAME` prints it in text.
std::string oneString(const std::string& kindName, const std::string& addressText, int row,
                      const val& texts, const std::string& notationName) {
    Json j;
    j.open('{');
    const rvx::AddressReading address = rvx::readAddress(addressText);
    const ReadValues read = readValues(textsOf(texts));
    if (row < 0 || static_cast<std::size_t>(row) >= rvx::commandCount) {
        return j.key("text").str("").key("message").str("").close('}').take();
    }
    const rvx::Command& command = rvx::commandCatalogue[static_cast<std::size_t>(row)];
    const auto refused = refusedField(command, read);
    std::optional<rvx::Frame> frame;
    if (address.ok() && !refused) {
        frame = rvx::frameFor(command, kindOf(kindName), address.bytes, read.values);
    }
    j.key("text").str(rvx::inNotation(frame, notationOf(notationName)));
    j.key("message").str(!address.ok() ? rvx::addressMessage(addressText, address)
                                       : (refused ? read.messages[*refused] : std::string()));
    return j.close('}').take();
}

// ---- Decoding a frame given as text ----

// What `rvx-strings --decode` says of a text: the report in text and JSON, or why the text is
// no frame.
std::string decode(const std::string& text, const std::string& notationName) {
    std::optional<rvx::Notation> notation;
    if (!notationName.empty()) {
        notation = rvx::findNotation(notationName);
    }
    Json j;
    j.open('{');
    const rvx::FrameText read = rvx::readFrameText(text, notation);
    if (!read.read()) {
        return j.key("error").str(read.error).close('}').take();
    }
    const rvx::DecodedFrame decoded = rvx::decodeFrame(read.bytes);
    if (read.bytes.size() != rvx::frameLength) {
        return j.key("error")
            .str(decoded.findings.empty() ? std::string("no frame")
                                          : decoded.findings.front().message)
            .close('}')
            .take();
    }
    j.key("error").str("");
    j.key("valid").boolean(decoded.madeByTool());
    j.key("notation").str(rvx::notationInfo(read.notation).name);
    j.key("text").str(rvx::decodeText(read.bytes, read.notation, decoded));
    j.key("json").str(rvx::decodeJson(read.bytes, read.notation, decoded));
    j.key("verdict").str(rvx::verdictOf(decoded));
    j.key("findings").open('[');
    for (const rvx::Finding& finding : decoded.findings) {
        j.str(finding.message);
    }
    j.close(']');
    j.key("bytes").bytes(read.bytes);
    return j.close('}').take();
}

// ---- A site ----

std::vector<rvx::Motor>& site() {
    static std::vector<rvx::Motor> motors;
    return motors;
}

void motorJson(Json& j, std::size_t index, const rvx::Motor& motor) {
    j.open('{').key("index").integer(static_cast<long long>(index));
    j.key("address").str(motor.addressText).key("kind").str(rvx::kindName(motor.kind));
    j.key("label").str(motor.label).key("room").str(motor.room).key("note").str(motor.note);
    j.key("name").str(rvx::siteMotorName(motor));
    j.close('}');
}

// Reads a site file from its bytes (a Uint8Array), as rvx-strings --batch reads the file: not
// decoded first, so that a list that is not UTF-8 gets the engine's answer rather than
// replacement characters, and copied into the engine's memory in one piece. A list with bad
// lines replaces nothing: its problems are returned and the site stays as it was.
std::string openSite(const val& bytes) {
    std::string text(bytes["length"].as<std::size_t>(), '\0');
    val(emscripten::typed_memory_view(text.size(), reinterpret_cast<unsigned char*>(text.data())))
        .call<void>("set", bytes);
    rvx::MotorListReading reading = rvx::readMotorList(text);
    Json j;
    j.open('{').key("ok").boolean(reading.ok());
    j.key("problems").open('[');
    for (const std::string& problem : reading.problems) {
        j.str(problem);
    }
    j.close(']');
    if (reading.ok()) {
        site() = std::move(reading.motors);
    }
    j.key("motors").integer(static_cast<long long>(site().size()));
    return j.close('}').take();
}

bool containsFolded(std::string_view text, std::string_view part) {
    if (part.empty()) {
        return true;
    }
    if (part.size() > text.size()) {
        return false;
    }
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
        std::size_t k = 0;
        while (k < part.size() && lower(text[at + k]) == lower(part[k])) {
            ++k;
        }
        if (k == part.size()) {
            return true;
        }
    }
    return false;
}

// The motors whose address, kind, label, room or note holds the filter (ASCII case ignored),
// in list order: how many there are, and the first `limit` of them.
std::string siteRows(const std::string& filter, int limit) {
    Json j;
    j.open('{').key("total").integer(static_cast<long long>(site().size()));
    j.key("rows").open('[');
    std::size_t matching = 0;
    for (std::size_t i = 0; i < site().size(); ++i) {
        const rvx::Motor& m = site()[i];
        if (containsFolded(m.addressText, filter) ||
            containsFolded(rvx::kindName(m.kind), filter) || containsFolded(m.label, filter) ||
            containsFolded(m.room, filter) || containsFolded(m.note, filter)) {
            if (limit < 0 || matching < static_cast<std::size_t>(limit)) {
                motorJson(j, i, m);
            }
            ++matching;
        }
    }
    j.close(']').key("matching").integer(static_cast<long long>(matching));
    return j.close('}').take();
}

std::vector<rvx::Motor> chosenMotors(const val& indexes) {
    std::vector<rvx::Motor> motors;
    for (const int i : emscripten::vecFromJSArray<int>(indexes)) {
        if (i >= 0 && static_cast<std::size_t>(i) < site().size()) {
            motors.push_back(site()[static_cast<std::size_t>(i)]);
        }
    }
    return motors;
}

// The site as its file holds it: a motor a line, label quoted, room and note kept.
std::string siteText() {
    std::string text;
    for (const rvx::Motor& motor : site()) {
        text += rvx::writeMotorLine(motor);
        text += '\n';
    }
    return text;
}

// The table of the chosen motors' strings, as --batch writes it of a list of them.
std::string siteTable(const val& indexes, const val& texts, const std::string& notationName,
                      const std::string& formatName) {
    const ReadValues read = readValues(textsOf(texts));
    Json j;
    j.open('{');
    for (const std::string& message : read.messages) {
        if (!message.empty()) {
            return j.key("error").str(message).key("text").str("").close('}').take();
        }
    }
    rvx::BatchOptions options;
    options.values = read.values;
    options.rows = rvx::allCommandRows();
    options.format = formatOf(formatName);
    options.notation = notationOf(notationName);
    std::string out;
    rvx::StringSink sink(out);
    rvx::BufferedWriter writer(sink);
    const std::vector<rvx::Motor> motors = chosenMotors(indexes);
    rvx::writeTable(motors, options, writer);
    (void)writer.finish();
    return j.key("error").str("").key("text").str(out).close('}').take();
}

// A platform's file of the whole site, as `rvx-strings --batch FILE --export KIND` writes it.
std::string siteExport(const std::string& kindName, const std::string& targetKind,
                       const std::string& device, const std::string& host, int port, int baud,
                       const std::string& parityName, const val& texts,
                       const std::string& notationName) {
    Json j;
    j.open('{');
    const auto kind = rvx::findSiteExport(kindName);
    const ReadValues read = readValues(textsOf(texts));
    std::string problem;
    for (const std::string& message : read.messages) {
        if (problem.empty()) {
            problem = message;
        }
    }
    rvx::SiteTarget target;
    if (targetKind == "tcp") {
        target.kind = rvx::SiteTarget::Kind::Tcp;
        target.host = host;
        target.port = static_cast<std::uint16_t>(port > 0 && port < 65536 ? port : 0);
    } else {
        target.device = device;
        target.baud = static_cast<unsigned>(baud > 0 ? baud : 0);
        for (const rvx::Parity parity : rvx::parities) {
            if (rvx::parityKeyword(parity) == parityName) {
                target.parity = parity;
            }
        }
    }
    if (!kind) {
        problem = "no such export";
    } else if (const std::string_view serialOnly = rvx::siteExportInfo(*kind).serialOnly;
               problem.empty() && !serialOnly.empty() &&
               target.kind == rvx::SiteTarget::Kind::Tcp) {
        // The engine's reason names the command line's TARGET; here the port is chosen above.
        problem = std::string(serialOnly) + ", not a TCP bridge; choose its serial port";
    }
    rvx::SiteExport made;
    if (problem.empty()) {
        rvx::SiteExportRequest request;
        request.motors = site();
        request.target = target;
        request.values = read.values;
        request.rows = rvx::allCommandRows();
        request.notation = notationOf(notationName);
        made = rvx::exportSite(*kind, request);
        problem = made.error;
    }
    j.key("error").str(problem).key("text").str(made.text);
    if (kind) {
        j.key("suffix").str(rvx::siteExportInfo(*kind).suffix);
    }
    return j.close('}').take();
}

// The frames of a command for the chosen motors, in list order, each ready to go or with the
// reason it may not.
std::string siteFrames(const val& indexes, int row, const val& texts) {
    Json j;
    j.open('{');
    if (row < 0 || static_cast<std::size_t>(row) >= rvx::commandCount) {
        return j.key("frames").open('[').close(']').close('}').take();
    }
    const ReadValues read = readValues(textsOf(texts));
    const rvx::Command& command = rvx::commandCatalogue[static_cast<std::size_t>(row)];
    const auto id = static_cast<rvx::CommandId>(row);
    const auto refused = refusedField(command, read);
    const auto refusal = rvx::refusedValue(id, read.values);
    j.key("command").str(command.name);
    j.key("message").str(refused ? read.messages[*refused]
                                 : (refusal ? refusal->sentence : std::string()));
    j.key("frames").open('[');
    for (const int i : emscripten::vecFromJSArray<int>(indexes)) {
        if (i < 0 || static_cast<std::size_t>(i) >= site().size() || refused || refusal) {
            continue;
        }
        const rvx::Motor& motor = site()[static_cast<std::size_t>(i)];
        const auto frame = rvx::frameFor(command, motor.kind, motor.address, read.values);
        if (!frame) {
            continue;
        }
        j.open('{').key("index").integer(i).key("name").str(rvx::siteMotorName(motor));
        j.key("kind").str(rvx::kindName(motor.kind)).key("address").str(motor.addressText);
        j.key("bytes").bytes(*frame).key("text").str(rvx::writeFrame(*frame)).close('}');
    }
    j.close(']');
    return j.close('}').take();
}

// ---- Watching ----

// The label of the site's motor that a frame is for, where the site names it.
std::string labelFor(const rvx::DecodedFrame& decoded) {
    if (!decoded.address) {
        return {};
    }
    for (const rvx::Motor& motor : site()) {
        if (motor.address == *decoded.address && (!decoded.kind || motor.kind == *decoded.kind)) {
            return motor.label;
        }
    }
    return {};
}

void runsJson(Json& j, const std::vector<rvx::ScannedRun>& runs, double utcMs) {
    const auto ms = static_cast<std::int64_t>(utcMs);
    for (const rvx::ScannedRun& run : runs) {
        const rvx::MonitorReport report = rvx::reportRun(run.bytes, run.kind);
        const std::string label = run.isFrame() ? labelFor(report.decoded) : std::string();
        j.open('{').key("frame").boolean(report.frame).key("bytes").str(report.bytes);
        j.key("command").str(report.command).key("address").str(report.address);
        j.key("label").str(label).key("verdict").str(report.verdict);
        j.key("valid").boolean(report.frame && report.decoded.madeByTool());
        j.key("time").str(rvx::utcTimeText(ms));
        j.key("json").str(rvx::monitorJsonLine(run.bytes, run.kind, ms, {label, false}));
        j.close('}');
    }
}

// The scanner of the bytes read from the bus, fed piece by piece.
class Watch {
public:
    std::string feed(const val& bytes, double utcMs) {
        const std::vector<std::uint8_t> data = bytesOf(bytes);
        Json j;
        j.open('[');
        runsJson(j, scanner_.feed(data), utcMs);
        return j.close(']').take();
    }
    std::string flush(double utcMs) {
        Json j;
        j.open('[');
        runsJson(j, scanner_.flush(), utcMs);
        return j.close(']').take();
    }
    [[nodiscard]] int pending() const { return static_cast<int>(scanner_.pending()); }

private:
    rvx::FrameScanner scanner_;
};

// ---- The send log ----

// The send log's line of JSON for a frame sent, or tried.
std::string sentLine(const val& bytes, int row, const std::string& kindName,
                     const std::string& addressText, double utcMs, const std::string& target,
                     const std::string& result, bool sent) {
    rvx::SentFrame frame;
    const std::vector<std::uint8_t> data = bytesOf(bytes);
    for (std::size_t i = 0; i < frame.frame.size() && i < data.size(); ++i) {
        frame.frame[i] = data[i];
    }
    if (row >= 0 && static_cast<std::size_t>(row) < rvx::commandCount) {
        frame.command = static_cast<rvx::CommandId>(row);
    }
    frame.kind = kindOf(kindName);
    const rvx::AddressReading address = rvx::readAddress(addressText);
    frame.address = address.bytes;
    frame.utcMs = static_cast<std::int64_t>(utcMs);
    frame.target = target;
    frame.result = result;
    frame.sent = sent;
    return rvx::sentJsonLine(frame);
}

// A command and who it goes to in words: "Jog Up 10 ms to motor 123456".
std::string sendWords(int row, const std::string& name) {
    if (row < 0 || static_cast<std::size_t>(row) >= rvx::commandCount) {
        return {};
    }
    return std::string(rvx::commandCatalogue[static_cast<std::size_t>(row)].name) + " to " + name;
}

}  // namespace

EMSCRIPTEN_BINDINGS(rvx) {
    emscripten::function("catalogue", &catalogue);
    emscripten::function("strings", &strings);
    emscripten::function("oneString", &oneString);
    emscripten::function("decode", &decode);
    emscripten::function("openSite", &openSite);
    emscripten::function("siteRows", &siteRows);
    emscripten::function("siteText", &siteText);
    emscripten::function("siteTable", &siteTable);
    emscripten::function("siteExport", &siteExport);
    emscripten::function("siteFrames", &siteFrames);
    emscripten::function("sentLine", &sentLine);
    emscripten::function("sendWords", &sendWords);
    emscripten::class_<Watch>("Watch")
        .constructor<>()
        .function("feed", &Watch::feed)
        .function("flush", &Watch::flush)
        .function("pending", &Watch::pending);
}
