#include "batch.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "rvx/address.h"
#include "rvx/catalogue.h"
#include "rvx/number.h"

namespace cli {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string lowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

bool isValidUtf8(std::string_view text) {
    std::size_t k = 0;
    while (k < text.size()) {
        const auto lead = static_cast<unsigned char>(text[k]);
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;  // bounds of the second byte
        if (lead < 0x80) {
            length = 1;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (k + length > text.size()) {
            return false;
        }
        for (std::size_t n = 1; n < length; ++n) {
            const auto c = static_cast<unsigned char>(text[k + n]);
            const unsigned char lo = n == 1 ? low : 0x80;
            const unsigned char hi = n == 1 ? high : 0xBF;
            if (c < lo || c > hi) {
                return false;
            }
        }
        k += length;
    }
    return true;
}

bool hasControlCharacter(std::string_view text) {
    return std::ranges::any_of(text, [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && c != '\t') || u == 0x7F;
    });
}

// A label written as a quoted CSV field ("Hall, ""east""") without its quotes; a label that
// does not start with a quote as it stands. False when the quotes are not closed or text
// follows the closing quote.
bool unquoteLabel(std::string_view text, std::string& label) {
    if (!text.starts_with('"')) {
        label = std::string(text);
        return true;
    }
    label.clear();
    for (std::size_t k = 1; k < text.size(); ++k) {
        if (text[k] != '"') {
            label += text[k];
        } else if (k + 1 < text.size() && text[k + 1] == '"') {
            label += '"';
            ++k;
        } else {
            return k + 1 == text.size();
        }
    }
    return false;
}

// The problems of one line's parts, joined; empty when the motor is fine.
std::string checkMotor(const Motor& motor, std::string_view kindText, bool labelOk) {
    std::vector<std::string> problems;
    const auto reading = rvx::readAddress(motor.address);
    if (!reading.ok()) {
        problems.push_back(rvx::addressMessage(motor.address, reading));
    }
    if (!kindText.empty()) {
        const std::string kind = lowerAscii(kindText);
        if (kind != "single" && kind != "group") {
            problems.push_back("kind \"" + std::string(kindText) + "\": must be single or group");
        }
    }
    if (!labelOk) {
        problems.emplace_back(
            "the label starts with a quote but is no quoted field (\"Hall, \"\"east\"\"\")");
    } else if (!isValidUtf8(motor.label)) {
        problems.emplace_back("the label is not valid UTF-8");
    } else if (hasControlCharacter(motor.label)) {
        problems.emplace_back("the label holds a control character");
    }
    std::string joined;
    for (const auto& problem : problems) {
        joined += joined.empty() ? "" : "; ";
        joined += problem;
    }
    return joined;
}

}  // namespace

MotorList readMotorList(std::string_view content, const std::string& sourceName) {
    MotorList list;
    if (content.starts_with("\xEF\xBB\xBF")) {
        content.remove_prefix(3);
    }
    std::size_t lineNumber = 0;
    while (!content.empty()) {
        ++lineNumber;
        const std::size_t end = content.find('\n');
        std::string_view line = content.substr(0, end);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        const std::string_view trimmed = trimBlanks(line);
        if (trimmed.empty() || trimmed.front() == '#') {
            continue;
        }

        Motor motor;
        std::string_view kindText;
        bool labelOk = true;
        const std::size_t firstComma = line.find(',');
        motor.address = std::string(trimBlanks(line.substr(0, firstComma)));
        if (firstComma != std::string_view::npos) {
            const std::string_view rest = line.substr(firstComma + 1);
            const std::size_t secondComma = rest.find(',');
            kindText = trimBlanks(rest.substr(0, secondComma));
            if (secondComma != std::string_view::npos) {
                labelOk = unquoteLabel(trimBlanks(rest.substr(secondComma + 1)), motor.label);
            }
        }
        motor.kind =
            lowerAscii(kindText) == "group" ? rvx::AddressKind::Group : rvx::AddressKind::Single;

        const std::string problems = checkMotor(motor, kindText, labelOk);
        if (!problems.empty()) {
            list.errors.push_back(sourceName + ":" + std::to_string(lineNumber) + ": " + problems);
        } else if (list.errors.empty()) {
            list.motors.push_back(std::move(motor));
        }
    }
    if (!list.errors.empty()) {
        list.motors.clear();
    }
    return list;
}

bool readSource(const std::string& path, std::string& content, std::string& error) {
    const bool standardInput = path == "-";
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> owned(
        standardInput ? nullptr : std::fopen(path.c_str(), "rb"), &std::fclose);
    std::FILE* file = standardInput ? stdin : owned.get();
    if (file == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    content.clear();
    char chunk[1 << 16];
    std::size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        content.append(chunk, n);
    }
    if (std::ferror(file) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

std::string inNotation(const std::optional<rvx::Frame>& frame, rvx::Notation notation) {
    return frame ? rvx::writeFrame(*frame, notation) : std::string();
}

void writeBatch(const std::vector<Motor>& motors, const rvx::MemoryFields& parameters,
                const std::vector<std::size_t>& rows, Format format, rvx::Notation notation,
                StandardOutput& out) {
    std::size_t labelWidth = 0;
    for (const Motor& motor : motors) {
        labelWidth = std::max(labelWidth, displayWidth(motor.label));
    }
    std::size_t commandWidth = 0;
    for (const std::size_t row : rows) {
        commandWidth = std::max(commandWidth, rvx::commandCatalogue[row].name.size());
    }
    TableWriter table(format, {"label", "kind", "address", "command", "string"},
                      {labelWidth, 6, 6, commandWidth});

    table.begin(out.buffer);
    rvx::MemoryFields fields = parameters;
    rvx::CommandStringEngine engine(fields);
    for (const Motor& motor : motors) {
        fields.kind = motor.kind;
        fields.address[static_cast<std::size_t>(motor.kind)] = motor.address;
        engine.getAddress();
        const std::string_view kind = motor.kind == rvx::AddressKind::Group ? "group" : "single";
        const std::string& address = fields.address[static_cast<std::size_t>(motor.kind)];
        for (const std::size_t row : rows) {
            table.row(out.buffer, {motor.label, kind, address, rvx::commandCatalogue[row].name,
                                   inNotation(fields.frames[row], notation)});
        }
        out.writeIfLarge();
    }
    table.end(out.buffer);
}

}  // namespace cli

namespace cli {

int runBatch(const BatchJob& job, std::FILE* out, std::FILE* err) {
    const auto report = [err](const std::string& line) {
        const std::string text = line + "\n";
        std::fwrite(text.data(), 1, text.size(), err);
    };
    std::string content;
    std::string reason;
    if (!readSource(job.path, content, reason)) {
        report("rvx-strings: --batch \"" + job.path + "\": cannot read: " + reason);
        return 2;
    }
    const auto list = readMotorList(content, job.path == "-" ? "(standard input)" : job.path);
    if (!list.errors.empty()) {
        for (const auto& line : list.errors) {
            report(line);
        }
        return 2;
    }
    rvx::MemoryFields parameters;
    for (const auto& info : rvx::parameterCatalogue) {
        parameters.parameter(info.field) =
            rvx::plainDecimal(job.values[static_cast<std::size_t>(info.field)]);
    }
    StandardOutput output(out);
    writeBatch(list.motors, parameters, job.rows, job.format, job.notation, output);
    if (!output.finish()) {
        report("rvx-strings: cannot write standard output");
        return 3;
    }
    return 0;
}

}  // namespace cli
