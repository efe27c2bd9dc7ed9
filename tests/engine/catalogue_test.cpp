// The command catalogue and the parameter conversions.
#include "rvx/catalogue.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using rvx::commandCatalogue;
using rvx::Conversion;
using rvx::ParameterField;

// The constant sums added up from the rows are the ones the frames have always been made with.
TEST(Catalogue, ConstantSumsAreTheKnownOnes) {
    const int expected[rvx::commandCount] = {0x894, 0x794, 0x892, 0x890, 0x88F, 0x792, 0x786,
                                             0x78C, 0x78B, 0x78E, 0x78D, 0x78F, 0x68C, 0x78A};
    for (std::size_t row = 0; row < rvx::commandCount; ++row) {
        EXPECT_EQ(commandCatalogue[row].constantSum, expected[row]) << commandCatalogue[row].name;
    }
    static_assert(rvx::commandOf(rvx::CommandId::LockAtIp).constantSum == 0x68C);
}

TEST(Catalogue, EntriesAndOutputFieldsInChooserOrder) {
    const char* expected[][2] = {
        {"Up", "txtUP"},           {"Down", "txtDOWN"},         {"Stop", "txtSTOP"},
        {"Next IP Up", "txtNIPU"}, {"Next IP Down", "txtNIPD"}, {"Go to IP #", "txtGIP"},
        {"Go to %", "txtGP"},      {"Jog Up 10 ms", "txtJU"},   {"Jog Down 10 ms", "txtJD"},
        {"Lock Up", "txtLU"},      {"Lock Down", "txtLD"},      {"Lock Current", "txtLC"},
        {"Lock @ IP #", "txtLIP"}, {"Unlock", "txtUL"},
    };
    ASSERT_EQ(std::size(expected), commandCatalogue.size());
    for (std::size_t row = 0; row < commandCatalogue.size(); ++row) {
        EXPECT_EQ(commandCatalogue[row].name, expected[row][0]);
        EXPECT_EQ(commandCatalogue[row].outputField, expected[row][1]);
    }
}

TEST(Catalogue, MotionCommandsUseABAndLockCommandsA4) {
    for (std::size_t row = 0; row < commandCatalogue.size(); ++row) {
        EXPECT_EQ(commandCatalogue[row].messageCode, row < 9 ? 0xAB : 0xA4)
            << commandCatalogue[row].name;
    }
}

TEST(Catalogue, FindsCommandsIgnoringCaseOnly) {
    EXPECT_EQ(rvx::findCommand("Up"), 0U);
    EXPECT_EQ(rvx::findCommand("go to ip #"), 5U);
    EXPECT_EQ(rvx::findCommand("LOCK @ IP #"), 12U);
    EXPECT_EQ(rvx::findCommand("unlock"), 13U);
    EXPECT_FALSE(rvx::findCommand("Up "));
    EXPECT_FALSE(rvx::findCommand("Go to IP"));
    EXPECT_FALSE(rvx::findCommand(""));
}

TEST(AdmittedValues, BoundsAreInclusiveAndFractionsInsideCount) {
    struct Case {
        ParameterField field;
        double value;
        bool admitted;
    };
    const Case cases[] = {
        {ParameterField::RU, 0, true},     {ParameterField::RU, 5, false},
        {ParameterField::RU, 9.99, false}, {ParameterField::RU, 10, true},
        {ParameterField::RU, 255, true},   {ParameterField::RU, 255.5, false},
        {ParameterField::RU, -0.5, false}, {ParameterField::IP, 0, false},
        {ParameterField::IP, 1, true},     {ParameterField::IP, 1.5, true},
        {ParameterField::IP, 16, true},    {ParameterField::IP, 17, false},
        {ParameterField::Pct, 0, true},    {ParameterField::Pct, 100, true},
        {ParameterField::Pct, 101, false}, {ParameterField::MSU, 0, true},
        {ParameterField::MSD, 256, false}, {ParameterField::L, 0, false},
        {ParameterField::L, 100, true},    {ParameterField::L, 101, false},
        {ParameterField::IPL, 16, true},   {ParameterField::IPL, 16.01, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rvx::isAdmitted(c.field, c.value), c.admitted)
            << rvx::parameterInfo(c.field).fieldName << " " << c.value;
    }
}

