#include "rvx/batch_table.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "rvx/ascii.h"
#include "rvx/catalogue.h"
#include "rvx/json.h"
#include "rvx/json_writer.h"
#include "rvx/table_writer.h"

namespace rvx {

namespace {

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

// The width the label takes in the text format's label column.
std::size_t labelWidthOf(std::string_view label, std::string& scratch) {
    scratch.clear();
    appendLabelForText(scratch, label);
    return std::min(displayWidth(scratch), maxLabelColumn);
}

// Rows are put together from pieces copied in blocks of a fixed size, which the compiler turns
// into a few vector moves where a copy of any length would be a call into the C library. A
// piece's last block may run past its end into the room of the next piece, or into room asked
// for but not committed; every piece is therefore held in whole blocks.
constexpr std::size_t block = 32;

constexpr std::size_t inBlocks(std::size_t size) {
    return (size + block - 1) / block * block;
}

// The first size characters of from, which holds inBlocks(size), at to; returns their end.
char* copyBlocks(char* to, const char* from, std::size_t size) {
    for (std::size_t k = 0; k < size; k += block) {
        std::memcpy(to + k, from + k, block);
    }
    return to + size;
}

// Writes the rows of motor after motor. What is the same for every motor of a kind and command
// is made once, by the writers of the output layer, for an empty label and address 000000: the
// motor's own part (label, kind, address) and the rest of the row (command, string). A row is
// then the motor's part with its label and address put in, and the rest with the address and
// checksum bytes of the string written over those of address 000000.
class BatchTable {
public:
    BatchTable(const BatchOptions& options, std::size_t labelWidth);

    void begin(BufferedWriter& out);
    void motor(const MotorLineView& motor, BufferedWriter& out);
    void end(BufferedWriter& out);

private:
    struct RowText {
        FramesForAddresses frames;
        std::string text;    // the row after the motor's part, frame of address 000000 included
        std::string blocks;  // text, filled up to whole blocks
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

    void startMotor(const MotorLineView& motor);
    std::string_view jsonRowLead();
    char* writeRow(char* at, const RowText& row, const Address& address) const;

