#include "batch.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform.h"
#include "rvx/message.h"

namespace cli {

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// A list read from a file, copied to a second file as it goes where that is given.
class FileSource final : public rvx::ListSource {
public:
    FileSource(std::FILE* in, std::FILE* copy) : in_(in), copy_(copy) {}

    std::size_t read(char* into, std::size_t size) override {
        const std::size_t got = std::fread(into, 1, size, in_);
        if (got < size && std::ferror(in_) != 0) {
            errorCode_ = errno;
            failed_ = true;
        } else if (copy_ != nullptr && got > 0 && std::fwrite(into, 1, got, copy_) != got) {
            errorCode_ = errno;
            failed_ = true;
            copyFailed_ = true;
        }
        return failed_ ? 0 : got;
    }
    [[nodiscard]] bool failed() const override { return failed_; }
    [[nodiscard]] int errorCode() const { return errorCode_; }
    [[nodiscard]] bool copyFailed() const { return copyFailed_; }

private:
    std::FILE* in_;
    std::FILE* copy_;
    int errorCode_ = 0;
    bool failed_ = false;
    bool copyFailed_ = false;
};

// The file of --export for a platform, from the motors of the list's second reading. The motors
// are held, since a file may name each of them more than once (Home Assistant's commands, then
// its covers); the file itself is written as it is made, until the first write that fails.
int writeExport(const BatchJob& job, rvx::ListSource& source, std::size_t motors, std::FILE* out,
                std::FILE* err) {
    std::vector<rvx::Motor> site;
    site.reserve(motors);
    rvx::MotorListReader reader(source);
    std::string problems;
    for (std::size_t read = 0; read < motors; ++read) {
        rvx::Motor motor;
        if (reader.next() != rvx::MotorListReader::Step::Line ||
            !rvx::checkMotorLine(reader.scan(), motor, problems)) {
            (void)writeLine(err, messageLine("--batch \"" + rvx::escaped(job.path) +
                                             "\": the list changed while it was read; "
                                             "nothing is written"));
            return exitUsage;
        }
        site.push_back(std::move(motor));
    }
    rvx::SiteExportRequest request;
    request.motors = site;
    request.target = job.target;
    request.values = job.values;
    request.rows = job.rows;
    request.notation = job.notation;
    BufferedWriter output(out);
    const std::string problem =
        rvx::writeSiteExport(*job.exportKind, request, [&output](std::string_view piece) {
            output.append(piece);
            return !output.failed();
        });
    if (!problem.empty()) {
        (void)writeLine(err, messageLine("--export: " + problem));
        return exitUsage;
    }
    return finishOutput(output, err);
}

}  // namespace

int runBatch(const BatchJob& job, std::FILE* out, std::FILE* err) {
    const auto report = [err](const std::string& line) { (void)writeLine(err, line); };
    const bool standardInput = job.path == "-";
    const std::string source = standardInput ? "(standard input)" : rvx::escaped(job.path);
    const std::string option = messageLine("--batch \"" + rvx::escaped(job.path) + "\": ");
    const auto cannotRead = [&](const FileSource& reading) {
        report(option + (reading.copyFailed() ? "cannot keep a copy of it: " : "cannot read: ") +
               std::strerror(reading.errorCode()));
        return exitUsage;
    };

    File opened(nullptr, &std::fclose);
    std::FILE* in = stdin;
    std::error_code ignored;
    if (!standardInput) {
        // Windows opens no folder as a file, and says only that access is denied.
        if (std::filesystem::is_directory(pathOf(job.path), ignored)) {
            report(option + "cannot read: " + systemError(EISDIR));
            return exitUsage;
        }
        opened.reset(openFile(job.path, "rb"));
        if (!opened) {
            report(option + "cannot read: " + std::strerror(errno));
            return exitUsage;
        }
        in = opened.get();
    }
    // A regular file is read again from its start; anything else is copied as it is checked.
    File copy(nullptr, &std::fclose);
    if (standardInput || !std::filesystem::is_regular_file(pathOf(job.path), ignored)) {
        copy.reset(temporaryFile());
        if (!copy) {
            report(option + "cannot keep a copy of it: " + std::strerror(errno));
            return exitUsage;
        }
    }

    // First reading: every line checked, and the widths the text format needs.
    FileSource first(in, copy.get());
    const rvx::ListCheck check = rvx::checkList(first, job.format);
    for (const rvx::ListProblem& problem : check.problems) {
        report(source + ":" + std::to_string(problem.line) + ": " + problem.message);
    }
    switch (check.end) {
        case rvx::ListCheck::End::Whole:
            break;
        case rvx::ListCheck::End::TooManyProblems:
            report(source + ": more than " + std::to_string(rvx::maxReportedLines) +
                   " bad lines; the rest is not checked");
            break;
        case rvx::ListCheck::End::TooLong:
            report(source + ":" + std::to_string(check.stopLine) + ": the line is longer than " +
                   std::to_string(maxLineBytes) + " bytes; the rest of the list is not read");
            break;
        case rvx::ListCheck::End::Failed:
            return cannotRead(first);
    }
    if (!check.notText.empty()) {
        report(source + ": " + check.notText);
    }
    if (!check.ok()) {
        return exitUsage;
    }
    if (job.exportKind && check.motors == 0) {
        // A file without motors is one no platform takes.
        report(option +
               "the list holds no motor, only blank lines or comments; there is "
               "nothing to export");
        return exitUsage;
    }

    // Second reading: the table, motor by motor, until the first write that fails.
    std::FILE* again = copy ? copy.get() : in;
    if (copy && std::fflush(copy.get()) != 0) {
        report(option + "cannot keep a copy of it: " + std::strerror(errno));
        return exitUsage;
    }
    std::rewind(again);
    FileSource second(again, nullptr);
    if (job.exportKind) {
        return writeExport(job, second, check.motors, out, err);
    }
    BufferedWriter output(out);
    switch (rvx::writeTable(second, check, job, output)) {
        case rvx::TableEnd::Written:
            break;
        case rvx::TableEnd::ReadFailed:
            return cannotRead(second);
        case rvx::TableEnd::ListChanged:
            (void)output.finish();
            report(option + "the list changed while it was read; the table is cut short");
            return exitUsage;
    }
    return finishOutput(output, err);
}

}  // namespace cli
