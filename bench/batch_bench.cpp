// rvx-strings --batch without the process: a list of motors in a file read, checked and
// written as a table of all fourteen commands to /dev/null. Its cost must grow linearly with
// the number of motors.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "batch.h"

namespace {

// A list file of count motors, every third a group, each with a label; removed at the end.
class MotorListFile {
public:
    explicit MotorListFile(std::int64_t count)
        : path_(std::filesystem::temp_directory_path() /
                ("rvx-batch-bench-" + std::to_string(std::random_device()()) + ".txt")) {
        std::FILE* file = std::fopen(path_.c_str(), "wb");
        if (file == nullptr) {
            return;
        }
        std::fputs("# generated\n", file);
        for (std::int64_t k = 0; k < count; ++k) {
            std::fprintf(file, "%06llX,%s,Motor %lld\n",
                         static_cast<unsigned long long>((k * 2654435761LL) & 0xFFFFFF),
                         k % 3 == 0 ? "group" : "single", static_cast<long long>(k));
        }
        ok_ = std::fclose(file) == 0;
    }
    MotorListFile(const MotorListFile&) = delete;
    MotorListFile& operator=(const MotorListFile&) = delete;
    ~MotorListFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }

    [[nodiscard]] bool ok() const { return ok_; }
    [[nodiscard]] std::string path() const { return path_.string(); }

private:
    std::filesystem::path path_;
    bool ok_ = false;
};

void batch(benchmark::State& state, cli::Format format) {
    const MotorListFile list(state.range(0));
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
