#include "rvx/failure.h"

namespace rvx {

namespace {

std::string describe(EngineFailure::Reason reason, std::optional<ParameterField> field,
                     const std::string& text) {
    std::string message;
    if (field) {
        message = std::string(parameterInfo(*field).fieldName) + ": ";
    }
    message += "\"" + text + "\" ";
    message +=
        reason == EngineFailure::Reason::NotANumber ? "is no number" : "leaves the 16-bit range";
    return message;
}

}  // namespace

EngineFailure::EngineFailure(Reason reason, std::optional<ParameterField> field,
                             const std::string& text)
    : std::runtime_error(describe(reason, field, text)), reason_(reason), field_(field) {}

}  // namespace rvx
