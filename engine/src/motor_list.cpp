#include "rvx/motor_list.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "rvx/ascii.h"
#include "rvx/message.h"

namespace rvx {

namespace {

using ascii::isBlank;
using ascii::trimBlanks;

bool isLineBreak(char c) {
    return c == '\n' || c == '\r';
}

// The characters that end an unquoted part: line breaks for the last, a comma too for others.
constexpr std::array<bool, 256> endsOf(bool comma) {
    std::array<bool, 256> ends{};
    ends['\n'] = ends['\r'] = true;
    ends[','] = comma;
    return ends;
}
constexpr std::array<bool, 256> lineBreaks = endsOf(false);
constexpr std::array<bool, 256> partEnds = endsOf(true);

// Where the unquoted part from i ends, at limit at the latest: at a line break, or a comma where
// comma holds. Eight characters are looked at together where the machine stores words with the
// lowest byte first: a byte of a word equal to c leaves its high bit set in (x - ones) & ~x for
// x = word ^ (c in every byte), and the lowest such bit is always a true one.
std::size_t unquotedEnd(std::string_view data, std::size_t i, std::size_t limit, bool comma) {
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t ones = 0x0101010101010101U;
        constexpr std::uint64_t highs = 0x8080808080808080U;
        const auto equal = [](std::uint64_t word, char c) {
            const std::uint64_t x = word ^ (ones * static_cast<unsigned char>(c));
            return (x - ones) & ~x & highs;
        };
        for (; i + 8 <= limit; i += 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, data.data() + i, 8);
            const std::uint64_t found =
                equal(word, '\n') | equal(word, '\r') | (comma ? equal(word, ',') : 0U);
            if (found != 0) {
                return i + static_cast<std::size_t>(std::countr_zero(found)) / 8;
            }
        }
    }
    const std::array<bool, 256>& ends = comma ? partEnds : lineBreaks;
    while (i < limit && !ends[static_cast<unsigned char>(data[i])]) {
        ++i;
    }
    return i;
}

// Whether a line may end at offset at of data: a line break there, or the list's end within
// the longest line.
bool endsAt(std::string_view data, std::size_t at, bool listEnds) {
    return at < data.size() ? isLineBreak(data[at]) : listEnds && data.size() <= maxMotorLineBytes;
}

// The part after this one, where the line may hold one: after a quoted label come the room
// and the note; an unquoted label is the last part.
bool lastPart(std::size_t part, bool quoted) {
    const auto label = static_cast<std::size_t>(MotorPart::LabelPart);
    return part + 1 == motorPartCount || (part == label && !quoted);
}

// The list's own text of a part, in a message: escaped, and cut after quotedCharacters
// characters.
std::string excerpt(std::string_view text) {
    std::size_t offset = 0;
    for (std::size_t characters = 0; offset < text.size() && characters < quotedCharacters;
         ++characters) {
        offset += ascii::utf8Length(text, offset);
    }
    return escaped(text.substr(0, offset)) + (offset < text.size() ? "..." : "");
}

std::string quoteProblem(MotorPart part, const MotorLineScan& scan) {
    constexpr std::array<std::string_view, motorPartCount> names{"address", "kind", "label", "room",
                                                                 "note"};
    const auto k = static_cast<std::size_t>(part);
    const std::string text = " (" + excerpt(scan.parts[k]) + ")";
    if (scan.quoteBeyondLimit) {
        return "the " + std::string(names[k]) + " starts with a quote that is not closed within " +
               std::to_string(maxMotorLineBytes) + " bytes" + text;
    }
    if (scan.unclosed) {
        return "the " + std::string(names[k]) +
               " starts with a quote, and its closing quote is missing" + text;
    }
    return "the " + std::string(names[k]) + " starts with a quote, and text follows its closing " +
           "quote" + text;
}

// A text part that may hold anything the list admits: valid UTF-8 without control characters
// other than tabs and line breaks.
std::optional<std::string> textProblem(std::string_view name, std::string_view text) {
    static constexpr std::array<bool, 256> printable = [] {
        std::array<bool, 256> table{};
        for (std::size_t c = ' '; c < 0x7F; ++c) {
            table[c] = true;
        }
        table['\t'] = true;
        return table;
    }();
    const bool printableAscii = std::all_of(
        text.begin(), text.end(), [](char c) { return printable[static_cast<unsigned char>(c)]; });
    if (printableAscii) {
        return std::nullopt;
    }
    if (!ascii::isValidUtf8(text)) {
        // Such bytes are most often a list saved by a program in its own encoding.
        return "the " + std::string(name) +
               " is not valid UTF-8 (saved as Latin-1 or Windows-1252?): save the list as UTF-8";
    }
    if (std::any_of(text.begin(), text.end(),
                    [](char c) { return ascii::isControl(c) && c != '\t' && !isLineBreak(c); })) {
        return "the " + std::string(name) + " holds a control character";
    }
    return std::nullopt;
}

}  // namespace

