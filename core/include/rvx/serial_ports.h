// How serial ports are named, ordered and chosen among, on every system: the same rules for the
// command line's --list-ports and the window's Bus connection dialog, whatever Qt reports.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rvx {

enum class PortSystem : std::uint8_t { Linux, Windows, MacOS, Other };

// The system this program was built for.
inline constexpr PortSystem thisSystem =
#if defined(__linux__)
    PortSystem::Linux;
#elif defined(_WIN32)
    PortSystem::Windows;
#elif defined(__APPLE__)
    PortSystem::MacOS;
#else
    PortSystem::Other;
#endif

// The name a user writes for a port: its system location without the "\\.\" of Windows device
// paths ("\\.\COM3" is "COM3"); other locations unchanged.
[[nodiscard]] std::string portTargetName(std::string_view systemLocation);

// Ports in the order a user looks for them: by name, a number inside a name by its value, so
// that COM3 comes before COM10 and /dev/ttyUSB2 before /dev/ttyUSB10.
[[nodiscard]] bool portBefore(std::string_view a, std::string_view b);

// What tells a USB serial adapter, which is the bus far more often than a port built in.
struct PortFacts {
    std::string byIdLink;         // Linux: its /dev/serial/by-id link, where udev made one
    bool usbIdentifiers = false;  // the system reports a USB vendor and product identifier
};

// A USB serial adapter: on Linux one with a by-id link; elsewhere, where there are no such
// links, one the system gives USB vendor and product identifiers.
[[nodiscard]] bool isUsbSerialAdapter(const PortFacts& port, PortSystem system = thisSystem);

// Said after the list of ports, where some targets are never listed; empty where there is
// nothing to say (pseudo-terminals and by-id links are Linux's).
[[nodiscard]] std::string_view unlistedTargetsNote(PortSystem system = thisSystem);

}  // namespace rvx
