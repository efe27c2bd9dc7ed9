// The address rule, composing frames from bytes and values, and the messages shown to users.
#include "rvx/address.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "rvx/frame.h"
#include "rvx/message.h"
#include "rvx/notation.h"
#include "rvx/value_rules.h"
#include "worked_example.h"

namespace {

using rvx::AddressProblem;
using rvx::ParameterField;
using rvx::ValueVerdict;

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

TEST(Quoted, ControlCharactersAreEscapedAndLongTextsCut) {
    EXPECT_EQ(rvx::quoted("5\n0"), "\"5\\n0\"");
    EXPECT_EQ(rvx::quoted(std::string("a\0b\x7F\t\r", 6)), "\"a\\x00b\\x7F\\t\\r\"");
    EXPECT_EQ(rvx::quoted("bad \xC3\x28"), "\"bad \\xC3(\"");
    EXPECT_EQ(rvx::quoted("K\xC3\xBC"
                          "che"),
              "\"K\xC3\xBC"
              "che\"");
    const std::string longText(100001, '7');
    EXPECT_EQ(rvx::quoted(longText),
              "\"" + std::string(rvx::quotedCharacters, '7') + "\"... (100001 characters)");
}

TEST(ComposeFrame, TheWorkedExampleFromTheStartValues) {
    const rvx::Address address{0x12, 0x34, 0x56};
    const auto values = rvx::startValues();
    for (std::size_t row = 0; row < rvx::commandCount; ++row) {
        const auto frame =
            rvx::frameFor(rvx::commandCatalogue[row], rvx::AddressKind::Single, address, values);
        ASSERT_TRUE(frame) << row;
        EXPECT_EQ(rvx::writeFrame(*frame), strings123456[row]);
        EXPECT_TRUE(rvx::checksumHolds(*frame));
    }
    auto group =
        rvx::frameFor(rvx::commandOf(rvx::CommandId::Up), rvx::AddressKind::Group, address, values);
    EXPECT_EQ(rvx::writeFrame(group.value()), "AB F1 FF 12 34 56 FF FF FF FE FF FF 09 30");
}

TEST(ComposeFrame, ASumBeyondSixteenBitsOrAByteBeyondFFMakesNoFrame) {
    const rvx::Address address{0x12, 0x34, 0x56};
    const auto& down = rvx::commandOf(rvx::CommandId::Down);
    const std::int16_t huge[] = {32255};
    const auto overflow = rvx::composeFrame(down, rvx::AddressKind::Single, address, huge);
    EXPECT_EQ(overflow.status, rvx::ComposedFrame::Status::Overflow);
    EXPECT_EQ(overflow.overflowAt, 0U);

    const std::int16_t wide[] = {256};
    const auto noBytes = rvx::composeFrame(down, rvx::AddressKind::Single, address, wide);
    EXPECT_EQ(noBytes.status, rvx::ComposedFrame::Status::NoByteForm);
    EXPECT_EQ(noBytes.sum, 0x12 + 0x34 + 0x56 + 0x794 + 256);

    auto values = rvx::startValues();
    values[static_cast<std::size_t>(ParameterField::RU)] = -1;
    EXPECT_FALSE(rvx::frameFor(down, rvx::AddressKind::Single, address, values));
}

// A motor list's frames: one plan per command and kind, then only the address put in.
TEST(ComposeFrame, FramesForManyAddressesAreTheFramesOfEach) {
    std::mt19937 random(7);
    auto values = rvx::startValues();
    values[static_cast<std::size_t>(ParameterField::RU)] = 250;
    values[static_cast<std::size_t>(ParameterField::Pct)] = 33.3;
    for (const auto kind : {rvx::AddressKind::Single, rvx::AddressKind::Group}) {
        for (const auto& command : rvx::commandCatalogue) {
            const rvx::FramesForAddresses frames(command, kind, values);
            ASSERT_TRUE(frames.made());
            for (int k = 0; k < 200; ++k) {
                const auto bits = random();
                const rvx::Address address{static_cast<std::uint8_t>(bits),
                                           static_cast<std::uint8_t>(bits >> 8),
                                           static_cast<std::uint8_t>(bits >> 16)};
                ASSERT_EQ(frames.forAddress(address), rvx::frameFor(command, kind, address, values))
                    << command.name << " " << rvx::addressText(address);
            }
        }
    }
    values[static_cast<std::size_t>(ParameterField::RU)] = 300;  // no byte form
    EXPECT_FALSE(rvx::FramesForAddresses(rvx::commandOf(rvx::CommandId::Down),
                                         rvx::AddressKind::Single, values)
                     .made());
}

TEST(ReadValue, JudgesAgainstTheAdmittedValuesAndSaysWhy) {
    struct Case {
        ParameterField field;
        const char* text;
        ValueVerdict verdict;
        const char* message;
    };
    const Case cases[] = {
        {ParameterField::IP, "16", ValueVerdict::Admitted, ""},
        {ParameterField::IP, "20", ValueVerdict::OutOfRange,
         "\"20\": out of range; the IP number must be 1 to 16"},
        {ParameterField::RU, "5", ValueVerdict::OutOfRange,
         "\"5\": out of range; the Down value must be 0, or 10 to 255"},
        {ParameterField::RU, "1e308", ValueVerdict::OutOfRange,
         "\"1e308\": out of range; the Down value must be 0, or 10 to 255"},
        {ParameterField::RU, "1e400", ValueVerdict::OutOfRange,
         "\"1e400\": out of range; the Down value must be 0, or 10 to 255"},
        {ParameterField::Pct, "5\n0", ValueVerdict::NotANumber,
         "\"5\\n0\": not a number; the percentage must be 0 to 100"},
        {ParameterField::L, "", ValueVerdict::NotANumber,
         "\"\": not a number; the lock priority must be 1 to 100"},
    };
    for (const auto& c : cases) {
        const auto reading = rvx::readValue(c.field, c.text);
        EXPECT_EQ(reading.verdict, c.verdict) << c.text;
        EXPECT_EQ(rvx::valueMessage(c.field, c.text, reading.verdict), c.message);
    }
}

}  // namespace
