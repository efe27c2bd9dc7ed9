// The node address of a motor or a motor group: six hexadecimal digits, giving the three
// address bytes of a frame in the order typed.
//
// readAddress is the one place that judges an address text; the generation, the window, the
// command line and its motor lists all ask it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace rvx {

enum class AddressKind : std::uint8_t {
    Single,  // "Single Motor Address": the address stands in bytes 7-9
    Group,   // "Group Address": the address stands in bytes 4-6
};

// The address bytes in the order typed: A1B2C3 gives A1, B2, C3.
using Address = std::array<std::uint8_t, 3>;

inline constexpr std::size_t addressDigits = 6;

enum class AddressProblem : std::uint8_t {
    None,
    Empty,       // no character at all
    Length,      // not six characters
    NotHexDigit  // a character that is no hexadecimal digit
};

struct AddressReading {
    AddressProblem problem = AddressProblem::None;
    Address bytes{};             // when there is no problem
    std::size_t characters = 0;  // the length of the text in characters (UTF-8)
    // The values 0 to 15 of the leading characters that are hexadecimal digits, up to the
    // first that is not (or all six); digitCount says how many.
    std::array<std::uint8_t, addressDigits> digits{};
    std::size_t digitCount = 0;
    // NotHexDigit: the first character that is no hexadecimal digit, and its place from 1.
    std::string badCharacter;
    std::size_t badPosition = 0;

    [[nodiscard]] bool ok() const { return problem == AddressProblem::None; }
};

// Judges an address text: exactly six characters, each a hexadecimal digit of either case.
// A text of the wrong length is reported as such even where it also holds other characters.
[[nodiscard]] AddressReading readAddress(std::string_view text);

// What is wrong with an address, in one line that quotes the text: 'address "12345G": must be
// six hexadecimal digits; character 6, "G", is not one'. Empty for an address that is right.
[[nodiscard]] std::string addressMessage(std::string_view text, const AddressReading& reading);

// The six upper-case digits of an address.
[[nodiscard]] std::string addressText(const Address& address);

}  // namespace rvx
