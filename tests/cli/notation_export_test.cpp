// The controllers' notations and the site exports through the real rvx-strings.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "rvx/catalogue.h"
#include "rvx/message.h"
#include "rvx/notation.h"
#include "rvx/site_export.h"
#include "tool.h"

namespace {

using tool::Arguments;
using tool::operator+;

// Every controller notation, written by the binary and read back by --decode with that
// notation named and without: the same frame, for every command, single and group.
TEST(ControllerNotations, EveryCommandDecodesBackToTheSameFrame) {
    for (const auto* notation : {"crestron", "amx", "control4", "rti"}) {
        for (const bool group : {false, true}) {
            for (const auto& command : rvx::commandCatalogue) {
                Arguments make{"A1B2C3", "--command", std::string(command.plainName)};
                if (group) {
                    make.emplace_back("--group");
                }
                const auto spaced = tool::run(make);
                ASSERT_EQ(spaced.exitCode, 0) << spaced.err;
                const auto written = tool::run(make + Arguments{"--notation", notation});
                ASSERT_EQ(written.exitCode, 0) << written.err;
                const std::string text = written.out.substr(0, written.out.size() - 1);
                EXPECT_NE(text, spaced.out.substr(0, spaced.out.size() - 1)) << notation;

                for (const bool named : {true, false}) {
                    Arguments decode{"--decode", text};
                    if (named) {
                        decode.insert(decode.end(), {"--notation", notation});
                    }
                    const auto decoded = tool::run(decode);
                    const std::string where =
                        std::string(notation) + " " + std::string(command.plainName) + ": " + text;
                    EXPECT_EQ(decoded.exitCode, 0) << where << "\n" << decoded.out << decoded.err;
                    EXPECT_TRUE(tool::contains(decoded.out, "Frame:      " + spaced.out)) << where;
                    EXPECT_TRUE(tool::contains(decoded.out,
                                               "Command:    " + std::string(command.name) + "\n"))
                        << where;
                    EXPECT_TRUE(
                        tool::contains(decoded.out, group ? "group A1B2C3" : "single motor A1B2C3"))
                        << where << "\n"
                        << decoded.out;
                }
            }
        }
    }
}

TEST(ControllerNotations, HelpNamesThemAndWarnsOfUtf8) {
    const auto help = tool::run({"--help"});
    ASSERT_EQ(help.exitCode, 0);
    for (const auto& info : rvx::notationCatalogue) {
        EXPECT_TRUE(tool::contains(help.out, std::string(info.name))) << info.name;
    }
    EXPECT_TRUE(tool::contains(help.out, "\"$AB,$F1,$FF")) << help.out;
    EXPECT_TRUE(tool::contains(help.out, "%AB%F1%FF"));
    EXPECT_TRUE(tool::contains(help.out, "UTF-8"));
    EXPECT_TRUE(tool::contains(help.out, "--export <KIND>"));
}

class SiteExport : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.valid());
        list = dir.filePath("site.txt");
        std::ofstream(process::pathOf(list)) << "123456,single,Kitchen blind\n";
    }
    process::TempDir dir;
    std::string list;
};

