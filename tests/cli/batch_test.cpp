// rvx-strings --batch as a process: the motor list, the table written from it, and bad lines.
#include "batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "json_value.h"
#include "list_bytes.h"
#include "rvx/generator.h"
#include "rvx/memory_fields.h"
#include "rvx/message.h"
#include "tool.h"

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

using tool::Arguments;
using tool::operator+;

using tool::contains;
using tool::lines;

// A file in a directory of its own that lives as long as the test.
class ListFile {
public:
    explicit ListFile(const std::string& content) {
        EXPECT_TRUE(process::writeFile(path(), content));
    }
    [[nodiscard]] std::string path() const { return directory_.filePath("motors.txt"); }

private:
    process::TempDir directory_;
};

const std::string sampleList =
    "\xEF\xBB\xBF# motors of the east wing\n"
    "123456\n"
    "\n"
    "   # a comment after blanks\n"
    "  a1b2c3 , GROUP , Hall, \"east\"  \r\n"
    "0A0B0C,single,K\xC3\xBC"
    "che\r\n"
    "FFFFFF,,\n"
    "   \t\n"
    "000071";  // no line break at the end

TEST(Batch, CsvHasAHeaderAndOneRowPerMotorAndCommand) {
    const ListFile list(sampleList);
    const auto result = tool::run({"--batch", list.path(), "--command", "up"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "label,kind,address,command,string\n"
              ",single,123456,Up,AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30\n"
              "\"Hall, \"\"east\"\"\",group,A1B2C3,Up,AB F1 FF A1 B2 C3 FF FF FF FE FF FF 0A AA\n"
              "K\xC3\xBC"
              "che,single,0A0B0C,Up,AB F1 FF FF FF FF 0A 0B 0C FE FF FF 08 B5\n"
              ",single,FFFFFF,Up,AB F1 FF FF FF FF FF FF FF FE FF FF 0B 91\n"
              ",single,000071,Up,AB F1 FF FF FF FF 00 00 71 FE FF FF 09 05\n");
}

// A label as a spreadsheet writes it, in quotes, is read without them, so it comes out as it
// went in.
TEST(Batch, AQuotedLabelIsReadAsACsvField) {
    const auto result = tool::run({"--batch", "-", "--command", "Up"},
                                  "123456,single,\"Hall, \"\"east\"\"\"\n"
                                  "123456,single, \"\" \n"
                                  "123456,single,Door \"A\"\n");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const auto rows = lines(result.out);
    ASSERT_EQ(rows.size(), 4U);
    EXPECT_TRUE(rows[1].starts_with("\"Hall, \"\"east\"\"\",single,123456,Up,")) << rows[1];
    EXPECT_TRUE(rows[2].starts_with(",single,123456,Up,AB")) << rows[2];
    EXPECT_TRUE(rows[3].starts_with("\"Door \"\"A\"\"\",single,123456,Up,AB F1 FF")) << rows[3];
}

TEST(Batch, EveryCommandInCatalogueOrderByDefault) {
    const auto result = tool::run({"--batch", "-"}, "123456\n654321,group\n");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const auto rows = lines(result.out);
    ASSERT_EQ(rows.size(), 1U + 2 * 14);
    EXPECT_EQ(rows[1], ",single,123456,Up,AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30");
    EXPECT_EQ(rows[14], ",single,123456,Unlock,A4 F1 FF FF FF FF 12 34 56 FA FF FE 09 24");
    EXPECT_EQ(rows[21].substr(0, 36), ",group,654321,Go to %,AB F1 FF 65 43");
    EXPECT_EQ(rows[28].substr(0, 29), ",group,654321,Unlock,A4 F1 FF");
}

TEST(Batch, JsonIsAnArrayOfObjectsWithTheColumnsAsKeys) {
    const ListFile list(sampleList);
    const auto result = tool::run({"--batch", list.path(), "--format", "json", "--command",
                                   "Lock @ IP #", "--notation", "compact", "--lock-ip", "16"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out.substr(0, 16), "[\n  {\"label\": \"\"") << result.out;
    const auto document = json::parse(result.out);
    ASSERT_TRUE(document.has_value()) << result.out;
    const json::Value& array = *document;
    ASSERT_EQ(array.size(), 5U);
    const json::Value& hall = array[1];
    EXPECT_EQ(hall.keys(),
              (std::vector<std::string>{"label", "kind", "address", "command", "string"}));
    EXPECT_EQ(hall["label"].toString(), "Hall, \"east\"");
    EXPECT_EQ(hall["kind"].toString(), "group");
    EXPECT_EQ(hall["address"].toString(), "A1B2C3");
    EXPECT_EQ(hall["command"].toString(), "Lock @ IP #");
    EXPECT_EQ(hall["string"].toString(), "A4F1FFA1B2C3FFFFFFFBEFFE0A8F");
    EXPECT_EQ(array[2]["label"].toString(),
              "K\xC3\xBC"
              "che");
}

// The JSON tables keep their layout to the byte: one object a line, escapes inside strings, an
// empty table as [], whichever mode writes them.
TEST(Batch, JsonTablesKeepTheirLayout) {
    struct Case {
        const char* name;
        Arguments arguments;
        std::string input;
        std::string out;
    };
    const Case cases[] = {
        {"two motors, a quote in a label, escaped notation",
         {"--batch", "-", "--format", "json", "--command", "up", "--notation", "escaped"},
         "123456,single,Kit\"chen\nA1B2C3,group\n",
         "[\n"
         R"(  {"label": "Kit\"chen", "kind": "single", "address": "123456", "command": "Up", )"
         R"("string": "\\xAB\\xF1\\xFF\\xFF\\xFF\\xFF\\x12\\x34\\x56\\xFE\\xFF\\xFF\\x09\\x30"},)"
         "\n"
         R"(  {"label": "", "kind": "group", "address": "A1B2C3", "command": "Up", )"
         R"("string": "\\xAB\\xF1\\xFF\\xA1\\xB2\\xC3\\xFF\\xFF\\xFF\\xFE\\xFF\\xFF\\x0A\\xAA"})"
         "\n]\n"},
        {"a list without motors", {"--batch", "-", "--format", "json"}, "# none\n", "[]\n"},
        {"three rows, compact",
         {"--batch", "-", "--format", "json", "--command", "up", "--notation", "compact"},
         "000001\n000002,group,b\n000003\n",
         "[\n"
         R"(  {"label": "", "kind": "single", "address": "000001", "command": "Up", )"
         R"("string": "ABF1FFFFFFFF000001FEFFFF0895"},)"
         "\n"
         R"(  {"label": "b", "kind": "group", "address": "000002", "command": "Up", )"
         R"("string": "ABF1FF000002FFFFFFFEFFFF0896"},)"
         "\n"
         R"(  {"label": "", "kind": "single", "address": "000003", "command": "Up", )"
         R"("string": "ABF1FFFFFFFF000003FEFFFF0897"})"
         "\n]\n"},
        {"decimal bytes of one motor",
         {"--batch", "-", "--format", "json", "--command", "stop", "--notation", "decimal"},
         "0A0B0C,group,Hall\n",
         "[\n"
         R"(  {"label": "Hall", "kind": "group", "address": "0A0B0C", "command": "Stop", )"
         R"("string": "171,241,255,10,11,12,255,255,255,252,255,255,8,179"})"
         "\n]\n"},
        {"the strings of one address",
         {"123456", "--format", "json", "--command", "lock-at-ip", "--priority", "50", "--lock-ip",
          "3"},
         "",
         "[\n"
         R"(  {"command": "Lock @ IP #", "string": "A4 F1 FF FF FF FF 12 34 56 FB FC CD 08 F1"})"
         "\n]\n"},
    };
    for (const auto& c : cases) {
        const auto result = tool::run(c.arguments, c.input);
        EXPECT_EQ(result.exitCode, 0) << c.name << ": " << result.err;
        EXPECT_EQ(result.out, c.out) << c.name;
    }
}

TEST(Batch, TextLinesUpTheColumns) {
    const auto result = tool::run({"--batch", "-", "--format", "text", "--command", "Stop"},
                                  "123456,single,Kitchen\nabcdef,group,Hall\n");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "Kitchen  single  123456  Stop  AB F1 FF FF FF FF 12 34 56 FC FF FF 09 2E\n"
              "Hall     group   ABCDEF  Stop  AB F1 FF AB CD EF FF FF FF FC FF FF 0A F9\n");
}

