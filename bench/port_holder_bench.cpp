// Looking for another program that holds a port open: done at every opening of a serial port
// before a send or a watch, so its time is added to each. Measured on the machine as it is,
// and with extra processes that each hold descriptors open, as a desktop's browser and editors
// do: 40 of 100 each, and 50 of 1 000 each (50 000 in all).
//
// The floor is the least such a look can do: readdir over /proc and each /proc/PID/fd, and
// readlinkat of every descriptor into one buffer, with nothing allocated. Both run in each
// iteration, taking turns to go first; floor_ratio is the look's time over the floor's, in
// the thread's processor time, which other work on a shared machine does not add to.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QFile>
#include <QString>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include "link.h"

namespace {

// Processes that each hold this many descriptors open until they are killed. They are ready
// once every one has said so on a pipe: a machine under load starts them slowly.
class Holders {
public:
    Holders(int processes, int descriptors) {
        int ready[2];
        if (processes == 0 || ::pipe(ready) != 0) {
            return;
        }
        for (int k = 0; k < processes; ++k) {
            const pid_t child = ::fork();
            if (child == 0) {
                ::close(ready[0]);
                rlimit limit{};
                ::getrlimit(RLIMIT_NOFILE, &limit);
                limit.rlim_cur = limit.rlim_max;
                ::setrlimit(RLIMIT_NOFILE, &limit);
                for (int d = 0; d < descriptors; ++d) {
                    if (::open("/dev/null", O_RDONLY) < 0) {
                        ::_exit(1);
                    }
                }
                const char byte = 1;
                if (::write(ready[1], &byte, 1) != 1) {
                    ::_exit(1);
                }
                for (;;) {
                    ::pause();
                }
            }
            children_.push_back(child);
        }
        ::close(ready[1]);
        char byte = 0;
        while (ready_ < processes && ::read(ready[0], &byte, 1) == 1) {
            ++ready_;
        }
        ::close(ready[0]);
    }
    ~Holders() {
        for (const pid_t child : children_) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
    }
    Holders(const Holders&) = delete;
    Holders& operator=(const Holders&) = delete;

    [[nodiscard]] int ready() const { return ready_; }

private:
    std::vector<pid_t> children_;
    int ready_ = 0;
};

// The floor: whether any process has the device open, by directory handles and readlinkat.
bool floorScan(const char* wanted, std::size_t length) {
    DIR* processes = ::opendir("/proc");
    if (processes == nullptr) {
        return false;
    }
    bool found = false;
    char link[PATH_MAX];
    while (const dirent* process = ::readdir(processes)) {
        if (process->d_name[0] < '0' || process->d_name[0] > '9') {
            continue;
        }
        char path[320];
        std::snprintf(path, sizeof path, "%s/fd", process->d_name);
        const int fd = ::openat(::dirfd(processes), path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        DIR* descriptors = fd >= 0 ? ::fdopendir(fd) : nullptr;
        if (descriptors == nullptr) {
            if (fd >= 0) {
                ::close(fd);
            }
            continue;
        }
        while (const dirent* entry = ::readdir(descriptors)) {
            const auto n = ::readlinkat(::dirfd(descriptors), entry->d_name, link, sizeof link);
            found |= n == static_cast<ssize_t>(length) && std::memcmp(link, wanted, length) == 0;
        }
        ::closedir(descriptors);
    }
    ::closedir(processes);
    return found;
}

int descriptorsOpen() {
    int count = 0;
    DIR* processes = ::opendir("/proc");
    while (const dirent* process = ::readdir(processes)) {
        char path[320];
        std::snprintf(path, sizeof path, "/proc/%s/fd", process->d_name);
        if (DIR* descriptors = ::opendir(path)) {
            while (::readdir(descriptors) != nullptr) {
                ++count;
            }
            ::closedir(descriptors);
        }
    }
    ::closedir(processes);
    return count;
}

void holderScan(benchmark::State& state) {
    const Holders extra(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    if (extra.ready() != state.range(0)) {
        state.SkipWithError("the holding processes did not start");
        return;
    }
    const QString device = QStringLiteral("/dev/ttyRVX-bench");
    const QByteArray wanted = QFile::encodeName(device);
    using Clock = std::chrono::steady_clock;
    Clock::duration look{};
    Clock::duration floor{};
    double lookCpu = 0;
    double floorCpu = 0;
    const auto cpuNow = [] {
        timespec now{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    };
    // Each goes first every other time: the first walk of /proc leaves the system's entries for
    // the descriptors made, which the second finds.
    bool lookFirst = true;
    for (auto _ : state) {
        const auto lookOnce = [&] {
            const double cpu = cpuNow();
            const auto start = Clock::now();
            benchmark::DoNotOptimize(rvx::bus::detail::otherHolder(device));
            const auto took = Clock::now() - start;
            lookCpu += cpuNow() - cpu;
            look += took;
            return took;
        };
        const auto floorOnce = [&] {
            const double cpu = cpuNow();
            const auto start = Clock::now();
            benchmark::DoNotOptimize(
                floorScan(wanted.constData(), static_cast<std::size_t>(wanted.size())));
            floor += Clock::now() - start;
            floorCpu += cpuNow() - cpu;
        };
        Clock::duration took{};
        if (lookFirst) {
            took = lookOnce();
            floorOnce();
        } else {
            floorOnce();
            took = lookOnce();
        }
        lookFirst = !lookFirst;
        state.SetIterationTime(std::chrono::duration<double>(took).count());
    }
    state.counters["descriptors"] = descriptorsOpen();
    state.counters["floor_ms"] = std::chrono::duration<double, std::milli>(floor).count() /
                                 static_cast<double>(state.iterations());
    state.counters["floor_ratio"] = lookCpu / floorCpu;
    state.counters["wall_ratio"] =
        std::chrono::duration<double>(look).count() / std::chrono::duration<double>(floor).count();
}

}  // namespace

BENCHMARK(holderScan)
    ->ArgNames({"processes", "each"})
    ->Args({0, 0})
    ->Args({40, 100})
    ->Args({50, 1000})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
