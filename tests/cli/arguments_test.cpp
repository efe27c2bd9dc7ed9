// parseArguments: what the arguments of rvx-strings ask for, and every fault in them.
#include "arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rvx/bus_target.h"
#include "rvx/catalogue.h"

namespace {

using Arguments = std::vector<std::string>;

std::string joined(const Arguments& arguments) {
    std::string text;
    for (const auto& argument : arguments) {
        text += (text.empty() ? "[" : "] [") + argument;
    }
    return text + "]";
}

template <typename T>
T requestOf(const Arguments& arguments) {
    const auto parsed = cli::parseArguments(arguments);
    EXPECT_TRUE(parsed.errors.empty()) << joined(arguments) << ": " << parsed.errors.front();
    if (!parsed.request || !std::holds_alternative<T>(*parsed.request)) {
        ADD_FAILURE() << joined(arguments) << ": not the request expected";
        return {};
    }
    return std::get<T>(*parsed.request);
}

std::vector<std::string> faultsOf(const Arguments& arguments) {
    const auto parsed = cli::parseArguments(arguments);
    EXPECT_FALSE(parsed.request.has_value()) << joined(arguments);
    return parsed.errors;
}

struct FaultCase {
    const char* name;
    Arguments arguments;
    std::vector<std::string> faults;  // the exact lines
};

void expectFaults(const std::vector<FaultCase>& cases) {
    for (const auto& c : cases) {
        EXPECT_EQ(faultsOf(c.arguments), c.faults) << c.name << ": " << joined(c.arguments);
    }
}

double valueOf(const cli::StringsRequest& request, rvx::ParameterField field) {
    return request.values[static_cast<std::size_t>(field)];
}

const std::string up123456 = "AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30";
const rvx::Address address123456{0x12, 0x34, 0x56};

// ---- Arguments: the ways of writing them, and their faults ----

TEST(Arguments, EveryWayOfWritingAnOptionGivesTheSameRequest) {
    const std::pair<const char*, Arguments> cases[] = {
        {"value as the next argument", {"--ip", "5", "--group", "123456"}},
        {"value after =", {"--ip=5", "--group", "123456"}},
        {"one dash", {"-ip", "5", "-group", "123456"}},
        {"one dash and =", {"-ip=5", "123456", "-group"}},
        {"options after ADDRESS", {"123456", "--group", "--ip", "5"}},
        {"ADDRESS between options", {"--group", "123456", "--ip", "5"}},
        {"-- ends the options", {"--group", "--ip", "5", "--", "123456"}},
        {"--group twice", {"--group", "123456", "--group", "--ip", "5"}},
    };
    for (const auto& [name, arguments] : cases) {
        const auto request = requestOf<cli::StringsRequest>(arguments);
        EXPECT_EQ(request.kind, rvx::AddressKind::Group) << name;
        EXPECT_EQ(request.address, address123456) << name;
        EXPECT_EQ(valueOf(request, rvx::ParameterField::IP), 5.0) << name;
        EXPECT_EQ(valueOf(request, rvx::ParameterField::Pct), 50.0) << name;  // the default
        EXPECT_EQ(request.rows.size(), rvx::commandCount) << name;
        EXPECT_FALSE(request.oneCommand) << name;
        EXPECT_EQ(request.format, cli::Format::Text) << name;
        EXPECT_EQ(request.notation, rvx::Notation::Spaced) << name;
    }
}

TEST(Arguments, HelpAndVersionAreAnsweredWhateverElseIsGiven) {
    for (const Arguments& arguments :
         {Arguments{"-h"}, Arguments{"--help"}, Arguments{"-help"}, Arguments{"--h"},
          Arguments{"12345", "--bogus", "--ip", "99", "--help"}, Arguments{"--version", "-h"},
          Arguments{"--decode", "--help"}, Arguments{"--help=all"}}) {
        requestOf<cli::HelpRequest>(arguments);
    }
    for (const Arguments& arguments : {Arguments{"-v"}, Arguments{"--version"},
                                       Arguments{"--batch", "a", "--batch", "b", "-v"}}) {
        requestOf<cli::VersionRequest>(arguments);
    }
    // A value that happens to read "--help" is a value when written after "=".
    EXPECT_EQ(faultsOf({"--decode=--help"}),
              (std::vector<std::string>{"rvx-strings: --decode: not compact bytes: character 1: "
                                        "expected two hexadecimal digits for each byte, found "
                                        "\"-\""}));
}

// A frame sent to a motor must come from the value the user meant: an option given twice is
// refused, whichever value would have won.
TEST(Arguments, AnOptionThatTakesAValueIsGivenOnce) {
    expectFaults({
        {"parameter",
         {"123456", "--ip", "3", "--ip", "5"},
         {"rvx-strings: --ip is given more than once (\"3\", \"5\"); give it once"}},
        {"parameter written both ways, same value",
         {"-ip=3", "123456", "--ip", "3"},
         {"rvx-strings: --ip is given more than once (\"3\", \"3\"); give it once"}},
        {"three times",
         {"123456", "--percent", "1", "--percent", "2", "--percent", "3"},
         {"rvx-strings: --percent is given more than once (\"1\", \"2\", \"3\"); give it once"}},
        {"batch file",
         {"--batch", "a.txt", "--batch", "b.txt"},
         {"rvx-strings: --batch is given more than once (\"a.txt\", \"b.txt\"); give it once"}},
        {"format",
         {"123456", "--format", "csv", "--format", "json"},
         {"rvx-strings: --format is given more than once (\"csv\", \"json\"); give it once"}},
        {"command",
         {"123456", "--command", "up", "--command=down"},
         {"rvx-strings: --command is given more than once (\"up\", \"down\"); give it once"}},
        {"notation",
         {"123456", "--notation", "compact", "-notation", "dollar"},
         {"rvx-strings: --notation is given more than once (\"compact\", \"dollar\"); give it "
          "once"}},
        {"frame to decode",
         {"--decode", up123456, "--decode", up123456},
         {"rvx-strings: --decode is given more than once (\"" + up123456.substr(0, 40) +
          "\"... (41 characters), \"" + up123456.substr(0, 40) +
          "\"... (41 characters)); give it once"}},
    });
}

TEST(Arguments, AMissingValueIsNamedOnce) {
    expectFaults({
        {"at the end", {"123456", "--ip"}, {"rvx-strings: --ip: a value must follow"}},
        {"one dash", {"123456", "-ip"}, {"rvx-strings: -ip: a value must follow"}},
        {"followed by an option",
         {"123456", "--ip", "--down", "20"},
         {"rvx-strings: --ip: a value must follow"}},
        {"followed by an option with =",
         {"--jog-up", "--priority=3", "123456"},
         {"rvx-strings: --jog-up: a value must follow"}},
        {"the file of --batch", {"--batch"}, {"rvx-strings: --batch: a value must follow"}},
        {"the frame of --decode", {"--decode"}, {"rvx-strings: --decode: a value must follow"}},
        {"of an option that does not go with the mode",
         {"--decode", up123456, "--ip"},
         {"rvx-strings: --ip: a value must follow"}},
    });
    // A value that looks like a negative number is a value, and an empty one is one too.
    EXPECT_EQ(faultsOf({"123456", "--jog-down", "-1"}),
              (std::vector<std::string>{"rvx-strings: --jog-down \"-1\": out of range; the jog "
                                        "down count must be 0 to 255"}));
    EXPECT_EQ(faultsOf({"123456", "--ip="}),
              (std::vector<std::string>{
                  "rvx-strings: --ip \"\": not a number; the IP number must be 1 to 16"}));
}

TEST(Arguments, EveryFaultIsReportedInTheOrderOfTheArguments) {
    expectFaults({
        {"the line of a --send whose TARGET is missing",
         {"123456", "--baud=1e9", "--command", "up", "--timeout", "never", "--send"},
         {"rvx-strings: --baud \"1e9\": must be a whole number from 50 to 4000000",
          "rvx-strings: --timeout \"never\": must be a number of seconds from 0.001 to 3600",
          "rvx-strings: --send: a value must follow"}},
        {"the line of a --send given twice",
         {"--decode", "AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30", "--send", "a", "--parity",
          "high", "--send", "b"},
         {"rvx-strings: --parity \"high\": must be none, even, odd, mark or space",
          "rvx-strings: --send is given more than once (\"a\", \"b\"); give it once"}},
        {"address, value out of range and a missing value",
         {"12345", "--ip", "99", "--down"},
         {"rvx-strings: address \"12345\": must be six hexadecimal digits, not 5 characters",
          "rvx-strings: --ip \"99\": out of range; the IP number must be 1 to 16",
          "rvx-strings: --down: a value must follow"}},
        {"faults of every kind",
         {"--format", "yaml", "--bogus", "--ip", "3", "--percent", "x", "--ip", "4", "--group=1",
          "12345G", "--command", "jump", "--notation", "hex"},
         {"rvx-strings: --format \"yaml\": must be text, csv or json",
          "rvx-strings: unknown option \"--bogus\"; rvx-strings --help lists the options",
          "rvx-strings: --percent \"x\": not a number; the percentage must be 0 to 100",
          "rvx-strings: --ip is given more than once (\"3\", \"4\"); give it once",
          "rvx-strings: --group takes no value, given \"1\"",
          "rvx-strings: address \"12345G\": must be six hexadecimal digits; character 6, \"G\", "
          "is not one",
          "rvx-strings: --command \"jump\": no such command; the commands are up, down, stop, "
          "next-ip-up, next-ip-down, go-to-ip, go-to-percent, jog-up, jog-down, lock-up, "
          "lock-down, lock-current, lock-at-ip, unlock",
          "rvx-strings: --notation \"hex\": must be spaced, compact, escaped, 0x, dollar, decimal, "
          "crestron, amx, control4 or rti"}},
        {"no address, after the other faults",
         {"--priority", "0"},
         {"rvx-strings: --priority \"0\": out of range; the lock priority must be 1 to 100",
          "rvx-strings: no address; it must be six hexadecimal digits"}},
        {"two addresses",
         {"123456", "654321"},
         {"rvx-strings: one ADDRESS expected, got 2: \"123456\" \"654321\""}},
        {"an unknown one-letter option",
         {"123456", "-x"},
         {"rvx-strings: unknown option \"-x\"; rvx-strings --help lists the options"}},
        {"an unknown option with a value",
         {"123456", "--colour=red"},
         {"rvx-strings: unknown option \"--colour\"; rvx-strings --help lists the options"}},
    });
}

TEST(Arguments, EachModeTakesOnlyTheOptionsThatGoWithIt) {
    expectFaults({
        {"two modes",
         {"--decode", up123456, "--batch", "-"},
         {"rvx-strings: --decode and --batch cannot be used together"}},
        {"two modes the other way round",
         {"--batch", "-", "--decode", up123456},
         {"rvx-strings: --batch and --decode cannot be used together"}},
        {"parameters and command with --decode",
         {"--decode", up123456, "--ip", "3", "--command", "Up", "--group"},
         {"rvx-strings: --ip is not used with --decode",
          "rvx-strings: --command is not used with --decode",
          "rvx-strings: --group is not used with --decode"}},
        {"ADDRESS with --decode",
         {"123456", "--decode", up123456},
         {"rvx-strings: ADDRESS \"123456\" is not used with --decode"}},
        {"ADDRESS and --group with --batch",
         {"--batch", "-", "--group", "123456", "654321"},
         {"rvx-strings: --group is not used with --batch; give the kind on each line of FILE",
          "rvx-strings: ADDRESS \"123456\" \"654321\" is not used with --batch; the addresses "
          "come from FILE"}},
        {"a format of another mode",
         {"--decode", up123456, "--format", "csv"},
         {"rvx-strings: --format \"csv\": must be text or json with --decode"}},
        {"a format no mode has",
         {"--batch", "-", "--format", "xml"},
         {"rvx-strings: --format \"xml\": must be csv, json or text with --batch"}},
    });
}

TEST(Arguments, CommandsAreFoundByEitherName) {
    for (std::size_t row = 0; row < rvx::commandCount; ++row) {
        const auto& command = rvx::commandCatalogue[row];
        std::string upper(command.plainName);
        for (char& c : upper) {
            c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        }
        for (const std::string& name :
             {std::string(command.name), std::string(command.plainName), upper}) {
            const auto request = requestOf<cli::StringsRequest>({"123456", "--command", name});
            EXPECT_EQ(request.rows, std::vector<std::size_t>{row}) << name;
            EXPECT_TRUE(request.oneCommand) << name;
        }
    }
}

TEST(Arguments, BatchJobCarriesTheFileNameAsTheBytesGiven) {
    for (const std::string& path :
         {std::string("motors.txt"), std::string("-"), std::string("mo\xFFt\xC3ors \x1B.txt"),
          std::string("-weird"), std::string("")}) {
        const auto job =
            requestOf<cli::BatchJob>({"--command", "go-to-percent", "--batch=" + path, "--percent",
                                      "12.5", "--format", "json", "--notation", "0x"});
        EXPECT_EQ(job.path, path);
        EXPECT_EQ(job.values[static_cast<std::size_t>(rvx::ParameterField::Pct)], 12.5);
        EXPECT_EQ(job.values[static_cast<std::size_t>(rvx::ParameterField::L)], 1.0);
        EXPECT_EQ(job.rows, std::vector<std::size_t>{rvx::rowOf(rvx::CommandId::GoToPercent)});
        EXPECT_EQ(job.format, cli::Format::Json);
        EXPECT_EQ(job.notation, rvx::Notation::ZeroX);
    }
    const auto plain = requestOf<cli::BatchJob>({"--batch", "motors.txt"});
    EXPECT_EQ(plain.format, cli::Format::Csv);  // the default of --batch
    EXPECT_EQ(plain.rows.size(), rvx::commandCount);
}

// A text of any number of bytes but fourteen is no frame: refused with the reason.
TEST(Arguments, DecodeTakesAFrameOfFourteenBytes) {
    expectFaults({
        {"13 bytes",
         {"--decode", "AB F1 FF FF FF FF 12 34 56 FE FF FF 09"},
         {"rvx-strings: --decode: the text holds 13 bytes; a frame has 14"}},
        {"one byte",
         {"--decode", "AB"},
         {"rvx-strings: --decode: the text holds 1 byte; a frame has 14"}},
        {"15 bytes",
         {"--decode", up123456 + " 00"},
         {"rvx-strings: --decode: the text holds 15 bytes; a frame has 14"}},
        {"no bytes", {"--decode", " \n "}, {"rvx-strings: --decode: the text holds no bytes"}},
        {"a notation that is no notation: the frame is not read",
         {"--decode", "AB", "--notation", "octal"},
         {"rvx-strings: --notation \"octal\": must be spaced, compact, escaped, 0x, dollar, "
          "decimal, "
          "crestron, amx, control4 or rti"}},
    });
    const auto request = requestOf<cli::DecodeRequest>(
        {"--format=json", "--decode", "$AB,$F1,$FF,$FF,$FF,$FF,$12,$34,$56,$FE,$FF,$FF,$09,$30"});
    EXPECT_EQ(request.frame, (rvx::Frame{0xAB, 0xF1, 0xFF, 0xFF, 0xFF, 0xFF, 0x12, 0x34, 0x56, 0xFE,
                                         0xFF, 0xFF, 0x09, 0x30}));
    EXPECT_EQ(request.notation, rvx::Notation::Dollar);
    EXPECT_EQ(request.format, cli::Format::Json);
    EXPECT_EQ(requestOf<cli::DecodeRequest>({"--decode",
                                             "171,241,255,255,255,255,18,52,86,254,"
                                             "255,255,9,48",
                                             "--notation", "decimal"})
                  .notation,
              rvx::Notation::Decimal);
}

// ---- Numbers: parameter values ----

TEST(Numbers, AdmittedValuesAreTakenAsTheNumbersTyped) {
    const std::tuple<const char*, rvx::ParameterField, const char*, double> cases[] = {
        {"down", rvx::ParameterField::RU, "12.5", 12.5},
        {"down", rvx::ParameterField::RU, "0", 0.0},
        {"ip", rvx::ParameterField::IP, " +7 ", 7.0},
        {"percent", rvx::ParameterField::Pct, "1e2", 100.0},
        {"jog-up", rvx::ParameterField::MSU, "0", 0.0},
        {"jog-down", rvx::ParameterField::MSD, "255", 255.0},
        {"priority", rvx::ParameterField::L, "100", 100.0},
        {"lock-ip", rvx::ParameterField::IPL, "16.0", 16.0},
    };
    for (const auto& [option, field, text, value] : cases) {
        const auto request =
            requestOf<cli::StringsRequest>({"123456", std::string("--") + option, text});
        EXPECT_EQ(valueOf(request, field), value) << option << " " << text;
    }
}

// A number too large for a double is out of range like any number beyond the bounds, not "no
// number".
TEST(Numbers, TooLargeIsOutOfRange) {
    const std::pair<const char*, std::string> cases[] = {
        {"down", "1e400"},          {"down", "1e308"},
        {"down", "-1e400"},         {"ip", "1" + std::string(400, '0')},
        {"percent", "100.0000001"},
    };
    for (const auto& [option, text] : cases) {
        const auto faults = faultsOf({"123456", std::string("--") + option, text});
        ASSERT_EQ(faults.size(), 1U) << option << " " << text;
        EXPECT_NE(faults[0].find(": out of range; the "), std::string::npos) << faults[0];
    }
}

// ---- Messages: what the user typed, shown safely ----

TEST(Messages, ControlCharactersAreShownEscaped) {
    expectFaults({
        {"line break in a value",
         {"123456", "--percent", "5\n0"},
         {"rvx-strings: --percent \"5\\n0\": not a number; the percentage must be 0 to 100"}},
        {"escape sequence in an address",
         {"\x1B[2J12"},
         {"rvx-strings: address \"\\x1B[2J12\": must be six hexadecimal digits; character 1, "
          "\"\\x1B\", is not one"}},
        {"NUL, tab and DEL in a command name",
         {"123456", "--command", std::string("u\0p\t\x7F", 5)},
         {"rvx-strings: --command \"u\\x00p\\t\\x7F\": no such command; the commands are up, "
          "down, stop, next-ip-up, next-ip-down, go-to-ip, go-to-percent, jog-up, jog-down, "
          "lock-up, lock-down, lock-current, lock-at-ip, unlock"}},
        {"bytes that are not UTF-8 in a format",
         {"123456", "--format", "cs\xFFv"},
         {"rvx-strings: --format \"cs\\xFFv\": must be text, csv or json"}},
        {"a control character of the second set (U+009B, a terminal's CSI) in a notation",
         {"123456", "--notation",
          "\xC2\x9B"
          "31m\xC3\xBC"},
         {"rvx-strings: --notation \"\\xC2\\x9B31m\xC3\xBC\": must be spaced, compact, escaped, "
          "0x, dollar, decimal, crestron, amx, control4 or rti"}},
        {"escape in an address not used",
         {"--batch", "-", "\x1B"},
         {"rvx-strings: ADDRESS \"\\x1B\" is not used with --batch; the addresses come from "
          "FILE"}},
    });
}

TEST(Messages, LongInputIsCut) {
    const std::string long1000(1000, '7');
    const auto faults = faultsOf({"123456", "--jog-up", long1000});
    ASSERT_EQ(faults.size(), 1U);
    EXPECT_EQ(faults[0], "rvx-strings: --jog-up \"" + std::string(40, '7') +
                             "\"... (1000 characters): out of range; the jog up count must be 0 "
                             "to 255");
    const auto address = faultsOf({std::string(5000, 'A')});
    ASSERT_EQ(address.size(), 1U);
    EXPECT_LT(address[0].size(), 160U) << address[0];
}

// Whatever the input, every fault is one line without a control character of either set.
TEST(Messages, NoFaultLineHoldsAControlCharacter) {
    std::string everyByte;
    for (int c = 1; c < 256; ++c) {
        everyByte += static_cast<char>(c);
    }
    const std::vector<Arguments> cases = {
        {everyByte},
        {"123456", "--ip", everyByte},
        {"123456", "--command", everyByte},
        {"123456", "--notation", everyByte},
        {"123456", "--format", everyByte},
        {"123456", "--" + everyByte},
        {"--decode", everyByte},
        {"--decode", "AB\nF1\x1B"},
        {"--batch", "x", everyByte, "--group=" + everyByte},
        {"123456", "--ip",
         "\xC2\x85\xC2\x9B"
         "2J"},
    };
    for (const auto& arguments : cases) {
        const auto faults = faultsOf(arguments);
        EXPECT_FALSE(faults.empty());
        for (const auto& line : faults) {
            for (std::size_t k = 0; k < line.size(); ++k) {
                const auto u = static_cast<unsigned char>(line[k]);
                const bool secondSet = u == 0xC2 && k + 1 < line.size() &&
                                       static_cast<unsigned char>(line[k + 1]) <= 0x9F;
                ASSERT_TRUE(u >= 0x20 && u != 0x7F && !secondSet) << line;
            }
        }
    }
}

}  // namespace

