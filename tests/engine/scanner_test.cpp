// Finding frames in a stream of bytes read from the bus.
#include "rvx/scanner.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "rvx/decode.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes up123456{0xAB, 0xF1, 0xFF, 0xFF, 0xFF, 0xFF, 0x12,
                     0x34, 0x56, 0xFE, 0xFF, 0xFF, 0x09, 0x30};
const Bytes groupUpA1B2C3{0xAB, 0xF1, 0xFF, 0xA1, 0xB2, 0xC3, 0xFF,
                          0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0x0A, 0xAA};
const Bytes lockUp123456{0xA4, 0xF1, 0xFF, 0xFF, 0xFF, 0xFF, 0x12,
                         0x34, 0x56, 0xFE, 0xFF, 0xFE, 0x09, 0x28};

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes withChecksumOff(Bytes frame) {
    frame[13] ^= 0x10;  // never turns a checksum here into AB or A4
    return frame;
}

std::string hex(const Bytes& bytes) {
    std::string text;
    for (const auto b : bytes) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02X", b);
        text += text.empty() ? "" : " ";
        text += digits;
    }
    return text;
}

// A run as one readable line: "frame@5 AB F1 ..." or "noise@0 00 11".
std::string describe(const rvx::ScannedRun& run) {
    return (run.isFrame() ? "frame@" : "noise@") + std::to_string(run.offset) + " " +
           hex(run.bytes);
}

std::vector<std::string> describe(const std::vector<rvx::ScannedRun>& runs) {
    std::vector<std::string> lines;
    for (const auto& run : runs) {
        lines.push_back(describe(run));
    }
    return lines;
}

std::string frameAt(std::size_t offset, const Bytes& bytes) {
    return "frame@" + std::to_string(offset) + " " + hex(bytes);
}
std::string noiseAt(std::size_t offset, const Bytes& bytes) {
    return "noise@" + std::to_string(offset) + " " + hex(bytes);
}

// Feeds the stream in pieces of the given sizes (the rest in one piece), then flushes.
std::vector<std::string> scan(const Bytes& stream, const std::vector<std::size_t>& pieces = {}) {
    rvx::FrameScanner scanner;
    std::vector<std::string> lines;
    const auto take = [&](const std::vector<rvx::ScannedRun>& runs) {
        for (const auto& line : describe(runs)) {
            lines.push_back(line);
        }
    };
    std::size_t at = 0;
    for (const std::size_t size : pieces) {
        take(scanner.feed(std::span(stream).subspan(at, size)));
        at += size;
    }
    take(scanner.feed(std::span(stream).subspan(at)));
    take(scanner.flush());
    EXPECT_EQ(scanner.pending(), 0U);
    return lines;
}

TEST(FrameScanner, AWholeFrameIsReportedAsSoonAsItsLastByteArrives) {
    for (const auto& frame : {up123456, groupUpA1B2C3, lockUp123456}) {
        rvx::FrameScanner scanner;
        EXPECT_TRUE(scanner.feed(std::span(frame).first(13)).empty());
        EXPECT_EQ(scanner.pending(), 13U);
        EXPECT_EQ(describe(scanner.feed(std::span(frame).last(1))),
                  std::vector<std::string>{frameAt(0, frame)});
        EXPECT_EQ(scanner.pending(), 0U);
    }
}

TEST(FrameScanner, NoiseIsHeldUntilAFrameEndsItsRunOrTheInputEnds) {
    rvx::FrameScanner scanner;
    const Bytes noise{0x00, 0x11, 0xAB, 0xF1, 0x22};
    EXPECT_TRUE(scanner.feed(noise).empty());
    EXPECT_EQ(scanner.pending(), noise.size());
    EXPECT_EQ(describe(scanner.feed(up123456)),
              (std::vector<std::string>{noiseAt(0, noise), frameAt(5, up123456)}));
    EXPECT_TRUE(scanner.feed(Bytes{0x33}).empty());
    EXPECT_EQ(describe(scanner.flush()), std::vector<std::string>{noiseAt(19, {0x33})});
    EXPECT_TRUE(scanner.flush().empty());
}

TEST(FrameScanner, FramesAndNoiseComeOutInStreamOrderWithTheirPlaces) {
    const Bytes stream = Bytes{0x55} + up123456 + groupUpA1B2C3 + Bytes{0x00, 0xA4} + lockUp123456 +
                         Bytes{0xAB, 0xF1};
    EXPECT_EQ(scan(stream), (std::vector<std::string>{
                                noiseAt(0, {0x55}),
                                frameAt(1, up123456),
                                frameAt(15, groupUpA1B2C3),
                                noiseAt(29, {0x00, 0xA4}),
                                frameAt(31, lockUp123456),
                                noiseAt(45, {0xAB, 0xF1}),
                            }));
}

