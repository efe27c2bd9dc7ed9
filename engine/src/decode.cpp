#include "rvx/decode.h"

#include <algorithm>
#include <cmath>

namespace rvx {

namespace {

// ---- Reading text ----

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (isDigit(c)) {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

enum class Separator : std::uint8_t {
    Blank,  // one or more blanks or line breaks
    Comma,  // a comma, with blanks or line breaks around it if wished
    None,   // the bytes follow each other directly
};

struct Syntax {
    std::string_view prefix;  // before each byte, in lower case
    Separator separator;
    bool decimal;
};

Syntax syntaxOf(Notation notation) {
    switch (notation) {
        case Notation::Spaced:
            return {"", Separator::Blank, false};
        case Notation::Compact:
            return {"", Separator::None, false};
        case Notation::Escaped:
            return {"\\x", Separator::None, false};
        case Notation::ZeroX:
            return {"0x", Separator::Comma, false};
        case Notation::Dollar:
            return {"$", Separator::Comma, false};
        case Notation::Decimal:
            return {"", Separator::Comma, true};
    }
    return {"", Separator::Blank, false};
}

std::string_view nameOf(Notation notation) {
    for (const auto& info : notationCatalogue) {
        if (info.notation == notation) {
            return info.name;
        }
    }
    return {};
}

Notation detectNotation(std::string_view trimmed) {
    if (trimmed.front() == '\\') {
        return Notation::Escaped;
    }
    if (trimmed.front() == '$') {
        return Notation::Dollar;
    }
    if (trimmed.size() >= 2 && trimmed[0] == '0' && lowerAscii(trimmed[1]) == 'x') {
        return Notation::ZeroX;
    }
    return std::ranges::any_of(trimmed, isSpace) ? Notation::Spaced : Notation::Compact;
}

bool looksDecimal(std::string_view trimmed) {
    return trimmed.find(',') != std::string_view::npos && std::ranges::all_of(trimmed, [](char c) {
               return isDigit(c) || c == ',' || isSpace(c);
           });
}

// The number of the character at a byte offset, counted from 1; a UTF-8 sequence counts once.
std::size_t characterNumber(std::string_view text, std::size_t offset) {
    std::size_t number = 1;
    for (std::size_t k = 0; k < offset && k < text.size(); ++k) {
        if ((static_cast<unsigned char>(text[k]) & 0xC0) != 0x80) {
            ++number;
        }
    }
    return number;
}

std::string describeCharacter(std::string_view text, std::size_t pos) {
    if (pos >= text.size()) {
        return "the end of the text";
    }
    const auto c = static_cast<unsigned char>(text[pos]);
    if (c == ' ') {
        return "a blank";
    }
    if (c == '\n' || c == '\r') {
        return "a line break";
    }
    if (c == '\t') {
        return "a tab";
    }
    if (c < 0x20 || c == 0x7F) {
        return "a control character";
    }
    if (c >= 0x80) {
        return "a character outside ASCII";
    }
    return std::string("\"") + static_cast<char>(c) + "\"";
}

class TextReader {
public:
    TextReader(std::string_view text, std::size_t begin, std::size_t end, Notation notation)
        : text_(text), pos_(begin), end_(end), syntax_(syntaxOf(notation)) {}

    // The bytes, or an error and no bytes.
    bool read(std::vector<std::uint8_t>& bytes, std::string& error) {
        while (true) {
            if (!readPrefix(error) || !readValue(bytes, error)) {
                return false;
            }
            if (pos_ == end_) {
                return true;
            }
            if (!readSeparator(error)) {
                return false;
            }
        }
    }

private:
    bool fail(std::string& error, const std::string& what) const {
        error = "character " + std::to_string(characterNumber(text_, pos_)) + ": " + what;
        return false;
    }
    std::string found() const {
        return "found " + describeCharacter(text_, pos_ < end_ ? pos_ : text_.size());
    }

    bool readPrefix(std::string& error) {
        for (const char p : syntax_.prefix) {
            if (pos_ >= end_ || lowerAscii(text_[pos_]) != p) {
                return fail(error, "expected \"" + std::string(syntax_.prefix) +
                                       "\" before each byte, " + found());
            }
            ++pos_;
        }
        return true;
    }

    bool readValue(std::vector<std::uint8_t>& bytes, std::string& error) {
        if (syntax_.decimal) {
            const std::size_t start = pos_;
            unsigned value = 0;
            while (pos_ < end_ && isDigit(text_[pos_])) {
                value = std::min(value * 10 + static_cast<unsigned>(text_[pos_] - '0'), 1000U);
                ++pos_;
            }
            if (pos_ == start) {
                return fail(error, "expected a decimal byte, 0 to 255, " + found());
            }
            if (value > 255) {
                const std::string digits(
                    text_.substr(start, std::min<std::size_t>(pos_ - start, 12)));
                pos_ = start;
                return fail(error, "a decimal byte is 0 to 255, found " + digits);
            }
            bytes.push_back(static_cast<std::uint8_t>(value));
            return true;
        }
        int value = 0;
        for (int digit = 0; digit < 2; ++digit) {
            const int v = pos_ < end_ ? hexValue(text_[pos_]) : -1;
            if (v < 0) {
                if (digit == 1 && pos_ == end_ && syntax_.separator == Separator::None &&
                    syntax_.prefix.empty()) {
                    return fail(error, "an odd number of hexadecimal digits; each byte is two");
                }
                return fail(error, "expected two hexadecimal digits for each byte, " + found());
            }
            value = value * 16 + v;
            ++pos_;
        }
        if (pos_ < end_ && hexValue(text_[pos_]) >= 0 &&
            (syntax_.separator != Separator::None || !syntax_.prefix.empty())) {
            return fail(error, "a byte has more than two hexadecimal digits");
        }
        bytes.push_back(static_cast<std::uint8_t>(value));
        return true;
    }

    void skipSpace() {
        while (pos_ < end_ && isSpace(text_[pos_])) {
            ++pos_;
        }
    }

    bool readSeparator(std::string& error) {
        switch (syntax_.separator) {
            case Separator::Blank:
                if (!isSpace(text_[pos_])) {
                    return fail(error, "expected a blank or line break between bytes, " + found());
                }
                skipSpace();
                return true;
            case Separator::Comma:
                skipSpace();
                if (pos_ >= end_ || text_[pos_] != ',') {
                    return fail(error, "expected a comma between bytes, " + found());
                }
                ++pos_;
                skipSpace();
                return true;
            case Separator::None:
                return true;
        }
        return true;
    }

    std::string_view text_;
    std::size_t pos_;
    std::size_t end_;
    Syntax syntax_;
};

// ---- Decoding ----

constexpr std::string_view hexDigits = "0123456789ABCDEF";

std::string hexByte(std::uint8_t byte) {
    return {hexDigits[byte >> 4], hexDigits[byte & 0x0F]};
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

FrameText readFrameText(std::string_view text, std::optional<Notation> notation) {
    FrameText result;
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && isSpace(text[end - 1])) {
        --end;
    }
    if (begin == end) {
        result.notation = notation.value_or(Notation::Spaced);
        result.error = "the text holds no bytes";
        return result;
    }
    const std::string_view trimmed = text.substr(begin, end - begin);
    result.notation = notation ? *notation : detectNotation(trimmed);

    std::string error;
    TextReader reader(text, begin, end, result.notation);
    if (!reader.read(result.bytes, error)) {
        result.bytes.clear();
        result.error = "not " + std::string(nameOf(result.notation)) + " bytes: " + error;
        if (!notation && looksDecimal(trimmed)) {
            result.error += "; decimal bytes are read only when the decimal notation is asked for";
        }
    }
    return result;
}

std::optional<Frame> readFrame(std::string_view text, std::optional<Notation> notation) {
    const FrameText read = readFrameText(text, notation);
    if (!read.read() || read.bytes.size() != frameLength) {
        return std::nullopt;
    }
    Frame frame{};
    std::ranges::copy(read.bytes, frame.begin());
    return frame;
}

std::string_view checkName(Check check) {
    switch (check) {
        case Check::ByteCount:
            return "byte count";
        case Check::MessageCode:
            return "message code";
        case Check::LengthByte:
            return "length byte";
        case Check::FixedByte:
            return "fixed byte";
        case Check::AddressFields:
            return "address fields";
        case Check::CommandCode:
            return "command code";
        case Check::UnusedParameter:
            return "unused parameter byte";
        case Check::ParameterValue:
            return "parameter value";
        case Check::Checksum:
            return "checksum";
    }
    return {};
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
        return std::ranges::all_of(f, [](std::uint8_t b) { return b == fixedByte; });
    };
    const auto addressText = [](std::span<const std::uint8_t> f) {
        std::string text;
        for (const std::uint8_t b : f) {
            text += hexByte(b);
        }
        return text;
    };
    const auto first = field(byteAt::firstAddress);
    const auto second = field(byteAt::secondAddress);
    if (isEmpty(first) && isEmpty(second)) {
        decoded.address = "FFFFFF";
        decoded.notes.push_back(
            "both address fields are FF FF FF: this is address FFFFFF, whose single motor "
            "frame and group frame are the same, so its kind cannot be told");
    } else if (isEmpty(first)) {
        decoded.address = addressText(second);
        decoded.kind = AddressKind::Single;
    } else if (isEmpty(second)) {
        decoded.address = addressText(first);
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
        for (std::size_t number = 11; number <= 12; ++number) {
            const bool used =
                std::ranges::any_of(command.parameterBytes(),
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

    const std::uint16_t expected = checksumOf(bytes.first(12));
    const std::uint16_t actual = static_cast<std::uint16_t>(at(13) << 8 | at(14));
    if (actual != expected) {
        add(Check::Checksum, 13, 14,
            "checksum is " + hexByte(at(13)) + " " + hexByte(at(14)) + ", should be " +
                hexByte(static_cast<std::uint8_t>(expected >> 8)) + " " +
                hexByte(static_cast<std::uint8_t>(expected & 0xFF)) +
                ", the 16-bit sum of bytes 1 to 12");
    }

    std::ranges::stable_sort(decoded.findings, {}, &Finding::firstByte);
    return decoded;
}

}  // namespace rvx