TEST(Batch, AnEmptyListGivesAnEmptyTable) {
    EXPECT_EQ(tool::run({"--batch", "-"}, "# nothing yet\n\n").out,
              "label,kind,address,command,string\n");
    EXPECT_EQ(tool::run({"--batch", "-", "--format", "json"}, "").out, "[]\n");
}

// The table says what single calls with the same parameters and notation say.
TEST(Batch, AgreesWithSingleCalls) {
    const Arguments options = {"--down",   "250", "--ip",       "16", "--percent",  "33.3",
                               "--jog-up", "0",   "--priority", "7",  "--notation", "dollar"};
    const char* motors[][2] = {
        {"123456", "single"}, {"a1b2c3", "group"}, {"000000", "group"}, {"FFFFFF", "single"}};
    std::string input;
    for (const auto& motor : motors) {
        input += std::string(motor[0]) + "," + motor[1] + "\n";
    }
    const auto batch = tool::run(Arguments{"--batch", "-"} + options, input);
    ASSERT_EQ(batch.exitCode, 0) << batch.err;
    const auto rows = lines(batch.out);
    ASSERT_EQ(rows.size(), 1U + 4 * 14);
    for (std::size_t m = 0; m < 4; ++m) {
        Arguments arguments = Arguments{motors[m][0], "--format", "csv"} + options;
        if (std::string(motors[m][1]) == "group") {
            arguments.emplace_back("--group");
        }
        const auto single = lines(tool::run(arguments).out);
        ASSERT_EQ(single.size(), 15U);
        for (std::size_t row = 0; row < 14; ++row) {
            // ",kind,ADDRESS," before the single call's "command,string".
            const std::string& line = rows[1 + 14 * m + row];
            EXPECT_EQ(line.substr(line.find(',', line.find(',', 1) + 1) + 1), single[1 + row]);
        }
    }
}

