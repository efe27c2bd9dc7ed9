// The fourteen commands of the RVX bus and the seven parameter fields they read.
//
// One table of data drives everything that forms, lists or reads back a frame: the
// generation walks it row by row, the chooser of the window lists its entry texts, the
// command line looks commands up in it, and the decoder matches command codes against it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace rvx {

// The seven parameter fields of the "All Commands" view, by their field names.
enum class ParameterField : std::uint8_t {
    RU,   // txtRU: value of Down
    IP,   // txtIP: IP number of Go to IP #
    Pct,  // txtPct: percentage of Go to % (0 is the up end)
    MSU,  // txtMSU: jog up count of 10 ms
    MSD,  // txtMSD: jog down count of 10 ms
    L,    // txtL: priority shared by the five lock commands
    IPL,  // txtIPL: IP number of Lock @ IP #
};
inline constexpr std::size_t parameterFieldCount = 7;

// How the number in a parameter field becomes the byte written into the frame.
enum class Conversion : std::uint8_t {
    Inverted,    // nearest(255 - v)
    IpNumber,    // nearest(256 - v): IP numbers 1..16 travel as 0..15, inverted
    Percentage,  // 255 - nearest(v * 2.55): 0..100 % scaled to 0..255, inverted
};

// An inclusive interval of parameter values.
struct Interval {
    double low;
    double high;
};

// The values a check lets through: one interval, or two (Down: 0, or 10 to 255).
struct Intervals {
    std::array<Interval, 2> parts;
    std::size_t count;

    [[nodiscard]] constexpr std::span<const Interval> list() const { return {parts.data(), count}; }
    [[nodiscard]] constexpr bool contains(double value) const {
        for (const Interval& part : list()) {
            if (value >= part.low && value <= part.high) {
                return true;
            }
        }
        return false;
    }
};

// The values the frames admit for each parameter; every check of a value refers to these.
namespace intervals {
inline constexpr Intervals downValues{{{{0, 0}, {10, 255}}}, 2};
inline constexpr Intervals ipNumbers{{{{1, 16}, {}}}, 1};
inline constexpr Intervals percentages{{{{0, 100}, {}}}, 1};
inline constexpr Intervals jogCounts{{{{0, 255}, {}}}, 1};
inline constexpr Intervals priorities{{{{1, 100}, {}}}, 1};
}  // namespace intervals

struct ParameterInfo {
    ParameterField field;
    std::string_view fieldName;  // object name of the field in the window
    std::string_view startText;  // the field's text when the window opens and after CLEAR
    std::string_view meaning;    // what the value is, in the user's words
    Intervals admitted;
    std::string_view admittedText;  // the admitted values in words, for messages

    [[nodiscard]] constexpr std::span<const Interval> admittedIntervals() const {
        return admitted.list();
    }
};

// One parameter byte of a command: which field feeds it, how, where it goes in the frame,
// and which element of intFrameByte holds it while the row is formed.
struct ParameterByte {
    ParameterField field;
    Conversion conversion;
    std::uint8_t frameByte;  // position in the frame, 11 or 12 (counted from 1)
    std::uint8_t element;    // element of intFrameByte, 4 to 8
};

// The commands by name, in catalogue order: CommandId::GoToIp is row 5 of commandCatalogue.
enum class CommandId : std::uint8_t {
    Up,
    Down,
    Stop,
    NextIpUp,
    NextIpDown,
    GoToIp,
    GoToPercent,
    JogUp,
    JogDown,
    LockUp,
    LockDown,
    LockCurrent,
    LockAtIp,
    Unlock,
};

[[nodiscard]] constexpr std::size_t rowOf(CommandId id) {
    return static_cast<std::size_t>(id);
}

struct Command {
    std::string_view name;                    // entry text of the chooser ("Go to IP #")
    std::string_view plainName;               // the same without blanks or signs ("go-to-ip")
    std::string_view label;                   // caption beside the output field ("Go To IP ")
    std::string_view outputField;             // object name of the output field ("txtGIP")
    std::uint8_t messageCode;                 // byte 1 as written: AB motion, A4 lock
    std::uint8_t commandCode;                 // byte 10 as written
    std::array<ParameterByte, 2> parameters;  // in the order the fields are read
    std::size_t parameterCount;
    // The bytes that do not change with the address or the parameters: bytes 1-3, 10, the
    // parameter bytes the command does not use (FF), and FF FF FF of the empty address field.
    int constantSum;

    [[nodiscard]] constexpr std::span<const ParameterByte> parameterBytes() const {
        return {parameters.data(), parameterCount};
    }
};

inline constexpr std::size_t commandCount = 14;

inline constexpr std::uint8_t motionMessageCode = 0xAB;
inline constexpr std::uint8_t lockMessageCode = 0xA4;
inline constexpr std::uint8_t lengthByte = 0xF1;  // 14 bytes, inverted
inline constexpr std::uint8_t fixedByte = 0xFF;   // zero, inverted

namespace detail {
constexpr ParameterByte param(ParameterField f, Conversion c, std::uint8_t byte, std::uint8_t el) {
    return {f, c, byte, el};
}
constexpr ParameterByte none{};
using enum ParameterField;
using enum Conversion;

// A row of the catalogue, its constant sum added up from the bytes it fixes.
constexpr Command row(std::string_view name, std::string_view plainName, std::string_view label,
                      std::string_view outputField, std::uint8_t messageCode,
                      std::uint8_t commandCode, std::array<ParameterByte, 2> parameters,
                      std::size_t parameterCount) {
    int sum = messageCode + lengthByte + fixedByte + commandCode + 3 * fixedByte;
    for (std::uint8_t byte = 11; byte <= 12; ++byte) {
        bool carries = false;
        for (std::size_t k = 0; k < parameterCount; ++k) {
            carries = carries || parameters[k].frameByte == byte;
        }
        sum += carries ? 0 : fixedByte;
    }
    return {name,        plainName,  label,          outputField, messageCode,
            commandCode, parameters, parameterCount, sum};
}
}  // namespace detail

