// The names, order and choice of serial ports, as every system reports them.
#include "rvx/serial_ports.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

TEST(SerialPorts, WindowsDevicePathsAreNamedAsUsersWriteThem) {
    const struct {
        const char* location;
        const char* name;
    } cases[] = {
        {"\\\\.\\COM3", "COM3"},
        {"\\\\.\\COM10", "COM10"},
        {"COM4", "COM4"},
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"/dev/cu.usbserial-A1B2", "/dev/cu.usbserial-A1B2"},
        {"\\\\.\\", "\\\\.\\"},  // nothing after the prefix: left as it is
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rvx::portTargetName(c.location), c.name) << c.location;
    }
}

TEST(SerialPorts, NumbersInNamesAreOrderedByValue) {
    const std::vector<std::string> expected = {
        "/dev/ttyACM0", "/dev/ttyS0",    "/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB1",
        "/dev/ttyUSB2", "/dev/ttyUSB10", "COM1",       "COM3",        "com4",
        "COM10",        "COM010",        "COM11",
    };
    std::vector<std::string> names = expected;
    for (int round = 0; round < 5; ++round) {
        std::reverse(names.begin(), names.end());
        std::rotate(names.begin(), names.begin() + round, names.end());
        std::sort(names.begin(), names.end(),
                  [](const std::string& a, const std::string& b) { return rvx::portBefore(a, b); });
        EXPECT_EQ(names, expected);
    }
    for (const auto& name : expected) {
        EXPECT_FALSE(rvx::portBefore(name, name)) << name;
    }
}

TEST(SerialPorts, AUsbAdapterIsKnownByItsLinkOrItsIdentifiers) {
    using rvx::PortSystem;
    const struct {
        const char* name;
        rvx::PortFacts port;
        PortSystem system;
        bool adapter;
    } cases[] = {
        {"Linux, a by-id link",
         {"/dev/serial/by-id/usb-FTDI-if00", false},
         PortSystem::Linux,
         true},
        {"Linux, no link", {"", true}, PortSystem::Linux, false},
        {"Windows, USB identifiers", {"", true}, PortSystem::Windows, true},
        {"Windows, a port built in", {"", false}, PortSystem::Windows, false},
        {"macOS, USB identifiers", {"", true}, PortSystem::MacOS, true},
        {"macOS, Bluetooth", {"", false}, PortSystem::MacOS, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rvx::isUsbSerialAdapter(c.port, c.system), c.adapter) << c.name;
    }
}

TEST(SerialPorts, TheNoteOfLinuxTargetsIsLinuxOnly) {
    EXPECT_NE(rvx::unlistedTargetsNote(rvx::PortSystem::Linux).find("/dev/pts"), std::string::npos);
    EXPECT_EQ(rvx::unlistedTargetsNote(rvx::PortSystem::Windows), "");
    EXPECT_EQ(rvx::unlistedTargetsNote(rvx::PortSystem::MacOS), "");
#ifdef _WIN32
    EXPECT_EQ(rvx::thisSystem, rvx::PortSystem::Windows);
#elif defined(__linux__)
    EXPECT_EQ(rvx::thisSystem, rvx::PortSystem::Linux);
#endif
}

}  // namespace
