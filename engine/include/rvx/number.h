// Reading numbers typed by users, and writing them back in their plainest form.
//
// The generation, the window's range checks and the command line all read parameter texts
// through readNumber, so a text is a number in one place exactly when it is in the others.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "rvx/catalogue.h"

namespace rvx {

// Reads a decimal number: optional blanks (space or tab) around it, an optional sign, digits
// with an optional decimal point (digits on either side or both) and an optional exponent
// ("e" or "E", optional sign, digits). The point is the only decimal separator, whatever the
// locale. Refuses the empty text, hexadecimal, thousands separators, "inf", "nan" and any value
// too large for a double; a value too small for one reads as zero of its sign.
[[nodiscard]] std::optional<double> readNumber(std::string_view text);

// The number in a text, or EngineFailure (NotANumber) where readNumber refuses it; field
// names the parameter field the text came from, where there is one.
[[nodiscard]] double requireNumber(std::string_view text,
                                   std::optional<ParameterField> field = std::nullopt);

// The shortest plain decimal text that reads back as the same number: no exponent, no
// leading zeros, no trailing zeros after the point, no sign on zero ("0100" gives "100",
// "1.50" gives "1.5", "1e2" gives "100", "-0" gives "0").
[[nodiscard]] std::string plainDecimal(double value);

}  // namespace rvx
