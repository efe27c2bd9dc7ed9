#include "rvx/bus_target.h"

#include <algorithm>
#include <array>

#include "rvx/ascii.h"
#include "rvx/message.h"

namespace rvx {

namespace {

constexpr std::string_view tcpScheme = "tcp://";

// The code point of the valid UTF-8 character of length bytes at offset.
char32_t codePoint(std::string_view text, std::size_t offset, std::size_t length) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[offset + k]); };
    switch (length) {
        case 1:
            return byte(0);
        case 2:
            return static_cast<char32_t>((byte(0) & 0x1FU) << 6U | (byte(1) & 0x3FU));
        case 3:
            return static_cast<char32_t>((byte(0) & 0x0FU) << 12U | (byte(1) & 0x3FU) << 6U |
                                         (byte(2) & 0x3FU));
        default:
            return static_cast<char32_t>((byte(0) & 0x07U) << 18U | (byte(1) & 0x3FU) << 12U |
                                         (byte(2) & 0x3FU) << 6U | (byte(3) & 0x3FU));
    }
}

// White space of Unicode: what a user may paste around a name without meaning it.
bool isWhiteSpace(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

// The C0 and C1 control characters, and DEL.
bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// The text without white space at either end; text is valid UTF-8.
std::string_view trimmed(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = begin;
    bool seen = false;
    for (std::size_t offset = 0; offset < text.size();) {
        const std::size_t length = ascii::utf8Length(text, offset);
        if (!isWhiteSpace(codePoint(text, offset, length))) {
            if (!seen) {
                begin = offset;
                seen = true;
            }
            end = offset + length;
        }
        offset += length;
    }
    return seen ? text.substr(begin, end - begin) : std::string_view();
}

bool hasControlCharacter(std::string_view text) {
    for (std::size_t offset = 0; offset < text.size();) {
        const std::size_t length = ascii::utf8Length(text, offset);
        if (isControl(codePoint(text, offset, length))) {
            return true;
        }
        offset += length;
    }
    return false;
}

BusTargetReading refuse(std::string_view text, std::string why) {
    return {std::nullopt, "target " + quoted(text) + ": " + why, why};
}

// An IPv6 address holds colons, so it goes in brackets where a port follows it.
bool needsBrackets(std::string_view host) {
    return host.find(':') != std::string_view::npos;
}

bool allOf(std::string_view text, bool (*test)(char)) {
    return std::all_of(text.begin(), text.end(), test);
}

bool isHostCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || ascii::isDigit(c) || c == '.' ||
           c == '_' || c == ':' || c == '%' || c == '-';
}

bool isShortHostCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || ascii::isDigit(c) || c == '.' ||
           c == '-';
}

bool isDigitCharacter(char c) {
    return ascii::isDigit(c);
}

BusTargetReading readBridge(std::string_view text) {
    const std::string_view rest = text.substr(tcpScheme.size());
    const std::string form = "write a bridge as tcp://HOST:PORT";
    std::string_view host;
    std::string_view portText;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string_view::npos || rest.substr(close + 1, 1) != ":") {
            return refuse(text,
                          "an IPv6 address goes in brackets with a port after them, as "
                          "tcp://[::1]:4001");
        }
        host = rest.substr(1, close - 1);
        portText = rest.substr(close + 2);
    } else {
        if (rest.empty()) {
            return refuse(text, "no host and no port; " + form);
        }
        const auto colon = rest.rfind(':');
        if (colon == std::string_view::npos) {
            return refuse(text, "no port; " + form);
        }
        host = rest.substr(0, colon);
        portText = rest.substr(colon + 1);
        if (needsBrackets(host)) {
            return refuse(text, "an IPv6 address goes in brackets, as tcp://[::1]:4001");
        }
    }
    if (host.empty()) {
        return refuse(text, "no host; " + form);
    }
    if (!allOf(host, isHostCharacter)) {
        return refuse(text, quoted(host) + " is no host name or address");
    }
    unsigned port = 0;
    if (!portText.empty() && portText.size() <= 5 && allOf(portText, isDigitCharacter)) {
        for (const char c : portText) {
            port = port * 10 + static_cast<unsigned>(c - '0');
        }
    }
    if (port < 1 || port > 65535) {
        return refuse(text, "the port must be a number from 1 to 65535");
    }
    BusTarget target;
    target.kind = BusTarget::Kind::Tcp;
    target.host = std::string(host);
    target.port = static_cast<std::uint16_t>(port);
    return {target, {}, {}};
}

}  // namespace

std::string BusTarget::text() const {
    if (kind == Kind::Serial) {
        return device;
    }
    const std::string shownHost = needsBrackets(host) ? "[" + host + "]" : host;
    return std::string(tcpScheme) + shownHost + ":" + std::to_string(port);
}

BusTargetReading readBusTarget(std::string_view text) {
    if (!ascii::isValidUtf8(text)) {
        return refuse(text, "not UTF-8 text");
    }
    const std::string_view given = trimmed(text);
    if (given.empty()) {
        const std::string name =
            "name a serial port (/dev/ttyUSB0, COM3) or a bridge (tcp://HOST:PORT)";
        return {std::nullopt, "no target: " + name, "empty; " + name};
    }
    if (hasControlCharacter(given)) {
        return refuse(given, "holds a control character");
    }
    if (ascii::equalIgnoringCase(given.substr(0, tcpScheme.size()), tcpScheme)) {
        return readBridge(given);
    }
    if (const auto scheme = given.find("://"); scheme != std::string_view::npos) {
        return refuse(given, quoted(given.substr(0, scheme + 3)) +
                                 " is no kind of target here; name a serial port or a bridge "
                                 "as tcp://HOST:PORT");
    }
    // An address and a port without the scheme is a bridge written short, not a device.
    if (const auto colon = given.find(':'); colon != std::string_view::npos && colon > 0 &&
                                            colon + 1 < given.size() &&
                                            allOf(given.substr(0, colon), isShortHostCharacter) &&
                                            allOf(given.substr(colon + 1), isDigitCharacter)) {
        return refuse(given, "no serial port; for a bridge write tcp://" + std::string(given));
    }
    BusTarget target;
    target.device = std::string(given);
    return {target, {}, {}};
}

std::optional<Parity> readParity(std::string_view text) {
    const std::string_view name = ascii::trim(text, ascii::isSpace);
    for (const Parity parity : parities) {
        const std::string_view full = parityKeyword(parity);
        if (ascii::equalIgnoringCase(name, full) ||
            ascii::equalIgnoringCase(name, full.substr(0, 1))) {
            return parity;
        }
    }
    return std::nullopt;
}

std::chrono::milliseconds lineTime(std::size_t bytes, const LineSettings& settings) {
    return rvx::lineTime(bytes, static_cast<unsigned>(std::max<std::int32_t>(settings.baudRate, 1)),
                         settings.parity);
}

SiteTarget siteTargetOf(const BusTarget& target, const LineSettings& settings) {
    SiteTarget site;
    if (target.kind == BusTarget::Kind::Tcp) {
        site.kind = SiteTarget::Kind::Tcp;
        site.host = target.host;
        site.port = target.port;
    } else {
        site.device = target.device;
        site.baud = static_cast<unsigned>(std::max<std::int32_t>(settings.baudRate, 1));
        site.parity = settings.parity;
    }
    return site;
}

}  // namespace rvx
