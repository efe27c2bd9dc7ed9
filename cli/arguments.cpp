#include "arguments.h"

#include <algorithm>
#include <cmath>

#include "rvx/decode.h"
#include "rvx/message.h"
#include "rvx/number.h"
#include "rvx/value_rules.h"

namespace cli {

namespace {

// The faults found, each with the place of the argument it concerns, told in argument order.
class Faults {
public:
    void add(std::size_t position, const std::string& message) {
        faults_.push_back({position, messageLine(message)});
    }
    [[nodiscard]] bool empty() const { return faults_.empty(); }
    [[nodiscard]] std::vector<std::string> lines() {
        std::stable_sort(faults_.begin(), faults_.end(),
                         [](const Fault& a, const Fault& b) { return a.position < b.position; });
        std::vector<std::string> lines;
        for (auto& fault : faults_) {
            lines.push_back(std::move(fault.line));
        }
        return lines;
    }

private:
    struct Fault {
        std::size_t position;
        std::string line;
    };
    std::vector<Fault> faults_;
};

const OptionInfo* findOption(std::string_view name) {
    for (const OptionInfo& option : optionCatalogue) {
        if (option.name == name ||
            (name.size() == 1 && option.letter != 0 && name[0] == option.letter)) {
            return &option;
        }
    }
    return nullptr;
}

// The option an argument names ("--ip", "-ip", "--ip=3", "-h"); null for any other argument.
const OptionInfo* optionNamedBy(std::string_view argument) {
    if (argument.size() < 2 || argument[0] != '-' || argument == "--") {
        return nullptr;
    }
    const std::string_view body = argument.substr(argument[1] == '-' ? 2 : 1);
    return findOption(body.substr(0, body.find('=')));
}

std::string optionName(const OptionInfo& option) {
    return "--" + std::string(option.name);
}

std::vector<std::string> notationNames() {
    std::vector<std::string> names;
    for (const auto& info : rvx::notationCatalogue) {
        names.emplace_back(info.name);
    }
    return names;
}

std::vector<std::string> formatNames(const ModeInfo& mode) {
    std::vector<std::string> names;
    for (const Format format : mode.writtenFormats()) {
        names.emplace_back(formatName(format));
    }
    return names;
}

std::string plainCommandNames() {
    std::vector<std::string> names;
    for (const auto& command : rvx::commandCatalogue) {
        names.emplace_back(command.plainName);
    }
    return joined(names, ", ");
}

// Texts of the user's, each quoted.
std::string quotedAll(const std::vector<std::string>& texts, std::string_view separator) {
    std::vector<std::string> quoted;
    for (const auto& text : texts) {
        quoted.push_back(rvx::quoted(text));
    }
    return joined(quoted, separator);
}

// An option as given: where, and its value (none for an option without one). An option given
// more than once has all its places and values here. An option whose value is missing, or a
// switch given a value, still counts as given, so that a mode asked for that way is still the
// mode (--list-ports=all is not taken for a missing ADDRESS).
struct Given {
    const OptionInfo* option = nullptr;
    std::vector<std::size_t> positions;
    std::vector<std::string> values;
    bool told;  // given without the value it takes, or a switch with one: already a fault

