// --decode: what the engine's decoder found, as text for people or JSON for programs; and the
// same for a frame read off the bus by --monitor, one line each.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "rvx/decode.h"

namespace cli {

// An address as the reports tell it: "single motor 123456", "group 0A0B0C", or "FFFFFF, single
// motor or group" where the kind is not known.
[[nodiscard]] std::string addressInWords(std::optional<rvx::AddressKind> kind,
                                         const rvx::Address& address);

// Lines "Name:  value": the frame, its notation, command, address, parameters, every finding
// and note, and the result.
[[nodiscard]] std::string decodeText(std::span<const std::uint8_t> bytes, rvx::Notation notation,
                                     const rvx::DecodedFrame& decoded);

// One JSON object with the keys address, command, findings, frame, kind, notation, notes,
// parameters and valid, in that order (the members of findings and parameters in alphabetical
// order too), each member on a line of its own.
[[nodiscard]] std::string decodeJson(std::span<const std::uint8_t> bytes, rvx::Notation notation,
                                     const rvx::DecodedFrame& decoded);

// The same object on one line (without its line break), for a frame read off the bus: notation
// null (no text was read) and time, when the frame arrived, between parameters and valid.
[[nodiscard]] std::string decodeJsonLine(std::span<const std::uint8_t> bytes,
                                         const rvx::DecodedFrame& decoded, std::string_view time);

// One line without its line break: the bytes, the command, the address, the parameters and
// "valid", or "not valid: " and the findings; parts apart by two blanks.
[[nodiscard]] std::string decodeSummary(std::span<const std::uint8_t> bytes,
                                        const rvx::DecodedFrame& decoded);

}  // namespace cli
