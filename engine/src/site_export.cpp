#include "rvx/site_export.h"

#include <algorithm>
#include <set>

#include "rvx/ascii.h"
#include "rvx/catalogue.h"

namespace rvx {

namespace {

// ---- Text that every file format takes ----

// The length of the UTF-8 sequence at text[at], or 0 where none starts there.
std::size_t utf8Length(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    unsigned least = 0;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        least = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    unsigned value = lead & (0x7FU >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (next & 0x3FU);
    }
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    return value < least || value > 0x10FFFF || surrogate ? 0 : length;
}

// The text with each byte that starts no UTF-8 sequence replaced by U+FFFD.
std::string validUtf8(std::string_view text) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8Length(text, at);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++at;
        } else {
            out.append(text, at, length);
            at += length;
        }
    }
    return out;
}

std::string hexEscape(std::string_view lead, unsigned char c, std::size_t digits) {
    std::string out(lead);
    for (std::size_t k = digits; k-- > 0;) {
        out += "0123456789ABCDEF"[(c >> (4 * k)) & 0xF];
    }
    return out;
}

// A JSON string, quotes included; the text is valid UTF-8.
std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (ch == '\n') {
            out += "\\n";
        } else if (c < 0x20 || c == 0x7F) {
            out += hexEscape("\\u", c, 4);
        } else {
            out += ch;
        }
    }
    return out + '"';
}

// A YAML double-quoted scalar; the text is valid UTF-8. The characters that YAML takes for a
// line break (NEL, LS, PS) are escaped too, since a scalar would fold them.
std::string yamlString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t k = 0; k < text.size(); ++k) {
        const char ch = text[k];
        const auto c = static_cast<unsigned char>(ch);
        const std::string_view rest = text.substr(k);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7F) {
            out += hexEscape("\\x", c, 2);
        } else if (rest.starts_with("\xC2\x85")) {
            out += "\\N";
            ++k;
        } else if (rest.starts_with("\xE2\x80\xA8") || rest.starts_with("\xE2\x80\xA9")) {
            out += rest[2] == '\xA8' ? "\\L" : "\\P";
            k += 2;
        } else if (rest.starts_with("\xEF\xBB\xBF")) {
            out += "\\uFEFF";
            k += 2;
        } else {
            out += ch;
        }
    }
    return out + '"';
}

// A string of openHAB's files, on one line: line breaks and control characters are blanks.
std::string openHabString(std::string_view text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7F) {
            out += ' ';
        } else {
            out += ch;
        }
    }
    return out + '"';
}

// A comment's text on one line.
std::string oneLine(std::string_view text) {
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        out += c < 0x20 || c == 0x7F ? ' ' : ch;
    }
    return out;
}

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

// A word for sh in single quotes, a quote in it as '\''.
std::string shellQuote(std::string_view text) {
    std::string out = "'";
    for (const char ch : text) {
        if (ch == '\'') {
            out += "'\\''";
        } else {
            out += ch;
        }
    }
    return out + '\'';
}

// The bytes as printf's octal escapes: POSIX printf writes each as one byte.
std::string printfOctal(const Frame& frame) {
    std::string out;
    for (const std::uint8_t byte : frame) {
        out += '\\';
        out += static_cast<char>('0' + (byte >> 6));
        out += static_cast<char>('0' + ((byte >> 3) & 7));
        out += static_cast<char>('0' + (byte & 7));
    }
    return out;
}

std::string targetText(const SiteTarget& target) {
    if (target.kind == SiteTarget::Kind::Serial) {
        return target.device;
    }
    const bool v6 = target.host.find(':') != std::string::npos;
    return "tcp://" + (v6 ? "[" + target.host + "]" : target.host) + ":" +
           std::to_string(target.port);
}

// ---- The site's rows ----

struct Entry {
    std::size_t motor;  // index into the motors
    std::size_t row;    // catalogue row
    Frame frame{};
};

// The frames of every motor and command asked for, motor by motor.
std::vector<Entry> entriesOf(const SiteExportRequest& request) {
    std::vector<std::size_t> rows = request.rows;
    if (rows.empty()) {
        for (std::size_t row = 0; row < commandCount; ++row) {
            rows.push_back(row);
        }
    }
    std::vector<Entry> entries;
    for (std::size_t m = 0; m < request.motors.size(); ++m) {
        const SiteMotor& motor = request.motors[m];
        for (const std::size_t row : rows) {
            const auto frame =
                frameFor(commandCatalogue[row], motor.kind, motor.address, request.values);
            if (frame) {
                entries.push_back({m, row, *frame});
            }
        }
    }
    return entries;
}

