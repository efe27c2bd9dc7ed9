// Writing a frame's bytes in every notation, and reading bytes back from text.
#include "rvx/notation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "rvx/decode.h"
#include "rvx/frame.h"

namespace {

using rvx::Frame;
using rvx::Notation;

const Frame up123456{0xAB, 0xF1, 0xFF, 0xFF, 0xFF, 0xFF, 0x12,
                     0x34, 0x56, 0xFE, 0xFF, 0xFF, 0x09, 0x30};

TEST(Notations, EachWritesTheSameBytes) {
    const std::pair<Notation, std::string> cases[] = {
        {Notation::Spaced, "AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30"},
        {Notation::Compact, "ABF1FFFFFFFF123456FEFFFF0930"},
        {Notation::Escaped, R"(\xAB\xF1\xFF\xFF\xFF\xFF\x12\x34\x56\xFE\xFF\xFF\x09\x30)"},
        {Notation::ZeroX,
         "0xAB, 0xF1, 0xFF, 0xFF, 0xFF, 0xFF, 0x12, 0x34, 0x56, 0xFE, 0xFF, 0xFF, 0x09, 0x30"},
        {Notation::Dollar, "$AB,$F1,$FF,$FF,$FF,$FF,$12,$34,$56,$FE,$FF,$FF,$09,$30"},
        {Notation::Decimal, "171,241,255,255,255,255,18,52,86,254,255,255,9,48"},
        {Notation::Crestron, R"(\xAB\xF1\xFF\xFF\xFF\xFF\x12\x34\x56\xFE\xFF\xFF\x09\x30)"},
        {Notation::Amx, R"("$AB,$F1,$FF,$FF,$FF,$FF,$12,$34,$56,$FE,$FF,$FF,$09,$30")"},
        {Notation::Control4, "$AB $F1 $FF $FF $FF $FF $12 $34 $56 $FE $FF $FF $09 $30"},
        {Notation::Rti, "%AB%F1%FF%FF%FF%FF%12%34%56%FE%FF%FF%09%30"},
    };
    for (const auto& [notation, text] : cases) {
        EXPECT_EQ(rvx::writeFrame(up123456, notation), text);
        const auto read = rvx::readFrameText(text, notation);
        EXPECT_TRUE(read.read()) << text << ": " << read.error;
        EXPECT_EQ(read.bytes, std::vector<std::uint8_t>(up123456.begin(), up123456.end()));
    }
    EXPECT_EQ(rvx::writeFrame(Frame{0x0A, 0x00}, Notation::Decimal),
              "10,0,0,0,0,0,0,0,0,0,0,0,0,0");
}

TEST(ReadingText, EveryHexNotationIsDetected) {
    for (const auto& info : rvx::notationCatalogue) {
        if (info.notation == Notation::Decimal) {
            continue;
        }
        const std::string text = rvx::writeFrame(up123456, info.notation);
        const auto read = rvx::readFrameText(text);
        EXPECT_TRUE(read.read()) << text << ": " << read.error;
        // Notations that write the same text (escaped, crestron) read as the first of them.
        const auto first = std::find_if(
            rvx::notationCatalogue.begin(), rvx::notationCatalogue.end(),
            [&](const auto& other) { return rvx::writeFrame(up123456, other.notation) == text; });
        EXPECT_EQ(read.notation, first->notation) << text;
        EXPECT_EQ(rvx::readFrame(text), up123456) << text;
    }
}

TEST(ReadingText, BlanksLineBreaksAndEitherCaseAreAllowed) {
    const char* texts[] = {
        "  ab f1 ff ff ff ff 12 34 56 fe ff ff 09 30\n",
        "\r\n\tAB F1 FF FF FF FF\n12 34 56 FE FF FF\r\n09   30 \n",
        "abf1ffffffff123456FEffff0930\n",
        R"( \XAB\xf1\xFF\xff\xFF\xFF\x12\x34\x56\xfe\xFF\xFF\x09\x30 )",
        "0Xab,0xF1 ,0xff,\n0xFF, 0xFF,0xFF,0x12,0x34,0x56,0xFE,0xFF,0xFF,0x09,0x30",
        "$ab, $f1, $FF, $FF, $FF, $FF, $12, $34, $56, $FE, $FF, $FF, $09, $30\r\n",
    };
    for (const char* text : texts) {
        const auto read = rvx::readFrameText(text);
        EXPECT_TRUE(read.read()) << text << ": " << read.error;
        EXPECT_EQ(rvx::readFrame(text), up123456) << text;
    }
    EXPECT_EQ(rvx::readFrame(" 171, 241,255,255 ,255,255,18,52,86,254,255,255,9,048\n",
                             Notation::Decimal),
              up123456);
}

TEST(ReadingText, DecimalIsReadOnlyWhenAskedFor) {
    const std::string decimal = rvx::writeFrame(up123456, Notation::Decimal);
    const auto guessed = rvx::readFrameText(decimal);
    EXPECT_FALSE(guessed.read());
    EXPECT_TRUE(guessed.bytes.empty());
    EXPECT_NE(guessed.error.find("decimal bytes are read only when the decimal notation is asked"),
              std::string::npos)
        << guessed.error;

    // Spaced digits are hexadecimal unless decimal is asked for, and then need commas.
    const auto hex = rvx::readFrameText("12 34 56");
    EXPECT_EQ(hex.bytes, (std::vector<std::uint8_t>{0x12, 0x34, 0x56}));
    EXPECT_FALSE(rvx::readFrameText("12 34 56", Notation::Decimal).read());
}

// Each notation's text at its longest fits the room maxWrittenLength gives, exactly.
TEST(Notations, TheLongestTextFillsTheRoomGiven) {
    const Frame widest{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                       0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    for (const auto& info : rvx::notationCatalogue) {
        EXPECT_EQ(rvx::writeFrame(widest, info.notation).size(),
                  rvx::maxWrittenLength(info.notation, rvx::frameLength))
            << info.name;
        EXPECT_EQ(rvx::findNotation(info.name), info.notation) << info.name;
    }
}

// The controllers' texts as integrators type them: the NetLinx expression with blanks around
// its commas, Driver Wizard bytes over lines, lower case.
TEST(ReadingText, ControllerTextsAsTyped) {
    const std::pair<std::string, Notation> cases[] = {
        {R"( "$ab, $f1, $FF, $FF, $FF, $FF, $12, $34, $56, $FE, $FF, $FF, $09, $30" )",
         Notation::Amx},
        {"$ab $f1 $ff $ff $ff $ff\n$12 $34 $56 $fe $ff $ff $09 $30\r\n", Notation::Control4},
        {"%ab%F1%ff%ff%ff%ff%12%34%56%fe%ff%ff%09%30", Notation::Rti},
    };
    for (const auto& [text, notation] : cases) {
        const auto detected = rvx::readFrameText(text);
        EXPECT_TRUE(detected.read()) << text << ": " << detected.error;
        EXPECT_EQ(detected.notation, notation) << text;
        EXPECT_EQ(rvx::readFrame(text, notation), up123456) << text;
    }
    // A crestron text is the escaped text: asked for by either name it reads the same.
    const std::string escaped = rvx::writeFrame(up123456, Notation::Escaped);
    EXPECT_EQ(rvx::readFrame(escaped, Notation::Crestron), up123456);
}

TEST(ReadingText, ControllerTextsThatAreWrongSayWhy) {
    struct Case {
        std::string text;
        std::optional<Notation> notation;
        std::string error;
    };
    const Case cases[] = {
        // Without its quotes a NetLinx expression is dollar bytes, not amx.
        {"$AB,$F1", Notation::Amx, "not amx bytes: character 1: expected a double quote before"},
        {R"("$AB,$F1)", {}, "not amx bytes: character 9: expected a double quote after the last"},
        {R"("$AB,$F1"x)", {}, "expected a double quote after the last byte"},
        {R"("")", {}, "not amx bytes: character 2: expected \"$\" before each byte"},
        {R"(")", {}, "expected a double quote after the last byte"},
        // Told by the notation that read furthest: a blank after the first byte is control4.
        {"$AB $F1 $G1", {}, "not control4 bytes: character 10: expected two hexadecimal"},
        {"$AB,$F1 $FF", {}, "not dollar bytes: character 9: expected a comma between bytes"},
        {"%AB%F1%", {}, "not rti bytes: character 8: expected two hexadecimal digits"},
        {"%AB %F1",
         {},
         "not rti bytes: character 4: expected \"%\" before each byte, found a blank"},
        {"%ABC", {}, "not rti bytes: character 4: a byte has more than two hexadecimal digits"},
    };
    for (const auto& c : cases) {
        const auto read = rvx::readFrameText(c.text, c.notation);
        EXPECT_FALSE(read.read()) << c.text;
        EXPECT_TRUE(read.bytes.empty()) << c.text;
        EXPECT_NE(read.error.find(c.error), std::string::npos) << c.text << ": " << read.error;
    }
}

TEST(ReadingText, AGivenNotationIsTheOnlyOneRead) {
    EXPECT_FALSE(rvx::readFrame("AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30", Notation::Compact));
    EXPECT_FALSE(rvx::readFrame("ABF1FFFFFFFF123456FEFFFF0930", Notation::Spaced));
    EXPECT_FALSE(rvx::readFrame(rvx::writeFrame(up123456, Notation::Dollar), Notation::ZeroX));
    EXPECT_FALSE(rvx::readFrame(rvx::writeFrame(up123456, Notation::Dollar), Notation::Control4));
    EXPECT_FALSE(rvx::readFrame(rvx::writeFrame(up123456, Notation::Control4), Notation::Dollar));
    EXPECT_FALSE(rvx::readFrame(rvx::writeFrame(up123456, Notation::Amx), Notation::Dollar));
}

TEST(ReadingText, TextThatIsNoFrameSaysWhereAndWhy) {
    struct Case {
        std::string text;
        std::optional<Notation> notation;
        std::string error;
    };
    const Case cases[] = {
        {"", {}, "the text holds no bytes"},
        {" \n\t ", {}, "the text holds no bytes"},
        {"AB F1 G0",
         {},
         "not spaced bytes: character 7: expected two hexadecimal digits for "
         "each byte, found \"G\""},
        {"AB F1 FF0", {}, "not spaced bytes: character 9: a byte has more than two hexadecimal"},
        {"AB F1 F",
         {},
         "character 8: expected two hexadecimal digits for each byte, found the "
         "end of the text"},
        {"AB,F1", {}, "not compact bytes: character 3: expected two hexadecimal digits"},
        {"ABF1F", {}, "not compact bytes: character 6: an odd number of hexadecimal digits"},
        {"\\xAB \\xF1",
         {},
         "not escaped bytes: character 5: expected \"\\x\" before each byte, "
         "found a blank"},
        {"\\xABC", {}, "character 5: a byte has more than two hexadecimal digits"},
        {"0xAB 0xF1", {}, "not 0x bytes: character 6: expected a comma between bytes, found \"0\""},
        {"0xAB,", {}, "character 6: expected \"0x\" before each byte, found the end of the text"},
        {"0xAB, F1", {}, "character 7: expected \"0x\" before each byte, found \"F\""},
        {"$AB,$1", {}, "not dollar bytes: character 7: expected two hexadecimal digits"},
        {"AB F1 \xC3\xA4\xC3\xA4 12",
         {},
         "character 7: expected two hexadecimal digits for each "
         "byte, found a character outside ASCII"},
        {"\xC3\xA4\xC3\xA4 x", {}, "character 1: expected two hexadecimal digits"},
        {"AB\x01", {}, "found a control character"},
        {"1,256,3", Notation::Decimal,
         "not decimal bytes: character 3: a decimal byte is 0 to "
         "255, found 256"},
        {"1,99999999999999999999", Notation::Decimal, "found 999999999999"},
        {"1,,3", Notation::Decimal, "character 3: expected a decimal byte, 0 to 255, found \",\""},
        {"1 2", Notation::Decimal, "character 3: expected a comma between bytes, found \"2\""},
        {"-1,2", Notation::Decimal, "found \"-\""},
    };
    for (const auto& c : cases) {
        const auto read = rvx::readFrameText(c.text, c.notation);
        EXPECT_FALSE(read.read()) << c.text;
        EXPECT_TRUE(read.bytes.empty()) << c.text;
        EXPECT_NE(read.error.find(c.error), std::string::npos) << c.text << ": " << read.error;
    }
}

TEST(ReadingText, AnyCountOfBytesIsReadButAFrameIsFourteen) {
    EXPECT_EQ(rvx::readFrameText("AB").bytes.size(), 1U);
    EXPECT_EQ(rvx::readFrameText(std::string(2000, 'A')).bytes.size(), 1000U);
    EXPECT_FALSE(rvx::readFrame("AB F1 FF FF FF FF 12 34 56 FE FF FF 09"));
    EXPECT_FALSE(rvx::readFrame("AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30 30"));
}

// Texts built at random from the characters that matter to the reader: whatever is read,
// written back in the notation it was read in, reads as the same bytes.
TEST(ReadingText, ArbitraryTextIsReadOrRefusedConsistently) {
    const std::string alphabet = "0123456789abcdefABCDEFxX$%\"\\, \n\t\rG-\x80\xC3";
    std::mt19937 random(4);
    std::uniform_int_distribution<std::size_t> length(0, 60);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::size_t readCount = 0;
    for (int k = 0; k < 20000; ++k) {
        std::string text;
        const std::size_t n = length(random);
        for (std::size_t c = 0; c < n; ++c) {
            text += alphabet[pick(random)];
        }
        for (const auto notation : {std::optional<Notation>{}, std::optional{Notation::Decimal}}) {
            const auto read = rvx::readFrameText(text, notation);
            EXPECT_EQ(read.read(), !read.bytes.empty()) << text;
            if (read.read()) {
                ++readCount;
                const auto again =
                    rvx::readFrameText(rvx::writeBytes(read.bytes, read.notation), read.notation);
                EXPECT_EQ(again.bytes, read.bytes) << text;
                (void)rvx::decodeFrame(read.bytes);
            }
        }
    }
    EXPECT_GT(readCount, 100U);  // the alphabet does produce readable texts
}

}  // namespace