// Many random motors: each row is what the generation writes for that motor.
TEST(Batch, AgreesWithTheGenerationForManyMotors) {
    std::mt19937 random(11);
    std::uniform_int_distribution<std::uint32_t> addresses(0, 0xFFFFFF);
    std::vector<std::pair<std::string, rvx::AddressKind>> motors;
    std::string input;
    for (int k = 0; k < 2000; ++k) {
        char address[8];
        std::snprintf(address, sizeof address, "%06x", static_cast<unsigned>(addresses(random)));
        const auto kind = random() % 2 == 0 ? rvx::AddressKind::Single : rvx::AddressKind::Group;
        motors.emplace_back(address, kind);
        input += std::string(address) + (kind == rvx::AddressKind::Group ? ",group" : "") + "\n";
    }
    const auto result =
        tool::run({"--batch", "-", "--percent", "12.5", "--priority", "100"}, input);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto rows = lines(result.out);
    ASSERT_EQ(rows.size(), 1 + motors.size() * 14);
    for (std::size_t m = 0; m < motors.size(); ++m) {
        rvx::MemoryFields fields;
        fields.kind = motors[m].second;
        fields.address[static_cast<std::size_t>(fields.kind)] = motors[m].first;
        fields.parameter(rvx::ParameterField::Pct) = "12.5";
        fields.parameter(rvx::ParameterField::L) = "100";
        rvx::CommandStringEngine(fields).getAddress();
        for (std::size_t row = 0; row < 14; ++row) {
            const std::string& line = rows[1 + 14 * m + row];
            ASSERT_EQ(line.substr(line.rfind(',') + 1), fields.outputs[row]) << line;
        }
    }
}

// A list that is no UTF-8 text says what it likely is, once, from a file or standard input,
// and nothing is written.
TEST(Batch, AListThatIsNoTextSaysWhatItLikelyIs) {
    const std::string utf16 = "\xFF\xFE" + list_bytes::utf16("123456\n");
    const ListFile list(utf16);
    auto result = tool::run({"--batch", list.path()});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(lines(result.err),
              (std::vector<std::string>{list.path() +
                                        ": saved as UTF-16 (with a byte order mark): save it as "
                                        "UTF-8"}));
    result = tool::run({"--batch", "-"}, list_bytes::binary(300));
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(lines(result.err),
              (std::vector<std::string>{"(standard input): not a text file: it holds "
                                        "zero bytes or control characters; a site is a list of "
                                        "motors in UTF-8 text"}));
}

// Every bad line is reported as FILE:LINE: message, and nothing is written.
TEST(Batch, EveryBadLineIsReportedWithItsNumber) {
    const ListFile list(
        "# header\n"
        "12345\n"
        "123456\n"
        "1234567,single\n"
        "\n"
        "12345G,group,ok\n"
        "123456,grp\n"
        ",single,no address\n"
        "123456,single,bell\x07\n"
        "123456,single,bad \xC3\x28 UTF-8\n"
        "12 456,both,x\n"
        "abcdef,Group,fine\n"
        "123456,single,\"closed\" early\n"
        // A quote that is never closed is reported on its line, and the lines after it are
        // read as they stand.
        "\"123456\",single,\"open\n"
        "ABCDE\n");
    const auto result = tool::run({"--batch", list.path()});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    const std::string file = list.path();
    const std::vector<std::string> expected = {
        file + ":2: address \"12345\": must be six hexadecimal digits, not 5 characters",
        file + ":4: address \"1234567\": must be six hexadecimal digits, not 7 characters",
        file +
            ":6: address \"12345G\": must be six hexadecimal digits; character 6, \"G\", is "
            "not one",
        file + ":7: kind \"grp\": must be single or group",
        file + ":8: no address; it must be six hexadecimal digits",
        file + ":9: the label holds a control character",
        file + ":10: the label is not valid UTF-8 (saved as Latin-1 or Windows-1252?): save " +
            "the list as UTF-8",
        file +
            ":11: address \"12 456\": must be six hexadecimal digits; character 3, \" \", is not "
            "one; kind \"both\": must be single or group",
        file + ":13: the label starts with a quote, and text follows its closing quote " +
            "(\"closed\" early)",
        file + ":14: the label starts with a quote, and its closing quote is missing (\"open)",
        file + ":15: address \"ABCDE\": must be six hexadecimal digits, not 5 characters",
    };
    EXPECT_EQ(lines(result.err), expected);

    const auto standardInput = tool::run({"--batch", "-"}, "123456\nXYZ\n");
    EXPECT_EQ(standardInput.exitCode, 2);
    EXPECT_EQ(standardInput.out, "");
    EXPECT_EQ(standardInput.err,
              "(standard input):2: address \"XYZ\": must be six hexadecimal digits, not 3 "
              "characters\n");
}

