// Composing frames from bytes and values, many addresses at a time, and the checksum check.
#include "rvx/frame.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "rvx/notation.h"
#include "worked_example.h"

namespace {

using rvx::ParameterField;

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

TEST(ChecksumHolds, OnlyForFourteenBytesEndingInTheSumOfTheTwelveBefore) {
    const rvx::Frame up{0xAB, 0xF1, 0xFF, 0xFF, 0xFF, 0xFF, 0x12,
                        0x34, 0x56, 0xFE, 0xFF, 0xFF, 0x09, 0x30};
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool holds;
    };
    std::vector<std::uint8_t> lowWrong(up.begin(), up.end());
    lowWrong[13] = 0x31;
    std::vector<std::uint8_t> highWrong(up.begin(), up.end());
    highWrong[12] = 0x08;
    std::vector<std::uint8_t> swapped(up.begin(), up.end());
    std::swap(swapped[12], swapped[13]);
    std::vector<std::uint8_t> carried(12, 0xFF);  // 12 x FF = 0BF4
    carried.push_back(0x0B);
    carried.push_back(0xF4);
    const Case cases[] = {
        {"Up for 123456", {up.begin(), up.end()}, true},
        {"a sum beyond FF carries into the high byte", carried, true},
        {"low byte wrong", lowWrong, false},
        {"high byte wrong", highWrong, false},
        {"bytes swapped", swapped, false},
        {"thirteen bytes", {up.begin(), up.end() - 1}, false},
        {"fifteen bytes",
         [&] {
             std::vector<std::uint8_t> longer(up.begin(), up.end());
             longer.push_back(0x00);
             return longer;
         }(),
         false},
        {"no bytes", {}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rvx::checksumHolds(c.bytes), c.holds) << c.name;
    }
}

TEST(SameFramesForBothKinds, OnlyAddressFFFFFF) {
    EXPECT_TRUE(rvx::sameFramesForBothKinds({0xFF, 0xFF, 0xFF}));
    EXPECT_FALSE(rvx::sameFramesForBothKinds({0xFF, 0xFF, 0xFE}));
    EXPECT_FALSE(rvx::sameFramesForBothKinds({0x00, 0x00, 0x00}));
    // What the claim rests on: both kinds make the very same bytes for FFFFFF, and not for others.
    for (const auto& command : rvx::commandCatalogue) {
        for (const rvx::Address address :
             {rvx::Address{0xFF, 0xFF, 0xFF}, rvx::Address{0x12, 0x34, 0x56}}) {
            const auto single =
                rvx::frameFor(command, rvx::AddressKind::Single, address, rvx::startValues());
            const auto group =
                rvx::frameFor(command, rvx::AddressKind::Group, address, rvx::startValues());
            EXPECT_EQ(single == group, rvx::sameFramesForBothKinds(address)) << command.name;
        }
    }
}

}  // namespace