// An identifier per motor from its name, unique in the file: a second motor of the same name
// gets its address too, and a number after that.
std::vector<std::string> motorIds(std::span<const SiteMotor> motors, std::string_view lead) {
    std::vector<std::string> ids;
    std::set<std::string> used;
    for (const SiteMotor& motor : motors) {
        std::string word = slug(siteMotorName(motor));
        if (word.empty()) {
            word = slug(writeBytes(motor.address, Notation::Compact));
        }
        const std::string base = std::string(lead) + word;
        std::string id = base;
        if (used.contains(id)) {
            id = base + "_" + slug(writeBytes(motor.address, Notation::Compact));
        }
        for (int n = 2; used.contains(id); ++n) {
            id = base + "_" + std::to_string(n);
        }
        used.insert(id);
        ids.push_back(id);
    }
    return ids;
}

std::string entryName(const SiteMotor& motor, std::size_t row) {
    return siteMotorName(motor) + " \u2013 " + std::string(commandCatalogue[row].name);
}

// ---- Node-RED ----

std::string nodeRedFlow(const SiteExportRequest& request) {
    const std::vector<Entry> entries = entriesOf(request);
    const std::vector<std::string> ids = motorIds(request.motors, "rvx_");
    const SiteTarget& target = request.target;
    const std::string tab = jsonString("rvx_site");
    const std::string out = jsonString("rvx_bus");
    std::vector<std::string> nodes;
    nodes.push_back("{\"id\": " + tab + ", \"type\": \"tab\", \"label\": \"RVX motors\", " +
                    "\"disabled\": false, \"info\": " +
                    jsonString("The motors of a site on " + validUtf8(targetText(target)) +
                               ", made by rvx-strings.") +
                    "}");
    const std::string outName = jsonString("RVX bus at " + validUtf8(targetText(target)));
    if (target.kind == SiteTarget::Kind::Tcp) {
        // A tcp request node connects for each frame, writes it and closes at once, as a
        // bridge expects; a tcp out client keeps a connection open between frames.
        nodes.push_back("{\"id\": " + out + ", \"type\": \"tcp request\", \"z\": " + tab +
                        ", \"name\": " + outName +
                        ", \"server\": " + jsonString(validUtf8(target.host)) +
                        ", \"port\": " + jsonString(std::to_string(target.port)) +
                        ", \"out\": \"immed\", \"ret\": \"buffer\", \"splitc\": \"0\", " +
                        "\"newline\": \"\", \"trim\": false, \"tls\": \"\", \"x\": 620, " +
                        "\"y\": 40, \"wires\": [[]]}");
    } else {
        const std::string port = jsonString("rvx_port");
        nodes.push_back(
            "{\"id\": " + port + ", \"type\": \"serial-port\", \"name\": \"RVX bus\", " +
            "\"serialport\": " + jsonString(validUtf8(target.device)) +
            ", \"serialbaud\": " + jsonString(std::to_string(target.baud)) +
            ", \"databits\": \"8\", \"parity\": " + jsonString(parityKeyword(target.parity)) +
            ", \"stopbits\": \"1\", \"waitfor\": \"\", \"dtr\": \"none\", \"rts\": " +
            "\"none\", \"cts\": \"none\", \"dsr\": \"none\", \"newline\": \"\", \"bin\": " +
            "\"bin\", \"out\": \"char\", \"addchar\": \"\", \"responsetimeout\": " + "\"10000\"}");
        nodes.push_back("{\"id\": " + out + ", \"type\": \"serial out\", \"z\": " + tab +
                        ", \"name\": " + outName + ", \"serial\": " + port +
                        ", \"x\": 620, \"y\": 40, \"wires\": []}");
    }
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const Entry& entry = entries[k];
        const SiteMotor& motor = request.motors[entry.motor];
        std::string bytes = "[";
        for (std::size_t b = 0; b < entry.frame.size(); ++b) {
            bytes += (b > 0 ? "," : "") + std::to_string(entry.frame[b]);
        }
        bytes += "]";
        const std::string id = ids[entry.motor] + "_" + slug(commandCatalogue[entry.row].plainName);
        nodes.push_back(
            "{\"id\": " + jsonString(id) + ", \"type\": \"inject\", \"z\": " + tab +
            ", \"name\": " + jsonString(entryName(motor, entry.row)) +
            ", \"props\": [{\"p\": \"payload\"}], \"repeat\": \"\", \"crontab\": \"\", " +
            "\"once\": false, \"onceDelay\": 0.1, \"topic\": \"\", \"payload\": " +
            jsonString(bytes) + ", \"payloadType\": \"bin\", \"info\": " +
            jsonString(writeFrame(entry.frame, request.notation)) + ", \"x\": 220, \"y\": " +
            std::to_string(40 + 40 * k) + ", \"wires\": [[" + out + "]]}");
    }
    std::string flow = "[\n";
    for (std::size_t k = 0; k < nodes.size(); ++k) {
        flow += "  " + nodes[k] + (k + 1 < nodes.size() ? ",\n" : "\n");
    }
    return flow + "]\n";
}

