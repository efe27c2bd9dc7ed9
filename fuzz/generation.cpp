// Fuzz target: the whole generation, getAddress with checkSUM, from any address and any
// parameter texts, through a set of fields in memory.
//
// Input: lines. The first says the address kind ("G..." group, anything else single motor),
// the second is the address text, the next seven the texts of txtRU, txtIP, txtPct, txtMSU,
// txtMSD, txtL and txtIPL; a missing line leaves the field at its start text.
//
// Invariants:
//   - the run ends written, with the address refused, or with a data error;
//   - the rows written are the first ones in catalogue order, each holding the empty text or a
//     41-character byte text whose checksum verifies, with the row's codes and the address in
//     the place of its kind; the rows after a failure are untouched; a refused address leaves
//     every row untouched and "ERROR" in both address fields;
//   - a data error names the first untouched row and one of its parameter fields;
//   - every row written carries its bytes, and they are the frame that frameFor makes from the
//     address and the numbers of the fields;
//   - every row written carries its origin: its command, the kind, the address and the numbers
//     of its fields, as the outcome hands them back; its values are refused by refusedValue
//     exactly when the decoder calls the frame not valid;
//   - six hexadecimal digits with admitted parameters give fourteen strings and no failure;
//   - a second run on the same engine gives the same result: nothing of a run enters the next.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "byte_text.h"
#include "fuzz_check.h"
#include "rvx/catalogue.h"
#include "rvx/decode.h"
#include "rvx/frame.h"
#include "rvx/generator.h"
#include "rvx/made_frame.h"
#include "rvx/memory_fields.h"
#include "rvx/notation.h"
#include "rvx/number.h"

namespace {

using rvx::AddressKind;
using rvx::ParameterField;

const std::string untouched = "\x01untouched";

constexpr std::array<ParameterField, rvx::parameterFieldCount> lineOrder = {
    ParameterField::RU,  ParameterField::IP, ParameterField::Pct, ParameterField::MSU,
    ParameterField::MSD, ParameterField::L,  ParameterField::IPL,
};

struct Outcome {
    std::array<std::string, rvx::commandCount> outputs;
    std::array<std::string, 2> address;
    std::optional<rvx::GenerationOutcome> failure;  // a data error
    std::array<std::optional<rvx::Frame>, rvx::commandCount> frames;
    std::array<std::optional<rvx::MadeFrame>, rvx::commandCount> made;
    rvx::ParameterValues values{};  // as the outcome hands them back
};

Outcome run(rvx::CommandStringEngine& engine, rvx::MemoryFields& fields,
            const rvx::MemoryFields& start) {
    fields = start;
    Outcome outcome;
    const rvx::GenerationOutcome result = engine.getAddress();
    outcome.values = result.values;
    if (result.result == rvx::GenerationOutcome::Result::DataError) {
        outcome.failure = result;
    }
    outcome.outputs = fields.outputs;
    outcome.frames = fields.frames;
    outcome.made = fields.made;
    outcome.address = fields.address;
    return outcome;
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

std::uint8_t hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<std::uint8_t>(c - '0');
    }
    return static_cast<std::uint8_t>((c | 0x20) - 'a' + 10);
}