    Format format_;
    Notation notation_;
    bool fixedWidth_;
    std::size_t labelWidth_;
    std::array<MotorPart, 2> motorParts_;       // by kind
    std::array<std::vector<RowText>, 2> rows_;  // by kind
    std::string start_;  // the motor's own part of each row, filled up to whole blocks
    std::size_t startLength_ = 0;
    std::array<char, 6> addressDigits_{};  // the motor's address written compact
    std::string json_;                     // JSON of the writer, not yet written out
    JsonWriter jsonWriter_{json_, JsonWriter::Layout::Rows};
    std::size_t jsonRows_ = 0;     // the rows the writer was told of
    std::string laterLead_;        // what the writer puts before each row after the first
    std::string laterLeadBlocks_;  // the same, filled up to whole blocks
};

BatchTable::BatchTable(const BatchOptions& job, std::size_t labelWidth)
    : format_(job.format),
      notation_(job.notation),
      fixedWidth_(notationInfo(job.notation).radix == 16),
      labelWidth_(labelWidth) {
    std::size_t commandWidth = 0;
    for (const std::size_t row : job.rows) {
        commandWidth = std::max(commandWidth, commandCatalogue[row].name.size());
    }
    // The notation's prefix and separator as they stand inside the string's field (a JSON
    // string doubles the backslash of "\x"); every byte's two digits follow a prefix.
    const NotationInfo& info = notationInfo(job.notation);
    // A CSV field doubles a quote.
    const auto inField = [this](std::string_view text) {
        switch (format_) {
            case Format::Json:
                return jsonString(text).size() - 2;
            case Format::Csv:
                return text.size() +
                       static_cast<std::size_t>(std::count(text.begin(), text.end(), '"'));
            case Format::Text:
                break;
        }
        return text.size();
    };
    const std::size_t quote = info.quote != 0 ? inField(std::string_view(&info.quote, 1)) : 0;
    const std::size_t prefix = inField(info.prefix);
    const std::size_t step = prefix + 2 + inField(info.suffix) + inField(info.separator);
    constexpr std::string_view zeros = "000000";

    for (const auto kind : {AddressKind::Single, AddressKind::Group}) {
        MotorPart& part = motorParts_[static_cast<std::size_t>(kind)];
        for (const std::size_t row : job.rows) {
            const Command& command = commandCatalogue[row];
            RowText made{FramesForAddresses(command, kind, job.values), {}, {}, 0, 0, {}};
            const std::string string = made.frames.made()
                                           ? writeFrame(made.frames.forAddress({}), job.notation)
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
            made.blocks = made.text;
            made.blocks.resize(inBlocks(made.text.size()));
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

void BatchTable::startMotor(const MotorLineView& motor) {
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
    // The address is its three bytes written compact, as they stand in every row's string.
    for (std::size_t k = 0; k < motor.address.size(); ++k) {
        std::memcpy(addressDigits_.data() + 2 * k, ascii::hexByte(motor.address[k]).data(), 2);
    }
    std::memcpy(start_.data() + addressAt, addressDigits_.data(), addressDigits_.size());
    startLength_ = start_.size();
    start_.resize(inBlocks(startLength_));
}

// Writes the rest of a row at at, which has room for it; returns its end.
char* BatchTable::writeRow(char* at, const RowText& row, const Address& address) const {
    if (!row.frames.made()) {
        std::memcpy(at, row.text.data(), row.text.size());
        return at + row.text.size();
    }
    if (fixedWidth_) {
        // The text of address 000000, with the bytes that change written over it: the
        // address's own, then the checksum's.
        copyBlocks(at, row.blocks.data(), row.text.size());
        for (std::size_t k = 0; k < 3; ++k) {
            std::memcpy(at + row.digitsAt[k], addressDigits_.data() + 2 * k, 2);
        }
        const std::uint16_t checksum = row.frames.checksumFor(address);
        std::memcpy(at + row.digitsAt[3],
                    ascii::hexByte(static_cast<std::uint8_t>(checksum >> 8)).data(), 2);
        std::memcpy(at + row.digitsAt[4],
                    ascii::hexByte(static_cast<std::uint8_t>(checksum & 0xFF)).data(), 2);
        return at + row.text.size();
    }
    const Frame frame = row.frames.forAddress(address);
    std::memcpy(at, row.text.data(), row.frameAt);
    at = writeBytesTo(at + row.frameAt, frame, notation_);
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
        laterLeadBlocks_ = json_;
        laterLeadBlocks_.resize(inBlocks(json_.size()));
    }
    return json_;
}

void BatchTable::motor(const MotorLineView& motor, BufferedWriter& out) {
    startMotor(motor);
    const std::size_t longest = maxWrittenLength(notation_, frameLength);
    const bool json = format_ == Format::Json;
    for (const RowText& row : rows_[static_cast<std::size_t>(motor.kind)]) {
        // The row is one value of the table's array.
        const std::string_view lead = json ? jsonRowLead() : std::string_view();
        char* at =
            out.room(inBlocks(lead.size()) + start_.size() + inBlocks(row.text.size()) + longest);
        if (json && jsonRows_ >= 2) {
            at = copyBlocks(at, laterLeadBlocks_.data(), lead.size());
        } else if (json) {
            std::memcpy(at, lead.data(), lead.size());
            at += lead.size();
        }
        at = copyBlocks(at, start_.data(), startLength_);
        out.commit(writeRow(at, row, motor.address));
    }
}

}  // namespace

std::vector<std::size_t> allCommandRows() {
    std::vector<std::size_t> rows;
    for (std::size_t row = 0; row < commandCount; ++row) {
        rows.push_back(row);
    }
    return rows;
}

std::string inNotation(const std::optional<Frame>& frame, Notation notation) {
    return frame ? writeFrame(*frame, notation) : std::string();
}

ListCheck checkList(ListSource& source, Format format) {
    ListCheck check;
    MotorListReader reader(source);
    MotorLineView motor;
    std::string problems;
    std::string label;
    while (true) {
        switch (reader.next()) {
            case MotorListReader::Step::Line:
                if (checkMotorLine(reader.scan(), motor, problems)) {
                    ++check.motors;
                    if (format == Format::Text) {
                        check.labelWidth =
                            std::max(check.labelWidth, labelWidthOf(motor.label, label));
                    }
                } else if (check.problems.size() == maxReportedLines) {
                    check.end = ListCheck::End::TooManyProblems;
                    return check;
                } else {
                    check.problems.push_back({reader.lineNumber(), problems});
                }
                break;
            case MotorListReader::Step::End:
                check.notText = reader.notText();
                return check;
            case MotorListReader::Step::TooLong:
                check.end = ListCheck::End::TooLong;
                check.stopLine = reader.lineNumber();
                return check;
            case MotorListReader::Step::Failed:
                check.end = ListCheck::End::Failed;
                return check;
        }
    }
}

TableEnd writeTable(ListSource& source, const ListCheck& check, const BatchOptions& options,
                    BufferedWriter& out) {
    MotorListReader reader(source);
    MotorLineView motor;
    std::string problems;
    BatchTable table(options, check.labelWidth);
    table.begin(out);
    for (std::size_t written = 0; written < check.motors && !out.failed(); ++written) {
        const auto step = reader.next();
        if (step == MotorListReader::Step::Failed) {
            return TableEnd::ReadFailed;
        }
        if (step != MotorListReader::Step::Line ||
            !checkMotorLine(reader.scan(), motor, problems)) {
            return TableEnd::ListChanged;
        }
        table.motor(motor, out);
    }
    table.end(out);
    return TableEnd::Written;
}

void writeTable(std::span<const Motor> motors, const BatchOptions& options, BufferedWriter& out) {
    std::size_t labelWidth = 0;
    if (options.format == Format::Text) {
        std::string label;
        for (const Motor& motor : motors) {
            labelWidth = std::max(labelWidth, labelWidthOf(motor.label, label));
        }
    }
    BatchTable table(options, labelWidth);
    table.begin(out);
    for (const Motor& motor : motors) {
        if (out.failed()) {
            return;
        }
        table.motor(
            {motor.address, motor.addressText, motor.kind, motor.label, motor.room, motor.note},
            out);
    }
    table.end(out);
}

}  // namespace rvx
