#include "rvx/site_export.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <unordered_set>

#include "rvx/ascii.h"
#include "rvx/catalogue.h"
#include "rvx/escape.h"
#include "rvx/json.h"

namespace rvx {

namespace {

using namespace std::string_view_literals;

using escape::appendEscaped;
using escape::appendHex;
using escape::isUnprintable;

// ---- The escapers: one per format, and every text of a site goes through its file's ----

// A JSON string, quotes included: the project's one writer of them.
void appendJson(std::string& out, std::string_view text) {
    appendJsonString(out, text);
}

using ascii::validUtf8;

void appendDecimal(std::string& out, std::size_t value) {
    char digits[24];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
    out.append(digits, end);
}

// The inside of a YAML double-quoted scalar, on one line: every character that YAML 1.1 or 1.2
// takes for a line break (LF, CR, NEL, LS, PS) or does not take as it stands is escaped, so that
// nothing in the text can end the scalar, fold it or start a key.
void appendYamlEscaped(std::string& out, std::string_view text) {
    appendEscaped(out, text, [&](std::size_t at, std::size_t length, std::uint32_t c) {
        switch (c) {
            case '"':
                out += "\\\""sv;
                return;
            case '\\':
                out += "\\\\"sv;
                return;
            case '\n':
                out += "\\n"sv;
                return;
            case '\r':
                out += "\\r"sv;
                return;
            case '\t':
                out += "\\t"sv;
                return;
            case 0x85:
                out += "\\N"sv;
                return;
            case 0x2028:
                out += "\\L"sv;
                return;
            case 0x2029:
                out += "\\P"sv;
                return;
            default:
                break;
        }
        if (isUnprintable(c)) {
            c < 0x100 ? appendHex(out, "\\x", c, 2) : appendHex(out, "\\u", c, 4);
        } else {
            out.append(text, at, length);
        }
    });
}

void appendYaml(std::string& out, std::string_view text) {
    out += '"';
    appendYamlEscaped(out, text);
    out += '"';
}

// A string of openHAB's DSL files, quotes included: the STRING of its Xtext grammar, whose
// escapes are Java's (\" \\ \n \r \t \uXXXX).
void appendOpenHab(std::string& out, std::string_view text) {
    out += '"';
    appendEscaped(out, text, [&](std::size_t at, std::size_t length, std::uint32_t c) {
        switch (c) {
            case '"':
                out += "\\\""sv;
                return;
            case '\\':
                out += "\\\\"sv;
                return;
            case '\n':
                out += "\\n"sv;
                return;
            case '\r':
                out += "\\r"sv;
                return;
            case '\t':
                out += "\\t"sv;
                return;
            default:
                break;
        }
        if (isUnprintable(c)) {
            appendHex(out, "\\u", c, 4);
        } else {
            out.append(text, at, length);
        }
    });
    out += '"';
}

// Template text that Home Assistant renders back to exactly the text: Home Assistant renders
// names and commands as Jinja templates. A text without "{" (no template syntax) and without
// the line breaks Jinja changes stands as it is; any other goes into raw blocks, which Jinja
// does not read, broken between "{" and "%" so that no "{% endraw %}" in the text can end one,
// with each carriage return given as an expression (Jinja makes one in a template a line feed).
void appendTemplateText(std::string& out, std::string_view text) {
    if (text.find_first_of("{\r") == std::string_view::npos && !text.ends_with('\n')) {
        out += text;
        return;
    }
    constexpr std::string_view begin = "{% raw %}";
    constexpr std::string_view end = "{% endraw %}";
    out += begin;
    for (std::size_t k = 0; k < text.size(); ++k) {
        if (text[k] == '\r') {
            out += end;
            out += "{{ \"\\r\" }}"sv;
            out += begin;
            continue;
        }
        out += text[k];
        if (text[k] == '{' && k + 1 < text.size() && text[k + 1] == '%') {
            out += end;
            out += begin;
        }
    }
    out += end;
}

// A word for sh and for Python's shlex alike, in single quotes, a quote in it as '\''.
std::string shellWord(std::string_view text) {
    std::string out = "'";
    for (const char ch : text) {
        if (ch == '\'') {
            out += "'\\''"sv;
        } else {
            out += ch;
        }
    }
    return out + '\'';
}

// ---- Where the file goes ----

// The file as it is made, handed to the sink a chunk at a time.
class Output {
public:
    explicit Output(const SiteExportSink& sink) : sink_(sink) { text_.reserve(chunk + chunk / 2); }

