#include "rvx/number.h"

#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

#include "rvx/ascii.h"

namespace rvx {

namespace {

using ascii::isDigit;

// Far beyond any magnitude a double has and beyond the number of digits any text in memory can
// hold, yet ten times below the limit of 64 bits, so that neither the last step of reading an
// exponent nor the sum of magnitude and exponent can overflow.
constexpr std::int64_t saturation = 100'000'000'000'000'000;

// from_chars reports both overflow and underflow as out of range. The decimal magnitude of the
// text tells them apart: a number whose first significant digit stands at or above 10^0 cannot
// underflow, one below 10^-300 cannot overflow.
bool isTooLarge(std::string_view mantissa, std::string_view exponent) {
    bool seenPoint = false;
    bool found = false;
    std::int64_t integerDigits = 0;
    std::int64_t leadingFractionZeros = 0;
    for (const char c : mantissa) {
        if (c == '.') {
            seenPoint = true;
        } else if (!found && c == '0') {
            if (seenPoint) {
                ++leadingFractionZeros;
            }
        } else if (isDigit(c)) {
            found = true;
            if (!seenPoint) {
                ++integerDigits;
            }
        }
    }
    if (!found) {
        return false;  // all zeros: never out of range
    }
    // The place of the first significant digit: 1 for units, 0 for tenths, -1 for hundredths.
    const std::int64_t magnitude = integerDigits > 0 ? integerDigits : -leadingFractionZeros;
    std::int64_t exp = 0;
    bool negative = false;
    std::size_t pos = 0;
    if (pos < exponent.size() && (exponent[pos] == '+' || exponent[pos] == '-')) {
        negative = exponent[pos] == '-';
        ++pos;
    }
    for (; pos < exponent.size() && exp < saturation; ++pos) {
        exp = exp * 10 + (exponent[pos] - '0');
    }
    return magnitude + (negative ? -exp : exp) > 0;
}

}  // namespace

NumberReading readNumberText(std::string_view text) {
    const NumberReading none{NumberReading::Kind::NotANumber, 0.0};
    text = ascii::trimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }

    // Mantissa: digits, optional point, digits; at least one digit in all.
    std::size_t pos = 0;
    std::size_t digits = 0;
    while (pos < text.size() && isDigit(text[pos])) {
        ++pos;
        ++digits;
    }
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && isDigit(text[pos])) {
            ++pos;
            ++digits;
        }
    }
    if (digits == 0) {
        return none;
    }
    const std::string_view mantissa = text.substr(0, pos);
    std::string_view exponent;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        const std::size_t expStart = pos + 1;
        std::size_t e = expStart;
        if (e < text.size() && (text[e] == '+' || text[e] == '-')) {
            ++e;
        }
        const std::size_t expDigitsStart = e;
        while (e < text.size() && isDigit(text[e])) {
            ++e;
        }
        if (e == expDigitsStart) {
            return none;
        }
        exponent = text.substr(expStart, e - expStart);
        pos = e;
    }
    if (pos != text.size()) {
        return none;
    }

    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + pos, value);
    if (ec == std::errc::result_out_of_range) {
        if (isTooLarge(mantissa, exponent)) {
            return {NumberReading::Kind::TooLarge, 0.0};
        }
        value = 0.0;
    } else if (ec != std::errc{} || end != text.data() + pos || !std::isfinite(value)) {
        return none;
    }
    return {NumberReading::Kind::Number, negative ? -value : value};
}

std::optional<double> readNumber(std::string_view text) {
    const NumberReading reading = readNumberText(text);
    if (reading.kind != NumberReading::Kind::Number) {
        return std::nullopt;
    }
    return reading.value;
}

std::string plainDecimal(double value) {
    if (value == 0.0) {
        return "0";  // also for -0
    }
    // Fixed notation of the shortest round-trip digits: at most 309 integer digits and
    // 1074 fraction digits for a double, with sign and point.
    std::array<char, 1100> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                         std::chars_format::fixed);
    if (ec != std::errc{}) {
        return {};
    }
    return {buffer.data(), end};
}

}  // namespace rvx
