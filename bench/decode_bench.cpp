// rvx-strings --decode without the process: one frame read from its text and decoded.
#include <benchmark/benchmark.h>

#include <string>

#include "rvx/decode.h"

namespace {

void decodeOneFrame(benchmark::State& state) {
    const std::string text = state.range(0) == 0
                                 ? "AB F1 FF FF FF FF 12 34 56 FB FD FF 09 2B"   // valid
                                 : "AB F1 FF 12 34 56 65 43 21 EF 80 FF 09 31";  // two findings
    std::size_t findings = 0;
    for (auto _ : state) {
        const rvx::FrameText read = rvx::readFrameText(text);
        const rvx::DecodedFrame decoded = rvx::decodeFrame(read.bytes);
        findings = decoded.findings.size();
        benchmark::DoNotOptimize(decoded);
    }
    if (findings != (state.range(0) == 0 ? 0U : 2U)) {
        state.SkipWithError("unexpected findings");
    }
}
BENCHMARK(decodeOneFrame)->ArgName("corrupted")->Arg(0)->Arg(1);

}  // namespace
