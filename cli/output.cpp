#include "output.h"

namespace cli {

namespace {
std::string& writtenTo() {
    static std::string name = "standard output";
    return name;
}
}  // namespace

void nameOutput(std::string name) {
    writtenTo() = std::move(name);
}

const std::string& outputName() {
    return writtenTo();
}

std::string messageLine(std::string_view message) {
    std::string line(programName);
    line += ": ";
    line += message;
    return line;
}

bool writeLine(std::FILE* stream, std::string_view line) {
    std::string text(line);
    text += '\n';
    return std::fwrite(text.data(), 1, text.size(), stream) == text.size() &&
           std::fflush(stream) == 0;
}

void tell(std::FILE* err, std::string_view message) {
    (void)writeLine(err, messageLine(message));
}

bool FileSink::write(std::string_view bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), stream_) == bytes.size();
}

bool FileSink::flush() {
    return std::fflush(stream_) == 0 && std::ferror(stream_) == 0;
}

int finishOutput(BufferedWriter& out, std::FILE* err, int status) {
    if (!out.finish()) {
        tell(err, "cannot write " + outputName());
        return exitOutput;
    }
    return status;
}

}  // namespace cli