TEST(Batch, UsageErrors) {
    const process::TempDir directory;
    const std::vector<tool::Refusal> cases = {
        {{"--batch", directory.filePath("missing.txt")},
         {"rvx-strings: --batch \"" + rvx::escaped(directory.filePath("missing.txt")) +
          "\": cannot read: No such file or directory"}},
        {{"--batch", directory.text()},
         {"rvx-strings: --batch \"" + rvx::escaped(directory.text()) +
          "\": cannot read: Is a directory"}},
        // Bad arguments are reported without reading the list.
        {{"--batch", directory.filePath("missing.txt"), "--ip", "99"},
         {"rvx-strings: --ip \"99\": out of range"}},
        {{"--batch", "-", "--group"},
         {"rvx-strings: --group is not used with --batch; give the kind on each line of FILE"}},
        {{"--batch", "-", "--format", "xml"},
         {"rvx-strings: --format \"xml\": must be csv, json or text with --batch"}},
        {{"--batch", "-", "--command", "Fly"}, {"rvx-strings: --command \"Fly\": no such command"}},
        {{"--batch"}, {"rvx-strings: --batch: a value must follow"}},
    };
    tool::expectRefused(cases, "123456\n");
}

// ---- Reading the list ----

// The table of one motor's Up row, for lists that hold motor 123456.
const std::string upRow = ",Up,AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30\n";
const std::string header = "label,kind,address,command,string\n";

struct ListCase {
    const char* name;
    std::string list;
    std::string table;  // --command Up
};

// Every part may be quoted, as spreadsheets export them, and a quoted label may hold line
// breaks (RFC 4180).
TEST(BatchInput, QuotedPartsAreReadAsCsvFields) {
    const std::vector<ListCase> cases = {
        {"every part quoted", "\"123456\",\"single\",\"Kitchen\"\n",
         header + "Kitchen,single,123456" + upRow},
        {"blanks around quoted parts", " \"123456\" , \"SINGLE\" , \"Hall, \"\"east\"\"\" \n",
         header + "\"Hall, \"\"east\"\"\",single,123456" + upRow},
        {"an empty quoted kind is single", "\"123456\",\"\",Door\n",
         header + "Door,single,123456" + upRow},
        {"a label across a carriage return and line feed", "123456,single,\"Hall\r\neast\"\n",
         header + "\"Hall\r\neast\",single,123456" + upRow},
        {"a label across a line feed, no break at the end", "123456,,\"Hall\neast\"",
         header + "\"Hall\neast\",single,123456" + upRow},
        {"a label across a carriage return", "123456,,\"Hall\reast\"\r",
         header + "\"Hall\reast\",single,123456" + upRow},
        {"a # inside a quoted label starts no comment", "123456,,\"a\n# b\"\n",
         header + "\"a\n# b\",single,123456" + upRow},
        {"a quote inside an unquoted label is kept", "123456,,Door \"A\", west\n",
         header + "\"Door \"\"A\"\", west\",single,123456" + upRow},
    };
    for (const auto& c : cases) {
        const auto result = tool::run({"--batch", "-", "--command", "Up"}, c.list);
        EXPECT_EQ(result.exitCode, 0) << c.name << ": " << result.err;
        EXPECT_EQ(result.out, c.table) << c.name;
    }
}