TEST_F(SiteExport, WrongExportsAreRefusedAndNothingIsWritten) {
    const std::string b = "--batch";
    const std::string e = "--export";
    const std::string t = "--target";
    tool::expectRefused({
        {{b, list, e, "node-red"}, {"rvx-strings: --export node-red: needs --target TARGET"}},
        {{b, list, e, "home-assistant"},
         {"rvx-strings: --export home-assistant: needs --target TARGET"}},
        {{b, list, e, "nodered", t, "/dev/ttyUSB0"},
         {"rvx-strings: --export \"nodered\": must be csv, json, node-red, home-assistant, "
          "openhab-things or openhab-items"}},
        {{b, list, t, "/dev/ttyUSB0"}, {"rvx-strings: --target: used only with --export"}},
        {{b, list, e, "csv", t, "/dev/ttyUSB0"},
         {"rvx-strings: --target: not used with --export csv"}},
        {{b, list, e, "node-red", t, "udp://1.2.3.4:5"},
         {"rvx-strings: --target \"udp://1.2.3.4:5\""}},
        {{b, list, e, "openhab-things", t, "tcp://10.0.0.5:4001"},
         {"rvx-strings: --target \"tcp://10.0.0.5:4001\": openHAB's serial binding reaches a "
          "serial port"}},
        {{b, list, e, "json", "--format", "csv"},
         {"rvx-strings: --format: not used with --export"}},
        {{"123456", e, "node-red"}, {"rvx-strings: --export"}},
        {{b, list, "--baud", "9600"},
         {"rvx-strings: --baud: used with --batch only for --export to a serial port"}},
        {{b, list, e, "csv", "--parity", "even"},
         {"rvx-strings: --parity: not used with --export csv"}},
        {{b, list, e, "node-red", t, "tcp://10.0.0.5:4001", "--baud", "9600"},
         {"rvx-strings: --baud: not used with a bridge as --target"}},
        {{b, list, e, "node-red", t, "/dev/ttyUSB0", "--parity", "odder"},
         {"rvx-strings: --parity"}},
        // Rates that stty refuses: every command of the package would fail.
        {{b, list, e, "home-assistant", t, "/dev/ttyUSB0", "--baud", "12345"},
         {"rvx-strings: --baud \"12345\": Home Assistant's commands set the line with stty, "
          "which takes 50, 75, 110, "}},
        {{b, list, e, "home-assistant", t, "/dev/ttyUSB0", "--baud=250000", "--parity", "even"},
         {"rvx-strings: --baud \"250000\": Home Assistant's commands set the line with stty"}},
    });
    // A list without motors, or with comments only: no file, which no platform would take.
    for (const char* kind : {"node-red", "home-assistant", "openhab-things", "openhab-items"}) {
        for (const char* empty : {"", "# east wing\n\n   \n# west wing\n"}) {
            std::ofstream(process::pathOf(list)) << empty;
            tool::expectRefused({{{b, list, e, std::string(kind), t, "/dev/ttyUSB0"},
                                  {"rvx-strings: --batch \"" + rvx::escaped(list) +
                                   "\": the list holds no motor, only blank lines or comments; "
                                   "there is nothing to export"}}});
        }
    }
    // A bad line in the list: no file at all.
    std::ofstream(process::pathOf(list)) << "123456,single,Kitchen\n12345G\n";
    const auto bad = tool::run({b, list, e, "node-red", t, "tcp://127.0.0.1:4001"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.out, "");
    EXPECT_TRUE(tool::contains(bad.err, ":2: ")) << bad.err;
}

// The line a platform sets on a serial port: the bus's own (4800 baud, odd parity) unless
// --baud and --parity say otherwise, in each platform's words.
TEST_F(SiteExport, SerialTargetsCarryTheLine) {
    const Arguments even{"--baud", "9600", "--parity", "even"};
    const struct {
        const char* kind;
        Arguments line;
        std::vector<std::string> words;
    } cases[] = {
        {"home-assistant",
         {},
         {"stty 4800 cs8 parenb parodd -cstopb raw < \\\"$1\\\" && ", "rvx '/dev/ttyUSB0'\"\n"}},
        {"home-assistant",
         even,
         {"stty 9600 cs8 parenb -parodd -cstopb raw < \\\"$1\\\" && ", "rvx '/dev/ttyUSB0'\"\n"}},
        {"node-red", {}, {"\"serialbaud\": \"4800\"", "\"parity\": \"odd\""}},
        {"node-red", even, {"\"serialbaud\": \"9600\"", "\"parity\": \"even\""}},
        {"openhab-things", {}, {"baudRate=4800", "parity=\"ODD\""}},
        {"openhab-things", even, {"baudRate=9600", "parity=\"EVEN\""}},
    };
    for (const auto& [kind, line, words] : cases) {
        const auto done = tool::run(
            Arguments{"--batch", list, "--export", kind, "--target", "/dev/ttyUSB0"} + line);
        EXPECT_EQ(done.exitCode, 0) << kind << done.err;
        for (const std::string& word : words) {
            EXPECT_TRUE(tool::contains(done.out, word)) << kind << ": " << word << "\n" << done.out;
        }
    }
}

#ifndef _WIN32
// A file that cannot be written whole ends the export at the first write that fails.
TEST_F(SiteExport, AnOutputThatCannotBeWrittenEndsTheExport) {
    for (const auto& info : rvx::siteExportCatalogue) {
        const auto full = tool::run(
            {"--batch", list, "--export", std::string(info.name), "--target", "/dev/ttyUSB0"}, {},
            "/dev/full");
        EXPECT_EQ(full.exitCode, 3) << info.name;
        EXPECT_EQ(full.err, "rvx-strings: cannot write standard output\n") << info.name;
    }
}
#endif

TEST_F(SiteExport, CsvAndJsonAreTheTable) {
    const auto csv = tool::run({"--batch", list, "--export", "csv", "--command", "up"});
    const auto table = tool::run({"--batch", list, "--command", "up"});
    EXPECT_EQ(csv.exitCode, 0);
    EXPECT_EQ(csv.out, table.out);
    const auto json = tool::run({"--batch", list, "--export", "json"});
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_EQ(json.out, tool::run({"--batch", list, "--format", "json"}).out);
}

}  // namespace
