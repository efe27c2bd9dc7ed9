// A set of fields in memory for the generation: what tests, benchmarks and fuzz targets hand
// the engine where there is no window. Writes change nothing but the texts.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "rvx/catalogue.h"
#include "rvx/frame.h"
#include "rvx/generator.h"
#include "rvx/made_frame.h"

namespace rvx {

class MemoryFields final : public CalculationFields {
public:
    // Address fields empty, parameter fields at their start texts, outputs empty.
    MemoryFields();

    AddressKind kind = AddressKind::Single;
    std::array<std::string, 2> address;  // indexed by AddressKind
    std::array<std::string, parameterFieldCount> parameters;
    std::array<std::string, commandCount> outputs;
    std::array<std::optional<Frame>, commandCount> frames;    // the bytes of each output
    std::array<std::optional<MadeFrame>, commandCount> made;  // the same with their origin

    [[nodiscard]] std::string& parameter(ParameterField field) {
        return parameters[static_cast<std::size_t>(field)];
    }

    [[nodiscard]] AddressKind addressKind() const override { return kind; }
    [[nodiscard]] std::string addressText(AddressKind field) const override;
    void setAddressText(AddressKind field, const std::string& text) override;
    [[nodiscard]] std::string parameterText(ParameterField field) const override;
    void setOutputText(std::size_t row, const std::string& text, const MadeFrame* frame) override;
};

}  // namespace rvx
