// A motor list: the motors of a site, one a line, as `rvx-strings --batch` reads them and the
// site window keeps them.
//
//   ADDRESS[,KIND[,LABEL]]                   the label unquoted: the rest of the line
//   ADDRESS,KIND,"LABEL"[,ROOM[,NOTE]]       after a quoted label, a room and a note
//
// Each part as CSV writes it: blanks around a part ignored, a part in double quotes read
// without them ("Hall, ""east""", line breaks inside included). The kind is single when left
// out or empty. An unquoted label is the rest of the line, commas included, so that a list
// written before rooms and notes existed reads as it always did; an unquoted note likewise.
// A line ends at a line feed, a carriage return, or both. Blank lines and lines whose first
// character other than a blank is "#" are skipped; a UTF-8 byte order mark is ignored.
//
// MotorListReader walks a list a line at a time through a buffer of fixed size, whatever its
// length and wherever it comes from (a file, a pipe, a text in memory); scanMotorLine reads the
// parts of one line from the start of that buffer, and checkMotorLine judges them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rvx/address.h"

namespace rvx {

enum class MotorPart : std::uint8_t { AddressPart, KindPart, LabelPart, RoomPart, NotePart };
inline constexpr std::size_t motorPartCount = 5;

// The longest line of a motor list, without its line break.
inline constexpr std::size_t maxMotorLineBytes = 4096;

// One motor's line as scanned: its parts, still text.
struct MotorLineScan {
    // Into the buffer scanned, or into unquoted for a quoted part that held doubled quotes.
    std::array<std::string_view, motorPartCount> parts;
    std::array<std::string, motorPartCount> unquoted;
    // A part that starts with a quote but is no quoted field: the quote is not closed, or text
    // follows the closing quote. The parts after it are not read, and its part is the list's
    // own text from the quote to the end of the line it starts on, to be shown.
    std::optional<MotorPart> badQuote;
    bool quoteBeyondLimit = false;  // the quote is not closed within maxMotorLineBytes
    std::size_t end = 0;            // where the line ends: at its line break, or the list's end
    std::size_t breaks = 0;         // the line breaks inside quoted parts
    bool tooLong = false;           // the line goes on beyond maxMotorLineBytes
    bool unclosed = false;          // a quote is not closed; end and breaks are not known
    // A line of the plain form that MotorListReader reads and judges in one walk: its address
    // and kind, already found right. Never set by scanMotorLine.
    struct Plain {
        Address address{};
        AddressKind kind = AddressKind::Single;
    };
    std::optional<Plain> plain;
};

// Scans the line at the start of data. listEnds: data holds all the rest of the list (a
// streaming reader holds at least maxMotorLineBytes + 2 characters otherwise). The scan's
// views stay valid as long as data and the scan itself.
void scanMotorLine(std::string_view data, bool listEnds, MotorLineScan& scan);

// A motor of a site: the one type of a motor, for the lists, the batch, the exports and the
// site window. Its texts are UTF-8 (a list's reading refuses any that is not).
struct Motor {
    Address address{};
    std::string addressText;  // as written or typed, six hexadecimal digits in either case
    AddressKind kind = AddressKind::Single;
    std::string label;  // the user's name for it; may be empty
    std::string room;
    std::string note;