// The catalogue in its fixed order: the order of generation and of the chooser's entries.
inline constexpr std::array<Command, commandCount> commandCatalogue{{
    // clang-format off
    detail::row("Up",             "up",            "UP",             "txtUP",   0xAB, 0xFE, {detail::none, detail::none}, 0),
    detail::row("Down",           "down",          "DOWN",           "txtDOWN", 0xAB, 0xFD, {detail::param(detail::RU, detail::Inverted, 11, 8), detail::none}, 1),
    detail::row("Stop",           "stop",          "STOP",           "txtSTOP", 0xAB, 0xFC, {detail::none, detail::none}, 0),
    detail::row("Next IP Up",     "next-ip-up",    "Next IP UP",     "txtNIPU", 0xAB, 0xFA, {detail::none, detail::none}, 0),
    detail::row("Next IP Down",   "next-ip-down",  "Next IP DOWN",   "txtNIPD", 0xAB, 0xF9, {detail::none, detail::none}, 0),
    detail::row("Go to IP #",     "go-to-ip",      "Go To IP ",      "txtGIP",  0xAB, 0xFB, {detail::param(detail::IP, detail::IpNumber, 11, 4), detail::none}, 1),
    detail::row("Go to %",        "go-to-percent", "Go To %",        "txtGP",   0xAB, 0xEF, {detail::param(detail::Pct, detail::Percentage, 11, 5), detail::none}, 1),
    detail::row("Jog Up 10 ms",   "jog-up",        "Jog Up 10 ms",   "txtJU",   0xAB, 0xF5, {detail::param(detail::MSU, detail::Inverted, 11, 6), detail::none}, 1),
    detail::row("Jog Down 10 ms", "jog-down",      "Jog Down 10 ms", "txtJD",   0xAB, 0xF4, {detail::param(detail::MSD, detail::Inverted, 11, 7), detail::none}, 1),
    detail::row("Lock Up",        "lock-up",       "Lock UP",        "txtLU",   0xA4, 0xFE, {detail::param(detail::L, detail::Inverted, 12, 5), detail::none}, 1),
    detail::row("Lock Down",      "lock-down",     "Lock DOWN",      "txtLD",   0xA4, 0xFD, {detail::param(detail::L, detail::Inverted, 12, 5), detail::none}, 1),
    detail::row("Lock Current",   "lock-current",  "Lock Current",   "txtLC",   0xA4, 0xFF, {detail::param(detail::L, detail::Inverted, 12, 5), detail::none}, 1),
    // Lock @ IP # reads the priority first and the IP number second.
    detail::row("Lock @ IP #",    "lock-at-ip",    "Lock @ IP",      "txtLIP",  0xA4, 0xFB, {detail::param(detail::L, detail::Inverted, 12, 5), detail::param(detail::IPL, detail::Inverted, 11, 6)}, 2),
    detail::row("Unlock",         "unlock",        "Unlock",         "txtUL",   0xA4, 0xFA, {detail::param(detail::L, detail::Inverted, 12, 5), detail::none}, 1),
    // clang-format on
}};

// The parameter fields, in the order of ParameterField.
inline constexpr std::array<ParameterInfo, parameterFieldCount> parameterCatalogue{{
    // clang-format off
    {ParameterField::RU,  "txtRU",  "0",  "Down value",     intervals::downValues,  "0, or 10 to 255"},
    {ParameterField::IP,  "txtIP",  "1",  "IP number",      intervals::ipNumbers,   "1 to 16"},
    {ParameterField::Pct, "txtPct", "50", "percentage",     intervals::percentages, "0 to 100"},
    {ParameterField::MSU, "txtMSU", "10", "jog up count",   intervals::jogCounts,   "0 to 255"},
    {ParameterField::MSD, "txtMSD", "10", "jog down count", intervals::jogCounts,   "0 to 255"},
    {ParameterField::L,   "txtL",   "1",  "lock priority",  intervals::priorities,  "1 to 100"},
    {ParameterField::IPL, "txtIPL", "1",  "lock IP number", intervals::ipNumbers,   "1 to 16"},
    // clang-format on
}};

[[nodiscard]] constexpr const ParameterInfo& parameterInfo(ParameterField field) {
    return parameterCatalogue[static_cast<std::size_t>(field)];
}

// Whether a value lies inside the values that the frames admit for this parameter.
[[nodiscard]] bool isAdmitted(ParameterField field, double value);

[[nodiscard]] constexpr const Command& commandOf(CommandId id) {
    return commandCatalogue[rowOf(id)];
}

// The catalogue row whose entry text or plain name matches, ignoring ASCII case; nullopt when
// none does.
[[nodiscard]] std::optional<std::size_t> findCommand(std::string_view name);

// The written parameter byte for a number; nullopt when the conversion leaves the 16-bit range.
[[nodiscard]] std::optional<std::int16_t> convertParameter(Conversion conversion, double value);

// The conversion run backwards: a number that convertParameter takes to this written byte.
// Inverted gives 255 - b and IpNumber 256 - b. Percentage gives the whole percentage 0 to 100
// that is written so if there is one; otherwise the position 255 - b divided by the scale,
// a fraction lying between two whole percentages.
[[nodiscard]] double parameterValueOf(Conversion conversion, std::uint8_t written);

}  // namespace rvx
