// The command line of rvx-strings: the arguments as given, read into what the user asks for,
// or every argument that is wrong.
//
// Three tables describe the command line: the options, the modes (what the program is asked to
// do) and the exit statuses. The parser and --help both walk them, and the manual page is made
// from --help, so an option, a mode or an exit status is added in one place. The arguments are
// bytes, never decoded: a file name that is not UTF-8 reaches --batch as it was given. Only a
// TARGET is read as UTF-8 text, since the bus names ports in text.
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
#include "rvx/bus_target.h"
#include "rvx/catalogue.h"
#include "rvx/frame.h"
#include "rvx/notation.h"

namespace cli {

// ---- Exit statuses (their numbers: output.h) ----

struct ExitStatus {
    int status;
    std::string_view meaning;  // a sentence, as --help and the README say it
};

inline constexpr std::array<ExitStatus, 5> exitStatuses{{
    {exitSuccess,
     "The strings, the report, the list of ports, the help or the version were written; the "
     "frame of --send has left on a serial line, or a bridge took it (no bridge reports "
     "delivery to its own line); --monitor was stopped by Ctrl+C or --count."},
    {exitFindings,
     "--decode: FRAME is a frame, but not one that rvx-strings makes from admitted values; the "
     "findings say why. With --send it is not sent."},
    {exitUsage,
     "A bad argument, a bad line in FILE, or a FRAME text that is no frame (a wrong number of "
     "bytes included): each is named on standard error and nothing is written on standard "
     "output."},
    {exitOutput,
     "Standard output, or the FILE of --output, could not be written (a full disk, for "
     "instance)."},
    {exitBus,
     "The bus could not be used: the port is absent, in use or not permitted, the bridge "
     "refused the connection, is not known or did not confirm the frame, a wait timed out, the "
     "port was lost, or --send was interrupted. The message is on standard error and nothing "
     "is written on standard output; --monitor keeps what it wrote before."},
}};

// ---- Modes ----

enum class Mode : std::uint8_t { Strings, Decode, Batch, Monitor, ListPorts, Help, Version };

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
inline constexpr std::array<ModeInfo, 7> modeCatalogue{{
    // clang-format off
    {Mode::Help,      "--help",       true,  {}, 0, "", ""},
    {Mode::Version,   "--version",    true,  {}, 0, "", ""},
    {Mode::Strings,   "",             false, {Format::Text, Format::Csv, Format::Json}, 3, "", ""},
    {Mode::Decode,    "--decode",     false, {Format::Text, Format::Json}, 2, "", ""},
    {Mode::Batch,     "--batch",      false, {Format::Csv, Format::Json, Format::Text}, 3,
     "the addresses come from FILE", "give the kind on each line of FILE"},
    {Mode::Monitor,   "--monitor",    false, {Format::Text, Format::Json}, 2,
     "the frames come from TARGET", ""},
    {Mode::ListPorts, "--list-ports", false, {Format::Text, Format::Json}, 2, "", ""},
    // clang-format on
}};

[[nodiscard]] const ModeInfo& modeInfo(Mode mode);

// ---- Options ----

// The admitted values of the bus options. Baud rates from the slowest a serial port offers to
// the fastest of common USB adapters; waits up to an hour; counts up to a billion frames.
inline constexpr double minBaud = 50;
inline constexpr double maxBaud = 4'000'000;
inline constexpr double minTimeoutSeconds = 0.001;
inline constexpr double maxTimeoutSeconds = 3600;
inline constexpr double maxCount = 1'000'000'000;

enum class OptionKind : std::uint8_t {
    Group,      // --group: ADDRESS is a group address
    Mode,       // asks for a mode; its value, if it takes one, is what the mode works on
    Parameter,  // a parameter value N of the frames
    Command,    // --command NAME
    Notation,   // --notation NAME
    Format,     // --format FORMAT
    Send,       // --send TARGET: the one frame goes onto the bus
    Baud,       // --baud N, --parity NAME, --timeout SECONDS: the line, for --send and --monitor
    Parity,
    Timeout,
    Count,   // --count N: --monitor stops after N frames
    Export,  // --export KIND: --batch writes a file a platform imports
    Target,  // --target TARGET: where the platform of --export sends the frames
    Output,  // --output FILE: the result goes into FILE, whole or not at all
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
inline constexpr unsigned anyMode =
    modeBit(Mode::Strings) | modeBit(Mode::Decode) | modeBit(Mode::Batch) | modeBit(Mode::Monitor) |
    modeBit(Mode::ListPorts) | modeBit(Mode::Help) | modeBit(Mode::Version);
inline constexpr unsigned making = modeBit(Mode::Strings) | modeBit(Mode::Batch);
inline constexpr unsigned writing = making | modeBit(Mode::Decode);
inline constexpr unsigned sending = modeBit(Mode::Strings) | modeBit(Mode::Decode);
// The line options: with --send, or with --monitor.
inline constexpr unsigned onTheBus = sending | modeBit(Mode::Monitor);
// Baud rate and parity: on the bus, or the line an export's platform sets.
inline constexpr unsigned onTheLine = onTheBus | modeBit(Mode::Batch);
inline constexpr OptionInfo busOption(std::string_view name, std::string_view valueName,
                                      OptionKind kind, unsigned usedWith, std::string_view help) {
    return {name, 0, valueName, kind, Mode::Strings, {}, usedWith, help};
}
inline constexpr OptionInfo parameterOption(std::string_view name, rvx::ParameterField field,
                                            std::string_view help) {
    return {name, 0, "N", OptionKind::Parameter, Mode::Strings, field, making, help};
}
}  // namespace detail

// In the order --help lists them.
inline constexpr std::array<OptionInfo, 25> optionCatalogue{{
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
     detail::writing | modeBit(Mode::Monitor) | modeBit(Mode::ListPorts),
     "Output format:"},
    {"output",
     'o',
     "FILE",
     OptionKind::Output,
     Mode::Strings,
     {},
     detail::writing | modeBit(Mode::Monitor) | modeBit(Mode::ListPorts),
     "Write the result into FILE instead of standard output, as bytes, whatever the shell: "
     "into a new file beside it first, which replaces FILE only once all is written, so that "
     "FILE is written whole or left as it was. --monitor puts its lines in place when it "
     "ends."},
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
    detail::busOption("export", "KIND", OptionKind::Export, modeBit(Mode::Batch),
                      "With --batch, write the motors as a file that a platform imports, "
                      "instead of the table:"),
    detail::busOption("target", "TARGET", OptionKind::Target, modeBit(Mode::Batch),
                      "With --export, where the platform sends the frames: its serial port, or "
                      "tcp://HOST:PORT for a bridge. Needed for node-red, home-assistant and "
                      "the openhab files; the line is 4800 8O1."),
    detail::busOption("send", "TARGET", OptionKind::Send, detail::sending,
                      "Send one frame to TARGET: the string of --command, or the FRAME of "
                      "--decode when it is valid. Nothing else is ever sent. A bridge "
                      "(tcp://HOST:PORT) must show that it read the frame by closing the "
                      "connection after it, as ser2net does; the frame is then said to be taken "
                      "by the bridge, not sent, since no bridge reports delivery to its own "
                      "line. Where the system cannot tell, the frame is said to be handed to the "
                      "bridge, which does not confirm delivery."),
    detail::busOption("baud", "N", OptionKind::Baud, detail::onTheLine,
                      "Baud rate of the serial line, with --send or --monitor, or that the "
                      "platform of --export sets on its serial --target (for home-assistant "
                      "one that stty takes)"),
    detail::busOption("parity", "NAME", OptionKind::Parity, detail::onTheLine,
                      "Parity of the serial line, with --send, --monitor or --export:"),
    detail::busOption("timeout", "SECONDS", OptionKind::Timeout, detail::onTheBus,
                      "The longest wait for a bridge's name and connection, for a frame to be "
                      "taken and sent, and for a bridge to confirm it; the program ends within "
                      "it"),
    {"monitor",
     0,
     "TARGET",
     OptionKind::Mode,
     Mode::Monitor,
     {},
     modeBit(Mode::Monitor),
     "Watch the bus at TARGET and report every frame and every run of bytes that belongs to no "
     "frame as they arrive, until Ctrl+C. Nothing is sent."},
    detail::busOption("count", "N", OptionKind::Count, modeBit(Mode::Monitor),
                      "With --monitor, stop after N frames (frames with findings count, noise "
                      "does not)"),
    {"list-ports",
     0,
     "",
     OptionKind::Mode,
     Mode::ListPorts,
     {},
     modeBit(Mode::ListPorts),
     "List the serial ports of this machine: description, maker, serial number and "
     "/dev/serial/by-id link; a port the system knows nothing of is marked. A pseudo-terminal "
     "or a link to a port is a target too."},
}};