TEST(Conversion, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(rvx::convertParameter(Conversion::Inverted, 12.5), 242);  // 242.5
    EXPECT_EQ(rvx::convertParameter(Conversion::Inverted, 11.5), 244);  // 243.5
    EXPECT_EQ(rvx::convertParameter(Conversion::Inverted, 0.4), 255);   // 254.6
    EXPECT_EQ(rvx::convertParameter(Conversion::IpNumber, 1.5), 254);   // 254.5
    EXPECT_EQ(rvx::convertParameter(Conversion::IpNumber, 2.5), 254);   // 253.5
    EXPECT_EQ(rvx::convertParameter(Conversion::IpNumber, 16), 0xF0);
    EXPECT_EQ(rvx::convertParameter(Conversion::Inverted, 16), 0xEF);
}

TEST(Conversion, PercentageScalesByTheDoubleNearestTo255) {
    // 50 x 2.55 is a little below 127.5 in doubles; 10 x 2.55 and 30 x 2.55 are exact halves.
    const std::pair<double, int> cases[] = {
        {0, 0xFF}, {10, 0xE5}, {30, 0xB3}, {50, 0x80}, {70, 0x4D}, {90, 0x1A}, {100, 0x00},
    };
    for (const auto& [percent, written] : cases) {
        EXPECT_EQ(rvx::convertParameter(Conversion::Percentage, percent), written) << percent;
    }
}

TEST(Conversion, LeavingSixteenBitsIsRefused) {
    EXPECT_EQ(rvx::convertParameter(Conversion::Inverted, -32512), 32767);
    EXPECT_FALSE(rvx::convertParameter(Conversion::Inverted, -32512.5));      // 32767.5 -> 32768
    EXPECT_EQ(rvx::convertParameter(Conversion::Inverted, 33023.5), -32768);  // -32768.5
    EXPECT_FALSE(rvx::convertParameter(Conversion::Inverted, 1e10));
    EXPECT_FALSE(rvx::convertParameter(Conversion::Percentage, 20000));
    // The scaled value fits, the subtraction from 255 does not.
    EXPECT_FALSE(rvx::convertParameter(Conversion::Percentage, -12850.2));
    EXPECT_EQ(rvx::convertParameter(Conversion::Percentage, -12000), 255 + 30600);
}

// Running a conversion backwards gives a number that converts to the same byte again, for
// every byte; the whole percentages come back as themselves.
TEST(Conversion, RunBackwardsGivesANumberThatWritesTheSameByte) {
    for (const auto conversion :
         {Conversion::Inverted, Conversion::IpNumber, Conversion::Percentage}) {
        for (int written = 0; written <= 255; ++written) {
            const double value =
                rvx::parameterValueOf(conversion, static_cast<std::uint8_t>(written));
            EXPECT_EQ(rvx::convertParameter(conversion, value), written)
                << static_cast<int>(conversion) << " " << written << " " << value;
        }
    }
    EXPECT_EQ(rvx::parameterValueOf(Conversion::Inverted, 0xF2), 13.0);
    EXPECT_EQ(rvx::parameterValueOf(Conversion::IpNumber, 0xF0), 16.0);
    EXPECT_EQ(rvx::parameterValueOf(Conversion::IpNumber, 0x00), 256.0);
    for (int percent = 0; percent <= 100; ++percent) {
        const auto written = rvx::convertParameter(Conversion::Percentage, percent);
        ASSERT_TRUE(written);
        EXPECT_EQ(
            rvx::parameterValueOf(Conversion::Percentage, static_cast<std::uint8_t>(*written)),
            percent);
    }
    // Position 1 (written FE) lies between 0 % and 1 %.
    const double fraction = rvx::parameterValueOf(Conversion::Percentage, 0xFE);
    EXPECT_GT(fraction, 0.0);
    EXPECT_LT(fraction, 1.0);
}

}  // namespace
