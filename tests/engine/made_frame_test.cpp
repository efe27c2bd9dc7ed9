// The origin the generation hands with each frame, and the rule whether a frame's values are
// ones the frames admit: the same verdict as the decoder's.
#include "rvx/made_frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "rvx/decode.h"
#include "rvx/memory_fields.h"
#include "rvx/notation.h"
#include "rvx/number.h"

namespace {

using rvx::CommandId;
using rvx::ParameterField;

rvx::ParameterValues with(ParameterField field, double value) {
    rvx::ParameterValues values = rvx::startValues();
    values[static_cast<std::size_t>(field)] = value;
    return values;
}

struct RefusalCase {
    const char* name;
    CommandId command;
    ParameterField field;
    double value;
    const char* sentence;  // empty: admitted
};

class Refusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(Refusal, NamesTheFirstValueRefusedInWords) {
    const RefusalCase& c = GetParam();
    const auto refused = rvx::refusedValue(c.command, with(c.field, c.value));
    if (std::string(c.sentence).empty()) {
        EXPECT_FALSE(refused.has_value()) << refused->sentence;
        return;
    }
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->field, c.field);
    EXPECT_EQ(refused->value, c.value);
    EXPECT_EQ(refused->sentence, c.sentence);
}

INSTANTIATE_TEST_SUITE_P(
    Values, Refusal,
    testing::Values(RefusalCase{"down5", CommandId::Down, ParameterField::RU, 5,
                                "Down value 5 is out of range: 0, or 10 to 255"},
                    RefusalCase{"down0", CommandId::Down, ParameterField::RU, 0, ""},
                    RefusalCase{"down10", CommandId::Down, ParameterField::RU, 10, ""},
                    // 9.6 is written as the byte of 10: the frame is the one of Down 10.
                    RefusalCase{"down9point6", CommandId::Down, ParameterField::RU, 9.6, ""},
                    RefusalCase{"down9point5", CommandId::Down, ParameterField::RU, 9.5,
                                "Down value 9.5 is out of range: 0, or 10 to 255"},
                    RefusalCase{"priority0", CommandId::LockUp, ParameterField::L, 0,
                                "Lock priority 0 is out of range: 1 to 100"},
                    RefusalCase{"unlockPriority0", CommandId::Unlock, ParameterField::L, 0,
                                "Lock priority 0 is out of range: 1 to 100"},
                    RefusalCase{"ip20", CommandId::GoToIp, ParameterField::IP, 20,
                                "IP number 20 is out of range: 1 to 16"},
                    RefusalCase{"percent150", CommandId::GoToPercent, ParameterField::Pct, 150,
                                "Percentage 150 is out of range: 0 to 100"},
                    RefusalCase{"lockIp17", CommandId::LockAtIp, ParameterField::IPL, 17,
                                "Lock IP number 17 is out of range: 1 to 16"},
                    RefusalCase{"jog0", CommandId::JogUp, ParameterField::MSU, 0, ""},
                    // Up reads no field: whatever the Down field holds does not concern it.
                    RefusalCase{"upIgnoresDown", CommandId::Up, ParameterField::RU, 5, ""}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST(Refusal, LockAtIpNamesThePriorityBeforeTheIpNumber) {
    rvx::ParameterValues values = with(ParameterField::L, 0);
    values[static_cast<std::size_t>(ParameterField::IPL)] = 20;
    const auto refused = rvx::refusedValue(CommandId::LockAtIp, values);
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->field, ParameterField::L);
}

// For every command and a spread of values in and out of range, whole and not: a frame the
// generation makes is refused exactly when the decoder calls it not valid.
TEST(Refusal, AgreesWithTheDecoderForEveryCommand) {
    const double tried[] = {-1,    0,     0.4, 0.5,  1,     5,   9.4,  9.5,  9.6,
                            10,    15.5,  16,  16.4, 16.6,  17,  20,   99.6, 100,
                            100.1, 100.3, 101, 150,  254.5, 255, 255.4};
    int refusals = 0;
    int admissions = 0;
    for (const rvx::ParameterInfo& info : rvx::parameterCatalogue) {
        for (const double value : tried) {
            rvx::MemoryFields fields;
            fields.address[0] = "123456";
            fields.parameter(info.field) = rvx::plainDecimal(value);
            rvx::CommandStringEngine engine(fields);
            if (!engine.getAddress().written()) {
                continue;
            }
            for (std::size_t row = 0; row < rvx::commandCount; ++row) {
                if (!fields.made[row]) {
                    continue;  // no byte form: no frame at all
                }
                const rvx::MadeFrame& made = *fields.made[row];
                const bool valid = rvx::decodeFrame(made.bytes).madeByTool();
                const auto refused = rvx::refusedValue(made);
                EXPECT_EQ(valid, !refused.has_value())
                    << rvx::commandCatalogue[row].name << " " << info.fieldName << " " << value;
                ++(refused ? refusals : admissions);
            }
        }
    }
    EXPECT_GT(refusals, 20);
    EXPECT_GT(admissions, 100);
}

// Each frame travels with the command, kind, address and values it was made from.
TEST(Origin, EachFrameCarriesWhatItWasMadeFrom) {
    rvx::MemoryFields fields;
    fields.kind = rvx::AddressKind::Group;
    fields.address[1] = "0a0b0c";
    fields.parameter(ParameterField::Pct) = "25";
    fields.parameter(ParameterField::L) = "7";
    rvx::CommandStringEngine engine(fields);
    const rvx::GenerationOutcome outcome = engine.getAddress();
    ASSERT_TRUE(outcome.written());
    for (std::size_t row = 0; row < rvx::commandCount; ++row) {
        ASSERT_TRUE(fields.made[row].has_value());
        const rvx::MadeFrame& made = *fields.made[row];
        EXPECT_EQ(made.command, static_cast<CommandId>(row));
        EXPECT_EQ(made.kind, rvx::AddressKind::Group);
        EXPECT_EQ(made.address, (rvx::Address{0x0A, 0x0B, 0x0C}));
        EXPECT_EQ(rvx::writeFrame(made.bytes), fields.outputs[row]);
        for (const auto& parameter : rvx::commandCatalogue[row].parameterBytes()) {
            EXPECT_EQ(made.values[static_cast<std::size_t>(parameter.field)],
                      outcome.values[static_cast<std::size_t>(parameter.field)]);
        }
    }
    EXPECT_EQ(outcome.values[static_cast<std::size_t>(ParameterField::Pct)], 25);
    EXPECT_EQ(outcome.values[static_cast<std::size_t>(ParameterField::L)], 7);
    EXPECT_EQ(outcome.values[static_cast<std::size_t>(ParameterField::RU)], 0);
}

// The values read are handed back; a field the run did not reach is not given a value.
TEST(Origin, TheOutcomeHoldsOnlyTheValuesRead) {
    rvx::MemoryFields fields;
    fields.address[0] = "123456";
    fields.parameter(ParameterField::MSU) = "x";
    rvx::CommandStringEngine engine(fields);
    const rvx::GenerationOutcome outcome = engine.getAddress();
    ASSERT_EQ(outcome.result, rvx::GenerationOutcome::Result::DataError);
    EXPECT_EQ(outcome.values[static_cast<std::size_t>(ParameterField::Pct)], 50);
    EXPECT_TRUE(std::isnan(outcome.values[static_cast<std::size_t>(ParameterField::MSU)]));
    EXPECT_TRUE(std::isnan(outcome.values[static_cast<std::size_t>(ParameterField::L)]));

    fields.address[0] = "12345G";
    const rvx::GenerationOutcome refused = engine.getAddress();
    ASSERT_EQ(refused.result, rvx::GenerationOutcome::Result::AddressRefused);
    EXPECT_TRUE(std::isnan(refused.values[static_cast<std::size_t>(ParameterField::RU)]));
}

}  // namespace
