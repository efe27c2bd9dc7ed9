// The time frames take on the bus's line, which every front end waits out between two sends.
#include "rvx/line.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using std::chrono::milliseconds;

TEST(LineTime, BytesTakeTheirBitsAtTheBaudRateRoundedUp) {
    struct Case {
        const char* name;
        std::size_t bytes;
        unsigned baud;
        rvx::Parity parity;
        long long ms;
    };
    const Case cases[] = {
        // 14 bytes of 11 bits: 154 bits, 32.08 ms
        {"a frame at 4800 8O1", 14, 4800, rvx::Parity::Odd, 33},
        {"a frame at 4800 8N1 has 10 bits a byte", 14, 4800, rvx::Parity::None, 30},
        {"mark parity counts its bit", 14, 4800, rvx::Parity::Mark, 33},
        {"exactly a millisecond is not rounded", 1, 11000, rvx::Parity::Even, 1},
        {"a fraction of a millisecond is a whole one", 1, 115200, rvx::Parity::None, 1},
        {"no bytes take no time", 0, 4800, rvx::Parity::Odd, 0},
        {"a baud rate of 0 counts as 1", 1, 0, rvx::Parity::Odd, 11000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rvx::lineTime(c.bytes, c.baud, c.parity), milliseconds(c.ms)) << c.name;
    }
}

TEST(LineTime, TheGapIsLongerThanTheSilenceIsShort) {
    // A watch must not give up a frame as noise between two frames sent with the gap, nor wait
    // so long that a cut-off frame shows late: the silence outlasts a frame and the gap.
    EXPECT_GT(rvx::watchSilence, rvx::lineTime(14, rvx::busBaud, rvx::busParity) + rvx::busGap);
}

}  // namespace
