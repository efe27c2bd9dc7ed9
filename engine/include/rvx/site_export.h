// A site's motors as a file that a home automation platform imports: a Node-RED flow, a Home
// Assistant package, an openHAB things and items pair. Each motor gets one entry per command,
// named from its label, carrying the frame's bytes themselves (never the byte text).
//
// What a site gives as text (a label, the target's path or host) reaches a file only inside a
// quoted string of that file's format, written by its one escaper, and never in a comment: no
// label can end the string, add a key, an item or a node, or change another entry. Home
// Assistant renders names and commands as templates, so such a text is given to it as literal
// template text. The names of the entries are unique in every file, per motor and command.
//
// The files are written piece after piece into a sink, motor after motor, so that a site of
// any size takes memory for its motors and their names only, never for the whole file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rvx/address.h"
#include "rvx/frame.h"
#include "rvx/line.h"
#include "rvx/motor_list.h"
#include "rvx/notation.h"

namespace rvx {

// Where the platform sends the frames: a serial port on its own machine, or a bridge that
// forwards raw TCP to the bus.
struct SiteTarget {
    enum class Kind : std::uint8_t { Serial, Tcp };
    Kind kind = Kind::Serial;
    std::string device;  // Serial: the device path
    std::string host;    // Tcp: name or address (an IPv6 address without brackets)
    std::uint16_t port = 0;
    unsigned baud = busBaud;  // Serial: the line
    Parity parity = busParity;
};

enum class SiteExportKind : std::uint8_t { NodeRed, HomeAssistant, OpenHabThings, OpenHabItems };

struct SiteExportInfo {
    SiteExportKind kind;
    std::string_view name;    // as --export names it
    std::string_view what;    // for --help
    std::string_view title;   // as a window names the file: "Node-RED flow"
    std::string_view filter;  // a file dialog's filter for it: "Node-RED flow (*.json)"
    std::string_view suffix;  // the end of the file name offered: "-flow.json"
    // Why the platform reaches a serial port only; empty where a bridge will do as well.
    std::string_view serialOnly;
};

inline constexpr std::string_view openHabSerialOnly =
    "openHAB's serial binding reaches a serial port of its own machine";

inline constexpr std::array<SiteExportInfo, 4> siteExportCatalogue{{
    {SiteExportKind::NodeRed, "node-red",
     "a Node-RED flow: an inject node per motor and command, its payload the frame's bytes, "
     "wired to a tcp request node for a bridge, connecting for each frame, or a serial out "
     "node for a port",
     "Node-RED flow", "Node-RED flow (*.json)", "-flow.json", ""},
    {SiteExportKind::HomeAssistant, "home-assistant",
     "a Home Assistant package for release 2025.5 or later: a shell_command per motor and "
     "command that writes the bytes with printf to the port, after stty has set its line, or "
     "through OpenBSD nc (Debian's netcat-openbsd) to the bridge, closing once the frame is "
     "written; a template cover per motor, opened and closed by Up and Down where both are "
     "exported, stopped by Stop, and set to a position by Go to %",
     "Home Assistant package", "YAML (*.yaml)", ".yaml", ""},
    {SiteExportKind::OpenHabThings, "openhab-things",
     "the openHAB .things file: a serial bridge with the HEX charset and a device per motor, "
     "with a channel per command",
     "openHAB things", "openHAB things (*.things)", ".things", openHabSerialOnly},
    {SiteExportKind::OpenHabItems, "openhab-items",
     "the openHAB .items file that goes with it: a String item per motor and command, linked "
     "to its channel",
     "openHAB items", "openHAB items (*.items)", ".items", openHabSerialOnly},
}};

static_assert(siteExportCatalogue[0].kind == SiteExportKind::NodeRed &&
              siteExportCatalogue[1].kind == SiteExportKind::HomeAssistant &&
              siteExportCatalogue[2].kind == SiteExportKind::OpenHabThings &&
              siteExportCatalogue[3].kind == SiteExportKind::OpenHabItems);

[[nodiscard]] std::optional<SiteExportKind> findSiteExport(std::string_view name);
// The row of the table for the kind (the table is in the order of SiteExportKind).
[[nodiscard]] const SiteExportInfo& siteExportInfo(SiteExportKind kind);

// The baud rates stty takes on Linux (GNU coreutils and BusyBox alike): the Home Assistant
// package sets the line with it, and a command with any other rate would always fail.
inline constexpr std::array<unsigned, 30> sttyBaudRates{
    50,     75,     110,     134,     150,     200,     300,     600,     1200,    1800,
    2400,   4800,   9600,    19200,   38400,   57600,   115200,  230400,  460800,  500000,
    576000, 921600, 1000000, 1152000, 1500000, 2000000, 2500000, 3000000, 3500000, 4000000};

struct SiteExportRequest {
    std::span<const Motor> motors;
    SiteTarget target;
    ParameterValues values = startValues();  // admitted values, by ParameterField
    std::vector<std::size_t> rows;           // catalogue rows, in order; empty for all
    Notation notation = Notation::Spaced;    // how the comments beside the bytes show them
};

// Why the platform's file cannot send to this target, or the empty text: openHAB's serial
// binding reaches a serial port only (the table's serialOnly); Home Assistant's stty takes the
// rates of sttyBaudRates only; Node-RED reads a serial port named "${NAME}" or "$(NAME)" as an
// environment variable.
[[nodiscard]] std::string siteTargetProblem(SiteExportKind kind, const SiteTarget& target);

// Why the platform's file cannot be made of this request, or the empty text: the target's
// problem, or a site without motors (a file no platform takes).
[[nodiscard]] std::string siteExportProblem(SiteExportKind kind, const SiteExportRequest& request);

// Where a file goes while it is made: each piece in order. It returns false when the piece
// could not be taken (a write that failed), and nothing more is given to it then.
using SiteExportSink = std::function<bool(std::string_view)>;

// Writes the file of a site for a platform into sink and returns the empty text; or, when the
// file cannot be made (siteExportProblem), gives sink nothing and returns the problem.
std::string writeSiteExport(SiteExportKind kind, const SiteExportRequest& request,
                            const SiteExportSink& sink);

struct SiteExport {
    std::string text;   // the file, whole; empty when refused
    std::string error;  // why the export cannot be made for this target
};

// The file of a site for a platform, whole in memory: writeSiteExport into a string.
[[nodiscard]] SiteExport exportSite(SiteExportKind kind, const SiteExportRequest& request);

// The name a motor is shown by: its label, or its kind and address where it has none; with
// any byte sequence that is not UTF-8 replaced, so that every file stays valid text.
[[nodiscard]] std::string siteMotorName(const Motor& motor);

}  // namespace rvx
