#include "batch.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>

#include "rvx/address.h"
#include "rvx/ascii.h"
#include "rvx/catalogue.h"
#include "rvx/message.h"
#include "rvx/motor_list.h"

namespace cli {

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

using rvx::ascii::isBlank;

bool isLineBreak(char c) {
    return c == '\n' || c == '\r';
}

// The label as the text format shows it: on one line, each line break a blank.
void appendLabelForText(std::string& out, std::string_view label) {
    for (std::size_t k = 0; k < label.size(); ++k) {
        if (label[k] == '\r' && k + 1 < label.size() && label[k + 1] == '\n') {
            ++k;
        }
        out += isLineBreak(label[k]) ? ' ' : label[k];
    }
}

// ---- Reading a list ----

// One motor's line as read: its parts, still text (the engine's reading of a motor line).
struct ListLine {
    std::size_t number = 0;  // the line it starts on, counted from 1
    rvx::MotorLineScan scan;
};

// Reads a list one line at a time through a buffer of fixed size, whatever the list's length.
// What it reads can be copied to a second file as it goes.
class ListReader {
public:
    enum class Step : std::uint8_t {
        Line,     // a motor's line; blank lines and comments are passed over
        End,      // the list has ended
        TooLong,  // a line is longer than maxLineBytes; nothing after it is read
        Failed,   // the list could not be read, or the copy not written; errorCode says why
    };

    ListReader(std::FILE* in, std::FILE* copy)
        : in_(in), copy_(copy), buffer_(std::size_t{1} << 16) {}

    Step next(ListLine& line);

    // The number of the line where reading stands: the one just read, or where it stopped.
    [[nodiscard]] std::size_t lineNumber() const { return number_; }
    [[nodiscard]] int errorCode() const { return errorCode_; }
    [[nodiscard]] bool copyFailed() const { return copyFailed_; }

private:
    // Enough characters to decide about any line: the longest and a carriage return and line
    // feed after it.
    static constexpr std::size_t window = maxLineBytes + 2;

    bool fill();
    void consume(std::string_view data, std::size_t end, std::size_t breaks);
    // Whether a line may end at offset at of data: a line break there, or the list's end
    // within the longest line.
    [[nodiscard]] bool endsAt(std::string_view data, std::size_t at) const {
        return at < data.size() ? isLineBreak(data[at]) : ended_ && data.size() <= maxLineBytes;
    }

