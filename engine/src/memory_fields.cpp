#include "rvx/memory_fields.h"

namespace rvx {

MemoryFields::MemoryFields() {
    for (const ParameterInfo& info : parameterCatalogue) {
        parameter(info.field) = std::string(info.startText);
    }
}

std::string MemoryFields::addressText(AddressKind field) const {
    return address[static_cast<std::size_t>(field)];
}

void MemoryFields::setAddressText(AddressKind field, const std::string& text) {
    address[static_cast<std::size_t>(field)] = text;
}

std::string MemoryFields::parameterText(ParameterField field) const {
    return parameters[static_cast<std::size_t>(field)];
}

void MemoryFields::setOutputText(std::size_t row, const std::string& text, const MadeFrame* frame) {
    outputs[row] = text;
    frames[row] = frame != nullptr ? std::optional<Frame>(frame->bytes) : std::nullopt;
    made[row] = frame != nullptr ? std::optional<MadeFrame>(*frame) : std::nullopt;
}

}  // namespace rvx