void scanMotorLine(std::string_view data, bool listEnds, MotorLineScan& scan) {
    scan.parts = {};
    scan.badQuote.reset();
    scan.quoteBeyondLimit = false;
    scan.end = 0;
    scan.breaks = 0;
    scan.tooLong = false;
    scan.unclosed = false;
    scan.plain.reset();
    // Characters a line can reach: the longest line and the break after it.
    const std::size_t limit = std::min(data.size(), maxMotorLineBytes + 1);
    const auto endHere = [&](std::size_t at) {
        scan.end = at;
        scan.tooLong = at > maxMotorLineBytes || !endsAt(data, at, listEnds);
    };
    std::size_t i = 0;
    for (std::size_t part = 0; part < motorPartCount; ++part) {
        while (i < limit && isBlank(data[i])) {
            ++i;
        }
        if (i < limit && data[i] == '"') {
            const std::size_t quote = i;
            // The list's own text from the quote to the end of its line, for a message.
            const auto shownFrom = [&](std::size_t from) {
                std::size_t end = from;
                while (end < limit && !isLineBreak(data[end])) {
                    ++end;
                }
                scan.parts[part] = data.substr(from, end - from);
            };
            std::size_t close = i + 1;
            bool doubled = false;
            std::size_t breaks = 0;
            while (true) {
                if (close >= limit) {
                    shownFrom(quote);
                    scan.badQuote = static_cast<MotorPart>(part);
                    scan.quoteBeyondLimit = !(listEnds && data.size() <= maxMotorLineBytes);
                    scan.unclosed = true;
                    return;
                }
                const bool pair = close + 1 < data.size() && data[close + 1] == '"';
                if (data[close] == '"' && !pair) {
                    break;
                }
                if (data[close] == '"') {
                    doubled = true;
                    ++close;
                } else if (data[close] == '\n' ||
                           (data[close] == '\r' &&
                            !(close + 1 < data.size() && data[close + 1] == '\n'))) {
                    ++breaks;
                }
                ++close;
            }
            scan.breaks += breaks;
            std::string_view content = data.substr(i + 1, close - i - 1);
            if (doubled) {
                std::string& plain = scan.unquoted[part];
                plain.clear();
                for (std::size_t k = 0; k < content.size(); ++k) {
                    plain += content[k];
                    k += content[k] == '"' ? 1U : 0U;
                }
                content = plain;
            }
            scan.parts[part] = content;
            i = close + 1;
            while (i < limit && isBlank(data[i])) {
                ++i;
            }
            if (!lastPart(part, true) && i < limit && data[i] == ',') {
                ++i;
                continue;
            }
            if (!endsAt(data, i, listEnds)) {
                scan.badQuote = static_cast<MotorPart>(part);
                while (i < limit && !isLineBreak(data[i])) {
                    ++i;
                }
                scan.parts[part] = data.substr(quote, i - quote);
            }
            endHere(i);
            return;
        }
        const bool last = lastPart(part, false);
        const std::size_t start = i;
        i = unquotedEnd(data, i, limit, !last);
        scan.parts[part] = trimBlanks(data.substr(start, i - start));
        if (!last && i < limit && data[i] == ',') {
            ++i;
            continue;
        }
        endHere(i);
        return;
    }
    endHere(i);
}

