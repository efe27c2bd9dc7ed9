// --decode: what the engine's decoder found, as text for people or JSON for programs.
#pragma once

#include <span>
#include <string>

#include "rvx/decode.h"

namespace cli {

// Lines "Name:  value": the frame, its notation, command, address, parameters, every finding
// and note, and the result.
[[nodiscard]] std::string decodeText(std::span<const std::uint8_t> bytes, rvx::Notation notation,
                                     const rvx::DecodedFrame& decoded);

// One JSON object with the keys address, command, findings, frame, kind, notation, notes,
// parameters and valid, in that order (the members of findings and parameters in alphabetical
// order too), each member on a line of its own.
[[nodiscard]] std::string decodeJson(std::span<const std::uint8_t> bytes, rvx::Notation notation,
                                     const rvx::DecodedFrame& decoded);

}  // namespace cli