TEST(FrameScanner, AFrameWithAWrongChecksumIsStillAFrameForTheDecoder) {
    const Bytes bad = withChecksumOff(groupUpA1B2C3);
    EXPECT_EQ(scan(bad + up123456),
              (std::vector<std::string>{frameAt(0, bad), frameAt(14, up123456)}));

    rvx::FrameScanner scanner;
    const auto runs = scanner.feed(bad);
    ASSERT_EQ(runs.size(), 1U);
    const auto decoded = rvx::decodeFrame(runs[0].bytes);
    ASSERT_EQ(decoded.findings.size(), 1U);
    EXPECT_EQ(decoded.findings[0].check, rvx::Check::Checksum);
}

TEST(FrameScanner, ACutOffFrameFollowedByAWholeOneGivesNoiseAndTheWholeFrame) {
    for (std::size_t cut = 1; cut < 14; ++cut) {
        SCOPED_TRACE("frame cut off after " + std::to_string(cut) + " bytes");
        const Bytes part(groupUpA1B2C3.begin(), groupUpA1B2C3.begin() + cut);
        EXPECT_EQ(scan(part + up123456),
                  (std::vector<std::string>{noiseAt(0, part), frameAt(cut, up123456)}));
        // Noise before the cut-off frame joins the same run.
        EXPECT_EQ(scan(Bytes{0x07} + part + lockUp123456),
                  (std::vector<std::string>{noiseAt(0, Bytes{0x07} + part),
                                            frameAt(cut + 1, lockUp123456)}));
    }
}

TEST(FrameScanner, AStartInsideDecidesOnlyWhenTheChecksumFails) {
    // A group frame whose address reads like the start of a frame.
    Bytes lookalike{0xAB, 0xF1, 0xFF, 0xA4, 0xF1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF};
    const std::uint16_t sum = rvx::checksumOf(lookalike);
    lookalike.push_back(static_cast<std::uint8_t>(sum >> 8));
    lookalike.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    EXPECT_EQ(scan(lookalike), std::vector<std::string>{frameAt(0, lookalike)});

    // With its checksum wrong it is a cut-off frame: three bytes of noise, then a candidate of
    // eleven bytes that the end of the input leaves unfinished.
    const Bytes bad = withChecksumOff(lookalike);
    EXPECT_EQ(scan(bad), std::vector<std::string>{noiseAt(0, bad)});
    const Bytes tail(bad.begin() + 3, bad.end());
    EXPECT_EQ(scan(bad + Bytes{0x00, 0x00, 0x00}),
              (std::vector<std::string>{noiseAt(0, Bytes(bad.begin(), bad.begin() + 3)),
                                        frameAt(3, tail + Bytes{0x00, 0x00, 0x00})}));
}

TEST(FrameScanner, ABadFrameEndingLikeAStartWaitsForTheNextBytes) {
    // Bytes 13 and 14 of a frame with a wrong checksum read A4 F1: a frame may start there.
    Bytes bad = up123456;
    bad[12] = 0xA4;
    bad[13] = 0xF1;
    {
        rvx::FrameScanner scanner;
        EXPECT_TRUE(scanner.feed(bad).empty());
        EXPECT_EQ(scanner.pending(), 14U);
        EXPECT_EQ(describe(scanner.flush()), std::vector<std::string>{frameAt(0, bad)});
    }
    {
        rvx::FrameScanner scanner;
        EXPECT_EQ(describe(scanner.feed(Bytes{0x00})), std::vector<std::string>{});
        EXPECT_EQ(describe(scanner.feed(bad + Bytes{0x00})),
                  (std::vector<std::string>{noiseAt(0, {0x00}), frameAt(1, bad)}));
        EXPECT_EQ(scanner.pending(), 1U);
    }
    // Followed by FF the start is confirmed: twelve bytes of noise and a frame from there.
    const Bytes restart{0xA4, 0xF1, 0xFF, 0xFF, 0xFF, 0xFF, 0x12,
                        0x34, 0x56, 0xFE, 0xFF, 0xFE, 0x09, 0x28};
    const Bytes stream = Bytes(bad.begin(), bad.begin() + 12) + restart;
    EXPECT_EQ(scan(stream),
              (std::vector<std::string>{noiseAt(0, Bytes(bad.begin(), bad.begin() + 12)),
                                        frameAt(12, restart)}));
}

TEST(FrameScanner, TheResultDoesNotDependOnHowTheBytesArriveInPieces) {
    const Bytes part(up123456.begin(), up123456.begin() + 9);
    const Bytes stream = Bytes{0x00, 0xAB, 0x13} + up123456 + part + groupUpA1B2C3 +
                         withChecksumOff(lockUp123456) + Bytes{0xA4, 0xF1, 0xFF, 0x01};
    const auto whole = scan(stream);
    ASSERT_EQ(whole, (std::vector<std::string>{
                         noiseAt(0, {0x00, 0xAB, 0x13}),
                         frameAt(3, up123456),
                         noiseAt(17, part),
                         frameAt(26, groupUpA1B2C3),
                         frameAt(40, withChecksumOff(lockUp123456)),
                         noiseAt(54, {0xA4, 0xF1, 0xFF, 0x01}),
                     }));
    for (std::size_t split = 0; split <= stream.size(); ++split) {
        SCOPED_TRACE("split after byte " + std::to_string(split));
        EXPECT_EQ(scan(stream, {split}), whole);
    }
    EXPECT_EQ(scan(stream, std::vector<std::size_t>(stream.size(), 1)), whole);
    EXPECT_EQ(scan(stream, {5, 0, 13, 2, 14, 1, 7}), whole);
}