    friend bool operator==(const Motor&, const Motor&) = default;
};

// Checks a scanned line: true and the motor, or false and what is wrong with it in one line,
// its problems separated by "; ". The motor's texts are assigned, so a caller that reads line
// after line into one entry makes no allocation once they have grown.
bool checkMotorLine(const MotorLineScan& scan, Motor& motor, std::string& problems);

// A motor as its line gives it, the texts still those of the scan (valid as long as it is): for
// a reader that writes each motor out as it reads it, and keeps none.
struct MotorLineView {
    Address address{};
    std::string_view addressText;
    AddressKind kind = AddressKind::Single;
    std::string_view label;
    std::string_view room;
    std::string_view note;
};

// The same judgement, the motor's texts left in the scan.
bool checkMotorLine(const MotorLineScan& scan, MotorLineView& motor, std::string& problems);

// ---- A list a line at a time ----

// Where the bytes of a list come from.
class ListSource {
public:
    virtual ~ListSource() = default;
    // Up to size bytes into `into`; fewer only where the list ends or reading fails.
    virtual std::size_t read(char* into, std::size_t size) = 0;
    // Whether reading failed, rather than the list ending.
    [[nodiscard]] virtual bool failed() const = 0;
};

// A list held in memory.
class TextSource final : public ListSource {
public:
    explicit TextSource(std::string_view text) : text_(text) {}
    std::size_t read(char* into, std::size_t size) override;
    [[nodiscard]] bool failed() const override { return false; }

private:
    std::string_view text_;
};

// Reads a list one line at a time, whatever its length, passing over blank lines, comments
// and a byte order mark. A line of the plain form most lists are made of (six hexadecimal
// digits, a comma, "single" or "group", a comma and a label of printable ASCII that neither
// starts with a quote or a blank nor ends with a blank) is read and judged in one walk; its
// scan and its judgement are those scanMotorLine and checkMotorLine give.
class MotorListReader {
public:
    enum class Step : std::uint8_t {
        Line,     // a motor's line, scanned (scan())
        End,      // the list has ended
        TooLong,  // a line is longer than maxMotorLineBytes; nothing after it is read
        Failed,   // the source could not be read
    };

    explicit MotorListReader(ListSource& source);

    Step next();
    // Why the list is no text to read, found in its first bytes: "saved as UTF-16 ...",
    // "not a text file ..."; then next() gives End at once. Empty for a text.
    [[nodiscard]] const std::string& notText() const { return notText_; }
    // The line read by the last next(); its views stay valid until the next one.
    [[nodiscard]] const MotorLineScan& scan() const { return scan_; }
    // The number of the line where reading stands, from 1: the one just read, or where it
    // stopped.
    [[nodiscard]] std::size_t lineNumber() const { return number_; }

private:
    // Enough characters to decide about any line: the longest and a carriage return and line
    // feed after it.
    static constexpr std::size_t window = maxMotorLineBytes + 2;
    // What one read asks of the source. The buffer is left unset, as a short list in memory
    // fills only its start.
    static constexpr std::size_t bufferSize = std::size_t{1} << 16;
    static_assert(bufferSize > window);

    bool fill();
    void consume(std::string_view data, std::size_t end, std::size_t breaks);

    ListSource& source_;
    std::unique_ptr<char[]> buffer_;
    std::size_t begin_ = 0;  // the first character not read yet
    std::size_t end_ = 0;    // the end of what the buffer holds
    bool ended_ = false;     // the list has no more characters than the buffer holds
    bool started_ = false;
    std::size_t breaks_ = 0;  // line breaks passed so far
    std::size_t number_ = 1;
    MotorLineScan scan_;
    std::string notText_;
};

// Why the first bytes of a list are no UTF-8 text, in a few words that name what they likely
// are: UTF-16 (by its byte order mark, or by a zero byte beside each ASCII character), or not
// a text file at all (a tenth or more of its first bytes zero bytes or control characters).
// Empty for what may be a text; a stray control character or bytes that are no UTF-8 in a
// text are found line by line.
[[nodiscard]] std::string notUtf8Text(std::string_view start);

// ---- A list in memory ----

struct MotorListReading {
    std::vector<Motor> motors;
    // "line 3: kind \"both\": must be single or group", one per bad line, in order.
    std::vector<std::string> problems;

    [[nodiscard]] bool ok() const { return problems.empty(); }
};

// Reads a whole list held in memory: every line, however many are bad.
[[nodiscard]] MotorListReading readMotorList(std::string_view text);

// For each motor of a list, the place of the first motor with its address and kind: its own
// place for the first, an earlier one for a motor that repeats it. Two motors of one address
// and kind are one target on the bus: a frame seen there is named after the first.
[[nodiscard]] std::vector<std::size_t> firstOfAddress(std::span<const Motor> motors);

// A motor's line, without its line break, in the form that keeps room and note: the label
// always quoted; room and note left out where empty (the note too where the room is the last).
[[nodiscard]] std::string writeMotorLine(const Motor& motor);

}  // namespace rvx
