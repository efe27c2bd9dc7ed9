// The command line of rvx-strings: the arguments as given, read into what the user asks for,
// or every argument that is wrong.
//
// Three tables describe the command line: the options, the modes (what the program is asked to
// do) and the exit statuses. The parser and --help both walk them, and the manual page is made
// from --help, so an option, a mode or an exit status is added in one place. The arguments are
// bytes, never decoded: a file name that is not UTF-8 reaches --batch as it was given.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "batch.h"
#include "output.h"
#include "rvx/address.h"
#include "rvx/catalogue.h"
#include "rvx/frame.h"
#include "rvx/notation.h"

namespace cli {

// ---- Exit statuses ----

inline constexpr int exitSuccess = 0;
inline constexpr int exitFindings = 1;
inline constexpr int exitUsage = 2;
inline constexpr int exitOutput = 3;

struct ExitStatus {
    int status;
    std::string_view meaning;  // a sentence, as --help and the README say it
};

inline constexpr std::array<ExitStatus, 4> exitStatuses{{
    {exitSuccess, "The strings, the report, the help or the version were written."},
    {exitFindings,
     "--decode: FRAME is a frame, but not one that rvx-strings makes from admitted values; the "
     "findings say why."},
    {exitUsage,
     "A bad argument, a bad line in FILE, or a FRAME text that is no frame (a wrong number of "
     "bytes included): each is named on standard error and nothing is written on standard "
     "output."},
    {exitOutput, "Standard output could not be written (a full disk, for instance)."},
}};

// ---- Modes ----

enum class Mode : std::uint8_t { Strings, Decode, Batch, Help, Version };

// The set of modes an option is used with, a bit each.
[[nodiscard]] constexpr unsigned modeBit(Mode mode) {
    return 1U << static_cast<unsigned>(mode);
}

struct ModeInfo {
    Mode mode;
    std::string_view option;  // the option that asks for it ("--decode"); empty for Strings
    bool alone;               // answered whatever else is given: the rest is not looked at
    std::array<Format, 3> formats;
    std::size_t formatCount;       // the formats written, the first being the default
    std::string_view addressHint;  // added when an ADDRESS is given with this mode
    std::string_view groupHint;    // added when --group is given with it

