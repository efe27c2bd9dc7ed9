// Reading numbers typed by users, and writing them back in their plainest form.
//
// The generation, the window's range checks and the command line all read parameter texts
// here, so a text is a number in one place exactly when it is in the others.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rvx {

struct NumberReading {
    enum class Kind : std::uint8_t {
        Number,      // value holds it
        NotANumber,  // the text is no number at all
        TooLarge,    // a number, but too large in magnitude for a double
    };
    Kind kind = Kind::NotANumber;
    double value = 0.0;
};

// Reads a decimal number: optional blanks (space or tab) around it, an optional sign, digits
// with an optional decimal point (digits on either side or both) and an optional exponent
// ("e" or "E", optional sign, digits). The point is the only decimal separator, whatever the
// locale. Refuses the empty text, hexadecimal, thousands separators, "inf" and "nan". The value
// is the double nearest to the text's, an exact half going to the even one, on every system. A
// value too small for a double reads as zero of its sign; whether a value is too large or too
// small is decided by its true magnitude, however many digits the text has.
[[nodiscard]] NumberReading readNumberText(std::string_view text);

// The number in a text, or nullopt where readNumberText finds none or one too large.
[[nodiscard]] std::optional<double> readNumber(std::string_view text);

// The shortest plain decimal text that reads back as the same number: no exponent, no
// leading zeros, no trailing zeros after the point, no sign on zero ("0100" gives "100",
// "1.50" gives "1.5", "1e2" gives "100", "-0" gives "0"); of the shortest, the nearest. A whole
// number whose shortest digits end above the units is written in all its digits, as printf's
// "%.0f" writes it: 1e23 gives "99999999999999991611392".
[[nodiscard]] std::string plainDecimal(double value);

}  // namespace rvx
