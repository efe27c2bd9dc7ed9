// rvx-strings --batch without the process: a list of motors in a file read, checked and
// written as a table of all fourteen commands to /dev/null. Its cost must grow linearly with
// the number of motors.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "batch.h"
#include "motor_list_file.h"

namespace {

void batch(benchmark::State& state, cli::Format format) {
    const bench::MotorListFile list(state.range(0));
    std::FILE* sink = std::fopen("/dev/null", "wb");
    if (!list.ok() || sink == nullptr) {
        state.SkipWithError("cannot write the list or open /dev/null");
        return;
    }
    cli::BatchJob job;
    job.path = list.path();
    job.format = format;
    for (std::size_t row = 0; row < rvx::commandCount; ++row) {
        job.rows.push_back(row);
    }
    for (auto _ : state) {
        if (cli::runBatch(job, sink, stderr) != 0) {
            state.SkipWithError("the batch failed");
            break;
        }
    }
    std::fclose(sink);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}

void batchCsv(benchmark::State& state) {
    batch(state, cli::Format::Csv);
}
BENCHMARK(batchCsv)
    ->ArgName("motors")
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void batchJson(benchmark::State& state) {
    batch(state, cli::Format::Json);
}
BENCHMARK(batchJson)->ArgName("motors")->Arg(100000)->Unit(benchmark::kMillisecond);

void batchText(benchmark::State& state) {
    batch(state, cli::Format::Text);
}
BENCHMARK(batchText)->ArgName("motors")->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