    std::FILE* in_;
    std::FILE* copy_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;  // the first character not read yet
    std::size_t end_ = 0;    // the end of what the buffer holds
    bool ended_ = false;     // the list has no more characters than the buffer holds
    bool started_ = false;
    std::size_t breaks_ = 0;  // line breaks passed so far
    std::size_t number_ = 1;
    int errorCode_ = 0;
    bool copyFailed_ = false;
};

bool ListReader::fill() {
    if (end_ - begin_ >= window || ended_) {
        return true;
    }
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
    while (end_ < window && !ended_) {
        const std::size_t wanted = buffer_.size() - end_;
        const std::size_t got = std::fread(buffer_.data() + end_, 1, wanted, in_);
        if (got < wanted) {
            if (std::ferror(in_) != 0) {
                errorCode_ = errno;
                return false;
            }
            ended_ = true;
        }
        if (copy_ != nullptr && got > 0 &&
            std::fwrite(buffer_.data() + end_, 1, got, copy_) != got) {
            errorCode_ = errno;
            copyFailed_ = true;
            return false;
        }
        end_ += got;
    }
    if (!started_) {
        started_ = true;
        if (std::string_view(buffer_.data(), end_).starts_with("\xEF\xBB\xBF")) {
            begin_ = 3;
        }
    }
    return true;
}

void ListReader::consume(std::string_view data, std::size_t end, std::size_t breaks) {
    breaks_ += breaks;
    if (end < data.size()) {
        end += data[end] == '\r' && end + 1 < data.size() && data[end + 1] == '\n' ? 2U : 1U;
        ++breaks_;
    }
    begin_ += end;
}

ListReader::Step ListReader::next(ListLine& line) {
    while (true) {
        if (!fill()) {
            return Step::Failed;
        }
        const std::string_view data(buffer_.data() + begin_, end_ - begin_);
        number_ = breaks_ + 1;
        if (data.empty()) {
            return Step::End;
        }
        const std::size_t limit = std::min(data.size(), maxLineBytes + 1);
        // Where the first line ends, found only when it is wanted: for a line that is skipped
        // and for one whose quote is not closed.
        const auto firstBreak = [&](std::size_t from) {
            return static_cast<std::size_t>(
                std::find_if(data.begin() + static_cast<std::ptrdiff_t>(from),
                             data.begin() + static_cast<std::ptrdiff_t>(limit), isLineBreak) -
                data.begin());
        };
        std::size_t first = 0;
        while (first < limit && isBlank(data[first])) {
            ++first;
        }
        if (first == limit || isLineBreak(data[first]) || data[first] == '#') {
            const std::size_t end = firstBreak(first);
            if (end > maxLineBytes || !endsAt(data, end)) {
                return Step::TooLong;
            }
            consume(data, end, 0);
            continue;
        }
        line.number = number_;
        rvx::scanMotorLine(data, ended_, line.scan);
        const rvx::MotorLineScan& scan = line.scan;
        if (scan.tooLong) {
            return Step::TooLong;
        }
        if (scan.unclosed) {
            // A quote that is not closed: the line is reported, and reading goes on after its
            // first line break, as if the quote had not been there.
            const std::size_t end = firstBreak(first);
            if (end > maxLineBytes || !endsAt(data, end)) {
                return Step::TooLong;
            }
            consume(data, end, 0);
        } else {
            consume(data, scan.end, scan.breaks);
        }
        return Step::Line;
    }
}

// ---- Checking a line ----

struct Motor {
    rvx::Address address{};
    rvx::AddressKind kind = rvx::AddressKind::Single;
    std::string_view label;
};

// Reads the motor of a line; false and what is wrong, in one line, when it has none. The room
// and note a line may hold after a quoted label are read and checked, and left out of the table.
bool checkLine(const ListLine& line, rvx::MotorEntry& entry, Motor& motor, std::string& problems) {
    if (!rvx::checkMotorLine(line.scan, entry, problems)) {
        return false;
    }
    motor.address = entry.address;
    motor.kind = entry.kind;
    motor.label = entry.label;
    return true;
}

// ---- Writing the table ----

std::string_view kindName(rvx::AddressKind kind) {
    return kind == rvx::AddressKind::Group ? "group" : "single";
}

// Writes the rows of motor after motor. What is the same for every motor of a kind and command
// is made once, by the writers of the output layer, for an empty label and address 000000: the
// motor's own part (label, kind, address) and the rest of the row (command, string). A row is
// then the motor's part with its label and address put in, and the rest with the address and
// checksum bytes of the string written over those of address 000000.
class BatchTable {
public:
    BatchTable(const BatchJob& job, std::size_t labelWidth);

    void begin(BufferedWriter& out);
    void motor(const Motor& motor, BufferedWriter& out);
    void end(BufferedWriter& out);

private:
    struct RowText {
        rvx::FramesForAddresses frames;
        std::string text;  // the row after the motor's part, frame of address 000000 included
        std::size_t frameAt = 0;
        std::size_t frameLength = 0;
        // Where the digits of the bytes that change with the address stand in text; for
        // notations of two digits a byte, where every frame has the same length.
        std::array<std::size_t, 5> digitsAt{};
    };
    // The motor's own part of a row, for an empty label and address 000000.
    struct MotorPart {
        std::string text;
        std::size_t labelAt = 0;  // the label's field: [labelAt, labelEnd)
        std::size_t labelEnd = 0;
        std::size_t addressAt = 0;  // the six digits of the address
    };

    void startMotor(const Motor& motor, const rvx::Address& address);
    std::string_view jsonRowLead();
    char* writeRow(char* at, const RowText& row, const rvx::Address& address) const;