// ---- The bus: --send, --monitor, --list-ports and the line ----

TEST(Bus, SendCarriesTheOneFrameTheTargetAndTheLine) {
    const auto plain = requestOf<cli::StringsRequest>(
        {"123456", "--command", "up", "--send", "/dev/serial/by-id/usb-FTDI-if00-port0"});
    ASSERT_TRUE(plain.send.has_value());
    EXPECT_EQ(plain.rows, std::vector<std::size_t>{rvx::rowOf(rvx::CommandId::Up)});
    EXPECT_EQ(plain.send->target.kind, rvx::BusTarget::Kind::Serial);
    EXPECT_EQ(plain.send->target.device, "/dev/serial/by-id/usb-FTDI-if00-port0");
    EXPECT_EQ(plain.send->settings.baudRate, 4800);
    EXPECT_EQ(plain.send->settings.parity, rvx::Parity::Odd);
    EXPECT_EQ(plain.send->settings.timeout, std::chrono::milliseconds(5000));

    const auto bridge = requestOf<cli::StringsRequest>(
        {"--send=tcp://rs485-gw.local:4001", "--baud", "9600", "--parity", "N", "--timeout", "0.25",
         "--group", "0a0b0c", "--command", "go-to-ip", "--ip", "3"});
    ASSERT_TRUE(bridge.send.has_value());
    EXPECT_EQ(bridge.send->target.kind, rvx::BusTarget::Kind::Tcp);
    EXPECT_EQ(bridge.send->target.host, "rs485-gw.local");
    EXPECT_EQ(bridge.send->target.port, 4001);
    EXPECT_EQ(bridge.send->settings.baudRate, 9600);
    EXPECT_EQ(bridge.send->settings.parity, rvx::Parity::None);
    EXPECT_EQ(bridge.send->settings.timeout, std::chrono::milliseconds(250));
    EXPECT_EQ(bridge.kind, rvx::AddressKind::Group);

    const auto decode = requestOf<cli::DecodeRequest>({"--decode", up123456, "--send", "COM3"});
    ASSERT_TRUE(decode.send.has_value());
    EXPECT_EQ(decode.send->target.device, "COM3");
    EXPECT_FALSE(requestOf<cli::DecodeRequest>({"--decode", up123456}).send.has_value());
    EXPECT_FALSE(requestOf<cli::StringsRequest>({"123456"}).send.has_value());
}