    [[nodiscard]] std::string& text() { return text_; }
    // Hands on what is held once it is a chunk; false once the sink has refused a piece.
    bool pass() { return text_.size() < chunk ? taken_ : flush(); }
    bool flush() {
        if (taken_ && !text_.empty()) {
            taken_ = sink_(text_);
        }
        text_.clear();
        return taken_;
    }

private:
    static constexpr std::size_t chunk = std::size_t{1} << 16;
    const SiteExportSink& sink_;
    std::string text_;
    bool taken_ = true;
};

// ---- Names ----

// A word for an identifier: lower-case ASCII letters and digits, every other run one "_".
std::string slug(std::string_view text) {
    std::string out;
    for (const char ch : text) {
        if (ascii::isDigit(ch) || (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z')) {
            out += ascii::lower(ch);
        } else if (!out.empty() && out.back() != '_') {
            out += '_';
        }
        if (out.size() >= 40) {
            break;
        }
    }
    while (!out.empty() && out.back() == '_') {
        out.pop_back();
    }
    return out;
}

constexpr std::string_view idLead = "rvx_";
// Home Assistant's command that sets a cover's position, beside the commands of a motor.
constexpr std::string_view positionWord = "position";

std::string commandWord(std::size_t row) {
    return slug(commandCatalogue[row].plainName);
}

// The endings that no motor's word may have: "_w" for a run of words w that, followed by "_"
// and the word of an entry, is the word of another entry ("lock", as "lock_up" is "lock" and
// "up"). With one, the name of one motor's entry could be another motor's: "Kitchen Lock" with
// "up" and "Kitchen" with "lock_up".
const std::vector<std::string>& ambiguousEndings() {
    static const std::vector<std::string> endings = [] {
        std::vector<std::string> words;
        for (std::size_t row = 0; row < commandCount; ++row) {
            words.push_back(commandWord(row));
        }
        words.emplace_back(positionWord);
        std::vector<std::string> found;
        for (const std::string& word : words) {
            for (std::size_t cut = word.find('_'); cut != std::string::npos;
                 cut = word.find('_', cut + 1)) {
                const std::string_view tail = std::string_view(word).substr(cut + 1);
                if (std::find(words.begin(), words.end(), tail) != words.end()) {
                    std::string ending(1, '_');
                    ending.append(word, 0, cut);
                    found.push_back(std::move(ending));
                }
            }
        }
        return found;
    }();
    return endings;
}

bool hasAmbiguousEnding(std::string_view word) {
    const auto& endings = ambiguousEndings();
    return std::any_of(endings.begin(), endings.end(),
                       [word](const std::string& ending) { return word.ends_with(ending); });
}

// An identifier per motor from its name, unique in the file and such that the name of each of
// its entries (the identifier, "_" and the entry's word) is no other motor's: where its word is
// taken or ends as an entry's word begins, the address follows it, and a number after that.
std::vector<std::string> motorIds(std::span<const Motor> motors) {
    std::vector<std::string> ids;
    ids.reserve(motors.size());  // never moved: the set below holds views of them
    std::unordered_set<std::string_view> used;
    used.reserve(motors.size());
    for (const Motor& motor : motors) {
        const std::string address = slug(writeBytes(motor.address, Notation::Compact));
        std::string word = slug(siteMotorName(motor));
        if (word.empty()) {
            word = address;
        }
        std::string candidate = word;
        for (int n = 1; used.contains(candidate) || hasAmbiguousEnding(candidate); ++n) {
            candidate = word;
            candidate += '_';
            candidate += address;
            if (n > 1) {
                candidate += '_';
                candidate += std::to_string(n);
            }
        }
        ids.push_back(std::string(idLead) + candidate);
        used.insert(std::string_view(ids.back()).substr(idLead.size()));
    }
    return ids;
}

// ---- Frames ----

// The catalogue rows asked for, in order.
std::vector<std::size_t> rowsOf(const SiteExportRequest& request) {
    std::vector<std::size_t> rows = request.rows;
    if (rows.empty()) {
        for (std::size_t row = 0; row < commandCount; ++row) {
            rows.push_back(row);
        }
    }
    return rows;
}

std::size_t kindIndex(AddressKind kind) {
    return kind == AddressKind::Group ? 1 : 0;
}

// The frames of some commands, made once for each kind and then for each motor's address.
class KindFrames {
public:
    // One frame per entry of values, all of command.
    KindFrames(const Command& command, const std::vector<ParameterValues>& values) {
        for (const auto kind : {AddressKind::Single, AddressKind::Group}) {
            for (const ParameterValues& value : values) {
                frames_[kindIndex(kind)].emplace_back(command, kind, value);
            }
        }
    }
    // One frame per row, each with the same values.
    KindFrames(const std::vector<std::size_t>& rows, const ParameterValues& values) {
        for (const auto kind : {AddressKind::Single, AddressKind::Group}) {
            for (const std::size_t row : rows) {
                frames_[kindIndex(kind)].emplace_back(commandCatalogue[row], kind, values);
            }
        }
    }

    [[nodiscard]] const std::vector<FramesForAddresses>& of(AddressKind kind) const {
        return frames_[kindIndex(kind)];
    }

private:
    std::array<std::vector<FramesForAddresses>, 2> frames_;
};

// The place of a motor in the texts that say which it is: "motor 123456", "group 0A0B0C".
std::string motorPlace(const Motor& motor) {
    return (motor.kind == AddressKind::Group ? "group " : "motor ") +
           writeBytes(motor.address, Notation::Compact);
}

// A text made for the frames of address 000000 and the places in it of the digits of the bytes
// that change with the address, each of one of the frames: the batch's way of writing millions
// of frames, a copy and a few digits each.
struct PatchedText {
    struct Digits {
        std::size_t at;
        std::uint8_t frame;  // which of the frames
        std::uint8_t byte;   // which of its bytes
        std::uint8_t radix;  // 8: three octal digits; 16: two hexadecimal digits
    };
    std::string text;
    std::vector<Digits> digits;

    // The text with the digits of the frames written in.
    void appendTo(std::string& out, std::span<const Frame> frames) const {
        const std::size_t start = out.size();
        out += text;
        char* at = out.data() + start;
        for (const Digits& d : digits) {
            const std::uint8_t value = frames[d.frame][d.byte];
            if (d.radix == 16) {
                std::memcpy(at + d.at, ascii::hexByte(value).data(), 2);
            } else {
                at[d.at] = static_cast<char>('0' + (value >> 6));
                at[d.at + 1] = static_cast<char>('0' + ((value >> 3) & 7));
                at[d.at + 2] = static_cast<char>('0' + (value & 7));
            }
        }
    }
};

bool varies(const FramesForAddresses& frames, std::size_t byte) {
    const auto& varying = frames.varyingBytes();
    return std::find(varying.begin(), varying.end(), byte) != varying.end();
}

// Writes into a frame the bytes that change with the address: all that a patched text reads.
void setVaryingBytes(Frame& frame, const FramesForAddresses& frames, const Address& address) {
    const auto& varying = frames.varyingBytes();  // the address's three, the checksum's two
    const std::uint16_t checksum = frames.checksumFor(address);
    frame[varying[0]] = address[0];
    frame[varying[1]] = address[1];
    frame[varying[2]] = address[2];
    frame[varying[3]] = static_cast<std::uint8_t>(checksum >> 8);
    frame[varying[4]] = static_cast<std::uint8_t>(checksum & 0xFF);
}

void appendPlain(std::string& out, std::string_view text) {
    out += text;
}

// A row's frame written in a notation, inside a file's string whose escaper escape is (or
// plain text): patched from the frame of address 000000 where the notation writes every byte
// in two hexadecimal digits, written anew for each frame otherwise.
class FrameInNotation {
public:
    using Escape = void (*)(std::string&, std::string_view);

    FrameInNotation(const FramesForAddresses& frames, Notation notation, Escape escape)
        : notation_(notation), escape_(escape) {
        const NotationInfo& info = notationInfo(notation);
        if (info.radix != 16 || !frames.made()) {
            return;
        }
        const Frame frame = frames.forAddress({});
        PatchedText made;
        const std::string_view quote(&info.quote, info.quote != 0 ? 1 : 0);
        escape(made.text, quote);
        for (std::size_t b = 0; b < frame.size(); ++b) {
            escape(made.text, b > 0 ? info.separator : std::string_view());
            escape(made.text, info.prefix);
            if (varies(frames, b)) {
                made.digits.push_back({made.text.size(), 0, static_cast<std::uint8_t>(b), 16});
            }
            made.text += ascii::hexByte(frame[b]);
            escape(made.text, info.suffix);
        }
        escape(made.text, quote);
        patched_ = std::move(made);
    }

    void appendTo(std::string& out, const Frame& frame) {
        if (patched_) {
            patched_->appendTo(out, std::span(&frame, 1));
            return;
        }
        scratch_.resize(maxWrittenLength(notation_, frame.size()));
        const char* end = writeBytesTo(scratch_.data(), frame, notation_);
        escape_(out,
                std::string_view(scratch_.data(), static_cast<std::size_t>(end - scratch_.data())));
    }

private:
    Notation notation_;
    Escape escape_;
    std::optional<PatchedText> patched_;
    std::string scratch_;
};

// Bytes as decimal numbers, each with the comma after it, side by side: byte b at 4 * b, its
// length in the fourth place.
constexpr std::array<char, 1024> decimalBytes = [] {
    std::array<char, 1024> table{};
    for (std::size_t b = 0; b < 256; ++b) {
        std::size_t at = 4 * b;
        if (b >= 100) {
            table[at++] = static_cast<char>('0' + b / 100);
        }
        if (b >= 10) {
            table[at++] = static_cast<char>('0' + b / 10 % 10);
        }
        table[at++] = static_cast<char>('0' + b % 10);
        table[4 * b + 3] = static_cast<char>(at - 4 * b);
    }
    return table;
}();

// The bytes as decimal numbers with commas between them.
void appendDecimalBytes(std::string& out, const Frame& frame) {
    for (std::size_t b = 0; b < frame.size(); ++b) {
        if (b > 0) {
            out += ',';
        }
        const char* digits = &decimalBytes[4U * frame[b]];
        out.append(digits, static_cast<std::size_t>(digits[3]));
    }
}

// ---- Node-RED ----

void nodeRedFlow(const SiteExportRequest& request, Output& output) {
    const std::vector<std::size_t> rows = rowsOf(request);
    const KindFrames frames(rows, request.values);
    const std::vector<std::string> ids = motorIds(request.motors);
    std::vector<std::string> words;
    for (const std::size_t row : rows) {
        words.push_back(commandWord(row));
    }
    const SiteTarget& target = request.target;
    std::string& out = output.text();
    out += "[\n  {\"id\": \"rvx_site\", \"type\": \"tab\", \"label\": \"RVX motors\", "sv;
    out += "\"disabled\": false, \"info\": \"The motors of a site, made by rvx-strings: an "sv;
    out += "inject node per motor and command sends its frame to the RVX bus node.\"}"sv;
    if (target.kind == SiteTarget::Kind::Tcp) {
        // A tcp request node connects for each frame, writes it and closes at once, as a
        // bridge expects; a tcp out client keeps a connection open between frames.
        out += ",\n  {\"id\": \"rvx_bus\", \"type\": \"tcp request\", \"z\": \"rvx_site\", "sv;
        out += "\"name\": \"RVX bus\", \"server\": "sv;
        appendJson(out, validUtf8(target.host));
        out += ", \"port\": \""sv;
        appendDecimal(out, target.port);
        out += "\", \"out\": \"immed\", \"ret\": \"buffer\", \"splitc\": \"0\", \"newline\": "sv;
        out += "\"\", \"trim\": false, \"tls\": \"\", \"x\": 620, \"y\": 40, \"wires\": [[]]}"sv;
    } else {
        out += ",\n  {\"id\": \"rvx_port\", \"type\": \"serial-port\", \"name\": \"RVX bus\", "sv;
        out += "\"serialport\": "sv;
        appendJson(out, validUtf8(target.device));
        out += ", \"serialbaud\": \""sv;
        appendDecimal(out, target.baud);
        out += "\", \"databits\": \"8\", \"parity\": "sv;
        appendJson(out, parityKeyword(target.parity));
        out += ", \"stopbits\": \"1\", \"waitfor\": \"\", \"dtr\": \"none\", \"rts\": \"none\", "sv;
        out += "\"cts\": \"none\", \"dsr\": \"none\", \"newline\": \"\", \"bin\": \"bin\", "sv;
        out += "\"out\": \"char\", \"addchar\": \"\", \"responsetimeout\": \"10000\"}"sv;
        out += ",\n  {\"id\": \"rvx_bus\", \"type\": \"serial out\", \"z\": \"rvx_site\", "sv;
        out += "\"name\": \"RVX bus\", \"serial\": \"rvx_port\", \"x\": 620, \"y\": 40, "sv;
        out += "\"wires\": []}"sv;
    }
    // Each row's text around the motor's parts, the same for every motor: before its name
    // (the rest of the node's id, and the type), after it (the command in the name, up to the
    // payload's bytes).
    std::vector<std::string> beforeName;
    std::vector<std::string> afterName;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        std::string lead = "_" + words[k];
        lead += "\", \"type\": \"inject\", \"z\": \"rvx_site\", \"name\": \""sv;
        beforeName.push_back(std::move(lead));
        std::string rest;
        appendJson(rest, std::string(" \u2013 ") + std::string(commandCatalogue[rows[k]].name));
        rest.erase(0, 1);  // the quote that the name's own text opened
        rest += ", \"props\": [{\"p\": \"payload\"}], \"repeat\": \"\", \"crontab\": \"\", "sv;
        rest += "\"once\": false, \"onceDelay\": 0.1, \"topic\": \"\", \"payload\": \"["sv;
        afterName.push_back(std::move(rest));
    }
    // The frame in the notation asked for, as each node's info.
    std::array<std::vector<FrameInNotation>, 2> infos;
    for (const auto kind : {AddressKind::Single, AddressKind::Group}) {
        for (const FramesForAddresses& made : frames.of(kind)) {
            infos[kindIndex(kind)].emplace_back(made, request.notation, appendJsonEscaped);
        }
    }
    std::string name;
    std::size_t node = 0;
    for (std::size_t m = 0; m < request.motors.size(); ++m) {
        const Motor& motor = request.motors[m];
        name.clear();
        appendJson(name, siteMotorName(motor));
        name.pop_back();  // the command follows in the same string
        const auto& made = frames.of(motor.kind);
        for (std::size_t k = 0; k < rows.size(); ++k) {
            if (!made[k].made()) {
                continue;
            }
            const Frame frame = made[k].forAddress(motor.address);
            out += ",\n  {\"id\": \""sv;
            out += ids[m];
            out += beforeName[k];
            out.append(name, 1);
            out += afterName[k];
            appendDecimalBytes(out, frame);
            out += "]\", \"payloadType\": \"bin\", \"info\": \""sv;
            infos[kindIndex(motor.kind)][k].appendTo(out, frame);
            out += "\", \"x\": 220, \"y\": "sv;
            appendDecimal(out, 40 + 40 * node++);
            out += ", \"wires\": [[\"rvx_bus\"]]}"sv;
        }
        if (!output.pass()) {
            return;
        }
    }
    out += "\n]\n"sv;
}

// ---- Home Assistant ----

std::string_view parityWords(Parity parity) {
    switch (parity) {
        case Parity::None:
            return "-parenb";
        case Parity::Even:
            return "parenb -parodd";
        case Parity::Odd:
            return "parenb parodd";
        case Parity::Mark:
            return "parenb parodd cmspar";
        case Parity::Space:
            return "parenb -parodd cmspar";
    }
    return {};
}

// A shell command of the package as its YAML string, made up piece by piece: what the shell
// runs, then the words after it, given to Home Assistant as template text.
class CommandText {
public:
    CommandText() { made_.text = "\""; }