// After a quoted label a line may hold a room and a note, as the site window writes them; the
// table leaves them out. An unquoted label is still the rest of its line.
TEST(BatchInput, ARoomAndANoteMayFollowAQuotedLabel) {
    const std::vector<ListCase> cases = {
        {"room and note", "123456,single,\"Kitchen\",Ground floor,left of the door\n",
         header + "Kitchen,single,123456" + upRow},
        {"quoted room, unquoted note with commas",
         "123456,single,\"Kitchen\",\"Ground, west\",by the door, left\n",
         header + "Kitchen,single,123456" + upRow},
        {"an empty room before a note", "123456,,\"Hall\",,note\n",
         header + "Hall,single,123456" + upRow},
        {"an unquoted label keeps its commas", "123456,single,Kitchen,Ground floor\n",
         header + "\"Kitchen,Ground floor\",single,123456" + upRow},
    };
    for (const auto& c : cases) {
        const auto result = tool::run({"--batch", "-", "--command", "Up"}, c.list);
        EXPECT_EQ(result.exitCode, 0) << c.name << ": " << result.err;
        EXPECT_EQ(result.out, c.table) << c.name;
    }
    const auto bad = tool::run({"--batch", "-"},
                               "123456,single,\"Kitchen\",\"Ground\" floor\n"
                               "123456,single,\"Hall\",Ground,bell\x07\n");
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(lines(bad.err),
              (std::vector<std::string>{
                  "(standard input):1: the room starts with a quote, and text follows its "
                  "closing quote (\"Ground\" floor)",
                  "(standard input):2: the note holds a control character"}));
}

// A line ends at a line feed, a carriage return, or both; the same list with any of them gives
// the same table, and bad lines the same numbers.
TEST(BatchInput, LineEndsMayBeLineFeedsCarriageReturnsOrBoth) {
    const std::string list = "# motors\n123456,single,Kitchen\n\nA1B2C3,group,Hall\n   \n0A0B0C";
    const auto expected = tool::run({"--batch", "-"}, list);
    ASSERT_EQ(expected.exitCode, 0) << expected.err;
    ASSERT_EQ(lines(expected.out).size(), 1U + 3 * 14);

    for (const std::string_view end : {"\r\n", "\r"}) {
        std::string changed;
        for (const char c : list + "\nXYZ\n") {
            changed += c == '\n' ? std::string(end) : std::string(1, c);
        }
        const auto result = tool::run({"--batch", "-"}, changed.substr(0, changed.rfind("XYZ")));
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out, expected.out);
        const auto bad = tool::run({"--batch", "-"}, changed);
        EXPECT_EQ(bad.err,
                  "(standard input):7: address \"XYZ\": must be six hexadecimal digits, "
                  "not 3 characters\n");
    }
    const auto mixed = tool::run({"--batch", "-"}, "123456\r\rXYZ\r\nABCDEF\n\r1234\n");
    EXPECT_EQ(lines(mixed.err),
              (std::vector<std::string>{
                  "(standard input):3: address \"XYZ\": must be six hexadecimal digits, not 3 "
                  "characters",
                  "(standard input):6: address \"1234\": must be six hexadecimal digits, not 4 "
                  "characters"}));
    // Line breaks inside a quoted label count as well.
    const auto quoted = tool::run({"--batch", "-"}, "123456,,\"first\nsecond\r\nthird\"\r12345G\n");
    EXPECT_EQ(quoted.err,
              "(standard input):4: address \"12345G\": must be six hexadecimal digits; character "
              "6, \"G\", is not one\n");
}

#ifndef _WIN32
// What cannot be read twice (a pipe, here standard input named as a file) is kept aside while
// it is checked, and the table is written from the copy.
TEST(BatchInput, AListThatCannotBeReadTwiceIsReadOnce) {
    const std::string list = "123456,single,Kitchen\nA1B2C3,group\n";
    const auto fromFile = tool::run({"--batch", ListFile(list).path()});
    const auto fromPipe = tool::run({"--batch", "/dev/stdin"}, list);
    EXPECT_EQ(fromPipe.exitCode, 0) << fromPipe.err;
    EXPECT_EQ(fromPipe.out, fromFile.out);
    EXPECT_EQ(lines(fromPipe.out).size(), 1U + 2 * 14);
}
#endif

#ifndef _WIN32
struct Captured {
    int status = -1;
    std::string out;
    std::string err;
};

std::string readAll(std::FILE* file) {
    std::string text;
    std::rewind(file);
    char chunk[4096];
    std::size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        text.append(chunk, n);
    }
    std::fclose(file);
    return text;
}

// runBatch as the command line calls it, with the path as raw bytes.
Captured runBatch(const std::string& path) {
    cli::BatchJob job;
    job.path = path;
    job.rows = {rvx::rowOf(rvx::CommandId::Up)};
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    Captured captured;
    captured.status = cli::runBatch(job, out, err);
    captured.out = readAll(out);
    captured.err = readAll(err);
    return captured;
}