    [[nodiscard]] bool repeated() const { return values.size() > 1; }
};

struct Positional {
    std::size_t position;
    std::string text;
};

// The arguments as split: the options (each once, in the order first given) and the
// positional arguments.
struct Split {
    std::vector<Given> given;
    std::vector<Positional> positionals;
    std::size_t end = 0;  // the place after the last argument, for what is missing altogether
};

// The one splitter of the arguments, whatever the mode. Unknown options, missing values and
// values given to a switch are faults.
Split splitArguments(const std::vector<std::string>& arguments, Faults& faults) {
    Split split;
    split.end = arguments.size();
    std::vector<Given>& given = split.given;
    std::vector<Positional>& positionals = split.positionals;
    bool optionsEnded = false;
    for (std::size_t k = 0; k < arguments.size(); ++k) {
        const std::string& argument = arguments[k];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            positionals.push_back({k, argument});
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t dashes = argument[1] == '-' ? 2 : 1;
        const std::size_t equals = argument.find('=', dashes);
        const std::string spelled = argument.substr(0, equals);
        const OptionInfo* option = findOption(std::string_view(spelled).substr(dashes));
        if (option == nullptr) {
            faults.add(k, "unknown option " + rvx::quoted(spelled) +
                              "; rvx-strings --help lists the options");
            continue;
        }
        const std::size_t position = k;
        std::optional<std::string> value;
        if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        }
        bool told = false;
        if (option->valueName.empty()) {
            if (value) {
                faults.add(k, spelled + " takes no value, given " + rvx::quoted(*value));
                value.reset();
                told = true;
            }
        } else if (!value) {
            // The next argument is the value, unless it is itself an option: "--ip --down 5"
            // lacks the IP number rather than giving "--down" as one.
            if (k + 1 < arguments.size() && optionNamedBy(arguments[k + 1]) == nullptr) {
                value = arguments[++k];
            } else {
                faults.add(k, spelled + ": a value must follow");
            }
        }
        auto entry = std::find_if(given.begin(), given.end(),
                                  [option](const Given& g) { return g.option == option; });
        if (entry == given.end()) {
            given.push_back({option, {}, {}, false});
            entry = std::prev(given.end());
        }
        entry->positions.push_back(position);
        if (value) {
            entry->values.push_back(std::move(*value));
        } else if (!option->valueName.empty() || told) {
            entry->told = true;
        }
    }
    return split;
}

// The options of the modes an option is used with ("--send or --monitor"), for an option given
// without any of them.
std::string modeOptions(unsigned usedWith) {
    std::vector<std::string> names;
    for (const ModeInfo& info : modeCatalogue) {
        if (!info.alone && !info.option.empty() && (usedWith & modeBit(info.mode)) != 0) {
            names.emplace_back(info.option);
        }
    }
    return alternatives(names);
}

// A whole number within bounds, or nullopt.
std::optional<double> wholeNumber(std::string_view text, double low, double high) {
    const auto number = rvx::readNumber(text);
    if (!number || *number != std::floor(*number) || *number < low || *number > high) {
        return std::nullopt;
    }
    return number;
}

// A TARGET: UTF-8 text read as a serial port or a bridge. A text that is not UTF-8 would name
// another port once decoded, so it is refused rather than changed.
std::optional<rvx::BusTarget> readTargetOf(const std::string& name, const std::string& value,
                                           std::size_t position, Faults& faults) {
    const rvx::BusTargetReading reading = rvx::readBusTarget(value);
    if (!reading.target) {
        faults.add(position, name + " " + rvx::quoted(value) + ": " + reading.reason);
    }
    return reading.target;
}

std::string parityNames() {
    std::vector<std::string> names;
    for (const auto parity : rvx::parities) {
        names.emplace_back(rvx::parityKeyword(parity));
    }
    return alternatives(names);
}

Request requestOf(Mode alone) {
    return alone == Mode::Help ? Request(HelpRequest{}) : Request(VersionRequest{});
}

// The mode the options ask for, Strings when none does. Two modes asked for are a fault; the
// first one given is the mode.
Mode modeOf(const Split& split, Faults& faults) {
    const Given* modeGiven = nullptr;
    for (const Given& g : split.given) {
        if (g.option->kind != OptionKind::Mode) {
            continue;
        }
        if (modeGiven == nullptr) {
            modeGiven = &g;
        } else if (g.option->mode != modeGiven->option->mode) {
            faults.add(g.positions[0], optionName(*modeGiven->option) + " and " +
                                           optionName(*g.option) + " cannot be used together");
        }
    }
    return modeGiven != nullptr ? modeGiven->option->mode : Mode::Strings;
}

// The options given for one mode, checked against it: each option not used with the mode is a
// fault, and so is one given twice. The readers of the modes ask for the values they use; each
// value is read once and judged where it is read.
class ModeOptions {
public:
    ModeOptions(const Split& split, Mode mode, Faults& faults)
        : split_(split), mode_(mode), info_(modeInfo(mode)), faults_(faults) {
        // --send turns the strings or the report of --decode into one frame sent.
        const Given* send = find(OptionKind::Send);
        sending_ = send != nullptr && (send->option->usedWith & modeBit(mode)) != 0;
        for (const Given& g : split.given) {
            if (g.repeated()) {  // which one was meant cannot be known
                faults.add(g.positions[1], optionName(*g.option) + " is given more than once (" +
                                               quotedAll(g.values, ", ") + "); give it once");
            }
        }
        for (const Given& g : split.given) {
            if (usable(g)) {
                usable_.push_back(&g);
            }
        }
    }

