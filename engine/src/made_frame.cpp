#include "rvx/made_frame.h"

#include "rvx/ascii.h"
#include "rvx/number.h"

namespace rvx {

namespace {

// Whether the byte a value is written as is one that an admitted value gives: the byte read
// back gives a value inside the admitted ones, and that value is written as the same byte.
bool writtenAsAdmitted(const ParameterByte& parameter, double value) {
    const auto written = convertParameter(parameter.conversion, value);
    if (!written || *written < 0 || *written > 0xFF) {
        return false;
    }
    const auto byte = static_cast<std::uint8_t>(*written);
    const double carried = parameterValueOf(parameter.conversion, byte);
    const auto again = convertParameter(parameter.conversion, carried);
    return again && *again == *written && isAdmitted(parameter.field, carried);
}

std::string refusalSentence(ParameterField field, double value) {
    const ParameterInfo& info = parameterInfo(field);
    std::string sentence(info.meaning);
    if (!sentence.empty()) {
        sentence.front() = ascii::upper(sentence.front());
    }
    sentence += ' ';
    sentence += plainDecimal(value);
    sentence += " is out of range: ";
    sentence += info.admittedText;
    return sentence;
}

}  // namespace

std::optional<RefusedValue> refusedValue(CommandId command, const ParameterValues& values) {
    for (const ParameterByte& parameter : commandOf(command).parameterBytes()) {
        const double value = values[static_cast<std::size_t>(parameter.field)];
        if (!writtenAsAdmitted(parameter, value)) {
            return RefusedValue{parameter.field, value, refusalSentence(parameter.field, value)};
        }
    }
    return std::nullopt;
}

std::optional<RefusedValue> refusedValue(const MadeFrame& made) {
    return refusedValue(made.command, made.values);
}

}  // namespace rvx
