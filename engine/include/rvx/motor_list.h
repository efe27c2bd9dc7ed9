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
// scanMotorLine reads the parts of one line from the start of a buffer, so that a reader that
// streams a list through a buffer of fixed size and one that holds the whole text read alike.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
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
};

// Scans the line at the start of data. listEnds: data holds all the rest of the list (a
// streaming reader holds at least maxMotorLineBytes + 2 characters otherwise). The scan's
// views stay valid as long as data and the scan itself.
void scanMotorLine(std::string_view data, bool listEnds, MotorLineScan& scan);

// A motor as a list gives it.
struct MotorEntry {
    Address address{};
    std::string addressText;  // as written in the list
    AddressKind kind = AddressKind::Single;
    std::string label;
    std::string room;
    std::string note;
};

// Checks a scanned line: true and the motor, or false and what is wrong with it in one line,
// its problems separated by "; ". The motor's texts are assigned, so a caller that reads line
// after line into one entry makes no allocation once they have grown.
bool checkMotorLine(const MotorLineScan& scan, MotorEntry& motor, std::string& problems);

struct MotorListReading {
    std::vector<MotorEntry> motors;
    // "line 3: kind \"both\": must be single or group", one per bad line, in order.
    std::vector<std::string> problems;

    [[nodiscard]] bool ok() const { return problems.empty(); }
};

// Reads a whole list held in memory.
[[nodiscard]] MotorListReading readMotorList(std::string_view text);

// A motor's line, without its line break, in the form that keeps room and note: the label
// always quoted; room and note left out where empty (the note too where the room is the last).
[[nodiscard]] std::string writeMotorLine(const MotorEntry& motor);

}  // namespace rvx
