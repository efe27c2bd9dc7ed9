// rvx-strings --batch --export without the process: a list of motors read, checked and
// written as each platform's file of all fourteen commands. The goal: 100 000 motors in 1 s
// and 100 MB at most for every platform, and 1 000 000 motors without exhausting memory.
//
// Beside the time, each run says how it stands to its floor, the batch table of the same site
// (all fourteen commands, CSV) timed in the same run ("to_floor", by the processor time of
// both, which other work on a shared machine changes less than the wall-clock time), how many
// bytes the file has ("MB_out") and the peak memory of rvx-strings making it once
// ("peak_MB", a process of its own, its file to /dev/null).
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <string>

#include "batch.h"
#include "motor_list_file.h"

namespace {

// A stream that counts what is written to it and keeps nothing.
struct Counted {
    std::FILE* file = nullptr;
    std::size_t bytes = 0;

    Counted() {
        cookie_io_functions_t functions{};
        functions.write = [](void* cookie, const char*, std::size_t size) -> ssize_t {
            static_cast<Counted*>(cookie)->bytes += size;
            return static_cast<ssize_t>(size);
        };
        file = fopencookie(this, "w", functions);
    }
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;
    ~Counted() {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
};

cli::BatchJob jobFor(const bench::MotorListFile& list) {
    cli::BatchJob job;
    job.path = list.path();
    for (std::size_t row = 0; row < rvx::commandCount; ++row) {
        job.rows.push_back(row);
    }
    job.target.device = "/dev/ttyUSB0";
    return job;
}

// The processor time of this process, in seconds.
double cpuSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

double secondsOf(const cli::BatchJob& job) {
    Counted sink;
    const double start = cpuSeconds();
    (void)cli::runBatch(job, sink.file, stderr);
    return cpuSeconds() - start;
}

// The floor of a site of count motors: its batch table, the best of three.
double floorSeconds(const bench::MotorListFile& list, std::int64_t count) {
    static std::map<std::int64_t, double> floors;
    if (const auto found = floors.find(count); found != floors.end()) {
        return found->second;
    }
    const cli::BatchJob table = jobFor(list);
    double best = secondsOf(table);
    for (int k = 0; k < 2; ++k) {
        best = std::min(best, secondsOf(table));
    }
    return floors[count] = best;
}

// The peak memory, in MB, of rvx-strings exporting the list for a platform once, as GNU time
// reports it: a process started from this one would count this one's memory as its own.
double peakMegabytes(const bench::MotorListFile& list, rvx::SiteExportKind kind) {
    const std::string path = list.path();
    const std::string report = path + ".peak";
    std::string name;
    for (const auto& info : rvx::siteExportCatalogue) {
        if (info.kind == kind) {
            name = info.name;
        }
    }
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        if (std::freopen("/dev/null", "wb", stdout) != nullptr) {
            execl("/usr/bin/time", "time", "-f", "%M", "-o", report.c_str(), RVX_STRINGS_PATH,
                  "--batch", path.c_str(), "--export", name.c_str(), "--target", "/dev/ttyUSB0",
                  static_cast<char*>(nullptr));
        }
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return -1;
    }
    double kilobytes = -1;
    if (std::FILE* file = std::fopen(report.c_str(), "r")) {
        if (std::fscanf(file, "%lf", &kilobytes) != 1) {
            kilobytes = -1;
        }
        std::fclose(file);
    }
    std::remove(report.c_str());
    return kilobytes / 1024.0;
}

void exportSite(benchmark::State& state, rvx::SiteExportKind kind) {
    const std::int64_t count = state.range(0);
    const bench::MotorListFile list(count);
    if (!list.ok()) {
        state.SkipWithError("cannot write the list");
        return;
    }
    cli::BatchJob job = jobFor(list);
    job.exportKind = kind;
    const double floor = floorSeconds(list, count);
    Counted sink;
    double seconds = 0;
    for (auto _ : state) {
        const double start = cpuSeconds();
        if (cli::runBatch(job, sink.file, stderr) != 0) {
            state.SkipWithError("the export failed");
            return;
        }
        seconds += cpuSeconds() - start;
    }
    const auto runs = static_cast<double>(state.iterations());
    state.counters["to_floor"] = seconds / runs / floor;
    state.counters["MB_out"] = static_cast<double>(sink.bytes) / runs / 1e6;
    state.counters["peak_MB"] = peakMegabytes(list, kind);
    state.SetItemsProcessed(state.iterations() * count);
}

void nodeRed(benchmark::State& state) {
    exportSite(state, rvx::SiteExportKind::NodeRed);
}
void homeAssistant(benchmark::State& state) {
    exportSite(state, rvx::SiteExportKind::HomeAssistant);
}
void openHabThings(benchmark::State& state) {
    exportSite(state, rvx::SiteExportKind::OpenHabThings);
}
void openHabItems(benchmark::State& state) {
    exportSite(state, rvx::SiteExportKind::OpenHabItems);
}

BENCHMARK(nodeRed)->ArgName("motors")->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(
    benchmark::kMillisecond);
BENCHMARK(homeAssistant)
    ->ArgName("motors")
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(openHabThings)
    ->ArgName("motors")
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(openHabItems)
    ->ArgName("motors")
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
