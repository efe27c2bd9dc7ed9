// What a frame is, told to people and programs: the report of a decoded frame (--decode), the
// line the monitor gives every frame and every run of noise it sees on the bus (--monitor and
// the site window's monitor), and the line the send log gives a frame sent. Every front end
// words these through here, so that each says the same of the same bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "rvx/address.h"
#include "rvx/catalogue.h"
#include "rvx/decode.h"
#include "rvx/frame.h"
#include "rvx/notation.h"
#include "rvx/scanner.h"

namespace rvx {

// ---- A decoded frame ----

// An address as the reports tell it: "single motor 123456", "group 0A0B0C", or "FFFFFF, single
// motor or group" where the kind is not known.
[[nodiscard]] std::string addressInWords(std::optional<AddressKind> kind, const Address& address);

// Lines "Name:  value": the frame, its notation, command, address, parameters, every finding
// and note, and the result.
[[nodiscard]] std::string decodeText(std::span<const std::uint8_t> bytes, Notation notation,
                                     const DecodedFrame& decoded);

// One JSON object with the keys address, command, findings, frame, kind, notation, notes,
// parameters and valid, in that order (the members of findings and parameters in alphabetical
// order too), each member on a line of its own.
[[nodiscard]] std::string decodeJson(std::span<const std::uint8_t> bytes, Notation notation,
                                     const DecodedFrame& decoded);

// One line without its line break: the bytes, the command, the address, the parameters and
// the verdict; parts apart by two blanks.
[[nodiscard]] std::string decodeSummary(std::span<const std::uint8_t> bytes,
                                        const DecodedFrame& decoded);

// "valid", or "not valid: " and the findings, "; " between them.
[[nodiscard]] std::string verdictOf(const DecodedFrame& decoded);

// ---- What the monitor saw ----

// A frame or a run of noise as the monitor shows it in its columns.
struct MonitorReport {
    bool frame = false;
    DecodedFrame decoded;  // a frame's
    std::string bytes;     // the bytes as byte text
    std::string command;   // "Up", "unknown command"; empty for noise
    std::string address;   // "123456"; empty where none is known, and for noise
    std::string verdict;   // verdictOf the frame, or "noise, 2 bytes"
};

[[nodiscard]] MonitorReport reportRun(std::span<const std::uint8_t> bytes, ScannedRun::Kind kind);

// What a window adds to a line of its own: the label of the motor where its list names it,
// and that the program itself sent the frame.
struct MonitorMarks {
    std::string_view label;  // left out when empty
    bool sent = false;       // written only when true
};

// The line of JSON (without its line break) for a frame: the keys of decodeJson with notation
// null, since no text was read, and time (UTC) when the frame arrived; for noise bytes, noise
// (true) and time. Marks go in among the keys in alphabetical order.
[[nodiscard]] std::string monitorJsonLine(std::span<const std::uint8_t> bytes,
                                          ScannedRun::Kind kind, std::int64_t utcMs,
                                          const MonitorMarks& marks = {});

// The line of text: the clock time, the bytes and what they are ("  noise, 2 bytes" for noise).
[[nodiscard]] std::string monitorTextLine(std::span<const std::uint8_t> bytes,
                                          ScannedRun::Kind kind, std::int64_t localMs);

// ---- A frame sent ----

struct SentFrame {
    Frame frame{};
    CommandId command = CommandId::Up;
    AddressKind kind = AddressKind::Single;
    Address address{};
    std::int64_t utcMs = 0;  // when the send started
    std::string target;      // where it went, as the user names it
    std::string result;      // how it ended, in a few words
    bool sent = false;       // it left, or the bridge took it
};

// The send log's line of JSON: the monitor's keys for the same facts (address, command, frame,
// kind, time) and result, sent and target, in alphabetical order.
[[nodiscard]] std::string sentJsonLine(const SentFrame& sent);

// ---- Times ----

// A time in milliseconds since 1970-01-01 UTC as ISO 8601 in UTC: "2025-06-02T07:22:26.540Z".
[[nodiscard]] std::string utcTimeText(std::int64_t utcMs);
// The clock time of the day of a time on a local clock (milliseconds since 1970 as that clock
// counts them): "09:22:24.895".
[[nodiscard]] std::string clockTimeText(std::int64_t localMs);

}  // namespace rvx
