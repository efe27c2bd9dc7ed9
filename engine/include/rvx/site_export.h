// A site's motors as a file that a home automation platform imports: a Node-RED flow, a Home
// Assistant package, an openHAB things and items pair. Each motor gets one entry per command,
// named from its label, carrying the frame's bytes themselves (never the byte text).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rvx/address.h"
#include "rvx/frame.h"
#include "rvx/line.h"
#include "rvx/notation.h"

namespace rvx {

// One motor of a site, as a motor list names it.
struct SiteMotor {
    Address address{};
    AddressKind kind = AddressKind::Single;
    std::string label;  // the user's name for it; may be empty, any bytes
};

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
    std::string_view name;  // as --export names it
    std::string_view what;  // for --help
};

inline constexpr std::array<SiteExportInfo, 4> siteExportCatalogue{{
    {SiteExportKind::NodeRed, "node-red",
     "a Node-RED flow: an inject node per motor and command, its payload the frame's bytes, "
     "wired to a tcp out node for a bridge or a serial out node for a port"},
    {SiteExportKind::HomeAssistant, "home-assistant",
     "a Home Assistant package: a shell_command per motor and command that writes the bytes "
     "with printf to the port or through nc to the bridge, and a template cover per motor"},
    {SiteExportKind::OpenHabThings, "openhab-things",
     "the openHAB .things file: a serial bridge with the HEX charset and a device per motor"},
    {SiteExportKind::OpenHabItems, "openhab-items",
     "the openHAB .items file that goes with it: a rollershutter and a string item per motor"},
}};

[[nodiscard]] std::optional<SiteExportKind> findSiteExport(std::string_view name);

struct SiteExportRequest {
    std::span<const SiteMotor> motors;
    SiteTarget target;
    ParameterValues values = startValues();  // admitted values, by ParameterField
    std::vector<std::size_t> rows;           // catalogue rows, in order; empty for all
    Notation notation = Notation::Spaced;    // how the comments beside the bytes show them
};

struct SiteExport {
    std::string text;   // the file, whole; empty when refused
    std::string error;  // why the export cannot be made for this target
};

// The file of a site for a platform. openHAB's serial binding reaches a serial port only, so
// its files are refused for a bridge.
[[nodiscard]] SiteExport exportSite(SiteExportKind kind, const SiteExportRequest& request);

// The name a motor is shown by: its label, or its kind and address where it has none; with
// any byte sequence that is not UTF-8 replaced, so that every file stays valid text.
[[nodiscard]] std::string siteMotorName(const SiteMotor& motor);

}  // namespace rvx
