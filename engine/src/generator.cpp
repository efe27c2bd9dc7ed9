#include "rvx/generator.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "rvx/frame.h"
#include "rvx/number.h"

namespace rvx {

namespace {

constexpr std::string_view hexDigits = "0123456789ABCDEF";

// The value of a one-character text that is an upper-case hexadecimal digit.
std::optional<std::int16_t> hexDigitValue(std::string_view character) {
    if (character.size() != 1) {
        return std::nullopt;
    }
    const auto pos = hexDigits.find(character.front());
    if (pos == std::string_view::npos) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(pos);
}

// Upper-case hexadecimal text without leading zeros; a negative value gives the four digits
// of its 16-bit two's complement.
std::string hexText(std::int16_t value) {
    auto bits = static_cast<std::uint16_t>(value);
    std::string text;
    do {
        text.insert(text.begin(), hexDigits[bits & 0x0F]);
        bits = static_cast<std::uint16_t>(bits >> 4);
    } while (bits != 0);
    return text;
}

// The character of a UTF-8 text that starts at offset, moving offset past it; the empty
// text at the end. A byte that starts no valid sequence counts as a character of its own.
std::string nextCharacter(const std::string& text, std::size_t& offset) {
    if (offset >= text.size()) {
        return {};
    }
    const auto lead = static_cast<unsigned char>(text[offset]);
    std::size_t length = 1;
    if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    } else if (lead >= 0xE0) {
        length = 3;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    }
    if (offset + length > text.size()) {
        length = 1;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[offset + k]) & 0xC0) != 0x80) {
            length = 1;
            break;
        }
    }
    std::string character = text.substr(offset, length);
    offset += length;
    return character;
}

std::string upperAscii(std::string character) {
    for (char& c : character) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return character;
}

std::int16_t checkedAdd(std::int16_t a, int b, ParameterField field) {
    const int sum = a + b;
    if (sum < -32768 || sum > 32767) {
        throw EngineFailure(EngineFailure::Reason::Overflow, field, std::to_string(b));
    }
    return static_cast<std::int16_t>(sum);
}

}  // namespace

void CommandStringEngine::getAddress() {
    if (!encodeAddress(fields_.addressKind())) {
        return;
    }
    // The option is read again for the frames' kind.
    const AddressKind kind = fields_.addressKind();
    for (std::size_t row = 0; row < commandCount; ++row) {
        formRow(row, kind);
    }
}

void CommandStringEngine::upperCaseAddress() {
    writeBackAddress(fields_.addressKind());
}

void CommandStringEngine::writeBackAddress(AddressKind source) {
    auto& s = state_;
    const std::string text = fields_.addressText(source);
    s.strManInput.clear();
    std::size_t offset = 0;
    for (s.intCount = 1; s.intCount <= 6; ++s.intCount) {
        s.strAddrDigit[s.intCount] = upperAscii(nextCharacter(text, offset));
        s.strManInput += s.strAddrDigit[s.intCount];
    }
    fields_.setAddressText(source, s.strManInput);
}

bool CommandStringEngine::encodeAddress(AddressKind source) {
    auto& s = state_;
    // Written back before any character is examined: the field shows the upper-cased
    // address even for the moment before a failure replaces it.
    writeBackAddress(source);

    for (s.intCount = 1; s.intCount <= 6; ++s.intCount) {
        const auto value = hexDigitValue(s.strAddrDigit[s.intCount]);
        if (!value) {
            fields_.setAddressText(AddressKind::Single, "ERROR");
            fields_.setAddressText(AddressKind::Group, "ERROR");
            return false;
        }
        s.intAddrDigit[s.intCount] = *value;
    }
    for (int byte = 1; byte <= 3; ++byte) {
        s.intFrameByte[byte] =
            static_cast<std::int16_t>(16 * s.intAddrDigit[2 * byte - 1] + s.intAddrDigit[2 * byte]);
    }
    s.total = static_cast<std::int16_t>(s.intFrameByte[1] + s.intFrameByte[2] + s.intFrameByte[3]);
    return true;
}

