// The address rule: six hexadecimal digits, and what is said when a text is none.
#include "rvx/address.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "rvx/ascii.h"
#include "rvx/message.h"
#include "rvx/motor_list.h"

namespace {

using rvx::AddressProblem;

TEST(ReadAddress, SixHexDigitsOfEitherCaseGiveTheBytesInOrder) {
    const auto reading = rvx::readAddress("a1B2c3");
    ASSERT_TRUE(reading.ok());
    EXPECT_EQ(reading.bytes, (rvx::Address{0xA1, 0xB2, 0xC3}));
    EXPECT_EQ(rvx::addressText(reading.bytes), "A1B2C3");
    EXPECT_EQ(rvx::readAddress("00000F").bytes, (rvx::Address{0x00, 0x00, 0x0F}));
}

TEST(ReadAddress, SaysWhyAnAddressIsRefused) {
    struct Case {
        const char* text;
        AddressProblem problem;
        const char* message;
    };
    const Case cases[] = {
        {"", AddressProblem::Empty, "no address; it must be six hexadecimal digits"},
        {"1", AddressProblem::Length,
         "address \"1\": must be six hexadecimal digits, not 1 character"},
        {"1234567", AddressProblem::Length,
         "address \"1234567\": must be six hexadecimal digits, not 7 characters"},
        {"12345G", AddressProblem::NotHexDigit,
         "address \"12345G\": must be six hexadecimal digits; character 6, \"G\", is not one"},
        {"12 456", AddressProblem::NotHexDigit,
         "address \"12 456\": must be six hexadecimal digits; character 3, \" \", is not one"},
        // Characters, not bytes, are counted: an umlaut is one character.
        {"12345\xC3\xA4", AddressProblem::NotHexDigit,
         "address \"12345\xC3\xA4\": must be six hexadecimal digits; character 6, \"\xC3\xA4\", "
         "is not one"},
        {"\x1B[2J12", AddressProblem::NotHexDigit,
         "address \"\\x1B[2J12\": must be six hexadecimal digits; character 1, \"\\x1B\", is not "
         "one"},
    };
    for (const auto& c : cases) {
        const auto reading = rvx::readAddress(c.text);
        EXPECT_EQ(reading.problem, c.problem) << c.text;
        EXPECT_EQ(rvx::addressMessage(c.text, reading), c.message);
    }
}

}  // namespace

namespace {

// Texts near the rule: six digits with every byte value at each place, every length up to
// nine, and many random texts over digits, near misses and UTF-8 characters.
std::vector<std::string> textsNearTheRule() {
    std::vector<std::string> texts;
    const std::string base = "A1b2C3";
    for (std::size_t at = 0; at < base.size(); ++at) {
        for (int byte = 0; byte < 256; ++byte) {
            std::string text = base;
            text[at] = static_cast<char>(byte);
            texts.push_back(text);
        }
    }
    for (std::size_t length = 0; length <= 9; ++length) {
        texts.push_back(std::string(length, 'f'));
    }
    const std::vector<std::string> pieces = {"0",
                                             "9",
                                             "A",
                                             "F",
                                             "a",
                                             "f",
                                             "G",
                                             "g",
                                             "/",
                                             ":",
                                             "@",
                                             "`",
                                             " ",
                                             "\t",
                                             std::string(1, '\0'),
                                             "\x7F",
                                             "\xC3\xA4",
                                             "\xC3",
                                             "\xA4",
                                             "\xE2\x82\xAC",
                                             "\xF0\x9F\x98\x80",
                                             "\xFF",
                                             "Ｆ"};
    std::mt19937 random(2026);
    for (int n = 0; n < 200000; ++n) {
        std::string text;
        const auto count = random() % 9;
        for (std::size_t k = 0; k < count; ++k) {
            // Mostly digits, so that many texts are six of them or one off.
            text += random() % 3 != 0 ? pieces[random() % 6] : pieces[random() % pieces.size()];
        }
        texts.push_back(text);
    }
    return texts;
}

TEST(ReadPlainAddress, GivesReadAddresssAnswerForEveryText) {
    std::size_t accepted = 0;
    for (const std::string& text : textsNearTheRule()) {
        const auto reading = rvx::readAddress(text);
        const auto plain = rvx::readPlainAddress(text);
        ASSERT_EQ(plain.has_value(), reading.ok()) << rvx::escaped(text);
        if (plain) {
            ++accepted;
            ASSERT_EQ(*plain, reading.bytes) << text;
        }
    }
    // Both answers are met many times.
    EXPECT_GT(accepted, 3000U);
}

TEST(ReadPlainAddress, AMotorListJudgesAddressesAsReadAddressDoes) {
    std::size_t refused = 0;
    for (const std::string& text : textsNearTheRule()) {
        // Texts a list line would split or trim differently are left to the list's own tests.
        if (text.find_first_of(",\"\r\n#") != std::string::npos || text.empty() ||
            rvx::ascii::isBlank(text.front()) || rvx::ascii::isBlank(text.back())) {
            continue;
        }
        const auto reading = rvx::readAddress(text);
        // Comment lines first, so that a few control characters in the address leave the list
        // a text file rather than one the reader refuses whole.
        std::string preamble;
        for (int k = 0; k < 20; ++k) {
            preamble += "# motors of the site\n";
        }
        const auto list = rvx::readMotorList(preamble + text + ",single,Hall\n");
        if (reading.ok()) {
            ASSERT_EQ(list.motors.size(), 1U) << rvx::escaped(text);
            EXPECT_EQ(list.motors[0].address, reading.bytes);
            EXPECT_EQ(list.motors[0].addressText, text);
        } else {
            ++refused;
            ASSERT_EQ(list.problems.size(), 1U) << rvx::escaped(text);
            EXPECT_EQ(list.problems[0], "line 21: " + rvx::addressMessage(text, reading));
        }
    }
    EXPECT_GT(refused, 10000U);
}

}  // namespace
