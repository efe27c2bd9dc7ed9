// Reading a frame back: from its bytes to what the frame says and whether this tool would have
// made it. (The bytes are read from text by readFrameText of the notations.)
//
// Any input is taken without failing: a byte sequence that is no frame of ours gives findings.
// Nothing here throws or reads outside its arguments, so arbitrary input may be fed to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rvx/address.h"
#include "rvx/catalogue.h"
#include "rvx/frame.h"
#include "rvx/notation.h"

namespace rvx {

// What a decoder checks; each check that fails gives one finding.
enum class Check : std::uint8_t {
    ByteCount,        // a frame has fourteen bytes
    MessageCode,      // byte 1: AB (motion) or A4 (lock)
    LengthByte,       // byte 2: F1
    FixedByte,        // byte 3: FF
    AddressFields,    // bytes 4-9: exactly one address field is FF FF FF
    CommandCode,      // byte 10: a command of the message code's family
    UnusedParameter,  // a byte 11 or 12 that the command carries no parameter in: FF
    ParameterValue,   // a parameter byte that no admitted value gives
    Checksum,         // bytes 13-14: the 16-bit sum of bytes 1 to 12, high byte first
};

// A short name of the check, as used in machine-readable reports ("checksum").
[[nodiscard]] std::string_view checkName(Check check);

struct Finding {
    Check check;
    std::size_t firstByte;  // the bytes concerned, counted from 1; 0 and 0 for the whole frame
    std::size_t lastByte;
    std::string message;  // a sentence that names the bytes, what they hold and what they should
};

struct DecodedParameter {
    ParameterField field;
    std::size_t byte;          // 11 or 12
    std::uint8_t written;      // the byte as it stands in the frame
    double value;              // a number the conversion takes to the byte (parameterValueOf)
    std::optional<int> whole;  // that number when it is a whole one
    bool admitted;             // whether an admitted value gives the byte
    std::string description;   // the value in the user's words ("IP number 3")
};

struct DecodedFrame {
    // Every check that failed, in the order of the bytes concerned.
    std::vector<Finding> findings;
    // The catalogue row, when the message and command codes name one command.
    std::optional<std::size_t> command;
    // The address, when exactly one address field is FF FF FF, or both are (address FFFFFF).
    std::optional<Address> address;
    // Single or group; not set when the address is FFFFFF, whose frames are the same for both.
    std::optional<AddressKind> kind;
    // The command's parameters, in the order its fields are read.
    std::vector<DecodedParameter> parameters;
    // What is worth saying but is no fault (the kind of address FFFFFF cannot be told).
    std::vector<std::string> notes;

    // Whether the frame is exactly one that the generation makes from admitted values.
    [[nodiscard]] bool madeByTool() const { return findings.empty(); }
};

// Checks a frame and says what it does. Every failed check is reported, not only the first;
// a sequence that is not fourteen bytes long is reported as such and not examined further,
// since its bytes stand in no known place.
[[nodiscard]] DecodedFrame decodeFrame(std::span<const std::uint8_t> bytes);

}  // namespace rvx
