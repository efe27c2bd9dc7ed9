// A frame together with what it was made from, and whether the values it carries are ones the
// frames admit.
//
// The generation hands every frame it makes to its owner as a MadeFrame: the bytes, and the
// command, address and parameter values they came from. Whoever shows or sends the frame then
// knows its origin without reading the bytes back.
//
// refusedValue is the one rule that says whether a frame may go to a motor: the same rule by
// which decodeFrame calls a frame "not valid" (a parameter byte that no admitted value gives).
#pragma once

#include <optional>
#include <string>

#include "rvx/address.h"
#include "rvx/catalogue.h"
#include "rvx/frame.h"

namespace rvx {

struct MadeFrame {
    Frame bytes{};
    CommandId command = CommandId::Up;
    AddressKind kind = AddressKind::Single;
    Address address{};
    ParameterValues values{};  // every field as read for the run that made the frame
};

// A parameter value of a command that the frames do not admit.
struct RefusedValue {
    ParameterField field;
    double value;
    // "Down value 5 is out of range: 0, or 10 to 255"
    std::string sentence;
};

// The first parameter of the command, in the order its fields are read, whose value the frames
// do not admit; nullopt when every value it carries is admitted (and for a command without
// parameters). A value is judged by the byte it is written as: a fraction that is written as
// the byte of an admitted value (Down 9.6 as the byte of 10) is admitted, as the decoder sees it.
[[nodiscard]] std::optional<RefusedValue> refusedValue(CommandId command,
                                                       const ParameterValues& values);

// The same for a frame made: whether it may go to a motor, and why not.
[[nodiscard]] std::optional<RefusedValue> refusedValue(const MadeFrame& made);

}  // namespace rvx