// The path is opened as the bytes given; in messages, bytes that are not UTF-8 and control
// characters are written as escapes.
TEST(BatchInput, AFileNameIsOpenedAsTheBytesGiven) {
    const process::TempDir directory;
    const std::string folder = directory.text();
    const std::string name = folder + "/motors-\xFF\xFE.txt";
    std::FILE* file = std::fopen(name.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("123456,single,Kitchen\n", file);
    std::fclose(file);
    const Captured good = runBatch(name);
    EXPECT_EQ(good.status, 0) << good.err;
    EXPECT_EQ(good.out, header + "Kitchen,single,123456" + upRow);

    file = std::fopen(name.c_str(), "ab");
    ASSERT_NE(file, nullptr);
    std::fputs("XYZ\n", file);
    std::fclose(file);
    EXPECT_EQ(runBatch(name).err, folder +
                                      "/motors-\\xFF\\xFE.txt:2: address \"XYZ\": must be six "
                                      "hexadecimal digits, not 3 characters\n");

    const Captured missing = runBatch(folder + "/\x1B[2Jmissing-\xFF.txt");
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "rvx-strings: --batch \"" + folder +
                               "/\\x1B[2Jmissing-\\xFF.txt\": cannot read: No such file or "
                               "directory\n");
}
#endif

// Lists pieced together at random from what lists are made of, and what they should not hold:
// each is read or refused with messages, never anything else.
TEST(BatchInput, RandomListsAreWrittenOrRefusedCleanly) {
    const std::vector<std::string> pieces = {"123456",
                                             "a1b2c3",
                                             "FFFFFF",
                                             ",",
                                             ",",
                                             "\"",
                                             "\"\"",
                                             "\r",
                                             "\n",
                                             "\r\n",
                                             " ",
                                             "\t",
                                             "#",
                                             "group",
                                             "single",
                                             "Hall",
                                             "=",
                                             "\x1B",
                                             std::string(1, '\0'),
                                             "\xC3\xBC",
                                             "\xFF",
                                             std::string(1500, 'x')};
    std::mt19937 random(5);
    for (int round = 0; round < 150; ++round) {
        std::string list;
        const auto count = random() % 40;
        for (std::uint32_t k = 0; k < count; ++k) {
            list += pieces[random() % pieces.size()];
        }
        const auto result = tool::run({"--batch", "-", "--command", "Up"}, list);
        ASSERT_TRUE(result.exitCode == 0 || result.exitCode == 2) << testing::PrintToString(list);
        if (result.exitCode == 0) {
            EXPECT_EQ(result.err, "");
            EXPECT_TRUE(result.out.starts_with(header)) << testing::PrintToString(list);
            continue;
        }
        EXPECT_EQ(result.out, "");
        const auto messages = lines(result.err);
        EXPECT_FALSE(messages.empty());
        for (const std::string& message : messages) {
            EXPECT_TRUE(message.starts_with("(standard input):")) << message;
            EXPECT_TRUE(std::none_of(message.begin(), message.end(), [](char c) {
                return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
            })) << testing::PrintToString(message);
        }
    }
}

// ---- Messages ----

// Text from the list stands in messages escaped and cut, so that nothing reaches the terminal
// raw and one long line gives one short message.
TEST(BatchMessages, TextFromTheListIsEscapedAndCut) {
    const std::string list = std::string("12\x1B[31m34,si\x1Bngle\n") +
                             std::string(
                                 "\0\0"
                                 "12\n",
                                 5) +
                             std::string(3000, 'x') + "\n";
    const auto result = tool::run({"--batch", "-"}, list);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(lines(result.err),
              (std::vector<std::string>{
                  "(standard input):1: address \"12\\x1B[31m34\": must be six hexadecimal "
                  "digits, not 9 characters; kind \"si\\x1Bngle\": must be single or group",
                  "(standard input):2: address \"\\x00\\x0012\": must be six hexadecimal digits, "
                  "not 4 characters",
                  "(standard input):3: address \"" + std::string(40, 'x') +
                      "\"... (3000 characters): must be six hexadecimal digits, not 3000 "
                      "characters"}));
}

struct LimitCase {
    const char* name;
    std::string list;
    int exitCode;
    std::string err;
};