    [[nodiscard]] Mode mode() const { return mode_; }
    [[nodiscard]] const ModeInfo& info() const { return info_; }
    [[nodiscard]] bool sending() const { return sending_; }
    [[nodiscard]] Faults& faults() const { return faults_; }

    // The option of this kind as given, whether usable or not; null when it is not given.
    [[nodiscard]] const Given* find(OptionKind kind) const {
        const auto at = std::find_if(split_.given.begin(), split_.given.end(),
                                     [kind](const Given& g) { return g.option->kind == kind; });
        return at == split_.given.end() ? nullptr : &*at;
    }

    // The options of this kind whose value is to be read: used with the mode and given once.
    [[nodiscard]] std::vector<const Given*> toRead(OptionKind kind) const {
        std::vector<const Given*> found;
        for (const Given* g : usable_) {
            if (g->option->kind == kind && !g->repeated()) {
                found.push_back(g);
            }
        }
        return found;
    }
    [[nodiscard]] const Given* toReadOnce(OptionKind kind) const {
        const auto found = toRead(kind);
        return found.empty() ? nullptr : found.front();
    }

    // Whether the option of this kind was usable but given more than once.
    [[nodiscard]] bool repeatedUsable(OptionKind kind) const {
        return std::any_of(usable_.begin(), usable_.end(), [kind](const Given* g) {
            return g->option->kind == kind && g->repeated();
        });
    }

    [[nodiscard]] std::optional<std::string> modeValue() const {
        for (const Given* g : toRead(OptionKind::Mode)) {
            if (g->option->mode == mode_ && !g->values.empty()) {
                return g->values.front();
            }
        }
        return std::nullopt;
    }

    // The parameter values: the start values, and each given value where it is admitted.
    [[nodiscard]] rvx::ParameterValues parameters() const {
        rvx::ParameterValues values = rvx::startValues();
        for (const Given* g : toRead(OptionKind::Parameter)) {
            const rvx::ParameterField field = g->option->field;
            const std::string& value = g->values.front();
            const rvx::ValueReading reading = rvx::readValue(field, value);
            if (reading.verdict == rvx::ValueVerdict::Admitted) {
                values[static_cast<std::size_t>(field)] = reading.value;
            } else {
                faults_.add(g->positions[0], optionName(*g->option) + " " +
                                                 rvx::valueMessage(field, value, reading.verdict));
            }
        }
        return values;
    }

    // The catalogue row of --command; nullopt when it is not given or names no command.
    [[nodiscard]] std::optional<std::size_t> command() const {
        const Given* g = toReadOnce(OptionKind::Command);
        if (g == nullptr) {
            return std::nullopt;
        }
        const auto row = rvx::findCommand(g->values.front());
        if (!row) {
            faults_.add(g->positions[0],
                        optionName(*g->option) + " " + rvx::quoted(g->values.front()) +
                            ": no such command; the commands are " + plainCommandNames());
        }
        return row;
    }

    // The notation of --notation, and whether the one asked for is known: a notation given
    // twice or one that does not exist is not known.
    [[nodiscard]] std::pair<std::optional<rvx::Notation>, bool> notation() const {
        if (repeatedUsable(OptionKind::Notation)) {
            return {std::nullopt, false};
        }
        const Given* g = toReadOnce(OptionKind::Notation);
        if (g == nullptr) {
            return {std::nullopt, true};
        }
        const auto notation = rvx::findNotation(g->values.front());
        if (!notation) {
            faults_.add(g->positions[0], optionName(*g->option) + " " +
                                             rvx::quoted(g->values.front()) + ": must be " +
                                             alternatives(notationNames()));
        }
        return {notation, notation.has_value()};
    }

