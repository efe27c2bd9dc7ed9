#include "rvx/number.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "rvx/ascii.h"

// Decimal text and binary doubles are converted here by the project's own exact arithmetic,
// not by the C library (whose reading follows the process locale) nor by std::from_chars and
// std::to_chars for double (missing from the libc++ of macOS before release 20 and of
// emscripten): every system reads and writes the same digits. A reading is rounded to the
// nearest double, an exact half to the even one; a writing is the shortest decimal that reads
// back as the same double.

namespace rvx {

namespace {

using ascii::isDigit;

static_assert(std::numeric_limits<double>::is_iec559 && DBL_MANT_DIG == 53,
              "numbers are IEEE 754 binary64 doubles");

// Far beyond any magnitude a double has and beyond the number of digits any text in memory can
// hold, yet ten times below the limit of 64 bits, so that neither the last step of reading an
// exponent nor the sum of magnitude and exponent can overflow.
constexpr std::int64_t saturation = 100'000'000'000'000'000;

// A number of 10^310 or more rounds to no double; one below 10^-325 rounds to zero (the
// smallest double is about 4.94e-324, half of it 2.47e-324).
constexpr std::int64_t largestMagnitude = 310;
constexpr std::int64_t smallestMagnitude = -324;

// The halfway point between two doubles has at most 767 significant digits, so the first 800
// digits and one more standing for all the rest round as the whole text does.
constexpr std::size_t keptDigits = 800;

constexpr int significandBits = 53;
constexpr int exponentBias = 1023;
constexpr int minNormalExponent = -1022;
constexpr int minSubnormalExponent = -1074;  // the place of the lowest bit of the least double

// An unsigned integer of up to 4096 bits, as 32-bit limbs from the lowest. Only what the
// conversions need: small factors, shifts, addition, subtraction of a smaller number and
// comparison. The largest numbers met are a reading's 801 digits over 10^1125 (below 3750 bits,
// with the scaling) and a writing's 10^324 times a significand; a number that would outgrow the
// room ends the program rather than be cut.
class BigNumber {
public:
    BigNumber() = default;
    explicit BigNumber(std::uint64_t value) {
        for (; value != 0; value >>= 32) {
            push(static_cast<std::uint32_t>(value));
        }
    }

    [[nodiscard]] bool isZero() const { return size_ == 0; }

    [[nodiscard]] std::int64_t bitLength() const {
        if (size_ == 0) {
            return 0;
        }
        auto bits = static_cast<std::int64_t>(size_ - 1) * 32;
        for (std::uint32_t top = limbs_[size_ - 1]; top != 0; top >>= 1) {
            ++bits;
        }
        return bits;
    }

    // The number, to about 53 bits, as top * 2^exponent.
    [[nodiscard]] double approximate(std::int64_t& exponent) const {
        const std::uint32_t* limbs = limbs_.data();
        double top = 0.0;
        std::size_t k = size_;
        for (int taken = 0; taken < 3 && k > 0; ++taken) {
            top = top * 4294967296.0 + limbs[--k];
        }
        exponent = static_cast<std::int64_t>(k) * 32;
        return top;
    }

    void multiplyAdd(std::uint32_t factor, std::uint32_t addend) {
        std::uint32_t* limbs = limbs_.data();
        std::uint64_t carry = addend;
        for (std::size_t k = 0; k < size_; ++k) {
            const std::uint64_t product = std::uint64_t{limbs[k]} * factor + carry;
            limbs[k] = static_cast<std::uint32_t>(product);
            carry = product >> 32;
        }
        if (carry != 0) {
            push(static_cast<std::uint32_t>(carry));
        }
        trim();
    }

    void multiply(std::uint64_t factor) {
        BigNumber low = *this;
        low.multiplyAdd(static_cast<std::uint32_t>(factor), 0);
        multiplyAdd(static_cast<std::uint32_t>(factor >> 32), 0);
        shiftLeft(32);
        add(low);
    }

    void multiplyByPowerOfTen(std::int64_t power) {
        constexpr std::uint32_t tenToTheNine = 1'000'000'000;
        for (; power >= 9; power -= 9) {
            multiplyAdd(tenToTheNine, 0);
        }
        std::uint32_t rest = 1;
        for (; power > 0; --power) {
            rest *= 10;
        }
        multiplyAdd(rest, 0);
    }

