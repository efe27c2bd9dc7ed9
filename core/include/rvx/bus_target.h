// Where frames for the bus go and on what line, as the user writes them: a serial device or
// tcp://HOST:PORT for a raw TCP serial bridge, the baud rate, the parity and the waits. Read
// and named here in standard C++, so that the command line checks them in every build; the bus
// (rvx/bus.h) opens what they name.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "rvx/line.h"
#include "rvx/site_export.h"

namespace rvx {

struct BusTarget {
    enum class Kind : std::uint8_t { Serial, Tcp };
    Kind kind = Kind::Serial;
    std::string device;      // Serial: the path or port name, UTF-8
    std::string host;        // Tcp: the bridge's name or address (an IPv6 address without brackets)
    std::uint16_t port = 0;  // Tcp

    // The target as the user writes it: the device, or tcp://HOST:PORT.
    [[nodiscard]] std::string text() const;

    friend bool operator==(const BusTarget&, const BusTarget&) = default;
};

struct BusTargetReading {
    std::optional<BusTarget> target;
    std::string problem;  // when there is no target: what is wrong, in one line quoting the text
    std::string reason;   // the same without the text, for a caller that quotes it in its own way
};

// Reads a target text (UTF-8): tcp://HOST:PORT (an IPv6 host in brackets, a port 1 to 65535),
// or else a serial device. White space around the text is ignored. Refused with a message: an
// empty text, another scheme ("udp://..."), a bridge without a port or with a bad one, a
// HOST:PORT without tcp:// (which is no device), control characters, a text that is not UTF-8.
[[nodiscard]] BusTargetReading readBusTarget(std::string_view text);

// "none", "even", "odd", "mark", "space" or their initials, case and blanks around ignored;
// nullopt otherwise.
[[nodiscard]] std::optional<Parity> readParity(std::string_view text);

// The line and the waits of a send or a watch. The durations are the caller's to check: a
// timeout or silence of 0 ends the wait at once.
struct LineSettings {
    std::int32_t baudRate = busBaud;  // any rate the port takes
    Parity parity = busParity;
    // The longest wait for a bridge connection and for the system to take a frame's bytes.
    std::chrono::milliseconds timeout{5000};
    // The quiet time on the line between two frames, counted from the end of the first.
    std::chrono::milliseconds gap{busGap};
    // Watching: a frame still unfinished after this much silence is given up as noise.
    std::chrono::milliseconds silence{watchSilence};
};

// The time bytes take on the line at these settings (rvx/line.h).
[[nodiscard]] std::chrono::milliseconds lineTime(std::size_t bytes, const LineSettings& settings);

// Where a platform's file sends the frames (rvx::exportSite): the target, and for a serial
// port the line of the settings.
[[nodiscard]] SiteTarget siteTargetOf(const BusTarget& target, const LineSettings& settings);

}  // namespace rvx