void checkString(std::size_t row, const std::string& text, AddressKind kind,
                 const std::string& address) {
    const auto frame = rvx::check::parseByteText(text);
    RVX_FUZZ_CHECK(frame.has_value());
    RVX_FUZZ_CHECK(rvx::check::checksumHolds(*frame));
    const rvx::Command& command = rvx::commandCatalogue[row];
    RVX_FUZZ_CHECK((*frame)[rvx::byteAt::message] == command.messageCode);
    RVX_FUZZ_CHECK((*frame)[rvx::byteAt::length] == rvx::lengthByte);
    RVX_FUZZ_CHECK((*frame)[rvx::byteAt::fixed] == rvx::fixedByte);
    RVX_FUZZ_CHECK((*frame)[rvx::byteAt::command] == command.commandCode);
    const std::size_t at =
        kind == AddressKind::Group ? rvx::byteAt::firstAddress : rvx::byteAt::secondAddress;
    const std::size_t empty =
        kind == AddressKind::Group ? rvx::byteAt::secondAddress : rvx::byteAt::firstAddress;
    RVX_FUZZ_CHECK(address.size() == 6);
    for (std::size_t k = 0; k < 3; ++k) {
        RVX_FUZZ_CHECK((*frame)[at + k] ==
                       16 * hexValue(address[2 * k]) + hexValue(address[2 * k + 1]));
        RVX_FUZZ_CHECK((*frame)[empty + k] == rvx::fixedByte);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start <= input.size() && lines.size() < 2 + lineOrder.size()) {
        const auto end = input.find('\n', start);
        lines.push_back(input.substr(
            start, end == std::string_view::npos ? input.size() - start : end - start));
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }

    rvx::MemoryFields initial;
    initial.kind =
        (!lines.empty() && !lines[0].empty() && (lines[0][0] == 'G' || lines[0][0] == 'g'))
            ? AddressKind::Group
            : AddressKind::Single;
    const std::string address = lines.size() > 1 ? std::string(lines[1]) : std::string();
    initial.address[static_cast<std::size_t>(initial.kind)] = address;
    for (std::size_t k = 0; k < lineOrder.size() && k + 2 < lines.size(); ++k) {
        initial.parameter(lineOrder[k]) = std::string(lines[k + 2]);
    }
    initial.outputs.fill(untouched);

    rvx::MemoryFields fields;
    rvx::CommandStringEngine engine(fields);
    const Outcome first = run(engine, fields, initial);

    // The rows written come first, the untouched ones after them.
    std::size_t written = 0;
    while (written < rvx::commandCount && first.outputs[written] != untouched) {
        ++written;
    }
    for (std::size_t row = written; row < rvx::commandCount; ++row) {
        RVX_FUZZ_CHECK(first.outputs[row] == untouched);
    }

    const bool refused = first.address[static_cast<std::size_t>(initial.kind)] == "ERROR";
    if (refused) {
        RVX_FUZZ_CHECK(!first.failure);
        RVX_FUZZ_CHECK(written == 0);
        RVX_FUZZ_CHECK(first.address[0] == "ERROR" && first.address[1] == "ERROR");
    } else {
        // The address was written back as its first six characters, upper-cased: six
        // hexadecimal digits, since it was accepted.
        const std::string& shown = first.address[static_cast<std::size_t>(initial.kind)];
        RVX_FUZZ_CHECK(shown.size() == 6);
        for (std::size_t k = 0; k < 6; ++k) {
            RVX_FUZZ_CHECK(isHexDigit(shown[k]) && !(shown[k] >= 'a' && shown[k] <= 'f'));
            RVX_FUZZ_CHECK(shown[k] == address[k] || shown[k] == address[k] - 'a' + 'A');
        }
        const auto reading = rvx::readAddress(shown);
        RVX_FUZZ_CHECK(reading.ok());
        rvx::ParameterValues values{};
        for (const auto& info : rvx::parameterCatalogue) {
            values[static_cast<std::size_t>(info.field)] =
                rvx::readNumber(initial.parameters[static_cast<std::size_t>(info.field)])
                    .value_or(0.0);
        }
        for (std::size_t row = 0; row < written; ++row) {
            RVX_FUZZ_CHECK(first.outputs[row].empty() == !first.frames[row].has_value());
            if (!first.outputs[row].empty()) {
                checkString(row, first.outputs[row], initial.kind, shown);
                RVX_FUZZ_CHECK(rvx::writeFrame(*first.frames[row]) == first.outputs[row]);
                RVX_FUZZ_CHECK(rvx::frameFor(rvx::commandCatalogue[row], initial.kind,
                                             reading.bytes, values) == first.frames[row]);
                const auto& made = first.made[row];
                RVX_FUZZ_CHECK(made.has_value() && made->bytes == *first.frames[row]);
                RVX_FUZZ_CHECK(made->command == static_cast<rvx::CommandId>(row));
                RVX_FUZZ_CHECK(made->kind == initial.kind && made->address == reading.bytes);
                for (const auto& parameter : rvx::commandCatalogue[row].parameterBytes()) {
                    const auto k = static_cast<std::size_t>(parameter.field);
                    RVX_FUZZ_CHECK(made->values[k] == values[k]);
                    RVX_FUZZ_CHECK(first.values[k] == values[k]);
                }
                RVX_FUZZ_CHECK(rvx::refusedValue(*made).has_value() ==
                               !rvx::decodeFrame(made->bytes).madeByTool());
            }
        }
        if (first.failure) {
            RVX_FUZZ_CHECK(written < rvx::commandCount);
            RVX_FUZZ_CHECK(first.failure->row == written);
            bool ofThatRow = false;
            for (const auto& parameter : rvx::commandCatalogue[written].parameterBytes()) {
                ofThatRow = ofThatRow || parameter.field == first.failure->failure.field;
            }
            RVX_FUZZ_CHECK(ofThatRow);
        } else {
            RVX_FUZZ_CHECK(written == rvx::commandCount);
        }
    }

    // Six hexadecimal digits and admitted values: the fourteen strings, no failure.
    bool admitted = address.size() == 6;
    for (char c : address) {
        admitted = admitted && isHexDigit(c);
    }
    for (const auto& info : rvx::parameterCatalogue) {
        const auto value =
            rvx::readNumber(initial.parameters[static_cast<std::size_t>(info.field)]);
        admitted = admitted && value && rvx::isAdmitted(info.field, *value);
    }
    if (admitted) {
        RVX_FUZZ_CHECK(!refused && !first.failure);
        for (const auto& output : first.outputs) {
            RVX_FUZZ_CHECK(!output.empty());
        }
    }

    const Outcome second = run(engine, fields, initial);
    RVX_FUZZ_CHECK(second.outputs == first.outputs);
    RVX_FUZZ_CHECK(second.address == first.address);
    RVX_FUZZ_CHECK(second.failure.has_value() == first.failure.has_value());
    return 0;
}