    void shiftLeft(std::int64_t bits) {
        if (size_ == 0 || bits <= 0) {
            return;
        }
        const auto whole = static_cast<std::size_t>(bits / 32);
        const auto part = static_cast<unsigned>(bits % 32);
        if (size_ + whole + 1 > capacity) {
            std::abort();
        }
        std::uint32_t* limbs = limbs_.data();
        if (part != 0) {
            limbs[size_] = 0;
            for (std::size_t k = size_ + 1; k-- > 1;) {
                limbs[k] = (limbs[k] << part) | (limbs[k - 1] >> (32 - part));
            }
            limbs[0] <<= part;
            size_ += limbs[size_] != 0 ? 1 : 0;
        }
        if (whole != 0) {
            for (std::size_t k = size_; k-- > 0;) {
                limbs[k + whole] = limbs[k];
            }
            std::fill_n(limbs, whole, 0U);
            size_ += whole;
        }
    }

    void add(const BigNumber& other) {
        std::uint32_t* limbs = limbs_.data();
        const std::uint32_t* others = other.limbs_.data();
        std::uint64_t carry = 0;
        const std::size_t both = size_ > other.size_ ? size_ : other.size_;
        for (std::size_t k = 0; k < both; ++k) {
            const std::uint64_t sum = std::uint64_t{k < size_ ? limbs[k] : 0U} + carry +
                                      (k < other.size_ ? others[k] : 0U);
            limbs[k] = static_cast<std::uint32_t>(sum);
            carry = sum >> 32;
        }
        size_ = both;
        if (carry != 0) {
            push(static_cast<std::uint32_t>(carry));
        }
    }

    // Takes away a number no larger than this one.
    void subtract(const BigNumber& other) {
        std::uint32_t* limbs = limbs_.data();
        const std::uint32_t* others = other.limbs_.data();
        std::uint32_t borrow = 0;
        for (std::size_t k = 0; k < size_; ++k) {
            const std::uint64_t taken = std::uint64_t{k < other.size_ ? others[k] : 0U} + borrow;
            borrow = limbs[k] < taken ? 1 : 0;
            limbs[k] = static_cast<std::uint32_t>(limbs[k] - taken);
        }
        trim();
    }

    // Divides by a small divisor and gives the remainder.
    std::uint32_t divide(std::uint32_t divisor) {
        std::uint32_t* limbs = limbs_.data();
        std::uint64_t remainder = 0;
        for (std::size_t k = size_; k-- > 0;) {
            const std::uint64_t current = (remainder << 32) | limbs[k];
            limbs[k] = static_cast<std::uint32_t>(current / divisor);
            remainder = current % divisor;
        }
        trim();
        return static_cast<std::uint32_t>(remainder);
    }

    friend int compare(const BigNumber& a, const BigNumber& b) {
        if (a.size_ != b.size_) {
            return a.size_ < b.size_ ? -1 : 1;
        }
        const std::uint32_t* as = a.limbs_.data();
        const std::uint32_t* bs = b.limbs_.data();
        for (std::size_t k = a.size_; k-- > 0;) {
            if (as[k] != bs[k]) {
                return as[k] < bs[k] ? -1 : 1;
            }
        }
        return 0;
    }

private:
    static constexpr std::size_t capacity = 128;

    void push(std::uint32_t limb) {
        if (size_ == capacity) {
            std::abort();
        }
        limbs_[size_++] = limb;
    }

    void trim() {
        while (size_ > 0 && limbs_[size_ - 1] == 0) {
            --size_;
        }
    }

