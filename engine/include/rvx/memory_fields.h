// A set of fields in memory for the generation: what the command line, the tests and any
// other caller without a window hand the engine. Writes change nothing but the texts.
#pragma once

#include <array>
#include <string>

#include "rvx/catalogue.h"
#include "rvx/generator.h"

namespace rvx {

class MemoryFields final : public CalculationFields {
public:
    // Address fields empty, parameter fields at their start texts, outputs empty.
    MemoryFields();

    AddressKind kind = AddressKind::Single;
    std::array<std::string, 2> address;  // indexed by AddressKind
    std::array<std::string, parameterFieldCount> parameters;
    std::array<std::string, commandCount> outputs;

    [[nodiscard]] std::string& parameter(ParameterField field) {
        return parameters[static_cast<std::size_t>(field)];
    }
    // After getAddress: whether it refused the address.
    [[nodiscard]] bool addressRefused() const;

    [[nodiscard]] AddressKind addressKind() const override { return kind; }
    [[nodiscard]] std::string addressText(AddressKind field) const override;
    void setAddressText(AddressKind field, const std::string& text) override;
    [[nodiscard]] std::string parameterText(ParameterField field) const override;
    void setOutputText(std::size_t row, const std::string& text) override;
};

}  // namespace rvx
