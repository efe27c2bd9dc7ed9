// Number reading shared by the generation, the window's checks and the command line.
#include "rvx/number.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>
#ifdef _WIN32
#include <process.h>
#elif !defined(__EMSCRIPTEN__)
#include <unistd.h>
#endif

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

// Too large and too small are told apart by the true magnitude, however long the digits run.
TEST(ReadNumber, MagnitudeDecidesBetweenTooLargeAndZero) {
    using Kind = rvx::NumberReading::Kind;
    const std::string zeros(100001, '0');
    const std::pair<std::string, Kind> cases[] = {
        {"1e400", Kind::TooLarge},
        {"-1e309", Kind::TooLarge},
        {"0." + zeros + "1e1000000", Kind::TooLarge},  // about 10^899998
        {"1" + zeros + "e-1000000", Kind::Number},     // about 10^-899998: zero
        {"1" + zeros, Kind::TooLarge},
        {"0." + zeros + "1", Kind::Number},
        {"1e99999999999999999999999", Kind::TooLarge},
        {"1e-99999999999999999999999", Kind::Number},
        {"1e308", Kind::Number},
    };
    for (const auto& [text, kind] : cases) {
        const auto reading = rvx::readNumberText(text);
        EXPECT_EQ(reading.kind, kind) << text.substr(0, 30);
        EXPECT_EQ(rvx::readNumber(text).has_value(), kind == Kind::Number) << text.substr(0, 30);
    }
    EXPECT_EQ(rvx::readNumber("1" + zeros + "e-1000000"), 0.0);
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

// The C library of WebAssembly knows no locale but "C", whose reading takes the point: there
// is no other locale to be independent of.
#ifndef __EMSCRIPTEN__

// A German locale, so that the C library's own number reading would take a comma and stop at a
// point. Windows has it built in; elsewhere it is made for the test from the system's locale
// sources.
class GermanLocale {
public:
#ifdef _WIN32
    GermanLocale() = default;
    [[nodiscard]] bool made() const {
        return true;
    }
    [[nodiscard]] const char* name() const {
        return "German_Germany.1252";
    }
#else
    GermanLocale() {
        const std::string command =
            "localedef -i de_DE -f UTF-8 " + directory_.string() + "/de_DE.UTF-8 >/dev/null 2>&1";
        std::filesystem::create_directories(directory_);
        made_ = std::system(command.c_str()) == 0;
        ::setenv("LOCPATH", directory_.c_str(), 1);
    }
    ~GermanLocale() {
        ::unsetenv("LOCPATH");
        std::filesystem::remove_all(directory_);
    }
    GermanLocale(const GermanLocale&) = delete;
    GermanLocale& operator=(const GermanLocale&) = delete;
    [[nodiscard]] bool made() const {
        return made_;
    }
    [[nodiscard]] const char* name() const {
        return "de_DE.UTF-8";
    }

private:
    std::filesystem::path directory_ =
        std::filesystem::temp_directory_path() / ("rvx-locale-" + std::to_string(::getpid()));
    bool made_ = false;
#endif
};

TEST(ReadNumber, ThePointIsTheSeparatorWhateverTheLocale) {
    GermanLocale german;
    ASSERT_TRUE(german.made()) << "localedef could not make de_DE.UTF-8";
    ASSERT_NE(std::setlocale(LC_ALL, german.name()), nullptr);
    // The C library itself now reads a comma: the check below would see any dependence.
    const double libraryComma = std::strtod("1,5", nullptr);
    const auto withPoint = rvx::readNumber("1.5");
    const auto withComma = rvx::readNumber("1,5");
    const auto exponent = rvx::readNumber("2.5e-1");
    const std::string plain = rvx::plainDecimal(0.25);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(libraryComma, 1.5);
    ASSERT_TRUE(withPoint);
    EXPECT_EQ(*withPoint, 1.5);
    EXPECT_FALSE(withComma);
    EXPECT_EQ(exponent, 0.25);
    EXPECT_EQ(plain, "0.25");
}

#endif

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
