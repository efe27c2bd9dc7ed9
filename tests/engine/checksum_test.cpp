// checkSUM: splitting the frame sum into two checksum bytes and choosing the zero prefixes.
#include <gtest/gtest.h>

#include <string>

#include "rvx/generator.h"
#include "rvx/memory_fields.h"

namespace {

class CheckSum : public ::testing::Test {
protected:
    rvx::MemoryFields fields;
    rvx::CommandStringEngine engine{fields};

    void run(const std::string& sum, int byte1 = 0x12, int byte2 = 0x34, int byte3 = 0x56) {
        auto& s = engine.state();
        s.strSum = sum;
        for (std::size_t k = 0; k < sum.size(); ++k) {
            s.strSumDigit[k + 1] = sum.substr(k, 1);
        }
        s.intFrameByte[1] = static_cast<std::int16_t>(byte1);
        s.intFrameByte[2] = static_cast<std::int16_t>(byte2);
        s.intFrameByte[3] = static_cast<std::int16_t>(byte3);
        engine.checkSUM();
    }
    [[nodiscard]] int high() const { return engine.state().intCheck[1]; }
    [[nodiscard]] int low() const { return engine.state().intCheck[2]; }
};

TEST_F(CheckSum, ThreeDigitSumsGiveTheHighDigitAndTheLastTwo) {
    run("930");
    EXPECT_EQ(high(), 0x09);
    EXPECT_EQ(low(), 0x30);
    EXPECT_EQ(engine.state().p, "0");
    EXPECT_EQ(engine.state().q, "");

    run("905");
    EXPECT_EQ(low(), 0x05);
    EXPECT_EQ(engine.state().p, "0");
    EXPECT_EQ(engine.state().q, "0");

    run("A5C");
    EXPECT_EQ(high(), 0x0A);
    EXPECT_EQ(low(), 0x5C);

    run("BF4");
    EXPECT_EQ(high(), 0x0B);
    EXPECT_EQ(low(), 0xF4);
}

TEST_F(CheckSum, FourDigitSumsSplitIntoTwoPairs) {
    run("1234");
    EXPECT_EQ(high(), 0x12);
    EXPECT_EQ(low(), 0x34);
    EXPECT_EQ(engine.state().p, "");
    EXPECT_EQ(engine.state().q, "");
}

TEST_F(CheckSum, ShortSumsHaveAZeroHighByte) {
    run("5C");
    EXPECT_EQ(high(), 0);
    EXPECT_EQ(low(), 0x5C);
    run("7");
    EXPECT_EQ(high(), 0);
    EXPECT_EQ(low(), 7);
}

TEST_F(CheckSum, PrefixesAreResetAtEveryCall) {
    run("905", 0x00, 0x05, 0x10);
    EXPECT_EQ(engine.state().X, "0");
    EXPECT_EQ(engine.state().Y, "0");
    EXPECT_EQ(engine.state().z, "");
    run("1234", 0xFF, 0x10, 0x05);
    EXPECT_EQ(engine.state().p, "");
    EXPECT_EQ(engine.state().q, "");
    EXPECT_EQ(engine.state().X, "");
    EXPECT_EQ(engine.state().Y, "");
    EXPECT_EQ(engine.state().z, "0");
}

TEST_F(CheckSum, StaleFourthDigitIsNotRead) {
    run("1234");
    run("930");  // strSumDigit(4) still holds "4"
    EXPECT_EQ(engine.state().strSumDigit[4], "4");
    EXPECT_EQ(high(), 0x09);
    EXPECT_EQ(low(), 0x30);
}

TEST_F(CheckSum, TheGenerationHandsOverEachFramesSum) {
    fields.address[0] = "123456";
    engine.getAddress();
    // The last frame formed is Unlock, sum 0x924.
    EXPECT_EQ(engine.state().strSum, "924");
    EXPECT_EQ(engine.state().intCheck[1], 0x09);
    EXPECT_EQ(engine.state().intCheck[2], 0x24);
}

}  // namespace
