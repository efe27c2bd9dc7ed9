// The all-commands generation: frames, address encoding, order of effects and failures.
#include "rvx/generator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "rvx/catalogue.h"
#include "rvx/memory_fields.h"
#include "rvx/notation.h"
#include "worked_example.h"

namespace {

using rvx::AddressKind;
using rvx::DataFailure;
using rvx::GenerationOutcome;
using rvx::ParameterField;

constexpr std::size_t rowUp = 0, rowDown = 1, rowGoToIp = 5, rowGoToPercent = 6, rowJogUp = 7,
                      rowLockUp = 9, rowLockAtIp = 12, rowUnlock = 13;

rvx::MemoryFields fieldsFor(const std::string& address, AddressKind kind = AddressKind::Single) {
    rvx::MemoryFields fields;
    fields.kind = kind;
    fields.address[static_cast<std::size_t>(kind)] = address;
    return fields;
}

GenerationOutcome generate(rvx::MemoryFields& fields) {
    rvx::CommandStringEngine engine(fields);
    return engine.getAddress();
}

// The 16-bit sum of the first twelve bytes of a byte text, and its last two bytes.
unsigned sumOfTwelve(const std::string& text) {
    unsigned sum = 0;
    for (std::size_t k = 0; k < 12; ++k) {
        sum += std::stoul(text.substr(3 * k, 2), nullptr, 16);
    }
    return sum & 0xFFFFU;
}
unsigned lastTwo(const std::string& text) {
    return std::stoul(text.substr(36, 2), nullptr, 16) * 256 +
           std::stoul(text.substr(39, 2), nullptr, 16);
}

bool isByteText(const std::string& text) {
    if (text.size() != 41) {
        return false;
    }
    for (std::size_t k = 0; k < text.size(); ++k) {
        const char c = text[k];
        const bool ok =
            (k % 3 == 2) ? c == ' ' : ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'));
        if (!ok) {
            return false;
        }
    }
    return true;
}

TEST(WorkedExamples, SingleMotor123456WithTheStartValues) {
    auto fields = fieldsFor("123456");
    EXPECT_TRUE(generate(fields).written());
    for (std::size_t row = 0; row < rvx::commandCount; ++row) {
        EXPECT_EQ(fields.outputs[row], strings123456[row]) << rvx::commandCatalogue[row].name;
        // Each text comes with the bytes it was written from.
        ASSERT_TRUE(fields.frames[row]);
        EXPECT_EQ(rvx::writeFrame(*fields.frames[row]), strings123456[row]);
    }
}

TEST(WorkedExamples, GroupFramesCarryTheAddressInTheFirstField) {
    auto fields = fieldsFor("123456", AddressKind::Group);
    generate(fields);
    EXPECT_EQ(fields.outputs[rowUp], "AB F1 FF 12 34 56 FF FF FF FE FF FF 09 30");

    auto small = fieldsFor("0A0B0C", AddressKind::Group);
    small.parameter(ParameterField::RU) = "250";
    small.parameter(ParameterField::Pct) = "100";
    small.parameter(ParameterField::MSU) = "255";
    generate(small);
    EXPECT_EQ(small.outputs[rowDown], "AB F1 FF 0A 0B 0C FF FF FF FD 05 FF 07 BA");
    EXPECT_EQ(small.outputs[rowGoToPercent], "AB F1 FF 0A 0B 0C FF FF FF EF 00 FF 07 A7");
    EXPECT_EQ(small.outputs[rowJogUp], "AB F1 FF 0A 0B 0C FF FF FF F5 00 FF 07 AD");
}

TEST(WorkedExamples, LargestAndSmallestFrameSums) {
    auto largest = fieldsFor("FFFFFF");
    generate(largest);
    EXPECT_EQ(largest.outputs[rowUp], "AB F1 FF FF FF FF FF FF FF FE FF FF 0B 91");

    auto smallest = fieldsFor("000000", AddressKind::Group);
    smallest.parameter(ParameterField::Pct) = "100";
    generate(smallest);
    EXPECT_EQ(smallest.outputs[rowGoToPercent], "AB F1 FF 00 00 00 FF FF FF EF 00 FF 07 86");
}

TEST(WorkedExamples, ParameterBytesAtTheirLimits) {
    auto fields = fieldsFor("123456");
    fields.parameter(ParameterField::IP) = "16";
    fields.parameter(ParameterField::IPL) = "16";
    fields.parameter(ParameterField::L) = "100";
    generate(fields);
    EXPECT_EQ(fields.outputs[rowGoToIp].substr(27, 5), "FB F0");
    EXPECT_EQ(fields.outputs[rowLockAtIp].substr(27, 8), "FB EF 9B");
    for (std::size_t row = rowLockUp; row <= rowUnlock; ++row) {
        EXPECT_EQ(fields.outputs[row].substr(33, 2), "9B") << rvx::commandCatalogue[row].name;
    }
}

TEST(ChecksumBytes, EachGetsItsLeadingZero) {
    // 0x894 + 0x71 = 0x905: both checksum bytes below 0x10.
    auto both = fieldsFor("000071");
    generate(both);
    EXPECT_EQ(both.outputs[rowUp], "AB F1 FF FF FF FF 00 00 71 FE FF FF 09 05");
    // 0x894 + 0x1C8 = 0xA5C.
    auto high = fieldsFor("FFC900");
    generate(high);
    EXPECT_EQ(high.outputs[rowUp], "AB F1 FF FF FF FF FF C9 00 FE FF FF 0A 5C");
}

TEST(AddressEncoding, LowerCaseIsWrittenBackUpperCased) {
    auto fields = fieldsFor("a1b2c3");
    rvx::CommandStringEngine engine(fields);
    engine.getAddress();
    EXPECT_EQ(fields.address[0], "A1B2C3");
    EXPECT_EQ(engine.state().strManInput, "A1B2C3");
    EXPECT_EQ(engine.state().total, 0x216);
    EXPECT_EQ(fields.outputs[rowUp].substr(18, 8), "A1 B2 C3");
    EXPECT_EQ(fields.outputs[rowUp].substr(9, 8), "FF FF FF");
}

TEST(AddressEncoding, GroupAddressIsReadFromTheGroupField) {
    auto fields = fieldsFor("a1b2c3", AddressKind::Group);
    fields.address[0] = "000000";  // the single motor field is not read
    generate(fields);
    EXPECT_EQ(fields.address[1], "A1B2C3");
    EXPECT_EQ(fields.address[0], "000000");
    EXPECT_EQ(fields.outputs[rowUp].substr(9, 8), "A1 B2 C3");
}

TEST(AddressEncoding, SmallBytesKeepTwoDigits) {
    auto fields = fieldsFor("00000F");
    rvx::CommandStringEngine engine(fields);
    engine.getAddress();
    EXPECT_EQ(fields.outputs[rowUp].substr(18, 8), "00 00 0F");
    EXPECT_EQ(engine.state().X, "0");
    EXPECT_EQ(engine.state().Y, "0");
    EXPECT_EQ(engine.state().z, "0");

    auto largest = fieldsFor("FFFFFF");
    rvx::CommandStringEngine largestEngine(largest);
    largestEngine.getAddress();
    EXPECT_EQ(largestEngine.state().total, 765);
}

TEST(AddressEncoding, OnlyTheFirstSixCharactersCount) {
    auto fields = fieldsFor("1234567");
    generate(fields);
    EXPECT_EQ(fields.address[0], "123456");
    EXPECT_EQ(fields.outputs[rowUp], "AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30");
}

TEST(AddressEncoding, RefusalWritesErrorIntoBothFieldsAndNoFrame) {
    const char* refused[] = {"12345G", "12 456", "12345", "", "+12345", "12345\xc3\xa4"};
    for (const char* address : refused) {
        auto fields = fieldsFor(address);
        fields.address[1] = "ABCDEF";
        fields.outputs.fill("old");
        EXPECT_EQ(generate(fields).result, GenerationOutcome::Result::AddressRefused) << address;
        EXPECT_EQ(fields.address[0], "ERROR") << address;
        EXPECT_EQ(fields.address[1], "ERROR") << address;
        for (const auto& output : fields.outputs) {
            EXPECT_EQ(output, "old") << address;
        }
    }
}

// Fields that log every operation and can react to a change of the address text, as the
// window's change reaction does.
class LoggingFields final : public rvx::CalculationFields {
public:
    rvx::MemoryFields memory;
    mutable std::vector<std::string> log;
    std::function<void()> onAddressChange;