// ---- What the arguments ask for ----

// Where a frame goes or the frames come from, and the line.
struct BusRequest {
    rvx::BusTarget target;
    rvx::LineSettings settings;  // baud rate, parity and timeout as given, the rest default
};

// The strings of one address.
struct StringsRequest {
    rvx::AddressKind kind = rvx::AddressKind::Single;
    rvx::Address address{};
    rvx::ParameterValues values = rvx::startValues();  // admitted values, by ParameterField
    std::vector<std::size_t> rows;                     // catalogue rows, in order
    bool oneCommand = false;  // --command was given: as text, the string alone is printed
    Format format = Format::Text;
    rvx::Notation notation = rvx::Notation::Spaced;
    std::optional<BusRequest> send;  // --send: the one row's frame goes there
};

// A frame to check: always fourteen bytes; any other count is refused as no frame.
struct DecodeRequest {
    rvx::Frame frame{};
    rvx::Notation notation = rvx::Notation::Spaced;  // the notation the text was read in
    Format format = Format::Text;
    std::optional<BusRequest> send;  // --send: the frame goes there if the decoder finds no fault
};

// Watching the bus.
struct MonitorRequest {
    BusRequest bus;
    Format format = Format::Text;
    std::optional<std::uint64_t> count;  // --count: stop after so many frames
};

struct ListPortsRequest {
    Format format = Format::Text;
};

struct HelpRequest {};
struct VersionRequest {};

using Request = std::variant<StringsRequest, DecodeRequest, BatchJob, MonitorRequest,
                             ListPortsRequest, HelpRequest, VersionRequest>;

struct ParsedArguments {
    std::optional<Request> request;     // set when every argument is right
    std::vector<std::string> errors;    // otherwise every fault, one complete line each (without
                                        // its line break), in the order of the arguments
    std::optional<std::string> output;  // --output FILE, the bytes given
};

// Reads the arguments after the program's name, as the bytes given. Options may stand before
// or after ADDRESS; a value follows its option as the next argument or after "=" (--ip=3); long
// options may be written with one dash (-ip 3); "--" ends the options. An option that takes a
// value may be given once. --help and --version are answered whatever else is given.
// A TARGET is checked here (readBusTarget), so that a wrong one is a bad argument like any other.
[[nodiscard]] ParsedArguments parseArguments(const std::vector<std::string>& arguments);

// What --help prints: lines of at most helpWidth characters, no name of a command split.
inline constexpr std::size_t helpWidth = 79;
[[nodiscard]] std::string helpText();

}  // namespace cli
