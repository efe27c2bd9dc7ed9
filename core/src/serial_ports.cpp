#include "rvx/serial_ports.h"

#include "rvx/ascii.h"

namespace rvx {

std::string portTargetName(std::string_view systemLocation) {
    constexpr std::string_view devicePrefix = "\\\\.\\";
    if (systemLocation.substr(0, devicePrefix.size()) == devicePrefix &&
        systemLocation.size() > devicePrefix.size()) {
        systemLocation.remove_prefix(devicePrefix.size());
    }
    return std::string(systemLocation);
}

bool portBefore(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (ascii::isDigit(a[i]) && ascii::isDigit(b[j])) {
            // Runs of digits by their value: without leading zeros, the longer is the greater.
            std::size_t endA = i;
            std::size_t endB = j;
            while (endA < a.size() && ascii::isDigit(a[endA])) {
                ++endA;
            }
            while (endB < b.size() && ascii::isDigit(b[endB])) {
                ++endB;
            }
            std::string_view runA = a.substr(i, endA - i);
            std::string_view runB = b.substr(j, endB - j);
            const auto significant = [](std::string_view run) {
                const auto first = run.find_first_not_of('0');
                return first == std::string_view::npos ? std::string_view() : run.substr(first);
            };
            const std::string_view valueA = significant(runA);
            const std::string_view valueB = significant(runB);
            if (valueA.size() != valueB.size()) {
                return valueA.size() < valueB.size();
            }
            if (valueA != valueB) {
                return valueA < valueB;
            }
            if (runA.size() != runB.size()) {
                return runA.size() < runB.size();  // 3 before 03: a total order
            }
            i = endA;
            j = endB;
            continue;
        }
        const char ca = ascii::lower(a[i]);
        const char cb = ascii::lower(b[j]);
        if (ca != cb) {
            return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb);
        }
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j) {
        return a.size() - i < b.size() - j;
    }
    return a < b;  // differing only in case: a total order all the same
}

bool isUsbSerialAdapter(const PortFacts& port, PortSystem system) {
    if (!port.byIdLink.empty()) {
        return true;
    }
    // Linux names every USB adapter in /dev/serial/by-id; a port without a link is none.
    return system != PortSystem::Linux && port.usbIdentifiers;
}

std::string_view unlistedTargetsNote(PortSystem system) {
    if (system == PortSystem::Linux) {
        return "a pseudo-terminal (/dev/pts/N) or a link to a port (/dev/serial/by-id/...) is a "
               "target too";
    }
    return {};
}

}  // namespace rvx