    // The format of --format among those the mode writes; its first when none is given.
    [[nodiscard]] Format format() const {
        const Given* g = toReadOnce(OptionKind::Format);
        if (g == nullptr) {
            return info_.formats[0];
        }
        const auto found = findFormat(g->values.front());
        if (found && std::find(info_.writtenFormats().begin(), info_.writtenFormats().end(),
                               *found) != info_.writtenFormats().end()) {
            return *found;
        }
        faults_.add(g->positions[0],
                    optionName(*g->option) + " " + rvx::quoted(g->values.front()) + ": must be " +
                        alternatives(formatNames(info_)) +
                        (mode_ == Mode::Strings ? "" : " with " + std::string(info_.option)));
        return info_.formats[0];
    }

    // The line: baud rate, parity and timeout as given, the rest the bus's own.
    [[nodiscard]] rvx::LineSettings line() const {
        rvx::LineSettings line;
        if (const Given* g = toReadOnce(OptionKind::Baud)) {
            if (const auto baud = wholeNumber(g->values.front(), minBaud, maxBaud)) {
                line.baudRate = static_cast<std::int32_t>(*baud);
            } else {
                faults_.add(g->positions[0],
                            optionName(*g->option) + " " + rvx::quoted(g->values.front()) +
                                ": must be a whole number from " + rvx::plainDecimal(minBaud) +
                                " to " + rvx::plainDecimal(maxBaud));
            }
        }
        if (const Given* g = toReadOnce(OptionKind::Parity)) {
            const std::string& value = g->values.front();
            if (const auto parity = rvx::readParity(value)) {
                line.parity = *parity;
            } else {
                faults_.add(g->positions[0], optionName(*g->option) + " " + rvx::quoted(value) +
                                                 ": must be " + parityNames());
            }
        }
        if (const Given* g = toReadOnce(OptionKind::Timeout)) {
            const auto seconds = rvx::readNumber(g->values.front());
            if (seconds && *seconds >= minTimeoutSeconds && *seconds <= maxTimeoutSeconds) {
                line.timeout = std::chrono::milliseconds(std::llround(*seconds * 1000));
            } else {
                faults_.add(g->positions[0], optionName(*g->option) + " " +
                                                 rvx::quoted(g->values.front()) +
                                                 ": must be a number of seconds from " +
                                                 rvx::plainDecimal(minTimeoutSeconds) + " to " +
                                                 rvx::plainDecimal(maxTimeoutSeconds));
            }
        }
        return line;
    }

    // Where --send sends, with the line; nullopt when it is not sending or the TARGET is wrong.
    [[nodiscard]] std::optional<BusRequest> send() const {
        if (!sending_) {
            return std::nullopt;
        }
        // The line is read whenever --send is given, even where its TARGET is wrong.
        const rvx::LineSettings settings = line();
        const Given* g = toReadOnce(OptionKind::Send);
        if (g == nullptr) {
            return std::nullopt;
        }
        const auto target =
            readTargetOf(optionName(*g->option), g->values.front(), g->positions[0], faults_);
        if (!target) {
            return std::nullopt;
        }
        return BusRequest{*target, settings};
    }

    // --count: a whole number of frames.
    [[nodiscard]] std::optional<std::uint64_t> count() const {
        const Given* g = toReadOnce(OptionKind::Count);
        if (g == nullptr) {
            return std::nullopt;
        }
        if (const auto frames = wholeNumber(g->values.front(), 1, maxCount)) {
            return static_cast<std::uint64_t>(*frames);
        }
        faults_.add(g->positions[0], optionName(*g->option) + " " + rvx::quoted(g->values.front()) +
                                         ": must be a whole number of frames from 1 to " +
                                         rvx::plainDecimal(maxCount));
        return std::nullopt;
    }