void CommandStringEngine::formRow(std::size_t row, AddressKind kind) {
    auto& s = state_;
    const Command& command = commandCatalogue[row];

    for (const ParameterByte& parameter : command.parameterBytes()) {
        const std::string text = fields_.parameterText(parameter.field);
        const double number = requireNumber(text, parameter.field);
        const auto written = convertParameter(parameter.conversion, number);
        if (!written) {
            throw EngineFailure(EngineFailure::Reason::Overflow, parameter.field, text);
        }
        s.intFrameByte[parameter.element] = *written;
    }

    std::int16_t sum = static_cast<std::int16_t>(s.total + command.constantSum);
    for (const ParameterByte& parameter : command.parameterBytes()) {
        sum = checkedAdd(sum, s.intFrameByte[parameter.element], parameter.field);
    }

    s.strSum = hexText(sum);
    for (s.i = 1; s.i <= static_cast<std::int16_t>(s.strSum.size()); ++s.i) {
        s.strSumDigit[s.i] = s.strSum.substr(s.i - 1, 1);
    }
    checkSUM();

    // A parameter byte outside 00..FF has no two-digit form: such a row gets no string rather
    // than a malformed one. Every value the range checks admit lies inside.
    bool wellFormed = true;
    Frame frame{};
    frame[byteAt::message] = command.messageCode;
    frame[byteAt::length] = lengthByte;
    frame[byteAt::fixed] = fixedByte;
    const std::size_t addressAt =
        kind == AddressKind::Group ? byteAt::firstAddress : byteAt::secondAddress;
    const std::size_t emptyAt =
        kind == AddressKind::Group ? byteAt::secondAddress : byteAt::firstAddress;
    for (std::size_t k = 0; k < 3; ++k) {
        frame[addressAt + k] = static_cast<std::uint8_t>(s.intFrameByte[k + 1]);
        frame[emptyAt + k] = fixedByte;
    }
    frame[byteAt::command] = command.commandCode;
    frame[byteAt::parameter1] = fixedByte;
    frame[byteAt::parameter2] = fixedByte;
    for (const ParameterByte& parameter : command.parameterBytes()) {
        const std::int16_t value = s.intFrameByte[parameter.element];
        if (value < 0 || value > 0xFF) {
            wellFormed = false;
        } else {
            frame[parameter.frameByte - 1U] = static_cast<std::uint8_t>(value);
        }
    }
    frame[byteAt::checksumHigh] = static_cast<std::uint8_t>(s.intCheck[1]);
    frame[byteAt::checksumLow] = static_cast<std::uint8_t>(s.intCheck[2]);

    // Every byte is written with two digits: the same text as each address and checksum byte
    // written after its prefix from checkSUM.
    fields_.setOutputText(row, wellFormed ? writeFrame(frame) : std::string{});
}

void CommandStringEngine::checkSUM() {
    auto& s = state_;
    for (int k = 1; k <= 4; ++k) {
        s.intSumDigit[k] = 0;
    }
    s.p.clear();
    s.q.clear();
    s.X.clear();
    s.Y.clear();
    s.z.clear();

    const auto n = static_cast<std::int16_t>(std::min<std::size_t>(s.strSum.size(), 4));
    for (s.i = 1; s.i <= n; ++s.i) {
        s.intSumDigit[s.i] = hexDigitValue(s.strSumDigit[s.i]).value_or(0);
    }
    // The last two digits are the low byte, the digits before them the high byte.
    const auto& d = s.intSumDigit;
    switch (n) {
        case 4:
            s.intCheck[1] = static_cast<std::int16_t>(16 * d[1] + d[2]);
            s.intCheck[2] = static_cast<std::int16_t>(16 * d[3] + d[4]);
            break;
        case 3:
            s.intCheck[1] = d[1];
            s.intCheck[2] = static_cast<std::int16_t>(16 * d[2] + d[3]);
            break;
        case 2:
            s.intCheck[1] = 0;
            s.intCheck[2] = static_cast<std::int16_t>(16 * d[1] + d[2]);
            break;
        default:
            s.intCheck[1] = 0;
            s.intCheck[2] = d[1];
            break;
    }

    const auto prefix = [](std::int16_t value) {
        return (value >= 0 && value < 16) ? std::string("0") : std::string();
    };
    s.p = prefix(s.intCheck[1]);
    s.q = prefix(s.intCheck[2]);
    s.X = prefix(s.intFrameByte[1]);
    s.Y = prefix(s.intFrameByte[2]);
    s.z = prefix(s.intFrameByte[3]);
}

}  // namespace rvx