bool checkMotorLine(const MotorLineScan& scan, MotorLineView& motor, std::string& problems) {
    problems.clear();
    if (scan.plain) {
        motor.address = scan.plain->address;
        motor.addressText = scan.parts[static_cast<std::size_t>(MotorPart::AddressPart)];
        motor.kind = scan.plain->kind;
        motor.label = scan.parts[static_cast<std::size_t>(MotorPart::LabelPart)];
        motor.room = {};
        motor.note = {};
        return true;
    }
    const auto add = [&problems](std::string_view problem) {
        problems += problems.empty() ? "" : "; ";
        problems += problem;
    };
    const auto partOf = [&scan](MotorPart part) {
        return scan.parts[static_cast<std::size_t>(part)];
    };
    const auto quoteIn = [&scan](MotorPart part) { return scan.badQuote == part; };
    motor.kind = AddressKind::Single;

    const std::string_view address = partOf(MotorPart::AddressPart);
    if (quoteIn(MotorPart::AddressPart)) {
        add(quoteProblem(MotorPart::AddressPart, scan));
    } else if (const auto plain = readPlainAddress(address)) {
        motor.address = *plain;
        motor.addressText = address;
    } else if (const auto reading = readAddress(address); reading.ok()) {
        motor.address = reading.bytes;
        motor.addressText = address;
    } else {
        add(addressMessage(address, reading));
    }

    const std::string_view kind = partOf(MotorPart::KindPart);
    if (quoteIn(MotorPart::KindPart)) {
        add(quoteProblem(MotorPart::KindPart, scan));
    } else if (const auto named = findKind(kind)) {
        motor.kind = *named;
    } else if (!kind.empty()) {
        add(kindMessage(kind));
    }

    constexpr std::array<std::pair<MotorPart, std::string_view>, 3> texts{{
        {MotorPart::LabelPart, "label"},
        {MotorPart::RoomPart, "room"},
        {MotorPart::NotePart, "note"},
    }};
    for (const auto& [part, name] : texts) {
        if (quoteIn(part)) {
            add(quoteProblem(part, scan));
        } else if (const auto problem = textProblem(name, partOf(part))) {
            add(*problem);
        }
    }
    if (!problems.empty()) {
        return false;
    }
    motor.label = partOf(MotorPart::LabelPart);
    motor.room = partOf(MotorPart::RoomPart);
    motor.note = partOf(MotorPart::NotePart);
    return true;
}

bool checkMotorLine(const MotorLineScan& scan, Motor& motor, std::string& problems) {
    MotorLineView view;
    if (!checkMotorLine(scan, view, problems)) {
        return false;
    }
    motor.address = view.address;
    motor.addressText.assign(view.addressText);
    motor.kind = view.kind;
    motor.label.assign(view.label);
    motor.room.assign(view.room);
    motor.note.assign(view.note);
    return true;
}

namespace {

// Where the printable ASCII characters (space to tilde) from i end, at limit at the latest.
// Eight characters are looked at together where the machine stores words with the lowest byte
// first: a byte below the space leaves its high bit set in (x - spaces) & ~x, a byte of 0x80 or
// above in x itself, the tilde's successor 0x7F as in unquotedEnd; the lowest bit set by any of
// them is always a true one.
std::size_t printableEnd(std::string_view data, std::size_t i, std::size_t limit) {
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t ones = 0x0101010101010101U;
        constexpr std::uint64_t highs = 0x8080808080808080U;
        for (; i + 8 <= limit; i += 8) {
            std::uint64_t x = 0;
            std::memcpy(&x, data.data() + i, 8);
            const std::uint64_t del = x ^ (ones * 0x7FU);
            const std::uint64_t found =
                (x | ((x - ones * 0x20U) & ~x) | ((del - ones) & ~del)) & highs;
            if (found != 0) {
                return i + static_cast<std::size_t>(std::countr_zero(found)) / 8;
            }
        }
    }
    while (i < limit && data[i] >= ' ' && data[i] <= '~') {
        ++i;
    }
    return i;
}

