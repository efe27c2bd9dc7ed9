// Times process starts: runs the commands in turns, RUNS times each after WARMUP rounds, and
// prints the median wall-clock time of each, from the spawn of the process to its end. The
// commands take turns, so that a slower spell of the machine falls on all of them alike, and
// each starts a tenth of a second after the previous one ended: a process that starts while
// the memory of the one before is still being given back pays for it.
//
//   start-times RUNS WARMUP NAME=COMMAND...     (COMMAND: words separated by blanks)
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

struct Program {
    std::string name;
    std::vector<std::string> words;
    std::vector<double> milliseconds;
};

// Runs the command once with its output discarded; the time it took, or a negative value
// when it could not be started or did not end with status 0.
double runOnce(const Program& program) {
    std::vector<char*> argv;
    for (const auto& word : program.words) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto begin = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (failed != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return -1.0;
    }
    const auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(end - begin).count();
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: start-times RUNS WARMUP NAME=COMMAND...\n");
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    const int warmup = std::atoi(argv[2]);
    std::vector<Program> programs;
    for (int k = 3; k < argc; ++k) {
        const std::string argument = argv[k];
        const auto equals = argument.find('=');
        if (equals == std::string::npos) {
            std::fprintf(stderr, "start-times: %s: NAME=COMMAND expected\n", argv[k]);
            return 2;
        }
        Program program{argument.substr(0, equals), {}, {}};
        std::istringstream words(argument.substr(equals + 1));
        for (std::string word; words >> word;) {
            program.words.push_back(word);
        }
        programs.push_back(program);
    }
    for (int round = 0; round < warmup + runs; ++round) {
        for (auto& program : programs) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            const double ms = runOnce(program);
            if (ms < 0) {
                std::fprintf(stderr, "start-times: %s failed\n", program.name.c_str());
                return 1;
            }
            if (round >= warmup) {
                program.milliseconds.push_back(ms);
            }
        }
    }
    for (auto& program : programs) {
        auto& t = program.milliseconds;
        std::sort(t.begin(), t.end());
        const double median =
            t.size() % 2 ? t[t.size() / 2] : (t[t.size() / 2 - 1] + t[t.size() / 2]) / 2;
        std::printf("%s %.2f\n", program.name.c_str(), median);
    }
    return 0;
}