// ---- Home Assistant ----

std::string parityWords(Parity parity) {
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

// What sh runs to put bytes on the target: before them (the line set; a port that does not
// take the whole line gets no byte, and the command fails with stty's message) and after
// (where the bytes go), given the words that name the target.
struct ShellTarget {
    std::string before;
    std::string after;
};

ShellTarget shellTarget(const SiteTarget& target, const std::string& device,
                        const std::string& host, const std::string& port) {
    if (target.kind == SiteTarget::Kind::Serial) {
        return {"stty " + std::to_string(target.baud) + " cs8 " + parityWords(target.parity) +
                    " -cstopb raw < " + device + " && ",
                " > " + device};
    }
    return {"", " | nc -w 5 " + host + " " + port};
}

std::string homeAssistantPackage(const SiteExportRequest& request) {
    const std::vector<Entry> entries = entriesOf(request);
    const std::vector<std::string> ids = motorIds(request.motors, "rvx_");
    const SiteTarget& target = request.target;
    const ShellTarget direct = shellTarget(target, shellQuote(target.device),
                                           shellQuote(target.host), std::to_string(target.port));
    std::string out = "# The motors of a site on " + oneLine(validUtf8(targetText(target))) +
                      ", made by rvx-strings.\n# Each command writes the frame's 14 bytes with "
                      "printf's octal escapes, one byte each.\n";
    out += "shell_command:\n";
    std::vector<std::string> names(entries.size());
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const Entry& entry = entries[k];
        names[k] = ids[entry.motor] + "_" + slug(commandCatalogue[entry.row].plainName);
        out += "  # " + oneLine(entryName(request.motors[entry.motor], entry.row)) + ": " +
               writeFrame(entry.frame, request.notation) + "\n";
        out +=
            "  " + names[k] + ": " +
            yamlString(direct.before + "printf '" + printfOctal(entry.frame) + "'" + direct.after) +
            "\n";
    }

    // A cover's position: Home Assistant's 100 is open, the up end, which is 0 % here. The
    // position is a template, so Home Assistant runs the command without a shell: sh is given
    // a script that picks the frame, the position and the target as its arguments.
    const ShellTarget byArgument = shellTarget(target, "\"$2\"", "\"$2\"", "\"$3\"");
    const auto positionCommand = [&](const SiteMotor& motor) {
        std::string script = byArgument.before + "case \"$1\" in";
        for (unsigned position = 0; position <= 100; ++position) {
            ParameterValues values = request.values;
            values[static_cast<std::size_t>(ParameterField::Pct)] = 100.0 - position;
            const auto frame =
                frameFor(commandOf(CommandId::GoToPercent), motor.kind, motor.address, values);
            if (frame) {
                script +=
                    " " + std::to_string(position) + ") printf \"" + printfOctal(*frame) + "\";;";
            }
        }
        script += " *) exit 2;; esac" + byArgument.after;
        const std::string where = target.kind == SiteTarget::Kind::Serial
                                      ? shellQuote(target.device)
                                      : shellQuote(target.host) + " " + std::to_string(target.port);
        return "sh -c " + shellQuote(script) + " rvx {{ position }} " + where;
    };

    out += "\ncover:\n  - platform: template\n    covers:\n";
    for (std::size_t m = 0; m < request.motors.size(); ++m) {
        const SiteMotor& motor = request.motors[m];
        const auto commandOfMotor = [&](CommandId id) -> std::string {
            for (std::size_t k = 0; k < entries.size(); ++k) {
                if (entries[k].motor == m && entries[k].row == rowOf(id)) {
                    return names[k];
                }
            }
            return {};
        };
        out += "      " + ids[m] + ":\n";
        out += "        friendly_name: " + yamlString(siteMotorName(motor)) + "\n";
        constexpr std::array<std::pair<std::string_view, CommandId>, 3> actions{{
            {"open_cover", CommandId::Up},
            {"close_cover", CommandId::Down},
            {"stop_cover", CommandId::Stop},
        }};
        for (const auto& [action, id] : actions) {
            const std::string name = commandOfMotor(id);
            if (!name.empty()) {
                out += "        " + std::string(action) + ":\n          service: shell_command." +
                       name + "\n";
            }
        }
        out += "        set_cover_position:\n          service: shell_command." + ids[m] +
               "_position\n          data:\n            position: \"{{ position }}\"\n";
    }
    // The position commands, after the covers that call them, in a second shell_command block
    // would be refused as a duplicate key: they join the first one.
    std::string positions;
    for (std::size_t m = 0; m < request.motors.size(); ++m) {
        positions += "  # " + oneLine(siteMotorName(request.motors[m])) +
                     ": Go to % from a cover's position (100 open = 0 %)\n";
        positions +=
            "  " + ids[m] + "_position: " + yamlString(positionCommand(request.motors[m])) + "\n";
    }
    const std::size_t coverAt = out.find("\ncover:\n");
    out.insert(coverAt, positions);
    return out;
}

