#include "rvx/generator.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string_view>

#include "rvx/ascii.h"
#include "rvx/notation.h"
#include "rvx/number.h"

namespace rvx {

namespace {

// The value of a one-character text that is an upper-case hexadecimal digit, as checkSUM
// reads the digits of the frame sum.
std::optional<std::int16_t> sumDigitValue(std::string_view character) {
    if (character.size() != 1) {
        return std::nullopt;
    }
    const auto pos = ascii::hexDigits.find(character.front());
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
        text.insert(text.begin(), ascii::hexDigits[bits & 0x0F]);
        bits = static_cast<std::uint16_t>(bits >> 4);
    } while (bits != 0);
    return text;
}

std::string upperAscii(std::string_view character) {
    std::string upper(character);
    std::transform(upper.begin(), upper.end(), upper.begin(), ascii::upper);
    return upper;
}

}  // namespace

ParameterValues GenerationOutcome::notRead() {
    ParameterValues values{};
    values.fill(std::numeric_limits<double>::quiet_NaN());
    return values;
}

GenerationOutcome CommandStringEngine::getAddress() {
    read_ = GenerationOutcome::notRead();
    if (!encodeAddress(fields_.addressKind())) {
        return {GenerationOutcome::Result::AddressRefused, 0, {}, read_};
    }
    // The option is read again for the frames' kind.
    const AddressKind kind = fields_.addressKind();
    for (std::size_t row = 0; row < commandCount; ++row) {
        if (auto failure = formRow(row, kind)) {
            return {GenerationOutcome::Result::DataError, row, std::move(*failure), read_};
        }
    }
    return {GenerationOutcome::Result::Written, 0, {}, read_};
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
        // One character at a time, never splitting a UTF-8 sequence; the empty text past
        // the end.
        const std::size_t length = offset < text.size() ? ascii::utf8Length(text, offset) : 0;
        s.strAddrDigit[static_cast<std::size_t>(s.intCount)] =
            upperAscii(std::string_view(text).substr(offset, length));
        offset += length;
        s.strManInput += s.strAddrDigit[static_cast<std::size_t>(s.intCount)];
    }
    fields_.setAddressText(source, s.strManInput);
}

bool CommandStringEngine::encodeAddress(AddressKind source) {
    auto& s = state_;
    // Written back before any character is examined: the field shows the upper-cased
    // address even for the moment before a failure replaces it.
    writeBackAddress(source);

    const AddressReading reading = readAddress(s.strManInput);
    // The digits up to the first character that is none; the loop stops there.
    for (s.intCount = 1; s.intCount <= static_cast<std::int16_t>(reading.digitCount) &&
                         s.intCount <= static_cast<std::int16_t>(addressDigits);
         ++s.intCount) {
        s.intAddrDigit[static_cast<std::size_t>(s.intCount)] =
            reading.digits[static_cast<std::size_t>(s.intCount - 1)];
    }
    if (!reading.ok()) {
        fields_.setAddressText(AddressKind::Single, "ERROR");
        fields_.setAddressText(AddressKind::Group, "ERROR");
        return false;
    }
    for (std::size_t byte = 1; byte <= 3; ++byte) {
        s.intFrameByte[byte] = reading.bytes[byte - 1];
    }
    s.total = static_cast<std::int16_t>(s.intFrameByte[1] + s.intFrameByte[2] + s.intFrameByte[3]);
    return true;
}

std::optional<DataFailure> CommandStringEngine::formRow(std::size_t row, AddressKind kind) {
    auto& s = state_;
    const Command& command = commandCatalogue[row];
    const auto parameters = command.parameterBytes();

    // Each field is read, converted and stored before the next is read.
    std::array<std::int16_t, 2> written{};
    std::array<std::string, 2> texts;
    for (std::size_t k = 0; k < parameters.size(); ++k) {
        const ParameterByte& parameter = parameters[k];
        texts[k] = fields_.parameterText(parameter.field);
        const auto number = readNumber(texts[k]);
        if (!number) {
            return DataFailure{DataFailure::Reason::NotANumber, parameter.field, texts[k]};
        }
        read_[static_cast<std::size_t>(parameter.field)] = *number;
        const auto value = convertParameter(parameter.conversion, *number);
        if (!value) {
            return DataFailure{DataFailure::Reason::Overflow, parameter.field, texts[k]};
        }
        s.intFrameByte[parameter.element] = *value;
        written[k] = *value;
    }

    const Address address{static_cast<std::uint8_t>(s.intFrameByte[1]),
                          static_cast<std::uint8_t>(s.intFrameByte[2]),
                          static_cast<std::uint8_t>(s.intFrameByte[3])};
    const ComposedFrame composed =
        composeFrame(command, kind, address, std::span(written).first(parameters.size()));
    if (composed.status == ComposedFrame::Status::Overflow) {
        const std::size_t k = composed.overflowAt;
        return DataFailure{DataFailure::Reason::Overflow, parameters[k].field, texts[k]};
    }

    s.strSum = hexText(composed.sum);
    for (s.i = 1; s.i <= static_cast<std::int16_t>(s.strSum.size()); ++s.i) {
        s.strSumDigit[static_cast<std::size_t>(s.i)] =
            s.strSum.substr(static_cast<std::size_t>(s.i - 1), 1);
    }
    checkSUM();

    // A parameter byte outside 00..FF has no two-digit form: such a row gets no string rather
    // than a malformed one. Every value the range checks admit lies inside. Every byte is
    // written with two digits: the same text as each address and checksum byte written after
    // its prefix from checkSUM.
    if (composed.made()) {
        const MadeFrame made{composed.frame, static_cast<CommandId>(row), kind, address, read_};
        fields_.setOutputText(row, writeFrame(composed.frame), &made);
    } else {
        fields_.setOutputText(row, std::string{}, nullptr);
    }
    return std::nullopt;
}

void CommandStringEngine::checkSUM() {
    auto& s = state_;
    for (std::size_t k = 1; k <= 4; ++k) {
        s.intSumDigit[k] = 0;
    }
    s.p.clear();
    s.q.clear();
    s.X.clear();
    s.Y.clear();
    s.z.clear();

    const auto n = static_cast<std::int16_t>(std::min<std::size_t>(s.strSum.size(), 4));
    for (s.i = 1; s.i <= n; ++s.i) {
        s.intSumDigit[static_cast<std::size_t>(s.i)] =
            sumDigitValue(s.strSumDigit[static_cast<std::size_t>(s.i)]).value_or(0);
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