    std::array<std::uint32_t, capacity> limbs_{};
    std::size_t size_ = 0;
};

double fromBits(std::uint64_t bits) {
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::uint64_t bitsOf(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The significant digits of a decimal text: value = digits * 10^exponent, no leading or
// trailing zeros in digits.
struct Decimal {
    std::string_view mantissa;   // digits with an optional point
    std::size_t first = 0;       // index in mantissa of the first digit that is not 0
    std::size_t last = 0;        // and of the last
    std::size_t count = 0;       // digits from first to last
    std::int64_t exponent = 0;   // the place of the last of them
    std::int64_t magnitude = 0;  // 10^(magnitude - 1) <= value < 10^magnitude
};

// An exponent's digits, with its sign, saturated far outside any double's range.
std::int64_t readExponent(std::string_view exponent) {
    bool negative = false;
    std::size_t pos = 0;
    if (pos < exponent.size() && (exponent[pos] == '+' || exponent[pos] == '-')) {
        negative = exponent[pos] == '-';
        ++pos;
    }
    std::int64_t exp = 0;
    for (; pos < exponent.size() && exp < saturation; ++pos) {
        exp = exp * 10 + (exponent[pos] - '0');
    }
    return negative ? -exp : exp;
}

// False where the mantissa holds zeros only.
bool significantDigits(std::string_view mantissa, std::string_view exponent, Decimal& decimal) {
    decimal.mantissa = mantissa;
    bool found = false;
    std::int64_t integerDigits = 0;  // digits before the point
    std::int64_t placeOfFirst = 0;   // the digit's index among the digits, without the point
    std::int64_t placeOfLast = 0;
    std::int64_t index = 0;
    bool seenPoint = false;
    for (std::size_t k = 0; k < mantissa.size(); ++k) {
        const char c = mantissa[k];
        if (c == '.') {
            seenPoint = true;
            continue;
        }
        if (!seenPoint) {
            ++integerDigits;
        }
        if (c != '0') {
            if (!found) {
                found = true;
                decimal.first = k;
                placeOfFirst = index;
            }
            decimal.last = k;
            placeOfLast = index;
        }
        ++index;
    }
    if (!found) {
        return false;
    }
    const std::int64_t exp = readExponent(exponent);
    decimal.count = static_cast<std::size_t>(placeOfLast - placeOfFirst + 1);
    decimal.exponent = integerDigits - 1 - placeOfLast + exp;
    decimal.magnitude = integerDigits - placeOfFirst + exp;
    return true;
}

// Powers of ten that doubles hold exactly.
constexpr std::array<double, 23> exactPowersOfTen = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22,
};

// The nearest double to digits * 10^exponent, an exact half to the even one; nullopt where
// that is beyond the largest double.
std::optional<double> nearestDouble(const Decimal& decimal) {
    // Digits and power both exact doubles: one multiplication or division rounds correctly,
    // where the arithmetic is done in double precision as evaluated.
#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD == 0
    if (decimal.count <= 15 && decimal.exponent >= -22 && decimal.exponent <= 22) {
        std::uint64_t digits = 0;
        for (std::size_t k = decimal.first; k <= decimal.last; ++k) {
            if (decimal.mantissa[k] != '.') {
                digits = digits * 10 + static_cast<std::uint64_t>(decimal.mantissa[k] - '0');
            }
        }
        const auto integer = static_cast<double>(digits);
        const auto power =
            static_cast<std::size_t>(decimal.exponent < 0 ? -decimal.exponent : decimal.exponent);
        return decimal.exponent < 0 ? integer / exactPowersOfTen[power]
                                    : integer * exactPowersOfTen[power];
    }
#endif

    // Exact: the value is numerator / denominator, both integers.
    BigNumber numerator;
    std::size_t taken = 0;
    std::uint32_t chunk = 0;
    std::uint32_t chunkScale = 1;
    for (std::size_t k = decimal.first; k <= decimal.last && taken < keptDigits; ++k) {
        const char c = decimal.mantissa[k];
        if (c == '.') {
            continue;
        }
        chunk = chunk * 10 + static_cast<std::uint32_t>(c - '0');
        chunkScale *= 10;
        ++taken;
        if (chunkScale == 1'000'000'000) {
            numerator.multiplyAdd(chunkScale, chunk);
            chunk = 0;
            chunkScale = 1;
        }
    }
    std::int64_t exponent = decimal.exponent;
    if (taken < decimal.count) {
        // A 1 after the digits kept stands for the rest, which ends in a digit that is not 0.
        chunk = chunk * 10 + 1;
        chunkScale *= 10;
        exponent += static_cast<std::int64_t>(decimal.count - taken) - 1;
    }
    numerator.multiplyAdd(chunkScale, chunk);
    BigNumber denominator(1);
    if (exponent >= 0) {
        numerator.multiplyByPowerOfTen(exponent);
    } else {
        denominator.multiplyByPowerOfTen(-exponent);
    }

    // 2^binary <= value < 2^(binary + 1): scale the two so that 1 <= remainder / divisor < 2.
    std::int64_t binary = numerator.bitLength() - denominator.bitLength();
    BigNumber& remainder = numerator;
    BigNumber& divisor = denominator;
    if (binary >= 0) {
        divisor.shiftLeft(binary);
    } else {
        remainder.shiftLeft(-binary);
    }
    if (compare(remainder, divisor) < 0) {
        remainder.shiftLeft(1);
        --binary;
    }
    if (binary > exponentBias) {
        return std::nullopt;
    }
    // The bits the double has room for at this magnitude: fewer below the normal range.
    const std::int64_t precision =
        binary >= minNormalExponent ? significandBits : binary - minSubnormalExponent + 1;
    if (precision < 0) {
        return 0.0;  // below half the smallest double
    }

    // The bits kept and the first beyond: quotient = floor(remainder * 2^precision / divisor),
    // estimated in floating point to within a few units, then made exact.
    remainder.shiftLeft(precision);
    std::int64_t remainderScale = 0;
    std::int64_t divisorScale = 0;
    const double ratio = remainder.approximate(remainderScale) / divisor.approximate(divisorScale);
    auto quotient = static_cast<std::uint64_t>(
        std::ldexp(ratio, static_cast<int>(remainderScale - divisorScale)));
    BigNumber product = divisor;
    product.multiply(quotient);
    while (compare(product, remainder) > 0) {
        product.subtract(divisor);
        --quotient;
    }
    remainder.subtract(product);
    while (compare(remainder, divisor) >= 0) {
        remainder.subtract(divisor);
        ++quotient;
    }
    const bool half = (quotient & 1) != 0;
    std::uint64_t significand = quotient >> 1;
    const bool beyondHalf = !remainder.isZero();
    if (half && (beyondHalf || (significand & 1) != 0)) {
        ++significand;
    }

    if (precision < significandBits) {
        // Below the normal range the bits are the significand itself; one carried into bit 52
        // makes the smallest normal double.
        return fromBits(significand);
    }
    if (significand == std::uint64_t{1} << significandBits) {
        significand >>= 1;
        ++binary;
        if (binary > exponentBias) {
            return std::nullopt;
        }
    }
    const auto biased = static_cast<std::uint64_t>(binary + exponentBias);
    return fromBits((biased << (significandBits - 1)) |
                    (significand & ((std::uint64_t{1} << (significandBits - 1)) - 1)));
}

// The shortest digits that read back as a positive finite double (value = 0.digits *
// 10^point), nearest to it where several are as short, an exact tie going to the even digit.
// Steele and White's free-format method with Burger and Dybvig's scaling.
void shortestDigits(double value, std::string& digits, std::int64_t& point) {
    const std::uint64_t bits = bitsOf(value);
    const auto fraction = bits & ((std::uint64_t{1} << (significandBits - 1)) - 1);
    const auto biased = static_cast<std::int64_t>(bits >> (significandBits - 1));
    const std::uint64_t significand =
        biased == 0 ? fraction : fraction | (std::uint64_t{1} << (significandBits - 1));
    const std::int64_t exponent =
        biased == 0 ? minSubnormalExponent : biased - exponentBias - (significandBits - 1);
    // Reading back rounds an exact half to the even significand: its bounds are its own.
    const bool boundsIncluded = (significand & 1) == 0;
    // At a power of two the double below is nearer than the one above.
    const bool unevenGap = fraction == 0 && biased > 1;

    // value = r / s; the doubles beside it lie at (r - mMinus) / s and (r + mPlus) / s, and
    // the texts that read back as value lie between the midpoints.
    BigNumber r(significand);
    BigNumber s(1);
    BigNumber mPlus(1);
    BigNumber mMinus(1);
    r.shiftLeft(unevenGap ? 2 : 1);
    s.shiftLeft(unevenGap ? 2 : 1);
    if (unevenGap) {
        mPlus.shiftLeft(1);
    }
    if (exponent >= 0) {
        r.shiftLeft(exponent);
        mPlus.shiftLeft(exponent);
        mMinus.shiftLeft(exponent);
    } else {
        s.shiftLeft(-exponent);
    }

    // An estimate of the first digit's place, never above the true one: 2^(bits - 1) <= value.
    const std::int64_t binaryPlace =
        exponent + static_cast<std::int64_t>(BigNumber(significand).bitLength()) - 1;
    point = binaryPlace == 0 ? 0 : ((binaryPlace * 78913) >> 18) + 1;  // ceil(log10(2^place))
    if (point >= 0) {
        s.multiplyByPowerOfTen(point);
    } else {
        r.multiplyByPowerOfTen(-point);
        mPlus.multiplyByPowerOfTen(-point);
        mMinus.multiplyByPowerOfTen(-point);
    }
    const auto reachesHigh = [&](const BigNumber& rest) {
        BigNumber high = rest;
        high.add(mPlus);
        const int order = compare(high, s);
        return boundsIncluded ? order >= 0 : order > 0;
    };
    while (reachesHigh(r)) {
        s.multiplyAdd(10, 0);
        ++point;
    }

    digits.clear();
    for (;;) {
        r.multiplyAdd(10, 0);
        mPlus.multiplyAdd(10, 0);
        mMinus.multiplyAdd(10, 0);
        char digit = '0';
        while (compare(r, s) >= 0) {
            r.subtract(s);
            ++digit;
        }
        const int low = compare(r, mMinus);
        const bool lowEnough = boundsIncluded ? low <= 0 : low < 0;
        const bool highEnough = reachesHigh(r);
        if (!lowEnough && !highEnough) {
            digits += digit;
            continue;
        }
        if (lowEnough && highEnough) {
            // Both digit and digit + 1 read back: the nearer, an exact tie to the even one.
            BigNumber twice = r;
            twice.shiftLeft(1);
            const int order = compare(twice, s);
            if (order > 0 || (order == 0 && (digit - '0') % 2 != 0)) {
                ++digit;
            }
        } else if (highEnough) {
            ++digit;
        }
        digits += digit;
        return;
    }
}

// The exact decimal digits of a whole number held by a double.
std::string wholeNumberDigits(double value) {
    const std::uint64_t bits = bitsOf(value);
    const auto biased = static_cast<std::int64_t>(bits >> (significandBits - 1));
    const std::uint64_t significand = (bits & ((std::uint64_t{1} << (significandBits - 1)) - 1)) |
                                      (std::uint64_t{1} << (significandBits - 1));
    const std::int64_t exponent = biased - exponentBias - (significandBits - 1);
    BigNumber number(exponent >= 0 ? significand : significand >> -exponent);
    number.shiftLeft(exponent);
    std::string reversed;
    while (!number.isZero()) {
        std::uint32_t group = number.divide(1'000'000'000);
        for (int k = 0; k < 9; ++k) {
            reversed += static_cast<char>('0' + group % 10);
            group /= 10;
        }
    }
    while (reversed.size() > 1 && reversed.back() == '0') {
        reversed.pop_back();
    }
    return {reversed.rbegin(), reversed.rend()};
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
    Decimal decimal;
    if (significantDigits(mantissa, exponent, decimal) && decimal.magnitude >= smallestMagnitude) {
        if (decimal.magnitude > largestMagnitude) {
            return {NumberReading::Kind::TooLarge, 0.0};
        }
        const std::optional<double> nearest = nearestDouble(decimal);
        if (!nearest) {
            return {NumberReading::Kind::TooLarge, 0.0};
        }
        value = *nearest;
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
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-inf" : "inf";
    }
    std::string text = value < 0 ? "-" : "";
    const double magnitude = value < 0 ? -value : value;
    if (magnitude < 0x1p53 && magnitude == std::floor(magnitude)) {
        // A whole number that a double holds together with its neighbours: its digits.
        return text + std::to_string(static_cast<std::uint64_t>(magnitude));
    }
    std::string digits;
    std::int64_t point = 0;
    shortestDigits(magnitude, digits, point);
    const auto count = static_cast<std::int64_t>(digits.size());
    if (point > count) {
        // A whole number whose shortest digits stop above the units is written out in full,
        // as printf's %.0f would write it: 1e23 is 99999999999999991611392.
        return text + wholeNumberDigits(magnitude);
    }
    if (point <= 0) {
        text += "0.";
        text.append(static_cast<std::size_t>(-point), '0');
        text += digits;
    } else if (point < count) {
        text.append(digits, 0, static_cast<std::size_t>(point));
        text += '.';
        text.append(digits, static_cast<std::size_t>(point));
    } else {
        text += digits;
    }
    return text;
}

}  // namespace rvx
