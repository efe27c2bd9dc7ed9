// The address rule: six hexadecimal digits, and what is said when a text is none.
#include "rvx/address.h"

#include <gtest/gtest.h>

#include <string>

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
