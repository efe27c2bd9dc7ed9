// rvx-strings --batch without the process: a list of motors read, checked and written as CSV
// to /dev/null. Its cost must grow linearly with the number of motors.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "batch.h"

namespace {

std::string motorList(std::int64_t count) {
    std::string content = "# generated\n";
    char line[64];
    for (std::int64_t k = 0; k < count; ++k) {
        std::snprintf(line, sizeof line, "%06llX,%s,Motor %lld\n",
                      static_cast<unsigned long long>((k * 2654435761LL) & 0xFFFFFF),
                      k % 3 == 0 ? "group" : "single", static_cast<long long>(k));
        content += line;
    }
    return content;
}

void batch(benchmark::State& state) {
    const std::string content = motorList(state.range(0));
    std::FILE* sink = std::fopen("/dev/null", "w");
    if (sink == nullptr) {
        state.SkipWithError("cannot open /dev/null");
        return;
    }
    std::vector<std::size_t> rows;
    for (std::size_t row = 0; row < rvx::commandCount; ++row) {
        rows.push_back(row);
    }
    const rvx::MemoryFields parameters;
    for (auto _ : state) {
        const cli::MotorList list = cli::readMotorList(content, "motors.txt");
        if (!list.errors.empty() ||
            list.motors.size() != static_cast<std::size_t>(state.range(0))) {
            state.SkipWithError("the generated list was refused");
            break;
        }
        cli::StandardOutput out(sink);
        cli::writeBatch(list.motors, parameters, rows, cli::Format::Csv, rvx::Notation::Spaced,
                        out);
        if (!out.finish()) {
            state.SkipWithError("writing failed");
            break;
        }
    }
    std::fclose(sink);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(batch)
    ->ArgName("motors")
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
