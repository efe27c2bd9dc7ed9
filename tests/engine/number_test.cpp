// Number reading shared by the generation, the window's checks and the command line.
#include "rvx/number.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <locale>

namespace {

TEST(ReadNumber, AcceptsDecimalNumbersWithSignPointExponentAndBlanks) {
    const std::pair<const char*, double> cases[] = {
        {"0", 0},        {"100", 100},   {"0100", 100},  {"  7 ", 7},      {"\t7\t", 7},
        {"+5", 5},       {"-5", -5},     {"1.5", 1.5},   {".5", 0.5},      {"5.", 5},
        {"-.25", -0.25}, {"1e2", 100},   {"1E+2", 100},  {"2.5e-1", 0.25}, {"+.5E1", 5},
        {"255", 255},    {"12.5", 12.5}, {" -0 ", -0.0}, {"1e308", 1e308},
    };
    for (const auto& [text, value] : cases) {
        const auto number = rvx::readNumber(text);
        ASSERT_TRUE(number) << '"' << text << '"';
        EXPECT_EQ(*number, value) << '"' << text << '"';
    }
}

TEST(ReadNumber, ValuesTooSmallForADoubleReadAsZero) {
    const auto tiny = rvx::readNumber("1e-400");
    ASSERT_TRUE(tiny);
    EXPECT_EQ(*tiny, 0.0);
    const auto negativeTiny = rvx::readNumber("-0.00001e-330");
    ASSERT_TRUE(negativeTiny);
    EXPECT_EQ(*negativeTiny, 0.0);
    EXPECT_TRUE(std::signbit(*negativeTiny));
}

TEST(ReadNumber, RefusesTextThatIsNoFiniteDecimalNumber) {
    const char* cases[] = {
        "",
        " ",
        "abc",
        "ER",
        "1,5",
        "1,000",
        "1 000",
        "0x10",
        "0X1F",
        "1A",
        "inf",
        "-inf",
        "nan",
        "NaN",
        "Infinity",
        "1e",
        "1e+",
        "e5",
        ".",
        "+",
        "-",
        "+-1",
        "--1",
        "1.2.3",
        "1e5x",
        "1 e5",
        "1e400",
        "-1e999",
        "9999999999999999999999999999999999999999e300",
        "\xd9\xa1",
        "\xc2\xbd",
        "1\xc2\xa0",
        "\n1",
    };
    for (const char* text : cases) {
        EXPECT_FALSE(rvx::readNumber(text)) << '"' << text << '"';
    }
}

// A locale whose decimal separator is a comma, for the C++ side of the library.
struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(ReadNumber, ThePointIsTheSeparatorWhateverTheLocale) {
    const std::locale previous = std::locale::global(std::locale(std::locale(), new CommaPunct));
    const auto withPoint = rvx::readNumber("1.5");
    const auto withComma = rvx::readNumber("1,5");
    std::locale::global(previous);
    ASSERT_TRUE(withPoint);
    EXPECT_EQ(*withPoint, 1.5);
    EXPECT_FALSE(withComma);
}

TEST(PlainDecimal, WritesTheShortestPlainForm) {
    const std::pair<const char*, const char*> cases[] = {
        {"0100", "100"}, {"+5", "5"},      {"1.50", "1.5"},       {"1e2", "100"}, {"-0", "0"},
        {"0.1", "0.1"},  {"-2.5", "-2.5"}, {"1e-7", "0.0000001"}, {"16", "16"},   {"00", "0"},
    };
    for (const auto& [text, plain] : cases) {
        const auto number = rvx::readNumber(text);
        ASSERT_TRUE(number) << text;
        EXPECT_EQ(rvx::plainDecimal(*number), plain) << text;
        EXPECT_EQ(rvx::readNumber(rvx::plainDecimal(*number)), number) << text;
    }
}

}  // namespace