TEST(Bus, MonitorAndListPortsAreModesOfTheirOwn) {
    const auto monitor =
        requestOf<cli::MonitorRequest>({"--monitor", "tcp://[fe80::1]:23", "--count", "1e3",
                                        "--format", "json", "--parity", "even", "--baud", "19200"});
    EXPECT_EQ(monitor.bus.target.host, "fe80::1");
    EXPECT_EQ(monitor.count, std::optional<std::uint64_t>(1000));
    EXPECT_EQ(monitor.format, cli::Format::Json);
    EXPECT_EQ(monitor.bus.settings.parity, rvx::Parity::Even);
    EXPECT_EQ(monitor.bus.settings.baudRate, 19200);
    const auto unbounded = requestOf<cli::MonitorRequest>({"--monitor", "/dev/ttyUSB0"});
    EXPECT_FALSE(unbounded.count.has_value());
    EXPECT_EQ(unbounded.format, cli::Format::Text);

    EXPECT_EQ(requestOf<cli::ListPortsRequest>({"--list-ports"}).format, cli::Format::Text);
    EXPECT_EQ(requestOf<cli::ListPortsRequest>({"-list-ports", "--format=json"}).format,
              cli::Format::Json);
}

// Nothing is sent unless one frame was asked for exactly: every doubt is a bad argument.
TEST(Bus, FaultsOfTheBusOptions) {
    expectFaults({
        {"--send without --command",
         {"123456", "--send", "/dev/ttyUSB0"},
         {"rvx-strings: --send sends one frame: choose it with --command; the fourteen strings "
          "are never sent together"}},
        {"--send with a command that is none: that fault alone",
         {"123456", "--command", "jump", "--send", "/dev/ttyUSB0"},
         {"rvx-strings: --command \"jump\": no such command; the commands are up, down, stop, "
          "next-ip-up, next-ip-down, go-to-ip, go-to-percent, jog-up, jog-down, lock-up, "
          "lock-down, lock-current, lock-at-ip, unlock"}},
        {"--send twice",
         {"123456", "--command", "up", "--send", "/dev/ttyUSB0", "--send", "/dev/ttyUSB1"},
         {"rvx-strings: --send is given more than once (\"/dev/ttyUSB0\", \"/dev/ttyUSB1\"); give "
          "it once"}},
        {"--send without its target",
         {"123456", "--command", "up", "--send"},
         {"rvx-strings: --send: a value must follow"}},
        {"another scheme",
         {"123456", "--command", "up", "--send", "udp://10.0.0.5:4001"},
         {"rvx-strings: --send \"udp://10.0.0.5:4001\": \"udp://\" is no kind of target here; "
          "name a serial port or a bridge as tcp://HOST:PORT"}},
        {"a bridge without tcp://",
         {"--monitor", "10.0.0.5:4001"},
         {"rvx-strings: --monitor \"10.0.0.5:4001\": no serial port; for a bridge write "
          "tcp://10.0.0.5:4001"}},
        {"an empty target",
         {"--decode", up123456, "--send="},
         {"rvx-strings: --send \"\": empty; name a serial port (/dev/ttyUSB0, COM3) or a bridge "
          "(tcp://HOST:PORT)"}},
        {"a control character, shown escaped",
         {"--monitor", "/dev/ttyUSB0\x1B[2J"},
         {"rvx-strings: --monitor \"/dev/ttyUSB0\\x1B[2J\": holds a control character"}},
        {"a target that is not UTF-8",
         {"--monitor", "/dev/tty\xFF"},
         {"rvx-strings: --monitor \"/dev/tty\\xFF\": not UTF-8 text"}},
        {"--count without --monitor",
         {"123456", "--count", "3"},
         {"rvx-strings: --count is used only with --monitor"}},
        {"--count with --decode",
         {"--decode", up123456, "--count", "3"},
         {"rvx-strings: --count is not used with --decode"}},
        {"the line without --send or --monitor",
         {"123456", "--baud", "9600", "--parity", "even", "--timeout", "1"},
         {"rvx-strings: --baud is used only with --send or --monitor",
          "rvx-strings: --parity is used only with --send or --monitor",
          "rvx-strings: --timeout is used only with --send or --monitor"}},
        {"the line with --list-ports",
         {"--list-ports", "--baud", "9600"},
         {"rvx-strings: --baud is not used with --list-ports"}},
        {"--format with --send",
         {"123456", "--command", "up", "--format", "json", "--send", "/dev/ttyUSB0"},
         {"rvx-strings: --format is not used with --send, which writes one line of text"}},
        {"--send with the other modes",
         {"--batch", "-", "--send", "/dev/ttyUSB0"},
         {"rvx-strings: --send is not used with --batch"}},
        {"--send with --monitor",
         {"--monitor", "/dev/ttyUSB0", "--send", "/dev/ttyUSB1"},
         {"rvx-strings: --send is not used with --monitor"}},
        {"what makes strings, with --monitor",
         {"--monitor", "/dev/ttyUSB0", "123456", "--group", "--command", "up", "--notation",
          "compact"},
         {"rvx-strings: ADDRESS \"123456\" is not used with --monitor; the frames come from TARGET",
          "rvx-strings: --group is not used with --monitor",
          "rvx-strings: --command is not used with --monitor",
          "rvx-strings: --notation is not used with --monitor"}},
        {"two modes",
         {"--monitor", "/dev/ttyUSB0", "--list-ports"},
         {"rvx-strings: --monitor and --list-ports cannot be used together"}},
        {"a value given to --list-ports",
         {"--list-ports=all"},
         {"rvx-strings: --list-ports takes no value, given \"all\""}},
        {"a format --list-ports does not write",
         {"--list-ports", "--format", "csv"},
         {"rvx-strings: --format \"csv\": must be text or json with --list-ports"}},
    });
}