// A line is at most 4096 bytes. A longer one ends the reading: a file that is no motor list
// (a device of endless zeros) is refused at once and never held in memory.
TEST(BatchMessages, ALineLongerThan4096BytesEndsTheReading) {
    const std::string longest = "123456,single," + std::string(4096 - 14, 'a');
    const std::string tooLong =
        "(standard input):2: the line is longer than 4096 bytes; the rest "
        "of the list is not read\n";
    const std::vector<LimitCase> cases = {
        {"4096 bytes and a line feed", "#\n" + longest + "\n", 0, ""},
        {"4096 bytes and a carriage return and line feed", "#\n" + longest + "\r\n", 0, ""},
        {"4096 bytes at the end", "#\n" + longest, 0, ""},
        {"4097 bytes", "#\n" + longest + "a\n12345G\n", 2, tooLong},
        {"4097 bytes at the end", "#\n" + longest + "a", 2, tooLong},
        {"a comment of 4097 bytes", "#\n#" + std::string(4096, ' ') + "\n", 2, tooLong},
        {"a quoted label of 4097 bytes over two lines",
         "#\n123456,,\"" + std::string(2000, 'a') + "\n" + std::string(2086, 'a') + "\"\n", 2,
         tooLong},
        {"a quote not closed within 4096 bytes",
         "123456,,\"open\n" +
             [] {
                 std::string many;
                 for (int k = 0; k < 1000; ++k) {
                     many += "123456\n";
                 }
                 return many;
             }(),
         2,
         "(standard input):1: the label starts with a quote that is not closed within 4096 "
         "bytes (\"open)\n"},
    };
    for (const auto& c : cases) {
        const auto result = tool::run({"--batch", "-", "--format", "json"}, c.list);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.name;
        EXPECT_EQ(result.err, c.err) << c.name;
        EXPECT_EQ(result.out.empty(), c.exitCode != 0) << c.name;
    }

#ifndef _WIN32
    // An endless list, ended promptly.
    const auto started = std::chrono::steady_clock::now();
    const auto zeros = tool::run({"--batch", "/dev/zero"});
    EXPECT_EQ(zeros.exitCode, 2);
    EXPECT_EQ(zeros.out, "");
    // Nothing but zero bytes is no text.
    EXPECT_EQ(zeros.err,
              "/dev/zero: not a text file: it holds zero bytes or control characters; a site is "
              "a list of motors in UTF-8 text\n");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
#endif
}

// A list that is no list at all does not flood the terminal: after a hundred bad lines the
// rest is not checked.
TEST(BatchMessages, ReportingStopsAfterAHundredBadLines) {
    std::string hundred;
    for (int k = 0; k < 100; ++k) {
        hundred += "XYZ\n";
    }
    const auto all = tool::run({"--batch", "-"}, hundred + "123456\n");
    EXPECT_EQ(all.exitCode, 2);
    EXPECT_EQ(lines(all.err).size(), 100U);

    const auto more = tool::run({"--batch", "-"}, hundred + "123456\nXYZ\nXYZ\n");
    EXPECT_EQ(more.exitCode, 2);
    const auto messages = lines(more.err);
    ASSERT_EQ(messages.size(), 101U);
    EXPECT_EQ(messages[99],
              "(standard input):100: address \"XYZ\": must be six hexadecimal "
              "digits, not 3 characters");
    EXPECT_EQ(messages[100], "(standard input): more than 100 bad lines; the rest is not checked");
}

// ---- The table written ----

struct LabelCase {
    const char* name;
    std::string label;  // as written in the list
    std::string csv;    // the label column in CSV
    std::string typed;  // the label in JSON and text
};

// A label that a spreadsheet would run as a formula gets a leading "'" in CSV; JSON and text
// keep it as typed.
TEST(BatchOutput, FormulaLabelsAreDefusedInCsvOnly) {
    const std::vector<LabelCase> cases = {
        {"equals sign", "=1+2", "'=1+2", "=1+2"},
        {"plus sign", "+41 555", "'+41 555", "+41 555"},
        {"minus sign", "-5 east", "'-5 east", "-5 east"},
        {"at sign", "@SUM(A1)", "'@SUM(A1)", "@SUM(A1)"},
        {"tab before it", "\"\t=cmd|' /C calc'!A0\"", "'\t=cmd|' /C calc'!A0",
         "\t=cmd|' /C calc'!A0"},
        {"carriage return before it", "\"\r=1\"", "\"'\r=1\"", "\r=1"},
        {"comma inside", "=HYPERLINK(\"x\",\"y\")", "\"'=HYPERLINK(\"\"x\"\",\"\"y\"\")\"",
         "=HYPERLINK(\"x\",\"y\")"},
        {"sign later in the label", "Hall = east", "Hall = east", "Hall = east"},
        {"blank before it", "\" =1\"", " =1", " =1"},
    };
    for (const auto& c : cases) {
        const std::string list = "123456,single," + c.label + "\n";
        const auto csv = tool::run({"--batch", "-", "--command", "Up"}, list);
        EXPECT_EQ(csv.out, header + c.csv + ",single,123456" + upRow) << c.name;

        const auto json = tool::run({"--batch", "-", "--command", "Up", "--format", "json"}, list);
        const json::Value array = json::parse(json.out).value_or(json::Value());
        ASSERT_EQ(array.size(), 1U) << c.name << ": " << json.out;
        EXPECT_EQ(array[0]["label"].toString(), c.typed) << c.name;

        const auto text = tool::run({"--batch", "-", "--command", "Up", "--format", "text"}, list);
        std::string shown = c.typed;
        std::replace(shown.begin(), shown.end(), '\r', ' ');  // a line break shows as a blank
        EXPECT_TRUE(text.out.starts_with(shown + "  single  123456  Up  AB F1")) << c.name;
    }
}