    AddressKind addressKind() const override {
        log.emplace_back("kind");
        return memory.kind;
    }
    std::string addressText(AddressKind field) const override {
        log.push_back("read address " + std::to_string(static_cast<int>(field)));
        return memory.addressText(field);
    }
    void setAddressText(AddressKind field, const std::string& text) override {
        log.push_back("write address " + std::to_string(static_cast<int>(field)) + " " + text);
        const bool changed = memory.addressText(field) != text;
        memory.setAddressText(field, text);
        if (changed && onAddressChange) {
            onAddressChange();
        }
    }
    std::string parameterText(ParameterField field) const override {
        log.push_back("read " + std::string(rvx::parameterInfo(field).fieldName));
        return memory.parameterText(field);
    }
    void setOutputText(std::size_t row, const std::string& text,
                       const rvx::MadeFrame* frame) override {
        log.push_back("write " + std::string(rvx::commandCatalogue[row].outputField));
        memory.setOutputText(row, text, frame);
    }
};

TEST(OrderOfEffects, AddressFirstThenEachRowReadAndWrittenInTurn) {
    LoggingFields fields;
    fields.memory.address[0] = "123456";
    rvx::CommandStringEngine engine(fields);
    engine.getAddress();
    const std::vector<std::string> expected = {
        "kind",          "read address 0", "write address 0 123456",
        "kind",          "write txtUP",    "read txtRU",
        "write txtDOWN", "write txtSTOP",  "write txtNIPU",
        "write txtNIPD", "read txtIP",     "write txtGIP",
        "read txtPct",   "write txtGP",    "read txtMSU",
        "write txtJU",   "read txtMSD",    "write txtJD",
        "read txtL",     "write txtLU",    "read txtL",
        "write txtLD",   "read txtL",      "write txtLC",
        "read txtL",     "read txtIPL",    "write txtLIP",
        "read txtL",     "write txtUL",
    };
    EXPECT_EQ(fields.log, expected);
}

TEST(OrderOfEffects, RefusedAddressWritesErrorSingleFieldFirst) {
    LoggingFields fields;
    fields.memory.kind = AddressKind::Group;
    fields.memory.address[1] = "12345g";
    rvx::CommandStringEngine engine(fields);
    engine.getAddress();
    const std::vector<std::string> expected = {
        "kind",
        "read address 1",
        "write address 1 12345G",
        "write address 0 ERROR",
        "write address 1 ERROR",
    };
    EXPECT_EQ(fields.log, expected);
}

// The window resets four parameter fields when the address text changes. A lower-case
// address is written back upper-cased before any parameter is read, so the frames of that
// same run use the reset values; the three other fields keep what was typed.
TEST(OrderOfEffects, ChangeReactionOfTheAddressRunsBeforeParametersAreRead) {
    for (const bool lowerCase : {true, false}) {
        LoggingFields fields;
        fields.memory.address[0] = lowerCase ? "123abc" : "123ABC";
        fields.memory.parameter(ParameterField::IP) = "5";
        fields.memory.parameter(ParameterField::Pct) = "0";
        fields.memory.parameter(ParameterField::L) = "100";
        fields.memory.parameter(ParameterField::IPL) = "16";
        fields.memory.parameter(ParameterField::RU) = "12.5";
        fields.memory.parameter(ParameterField::MSU) = "255";
        fields.onAddressChange = [&fields] {
            fields.memory.parameter(ParameterField::IP) = "1";
            fields.memory.parameter(ParameterField::Pct) = "50";
            fields.memory.parameter(ParameterField::L) = "1";
            fields.memory.parameter(ParameterField::IPL) = "1";
        };
        rvx::CommandStringEngine engine(fields);
        engine.getAddress();
        const auto& out = fields.memory.outputs;
        SCOPED_TRACE(lowerCase ? "lower case" : "upper case");
        EXPECT_EQ(out[rowGoToIp].substr(30, 2), lowerCase ? "FF" : "FB");
        EXPECT_EQ(out[rowGoToPercent].substr(30, 2), lowerCase ? "80" : "FF");
        EXPECT_EQ(out[rowLockAtIp].substr(30, 5), lowerCase ? "FE FE" : "EF 9B");
        EXPECT_EQ(out[rowDown].substr(30, 2), "F2");  // 255 - 12.5 = 242.5 -> 242
        EXPECT_EQ(out[rowJogUp].substr(30, 2), "00");
    }
}

TEST(Failures, TextThatIsNoNumberStopsTheRunAtItsRow) {
    auto fields = fieldsFor("123456");
    fields.parameter(ParameterField::Pct) = "abc";
    fields.outputs.fill("old");
    const auto outcome = generate(fields);
    EXPECT_EQ(outcome.result, GenerationOutcome::Result::DataError);
    EXPECT_EQ(outcome.row, rowGoToPercent);
    EXPECT_EQ(outcome.failure.reason, DataFailure::Reason::NotANumber);
    EXPECT_EQ(outcome.failure.field, ParameterField::Pct);
    EXPECT_EQ(outcome.failure.describe(), "txtPct: \"abc\" is no number");
    for (std::size_t row = 0; row < rvx::commandCount; ++row) {
        if (row < rowGoToPercent) {
            EXPECT_NE(fields.outputs[row], "old") << row;
            EXPECT_EQ(fields.outputs[row].size(), 41U) << row;
        } else {
            EXPECT_EQ(fields.outputs[row], "old") << row;
        }
    }
}

TEST(Failures, EmptyPriorityLeavesTheFiveLockStringsUntouched) {
    auto fields = fieldsFor("123456");
    fields.parameter(ParameterField::L) = "";
    fields.outputs.fill("old");
    const auto outcome = generate(fields);
    EXPECT_EQ(outcome.result, GenerationOutcome::Result::DataError);
    EXPECT_EQ(outcome.row, rowLockUp);
    for (std::size_t row = 0; row < rvx::commandCount; ++row) {
        EXPECT_EQ(fields.outputs[row] == "old", row >= rowLockUp) << row;
    }
}

TEST(Failures, ValuesBeyondSixteenBitsOverflow) {
    struct Case {
        ParameterField field;
        const char* text;
        std::size_t failingRow;
    };
    const Case cases[] = {
        {ParameterField::RU, "1e10", rowDown},
        {ParameterField::RU, "-32000", rowDown},  // 32255 fits, the frame sum does not
        {ParameterField::Pct, "20000", rowGoToPercent},
        {ParameterField::Pct, "-12850.2", rowGoToPercent},  // 255 - (-32768)
        {ParameterField::IPL, "-40000", rowLockAtIp},
    };
    for (const auto& c : cases) {
        auto fields = fieldsFor("123456");
        fields.parameter(c.field) = c.text;
        fields.outputs.fill("old");
        const auto outcome = generate(fields);
        EXPECT_EQ(outcome.result, GenerationOutcome::Result::DataError) << c.text;
        EXPECT_EQ(outcome.row, c.failingRow) << c.text;
        EXPECT_EQ(outcome.failure.reason, DataFailure::Reason::Overflow) << c.text;
        EXPECT_EQ(outcome.failure.field, c.field) << c.text;
        EXPECT_NE(fields.outputs[c.failingRow - 1], "old") << c.text;
        EXPECT_EQ(fields.outputs[c.failingRow], "old") << c.text;
    }
}

TEST(OutOfRangeValues, ARowWithAByteOutsideFFGetsNoString) {
    const std::pair<ParameterField, const char*> cases[] = {
        {ParameterField::RU, "256"},     {ParameterField::RU, "-1"},  {ParameterField::IP, "0"},
        {ParameterField::IP, "300"},     {ParameterField::Pct, "-1"}, {ParameterField::Pct, "101"},
        {ParameterField::MSU, "-30000"}, {ParameterField::L, "256"},  {ParameterField::IPL, "-5"},
    };
    for (const auto& [field, text] : cases) {
        auto fields = fieldsFor("123456");
        fields.parameter(field) = text;
        EXPECT_TRUE(generate(fields).written()) << text;
        for (std::size_t row = 0; row < rvx::commandCount; ++row) {
            bool uses = false;
            for (const auto& parameter : rvx::commandCatalogue[row].parameterBytes()) {
                uses = uses || parameter.field == field;
            }
            if (uses) {
                EXPECT_EQ(fields.outputs[row], "") << text << " " << row;
                EXPECT_FALSE(fields.frames[row]) << text << " " << row;
            } else {
                EXPECT_TRUE(isByteText(fields.outputs[row])) << text << " " << row;
            }
        }
    }
}

TEST(OutOfRangeValues, ByteValuesInsideFFAreWrittenWithTwoDigits) {
    auto fields = fieldsFor("123456");
    fields.parameter(ParameterField::IP) = "250";  // 256 - 250 = 06
    fields.parameter(ParameterField::L) = "250";   // 255 - 250 = 05
    generate(fields);
    EXPECT_EQ(fields.outputs[rowGoToIp].substr(27, 5), "FB 06");
    EXPECT_EQ(fields.outputs[rowLockUp].substr(27, 8), "FE FF 05");
    for (const auto& output : fields.outputs) {
        EXPECT_TRUE(isByteText(output)) << output;
        EXPECT_EQ(lastTwo(output), sumOfTwelve(output)) << output;
    }
}

TEST(Runs, TwoRunsWithTheSameFieldsGiveTheSameTexts) {
    auto fields = fieldsFor("00000F");
    fields.parameter(ParameterField::RU) = "250";
    rvx::CommandStringEngine engine(fields);
    engine.getAddress();
    const auto first = fields.outputs;
    fields.address[0] = "FFFFFF";
    engine.getAddress();
    fields.address[0] = "00000F";
    engine.getAddress();
    EXPECT_EQ(fields.outputs, first);
}

// Many addresses, both kinds and admitted values (fractions included): every string is
// byte text of 41 characters whose last two bytes are the sum of the first twelve.
TEST(Sweep, EveryStringFromAdmittedValuesIsAWellFormedFrame) {
    std::mt19937 random(20261207);
    const auto pick = [&random](double low, double high, bool whole) {
        std::uniform_real_distribution<double> value(low, high);
        const double v = value(random);
        return whole ? std::round(v) : v;
    };
    for (int run = 0; run < 3000; ++run) {
        char address[7];
        std::snprintf(address, sizeof address, "%06X", static_cast<unsigned>(random() & 0xFFFFFFU));
        const auto kind = (run % 2 == 0) ? AddressKind::Single : AddressKind::Group;
        auto fields = fieldsFor(address, kind);
        const bool whole = run % 3 != 0;
        const double down = pick(9, 255, whole);
        fields.parameter(ParameterField::RU) = std::to_string(down < 10 ? 0 : down);
        fields.parameter(ParameterField::IP) = std::to_string(pick(1, 16, whole));
        fields.parameter(ParameterField::Pct) = std::to_string(pick(0, 100, whole));
        fields.parameter(ParameterField::MSU) = std::to_string(pick(0, 255, whole));
        fields.parameter(ParameterField::MSD) = std::to_string(pick(0, 255, whole));
        fields.parameter(ParameterField::L) = std::to_string(pick(1, 100, whole));
        fields.parameter(ParameterField::IPL) = std::to_string(pick(1, 16, whole));
        generate(fields);
        const std::string bytes = std::string(address).substr(0, 2) + " " +
                                  std::string(address).substr(2, 2) + " " +
                                  std::string(address).substr(4, 2);
        for (const auto& output : fields.outputs) {
            ASSERT_TRUE(isByteText(output)) << address << ": " << output;
            ASSERT_EQ(lastTwo(output), sumOfTwelve(output)) << output;
            ASSERT_EQ(output.substr(kind == AddressKind::Group ? 9 : 18, 8), bytes) << output;
            ASSERT_EQ(output.substr(kind == AddressKind::Group ? 18 : 9, 8), "FF FF FF");
        }
    }
}

}  // namespace
