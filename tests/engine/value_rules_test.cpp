// Judging a parameter value given as text, and the message for one that is not admitted.
#include "rvx/value_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using rvx::ParameterField;
using rvx::ValueVerdict;

TEST(ReadValue, JudgesAgainstTheAdmittedValuesAndSaysWhy) {
    struct Case {
        ParameterField field;
        const char* text;
        ValueVerdict verdict;
        const char* message;
    };
    const Case cases[] = {
        {ParameterField::IP, "16", ValueVerdict::Admitted, ""},
        {ParameterField::IP, "20", ValueVerdict::OutOfRange,
         "\"20\": out of range; the IP number must be 1 to 16"},
        {ParameterField::RU, "5", ValueVerdict::OutOfRange,
         "\"5\": out of range; the Down value must be 0, or 10 to 255"},
        {ParameterField::RU, "1e308", ValueVerdict::OutOfRange,
         "\"1e308\": out of range; the Down value must be 0, or 10 to 255"},
        {ParameterField::RU, "1e400", ValueVerdict::OutOfRange,
         "\"1e400\": out of range; the Down value must be 0, or 10 to 255"},
        {ParameterField::Pct, "5\n0", ValueVerdict::NotANumber,
         "\"5\\n0\": not a number; the percentage must be 0 to 100"},
        {ParameterField::L, "", ValueVerdict::NotANumber,
         "\"\": not a number; the lock priority must be 1 to 100"},
    };
    for (const auto& c : cases) {
        const auto reading = rvx::readValue(c.field, c.text);
        EXPECT_EQ(reading.verdict, c.verdict) << c.text;
        EXPECT_EQ(rvx::valueMessage(c.field, c.text, reading.verdict), c.message);
    }
}

}  // namespace