// The text format's label column is at most 40 characters wide: a longer label stands as it is
// and moves only its own rows.
TEST(BatchOutput, TextLabelColumnIsBounded) {
    const std::string longLabel(4000, 'L');
    const auto result = tool::run(
        {"--batch", "-", "--format", "text", "--command", "Stop"},
        "123456,single,Hall\n123456,single," + longLabel + "\n123456,single,\"Two\r\nlines\"\n");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string rest = "single  123456  Stop  AB F1 FF FF FF FF 12 34 56 FC FF FF 09 2E";
    EXPECT_EQ(lines(result.out), (std::vector<std::string>{
                                     "Hall" + std::string(38, ' ') + rest, longLabel + "  " + rest,
                                     "Two lines" + std::string(33, ' ') + rest}));
}

#ifndef _WIN32
// After the first write that fails, nothing more is made: a table that cannot be written costs
// little more than checking the list.
TEST(BatchOutput, WritingStopsAtTheFirstFailedWrite) {
    std::string list;
    for (int k = 0; k < 100000; ++k) {
        char line[32];
        std::snprintf(line, sizeof line, "%06X,%s,Motor %d\n", k * 167, k % 3 ? "single" : "group",
                      k);
        list += line;
    }
    const ListFile file(list);
    const auto cpuSeconds = [] {
        rusage usage{};
        getrusage(RUSAGE_CHILDREN, &usage);
        return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    };
    const double start = cpuSeconds();
    const auto full = tool::run({"--batch", file.path()}, {}, "/dev/full");
    const double failing = cpuSeconds() - start;
    const auto written = tool::run({"--batch", file.path()}, {}, "/dev/null");
    const double whole = cpuSeconds() - start - failing;
    EXPECT_EQ(full.exitCode, 3);
    EXPECT_EQ(full.err, "rvx-strings: cannot write standard output\n");
    EXPECT_EQ(written.exitCode, 0);
    EXPECT_LT(failing, whole / 2) << "failing " << failing << " s, whole " << whole << " s";
}
#endif

// Every notation in every format says what single calls say, for single motors and groups.
TEST(BatchOutput, EveryNotationAndFormatAgreesWithSingleCalls) {
    const Arguments parameters = {"--down",    "250",  "--ip",       "16",
                                  "--percent", "33.3", "--priority", "7"};
    for (const auto& info : rvx::notationCatalogue) {
        const Arguments options = parameters + Arguments{"--notation", std::string(info.name)};
        const std::string list = "123456\nA1B2C3,group\n";
        const auto csv =
            lines(tool::run(Arguments{"--batch", "-", "--format", "csv"} + options, list).out);
        const auto text =
            lines(tool::run(Arguments{"--batch", "-", "--format", "text"} + options, list).out);
        const auto json =
            json::parse(
                tool::run(Arguments{"--batch", "-", "--format", "json"} + options, list).out)
                .value_or(json::Value());
        ASSERT_EQ(csv.size(), 1U + 2 * 14) << info.name;
        ASSERT_EQ(text.size(), 2U * 14) << info.name;
        ASSERT_EQ(json.size(), 2U * 14) << info.name;
        const std::vector<std::pair<Arguments, std::string>> motors = {
            {{"123456"}, "single,123456"}, {{"A1B2C3", "--group"}, "group,A1B2C3"}};
        for (std::size_t m = 0; m < motors.size(); ++m) {
            const auto singleCsv =
                lines(tool::run(motors[m].first + options + Arguments{"--format", "csv"}).out);
            const auto singleText = lines(tool::run(motors[m].first + options).out);
            const auto singleJson =
                json::parse(
                    tool::run(motors[m].first + options + Arguments{"--format", "json"}).out)
                    .value_or(json::Value());
            ASSERT_EQ(singleCsv.size(), 15U) << info.name;
            for (std::size_t row = 0; row < 14; ++row) {
                const std::size_t at = 14 * m + row;
                EXPECT_EQ(csv[1 + at], "," + motors[m].second + "," + singleCsv[1 + row])
                    << info.name;
                std::string kindAndAddress = motors[m].second;
                kindAndAddress.replace(kindAndAddress.find(','), 1, m == 0 ? "  " : "   ");
                EXPECT_EQ(text[at], kindAndAddress + "  " + singleText[row]) << info.name;
                const json::Value& object = json[at];
                EXPECT_EQ(object["string"], singleJson[row]["string"]) << info.name;
                EXPECT_EQ(object["command"], singleJson[row]["command"]) << info.name;
            }
        }
    }
}

}  // namespace
