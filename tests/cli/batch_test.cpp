// rvx-strings --batch as a process: the motor list, the table written from it, and bad lines.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdio>
#include <random>
#include <string>

#include "rvx/generator.h"
#include "rvx/memory_fields.h"
#include "tool.h"

namespace {

using tool::contains;
using tool::lines;

// A file in a directory of its own that lives as long as the test.
class ListFile {
public:
    explicit ListFile(const std::string& content) {
        QFile file(path());
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content.data(), static_cast<qint64>(content.size()));
    }
    [[nodiscard]] QString path() const { return directory_.filePath(QStringLiteral("motors.txt")); }

private:
    QTemporaryDir directory_;
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
    QJsonParseError error{};
    const QJsonArray array =
        QJsonDocument::fromJson(QByteArray::fromStdString(result.out), &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << result.out;
    ASSERT_EQ(array.size(), 5);
    const QJsonObject hall = array[1].toObject();
    EXPECT_EQ(hall.keys(), (QStringList{"address", "command", "kind", "label", "string"}));
    EXPECT_EQ(hall["label"].toString(), "Hall, \"east\"");
    EXPECT_EQ(hall["kind"].toString(), "group");
    EXPECT_EQ(hall["address"].toString(), "A1B2C3");
    EXPECT_EQ(hall["command"].toString(), "Lock @ IP #");
    EXPECT_EQ(hall["string"].toString(), "A4F1FFA1B2C3FFFFFFFBEFFE0A8F");
    EXPECT_EQ(array[2].toObject()["label"].toString(), QString::fromUtf8("K\xC3\xBC"
                                                                         "che"));
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
    const QStringList options = {"--down",   "250", "--ip",       "16", "--percent",  "33.3",
                                 "--jog-up", "0",   "--priority", "7",  "--notation", "dollar"};
    const char* motors[][2] = {
        {"123456", "single"}, {"a1b2c3", "group"}, {"000000", "group"}, {"FFFFFF", "single"}};
    std::string input;
    for (const auto& motor : motors) {
        input += std::string(motor[0]) + "," + motor[1] + "\n";
    }
    const auto batch = tool::run(QStringList{"--batch", "-"} + options, input);
    ASSERT_EQ(batch.exitCode, 0) << batch.err;
    const auto rows = lines(batch.out);
    ASSERT_EQ(rows.size(), 1U + 4 * 14);
    for (std::size_t m = 0; m < 4; ++m) {
        QStringList arguments = QStringList{motors[m][0], "--format", "csv"} + options;
        if (std::string(motors[m][1]) == "group") {
            arguments << "--group";
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
        "123456,single,\"open\n"
        "123456,single,\"closed\" early\n");
    const auto result = tool::run({"--batch", list.path()});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    const std::string file = list.path().toStdString();
    const std::vector<std::string> expected = {
        file + ":2: address \"12345\": must be six hexadecimal digits, not 5 characters",
        file + ":4: address \"1234567\": must be six hexadecimal digits, not 7 characters",
        file +
            ":6: address \"12345G\": must be six hexadecimal digits; character 6, \"G\", is "
            "not one",
        file + ":7: kind \"grp\": must be single or group",
        file + ":8: no address; it must be six hexadecimal digits",
        file + ":9: the label holds a control character",
        file + ":10: the label is not valid UTF-8",
        file +
            ":11: address \"12 456\": must be six hexadecimal digits; character 3, \" \", is not "
            "one; kind \"both\": must be single or group",
        file + ":13: the label starts with a quote but is no quoted field (\"Hall, \"\"east\"\"\")",
        file + ":14: the label starts with a quote but is no quoted field (\"Hall, \"\"east\"\"\")",
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
    const QTemporaryDir directory;
    const std::vector<tool::Refusal> cases = {
        {{"--batch", directory.filePath("missing.txt")},
         {"rvx-strings: --batch \"" + directory.filePath("missing.txt").toStdString() +
          "\": cannot read: No such file or directory"}},
        {{"--batch", directory.path()},
         {"rvx-strings: --batch \"" + directory.path().toStdString() +
          "\": cannot read: Is a directory"}},
        // Bad arguments are reported without reading the list.
        {{"--batch", directory.filePath("missing.txt"), "--ip", "99"},
         {"rvx-strings: --ip \"99\": out of range"}},
        {{"--batch", "-", "--group"},
         {"rvx-strings: --group is not used with --batch; give the kind on each line of FILE"}},
        {{"--batch", "-", "--format", "xml"},
         {"rvx-strings: --format \"xml\": must be csv, json or text with --batch"}},
        {{"--batch", "-", "--command", "Fly"}, {"rvx-strings: --command \"Fly\": no such command"}},
        {{"--batch"}, {"rvx-strings: Missing value after '--batch'."}},
    };
    tool::expectRefused(cases, "123456\n");
}

}  // namespace
