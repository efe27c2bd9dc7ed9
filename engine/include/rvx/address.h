// The node address of a motor or a motor group: six hexadecimal digits, giving the three
// address bytes of a frame in the order typed.
//
// readAddress is the one place that judges an address text; the generation, the window, the
// command line and its motor lists all ask it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rvx {

enum class AddressKind : std::uint8_t {
    Single,  // "Single Motor Address": the address stands in bytes 7-9
    Group,   // "Group Address": the address stands in bytes 4-6
};

// The kinds of address by name: the one table that motor lists, tables, reports and windows
// write and read them by.
struct KindInfo {
    AddressKind kind;
    std::string_view name;   // as lists and tables write it: "single", "group"
    std::string_view words;  // as reports name an address of it: "single motor 123456"
    std::string_view noun;   // as a sentence names what is moved: "motor 123456"
};

inline constexpr std::array<KindInfo, 2> kindCatalogue{{
    {AddressKind::Single, "single", "single motor", "motor"},
    {AddressKind::Group, "group", "group", "group"},
}};
static_assert(kindCatalogue[0].kind == AddressKind::Single &&
              kindCatalogue[1].kind == AddressKind::Group);

[[nodiscard]] constexpr const KindInfo& kindInfo(AddressKind kind) {
    return kindCatalogue[static_cast<std::size_t>(kind)];
}

[[nodiscard]] constexpr std::string_view kindName(AddressKind kind) {
    return kindInfo(kind).name;
}

// The kind of that name, ASCII case ignored; nullopt for any other text.
[[nodiscard]] std::optional<AddressKind> findKind(std::string_view name);

// What is wrong with a text given as a kind, quoting it: 'kind "both": must be single or group'.
[[nodiscard]] std::string kindMessage(std::string_view text);

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

// The bytes of a text of exactly six ASCII hexadecimal digits, without the counting of UTF-8
// characters that readAddress does; nothing for any other text, which readAddress then judges.
// Where it gives bytes they are readAddress's, and it gives none where readAddress refuses.
[[nodiscard]] std::optional<Address> readPlainAddress(std::string_view text);

// What is wrong with an address, in one line that quotes the text: 'address "12345G": must be
// six hexadecimal digits; character 6, "G", is not one'. Empty for an address that is right.
[[nodiscard]] std::string addressMessage(std::string_view text, const AddressReading& reading);

// The six upper-case digits of an address.
[[nodiscard]] std::string addressText(const Address& address);

}  // namespace rvx