    // The place of the option that asks for the mode.
    [[nodiscard]] std::size_t modePosition() const {
        const auto at =
            std::find_if(split_.given.begin(), split_.given.end(), [this](const Given& g) {
                return g.option->kind == OptionKind::Mode && g.option->mode == mode_;
            });
        return at == split_.given.end() ? split_.end : at->positions[0];
    }

private:
    // Whether an option's value may be read with this mode; a fault where it may not.
    bool usable(const Given& g) const {
        const OptionInfo& option = *g.option;
        const std::size_t position = g.positions[0];
        const std::string name = optionName(option);
        if (g.told || (option.kind == OptionKind::Mode && option.mode != mode_)) {
            return false;  // told already: the value is missing, or two modes were asked for
        }
        if ((option.usedWith & modeBit(mode_)) == 0) {
            std::string message = mode_ == Mode::Strings
                                      ? name + " is used only with " + modeOptions(option.usedWith)
                                      : name + " is not used with " + std::string(info_.option);
            if (option.kind == OptionKind::Group && !info_.groupHint.empty()) {
                message += "; " + std::string(info_.groupHint);
            }
            faults_.add(position, message);
            return false;
        }
        const bool lineOption = option.kind == OptionKind::Baud ||
                                option.kind == OptionKind::Parity ||
                                option.kind == OptionKind::Timeout;
        // --batch takes the line for an export; readExport judges where it is used.
        const bool batchLine = mode_ == Mode::Batch && option.kind != OptionKind::Timeout;
        if (lineOption && mode_ != Mode::Monitor && !sending_ && !batchLine) {
            faults_.add(position, name + " is used only with --send or --monitor");
            return false;
        }
        if (option.kind == OptionKind::Format && sending_) {
            faults_.add(position, name + " is not used with --send, which writes one line of text");
            return false;
        }
        return true;
    }

