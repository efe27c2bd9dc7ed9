// The all-commands generation: getAddress and checkSUM.
//
// The engine owns the calculation state and nothing else. Everything it reads or writes on
// screen goes through CalculationFields, which its owner (the main window, or an in-memory set
// of fields) supplies. The order of those calls is part of the behaviour, because a window
// reacts to each text change as it happens:
//   1. the chosen address kind, then the active address field is read once and written back,
//      upper-cased and cut to six characters (or "ERROR" is written into both address fields,
//      single motor first, and the run ends);
//   2. for each of the fourteen commands in catalogue order: its parameter fields are read,
//      then its output field is written, before the next command starts.
// A parameter text that is no number, or a value that leaves 16 bits, ends the run with a data
// error: the rows before it have been written, the rows from it on are untouched.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "rvx/address.h"
#include "rvx/catalogue.h"
#include "rvx/failure.h"
#include "rvx/frame.h"
#include "rvx/made_frame.h"

namespace rvx {

// The few field operations the generation needs of its owner.
class CalculationFields {
public:
    virtual ~CalculationFields() = default;

    // Which address option is chosen: Group when "Group Address" is, Single otherwise.
    [[nodiscard]] virtual AddressKind addressKind() const = 0;
    [[nodiscard]] virtual std::string addressText(AddressKind field) const = 0;
    // Writing a field the text it already holds must change nothing.
    virtual void setAddressText(AddressKind field, const std::string& text) = 0;
    [[nodiscard]] virtual std::string parameterText(ParameterField field) const = 0;
    // row indexes commandCatalogue. made: the frame the text was written from, with its origin,
    // or null for a row that got no frame (its text is then empty).
    virtual void setOutputText(std::size_t row, const std::string& text, const MadeFrame* made) = 0;

protected:
    CalculationFields() = default;
    CalculationFields(const CalculationFields&) = default;
    CalculationFields& operator=(const CalculationFields&) = default;
};

// The working values of getAddress and checkSUM, under their own names. Arrays are indexed
// from 1, like the address digits, frame bytes and checksum digits they hold; element 0 is
// not used. They keep the values of the last run until the next one overwrites them.
struct CalculationState {
    std::string strManInput;                     // the address, first six characters, upper case
    std::array<std::string, 7> strAddrDigit;     // its characters, one each
    std::array<std::int16_t, 7> intAddrDigit{};  // their values 0..15
    std::array<std::int16_t, 9> intFrameByte{};  // 1-3 address bytes, 4-8 parameter bytes
    std::int16_t total = 0;                      // sum of the three address bytes
    std::int16_t intCount = 0;                   // counter of the address loops
    std::int16_t i = 0;                          // counter of the checksum digit loops
    std::string strSum;                          // frame sum, upper-case hex, no leading zeros
    std::array<std::string, 5> strSumDigit;      // its characters
    std::array<std::int16_t, 5> intSumDigit{};   // their values
    std::array<std::int16_t, 5> intCheck{};      // 1: checksum high byte, 2: low byte
    // "0" where the checksum high byte (p), low byte (q) or address byte 1, 2, 3 (X, Y, z)
    // has a single hexadecimal digit and needs a leading zero, "" otherwise.
    std::string p, q, X, Y, z;
};

// How a run of getAddress ended.
struct GenerationOutcome {
    enum class Result : std::uint8_t {
        Written,         // all fourteen rows written
        AddressRefused,  // "ERROR" written into both address fields; no row written
        DataError,       // rows before `row` written, the others untouched; failure says why
    };
    Result result = Result::Written;
    std::size_t row = 0;
    DataFailure failure;
    // The number each parameter field held as the run read it (a field read by several rows,
    // the lock priority, as it was last read). A field the run did not reach holds NaN: every
    // field after an address refused, the fields from the failing one on after a data error.
    ParameterValues values = notRead();

    [[nodiscard]] static ParameterValues notRead();

    [[nodiscard]] bool written() const { return result == Result::Written; }
};

class CommandStringEngine {
public:
    explicit CommandStringEngine(CalculationFields& fields) : fields_(fields) {}

    // Reads the address and the parameter fields and writes the fourteen command strings.
    GenerationOutcome getAddress();

    // The first step of getAddress alone: the active address field written back as its first
    // six characters, upper-cased. Its owner may run it ahead of getAddress so that the
    // field's change reaction has run before the owner writes fields the generation reads.
    void upperCaseAddress();

    // Splits strSum into the two checksum bytes intCheck(1), intCheck(2) and sets the prefixes.
    void checkSUM();

    [[nodiscard]] CalculationState& state() { return state_; }
    [[nodiscard]] const CalculationState& state() const { return state_; }

private:
    void writeBackAddress(AddressKind source);
    bool encodeAddress(AddressKind source);
    // A failure where the row could not be formed; nullopt once its output field is written.
    std::optional<DataFailure> formRow(std::size_t row, AddressKind kind);

    CalculationFields& fields_;
    CalculationState state_;
    ParameterValues read_ = GenerationOutcome::notRead();  // during a run: the values read
};

}  // namespace rvx
