// The data error of the generation: a parameter text that is no number, or a value that
// leaves the 16-bit range.
#pragma once

#include <cstdint>
#include <string>

#include "rvx/catalogue.h"

namespace rvx {

struct DataFailure {
    enum class Reason : std::uint8_t { NotANumber, Overflow };
    Reason reason = Reason::NotANumber;
    ParameterField field = ParameterField::RU;  // the field whose text failed
    std::string text;                           // that text

    // In one line: 'txtPct: "abc" is no number'.
    [[nodiscard]] std::string describe() const;
};

}  // namespace rvx