TEST(Bus, FaultsOfTheLineValues) {
    expectFaults({
        {"parity",
         {"--monitor", "COM3", "--parity", "odd1"},
         {"rvx-strings: --parity \"odd1\": must be none, even, odd, mark or space"}},
        {"baud rates",
         {"--monitor", "COM3", "--baud", "4800.5", "--timeout", "0", "--count", "0"},
         {"rvx-strings: --baud \"4800.5\": must be a whole number from 50 to 4000000",
          "rvx-strings: --timeout \"0\": must be a number of seconds from 0.001 to 3600",
          "rvx-strings: --count \"0\": must be a whole number of frames from 1 to 1000000000"}},
    });
    const std::pair<const char*, std::vector<std::string>> rejected[] = {
        {"--baud", {"49", "4000001", "x", "", "-4800", "nan"}},
        {"--timeout", {"-1", "0.0004", "3600.5", "1e400", "5s"}},
        {"--count", {"1.5", "-1", "1000000001", "many"}},
        {"--parity", {"", "ood", "\xFF"}},
    };
    for (const auto& [option, values] : rejected) {
        for (const auto& value : values) {
            const auto faults = faultsOf({"--monitor", "COM3", option, value});
            ASSERT_EQ(faults.size(), 1U) << option << " " << value;
            EXPECT_EQ(faults[0].rfind("rvx-strings: " + std::string(option) + " ", 0), 0U)
                << faults[0];
        }
    }
    // The bounds themselves are admitted.
    for (const auto& [option, value] :
         {std::pair{"--baud", "50"}, std::pair{"--baud", "4000000"},
          std::pair{"--timeout", "0.001"}, std::pair{"--timeout", "3600"},
          std::pair{"--count", "1"}, std::pair{"--count", "1e9"}}) {
        requestOf<cli::MonitorRequest>({"--monitor", "COM3", option, value});
    }
}