// The line at the start of data when it has the plain form (see MotorListReader), scanned and
// judged: false for any other line, which is left to scanMotorLine. A line of that form is
// read the same by both: its parts need no trimming, the label is the rest of the line, and
// every part is right.
bool scanPlainLine(std::string_view data, bool listEnds, MotorLineScan& scan) {
    constexpr std::size_t digits = 6;
    if (data.size() <= digits || data[digits] != ',') {
        return false;
    }
    int any = 0;
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < digits; ++k) {
        const int digit = ascii::hexValue(data[k]);
        any |= digit;
        value = (value << 4) | static_cast<std::uint32_t>(digit & 0x0F);
    }
    if (any < 0) {
        return false;
    }
    // The kind by its name as written, and the comma after it.
    const std::string_view afterAddress = data.substr(digits + 1);
    const auto named =
        std::find_if(kindCatalogue.begin(), kindCatalogue.end(), [&](const KindInfo& info) {
            return afterAddress.starts_with(info.name) && afterAddress.size() > info.name.size() &&
                   afterAddress[info.name.size()] == ',';
        });
    if (named == kindCatalogue.end()) {
        return false;
    }
    const AddressKind kind = named->kind;
    const std::size_t labelAt = digits + 1 + named->name.size() + 1;
    const std::size_t limit = std::min(data.size(), maxMotorLineBytes + 1);
    if (labelAt < limit && (data[labelAt] == '"' || data[labelAt] == ' ')) {
        return false;
    }
    const std::size_t end = printableEnd(data, labelAt, limit);
    if (end > maxMotorLineBytes || (end > labelAt && data[end - 1] == ' ')) {
        return false;
    }
    if (!endsAt(data, end, listEnds)) {
        return false;
    }
    scan.parts = {data.substr(0, digits),
                  data.substr(digits + 1, labelAt - digits - 2),
                  data.substr(labelAt, end - labelAt),
                  {},
                  {}};
    scan.badQuote.reset();
    scan.quoteBeyondLimit = false;
    scan.end = end;
    scan.breaks = 0;
    scan.tooLong = false;
    scan.unclosed = false;
    scan.plain = MotorLineScan::Plain{
        {static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
         static_cast<std::uint8_t>(value)},
        kind};
    return true;
}

}  // namespace

std::size_t TextSource::read(char* into, std::size_t size) {
    const std::size_t count = std::min(size, text_.size());
    std::copy_n(text_.data(), count, into);
    text_.remove_prefix(count);
    return count;
}

MotorListReader::MotorListReader(ListSource& source)
    : source_(source), buffer_(new char[bufferSize]) {}

bool MotorListReader::fill() {
    if (end_ - begin_ >= window || ended_) {
        return true;
    }
    std::copy(buffer_.get() + begin_, buffer_.get() + end_, buffer_.get());
    end_ -= begin_;
    begin_ = 0;
    while (end_ < window && !ended_) {
        const std::size_t wanted = bufferSize - end_;
        const std::size_t got = source_.read(buffer_.get() + end_, wanted);
        if (got < wanted) {
            if (source_.failed()) {
                return false;
            }
            ended_ = true;
        }
        end_ += got;
    }
    if (!started_) {
        started_ = true;
        const std::string_view start(buffer_.get(), end_);
        notText_ = notUtf8Text(start);
        if (start.starts_with("\xEF\xBB\xBF")) {
            begin_ = 3;
        }
    }
    return true;
}

std::string notUtf8Text(std::string_view start) {
    constexpr std::string_view saveAs = ": save it as UTF-8";
    if (start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF")) {
        return "saved as UTF-16 (with a byte order mark)" + std::string(saveAs);
    }
    // Enough to judge by: a few lines.
    const std::string_view sample = start.substr(0, 4096);
    std::array<std::size_t, 2> zeros{};  // at even and at odd places
    std::size_t controls = 0;
    for (std::size_t k = 0; k < sample.size(); ++k) {
        const char c = sample[k];
        if (c == '\0') {
            ++zeros[k % 2];
        } else if (ascii::isControl(c) && c != '\t' && !isLineBreak(c) && c != '\f') {
            ++controls;
        }
    }
    const std::size_t pairs = sample.size() / 2;
    // UTF-16 of ASCII text: a zero byte beside every character, on one side only.
    for (std::size_t side = 0; side < 2; ++side) {
        if (pairs > 0 && zeros[side] * 10 >= pairs * 3 && zeros[1 - side] * 20 <= zeros[side]) {
            return "saved as UTF-16" + std::string(saveAs);
        }
    }
    // A stray control character is a bad line of a text; many are no text.
    if ((zeros[0] + zeros[1] + controls) * 10 >= sample.size() && !sample.empty()) {
        return "not a text file: it holds zero bytes or control characters; a site is a list "
               "of motors in UTF-8 text";
    }
    return {};
}

void MotorListReader::consume(std::string_view data, std::size_t end, std::size_t breaks) {
    breaks_ += breaks;
    if (end < data.size()) {
        end += data[end] == '\r' && end + 1 < data.size() && data[end + 1] == '\n' ? 2U : 1U;
        ++breaks_;
    }
    begin_ += end;
}

