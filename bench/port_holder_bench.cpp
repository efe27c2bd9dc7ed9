// Looking for another program that holds a port open: done at every opening of a serial port
// before a send or a watch, so its time is added to each. Measured on the machine as it is,
// and with extra processes that each hold 100 descriptors open, as a desktop's browser and
// editors do.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QString>
#include <csignal>
#include <vector>

#include "link.h"

namespace {

void holderScan(benchmark::State& state) {
    std::vector<pid_t> extra;
    for (int k = 0; k < state.range(0); ++k) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::execlp("python3", "python3", "-c",
                     "import os, time\n"
                     "fds = [os.open('/dev/null', os.O_RDONLY) for _ in range(100)]\n"
                     "time.sleep(600)\n",
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        extra.push_back(child);
    }
    ::sleep(extra.empty() ? 0 : 1);  // until every one has its descriptors open
    const QString device = QStringLiteral("/dev/ttyRVX-bench");
    for (auto _ : state) {
        benchmark::DoNotOptimize(rvx::bus::detail::otherHolder(device));
    }
    for (const pid_t child : extra) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
}

}  // namespace

BENCHMARK(holderScan)->Arg(0)->Arg(40)->Unit(benchmark::kMillisecond);
