// rvx-strings --decode as a process: what it says about a frame, and its exit status.
#include "rvx/decode.h"

#include <gtest/gtest.h>

#include <string>

#ifdef RVX_TESTS_WITH_QT
#include <QJsonDocument>
#include <QJsonObject>
#endif

#include "json_value.h"
#include "rvx/frame.h"
#include "rvx/frame_report.h"
#include "tool.h"

namespace {

using tool::contains;
using tool::lines;

const std::string up123456 = "AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30";

TEST(Decode, AValidFrameIsDescribed) {
    const auto result = tool::run({"--decode", up123456});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "Frame:      AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30\n"
              "Notation:   spaced\n"
              "Command:    Up\n"
              "Address:    single motor 123456\n"
              "Result:     valid: a frame that rvx-strings makes from admitted values\n");
}

TEST(Decode, AWrongChecksumSaysWhatItShouldBe) {
    const auto result = tool::run({"--decode", "AB F1 FF FF FF FF 12 34 56 FE FF FF 09 31"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(contains(result.out, "Command:    Up\n")) << result.out;
    EXPECT_TRUE(contains(result.out, "Address:    single motor 123456\n"));
    EXPECT_TRUE(contains(result.out,
                         "Finding:    bytes 13-14: checksum is 09 31, should be 09 30, "
                         "the 16-bit sum of bytes 1 to 12\n"))
        << result.out;
    EXPECT_TRUE(contains(result.out, "Result:     not valid: 1 finding;"));
}

TEST(Decode, ParametersAndEveryFindingAreListed) {
    // Lock @ IP # to group 0A0B0C with priority 0 (FF) and a length byte F0, checksum right.
    const auto result = tool::run({"--decode", "a4 f0 ff 0a 0b 0c ff ff ff fb fe ff 08 a9\n"});
    EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
    const auto rows = lines(result.out);
    const std::vector<std::string> expected = {
        "Frame:      A4 F0 FF 0A 0B 0C FF FF FF FB FE FF 08 A9",
        "Notation:   spaced",
        "Command:    Lock @ IP #",
        "Address:    group 0A0B0C",
        "Parameter:  lock priority 0 (byte 12, FF)",
        "Parameter:  lock IP number 1 (byte 11, FE)",
        "Finding:    byte 2: length byte is F0, should be F1 (fourteen bytes, inverted)",
        "Finding:    byte 12: FF is lock priority 0, outside the admitted values (1 to 100)",
        "Result:     not valid: 2 findings; rvx-strings makes no such frame",
    };
    EXPECT_EQ(rows, expected);
}

TEST(Decode, AddressFFFFFFIsSaidToBeOfEitherKind) {
    const auto result = tool::run({"--decode", "ABF1FFFFFFFFFFFFFFFEFFFF0B91"});
    EXPECT_EQ(result.exitCode, 0) << result.out;
    EXPECT_TRUE(contains(result.out, "Address:    FFFFFF, single motor or group\n")) << result.out;
    EXPECT_TRUE(contains(result.out, "Note:       both address fields are FF FF FF"));
}

TEST(Decode, JsonCarriesTheSameFacts) {
    const auto result =
        tool::run({"--decode", "$AB,$F1,$FF,$12,$34,$56,$FF,$FF,$FF,$EF,$FE,$FF,$09,$21",
                   "--format", "json"});
    EXPECT_EQ(result.exitCode, 1);
    const auto document = json::parse(result.out);
    ASSERT_TRUE(document.has_value()) << result.out;
    const json::Value& object = *document;
    EXPECT_EQ(object["frame"].toString(), "AB F1 FF 12 34 56 FF FF FF EF FE FF 09 21");
    EXPECT_EQ(object["notation"].toString(), "dollar");
    EXPECT_EQ(object["valid"], json::Value::boolean(false));
    EXPECT_EQ(object["command"].toString(), "Go to %");
    EXPECT_EQ(object["kind"].toString(), "group");
    EXPECT_EQ(object["address"].toString(), "123456");
    const json::Value& parameters = object["parameters"];
    ASSERT_EQ(parameters.size(), 1U);
    const json::Value& percent = parameters[0];
    EXPECT_EQ(percent["parameter"].toString(), "percentage");
    EXPECT_EQ(percent["byte"].toInt(), 11);
    EXPECT_EQ(percent["written"].toString(), "FE");
    EXPECT_TRUE(percent["value"].isNull());  // no whole percentage gives position 1
    EXPECT_EQ(percent["admitted"], json::Value::boolean(true));
    const json::Value& findings = object["findings"];
    ASSERT_EQ(findings.size(), 1U);
    EXPECT_EQ(findings[0]["check"].toString(), "checksum");
    EXPECT_EQ(findings[0]["bytes"],
              json::Value::array({json::Value::number(13), json::Value::number(14)}));
    EXPECT_TRUE(contains(findings[0]["message"].toString(), "should be 09 20"));
    EXPECT_TRUE(object["notes"].isArray());
    EXPECT_EQ(object["notes"].size(), 0U);

    const auto valid = tool::run({"--decode", up123456, "--format", "json"});
    EXPECT_EQ(valid.exitCode, 0);
    const json::Value up = json::parse(valid.out).value_or(json::Value());
    EXPECT_EQ(up["valid"], json::Value::boolean(true));
    EXPECT_EQ(up["kind"].toString(), "single");
    EXPECT_TRUE(up["findings"].isArray());
    EXPECT_EQ(up["findings"].size(), 0U);
}

TEST(Decode, DecimalIsReadOnlyWhenNamed) {
    const std::string decimal = "171,241,255,255,255,255,18,52,86,254,255,255,9,48";
    const auto guessed = tool::run({"--decode", decimal});
    EXPECT_EQ(guessed.exitCode, 2);
    EXPECT_EQ(guessed.out, "");
    EXPECT_TRUE(contains(guessed.err, "decimal bytes are read only when the decimal notation is"))
        << guessed.err;

    const auto named = tool::run({"--decode", decimal, "--notation", "decimal"});
    EXPECT_EQ(named.exitCode, 0) << named.err;
    EXPECT_TRUE(contains(named.out, "Command:    Up\n"));

    // A named notation is the only one read.
    const auto spaced = tool::run({"--decode", up123456, "--notation", "compact"});
    EXPECT_EQ(spaced.exitCode, 2);
    EXPECT_TRUE(contains(spaced.err, "not compact bytes")) << spaced.err;
}

#ifdef RVX_TESTS_WITH_QT
// The report's JSON is written by the command line's own JSON writer; a JSON library reading
// it and writing it back in its indented layout gives the same text, for frames with every kind
// of finding, note and parameter.
TEST(DecodeReport, JsonReadsBackAsTheSameDocument) {
    std::vector<rvx::Frame> frames;
    for (const auto& command : rvx::commandCatalogue) {
        for (const auto& [kind, address] :
             {std::pair{rvx::AddressKind::Single, rvx::Address{0x12, 0x34, 0x56}},
              std::pair{rvx::AddressKind::Group, rvx::Address{0x0A, 0x0B, 0x0C}},
              std::pair{rvx::AddressKind::Single, rvx::Address{0xFF, 0xFF, 0xFF}}}) {
            const auto frame = rvx::frameFor(command, kind, address, rvx::startValues());
            ASSERT_TRUE(frame);
            frames.push_back(*frame);
            for (std::size_t at = 0; at < rvx::frameLength; ++at) {
                for (const std::uint8_t byte : {0x00, 0x80, 0xFE}) {
                    rvx::Frame changed = *frame;
                    changed[at] = byte;
                    frames.push_back(changed);
                }
            }
        }
    }
    std::size_t findings = 0;
    for (const auto& frame : frames) {
        const auto decoded = rvx::decodeFrame(frame);
        findings += decoded.findings.size();
        const std::string json = rvx::decodeJson(frame, rvx::Notation::Compact, decoded);
        QJsonParseError error{};
        const auto document = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << json;
        ASSERT_EQ(document.toJson(QJsonDocument::Indented).toStdString(), json);
        EXPECT_EQ(document.object()["valid"].toBool(), decoded.madeByTool());
    }
    EXPECT_GT(findings, frames.size());  // the changed frames hold many findings
}
#endif

// A text of any number of bytes but fourteen is no frame: the reason on standard error, exit
// status 2, nothing on standard output.
TEST(Decode, TooFewOrTooManyBytesIsNoFrame) {
    tool::expectRefused({
        {{"--decode", "AB F1 FF FF FF FF 12 34 56 FE FF FF 09"},
         {"rvx-strings: --decode: the text holds 13 bytes; a frame has 14"}},
        {{"--decode", "AB"}, {"rvx-strings: --decode: the text holds 1 byte; a frame has 14"}},
        {{"--decode", up123456 + " 30", "--format", "json"},
         {"rvx-strings: --decode: the text holds 15 bytes; a frame has 14"}},
    });
}

// Text that is no frame at all, and options that do not go with --decode: exit status 2, a
// message for each, nothing on standard output.
TEST(Decode, UsageErrors) {
    const std::vector<tool::Refusal> cases = {
        {{"--decode", ""}, {"rvx-strings: --decode: the text holds no bytes"}},
        {{"--decode", "  \n "}, {"rvx-strings: --decode: the text holds no bytes"}},
        {{"--decode", "AB F1 XY"},
         {"rvx-strings: --decode: not spaced bytes: character 7: expected two hexadecimal "
          "digits for each byte, found \"X\""}},
        {{"--decode", "0xAB 0xF1"}, {"rvx-strings: --decode: not 0x bytes: character 6:"}},
        {{"--decode"}, {"rvx-strings: --decode: a value must follow"}},
        {{"--decode", up123456, "123456"},
         {"rvx-strings: ADDRESS \"123456\" is not used with --decode"}},
        {{"--decode", up123456, "--group"}, {"rvx-strings: --group is not used with --decode"}},
        {{"--decode", up123456, "--ip", "3", "--command", "Up"},
         {"rvx-strings: --ip is not used with --decode",
          "rvx-strings: --command is not used with --decode"}},
        {{"--decode", up123456, "--format", "csv"},
         {"rvx-strings: --format \"csv\": must be text or json with --decode"}},
        {{"--decode", up123456, "--notation", "octal"}, {"rvx-strings: --notation \"octal\""}},
        {{"--decode", up123456, "--batch", "-"},
         {"rvx-strings: --decode and --batch cannot be used together"}},
    };
    tool::expectRefused(cases);
}

}  // namespace
