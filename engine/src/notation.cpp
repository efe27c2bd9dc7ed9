#include "rvx/notation.h"

#include <algorithm>

#include "rvx/ascii.h"

namespace rvx {

namespace {

using ascii::hexValue;
using ascii::isDigit;
using ascii::isSpace;

// ---- Writing ----

char* writeDecimal(char* out, std::uint8_t byte) {
    if (byte >= 100) {
        *out++ = static_cast<char>('0' + byte / 100);
    }
    if (byte >= 10) {
        *out++ = static_cast<char>('0' + byte / 10 % 10);
    }
    *out++ = static_cast<char>('0' + byte % 10);
    return out;
}

// ---- Reading ----

enum class Separator : std::uint8_t {
    Blank,  // one or more blanks or line breaks
    Comma,  // a comma, with blanks or line breaks around it if wished
    None,   // the bytes follow each other directly
};

Separator separatorOf(const NotationInfo& info) {
    if (info.separator.find(',') != std::string_view::npos) {
        return Separator::Comma;
    }
    return info.separator.empty() ? Separator::None : Separator::Blank;
}

// Whether the text starts the way the notation writes its first byte: with its quote, or with
// its prefix, told by its first character or whole where that character could start a
// hexadecimal byte as well ("0x").
bool startsAs(std::string_view trimmed, const NotationInfo& info) {
    if (info.quote != 0) {
        return trimmed.front() == info.quote;
    }
    if (info.prefix.empty()) {
        return false;
    }
    const std::size_t telling = hexValue(info.prefix.front()) < 0 ? 1 : info.prefix.size();
    return trimmed.size() >= telling &&
           ascii::equalIgnoringCase(trimmed.substr(0, telling), info.prefix.substr(0, telling));
}

bool looksDecimal(std::string_view trimmed) {
    return trimmed.find(',') != std::string_view::npos &&
           std::all_of(trimmed.begin(), trimmed.end(),
                       [](char c) { return isDigit(c) || c == ',' || isSpace(c); });
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
    TextReader(std::string_view text, std::size_t begin, std::size_t end, const NotationInfo& info)
        : text_(text),
          pos_(begin),
          end_(end),
          info_(info),
          separator_(separatorOf(info)),
          decimal_(info.radix == 10) {}

    // The bytes, or an error and no bytes.
    bool read(std::vector<std::uint8_t>& bytes, std::string& error) {
        if (info_.quote != 0) {
            if (text_[pos_] != info_.quote) {
                return fail(error,
                            "expected " + quoteName() + " before the first byte, " + found());
            }
            ++pos_;
            if (end_ - pos_ < 1 || text_[end_ - 1] != info_.quote) {
                pos_ = end_;
                return fail(error, "expected " + quoteName() + " after the last byte, " + found());
            }
            --end_;
        }
        while (true) {
            if (!readAffix(info_.prefix, "before", error) || !readValue(bytes, error) ||
                !readAffix(info_.suffix, "after", error)) {
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

    // Where reading stopped: after the bytes, or at the character that was wrong.
    [[nodiscard]] std::size_t position() const { return pos_; }

private:
    bool fail(std::string& error, const std::string& what) const {
        error = "character " + std::to_string(characterNumber(text_, pos_)) + ": " + what;
        return false;
    }
    std::string found() const {
        return "found " + describeCharacter(text_, pos_ < end_ ? pos_ : text_.size());
    }

    std::string quoteName() const {
        if (info_.quote == '"') {
            return "a double quote";
        }
        return {'"', info_.quote, '"'};
    }

    // The prefix or the suffix of a byte ("before" or "after" it).
    bool readAffix(std::string_view affix, std::string_view where, std::string& error) {
        for (const char p : affix) {
            if (pos_ >= end_ || ascii::lower(text_[pos_]) != ascii::lower(p)) {
                return fail(error, "expected \"" + std::string(affix) + "\" " + std::string(where) +
                                       " each byte, " + found());
            }
            ++pos_;
        }
        return true;
    }

    bool readValue(std::vector<std::uint8_t>& bytes, std::string& error) {
        if (decimal_) {
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
                if (digit == 1 && pos_ == end_ && separator_ == Separator::None &&
                    info_.prefix.empty() && info_.suffix.empty()) {
                    return fail(error, "an odd number of hexadecimal digits; each byte is two");
                }
                return fail(error, "expected two hexadecimal digits for each byte, " + found());
            }
            value = value * 16 + v;
            ++pos_;
        }
        if (pos_ < end_ && hexValue(text_[pos_]) >= 0 &&
            (separator_ != Separator::None || !info_.prefix.empty() || !info_.suffix.empty())) {
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
        switch (separator_) {
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
    const NotationInfo& info_;
    Separator separator_;
    bool decimal_;
};

}  // namespace

std::optional<Notation> findNotation(std::string_view name) {
    for (const auto& info : notationCatalogue) {
        if (info.name == name) {
            return info.notation;
        }
    }
    return std::nullopt;
}

char* writeBytesTo(char* out, std::span<const std::uint8_t> bytes, Notation notation) {
    // Prefixes and separators are a character or two: copied a character at a time, which the
    // compiler keeps inline, where memcpy of a size known only at run time is a call each.
    const NotationInfo& info = notationInfo(notation);
    if (info.quote != 0) {
        *out++ = info.quote;
    }
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        if (k > 0) {
            for (const char c : info.separator) {
                *out++ = c;
            }
        }
        for (const char c : info.prefix) {
            *out++ = c;
        }
        if (info.radix == 10) {
            out = writeDecimal(out, bytes[k]);
        } else {
            const std::string_view digits = ascii::hexByte(bytes[k]);
            *out++ = digits[0];
            *out++ = digits[1];
        }
        for (const char c : info.suffix) {
            *out++ = c;
        }
    }
    if (info.quote != 0) {
        *out++ = info.quote;
    }
    return out;
}

std::string writeBytes(std::span<const std::uint8_t> bytes, Notation notation) {
    std::string out(maxWrittenLength(notation, bytes.size()), '\0');
    out.resize(static_cast<std::size_t>(writeBytesTo(out.data(), bytes, notation) - out.data()));
    return out;
}

std::string writeFrame(const Frame& frame, Notation notation) {
    return writeBytes(frame, notation);
}

FrameText readFrameText(std::string_view text, std::optional<Notation> notation) {
    FrameText result;
    const std::string_view trimmed = ascii::trim(text, isSpace);
    const auto begin = static_cast<std::size_t>(trimmed.data() - text.data());
    const std::size_t end = begin + trimmed.size();
    if (trimmed.empty()) {
        result.notation = notation.value_or(Notation::Spaced);
        result.error = "the text holds no bytes";
        return result;
    }
    // Asked for, the one notation; else each that the text starts as, in the catalogue's order,
    // until one reads it; else spaced or compact by the blanks inside.
    std::vector<Notation> tried;
    if (notation) {
        tried.push_back(*notation);
    } else {
        for (const NotationInfo& info : notationCatalogue) {
            if (startsAs(trimmed, info)) {
                tried.push_back(info.notation);
            }
        }
        if (tried.empty()) {
            tried.push_back(std::any_of(trimmed.begin(), trimmed.end(), isSpace)
                                ? Notation::Spaced
                                : Notation::Compact);
        }
    }
    // None reads it: the one that read furthest tells what is wrong.
    std::string furthestError;
    std::size_t furthest = 0;
    for (const Notation candidate : tried) {
        std::string error;
        std::vector<std::uint8_t> bytes;
        TextReader reader(text, begin, end, notationInfo(candidate));
        if (reader.read(bytes, error)) {
            result.notation = candidate;
            result.bytes = std::move(bytes);
            return result;
        }
        if (candidate == tried.front() || reader.position() > furthest) {
            furthest = reader.position();
            furthestError = std::move(error);
            result.notation = candidate;
        }
    }
    result.error =
        "not " + std::string(notationInfo(result.notation).name) + " bytes: " + furthestError;
    if (!notation && looksDecimal(trimmed)) {
        result.error += "; decimal bytes are read only when the decimal notation is asked for";
    }
    return result;
}

std::optional<Frame> readFrame(std::string_view text, std::optional<Notation> notation) {
    const FrameText read = readFrameText(text, notation);
    if (!read.read() || read.bytes.size() != frameLength) {
        return std::nullopt;
    }
    Frame frame{};
    std::copy(read.bytes.begin(), read.bytes.end(), frame.begin());
    return frame;
}

}  // namespace rvx