TEST(FrameScanner, FlushGivesAnUnfinishedFrameUpAsNoiseAndScanningGoesOn) {
    rvx::FrameScanner scanner;
    const Bytes part(lockUp123456.begin(), lockUp123456.begin() + 10);
    EXPECT_TRUE(scanner.feed(part).empty());
    EXPECT_EQ(describe(scanner.flush()), std::vector<std::string>{noiseAt(0, part)});
    EXPECT_EQ(scanner.pending(), 0U);
    // The rest of that frame, arriving after the silence, is noise of its own.
    const Bytes rest(lockUp123456.begin() + 10, lockUp123456.end());
    EXPECT_EQ(describe(scanner.feed(rest + up123456)),
              (std::vector<std::string>{noiseAt(10, rest), frameAt(14, up123456)}));
}

TEST(FrameScanner, ALongRunOfNoiseIsReportedInPiecesOfTheLongestRun) {
    rvx::FrameScanner scanner(8);
    const Bytes garbage(20, 0x5A);
    EXPECT_EQ(describe(scanner.feed(garbage)),
              (std::vector<std::string>{noiseAt(0, Bytes(8, 0x5A)), noiseAt(8, Bytes(8, 0x5A))}));
    EXPECT_EQ(scanner.pending(), 4U);
    EXPECT_EQ(describe(scanner.feed(up123456)),
              (std::vector<std::string>{noiseAt(16, Bytes(4, 0x5A)), frameAt(20, up123456)}));
}

// A read of a bridge that floods may bring a megabyte at once: cut into the same runs as when
// it comes byte by byte, and nothing held back but the unfinished end.
TEST(FrameScanner, ALargePieceGivesTheSameRunsAsSmallOnes) {
    Bytes stream;
    std::uint32_t seed = 7;
    const auto next = [&seed] {
        seed = seed * 1103515245U + 12345U;
        return static_cast<std::uint8_t>(seed >> 16);
    };
    std::size_t frames = 0;
    while (stream.size() < 256 * 1024) {
        const std::size_t noise = next() % 4 == 0 ? 600 : next() % 40;  // some above the longest
        for (std::size_t k = 0; k < noise; ++k) {
            stream.push_back(next() % 8 == 0 ? 0xAB : next());  // message codes among the noise
        }
        stream = stream + (next() % 5 == 0 ? withChecksumOff(up123456) : groupUpA1B2C3);
        ++frames;
    }
    stream.push_back(0xA4);  // an unfinished start at the end

    std::vector<std::size_t> bytes(stream.size(), 1);
    const auto oneByOne = scan(stream, bytes);
    EXPECT_EQ(scan(stream), oneByOne);
    EXPECT_EQ(scan(stream, std::vector<std::size_t>(stream.size() / 16384, 16384)), oneByOne);

    std::size_t seen = 0;
    std::size_t at = 0;
    rvx::FrameScanner scanner;
    for (const auto& run : scanner.feed(stream)) {
        EXPECT_EQ(run.offset, at);
        EXPECT_LE(run.bytes.size(), rvx::FrameScanner::defaultMaxNoiseRun);
        at += run.bytes.size();
        seen += run.isFrame() ? 1 : 0;
    }
    EXPECT_GE(seen, frames);  // noise may hold a frame of its own by chance
    EXPECT_EQ(scanner.pending(), stream.size() - at);
    EXPECT_LE(scanner.pending(), rvx::FrameScanner::defaultMaxNoiseRun);
}

TEST(FrameScanner, StartSequencesAreMatchedAsFarAsTheBytesGo) {
    using rvx::StartMatch;
    EXPECT_EQ(rvx::matchStart(Bytes{0xAB}), StartMatch::Partial);
    EXPECT_EQ(rvx::matchStart(Bytes{0xA4, 0xF1}), StartMatch::Partial);
    EXPECT_EQ(rvx::matchStart(Bytes{0xAB, 0xF1, 0xFF}), StartMatch::Full);
    EXPECT_EQ(rvx::matchStart(Bytes{0xA4, 0xF1, 0xFF, 0x00}), StartMatch::Full);
    EXPECT_EQ(rvx::matchStart(Bytes{0xAC}), StartMatch::No);
    EXPECT_EQ(rvx::matchStart(Bytes{0xAB, 0xF0}), StartMatch::No);
    EXPECT_EQ(rvx::matchStart(Bytes{0xAB, 0xF1, 0xFE}), StartMatch::No);
}

}  // namespace
