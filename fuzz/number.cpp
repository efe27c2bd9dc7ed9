// Fuzz target: the number reading that the generation, the window's range checks and the
// command line share, and the conversions of a number into a parameter byte.
//
// Invariants, for any text:
//   - readNumber and readNumberText agree: a value where the text reads as a number, none where
//     it is no number or too large; a text too large holds an exponent or at least 309 digits;
//   - an accepted text holds only blanks, a sign, digits, a point and an exponent, and the
//     C library reads the same value from it (a value below the normal range may read as zero);
//   - plainDecimal of the value reads back as the same value;
//   - every conversion either refuses the value or gives a 16-bit value, and an admitted value
//     of a parameter gives a byte 00..FF through that parameter's conversion.
#include "rvx/number.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "rvx/catalogue.h"
#include "rvx/failure.h"

namespace {

bool isNumberCharacter(char c) {
    return (c >= '0' && c <= '9') || c == ' ' || c == '\t' || c == '+' || c == '-' || c == '.' ||
           c == 'e' || c == 'E';
}

void checkConversions(double value) {
    for (const auto& command : rvx::commandCatalogue) {
        for (const auto& parameter : command.parameterBytes()) {
            const auto written = rvx::convertParameter(parameter.conversion, value);
            if (rvx::isAdmitted(parameter.field, value)) {
                RVX_FUZZ_CHECK(written.has_value());
                RVX_FUZZ_CHECK(*written >= 0 && *written <= 0xFF);
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto number = rvx::readNumber(text);

    const rvx::NumberReading reading = rvx::readNumberText(text);
    RVX_FUZZ_CHECK((reading.kind == rvx::NumberReading::Kind::Number) == number.has_value());
    if (reading.kind == rvx::NumberReading::Kind::TooLarge) {
        const bool exponent = text.find_first_of("eE") != std::string::npos;
        std::size_t digits = 0;
        for (const char c : text) {
            digits += (c >= '0' && c <= '9') ? 1U : 0U;
        }
        RVX_FUZZ_CHECK(exponent || digits >= 309);
    }
    if (!number) {
        return 0;
    }
    RVX_FUZZ_CHECK(reading.value == *number);

    const double value = *number;
    RVX_FUZZ_CHECK(std::isfinite(value));
    for (char c : text) {
        RVX_FUZZ_CHECK(isNumberCharacter(c));
    }

    // The C library in the "C" locale, on the text without its blanks.
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t");
    const std::string trimmed = text.substr(first, last - first + 1);
    char* end = nullptr;
    const double reference = std::strtod(trimmed.c_str(), &end);
    RVX_FUZZ_CHECK(end == trimmed.c_str() + trimmed.size());
    if (value != 0.0) {
        RVX_FUZZ_CHECK(reference == value);
    } else {
        RVX_FUZZ_CHECK(std::fabs(reference) < DBL_MIN);
    }

    const std::string plain = rvx::plainDecimal(value);
    RVX_FUZZ_CHECK(!plain.empty());
    const auto again = rvx::readNumber(plain);
    RVX_FUZZ_CHECK(again.has_value() && *again == value);
    RVX_FUZZ_CHECK(plain.find_first_of("eE+") == std::string::npos);

    checkConversions(value);
    return 0;
}