    [[nodiscard]] constexpr std::span<const Format> writtenFormats() const {
        return {formats.data(), formatCount};
    }
};

// Help before version, so that a command line with both is answered with the help; --help
// names the formats of the others in this order.
inline constexpr std::array<ModeInfo, 5> modeCatalogue{{
    // clang-format off
    {Mode::Help,    "--help",    true,  {}, 0, "", ""},
    {Mode::Version, "--version", true,  {}, 0, "", ""},
    {Mode::Strings, "",          false, {Format::Text, Format::Csv, Format::Json}, 3, "", ""},
    {Mode::Decode,  "--decode",  false, {Format::Text, Format::Json}, 2, "", ""},
    {Mode::Batch,   "--batch",   false, {Format::Csv, Format::Json, Format::Text}, 3,
     "the addresses come from FILE", "give the kind on each line of FILE"},
    // clang-format on
}};

[[nodiscard]] const ModeInfo& modeInfo(Mode mode);

// ---- Options ----

enum class OptionKind : std::uint8_t {
    Group,      // --group: ADDRESS is a group address
    Mode,       // asks for a mode; its value, if it takes one, is what the mode works on
    Parameter,  // a parameter value N of the frames
    Command,    // --command NAME
    Notation,   // --notation NAME
    Format,     // --format FORMAT
};

struct OptionInfo {
    std::string_view name;       // "ip": written --ip, or -ip
    char letter;                 // a one-letter form (-h); 0 for none
    std::string_view valueName;  // what the value is called ("N"); empty for a switch
    OptionKind kind;
    Mode mode;                  // OptionKind::Mode: the mode asked for
    rvx::ParameterField field;  // OptionKind::Parameter: the field whose value is given
    unsigned usedWith;          // the modes the option is used with (modeBit)
    std::string_view help;      // for --help; a parameter's admitted values and default follow
};

namespace detail {
inline constexpr unsigned anyMode = modeBit(Mode::Strings) | modeBit(Mode::Decode) |
                                    modeBit(Mode::Batch) | modeBit(Mode::Help) |
                                    modeBit(Mode::Version);
inline constexpr unsigned making = modeBit(Mode::Strings) | modeBit(Mode::Batch);
inline constexpr unsigned writing = making | modeBit(Mode::Decode);
inline constexpr OptionInfo parameterOption(std::string_view name, rvx::ParameterField field,
                                            std::string_view help) {
    return {name, 0, "N", OptionKind::Parameter, Mode::Strings, field, making, help};
}
}  // namespace detail

// In the order --help lists them.
inline constexpr std::array<OptionInfo, 15> optionCatalogue{{
    {"help",
     'h',
     "",
     OptionKind::Mode,
     Mode::Help,
     {},
     detail::anyMode,
     "Show this help and exit."},
    {"version",
     'v',
     "",
     OptionKind::Mode,
     Mode::Version,
     {},
     detail::anyMode,
     "Show the version and exit."},
    {"group",
     0,
     "",
     OptionKind::Group,
     Mode::Strings,
     {},
     modeBit(Mode::Strings),
     "ADDRESS is a group address."},
    detail::parameterOption("down", rvx::ParameterField::RU, "Down value"),
    detail::parameterOption("ip", rvx::ParameterField::IP, "IP number of Go to IP #"),
    detail::parameterOption("percent", rvx::ParameterField::Pct,
                            "Percentage of Go to % (0 is the up end)"),
    detail::parameterOption("jog-up", rvx::ParameterField::MSU, "Jog Up count of 10 ms"),
    detail::parameterOption("jog-down", rvx::ParameterField::MSD, "Jog Down count of 10 ms"),
    detail::parameterOption("priority", rvx::ParameterField::L, "Priority of the lock commands"),
    detail::parameterOption("lock-ip", rvx::ParameterField::IPL, "IP number of Lock @ IP #"),
    {"command",
     0,
     "NAME",
     OptionKind::Command,
     Mode::Strings,
     {},
     detail::making,
     "Print only this command's string. NAME is one of the commands listed below, in either "
     "form, case ignored."},
    {"notation",
     0,
     "NAME",
     OptionKind::Notation,
     Mode::Strings,
     {},
     detail::writing,
     "How the bytes are written:"},
    {"format",
     0,
     "FORMAT",
     OptionKind::Format,
     Mode::Strings,
     {},
     detail::writing,
     "Output format:"},
    {"decode",
     0,
     "FRAME",
     OptionKind::Mode,
     Mode::Decode,
     {},
     modeBit(Mode::Decode),
     "Check FRAME and say what it does: command, address, parameters and every fault found."},
    {"batch",
     0,
     "FILE",
     OptionKind::Mode,
     Mode::Batch,
     {},
     modeBit(Mode::Batch),
     "Print the strings of every motor in FILE (\"-\" for standard input), one per line: "
     "ADDRESS[,single|group[,LABEL]]; blank lines and lines starting with # are skipped. "
     "Columns label, kind, address, command, string. FILE is read twice, first to check every "
     "line and then to write the table; standard input, or a pipe, is copied to a temporary "
     "file for this."},
}};

// ---- What the arguments ask for ----

// The strings of one address.
struct StringsRequest {
    rvx::AddressKind kind = rvx::AddressKind::Single;
    rvx::Address address{};
    rvx::ParameterValues values = rvx::startValues();  // admitted values, by ParameterField
    std::vector<std::size_t> rows;                     // catalogue rows, in order
    bool oneCommand = false;  // --command was given: as text, the string alone is printed
    Format format = Format::Text;
    rvx::Notation notation = rvx::Notation::Spaced;
};

// A frame to check: always fourteen bytes; any other count is refused as no frame.
struct DecodeRequest {
    rvx::Frame frame{};
    rvx::Notation notation = rvx::Notation::Spaced;  // the notation the text was read in
    Format format = Format::Text;
};

struct HelpRequest {};
struct VersionRequest {};

using Request = std::variant<StringsRequest, DecodeRequest, BatchJob, HelpRequest, VersionRequest>;

struct ParsedArguments {
    std::optional<Request> request;   // set when every argument is right
    std::vector<std::string> errors;  // otherwise every fault, one complete line each (without
                                      // its line break), in the order of the arguments
};

// Reads the arguments after the program's name, as the bytes given. Options may stand before
// or after ADDRESS; a value follows its option as the next argument or after "=" (--ip=3); long
// options may be written with one dash (-ip 3); "--" ends the options. An option that takes a
// value may be given once. --help and --version are answered whatever else is given.
[[nodiscard]] ParsedArguments parseArguments(const std::vector<std::string>& arguments);

// What --help prints: lines of at most helpWidth characters, no name of a command split.
inline constexpr std::size_t helpWidth = 79;
[[nodiscard]] std::string helpText();

}  // namespace cli
