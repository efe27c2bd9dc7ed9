#include "platform.h"

#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace cli {

namespace {

#ifdef _WIN32
std::wstring wide(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
    return text;
}

std::string narrow(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return {};
    }
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    utf8.pop_back();  // the terminating zero
    return utf8;
}
#endif

// Eight random hexadecimal digits, for names no other program picks.
std::string randomSuffix() {
    static std::mt19937 random(std::random_device{}());
    static constexpr char digits[] = "0123456789abcdef";
    std::string suffix;
    for (int k = 0; k < 8; ++k) {
        suffix += digits[random() % 16];
    }
    return suffix;
}

// A new file that no other has the name of, opened for writing; null when it exists.
std::FILE* createNew(const std::string& name, bool temporary) {
#ifdef _WIN32
    const int flags =
        _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY | (temporary ? _O_TEMPORARY | _O_SHORT_LIVED : 0);
    const int fd = _wopen(wide(name).c_str(), flags, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "w+b");
    if (file == nullptr) {
        _close(fd);
    }
    return file;
#else
    (void)temporary;
    const int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0666);
    if (fd < 0) {
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "w+b");
    if (file == nullptr) {
        ::close(fd);
    }
    return file;
#endif
}

}  // namespace

std::vector<std::string> programArguments(int argc, char* argv[]) {
#ifdef _WIN32
    (void)argv;
    int count = 0;
    wchar_t** wideArguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int k = 1; wideArguments != nullptr && k < count; ++k) {
        arguments.push_back(narrow(wideArguments[k]));
    }
    LocalFree(wideArguments);
    (void)argc;
    return arguments;
#else
    return {argc > 0 ? argv + 1 : argv, argv + argc};
#endif
}

void useBinaryStandardStreams() {
#ifdef _WIN32
    (void)_setmode(_fileno(stdin), _O_BINARY);
    (void)_setmode(_fileno(stdout), _O_BINARY);
    (void)_setmode(_fileno(stderr), _O_BINARY);
#endif
}

std::FILE* openFile(const std::string& name, const char* mode) {
#ifdef _WIN32
    return _wfopen(wide(name).c_str(), wide(mode).c_str());
#else
    return std::fopen(name.c_str(), mode);
#endif
}

std::filesystem::path pathOf(const std::string& name) {
#ifdef _WIN32
    return {wide(name)};
#else
    return {name};
#endif
}

std::FILE* temporaryFile() {
#ifdef _WIN32
    // The C library's tmpfile() makes its file in the root of the drive, where a user may not
    // write.
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) {
        errno = ENOENT;
        return nullptr;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = narrow(folder) + "rvx-strings-" + randomSuffix() + ".tmp";
        errno = 0;
        if (std::FILE* file = createNew(name, true)) {
            return file;
        }
        if (errno != EEXIST) {
            return nullptr;
        }
    }
    return nullptr;
#else
    return std::tmpfile();
#endif
}

std::string systemError(int error) {
    return std::strerror(error);
}

OutputFile::~OutputFile() {
    discard();
}

bool OutputFile::open() {
    const std::filesystem::path target = pathOf(name_);
    std::error_code ignored;
    if (std::filesystem::is_directory(target, ignored)) {
        problem_ = systemError(EISDIR);
        return false;
    }
    // Beside the file, so that it takes the file's place in one step on the same file system.
    const std::string folderEnd = name_.substr(0, name_.find_last_of(
#ifdef _WIN32
                                                      "/\\:"
#else
                                                      "/"
#endif
                                                      ) +
                                                      1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = folderEnd + ".rvx-strings-" + randomSuffix() + ".part";
        errno = 0;
        stream_ = createNew(candidate, false);
        if (stream_ != nullptr) {
            temporaryName_ = candidate;
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    problem_ = systemError(errno);
    return false;
}

void OutputFile::discard() {
    if (stream_ != nullptr) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (!temporaryName_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(pathOf(temporaryName_), ignored);
        temporaryName_.clear();
    }
}

bool OutputFile::finish(bool keep) {
    if (!keep || stream_ == nullptr) {
        discard();
        return true;
    }
    const bool written = std::fflush(stream_) == 0 && std::ferror(stream_) == 0;
    const int error = errno;
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    if (!written || !closed) {
        problem_ = systemError(written ? errno : error);
        discard();
        return false;
    }
#ifdef _WIN32
    // rename() there refuses to replace a file that exists.
    if (MoveFileExW(wide(temporaryName_).c_str(), wide(name_).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        problem_ = std::system_category().message(static_cast<int>(GetLastError()));
        discard();
        return false;
    }
#else
    if (std::rename(temporaryName_.c_str(), name_.c_str()) != 0) {
        problem_ = systemError(errno);
        discard();
        return false;
    }
#endif
    temporaryName_.clear();
    return true;
}

}  // namespace cli