    Format format_;
    rvx::Notation notation_;
    bool fixedWidth_;
    std::size_t labelWidth_;
    std::array<MotorPart, 2> motorParts_;       // by kind
    std::array<std::vector<RowText>, 2> rows_;  // by kind
    std::string start_;                         // the motor's own part of each row
    std::string json_;                          // JSON of the writer, not yet written out
    JsonWriter jsonWriter_{json_, JsonWriter::Layout::Rows};
    std::size_t jsonRows_ = 0;  // the rows the writer was told of
    std::string laterLead_;     // what the writer puts before each row after the first
};

BatchTable::BatchTable(const BatchJob& job, std::size_t labelWidth)
    : format_(job.format),
      notation_(job.notation),
      fixedWidth_(rvx::notationInfo(job.notation).radix == 16),
      labelWidth_(labelWidth) {
    std::size_t commandWidth = 0;
    for (const std::size_t row : job.rows) {
        commandWidth = std::max(commandWidth, rvx::commandCatalogue[row].name.size());
    }
    // The notation's prefix and separator as they stand inside the string's field (a JSON
    // string doubles the backslash of "\x"); every byte's two digits follow a prefix.
    const rvx::NotationInfo& info = rvx::notationInfo(job.notation);
    // A CSV field doubles a quote.
    const auto inField = [this](std::string_view text) {
        switch (format_) {
            case Format::Json:
                return jsonString(text).size() - 2;
            case Format::Csv:
                return text.size() + static_cast<std::size_t>(std::ranges::count(text, '"'));
            case Format::Text:
                break;
        }
        return text.size();
    };
    const std::size_t quote = info.quote != 0 ? inField(std::string_view(&info.quote, 1)) : 0;
    const std::size_t prefix = inField(info.prefix);
    const std::size_t step = prefix + 2 + inField(info.suffix) + inField(info.separator);
    constexpr std::string_view zeros = "000000";

    for (const auto kind : {rvx::AddressKind::Single, rvx::AddressKind::Group}) {
        MotorPart& part = motorParts_[static_cast<std::size_t>(kind)];
        for (const std::size_t row : job.rows) {
            const rvx::Command& command = rvx::commandCatalogue[row];
            RowText made{rvx::FramesForAddresses(command, kind, job.values), {}, 0, 0, {}};
            const std::string string =
                made.frames.made() ? rvx::writeFrame(made.frames.forAddress({}), job.notation)
                                   : std::string();
            // The whole row for an empty label, then split after the address.
            std::string whole;
            std::size_t motorEnd = 0;
            switch (format_) {
                case Format::Json: {
                    JsonWriter json(whole, JsonWriter::Layout::Rows);
                    json.beginObject();
                    json.key("label");
                    part.labelAt = whole.size();
                    json.string("");
                    part.labelEnd = whole.size();
                    json.key("kind");
                    json.string(kindName(kind));
                    json.key("address");
                    part.addressAt = json.string(zeros);
                    motorEnd = whole.size();
                    json.key("command");
                    json.string(command.name);
                    json.key("string");
                    made.frameAt = json.string(string) - motorEnd;
                    json.endObject();
                    break;
                }
                case Format::Csv:
                    whole += ',';
                    whole += kindName(kind);
                    whole += ',';
                    part.addressAt = whole.size();
                    whole += zeros;
                    whole += ',';
                    motorEnd = whole.size();
                    appendCsvField(whole, command.name);
                    whole += ',';
                    made.frameAt = appendCsvField(whole, string) - motorEnd;
                    whole += '\n';
                    break;
                case Format::Text:
                    if (labelWidth_ > 0) {
                        whole.append(labelWidth_ + 2, ' ');
                        part.labelEnd = whole.size();
                    }
                    whole += kindName(kind);
                    whole.append(8 - kindName(kind).size(), ' ');
                    part.addressAt = whole.size();
                    whole += zeros;
                    whole += "  ";
                    motorEnd = whole.size();
                    whole += command.name;
                    whole.append(commandWidth + 2 - command.name.size(), ' ');
                    made.frameAt = whole.size() - motorEnd;
                    whole += string;
                    whole += '\n';
                    break;
            }
            part.text = whole.substr(0, motorEnd);
            made.text = whole.substr(motorEnd);
            made.frameLength = string.size();
            for (std::size_t k = 0; k < made.digitsAt.size(); ++k) {
                made.digitsAt[k] =
                    made.frameAt + quote + made.frames.varyingBytes()[k] * step + prefix;
            }
            rows_[static_cast<std::size_t>(kind)].push_back(std::move(made));
        }
    }
}

void BatchTable::begin(BufferedWriter& out) {
    if (format_ == Format::Csv) {
        std::string header;
        TableWriter(header, Format::Csv, {"label", "kind", "address", "command", "string"}).begin();
        out.append(header);
    } else if (format_ == Format::Json) {
        jsonWriter_.beginArray();
        out.append(json_);
        json_.clear();
    }
}

void BatchTable::end(BufferedWriter& out) {
    if (format_ == Format::Json) {
        json_.clear();  // the text before the last row, written with it
        jsonWriter_.endArray();
        json_ += '\n';
        out.append(json_);
        json_.clear();
    }
}

void BatchTable::startMotor(const Motor& motor, const rvx::Address& address) {
    const MotorPart& part = motorParts_[static_cast<std::size_t>(motor.kind)];
    start_.assign(part.text, 0, part.labelAt);
    switch (format_) {
        case Format::Json:
            appendJsonString(start_, motor.label);
            break;
        case Format::Csv:
            appendCsvTextField(start_, motor.label);
            break;
        case Format::Text:
            if (labelWidth_ > 0) {
                appendLabelForText(start_, motor.label);
                const std::size_t width = displayWidth(start_);
                start_.append(labelWidth_ + 2 - std::min(labelWidth_, width), ' ');
            }
            break;
    }
    const std::size_t addressAt = start_.size() + part.addressAt - part.labelEnd;
    start_.append(part.text, part.labelEnd);
    // The address is its three bytes written compact.
    rvx::writeBytesTo(start_.data() + addressAt, address, rvx::Notation::Compact);
}

// Writes the rest of a row at at, which has room for it; returns its end.
char* BatchTable::writeRow(char* at, const RowText& row, const rvx::Address& address) const {
    if (!row.frames.made()) {
        std::memcpy(at, row.text.data(), row.text.size());
        return at + row.text.size();
    }
    if (fixedWidth_) {
        // The text of address 000000, with the bytes that change written over it: the
        // address's own, then the checksum's.
        std::memcpy(at, row.text.data(), row.text.size());
        const std::uint16_t checksum = row.frames.checksumFor(address);
        const std::array<std::uint8_t, 5> bytes{address[0], address[1], address[2],
                                                static_cast<std::uint8_t>(checksum >> 8),
                                                static_cast<std::uint8_t>(checksum & 0xFF)};
        for (std::size_t k = 0; k < bytes.size(); ++k) {
            std::memcpy(at + row.digitsAt[k], rvx::ascii::hexByte(bytes[k]).data(), 2);
        }
        return at + row.text.size();
    }
    const rvx::Frame frame = row.frames.forAddress(address);
    std::memcpy(at, row.text.data(), row.frameAt);
    at = rvx::writeBytesTo(at + row.frameAt, frame, notation_);
    const std::size_t after = row.frameAt + row.frameLength;
    std::memcpy(at, row.text.data() + after, row.text.size() - after);
    return at + row.text.size() - after;
}

// What stands before a row of the JSON array. The writer is told of the first two rows; the
// text before the second is the text before every later one, and is repeated from there on.
std::string_view BatchTable::jsonRowLead() {
    if (jsonRows_ >= 2) {
        return laterLead_;
    }
    json_.clear();
    jsonWriter_.beginRaw();
    if (++jsonRows_ == 2) {
        laterLead_ = json_;
    }
    return json_;
}

void BatchTable::motor(const Motor& motor, BufferedWriter& out) {
    startMotor(motor, motor.address);
    const std::size_t longest = rvx::maxWrittenLength(notation_, rvx::frameLength);
    const bool json = format_ == Format::Json;
    for (const RowText& row : rows_[static_cast<std::size_t>(motor.kind)]) {
        // The row is one value of the table's array.
        const std::string_view lead = json ? jsonRowLead() : std::string_view();
        char* at = out.room(lead.size() + start_.size() + row.text.size() + longest);
        if (json) {
            std::memcpy(at, lead.data(), lead.size());
            at += lead.size();
        }
        std::memcpy(at, start_.data(), start_.size());
        out.commit(writeRow(at + start_.size(), row, motor.address));
    }
}

// The file of --export for a platform, from the motors of the list's second reading. The motors
// are held, since a file may name each of them more than once (Home Assistant's commands, then
// its covers); the file itself is written as it is made, until the first write that fails.
int writeExport(const BatchJob& job, ListReader& reader, std::size_t motors, std::FILE* out,
                std::FILE* err) {
    std::vector<rvx::SiteMotor> site;
    site.reserve(motors);
    ListLine line;
    rvx::MotorEntry entry;
    Motor motor;
    std::string problems;
    for (std::size_t read = 0; read < motors; ++read) {
        const auto step = reader.next(line);
        if (step != ListReader::Step::Line || !checkLine(line, entry, motor, problems)) {
            (void)writeLine(err, messageLine("--batch \"" + rvx::escaped(job.path) +
                                             "\": the list changed while it was read; "
                                             "nothing is written"));
            return exitUsage;
        }
        site.push_back({motor.address, motor.kind, std::string(motor.label)});
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

std::string inNotation(const std::optional<rvx::Frame>& frame, rvx::Notation notation) {
    return frame ? rvx::writeFrame(*frame, notation) : std::string();
}

int runBatch(const BatchJob& job, std::FILE* out, std::FILE* err) {
    const auto report = [err](const std::string& line) { (void)writeLine(err, line); };
    const bool standardInput = job.path == "-";
    const std::string source = standardInput ? "(standard input)" : rvx::escaped(job.path);
    const std::string option = messageLine("--batch \"" + rvx::escaped(job.path) + "\": ");
    const auto cannotRead = [&](const ListReader& reader) {
        report(option + (reader.copyFailed() ? "cannot keep a copy of it: " : "cannot read: ") +
               std::strerror(reader.errorCode()));
        return exitUsage;
    };

    File opened(nullptr, &std::fclose);
    std::FILE* in = stdin;
    if (!standardInput) {
        opened.reset(std::fopen(job.path.c_str(), "rb"));
        if (!opened) {
            report(option + "cannot read: " + std::strerror(errno));
            return exitUsage;
        }
        in = opened.get();
    }
    // A regular file is read again from its start; anything else is copied as it is checked.
    File copy(nullptr, &std::fclose);
    std::error_code ignored;
    if (standardInput || !std::filesystem::is_regular_file(job.path, ignored)) {
        copy.reset(std::tmpfile());
        if (!copy) {
            report(option + "cannot keep a copy of it: " + std::strerror(errno));
            return exitUsage;
        }
    }

    // First reading: every line checked, and the widths the text format needs.
    ListLine line;
    rvx::MotorEntry entry;
    Motor motor;
    std::string problems;
    std::size_t motors = 0;
    std::size_t badLines = 0;
    std::size_t labelWidth = 0;
    std::string label;
    {
        ListReader reader(in, copy.get());
        for (bool reading = true; reading;) {
            switch (reader.next(line)) {
                case ListReader::Step::Line:
                    if (checkLine(line, entry, motor, problems)) {
                        ++motors;
                        if (job.format == Format::Text) {
                            label.clear();
                            appendLabelForText(label, motor.label);
                            labelWidth =
                                std::max(labelWidth, std::min(displayWidth(label), maxLabelColumn));
                        }
                    } else if (++badLines > maxReportedLines) {
                        report(source + ": more than " + std::to_string(maxReportedLines) +
                               " bad lines; the rest is not checked");
                        reading = false;
                    } else {
                        report(source + ":" + std::to_string(line.number) + ": " + problems);
                    }
                    break;
                case ListReader::Step::End:
                    reading = false;
                    break;
                case ListReader::Step::TooLong:
                    report(source + ":" + std::to_string(reader.lineNumber()) +
                           ": the line is longer than " + std::to_string(maxLineBytes) +
                           " bytes; the rest of the list is not read");
                    ++badLines;
                    reading = false;
                    break;
                case ListReader::Step::Failed:
                    return cannotRead(reader);
            }
        }
    }
    if (badLines > 0) {
        return exitUsage;
    }
    if (job.exportKind && motors == 0) {
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
    ListReader reader(again, nullptr);
    if (job.exportKind) {
        return writeExport(job, reader, motors, out, err);
    }
    BatchTable table(job, labelWidth);
    BufferedWriter output(out);
    table.begin(output);
    for (std::size_t written = 0; written < motors && !output.failed(); ++written) {
        const auto step = reader.next(line);
        if (step == ListReader::Step::Failed) {
            return cannotRead(reader);
        }
        if (step != ListReader::Step::Line || !checkLine(line, entry, motor, problems)) {
            (void)output.finish();
            report(option + "the list changed while it was read; the table is cut short");
            return exitUsage;
        }
        table.motor(motor, output);
    }
    table.end(output);
    return finishOutput(output, err);
}

}  // namespace cli
