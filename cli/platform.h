// What rvx-strings needs of the system that differs between systems: the arguments as UTF-8,
// standard streams that pass bytes unchanged, files named in UTF-8, temporary files in the
// user's temporary folder, and a file put in place whole.
//
// On Windows the arguments arrive in UTF-16 and are made UTF-8 here, and every file name is
// UTF-8 turned back into UTF-16 for the system, so a name such as "Łódź.txt" opens whatever the
// code page. Elsewhere the arguments and names are bytes, passed on unchanged.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace cli {

// The arguments after the program's name.
[[nodiscard]] std::vector<std::string> programArguments(int argc, char* argv[]);

// Standard input, output and error in binary mode where the system has another (Windows): no
// "\r" added before "\n", and no Ctrl-Z taken as the end of the input.
void useBinaryStandardStreams();

// A file by the name given (UTF-8 on Windows); as std::fopen does otherwise.
[[nodiscard]] std::FILE* openFile(const std::string& name, const char* mode);

// The path of a name given, for std::filesystem.
[[nodiscard]] std::filesystem::path pathOf(const std::string& name);

// A new file for reading and writing, removed when closed (or at the end of the program), in
// the user's temporary folder (TMPDIR, TMP, TEMP, as the system takes them). Null, with errno
// set, when none can be made.
[[nodiscard]] std::FILE* temporaryFile();

// The text of the last failure of the system's C library (strerror(errno)).
[[nodiscard]] std::string systemError(int error);

// A result written to a file named by the user: into a new file beside it first, which takes
// its place only once everything is written, so that the file is written whole or not at all.
class OutputFile {
public:
    explicit OutputFile(std::string name) : name_(std::move(name)) {}
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Makes the new file; false, with the reason in problem(), where it cannot be made.
    bool open();
    [[nodiscard]] std::FILE* stream() const { return stream_; }
    // Puts the file in place (keep) or removes it and leaves what was there; false, with the
    // reason in problem(), when it could not be written or put in place.
    bool finish(bool keep);
    [[nodiscard]] const std::string& problem() const { return problem_; }

private:
    void discard();

    std::string name_;
    std::string temporaryName_;
    std::FILE* stream_ = nullptr;
    std::string problem_;
};

}  // namespace cli
