#include "rvx/decode.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "rvx/ascii.h"

namespace rvx {

namespace {

std::string hexByte(std::uint8_t byte) {
    return std::string(ascii::hexByte(byte));
}

std::string byteNumbers(std::size_t first, std::size_t last) {
    return first == last ? "byte " + std::to_string(first)
                         : "bytes " + std::to_string(first) + "-" + std::to_string(last);
}

std::string familyOf(std::uint8_t messageCode) {
    return messageCode == motionMessageCode ? "motion" : "lock";
}

DecodedParameter readParameter(const ParameterByte& parameter, std::uint8_t written) {
    DecodedParameter result{};
    result.field = parameter.field;
    result.byte = parameter.frameByte;
    result.written = written;
    result.value = parameterValueOf(parameter.conversion, written);
    if (result.value == std::floor(result.value)) {
        result.whole = static_cast<int>(result.value);
    }
    // The inverse is checked through the conversion itself, so that a byte counts as admitted
    // only where the generation would really write it from an admitted value.
    const auto converted = convertParameter(parameter.conversion, result.value);
    result.admitted =
        converted && *converted == written && isAdmitted(parameter.field, result.value);

    const std::string meaning(parameterInfo(parameter.field).meaning);
    if (parameter.conversion == Conversion::Percentage) {
        if (result.whole) {
            result.description = meaning + " " + std::to_string(*result.whole) + " %";
        } else {
            const int below = static_cast<int>(std::floor(result.value));
            result.description = "position " + std::to_string(255 - written) +
                                 " of 255, which no whole percentage gives (between " +
                                 std::to_string(below) + " % and " + std::to_string(below + 1) +
                                 " %)";
        }
    } else {
        result.description = meaning + " " + std::to_string(result.whole.value_or(0));
        if (parameter.field == ParameterField::MSU || parameter.field == ParameterField::MSD) {
            result.description += " (" + std::to_string(result.whole.value_or(0) * 10) + " ms)";
        }
    }
    return result;
}

}  // namespace

std::string_view checkName(Check check) {
    // In the order of Check.
    static constexpr std::array<std::string_view, 9> names{
        "byte count",   "message code",          "length byte",     "fixed byte", "address fields",
        "command code", "unused parameter byte", "parameter value", "checksum"};
    static_assert(names.size() == static_cast<std::size_t>(Check::Checksum) + 1);
    return names[static_cast<std::size_t>(check)];
}

DecodedFrame decodeFrame(std::span<const std::uint8_t> bytes) {
    DecodedFrame decoded;
    const auto add = [&decoded](Check check, std::size_t first, std::size_t last,
                                const std::string& what) {
        const std::string where = first == 0 ? std::string() : byteNumbers(first, last) + ": ";
        decoded.findings.push_back({check, first, last, where + what});
    };

    if (bytes.size() != frameLength) {
        add(Check::ByteCount, 0, 0,
            "the text holds " + std::to_string(bytes.size()) +
                (bytes.size() == 1 ? " byte" : " bytes") + "; a frame has 14");
        return decoded;
    }
    const auto at = [&bytes](std::size_t number) { return bytes[number - 1]; };

    // Byte 1 and byte 10 together name the command.
    const std::uint8_t message = at(1);
    const std::uint8_t code = at(10);
    const bool knownFamily = message == motionMessageCode || message == lockMessageCode;
    std::vector<std::size_t> candidates;
    for (std::size_t row = 0; row < commandCatalogue.size(); ++row) {
        const Command& command = commandCatalogue[row];
        if (command.commandCode == code && (!knownFamily || command.messageCode == message)) {
            candidates.push_back(row);
        }
    }
    if (candidates.size() == 1) {
        decoded.command = candidates.front();
    }

    if (!knownFamily) {
        std::string what = "message code " + hexByte(message) +
                           " is neither AB (motion commands) nor A4 (lock commands)";
        if (decoded.command) {
            const Command& command = commandCatalogue[*decoded.command];
            what += "; command code " + hexByte(code) + " is " + std::string(command.name) +
                    ", whose message code is " + hexByte(command.messageCode);
        }
        add(Check::MessageCode, 1, 1, what);
    }
    if (at(2) != lengthByte) {
        add(Check::LengthByte, 2, 2,
            "length byte is " + hexByte(at(2)) + ", should be " + hexByte(lengthByte) +
                " (fourteen bytes, inverted)");
    }
    if (at(3) != fixedByte) {
        add(Check::FixedByte, 3, 3,
            "fixed byte is " + hexByte(at(3)) + ", should be " + hexByte(fixedByte));
    }

    // One address field holds the address, the other FF FF FF: the second field carries a
    // single motor's address, the first a group's.
    const auto field = [&bytes](std::size_t start) { return bytes.subspan(start, 3); };
    const auto isEmpty = [](std::span<const std::uint8_t> f) {
        return std::all_of(f.begin(), f.end(), [](std::uint8_t b) { return b == fixedByte; });
    };
    const auto addressIn = [](std::span<const std::uint8_t> f) {
        return Address{f[0], f[1], f[2]};
    };
    const auto first = field(byteAt::firstAddress);
    const auto second = field(byteAt::secondAddress);
    if (isEmpty(first) && isEmpty(second)) {
        decoded.address = addressIn(first);
        decoded.notes.push_back(
            "both address fields are FF FF FF: this is address FFFFFF, whose single motor "
            "frame and group frame are the same, so its kind cannot be told");
    } else if (isEmpty(first)) {
        decoded.address = addressIn(second);
        decoded.kind = AddressKind::Single;
    } else if (isEmpty(second)) {
        decoded.address = addressIn(first);
        decoded.kind = AddressKind::Group;
    } else {
        add(Check::AddressFields, 4, 9,
            "neither address field is FF FF FF (they hold " + writeBytes(first) + " and " +
                writeBytes(second) +
                "); a single motor frame has FF FF FF in bytes 4-6, a group frame in bytes 7-9");
    }

    if (knownFamily && !decoded.command) {
        std::string what =
            "command code " + hexByte(code) + " is no " + familyOf(message) + " command";
        for (const Command& command : commandCatalogue) {
            if (command.commandCode == code) {
                what += "; it is the code of " + std::string(command.name) + ", a " +
                        familyOf(command.messageCode) + " command with message code " +
                        hexByte(command.messageCode);
                break;
            }
        }
        add(Check::CommandCode, 10, 10, what);
    } else if (candidates.empty()) {
        add(Check::CommandCode, 10, 10,
            "command code " + hexByte(code) + " is no command of either family");
    }

    if (decoded.command) {
        const Command& command = commandCatalogue[*decoded.command];
        const auto parameters = command.parameterBytes();
        for (std::size_t number = 11; number <= 12; ++number) {
            const bool used =
                std::any_of(parameters.begin(), parameters.end(),
                            [number](const auto& p) { return p.frameByte == number; });
            if (!used && at(number) != fixedByte) {
                add(Check::UnusedParameter, number, number,
                    "holds " + hexByte(at(number)) + ", should be FF: " +
                        std::string(command.name) + " carries no parameter in this byte");
            }
        }
        for (const ParameterByte& parameter : command.parameterBytes()) {
            DecodedParameter read = readParameter(parameter, at(parameter.frameByte));
            if (!read.admitted) {
                add(Check::ParameterValue, read.byte, read.byte,
                    hexByte(read.written) + " is " + read.description +
                        ", outside the admitted values (" +
                        std::string(parameterInfo(parameter.field).admittedText) + ")");
            }
            decoded.parameters.push_back(std::move(read));
        }
    }

    if (!checksumHolds(bytes)) {
        const std::uint16_t expected = checksumOf(bytes.first(byteAt::checksumHigh));
        add(Check::Checksum, 13, 14,
            "checksum is " + hexByte(at(13)) + " " + hexByte(at(14)) + ", should be " +
                hexByte(static_cast<std::uint8_t>(expected >> 8)) + " " +
                hexByte(static_cast<std::uint8_t>(expected & 0xFF)) +
                ", the 16-bit sum of bytes 1 to 12");
    }

    std::stable_sort(decoded.findings.begin(), decoded.findings.end(),
                     [](const Finding& a, const Finding& b) { return a.firstByte < b.firstByte; });
    return decoded;
}

}  // namespace rvx
