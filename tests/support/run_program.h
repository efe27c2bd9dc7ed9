// Running a program as a process from a test, without Qt: its arguments, standard input from
// a file, standard output and error into files, and its exit status. Arguments are UTF-8 (on
// Windows handed over as UTF-16, as a shell there would), or any bytes on POSIX systems.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace process {

// The path of a UTF-8 text, for the file system of this system.
inline std::filesystem::path pathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// A directory of its own under the system's temporary folder, removed with what it holds.
class TempDir {
public:
    TempDir() {
        std::random_device seed;
        std::mt19937_64 random(seed());
        // Taken once: a test may point the programs it starts at another folder.
        static const std::filesystem::path base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::filesystem::path candidate =
                base / ("rvx-test-" + std::to_string(random() % 1000000000000ULL));
            std::error_code error;
            if (std::filesystem::create_directory(candidate, error)) {
                path_ = candidate;
                return;
            }
        }
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) {
            std::filesystem::remove_all(path_, ignored);
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] bool valid() const { return !path_.empty(); }
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    // The directory as UTF-8 text.
    [[nodiscard]] std::string text() const {
        const auto text = path_.u8string();
        return {text.begin(), text.end()};
    }
    // A name inside it, as UTF-8 text.
    [[nodiscard]] std::string filePath(const std::string& name) const {
        const auto made = path_ / pathOf(name);
        const auto text = made.u8string();
        return {text.begin(), text.end()};
    }

private:
    std::filesystem::path path_;
};

inline bool writeFile(const std::string& path, const std::string& content) {
    std::ofstream file(pathOf(path), std::ios::binary | std::ios::trunc);
    file.write(content.data(), static_cast<std::streamsize>(content.size()));
    return static_cast<bool>(file);
}

inline std::string readFile(const std::string& path) {
    std::ifstream file(pathOf(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

inline bool exists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(pathOf(path), ignored);
}

struct Result {
    int exitCode = -1;  // -1: not started, or not ended by itself
    std::string out;
    std::string err;
};

#ifdef _WIN32
inline std::wstring wide(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
    return text;
}

// One argument quoted as the C runtime splits a command line back into arguments.
inline std::wstring quotedArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    quoted += L'"';
    return quoted;
}

inline HANDLE inheritable(const std::wstring& path, bool write) {
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, &attributes,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}
#endif

// Runs program with the arguments, standard input read from inputFile (nothing when empty),
// standard output written to outputFile when one is named (then Result::out stays empty).
inline Result run(const std::string& program, const std::vector<std::string>& arguments,
                  const std::string& input = {}, const std::string& outputFile = {}) {
    const TempDir directory;
    if (!directory.valid()) {
        return {};
    }
    const std::string inPath = directory.filePath("in");
    const std::string outPath = outputFile.empty() ? directory.filePath("out") : outputFile;
    const std::string errPath = directory.filePath("err");
    if (!writeFile(inPath, input)) {
        return {};
    }
    Result result;
#ifdef _WIN32
    std::wstring commandLine = quotedArgument(wide(program));
    for (const auto& argument : arguments) {
        commandLine += L' ' + quotedArgument(wide(argument));
    }
    HANDLE in = inheritable(wide(inPath), false);
    HANDLE out = inheritable(wide(outPath), true);
    HANDLE err = inheritable(wide(errPath), true);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION started{};
    // Under wine a start now and then fails at once on a loaded machine; nothing has run then,
    // so it is tried again.
    bool ok = false;
    for (int attempt = 0; attempt < 3 && !ok; ++attempt) {
        ok = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                            nullptr, &startup, &started) != 0;
        if (!ok) {
            Sleep(200);
        }
    }
    CloseHandle(in);
    CloseHandle(out);
    CloseHandle(err);
    if (!ok) {
        return {};
    }
    WaitForSingleObject(started.hProcess, 120000);
    DWORD code = 0;
    const bool ended = GetExitCodeProcess(started.hProcess, &code) != 0 && code != STILL_ACTIVE;
    if (!ended) {
        TerminateProcess(started.hProcess, 1);
    }
    CloseHandle(started.hProcess);
    CloseHandle(started.hThread);
    if (!ended) {
        return {};
    }
    result.exitCode = static_cast<int>(code);
#else
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::string name = program;
    std::vector<std::string> owned = arguments;
    std::vector<char*> argv{name.data()};
    for (auto& argument : owned) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, name.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return {};
    }
    result.exitCode = WEXITSTATUS(status);
#endif
    if (outputFile.empty()) {
        result.out = readFile(outPath);
    }
    result.err = readFile(errPath);
    return result;
}

}  // namespace process
