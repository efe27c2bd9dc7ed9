// Which parameter values are right, where, and what is said when one is not.
//
// Three callers judge values: the "All Commands" view after its Calculate, the "Choose Command"
// view before its Calculate, and the command line. Their bounds and messages are data here; the
// callers only do what is theirs (beep, mark the field, print the line).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "rvx/catalogue.h"

namespace rvx {

// ---- "All Commands": the checks made after the strings are calculated ----

struct RangeCheck {
    ParameterField field;
    Intervals accepted;  // inclusive
    CommandId reportIn;  // the command whose output field shows the message
    std::string_view message;

    [[nodiscard]] constexpr bool accepts(double value) const { return accepted.contains(value); }
};

// The jog fields ask for 1 to 255 here, though a jog of 0 makes a frame.
inline constexpr Intervals windowJogCounts{{{{1, intervals::jogCounts.parts[0].high}, {}}}, 1};

// In the order they are made; the first that fails is reported and the rest are not made.
inline constexpr std::array<RangeCheck, 6> allCommandsChecks{{
    // clang-format off
    {ParameterField::IP,  intervals::ipNumbers,   CommandId::GoToIp,      "IP NUMBER MUST BE 1 - 16 ONLY"},
    {ParameterField::Pct, intervals::percentages, CommandId::GoToPercent, "Must be 0 - 100%,    0 = UP"},
    {ParameterField::L,   intervals::priorities,  CommandId::LockUp,      "Priority must be 1 - 100"},
    {ParameterField::MSU, windowJogCounts,        CommandId::JogUp,       "Value must be 1 -255"},
    {ParameterField::MSD, windowJogCounts,        CommandId::JogDown,     "Value must be 1 -255"},
    {ParameterField::RU,  intervals::downValues,  CommandId::Down,        "Value must be 0 or 10 - 255"},
    // clang-format on
}};

// ---- "Choose Command": the entries of the list and the check of their values ----

// A parameter the chooser asks for. Its value passes where the frames admit it for the field
// it is copied into (isAdmitted); the field's start text is the one offered.
struct ChooserParameter {
    ParameterField target;     // the "All Commands" field the value is copied into
    std::string_view caption;  // beside the value's field (lblD, lblDD)
    std::string_view message;  // in the status line when the value does not pass
};

struct ChooserEntry {
    CommandId command;
    std::int16_t code;         // the pending code of a command with parameters; 0 for none
    std::string_view caption;  // beside the string (lblSC)
    std::array<ChooserParameter, 2> parameters;
    std::size_t parameterCount;

    [[nodiscard]] constexpr std::span<const ChooserParameter> asked() const {
        return {parameters.data(), parameterCount};
    }
};

namespace detail {
inline constexpr ChooserParameter noParameter{};
inline constexpr ChooserParameter ipNumber{ParameterField::IP, "IP #",
                                           "ERROR, IP # must be 1 - 16"};
inline constexpr ChooserParameter percentage{ParameterField::Pct, "%", "ERROR, % must be 0 - 100"};
inline constexpr ChooserParameter jogUp{ParameterField::MSU, "X 10 ms",
                                        "ERROR, value must be 0 - 255"};
inline constexpr ChooserParameter jogDown{ParameterField::MSD, "X 10 ms",
                                          "ERROR, value must be 0 - 255"};
inline constexpr ChooserParameter priority{ParameterField::L, "Priority",
                                           "ERROR, Priority must be 1 - 100"};
inline constexpr ChooserParameter lockIpNumber{ParameterField::IPL, "IP #",
                                               "ERROR, IP # must be 1 - 16"};
}  // namespace detail

// In catalogue order, as the list shows them.
inline constexpr std::array<ChooserEntry, commandCount> chooserEntries{{
    // clang-format off
    {CommandId::Up,          0,  "Up",           {detail::noParameter, detail::noParameter}, 0},
    {CommandId::Down,        0,  "Down",         {detail::noParameter, detail::noParameter}, 0},
    {CommandId::Stop,        0,  "Stop",         {detail::noParameter, detail::noParameter}, 0},
    {CommandId::NextIpUp,    0,  "Next IP Up",   {detail::noParameter, detail::noParameter}, 0},
    {CommandId::NextIpDown,  0,  "Next IP Down", {detail::noParameter, detail::noParameter}, 0},
    {CommandId::GoToIp,      2,  "Go to IP #",   {detail::ipNumber, detail::noParameter}, 1},
    {CommandId::GoToPercent, 3,  "Go to %",      {detail::percentage, detail::noParameter}, 1},
    {CommandId::JogUp,       9,  "Jog Up ms",    {detail::jogUp, detail::noParameter}, 1},
    {CommandId::JogDown,     10, "Jog Down ms",  {detail::jogDown, detail::noParameter}, 1},
    {CommandId::LockUp,      4,  "Lock Up",      {detail::priority, detail::noParameter}, 1},
    {CommandId::LockDown,    5,  "Lock Down",    {detail::priority, detail::noParameter}, 1},
    {CommandId::LockCurrent, 6,  "Lock Current", {detail::priority, detail::noParameter}, 1},
    {CommandId::LockAtIp,    7,  "Lock @ IP #",  {detail::priority, detail::lockIpNumber}, 2},
    {CommandId::Unlock,      8,  "Unlock",       {detail::priority, detail::noParameter}, 1},
    // clang-format on
}};

// The entry with a pending code; nullptr for 0 and any code no entry has.
[[nodiscard]] const ChooserEntry* chooserEntryOf(std::int16_t code);

// ---- The command line ----

enum class ValueVerdict : std::uint8_t { Admitted, NotANumber, OutOfRange };

struct ValueReading {
    ValueVerdict verdict = ValueVerdict::NotANumber;
    double value = 0.0;  // when admitted
};

// A parameter value given as text, judged against the values the frames admit. A number too
// large for a double is out of range, like any other number beyond the bounds.
[[nodiscard]] ValueReading readValue(ParameterField field, std::string_view text);

// The text and what is wrong with it, in one line: '"20": out of range; the IP number must
// be 1 to 16'. Empty for an admitted value.
[[nodiscard]] std::string valueMessage(ParameterField field, std::string_view text,
                                       ValueVerdict verdict);

}  // namespace rvx