// ---- openHAB ----

std::string openHabThings(const SiteExportRequest& request) {
    const std::vector<Entry> entries = entriesOf(request);
    const std::vector<std::string> ids = motorIds(request.motors, "rvx_");
    const SiteTarget& target = request.target;
    std::string parity(parityKeyword(target.parity));  // the binding's names are in capitals
    std::ranges::transform(parity, parity.begin(), ascii::upper);
    std::string out = "// The motors of a site on " + oneLine(validUtf8(target.device)) +
                      ", made by rvx-strings. The HEX charset writes each byte as given.\n";
    out += "Bridge serial:serialBridge:rvx_bus \"RVX bus\" [ serialPort=" +
           openHabString(validUtf8(target.device)) + ", baudRate=" + std::to_string(target.baud) +
           ", dataBits=8, parity=\"" + parity + "\", stopBits=\"1\", charset=\"HEX\" ] {\n";
    for (std::size_t m = 0; m < request.motors.size(); ++m) {
        const SiteMotor& motor = request.motors[m];
        out += "    Thing serialDevice " + ids[m] + " " + openHabString(siteMotorName(motor)) +
               " [ patternMatch=\"^$\" ] {\n        Channels:\n";
        for (const Entry& entry : entries) {
            if (entry.motor != m) {
                continue;
            }
            const Command& command = commandCatalogue[entry.row];
            out += "            Type string : " + slug(command.plainName) + " " +
                   openHabString(command.name) + " [ commandFormat=\"" +
                   writeFrame(entry.frame, Notation::Spaced) + "\" ]\n";
        }
        out += "    }\n";
    }
    return out + "}\n";
}

std::string openHabItems(const SiteExportRequest& request) {
    const std::vector<Entry> entries = entriesOf(request);
    const std::vector<std::string> ids = motorIds(request.motors, "rvx_");
    std::string out = "// The items of the motors in the .things file made with them.\n";
    for (const Entry& entry : entries) {
        const Command& command = commandCatalogue[entry.row];
        const std::string channel = slug(command.plainName);
        out += "String " + ids[entry.motor] + "_" + channel + " " +
               openHabString(entryName(request.motors[entry.motor], entry.row)) +
               " { channel=\"serial:serialDevice:rvx_bus:" + ids[entry.motor] + ":" + channel +
               "\" }\n";
    }
    return out;
}

}  // namespace

std::optional<SiteExportKind> findSiteExport(std::string_view name) {
    for (const SiteExportInfo& info : siteExportCatalogue) {
        if (info.name == name) {
            return info.kind;
        }
    }
    return std::nullopt;
}

std::string siteMotorName(const SiteMotor& motor) {
    const std::string_view trimmed = ascii::trim(motor.label, ascii::isSpace);
    if (!trimmed.empty()) {
        return validUtf8(trimmed);
    }
    return std::string(motor.kind == AddressKind::Group ? "Group " : "Motor ") +
           writeBytes(motor.address, Notation::Compact);
}

SiteExport exportSite(SiteExportKind kind, const SiteExportRequest& request) {
    switch (kind) {
        case SiteExportKind::NodeRed:
            return {nodeRedFlow(request), {}};
        case SiteExportKind::HomeAssistant:
            return {homeAssistantPackage(request), {}};
        case SiteExportKind::OpenHabThings:
        case SiteExportKind::OpenHabItems:
            if (request.target.kind != SiteTarget::Kind::Serial) {
                return {{},
                        "openHAB's serial binding reaches a serial port of its own machine, not "
                        "a TCP bridge; give the port as TARGET"};
            }
            return {kind == SiteExportKind::OpenHabThings ? openHabThings(request)
                                                          : openHabItems(request),
                    {}};
    }
    return {};
}

}  // namespace rvx
