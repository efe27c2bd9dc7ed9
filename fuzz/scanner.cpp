// Fuzz target: the frame scanner of the bus monitor, on any bytes cut into any pieces.
//
// The first byte of the input chooses the longest run of noise (1 to 256) and seeds the sizes
// of the pieces; the rest is the stream. Invariants:
//   - every byte fed comes out exactly once, in order, in a frame or in a run of noise, and the
//     places given are those of the bytes in the stream;
//   - a frame is fourteen bytes that begin with AB or A4, F1, FF; a run of noise is never
//     empty nor longer than the longest run;
//   - a frame whose checksum fails holds no whole start sequence in its bytes 2 to 12;
//   - fed in one piece or in pieces of any sizes, the scanner reports the same runs;
//   - what it holds back never exceeds the longest run of noise and two frames.
#include "rvx/scanner.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz_check.h"
#include "rvx/frame.h"

namespace {

void take(std::vector<rvx::ScannedRun>&& from, std::vector<rvx::ScannedRun>& into) {
    for (auto& run : from) {
        into.push_back(std::move(run));
    }
}

std::vector<rvx::ScannedRun> scanInPieces(std::span<const std::uint8_t> stream,
                                          std::size_t maxNoise, std::uint32_t seed) {
    rvx::FrameScanner scanner(maxNoise);
    std::vector<rvx::ScannedRun> runs;
    std::size_t at = 0;
    while (at < stream.size()) {
        seed = seed * 1103515245U + 12345U;  // sizes 0 to 31, small ones most often
        const std::size_t size =
            std::min<std::size_t>((seed >> 16) % 32 >> ((seed >> 8) % 4), stream.size() - at);
        take(scanner.feed(stream.subspan(at, size)), runs);
        RVX_FUZZ_CHECK(scanner.pending() <= maxNoise + 2 * rvx::frameLength);
        at += size;
    }
    take(scanner.flush(), runs);
    RVX_FUZZ_CHECK(scanner.pending() == 0);
    return runs;
}

bool sameRuns(const std::vector<rvx::ScannedRun>& a, const std::vector<rvx::ScannedRun>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t k = 0; k < a.size(); ++k) {
        if (a[k].kind != b[k].kind || a[k].offset != b[k].offset || a[k].bytes != b[k].bytes) {
            return false;
        }
    }
    return true;
}

void checkRuns(const std::vector<rvx::ScannedRun>& runs, std::span<const std::uint8_t> stream,
               std::size_t maxNoise) {
    std::size_t at = 0;
    for (const auto& run : runs) {
        RVX_FUZZ_CHECK(!run.bytes.empty());
        RVX_FUZZ_CHECK(run.offset == at);
        RVX_FUZZ_CHECK(at + run.bytes.size() <= stream.size());
        RVX_FUZZ_CHECK(std::equal(run.bytes.begin(), run.bytes.end(), stream.begin() + at));
        at += run.bytes.size();
        if (run.isFrame()) {
            RVX_FUZZ_CHECK(run.bytes.size() == rvx::frameLength);
            RVX_FUZZ_CHECK(rvx::matchStart(run.bytes) == rvx::StartMatch::Full);
            rvx::Frame frame{};
            std::copy(run.bytes.begin(), run.bytes.end(), frame.begin());
            if (!rvx::checksumHolds(frame)) {
                for (std::size_t k = 1; k + 3 <= rvx::frameLength; ++k) {
                    RVX_FUZZ_CHECK(rvx::matchStart(std::span(frame).subspan(k, 3)) !=
                                   rvx::StartMatch::Full);
                }
            }
        } else {
            RVX_FUZZ_CHECK(run.bytes.size() <= maxNoise);
        }
    }
    RVX_FUZZ_CHECK(at == stream.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t maxNoise = std::size_t{data[0]} + 1;
    const std::span<const std::uint8_t> stream(data + 1, size - 1);

    rvx::FrameScanner whole(maxNoise);
    std::vector<rvx::ScannedRun> runs = whole.feed(stream);
    take(whole.flush(), runs);
    checkRuns(runs, stream, maxNoise);

    for (std::uint32_t seed : {1U, data[0] * 7919U + 3U}) {
        RVX_FUZZ_CHECK(sameRuns(scanInPieces(stream, maxNoise, seed), runs));
    }
    return 0;
}
