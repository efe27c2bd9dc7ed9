// What the reports say of frames seen and sent: the times in their two forms, and the lines
// of JSON with what a window marks among the keys.
#include "rvx/frame_report.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

TEST(ReportTimes, UtcAndClockTimesAsIsoAndTheClockShowThem) {
    struct Case {
        const char* name;
        std::int64_t ms;
        const char* utc;
        const char* clock;
    };
    const Case cases[] = {
        {"the start of 1970", 0, "1970-01-01T00:00:00.000Z", "00:00:00.000"},
        {"a time of the monitor", 1748848946540, "2025-06-02T07:22:26.540Z", "07:22:26.540"},
        {"a leap day", 1709251199999, "2024-02-29T23:59:59.999Z", "23:59:59.999"},
        {"the day after it", 1709251200000, "2024-03-01T00:00:00.000Z", "00:00:00.000"},
        {"the leap day of a century divisible by 400", 951782400123, "2000-02-29T00:00:00.123Z",
         "00:00:00.123"},
        {"a millisecond before 1970", -1, "1969-12-31T23:59:59.999Z", "23:59:59.999"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rvx::utcTimeText(c.ms), c.utc) << c.name;
        EXPECT_EQ(rvx::clockTimeText(c.ms), c.clock) << c.name;
    }
}

const std::array<std::uint8_t, 14> up123456{0xAB, 0xF1, 0xFF, 0xFF, 0xFF, 0xFF, 0x12,
                                            0x34, 0x56, 0xFE, 0xFF, 0xFF, 0x09, 0x30};

// The keys of a compact JSON object of one level, in the order written; the values of nested
// objects and arrays are passed over.
std::string keysOf(const std::string& line) {
    std::string keys;
    int depth = 0;
    bool inString = false;
    std::string text;
    for (std::size_t k = 0; k < line.size(); ++k) {
        const char c = line[k];
        if (inString) {
            if (c == '\\') {
                text += line[++k];
            } else if (c == '"') {
                inString = false;
                if (depth == 1 && k + 1 < line.size() && line[k + 1] == ':') {
                    keys += (keys.empty() ? "" : " ") + text;
                }
            } else {
                text += c;
            }
        } else if (c == '"') {
            inString = true;
            text.clear();
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return keys;
}

TEST(MonitorReport, MarksStandAmongTheKeysInTheirPlace) {
    const std::string plain = rvx::monitorJsonLine(up123456, rvx::ScannedRun::Kind::Framed, 0);
    EXPECT_EQ(keysOf(plain),
              "address command findings frame kind notation notes parameters time valid");
    const std::string marked =
        rvx::monitorJsonLine(up123456, rvx::ScannedRun::Kind::Framed, 0, {"Office \"east\"", true});
    EXPECT_EQ(keysOf(marked),
              "address command findings frame kind label notation notes "
              "parameters sent time valid");
    EXPECT_NE(marked.find(R"("label":"Office \"east\"")"), std::string::npos) << marked;
    EXPECT_NE(marked.find(R"("sent":true,"time":"1970-01-01T00:00:00.000Z")"), std::string::npos);
    const std::string noise =
        rvx::monitorJsonLine(std::span(up123456).first(3), rvx::ScannedRun::Kind::Noise, 0);
    EXPECT_EQ(noise, R"({"bytes":"AB F1 FF","noise":true,"time":"1970-01-01T00:00:00.000Z"})");
}

TEST(MonitorReport, TheColumnsAndTheTextLineSayTheSame) {
    std::array<std::uint8_t, 14> wrongSum = up123456;
    wrongSum[13] = 0x31;
    const rvx::MonitorReport report = rvx::reportRun(wrongSum, rvx::ScannedRun::Kind::Framed);
    EXPECT_EQ(report.command, "Up");
    EXPECT_EQ(report.address, "123456");
    EXPECT_EQ(report.verdict,
              "not valid: bytes 13-14: checksum is 09 31, should be 09 30, the 16-bit sum of "
              "bytes 1 to 12");
    EXPECT_EQ(rvx::monitorTextLine(wrongSum, rvx::ScannedRun::Kind::Framed, 1000),
              "00:00:01.000  " + report.bytes + "  Up  single motor 123456  " + report.verdict);
    const rvx::MonitorReport noise =
        rvx::reportRun(std::span(up123456).first(1), rvx::ScannedRun::Kind::Noise);
    EXPECT_EQ(noise.verdict, "noise, 1 byte");
    EXPECT_TRUE(noise.command.empty());
}

}  // namespace
