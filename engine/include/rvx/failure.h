// The one run-time failure of the engine: a text that is no number, or a value that leaves
// the 16-bit range. Callers catch this type, and only this type.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "rvx/catalogue.h"

namespace rvx {

class EngineFailure : public std::runtime_error {
public:
    enum class Reason : std::uint8_t { NotANumber, Overflow };

    // field: the parameter field whose text failed, where there is one.
    EngineFailure(Reason reason, std::optional<ParameterField> field, const std::string& text);

    [[nodiscard]] Reason reason() const { return reason_; }
    [[nodiscard]] std::optional<ParameterField> field() const { return field_; }

private:
    Reason reason_;
    std::optional<ParameterField> field_;
};

}  // namespace rvx
