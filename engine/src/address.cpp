#include "rvx/address.h"

#include "rvx/ascii.h"
#include "rvx/message.h"

namespace rvx {

std::optional<AddressKind> findKind(std::string_view name) {
    // Lists mostly write the names as the table does: those are found without a case fold.
    for (const KindInfo& info : kindCatalogue) {
        if (name == info.name) {
            return info.kind;
        }
    }
    for (const KindInfo& info : kindCatalogue) {
        if (ascii::equalIgnoringCase(name, info.name)) {
            return info.kind;
        }
    }
    return std::nullopt;
}

std::string kindMessage(std::string_view text) {
    return "kind " + quoted(text) + ": must be single or group";
}

AddressReading readAddress(std::string_view text) {
    AddressReading reading;
    for (std::size_t offset = 0; offset < text.size(); offset += ascii::utf8Length(text, offset)) {
        ++reading.characters;
    }
    // The digits are read up to the first character that is none, whatever the length, so
    // that a caller keeping the digits sees the same ones as for a text of six characters.
    std::size_t offset = 0;
    for (std::size_t k = 0; k < addressDigits && offset < text.size(); ++k) {
        const std::size_t length = ascii::utf8Length(text, offset);
        const int value = length == 1 ? ascii::hexValue(text[offset]) : -1;
        if (value < 0) {
            reading.badCharacter = std::string(text.substr(offset, length));
            reading.badPosition = k + 1;
            break;
        }
        reading.digits[k] = static_cast<std::uint8_t>(value);
        ++reading.digitCount;
        offset += length;
    }

    if (reading.characters == 0) {
        reading.problem = AddressProblem::Empty;
    } else if (reading.characters != addressDigits) {
        reading.problem = AddressProblem::Length;
    } else if (reading.digitCount != addressDigits) {
        reading.problem = AddressProblem::NotHexDigit;
    } else {
        for (std::size_t k = 0; k < reading.bytes.size(); ++k) {
            reading.bytes[k] =
                static_cast<std::uint8_t>(16 * reading.digits[2 * k] + reading.digits[2 * k + 1]);
        }
    }
    return reading;
}

std::optional<Address> readPlainAddress(std::string_view text) {
    if (text.size() != addressDigits) {
        return std::nullopt;
    }
    // The digits gathered in one number, whose bytes are then taken at once: bytes stored one
    // by one and read back as a whole would wait for each other.
    int any = 0;
    std::uint32_t value = 0;
    for (const char c : text) {
        const int digit = ascii::hexValue(c);
        any |= digit;
        value = (value << 4) | static_cast<std::uint32_t>(digit & 0x0F);
    }
    if (any < 0) {
        return std::nullopt;
    }
    return Address{static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
                   static_cast<std::uint8_t>(value)};
}

std::string addressMessage(std::string_view text, const AddressReading& reading) {
    const std::string rule = "must be six hexadecimal digits";
    switch (reading.problem) {
        case AddressProblem::None:
            return {};
        case AddressProblem::Empty:
            return "no address; it " + rule;
        case AddressProblem::Length:
            return "address " + quoted(text) + ": " + rule + ", not " +
                   std::to_string(reading.characters) +
                   (reading.characters == 1 ? " character" : " characters");
        case AddressProblem::NotHexDigit:
            return "address " + quoted(text) + ": " + rule + "; character " +
                   std::to_string(reading.badPosition) + ", " + quoted(reading.badCharacter) +
                   ", is not one";
    }
    return {};
}

std::string addressText(const Address& address) {
    std::string text;
    for (const std::uint8_t byte : address) {
        text += ascii::hexByte(byte);
    }
    return text;
}

}  // namespace rvx