    const Split& split_;
    Mode mode_;
    const ModeInfo& info_;
    Faults& faults_;
    bool sending_ = false;
    std::vector<const Given*> usable_;
};

// ---- One reader a mode ----

// The catalogue rows written: the one of --command, or all fourteen.
std::vector<std::size_t> rowsOf(std::optional<std::size_t> command) {
    if (command) {
        return {*command};
    }
    std::vector<std::size_t> rows;
    for (std::size_t row = 0; row < rvx::commandCount; ++row) {
        rows.push_back(row);
    }
    return rows;
}

StringsRequest readStrings(const ModeOptions& options, const Split& split) {
    Faults& faults = options.faults();
    StringsRequest request;
    request.kind = options.toRead(OptionKind::Group).empty() ? rvx::AddressKind::Single
                                                             : rvx::AddressKind::Group;
    request.values = options.parameters();
    const auto command = options.command();
    request.rows = rowsOf(command);
    request.oneCommand = command.has_value();
    request.notation = options.notation().first.value_or(rvx::Notation::Spaced);
    request.format = options.format();
    request.send = options.send();

    // One frame is sent, never the fourteen: --send with the strings needs --command.
    if (options.sending() && options.find(OptionKind::Command) == nullptr) {
        faults.add(options.find(OptionKind::Send)->positions[0],
                   "--send sends one frame: choose it with --command; the fourteen strings are "
                   "never sent together");
    }

    const auto& positionals = split.positionals;
    if (positionals.empty()) {
        faults.add(split.end, rvx::addressMessage("", rvx::readAddress("")));
    } else if (positionals.size() > 1) {
        std::vector<std::string> texts;
        for (const auto& positional : positionals) {
            texts.push_back(positional.text);
        }
        faults.add(positionals[1].position, "one ADDRESS expected, got " +
                                                std::to_string(positionals.size()) + ": " +
                                                quotedAll(texts, " "));
    } else {
        const auto reading = rvx::readAddress(positionals.front().text);
        if (reading.ok()) {
            request.address = reading.bytes;
        } else {
            faults.add(positionals.front().position,
                       rvx::addressMessage(positionals.front().text, reading));
        }
    }
    return request;
}

// The frame to check: a text that reads as no bytes, or as any number but fourteen, is no
// frame. It is read only in the notation asked for, so not when that notation is wrong.
DecodeRequest readDecode(const ModeOptions& options) {
    DecodeRequest request;
    const auto [notation, notationKnown] = options.notation();
    request.format = options.format();
    request.send = options.send();
    const auto text = options.modeValue();
    if (!text || !notationKnown) {
        return request;
    }
    const rvx::FrameText read = rvx::readFrameText(*text, notation);
    if (!read.read()) {
        options.faults().add(options.modePosition(), "--decode: " + read.error);
    } else if (read.bytes.size() != rvx::frameLength) {
        const rvx::DecodedFrame decoded = rvx::decodeFrame(read.bytes);
        options.faults().add(
            options.modePosition(),
            "--decode: " + (decoded.findings.empty() ? std::string("no frame")
                                                     : decoded.findings.front().message));
    } else {
        std::copy(read.bytes.begin(), read.bytes.end(), request.frame.begin());
        request.notation = read.notation;
    }
    return request;
}

// The export names of --export: the tables' formats, then the platforms' files.
std::vector<std::string> exportNames() {
    std::vector<std::string> names{"csv", "json"};
    for (const rvx::SiteExportInfo& info : rvx::siteExportCatalogue) {
        names.emplace_back(info.name);
    }
    return names;
}

// --export and --target of a batch: csv and json are the table's formats; a platform's file
// needs a target, and --format has no say in it.
void readExport(const ModeOptions& options, BatchJob& job) {
    const Given* exported = options.toReadOnce(OptionKind::Export);
    const Given* target = options.toReadOnce(OptionKind::Target);
    const Given* format = options.find(OptionKind::Format);
    // --baud and --parity: the line the platform sets on its serial port.
    const auto refuseLine = [&options](const std::string& why) {
        for (const OptionKind kind : {OptionKind::Baud, OptionKind::Parity}) {
            if (const Given* g = options.toReadOnce(kind)) {
                options.faults().add(g->positions[0], optionName(*g->option) + ": " + why);
            }
        }
    };
    if (options.find(OptionKind::Export) == nullptr) {
        if (target != nullptr) {
            options.faults().add(target->positions[0],
                                 "--target: used only with --export, which names the file");
        }
        refuseLine(
            "used with --batch only for --export to a serial port, the line the "
            "platform sets");
        return;
    }
    if (exported == nullptr) {
        return;  // given twice: a fault already
    }
    const std::string& kind = exported->values.front();
    const std::size_t at = exported->positions[0];
    if (format != nullptr) {
        options.faults().add(format->positions[0],
                             "--format: not used with --export, which names the file");
    }
    if (kind == "csv" || kind == "json") {
        job.format = kind == "csv" ? Format::Csv : Format::Json;
        if (target != nullptr) {
            options.faults().add(target->positions[0],
                                 "--target: not used with --export " + kind + ", a table");
        }
        refuseLine("not used with --export " + kind + ", a table");
        return;
    }
    job.exportKind = rvx::findSiteExport(kind);
    if (!job.exportKind) {
        options.faults().add(
            at, "--export " + rvx::quoted(kind) + ": must be " + alternatives(exportNames()));
        return;
    }
    if (target == nullptr) {
        options.faults().add(at, "--export " + kind +
                                     ": needs --target TARGET, the serial port or "
                                     "tcp://HOST:PORT the frames are sent to");
        return;
    }
    const auto read =
        readTargetOf("--target", target->values.front(), target->positions[0], options.faults());
    if (!read) {
        return;
    }
    if (read->kind == rvx::BusTarget::Kind::Tcp) {
        refuseLine("not used with a bridge as --target; the bridge's own line settings apply");
    }
    job.target = rvx::siteTargetOf(*read, options.line());
    // A baud rate the platform's own tool refuses would make every command of the file fail.
    const Given* baud = options.find(OptionKind::Baud);
    if (*job.exportKind == rvx::SiteExportKind::HomeAssistant && baud != nullptr) {
        if (const std::string problem = rvx::siteTargetProblem(*job.exportKind, job.target);
            !problem.empty()) {
            options.faults().add(baud->positions[0], optionName(*baud->option) + " " +
                                                         rvx::quoted(baud->values.front()) + ": " +
                                                         problem);
        }
    }
    if (const std::string_view serialOnly = rvx::siteExportInfo(*job.exportKind).serialOnly;
        !serialOnly.empty() && job.target.kind == rvx::SiteTarget::Kind::Tcp) {
        options.faults().add(target->positions[0],
                             "--target " + rvx::quoted(target->values.front()) + ": " +
                                 std::string(serialOnly) + ", not a TCP bridge; give the port");
    }
}

BatchJob readBatch(const ModeOptions& options) {
    BatchJob job;
    job.path = options.modeValue().value_or(std::string());
    job.values = options.parameters();
    job.rows = rowsOf(options.command());
    job.format = options.format();
    job.notation = options.notation().first.value_or(rvx::Notation::Spaced);
    readExport(options, job);
    return job;
}

MonitorRequest readMonitor(const ModeOptions& options) {
    MonitorRequest request;
    request.format = options.format();
    request.count = options.count();
    request.bus.settings = options.line();
    if (const auto text = options.modeValue()) {
        if (const auto target =
                readTargetOf("--monitor", *text, options.modePosition(), options.faults())) {
            request.bus.target = *target;
        }
    }
    return request;
}

// An ADDRESS given to a mode that reads none is a fault of its own.
void refuseAddress(const ModeOptions& options, const Split& split) {
    if (split.positionals.empty()) {
        return;
    }
    std::vector<std::string> texts;
    for (const auto& positional : split.positionals) {
        texts.push_back(positional.text);
    }
    std::string message = "ADDRESS " + quotedAll(texts, " ") + " is not used with " +
                          std::string(options.info().option);
    if (!options.info().addressHint.empty()) {
        message += "; " + std::string(options.info().addressHint);
    }
    options.faults().add(split.positionals.front().position, message);
}

}  // namespace

