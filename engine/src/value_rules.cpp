#include "rvx/value_rules.h"

#include <algorithm>

#include "rvx/message.h"
#include "rvx/number.h"

namespace rvx {

const ChooserEntry* chooserEntryOf(std::int16_t code) {
    if (code == 0) {
        return nullptr;
    }
    const auto entry = std::find_if(chooserEntries.begin(), chooserEntries.end(),
                                    [code](const ChooserEntry& e) { return e.code == code; });
    return entry == chooserEntries.end() ? nullptr : &*entry;
}

ValueReading readValue(ParameterField field, std::string_view text) {
    const NumberReading number = readNumberText(text);
    switch (number.kind) {
        case NumberReading::Kind::NotANumber:
            return {ValueVerdict::NotANumber, 0.0};
        case NumberReading::Kind::TooLarge:
            return {ValueVerdict::OutOfRange, 0.0};
        case NumberReading::Kind::Number:
            break;
    }
    if (!isAdmitted(field, number.value)) {
        return {ValueVerdict::OutOfRange, number.value};
    }
    return {ValueVerdict::Admitted, number.value};
}

std::string valueMessage(ParameterField field, std::string_view text, ValueVerdict verdict) {
    if (verdict == ValueVerdict::Admitted) {
        return {};
    }
    const ParameterInfo& info = parameterInfo(field);
    return quoted(text) + ": " +
           (verdict == ValueVerdict::OutOfRange ? "out of range" : "not a number") + "; the " +
           std::string(info.meaning) + " must be " + std::string(info.admittedText);
}

}  // namespace rvx
