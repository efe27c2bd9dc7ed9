// The engine reads and writes numbers by its own exact arithmetic, the same on every system.
// Here it is held against the standard library's conversions, where the library has them, on
// 200 000 texts: digits of doubles of every magnitude, texts as people type them, the exact
// halves between neighbouring doubles and the texts just beside them, and the boundaries
// (the largest double, the least, the normal range, 2^53, the powers of ten).
#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "rvx/number.h"

// The library's own conversions of double, the reference. libstdc++ has both; libc++ writes
// from release 14 and reads from release 20 on; where reading is missing, the C library's
// strtod in the "C" locale stands in.
#if defined(__cpp_lib_to_chars) || (defined(_LIBCPP_VERSION) && _LIBCPP_VERSION >= 20000)
#define RVX_LIBRARY_READS_DOUBLES 1
#endif
#if defined(__cpp_lib_to_chars) || (defined(_LIBCPP_VERSION) && _LIBCPP_VERSION >= 14000)
#define RVX_LIBRARY_WRITES_DOUBLES 1
#endif

namespace {

using Kind = rvx::NumberReading::Kind;

struct Sample {
    std::string text;
    const char* group;
};

// A generator whose numbers are the same with every standard library: the raw output of the
// Mersenne twister, which the standard fixes, never a distribution, which it does not.
class Draw {
public:
    std::uint64_t bits() { return engine_(); }
    std::uint64_t below(std::uint64_t bound) { return engine_() % bound; }
    bool chance(std::uint64_t inOf) { return below(inOf) == 0; }

private:
    std::mt19937_64 engine_{20240527};
};

double doubleOf(std::uint64_t bits) {
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::uint64_t bitsOf(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// A finite double of any sign, with a biased exponent drawn evenly from 0 (below the normal
// range) to 2046 (the largest), so that every magnitude is met as often.
double anyMagnitude(Draw& draw) {
    const std::uint64_t exponent = draw.below(2047);
    const std::uint64_t fraction = draw.bits() & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t sign = draw.bits() & (std::uint64_t{1} << 63);
    return doubleOf(sign | (exponent << 52) | fraction);
}

std::string scientific(double value, int significantDigits) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*e", significantDigits - 1, value);
    return text;
}

// The exact decimal digits of significand * 2^exponent, which every such number has, made in
// base 10^9 by small factors: a way apart from the engine's binary arithmetic.
std::string exactDecimal(std::uint64_t significand, int exponent) {
    constexpr std::uint64_t base = 1'000'000'000;
    std::vector<std::uint64_t> groups;  // from the lowest
    for (std::uint64_t rest = significand; rest != 0; rest /= base) {
        groups.push_back(rest % base);
    }
    const auto multiply = [&groups](std::uint64_t factor) {
        std::uint64_t carry = 0;
        for (std::uint64_t& group : groups) {
            const std::uint64_t product = group * factor + carry;
            group = product % base;
            carry = product / base;
        }
        for (; carry != 0; carry /= base) {
            groups.push_back(carry % base);
        }
    };
    // 2^29 and 5^13 are the largest powers whose products with a group stay within 64 bits.
    for (int k = exponent; k > 0; k -= 29) {
        multiply(std::uint64_t{1} << (k < 29 ? k : 29));
    }
    for (int k = -exponent; k > 0; k -= 13) {
        std::uint64_t factor = 1;
        for (int j = 0; j < (k < 13 ? k : 13); ++j) {
            factor *= 5;
        }
        multiply(factor);
    }
    std::string digits = std::to_string(groups.empty() ? 0 : groups.back());
    for (std::size_t k = groups.size() - 1; k-- > 0;) {
        const std::string group = std::to_string(groups[k]);
        digits += std::string(9 - group.size(), '0') + group;
    }
    if (exponent >= 0) {
        return digits;
    }
    const auto fractionDigits = static_cast<std::size_t>(-exponent);
    if (digits.size() <= fractionDigits) {
        digits.insert(0, fractionDigits - digits.size() + 1, '0');
    }
    digits.insert(digits.size() - fractionDigits, 1, '.');
    return digits;
}

// The point halfway between a positive finite double and the next one up, exactly.
std::string halfwayAbove(double value) {
    const std::uint64_t bits = bitsOf(value);
    const std::uint64_t biased = bits >> 52;
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t significand = biased == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
    const int exponent = biased == 0 ? -1074 : static_cast<int>(biased) - 1075;
    return exactDecimal(2 * significand + 1, exponent - 1);
}

// A decimal text a hair above or below an exact one that is not a whole number of units in
// its last place: digits appended, or the last digit lowered and nines appended.
std::string justAbove(const std::string& exact) {
    return exact + (exact.find('.') == std::string::npos ? ".000000001" : "000000001");
}

std::string justBelow(std::string exact) {
    if (exact.find('.') == std::string::npos) {
        // A whole number: one less, and nines after the point.
        std::size_t k = exact.size();
        while (k-- > 0 && exact[k] == '0') {
            exact[k] = '9';
        }
        --exact[k];
        return exact + ".999999999";
    }
    while (exact.back() == '0') {
        exact.pop_back();
    }
    --exact.back();
    return exact + "999999999";
}

std::vector<Sample> samples() {
    Draw draw;
    std::vector<Sample> out;
    out.reserve(200'000);

    // Doubles of every magnitude, written with 1 to 17 significant digits.
    for (int k = 0; k < 60'000; ++k) {
        const int digits = 1 + static_cast<int>(draw.below(17));
        out.push_back({scientific(anyMagnitude(draw), digits), "digits of a double"});
    }

    // As people type them: a sign or none, leading zeros, up to 25 digits with a point
    // anywhere or none, an exponent of either case and sign or none, blanks around.
    for (int k = 0; k < 60'000; ++k) {
        std::string text;
        if (draw.chance(6)) {
            text += draw.chance(2) ? " " : "\t";
        }
        if (draw.chance(4)) {
            text += draw.chance(2) ? "-" : "+";
        }
        const auto count = 1 + draw.below(25);
        const auto point = draw.below(count + 2);  // beyond the digits: none
        for (std::uint64_t d = 0; d < count; ++d) {
            if (d == point) {
                text += '.';
            }
            text += static_cast<char>('0' + (d == 0 && draw.chance(3) ? 0 : draw.below(10)));
        }
        if (point == count) {
            text += '.';
        }
        if (draw.chance(2)) {
            text += draw.chance(2) ? 'e' : 'E';
            if (draw.chance(2)) {
                text += draw.chance(2) ? '-' : '+';
            }
            text += std::to_string(draw.below(35));
        }
        if (draw.chance(6)) {
            text += ' ';
        }
        out.push_back({text, "typed"});
    }

    // The exact halves between neighbouring doubles, which round to the even one, and the
    // texts a hair beside them, which round to the nearer.
    for (int k = 0; k < 24'800; ++k) {
        double value = std::fabs(anyMagnitude(draw));
        if (value == DBL_MAX) {
            value = std::nextafter(value, 0.0);
        }
        const std::string half = halfwayAbove(value);
        out.push_back({half, "exact half"});
        out.push_back({justAbove(half), "just above a half"});
        out.push_back({justBelow(half), "just below a half"});
    }

    // The halves on either side of every power of two, where the gap below is half the gap
    // above, and the gaps at the ends of the range.
    for (int exponent = -1074; exponent <= 1023; ++exponent) {
        const double power = std::ldexp(1.0, exponent);
        out.push_back({halfwayAbove(power), "half above a power of two"});
        if (exponent > -1074) {
            out.push_back({halfwayAbove(std::nextafter(power, 0.0)), "half below a power of two"});
        }
    }
    const std::string halfBeyondLargest = halfwayAbove(DBL_MAX);  // rounds to infinity
    const std::string halfOfLeast = exactDecimal(1, -1075);       // rounds to zero
    const std::string halfBelowNormal = halfwayAbove(std::nextafter(DBL_MIN, 0.0));
    const std::string fewDigits = "123456789012345";  // the most digits read in one step
    for (const std::string& text : {
             halfBeyondLargest,
             justBelow(halfBeyondLargest),
             justAbove(halfBeyondLargest),
             halfOfLeast,
             justAbove(halfOfLeast),
             justBelow(halfOfLeast),
             halfBelowNormal,
             justAbove(halfBelowNormal),
             justBelow(halfBelowNormal),
             std::string("1.7976931348623157e308"),
             std::string("4.9406564584124654e-324"),
             std::string("2.2250738585072014e-308"),
             std::string("2.2250738585072011e-308"),
             std::string("9007199254740992"),
             std::string("9007199254740993"),
             std::string("9007199254740995"),
             std::string("18014398509481985"),
             fewDigits,
             fewDigits + "6",
             fewDigits + "e22",
             fewDigits + "e23",
             fewDigits + "e-22",
             fewDigits + "e-23",
             std::string("1e22"),
             std::string("1e23"),
             std::string("8.98846567431158e307"),
         }) {
        out.push_back({text, "boundary"});
    }
    for (int exponent = -330; exponent <= 310; ++exponent) {
        out.push_back({"1e" + std::to_string(exponent), "power of ten"});
        out.push_back({"9.99999999999999999999e" + std::to_string(exponent), "power of ten"});
    }
    // Texts longer than the digits kept, at the ends of the range.
    for (const int exponent : {-1125, -1124, -400, 0, -500}) {
        for (const std::size_t count : {799, 800, 801, 1000}) {
            out.push_back({std::string(count, '9') + "e" + std::to_string(exponent), "long"});
            out.push_back(
                {std::string("1").append(count - 2, '0') + "1e" + std::to_string(exponent),
                 "long"});
        }
    }
    out.push_back({std::string("0.").append(1000, '0').append(900, '7') + "e1300", "long"});
    out.push_back({std::string(1000, '0') + halfwayAbove(1.0) + std::string(1000, '0'), "long"});
    out.push_back({std::string("1").append(767, '0') + "1e-1090", "long"});

    // The rest: more halves between neighbours of moderate size.
    while (out.size() < 200'000) {
        const double value = std::ldexp(1.0 + static_cast<double>(draw.below(1U << 30)) / 0x1p30,
                                        static_cast<int>(draw.below(200)) - 100);
        out.push_back({halfwayAbove(value), "exact half"});
    }
    return out;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// The reading of a text of the engine's grammar by the library, sign apart.
rvx::NumberReading libraryReading(std::string_view text) {
    text = trimmed(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const std::string whole(text);
    const double strtodValue = std::strtod(whole.c_str(), nullptr);
    if (std::isinf(strtodValue)) {
        return {Kind::TooLarge, 0.0};
    }
    double value = strtodValue;
#ifdef RVX_LIBRARY_READS_DOUBLES
    const auto [end, ec] = std::from_chars(whole.data(), whole.data() + whole.size(), value);
    EXPECT_EQ(end, whole.data() + whole.size()) << whole;
    if (ec == std::errc::result_out_of_range) {
        value = 0.0;  // below half the least double
    }
#endif
    return {Kind::Number, negative ? -value : value};
}

TEST(NumberConversion, ReadsAsTheLibraryOn200000Texts) {
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    const std::vector<Sample> all = samples();
    ASSERT_EQ(all.size(), 200'000U);
    std::size_t failures = 0;
    for (const Sample& sample : all) {
        const rvx::NumberReading reading = rvx::readNumberText(sample.text);
        const rvx::NumberReading library = libraryReading(sample.text);
        const bool same =
            reading.kind == library.kind && bitsOf(reading.value) == bitsOf(library.value);
        if (!same && ++failures <= 20) {
            ADD_FAILURE() << sample.group << " \"" << sample.text.substr(0, 120) << "\": read "
                          << static_cast<int>(reading.kind) << " " << reading.value
                          << ", the library " << static_cast<int>(library.kind) << " "
                          << library.value;
        }
    }
    EXPECT_EQ(failures, 0U);
}

#ifdef RVX_LIBRARY_WRITES_DOUBLES
std::string libraryPlain(double value) {
    std::array<char, 1100> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                         std::chars_format::fixed);
    EXPECT_EQ(ec, std::errc{});
    return {buffer.data(), end};
}
#endif

// plainDecimal writes the shortest digits that read back, the nearest of them, as the
// library's to_chars in fixed form does (a whole number in all its digits); elsewhere at least
// the reading back is checked.
TEST(NumberConversion, WritesAsTheLibraryForEveryMagnitude) {
    Draw draw;
    std::vector<std::pair<double, const char*>> values;
    for (int k = 0; k < 20'000; ++k) {
        values.emplace_back(anyMagnitude(draw), "any magnitude");
    }
    for (int k = 0; k < 20'000; ++k) {
        // Few digits, as typed into a field: 0.1, 12.5, 250.
        const double digits = static_cast<double>(draw.below(100'000));
        values.emplace_back(digits / std::pow(10.0, static_cast<double>(draw.below(8))),
                            "few digits");
    }
    for (int exponent = -1074; exponent <= 1023; ++exponent) {
        const double power = std::ldexp(1.0, exponent);
        values.emplace_back(power, "power of two");
        values.emplace_back(std::nextafter(power, 0.0), "below a power of two");
    }
    for (const double value : {DBL_MAX, DBL_MIN, DBL_TRUE_MIN, 1e23, 1e22, 9007199254740993.0,
                               5e-324, 0.1, 0.3, 2.0 / 3.0, 1e-7, 123456789012345680.0}) {
        values.emplace_back(value, "boundary");
    }
    std::size_t failures = 0;
    for (const auto& [value, group] : values) {
        const std::string plain = rvx::plainDecimal(value);
        const auto again = rvx::readNumber(plain);
        bool same = again && bitsOf(*again) == bitsOf(value == 0.0 ? 0.0 : value) &&
                    plain.find_first_of("eE+") == std::string::npos;
#ifdef RVX_LIBRARY_WRITES_DOUBLES
        same = same && (value == 0.0 || plain == libraryPlain(value));
#endif
        if (!same && ++failures <= 20) {
            ADD_FAILURE() << group << " " << scientific(value, 17) << ": wrote "
                          << plain.substr(0, 120);
        }
    }
    EXPECT_EQ(failures, 0U);
}

}  // namespace