const ModeInfo& modeInfo(Mode mode) {
    return *std::find_if(modeCatalogue.begin(), modeCatalogue.end(),
                         [mode](const ModeInfo& info) { return info.mode == mode; });
}

ParsedArguments parseArguments(const std::vector<std::string>& arguments) {
    Faults faults;
    const Split split = splitArguments(arguments, faults);

    // --help and --version are answered whatever else the arguments hold.
    for (const ModeInfo& info : modeCatalogue) {
        const bool asked =
            std::any_of(split.given.begin(), split.given.end(), [&info](const Given& g) {
                return g.option->kind == OptionKind::Mode && g.option->mode == info.mode;
            });
        if (info.alone && asked) {
            return {requestOf(info.mode), {}, std::nullopt};
        }
    }

    const Mode mode = modeOf(split, faults);
    const ModeOptions options(split, mode, faults);
    std::optional<Request> request;
    switch (mode) {
        case Mode::Strings:
            request = readStrings(options, split);
            break;
        case Mode::Decode:
            request = readDecode(options);
            break;
        case Mode::Batch:
            request = readBatch(options);
            break;
        case Mode::Monitor:
            request = readMonitor(options);
            break;
        case Mode::ListPorts:
            request = ListPortsRequest{options.format()};
            break;
        case Mode::Help:
        case Mode::Version:
            request = requestOf(mode);
            break;
    }
    if (mode != Mode::Strings) {
        refuseAddress(options, split);
    }
    std::optional<std::string> output;
    if (const Given* g = options.toReadOnce(OptionKind::Output)) {
        if (g->values.front().empty()) {
            faults.add(g->positions[0], optionName(*g->option) + " \"\": no file name");
        } else {
            output = g->values.front();
        }
    }
    if (!faults.empty()) {
        return {std::nullopt, faults.lines(), std::nullopt};
    }
    return {std::move(request), {}, std::move(output)};
}

}  // namespace cli
