// rvx-strings as a process: formats, --command, every kind of bad argument, and the help with
// the manual page and README that tell the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "arguments.h"
#include "json_value.h"
#include "rvx/catalogue.h"
#include "tool.h"

namespace {

using tool::lines;

using tool::Arguments;
using tool::operator+;

tool::Result runTool(const Arguments& arguments) {
    return tool::run(arguments);
}

TEST(Generation, TextListsTheFourteenCommandsWithTheirStrings) {
    const auto result = runTool({"123456"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
    const auto rows = lines(result.out);
    ASSERT_EQ(rows.size(), 14U);
    EXPECT_EQ(rows[0], "Up              AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30");
    EXPECT_EQ(rows[5], "Go to IP #      AB F1 FF FF FF FF 12 34 56 FB FF FF 09 2D");
    EXPECT_EQ(rows[6], "Go to %         AB F1 FF FF FF FF 12 34 56 EF 80 FF 08 A2");
    EXPECT_EQ(rows[8], "Jog Down 10 ms  AB F1 FF FF FF FF 12 34 56 F4 F5 FF 09 1C");
    EXPECT_EQ(rows[13], "Unlock          A4 F1 FF FF FF FF 12 34 56 FA FF FE 09 24");
}

TEST(Generation, GroupAddressWithParameters) {
    const auto result =
        runTool({"--group", "0A0B0C", "--down", "250", "--percent", "100", "--jog-up", "255"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto rows = lines(result.out);
    ASSERT_EQ(rows.size(), 14U);
    EXPECT_EQ(rows[1].substr(16), "AB F1 FF 0A 0B 0C FF FF FF FD 05 FF 07 BA");
    EXPECT_EQ(rows[6].substr(16), "AB F1 FF 0A 0B 0C FF FF FF EF 00 FF 07 A7");
    EXPECT_EQ(rows[7].substr(16), "AB F1 FF 0A 0B 0C FF FF FF F5 00 FF 07 AD");
}

TEST(Generation, CommandPrintsThatStringAloneMatchingCaseInsensitively) {
    auto result = runTool({"123456", "--command", "Up"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30\n");

    result = runTool({"--command", "go to ip #", "--ip", "16", "abcdef"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "AB F1 FF FF FF FF AB CD EF FB F0 FF 0A E9\n");
}

TEST(Generation, FractionsInsideARangeAreConverted) {
    auto result = runTool({"123456", "--command", "Down", "--down", "12.5"});
    EXPECT_EQ(result.out.substr(30, 2), "F2");
    result = runTool({"123456", "--command", "Go to IP #", "--ip", "1.5"});
    EXPECT_EQ(result.out.substr(30, 2), "FE");
    result = runTool({"123456", "--command", "Go to %", "--percent", "1e2"});
    EXPECT_EQ(result.out.substr(30, 2), "00");
    result = runTool({"123456", "--command", "Jog Up 10 ms", "--jog-up=0"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.substr(30, 2), "FF");
}

TEST(Formats, CsvHasAHeaderAndOneLinePerCommand) {
    const auto result = runTool({"123456", "--format", "csv"});
    EXPECT_EQ(result.exitCode, 0);
    const auto rows = lines(result.out);
    ASSERT_EQ(rows.size(), 15U);
    EXPECT_EQ(rows[0], "command,string");
    EXPECT_EQ(rows[1], "Up,AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30");
    EXPECT_EQ(rows[13], "Lock @ IP #,A4 F1 FF FF FF FF 12 34 56 FB FE FE 09 24");

    const auto one = runTool({"123456", "--format", "csv", "--command", "stop"});
    EXPECT_EQ(one.out, "command,string\nStop,AB F1 FF FF FF FF 12 34 56 FC FF FF 09 2E\n");
}

TEST(Formats, JsonIsAnArrayOfCommandAndString) {
    const auto result = runTool({"--format", "json", "--group", "123456"});
    EXPECT_EQ(result.exitCode, 0);
    const auto document = json::parse(result.out);
    ASSERT_TRUE(document.has_value()) << result.out;
    const json::Value& array = *document;
    ASSERT_EQ(array.size(), 14U);
    EXPECT_EQ(array[0].keys(), (std::vector<std::string>{"command", "string"}));
    EXPECT_EQ(array[0]["command"].toString(), "Up");
    EXPECT_EQ(array[0]["string"].toString(), "AB F1 FF 12 34 56 FF FF FF FE FF FF 09 30");
    EXPECT_EQ(array[13]["command"].toString(), "Unlock");
}

TEST(Formats, LowerCaseAddressGivesUpperCaseBytes) {
    const auto result = runTool({"a1b2c3", "--command", "up"});
    EXPECT_EQ(result.out, "AB F1 FF FF FF FF A1 B2 C3 FE FF FF 0A AA\n");
}

// Every bad argument: exit status 2, nothing on standard output, one line on standard error
// that names what was wrong.
TEST(BadArguments, EachIsRefusedWithAMessageAndNoOutput) {
    struct Case {
        Arguments arguments;
        std::string mention;
    };
    const Case cases[] = {
        {{"12345"}, "address \"12345\": must be six hexadecimal digits"},
        {{"1234567"}, "address \"1234567\""},
        {{"12345G"}, "address \"12345G\""},
        {{"12 456"}, "address \"12 456\""},
        {{}, "no address; it must be six hexadecimal digits"},
        {{"123456", "654321"}, "one ADDRESS expected"},
        {{"123456", "--ip", "0"}, "--ip \"0\": out of range; the IP number must be 1 to 16"},
        {{"123456", "--ip", "17"}, "--ip \"17\""},
        {{"123456", "--ip", "abc"}, "--ip \"abc\": not a number"},
        {{"123456", "--ip", "1,5"}, "--ip \"1,5\": not a number"},
        {{"123456", "--ip", "nan"}, "--ip \"nan\": not a number"},
        {{"123456", "--down", "5"},
         "--down \"5\": out of range; the Down value must be 0, or "
         "10 to 255"},
        {{"123456", "--down=-1"}, "--down \"-1\""},
        {{"123456", "--down", "256"}, "--down \"256\""},
        {{"123456", "--percent", "100.5"}, "the percentage must be 0 to 100"},
        {{"123456", "--jog-up", "256"}, "the jog up count must be 0 to 255"},
        {{"123456", "--jog-down", "-1"}, "--jog-down"},
        {{"123456", "--priority", "0"}, "the lock priority must be 1 to 100"},
        {{"123456", "--priority", "101"}, "--priority \"101\""},
        {{"123456", "--lock-ip", "17"}, "the lock IP number must be 1 to 16"},
        {{"123456", "--lock-ip", ""}, "--lock-ip \"\": not a number"},
        {{"123456", "--format", "xml"}, "--format \"xml\": must be text, csv or json"},
        {{"123456", "--command", "Jump"}, "--command \"Jump\": no such command"},
        {{"123456", "--bogus"}, "bogus"},
        {{"123456", "--ip"}, "--ip"},
        {{"123456", "--notation", "hex"},
         "--notation \"hex\": must be spaced, compact, escaped, 0x, dollar, decimal, crestron, "
         "amx, control4 or rti"},
        {{"123456", "--notation", "Compact"}, "--notation \"Compact\""},
        {{"123456", "--batch", "-"}, "ADDRESS \"123456\" is not used with --batch"},
    };
    for (const auto& c : cases) {
        const auto result = runTool(c.arguments);
        const std::string args = tool::joined(c.arguments);
        EXPECT_EQ(result.exitCode, 2) << args;
        EXPECT_EQ(result.out, "") << args;
        EXPECT_NE(result.err.find(c.mention), std::string::npos) << args << ": " << result.err;
        EXPECT_EQ(lines(result.err).size(), 1U) << args << ": " << result.err;
    }
}

// The bus options refused as a process: nothing written, nothing sent (the targets are ports
// that would take the frame), exit status 2. Each fault's wording is in the parser's tests.
TEST(BadArguments, BusOptionsAreRefusedBeforeAnythingIsSent) {
    tool::expectRefused({
        {{"123456", "--send", "/dev/null"}, {"rvx-strings: --send sends one frame"}},
        {{"123456", "--command", "up", "--count", "3", "--send", "/dev/null"},
         {"rvx-strings: --count is used only with --monitor"}},
        {{"123456", "--command", "up", "--send", "tcp://127.0.0.1"},
         {"rvx-strings: --send \"tcp://127.0.0.1\": no port"}},
        {{"123456", "--command", "up", "--parity", "oddly", "--send", "/dev/null"},
         {"rvx-strings: --parity \"oddly\": must be none, even, odd, mark or space"}},
        {{"123456", "--command", "up", "--send", "/dev/null", "--send", "/dev/null"},
         {"rvx-strings: --send is given more than once"}},
        {{"--monitor", "/dev/null", "--count", "0", "--baud", "fast"},
         {"rvx-strings: --count \"0\"", "rvx-strings: --baud \"fast\""}},
    });
}

#ifndef RVX_HAS_BUS
// A build without the bus refuses its modes as it refuses a bad argument, once the arguments
// are checked.
TEST(BadArguments, TheBusModesAreRefusedWhereTheBuildHasNoBus) {
    tool::expectRefused({
        {{"123456", "--command", "up", "--send", "COM3"},
         {"rvx-strings: --send: this build has no bus support"}},
        {{"--decode", "AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30", "--send", "tcp://gw:4001"},
         {"rvx-strings: --send: this build has no bus support"}},
        {{"--monitor", "COM3", "--count", "1"},
         {"rvx-strings: --monitor: this build has no bus support"}},
        {{"--list-ports"}, {"rvx-strings: --list-ports: this build has no bus support"}},
        {{"--monitor", "tcp://gw"}, {"rvx-strings: --monitor \"tcp://gw\": no port"}},
    });
}
#endif

TEST(BadArguments, EveryBadArgumentIsReportedNotOnlyTheFirst) {
    const auto result =
        runTool({"12345X", "--ip", "99", "--percent", "x", "--format", "yaml", "--priority", "50"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    const auto messages = lines(result.err);
    ASSERT_EQ(messages.size(), 4U) << result.err;
    EXPECT_NE(messages[0].find("address"), std::string::npos);
    EXPECT_NE(messages[1].find("--ip"), std::string::npos);
    EXPECT_NE(messages[2].find("--percent"), std::string::npos);
    EXPECT_NE(messages[3].find("--format"), std::string::npos);
}

TEST(Notations, EachWritesTheSameBytesItsOwnWay) {
    const std::pair<const char*, std::string> cases[] = {
        {"spaced", "AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30"},
        {"compact", "ABF1FFFFFFFF123456FEFFFF0930"},
        {"escaped", R"(\xAB\xF1\xFF\xFF\xFF\xFF\x12\x34\x56\xFE\xFF\xFF\x09\x30)"},
        {"0x",
         "0xAB, 0xF1, 0xFF, 0xFF, 0xFF, 0xFF, 0x12, 0x34, 0x56, 0xFE, 0xFF, 0xFF, 0x09, 0x30"},
        {"dollar", "$AB,$F1,$FF,$FF,$FF,$FF,$12,$34,$56,$FE,$FF,$FF,$09,$30"},
        {"decimal", "171,241,255,255,255,255,18,52,86,254,255,255,9,48"},
    };
    for (const auto& [name, expected] : cases) {
        const auto result = runTool({"123456", "--command", "up", "--notation", name});
        EXPECT_EQ(result.exitCode, 0) << name << result.err;
        EXPECT_EQ(result.out, expected + "\n") << name;
    }
}

TEST(Notations, EscapedListsTheFourteenCommands) {
    const auto result = runTool({"123456", "--notation", "escaped"});
    EXPECT_EQ(result.exitCode, 0);
    const auto rows = lines(result.out);
    ASSERT_EQ(rows.size(), 14U);
    EXPECT_EQ(rows[0],
              R"(Up              \xAB\xF1\xFF\xFF\xFF\xFF\x12\x34\x56\xFE\xFF\xFF\x09\x30)");
    EXPECT_EQ(rows[13],
              R"(Unlock          \xA4\xF1\xFF\xFF\xFF\xFF\x12\x34\x56\xFA\xFF\xFE\x09\x24)");
}

// Every string of every notation, fed back to --decode, is found valid and names its command.
TEST(Notations, EachStringDecodesBack) {
    for (const char* name : {"spaced", "compact", "escaped", "0x", "dollar", "decimal"}) {
        const auto result =
            runTool({"--group", "0a0b0c", "--notation", name, "--format", "json", "--down", "250"});
        ASSERT_EQ(result.exitCode, 0) << name << result.err;
        const json::Value array = json::parse(result.out).value_or(json::Value());
        ASSERT_EQ(array.size(), 14U) << name;
        for (const auto& object : array.items()) {
            Arguments arguments{"--decode", object["string"].toString()};
            if (std::string(name) == "decimal") {
                arguments.insert(arguments.end(), {"--notation", "decimal"});
            }
            const auto decoded = runTool(arguments);
            EXPECT_EQ(decoded.exitCode, 0) << name << " " << decoded.out << decoded.err;
            EXPECT_TRUE(
                tool::contains(decoded.out, "Command:    " + object["command"].toString() + "\n"))
                << decoded.out;
            EXPECT_TRUE(tool::contains(decoded.out, "Address:    group 0A0B0C\n")) << decoded.out;
            EXPECT_TRUE(tool::contains(decoded.out, std::string("Notation:   ") + name + "\n"));
        }
    }
}

TEST(Notations, CsvQuotesStringsThatHoldCommas) {
    const auto result =
        runTool({"123456", "--format", "csv", "--command", "Up", "--notation", "0x"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out,
              "command,string\n"
              "Up,\"0xAB, 0xF1, 0xFF, 0xFF, 0xFF, 0xFF, 0x12, 0x34, 0x56, 0xFE, 0xFF, 0xFF, 0x09, "
              "0x30\"\n");
}

#ifndef _WIN32
// A result that cannot be written in full is not reported as success.
TEST(Output, AFailedWriteIsAnError) {
    std::vector<Arguments> cases{
        {"123456"},
        {"--decode", "AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30"},
        {"--decode", "AB F1 FF FF FF FF 12 34 56 FE FF FF 09 31", "--format", "json"},
        {"--batch", "-"},
        {"--batch", "-", "--format", "json"},
        {"--batch", "-", "--format", "text"},
        {"--help"}};
#ifdef RVX_HAS_BUS
    cases.push_back({"--list-ports", "--format", "json"});
#endif
    for (const Arguments& arguments : cases) {
        const auto result = tool::run(arguments, "123456\n", "/dev/full");
        EXPECT_EQ(result.exitCode, 3) << tool::joined(arguments);
        EXPECT_EQ(result.err, "rvx-strings: cannot write standard output\n");
    }
}
#endif

TEST(HelpAndVersion, PrintToStandardOutputAndSucceed) {
    const auto help = runTool({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.err, "");
    for (const char* option :
         {"--lock-ip <N>", "--notation <NAME>", "--decode <FRAME>", "--batch <FILE>", "ADDRESS"}) {
        EXPECT_TRUE(tool::contains(help.out, option)) << option;
    }
    for (const Arguments& arguments :
         {Arguments{"-h"}, Arguments{"-help"}, Arguments{"123456", "--bogus", "--help"}}) {
        const auto same = runTool(arguments);
        EXPECT_EQ(same.exitCode, 0);
        EXPECT_EQ(same.out, help.out) << tool::joined(arguments);
    }

    const auto version = runTool({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("rvx-strings ", 0), 0U) << version.out;
    EXPECT_EQ(runTool({"-v"}).out, version.out);
}

// Lines of at most 79 characters, and no command's name broken across two of them.
TEST(HelpAndVersion, HelpKeepsEveryNameOnOneLine) {
    const std::string help = runTool({"--help"}).out;
    std::string flowing;  // the help with its line breaks and indents as single blanks
    for (const auto& line : lines(help)) {
        EXPECT_LE(line.size(), 79U) << line;
        const auto start = line.find_first_not_of(' ');
        flowing += ' ' + (start == std::string::npos ? "" : line.substr(start));
    }
    const auto count = [](const std::string& text, const std::string& name) {
        std::size_t n = 0;
        for (auto at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
            ++n;
        }
        return n;
    };
    for (const auto& command : rvx::commandCatalogue) {
        const std::string name(command.name);
        EXPECT_GE(count(help, name), 1U) << name;
        EXPECT_EQ(count(help, name), count(flowing, name)) << name << " is broken:\n" << help;
    }
}

// Every command is listed under its plain name, which needs no quotes in a shell.
TEST(HelpAndVersion, HelpListsThePlainNameOfEachCommand) {
    const auto help = lines(runTool({"--help"}).out);
    for (const auto& command : rvx::commandCatalogue) {
        const std::string plain(command.plainName);
        EXPECT_TRUE(std::any_of(help.begin(), help.end(), [&](const std::string& line) {
            return line.starts_with("  " + plain + ' ') &&
                   line.ends_with(' ' + std::string(command.name));
        })) << plain;
    }
    EXPECT_EQ(
        runTool({"123456", "--command", "lock-at-ip", "--priority", "50", "--lock-ip", "3"}).out,
        "A4 F1 FF FF FF FF 12 34 56 FB FC CD 08 F1\n");
}

#ifdef RVX_STRINGS_MAN_PATH
// The lines of the manual page as built, formatting requests included.
std::vector<std::string> manualPageLines() {
    return lines(process::run(RVX_GZIP_PATH, {"-dc", RVX_STRINGS_MAN_PATH}).out);
}

// The text of an installed page, without its formatting: the words as a reader sees them.
std::string manualPageText() {
    std::string text;
    for (std::string line : manualPageLines()) {
        if (line.starts_with('.')) {
            const auto blank = line.find(' ');
            line = blank == std::string::npos ? "" : line.substr(blank + 1);
        }
        for (const std::string escape : {"\\fB", "\\fI", "\\fR", "\\fP"}) {
            for (auto at = line.find(escape); at != std::string::npos; at = line.find(escape)) {
                line.erase(at, escape.size());
            }
        }
        for (auto at = line.find("\\-"); at != std::string::npos; at = line.find("\\-")) {
            line.erase(at, 1);
        }
        text += line + ' ';
    }
    return text;
}

// The exit statuses stand in a section of their own right after OPTIONS, as manual pages have
// them, each status a tagged paragraph in the order of the table.
TEST(HelpAndVersion, ManualPageHasAnExitStatusSection) {
    const std::vector<std::string> page = manualPageLines();
    ASSERT_FALSE(page.empty());
    std::vector<std::string> sections;
    std::vector<std::string> tags;  // the first line after each .TP of EXIT STATUS
    for (std::size_t k = 0; k < page.size(); ++k) {
        if (page[k].starts_with(".SH ")) {
            sections.push_back(page[k].substr(4));
        } else if (!sections.empty() && sections.back() == "\"EXIT STATUS\"" && page[k] == ".TP" &&
                   k + 1 < page.size()) {
            tags.push_back(page[k + 1]);
        }
    }
    const auto options = std::find(sections.begin(), sections.end(), "OPTIONS");
    ASSERT_NE(options, sections.end());
    ASSERT_NE(std::next(options), sections.end());
    EXPECT_EQ(*std::next(options), "\"EXIT STATUS\"");
    std::vector<std::string> statuses;
    for (const auto& status : cli::exitStatuses) {
        statuses.push_back(std::to_string(status.status));
    }
    EXPECT_EQ(tags, statuses);
}

// --help, the manual page made from it and the README tell the same options and exit statuses.
TEST(HelpAndVersion, ManualPageAndReadmeAgreeWithTheHelp) {
    const std::string help = runTool({"--help"}).out;
    const std::string page = manualPageText();
    ASSERT_FALSE(page.empty());
    const std::string readme = process::readFile(RVX_README_PATH);
    ASSERT_FALSE(readme.empty());

    EXPECT_TRUE(tool::contains(page, "EXIT STATUS") || tool::contains(page, "Exit status"));
    for (const auto& option : cli::optionCatalogue) {
        const std::string name = "--" + std::string(option.name);
        EXPECT_TRUE(tool::contains(help, "  " + name) || tool::contains(help, ", " + name)) << name;
        EXPECT_TRUE(tool::contains(page, name)) << name;
        EXPECT_TRUE(tool::contains(readme, "`" + name)) << name;
    }
    const auto flowing = [](const std::string& text) {  // runs of blanks and breaks as one blank
        std::string out;
        for (const char c : text) {
            if (c != ' ' && c != '\n') {
                out += c;
            } else if (!out.empty() && out.back() != ' ') {
                out += ' ';
            }
        }
        return out;
    };
    for (const auto& status : cli::exitStatuses) {
        const std::string code = std::to_string(status.status);
        const std::string meaning(status.meaning);
        EXPECT_TRUE(tool::contains(flowing(help), " " + code + " " + meaning)) << code;
        EXPECT_TRUE(tool::contains(flowing(page), code + " " + meaning)) << code << "\n" << page;
        EXPECT_TRUE(tool::contains(readme, "| " + code + " | " + meaning + " |")) << code;
    }
    // The README tells of no exit status beyond those.
    EXPECT_FALSE(tool::contains(readme, "| " + std::to_string(cli::exitStatuses.size()) + " | "));
}
#endif

// A fault in a value shows what was typed on the one line of its message.
TEST(Output, ABadValueIsOneLineWhateverItHolds) {
    const auto result = runTool({"123456", "--percent", "5\n0", "--command", "up\x1b[2J"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(lines(result.err),
              (std::vector<std::string>{
                  "rvx-strings: --percent \"5\\n0\": not a number; the percentage must be 0 to 100",
                  "rvx-strings: --command \"up\\x1B[2J\": no such command; the commands are up, "
                  "down, stop, next-ip-up, next-ip-down, go-to-ip, go-to-percent, jog-up, "
                  "jog-down, lock-up, lock-down, lock-current, lock-at-ip, unlock"}));
}

#ifndef _WIN32
// A list whose file name is not UTF-8 is read under the name given, byte for byte.
TEST(Output, ABatchFileNameThatIsNotUtf8IsReadAsGiven) {
    const process::TempDir directory;
    const std::string base = directory.path().string();
    const std::string path = base +
                             "/motors-\xFF\xFE-K\xFC"
                             "che.txt";
    {
        std::ofstream file(path, std::ios::binary);
        file << "123456,single,east\n";
    }
    const auto result = tool::run({"--batch", path, "--command", "up"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "label,kind,address,command,string\n"
              "east,single,123456,Up,AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30\n");

    const auto missing = tool::run({"--batch", base + "/absent-\xFF.txt"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(missing.out, "");
    EXPECT_TRUE(tool::contains(missing.err, "No such file or directory")) << missing.err;
}
#endif

}  // namespace
