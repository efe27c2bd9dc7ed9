// --help, written from the tables of options, modes and exit statuses. help2man makes the
// manual page from it: "Options:" starts its OPTIONS section, a line ending in a colon and
// followed by indented lines a subsection, and indented "tag  text" lines become tagged
// paragraphs, so the layout below is kept to those forms.
#include <algorithm>

#include "arguments.h"
#include "rvx/catalogue.h"
#include "rvx/number.h"

namespace cli {

namespace {

bool startsWord(std::string_view text, std::size_t at, std::string_view word) {
    const std::size_t end = at + word.size();
    return text.substr(at).starts_with(word) &&
           (end == text.size() || text[end] == ' ' || text[end] == ':' || text[end] == ',' ||
            text[end] == '.' || text[end] == ')');
}

// The words of a text. A command's name is one word even where it holds blanks ("Go to IP #"),
// so that no line break ever falls inside it.
std::vector<std::string_view> wordsOf(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < text.size()) {
        if (text[at] == ' ') {
            ++at;
            continue;
        }
        std::size_t unbroken = at;
        for (const auto& command : rvx::commandCatalogue) {
            if (startsWord(text, at, command.name)) {
                unbroken = std::max(unbroken, at + command.name.size());
            }
        }
        const std::size_t end = std::min(text.find(' ', unbroken), text.size());
        words.push_back(text.substr(at, end - at));
        at = end;
    }
    return words;
}

// Appends a paragraph: lead (padded to indent) on its first line, then the text's words filled
// into lines of at most helpWidth characters, the following lines indented.
void fill(std::string& out, std::string_view lead, std::string_view text, std::size_t indent) {
    std::string line(lead);
    if (!line.empty()) {
        line.resize(std::max(line.size() + 2, indent), ' ');
    }
    bool lineHasWord = false;
    for (const std::string_view word : wordsOf(text)) {
        if (lineHasWord && line.size() + 1 + word.size() > helpWidth) {
            out += line + '\n';
            line.assign(indent, ' ');
            lineHasWord = false;
        }
        if (lineHasWord) {
            line += ' ';
        }
        line += word;
        lineHasWord = true;
    }
    out += line + '\n';
}

// What an option's help says after its own words: the admitted values and the default of a
// parameter, the names of the notations, the formats of each mode.
std::string optionDetails(const OptionInfo& option) {
    switch (option.kind) {
        case OptionKind::Parameter: {
            const auto& info = rvx::parameterInfo(option.field);
            return ": " + std::string(info.admittedText) + " (default " +
                   std::string(info.startText) + ").";
        }
        case OptionKind::Notation: {
            std::vector<std::string> names;
            for (const auto& info : rvx::notationCatalogue) {
                names.push_back(std::string(info.name) +
                                (info.notation == rvx::Notation::Spaced ? " (default)" : ""));
            }
            // Appended rather than added: GCC 12 warns falsely of an overlap (-Wrestrict) for a
            // literal added to a string in the release build.
            std::string text = " ";
            text += alternatives(names);
            text +=
                ". With --decode, the notation to read; the hexadecimal ones are recognised "
                "without it, decimal is read only when named.";
            return text;
        }
        case OptionKind::Format: {
            std::string text;
            for (const ModeInfo& mode : modeCatalogue) {
                if (mode.formatCount == 0) {
                    continue;
                }
                std::vector<std::string> names;
                for (const Format format : mode.writtenFormats()) {
                    names.push_back(std::string(formatName(format)) +
                                    (format == mode.formats[0] ? " (default)" : ""));
                }
                text += text.empty() ? " " : "; with " + std::string(mode.option) + " ";
                text += alternatives(names);
            }
            return text + ".";
        }
        case OptionKind::Baud:
            return ": " + rvx::plainDecimal(minBaud) + " to " + rvx::plainDecimal(maxBaud) +
                   " (default " + std::to_string(rvx::LineSettings{}.baudRate) + ").";
        case OptionKind::Parity: {
            std::vector<std::string> names;
            for (const auto parity : rvx::parities) {
                names.push_back(std::string(rvx::parityKeyword(parity)) +
                                (parity == rvx::LineSettings{}.parity ? " (default)" : ""));
            }
            return " " + alternatives(names) + ".";
        }
        case OptionKind::Timeout: {
            const auto seconds = static_cast<double>(rvx::LineSettings{}.timeout.count()) / 1000;
            return ", in seconds: " + rvx::plainDecimal(minTimeoutSeconds) + " to " +
                   rvx::plainDecimal(maxTimeoutSeconds) + " (default " +
                   rvx::plainDecimal(seconds) + ").";
        }
        case OptionKind::Count:
            return ".";
        case OptionKind::Group:
        case OptionKind::Mode:
        case OptionKind::Command:
        case OptionKind::Send:
        case OptionKind::Target:
        case OptionKind::Output:
            break;
        case OptionKind::Export: {
            std::vector<std::string> names{"csv (the table)", "json (the table)"};
            for (const rvx::SiteExportInfo& info : rvx::siteExportCatalogue) {
                names.push_back(std::string(info.name) + " (" + std::string(info.what) + ")");
            }
            std::string text = " ";
            text += alternatives(names);
            text += ".";
            return text;
        }
    }
    return {};
}

std::string optionLead(const OptionInfo& option) {
    std::string lead = "  ";
    if (option.letter != 0) {
        lead += std::string("-") + option.letter + ", ";
    }
    lead += "--" + std::string(option.name);
    if (!option.valueName.empty()) {
        lead += " <" + std::string(option.valueName) + ">";
    }
    return lead;
}

}  // namespace