    void add(std::string_view text) { appendYamlEscaped(made_.text, text); }
    void addTemplateText(std::string_view text) {
        std::string literal;
        appendTemplateText(literal, text);
        add(literal);
    }
    // Bytes from..to of a frame as printf's octal escapes, each written as one byte.
    void addOctal(const FramesForAddresses& frames, std::size_t from, std::size_t to,
                  std::uint8_t index) {
        const Frame frame = frames.forAddress({});
        for (std::size_t b = from; b < to; ++b) {
            add("\\");
            if (varies(frames, b)) {
                made_.digits.push_back({made_.text.size(), index, static_cast<std::uint8_t>(b), 8});
            }
            const auto value = static_cast<unsigned>(frame[b]);
            made_.text += static_cast<char>('0' + (value >> 6));
            made_.text += static_cast<char>('0' + ((value >> 3) & 7));
            made_.text += static_cast<char>('0' + (value & 7));
        }
    }
    [[nodiscard]] PatchedText done() {
        made_.text += '"';
        return std::move(made_);
    }

private:
    PatchedText made_;
};

// The commands of the package are sh scripts with the target in their arguments: the device
// as $1, or the host and port as $1 and $2. Bytes go out with printf, whose octal escapes write
// each as one byte. On a serial port stty sets the whole line first, and a port that refuses
// it gets no byte and the command fails with stty's message.
//
// To a bridge, OpenBSD's nc -N closes the connection once the frame is written, so that the
// bridge (ser2net serves one connection at a time) is free for the next frame at once. ser2net
// drops the bytes of a connection that closes before it has opened its port, and a frame sent
// to a connection it turns away makes it reset the connection, which can lose what it said:
// so the frame goes 0.05 s after the connection starts, when ser2net has opened its port or
// turned the connection away, and the connection closes 0.05 s after the frame (each about
// one and a half times a frame's time on the line at 4800 baud). The command fails where no
// connection is made, and where the bridge answers with text instead of passing the frame on,
// as ser2net does when it turns a connection away ("Port already in use").
struct Sending {
    std::string before;  // up to printf's format
    std::string after;   // from the end of the format
};

Sending sendingTo(const SiteTarget& target) {
    if (target.kind == SiteTarget::Kind::Serial) {
        return {"stty " + std::to_string(target.baud) + " cs8 " +
                    std::string(parityWords(target.parity)) + " -cstopb raw < \"$1\" && printf \"",
                "\" > \"$1\""};
    }
    return {"a=$({ sleep 0.05; printf \"",
            "\"; sleep 0.05; } | nc -N -w 5 \"$1\" \"$2\") || exit 1; case $a in "
            "*[![:print:][:space:]]*|\"\") "
            "exit 0;; esac; printf \"%s\\n\" \"the bridge at $1:$2 turned the frame away: $a\" "
            ">&2; exit 1"};
}

// The target's words after the script, as template text.
void addTargetWords(CommandText& command, const SiteTarget& target) {
    command.add(" ");
    if (target.kind == SiteTarget::Kind::Serial) {
        command.addTemplateText(shellWord(validUtf8(target.device)));
    } else {
        command.addTemplateText(shellWord(validUtf8(target.host)));
        command.add(" " + std::to_string(target.port));
    }
}

// The command of a row for a kind: sh -c 'SCRIPT' rvx TARGET.
PatchedText rowCommand(const FramesForAddresses& frames, const SiteTarget& target) {
    const Sending sending = sendingTo(target);
    CommandText command;
    command.add("sh -c '" + sending.before);
    command.addOctal(frames, 0, frameLength, 0);
    command.add(sending.after + "' rvx");
    addTargetWords(command, target);
    return command.done();
}

// Home Assistant's cover positions, 0 closed to 100 open, are 100 % to 0 % here (0 % is the up
// end).
constexpr std::size_t coverPositions = 101;

std::vector<ParameterValues> positionValues(const ParameterValues& values) {
    std::vector<ParameterValues> all(coverPositions, values);
    for (std::size_t position = 0; position < coverPositions; ++position) {
        all[position][static_cast<std::size_t>(ParameterField::Pct)] =
            100.0 - static_cast<double>(position);
    }
    return all;
}

// The command that sets a cover's position: sh -c 'SCRIPT' rvx {{ position }} TARGET, the
// script picking the frame of the position. The bytes that every position's frame shares come
// once, after the one that the script picked.
PatchedText positionCommand(const std::vector<FramesForAddresses>& frames,
                            const SiteTarget& target) {
    // The bytes up to the first that differs from one position to another, for any address.
    std::size_t shared = frameLength;
    const FramesForAddresses* first = nullptr;
    for (const FramesForAddresses& one : frames) {
        if (!one.made()) {
            continue;
        }
        if (first == nullptr) {
            first = &one;
            shared = std::min(shared, one.varyingBytes()[3]);  // the checksum varies
            continue;
        }
        const Frame a = first->forAddress({});
        const Frame b = one.forAddress({});
        const auto differs = std::mismatch(a.begin(), a.end(), b.begin()).first;
        shared = std::min(shared, static_cast<std::size_t>(differs - a.begin()));
    }
    const Sending sending = sendingTo(target);
    CommandText command;
    command.add("sh -c 'case \"$1\" in");
    for (std::size_t position = 0; position < frames.size(); ++position) {
        if (frames[position].made()) {
            command.add(" " + std::to_string(position) + ") f=\"");
            command.addOctal(frames[position], shared, frameLength,
                             static_cast<std::uint8_t>(position));
            command.add("\";;");
        }
    }
    command.add(" *) exit 2;; esac; shift; " + sending.before);
    if (first != nullptr) {
        command.addOctal(*first, 0, shared, static_cast<std::uint8_t>(first - frames.data()));
    }
    command.add("$f" + sending.after + "' rvx {{ position }}");
    addTargetWords(command, target);
    return command.done();
}

void homeAssistantPackage(const SiteExportRequest& request, Output& output) {
    const std::vector<std::size_t> rows = rowsOf(request);
    const KindFrames frames(rows, request.values);
    const KindFrames positions(commandOf(CommandId::GoToPercent), positionValues(request.values));
    const std::vector<std::string> ids = motorIds(request.motors);
    const SiteTarget& target = request.target;

    // What is the same for every motor of a kind: each row's command, and the position's.
    std::array<std::vector<PatchedText>, 2> commands;
    std::array<std::vector<FrameInNotation>, 2> comments;
    std::array<PatchedText, 2> positionCommands;
    for (const auto kind : {AddressKind::Single, AddressKind::Group}) {
        for (const FramesForAddresses& made : frames.of(kind)) {
            commands[kindIndex(kind)].push_back(rowCommand(made, target));
            comments[kindIndex(kind)].emplace_back(made, request.notation, appendPlain);
        }
        positionCommands[kindIndex(kind)] = positionCommand(positions.of(kind), target);
    }
    std::vector<std::string> words;
    for (const std::size_t row : rows) {
        words.push_back("_" + commandWord(row) + ": ");
    }

    std::string& out = output.text();
    out +=
        "# The motors of a site, made by rvx-strings: a package for Home Assistant 2025.5 or\n"sv;
    out += "# later. Each shell_command writes the 14 bytes of one frame with printf's octal\n"sv;
    if (target.kind == SiteTarget::Kind::Serial) {
        out +=
            "# escapes, one byte each, to the serial port once stty has set its line; a port\n"sv;
        out +=
            "# that refuses the line gets no byte and the command fails with stty's message.\n"sv;
    } else {
        out += "# escapes, one byte each, through OpenBSD nc (Debian's netcat-openbsd) to the\n"sv;
        out += "# bridge, closing the connection once the frame is written; the command fails\n"sv;
        out += "# where no connection is made or the bridge turns the frame away.\n"sv;
    }
    out += "shell_command:\n"sv;
    // The position frames of address 000000, of which each motor's changes only the bytes of
    // its address and checksum: all that the position command is written from.
    std::array<std::vector<Frame>, 2> made;
    for (const auto kind : {AddressKind::Single, AddressKind::Group}) {
        for (const FramesForAddresses& one : positions.of(kind)) {
            made[kindIndex(kind)].push_back(one.made() ? one.forAddress({}) : Frame{});
        }
    }
    for (std::size_t m = 0; m < request.motors.size(); ++m) {
        const Motor& motor = request.motors[m];
        const std::string place = motorPlace(motor);
        const auto& rowFrames = frames.of(motor.kind);
        for (std::size_t k = 0; k < rows.size(); ++k) {
            if (!rowFrames[k].made()) {
                continue;
            }
            const Frame frame = rowFrames[k].forAddress(motor.address);
            out += "  # "sv;
            out += place;
            out += ' ';
            out += commandCatalogue[rows[k]].name;
            out += ": "sv;
            comments[kindIndex(motor.kind)][k].appendTo(out, frame);
            out += "\n  "sv;
            out += ids[m];
            out += words[k];
            commands[kindIndex(motor.kind)][k].appendTo(out, std::span(&frame, 1));
            out += '\n';
        }
        const auto& positionFrames = positions.of(motor.kind);
        for (std::size_t position = 0; position < coverPositions; ++position) {
            if (positionFrames[position].made()) {
                setVaryingBytes(made[kindIndex(motor.kind)][position], positionFrames[position],
                                motor.address);
            }
        }
        out += "  # "sv;
        out += place;
        out += " Go to % from a cover's position (100 open = 0 %)\n  "sv;
        out += ids[m];
        out += "_position: "sv;
        positionCommands[kindIndex(motor.kind)].appendTo(out, made[kindIndex(motor.kind)]);
        out += '\n';
        if (!output.pass()) {
            return;
        }
    }

    // A template cover opens and closes with both Up and Down or with neither, so the two
    // come as a pair; without them it is set to positions only.
    const auto among = [&rows](CommandId id) {
        return std::find(rows.begin(), rows.end(), rowOf(id)) != rows.end();
    };
    const bool openAndClose = among(CommandId::Up) && among(CommandId::Down);
    const bool stop = among(CommandId::Stop);
    const auto action = [&out](std::string_view key, const std::string& id, std::size_t row) {
        out += "        "sv;
        out += key;
        out += ":\n          - action: shell_command."sv;
        out += id;
        out += '_';
        out += commandWord(row);
        out += '\n';
    };
    out += "\ntemplate:\n  - cover:\n"sv;
    std::string name;
    for (std::size_t m = 0; m < request.motors.size(); ++m) {
        const std::string& id = ids[m];
        name.clear();
        appendTemplateText(name, siteMotorName(request.motors[m]));
        out += "      - name: "sv;
        appendYaml(out, name);
        out += "\n        unique_id: "sv;
        out += id;
        out += '\n';
        if (openAndClose) {
            action("open_cover", id, rowOf(CommandId::Up));
            action("close_cover", id, rowOf(CommandId::Down));
        }
        if (stop) {
            action("stop_cover", id, rowOf(CommandId::Stop));
        }
        out += "        set_cover_position:\n          - action: shell_command."sv;
        out += id;
        out += "_position\n            data:\n              position: \"{{ position }}\"\n"sv;
        if (!output.pass()) {
            return;
        }
    }
}

// ---- openHAB ----

void openHabThings(const SiteExportRequest& request, Output& output) {
    const std::vector<std::size_t> rows = rowsOf(request);
    const KindFrames frames(rows, request.values);
    const std::vector<std::string> ids = motorIds(request.motors);
    const SiteTarget& target = request.target;
    std::string parity(parityKeyword(target.parity));  // the binding's names are in capitals
    std::transform(parity.begin(), parity.end(), parity.begin(), ascii::upper);
    std::string& out = output.text();
    out += "// The motors of a site, made by rvx-strings. The HEX charset writes each byte as "sv;
    out += "given.\nBridge serial:serialBridge:rvx_bus \"RVX bus\" [ serialPort="sv;
    appendOpenHab(out, validUtf8(target.device));
    out += ", baudRate="sv;
    appendDecimal(out, target.baud);
    out += ", dataBits=8, parity=\"" + parity + "\", stopBits=\"1\", charset=\"HEX\" ] {\n";
    std::array<std::vector<FrameInNotation>, 2> formats;
    for (const auto kind : {AddressKind::Single, AddressKind::Group}) {
        for (const FramesForAddresses& one : frames.of(kind)) {
            formats[kindIndex(kind)].emplace_back(one, Notation::Spaced, appendPlain);
        }
    }
    for (std::size_t m = 0; m < request.motors.size(); ++m) {
        const Motor& motor = request.motors[m];
        out += "    Thing serialDevice "sv;
        out += ids[m];
        out += ' ';
        appendOpenHab(out, siteMotorName(motor));
        out += " [ patternMatch=\"^$\" ] {\n        Channels:\n"sv;
        const auto& made = frames.of(motor.kind);
        for (std::size_t k = 0; k < rows.size(); ++k) {
            if (!made[k].made()) {
                continue;
            }
            const Command& command = commandCatalogue[rows[k]];
            out += "            Type string : "sv;
            out += commandWord(rows[k]);
            out += ' ';
            appendOpenHab(out, command.name);
            out += " [ commandFormat=\""sv;
            formats[kindIndex(motor.kind)][k].appendTo(out, made[k].forAddress(motor.address));
            out += "\" ]\n"sv;
        }
        out += "    }\n"sv;
        if (!output.pass()) {
            return;
        }
    }
    out += "}\n"sv;
}

void openHabItems(const SiteExportRequest& request, Output& output) {
    const std::vector<std::size_t> rows = rowsOf(request);
    const KindFrames frames(rows, request.values);
    const std::vector<std::string> ids = motorIds(request.motors);
    std::vector<std::string> words;
    for (const std::size_t row : rows) {
        words.push_back(commandWord(row));
    }
    std::string& out = output.text();
    out += "// The items of the motors in the .things file made with them.\n"sv;
    std::string name;
    for (std::size_t m = 0; m < request.motors.size(); ++m) {
        const Motor& motor = request.motors[m];
        const std::string motorName = siteMotorName(motor);
        const auto& made = frames.of(motor.kind);
        for (std::size_t k = 0; k < rows.size(); ++k) {
            if (!made[k].made()) {
                continue;
            }
            out += "String "sv;
            out += ids[m];
            out += '_';
            out += words[k];
            out += ' ';
            name = motorName;
            name += " \u2013 ";
            name += commandCatalogue[rows[k]].name;
            appendOpenHab(out, name);
            out += " { channel=\"serial:serialDevice:rvx_bus:"sv;
            out += ids[m];
            out += ':';
            out += words[k];
            out += "\" }\n"sv;
        }
        if (!output.pass()) {
            return;
        }
    }
}

std::string baudRatesText() {
    std::string text;
    for (std::size_t k = 0; k < sttyBaudRates.size(); ++k) {
        text += k == 0 ? "" : (k + 1 == sttyBaudRates.size() ? " or " : ", ");
        text += std::to_string(sttyBaudRates[k]);
    }
    return text;
}

}  // namespace

const SiteExportInfo& siteExportInfo(SiteExportKind kind) {
    return siteExportCatalogue[static_cast<std::size_t>(kind)];
}

std::optional<SiteExportKind> findSiteExport(std::string_view name) {
    for (const SiteExportInfo& info : siteExportCatalogue) {
        if (info.name == name) {
            return info.kind;
        }
    }
    return std::nullopt;
}

std::string siteMotorName(const Motor& motor) {
    const std::string_view trimmed = ascii::trim(motor.label, ascii::isSpace);
    if (!trimmed.empty()) {
        return validUtf8(trimmed);
    }
    return std::string(motor.kind == AddressKind::Group ? "Group " : "Motor ") +
           writeBytes(motor.address, Notation::Compact);
}

std::string siteTargetProblem(SiteExportKind kind, const SiteTarget& target) {
    if (const std::string_view why = siteExportInfo(kind).serialOnly;
        !why.empty() && target.kind != SiteTarget::Kind::Serial) {
        return std::string(why) + ", not a TCP bridge; give the port as TARGET";
    }
    switch (kind) {
        case SiteExportKind::OpenHabThings:
        case SiteExportKind::OpenHabItems:
            break;
        case SiteExportKind::HomeAssistant:
            if (target.kind == SiteTarget::Kind::Serial &&
                std::find(sttyBaudRates.begin(), sttyBaudRates.end(), target.baud) ==
                    sttyBaudRates.end()) {
                return "Home Assistant's commands set the line with stty, which takes " +
                       baudRatesText() + " baud, not " + std::to_string(target.baud);
            }
            break;
        case SiteExportKind::NodeRed:
            break;
    }
    return {};
}

std::string siteExportProblem(SiteExportKind kind, const SiteExportRequest& request) {
    if (std::string problem = siteTargetProblem(kind, request.target); !problem.empty()) {
        return problem;
    }
    if (request.motors.empty()) {
        return "the site has no motor, and a platform takes no file without one";
    }
    return {};
}

std::string writeSiteExport(SiteExportKind kind, const SiteExportRequest& request,
                            const SiteExportSink& sink) {
    if (std::string problem = siteExportProblem(kind, request); !problem.empty()) {
        return problem;
    }
    Output output(sink);
    switch (kind) {
        case SiteExportKind::NodeRed:
            nodeRedFlow(request, output);
            break;
        case SiteExportKind::HomeAssistant:
            homeAssistantPackage(request, output);
            break;
        case SiteExportKind::OpenHabThings:
            openHabThings(request, output);
            break;
        case SiteExportKind::OpenHabItems:
            openHabItems(request, output);
            break;
    }
    output.flush();
    return {};
}

SiteExport exportSite(SiteExportKind kind, const SiteExportRequest& request) {
    SiteExport file;
    file.error = writeSiteExport(kind, request, [&file](std::string_view piece) {
        file.text += piece;
        return true;
    });
    return file;
}

}  // namespace rvx
