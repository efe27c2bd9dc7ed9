// The frame scanner of the bus monitor on one large read, as a bridge that floods brings it:
// pure noise, frames back to back, and noise and frames mixed, at 1 MB and 64 MB. Reported in
// bytes per second (bytes_per_second) and against a floor measured in the same iterations:
// the same bytes cut into the same runs by a loop that is given the cuts, each run copied into
// a vector of its own, as the scanner hands its runs over (floor_ratio: scanner / floor). The
// same bytes per second at 1 MB and 64 MB show that the cost is linear in the bytes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "rvx/catalogue.h"
#include "rvx/frame.h"
#include "rvx/scanner.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

enum Mix : std::int64_t { Noise, Frames, Mixed };

struct Stream {
    explicit Stream(std::int64_t mix, std::size_t size) : seed(static_cast<std::uint32_t>(mix)) {
        bytes.reserve(size + rvx::frameLength);
        while (bytes.size() < size) {
            if (mix == Noise) {
                bytes.push_back(next());
            } else if (mix == Frames || next() % 2 == 0) {
                addFrame(mix == Mixed && next() % 8 == 0);
            } else {
                for (std::uint8_t k = next() % 40; k > 0; --k) {
                    bytes.push_back(next());
                }
            }
        }
        bytes.resize(size);
    }

    std::uint8_t next() {
        seed = seed * 1103515245U + 12345U;
        return static_cast<std::uint8_t>(seed >> 16);
    }

    // A frame of the catalogue for a random address, its checksum spoilt where asked.
    void addFrame(bool spoilt) {
        const auto& command = rvx::commandCatalogue[next() % rvx::commandCatalogue.size()];
        const auto frame = rvx::frameFor(command, rvx::AddressKind::Single,
                                         {next(), next(), next()}, rvx::startValues());
        bytes.insert(bytes.end(), frame->begin(), frame->end());
        if (spoilt) {
            bytes.back() ^= 0x10;
        }
    }

    Bytes bytes;
    std::uint32_t seed;
};

void scanOneRead(benchmark::State& state) {
    const Stream stream(state.range(0), static_cast<std::size_t>(state.range(1)) << 20);
    // The cuts the scanner makes, for the floor.
    std::vector<std::size_t> cuts;
    {
        rvx::FrameScanner scanner;
        for (const auto& run : scanner.feed(stream.bytes)) {
            cuts.push_back(run.bytes.size());
        }
        for (const auto& run : scanner.flush()) {
            cuts.push_back(run.bytes.size());
        }
    }
    using Clock = std::chrono::steady_clock;
    Clock::duration scanning{};
    Clock::duration floor{};
    std::size_t runs = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        rvx::FrameScanner scanner;
        auto found = scanner.feed(stream.bytes);
        auto rest = scanner.flush();
        benchmark::DoNotOptimize(found.data());
        benchmark::DoNotOptimize(rest.data());
        runs = found.size() + rest.size();
        const auto scanned = Clock::now();

        std::vector<rvx::ScannedRun> copied;
        std::size_t at = 0;
        for (const std::size_t cut : cuts) {
            rvx::ScannedRun run;
            run.offset = at;
            const auto first = stream.bytes.begin() + static_cast<std::ptrdiff_t>(at);
            run.bytes.assign(first, first + static_cast<std::ptrdiff_t>(cut));
            copied.push_back(std::move(run));
            at += cut;
        }
        benchmark::DoNotOptimize(copied.data());
        const auto done = Clock::now();

        scanning += scanned - start;
        floor += done - scanned;
        state.SetIterationTime(std::chrono::duration<double>(scanned - start).count());
    }
    if (runs != cuts.size()) {
        state.SkipWithError("the scanner cut the bytes differently");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(stream.bytes.size()));
    state.counters["runs"] = static_cast<double>(runs);
    state.counters["floor_ratio"] = std::chrono::duration<double>(scanning).count() /
                                    std::chrono::duration<double>(floor).count();
}

}  // namespace

BENCHMARK(scanOneRead)
    ->ArgNames({"mix", "MB"})
    ->ArgsProduct({{Noise, Frames, Mixed}, {1, 64}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