MotorListReader::Step MotorListReader::next() {
    while (true) {
        if (!fill()) {
            return Step::Failed;
        }
        const std::string_view data(buffer_.get() + begin_, end_ - begin_);
        number_ = breaks_ + 1;
        if (data.empty() || !notText_.empty()) {
            return Step::End;
        }
        if (scanPlainLine(data, ended_, scan_)) {
            consume(data, scan_.end, 0);
            return Step::Line;
        }
        const std::size_t limit = std::min(data.size(), maxMotorLineBytes + 1);
        // Where the first line ends, found only when it is wanted: for a line that is skipped
        // and for one whose quote is not closed.
        const auto firstBreak = [&](std::size_t from) {
            return static_cast<std::size_t>(
                std::find_if(data.begin() + static_cast<std::ptrdiff_t>(from),
                             data.begin() + static_cast<std::ptrdiff_t>(limit), isLineBreak) -
                data.begin());
        };
        std::size_t first = 0;
        while (first < limit && isBlank(data[first])) {
            ++first;
        }
        if (first == limit || isLineBreak(data[first]) || data[first] == '#') {
            const std::size_t end = firstBreak(first);
            if (end > maxMotorLineBytes || !endsAt(data, end, ended_)) {
                return Step::TooLong;
            }
            consume(data, end, 0);
            continue;
        }
        scanMotorLine(data, ended_, scan_);
        if (scan_.tooLong) {
            return Step::TooLong;
        }
        if (scan_.unclosed) {
            // A quote that is not closed: the line is reported, and reading goes on after its
            // first line break, as if the quote had not been there.
            const std::size_t end = firstBreak(first);
            if (end > maxMotorLineBytes || !endsAt(data, end, ended_)) {
                return Step::TooLong;
            }
            consume(data, end, 0);
        } else {
            consume(data, scan_.end, scan_.breaks);
        }
        return Step::Line;
    }
}

MotorListReading readMotorList(std::string_view text) {
    MotorListReading reading;
    TextSource source(text);
    MotorListReader reader(source);
    std::string problems;
    while (true) {
        const MotorListReader::Step step = reader.next();
        if (step == MotorListReader::Step::TooLong) {
            reading.problems.push_back("line " + std::to_string(reader.lineNumber()) +
                                       ": longer than " + std::to_string(maxMotorLineBytes) +
                                       " bytes; nothing after it was read");
        }
        if (!reader.notText().empty()) {
            reading.problems.push_back(reader.notText());
        }
        if (step != MotorListReader::Step::Line) {
            return reading;
        }
        if (Motor motor; checkMotorLine(reader.scan(), motor, problems)) {
            reading.motors.push_back(std::move(motor));
        } else {
            reading.problems.push_back("line " + std::to_string(reader.lineNumber()) + ": " +
                                       problems);
        }
    }
}

std::vector<std::size_t> firstOfAddress(std::span<const Motor> motors) {
    std::vector<std::size_t> first(motors.size());
    std::unordered_map<std::uint32_t, std::size_t> seen;
    seen.reserve(motors.size());
    for (std::size_t k = 0; k < motors.size(); ++k) {
        const Address& a = motors[k].address;
        const auto target = static_cast<std::uint32_t>(
            (static_cast<std::uint32_t>(motors[k].kind) << 24U) | (std::uint32_t{a[0]} << 16U) |
            (std::uint32_t{a[1]} << 8U) | a[2]);
        first[k] = seen.try_emplace(target, k).first->second;
    }
    return first;
}

namespace {

// A part in double quotes, each quote in it doubled.
void appendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    out += '"';
}

// A room or a note as it reads back the same: plain where it can be, quoted otherwise.
void appendPart(std::string& out, std::string_view text) {
    const bool plain =
        !text.empty() && !isBlank(text.front()) && !isBlank(text.back()) && text.front() != '"' &&
        std::none_of(text.begin(), text.end(), [](char c) { return c == ',' || isLineBreak(c); });
    plain || text.empty() ? void(out += text) : appendQuoted(out, text);
}

}  // namespace

std::string writeMotorLine(const Motor& motor) {
    std::string line = motor.addressText.empty() ? addressText(motor.address) : motor.addressText;
    line += ',';
    line += kindName(motor.kind);
    line += ',';
    appendQuoted(line, motor.label);
    if (!motor.room.empty() || !motor.note.empty()) {
        line += ',';
        appendPart(line, motor.room);
    }
    if (!motor.note.empty()) {
        line += ',';
        appendPart(line, motor.note);
    }
    return line;
}

}  // namespace rvx