std::string helpText() {
    std::string out =
        "Usage: rvx-strings [--group] ADDRESS [OPTION]...\n"
        "  or:  rvx-strings [--group] ADDRESS --command NAME [OPTION]... --send TARGET\n"
        "  or:  rvx-strings --decode FRAME [--notation NAME] [--format FORMAT]\n"
        "  or:  rvx-strings --decode FRAME [--notation NAME] --send TARGET\n"
        "  or:  rvx-strings --batch FILE [OPTION]...\n"
        "  or:  rvx-strings --monitor TARGET [--count N] [--format FORMAT]\n"
        "  or:  rvx-strings --list-ports [--format FORMAT]\n";
    fill(out, "",
         "Print the command strings of the RVX serial motor bus for a single motor or group "
         "address: 14-byte frames as hexadecimal byte text, checksum included. Or check a given "
         "string, or print the strings of a whole list of motors. Or send one frame to the "
         "motors, watch the bus, or list the serial ports.",
         0);
    out += '\n';
    fill(out, "",
         "ADDRESS is six hexadecimal digits, in either case. The values N are decimal numbers "
         "with a point as the decimal separator (12.5, 1e2); fractions inside the admitted "
         "values are rounded as the frames require.",
         0);

    out += "\nOptions:\n";
    std::size_t indent = 0;
    for (const OptionInfo& option : optionCatalogue) {
        indent = std::max(indent, optionLead(option).size() + 2);
    }
    for (const OptionInfo& option : optionCatalogue) {
        fill(out, optionLead(option), std::string(option.help) + optionDetails(option), indent);
    }
    out += '\n';
    fill(out, "",
         "A value follows its option as the next argument or after \"=\" (--ip=3). Long options "
         "may also be written with one dash (-ip 3), and options may stand before or after "
         "ADDRESS. An option that takes a value is given once. Every bad argument is reported, "
         "and nothing is written then.",
         0);
    out += '\n';
    fill(out, "",
         "TARGET is a serial port (/dev/ttyUSB0, a link in /dev/serial/by-id, COM3) or a serial "
         "bridge that forwards raw TCP to its serial line, written tcp://HOST:PORT. The line is "
         "4800 baud, 8 data bits, odd parity and 1 stop bit unless --baud or --parity say "
         "otherwise; a bridge keeps its own line settings, which must match. Nothing is sent "
         "without --send, and --send sends one frame.",
         0);

    out += "\nNotations for --notation, as each writes Up for motor 123456:\n";
    const rvx::Frame up =
        *rvx::frameFor(rvx::commandOf(rvx::CommandId::Up), rvx::AddressKind::Single,
                       {0x12, 0x34, 0x56}, rvx::startValues());
    for (const auto& info : rvx::notationCatalogue) {
        fill(out, "  " + std::string(info.name),
             std::string(info.platform) + ": " + rvx::writeFrame(up, info.notation), 12);
    }
    out += '\n';
    fill(out, "",
         "Each byte above 7F must travel as that one byte. A controller, a shell or a file "
         "that takes the string as text may send it as two bytes of UTF-8 (A9 going out as "
         "C2 A9), and the motor ignores the frame. Give the bytes in the platform's own "
         "notation:",
         0);
    for (const auto& info : rvx::notationCatalogue) {
        if (!info.rawBytes.empty()) {
            fill(out, "  ", info.rawBytes, 2);
        }
    }

    out += "\nCommands for --command, by either name:\n";
    std::size_t nameWidth = 0;
    for (const auto& command : rvx::commandCatalogue) {
        nameWidth = std::max(nameWidth, command.plainName.size());
    }
    for (const auto& command : rvx::commandCatalogue) {
        fill(out, "  " + std::string(command.plainName), command.name, nameWidth + 4);
    }

    out += "\nExit status:\n";
    for (const ExitStatus& status : exitStatuses) {
        fill(out, "  " + std::to_string(status.status), status.meaning, 5);
    }
    return out;
}

}  // namespace cli
