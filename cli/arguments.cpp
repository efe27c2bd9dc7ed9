#include "arguments.h"

#include <QString>
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
        std::ranges::stable_sort(faults_, {}, &Fault::position);
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

// Splits the arguments into options (each once, in the order first given) and positional
// arguments. Unknown options, missing values and values given to a switch are faults.
void splitArguments(const std::vector<std::string>& arguments, std::vector<Given>& given,
                    std::vector<Positional>& positionals, Faults& faults) {
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
        auto entry = std::ranges::find(given, option, &Given::option);
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

// A TARGET: UTF-8 text that the bus library reads as a serial port or a bridge. A text that is
// not UTF-8 would name another port once decoded, so it is refused rather than changed.
std::optional<rvx::bus::Target> readTargetOf(const std::string& name, const std::string& value,
                                             std::size_t position, Faults& faults) {
    const QString text = QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
    if (text.toUtf8().toStdString() != value) {
        faults.add(position, name + " " + rvx::quoted(value) + ": not UTF-8 text");
        return std::nullopt;
    }
    const rvx::bus::TargetReading reading = rvx::bus::readTarget(text);
    if (!reading.target) {
        faults.add(position, name + " " + rvx::quoted(value) + ": " + reading.reason.toStdString());
    }
    return reading.target;
}

std::string parityNames() {
    std::vector<std::string> names;
    for (const auto parity : rvx::bus::parities) {
        names.push_back(rvx::bus::parityName(parity).toStdString());
    }
    return alternatives(names);
}

Request requestOf(Mode alone) {
    return alone == Mode::Help ? Request(HelpRequest{}) : Request(VersionRequest{});
}

}  // namespace

const ModeInfo& modeInfo(Mode mode) {
    return *std::ranges::find(modeCatalogue, mode, &ModeInfo::mode);
}

ParsedArguments parseArguments(const std::vector<std::string>& arguments) {
    Faults faults;
    std::vector<Given> given;
    std::vector<Positional> positionals;
    splitArguments(arguments, given, positionals, faults);

    // --help and --version are answered whatever else the arguments hold.
    for (const ModeInfo& info : modeCatalogue) {
        const bool asked = std::ranges::any_of(given, [&info](const Given& g) {
            return g.option->kind == OptionKind::Mode && g.option->mode == info.mode;
        });
        if (info.alone && asked) {
            return {requestOf(info.mode), {}};
        }
    }

    // An option with a value given twice: which one was meant cannot be known.
    for (const Given& g : given) {
        if (g.repeated()) {
            faults.add(g.positions[1], optionName(*g.option) + " is given more than once (" +
                                           quotedAll(g.values, ", ") + "); give it once");
        }
    }

    const Given* modeGiven = nullptr;
    for (const Given& g : given) {
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
    const Mode mode = modeGiven != nullptr ? modeGiven->option->mode : Mode::Strings;
    const ModeInfo& info = modeInfo(mode);

    // --send turns the strings or the report of --decode into one frame sent.
    const auto sendGiven = std::ranges::find_if(
        given, [](const Given& g) { return g.option->kind == OptionKind::Send; });
    const bool sending =
        sendGiven != given.end() && (sendGiven->option->usedWith & modeBit(mode)) != 0;

    rvx::AddressKind kind = rvx::AddressKind::Single;
    rvx::ParameterValues values = rvx::startValues();
    std::vector<std::size_t> rows;
    bool oneCommand = false;
    Format format = info.formats[0];
    std::optional<rvx::Notation> notation;
    bool notationRead = true;
    std::optional<std::string> modeValue;  // FRAME, FILE or TARGET
    std::optional<rvx::bus::Target> sendTarget;
    rvx::bus::Settings line;
    std::optional<std::uint64_t> count;
    for (const Given& g : given) {
        const OptionInfo& option = *g.option;
        const std::size_t position = g.positions[0];
        const std::string name = optionName(option);
        if (g.told || (option.kind == OptionKind::Mode && option.mode != mode)) {
            continue;  // told already: the value is missing, or two modes were asked for
        }
        if ((option.usedWith & modeBit(mode)) == 0) {
            std::string message = mode == Mode::Strings
                                      ? name + " is used only with " + modeOptions(option.usedWith)
                                      : name + " is not used with " + std::string(info.option);
            if (option.kind == OptionKind::Group && !info.groupHint.empty()) {
                message += "; " + std::string(info.groupHint);
            }
            faults.add(position, message);
            continue;
        }
        const bool lineOption = option.kind == OptionKind::Baud ||
                                option.kind == OptionKind::Parity ||
                                option.kind == OptionKind::Timeout;
        if (lineOption && mode != Mode::Monitor && !sending) {
            faults.add(position, name + " is used only with --send or --monitor");
            continue;
        }
        if (option.kind == OptionKind::Format && sending) {
            faults.add(position, name + " is not used with --send, which writes one line of text");
            continue;
        }
        if (g.repeated()) {
            notationRead = notationRead && option.kind != OptionKind::Notation;
            continue;
        }
        const std::string value = g.values.empty() ? std::string() : g.values.front();
        switch (option.kind) {
            case OptionKind::Group:
                kind = rvx::AddressKind::Group;
                break;
            case OptionKind::Mode:
                modeValue = value;
                break;
            case OptionKind::Parameter: {
                const rvx::ValueReading reading = rvx::readValue(option.field, value);
                if (reading.verdict == rvx::ValueVerdict::Admitted) {
                    values[static_cast<std::size_t>(option.field)] = reading.value;
                } else {
                    faults.add(
                        position,
                        name + " " + rvx::valueMessage(option.field, value, reading.verdict));
                }
                break;
            }
            case OptionKind::Command:
                if (const auto row = rvx::findCommand(value)) {
                    rows = {*row};
                    oneCommand = true;
                } else {
                    faults.add(position, name + " " + rvx::quoted(value) +
                                             ": no such command; the commands are " +
                                             plainCommandNames());
                }
                break;
            case OptionKind::Notation:
                notation = rvx::findNotation(value);
                if (!notation) {
                    notationRead = false;
                    faults.add(position, name + " " + rvx::quoted(value) + ": must be " +
                                             alternatives(notationNames()));
                }
                break;
            case OptionKind::Format: {
                const auto found = findFormat(value);
                if (found && std::ranges::find(info.writtenFormats(), *found) !=
                                 info.writtenFormats().end()) {
                    format = *found;
                } else {
                    faults.add(
                        position,
                        name + " " + rvx::quoted(value) + ": must be " +
                            alternatives(formatNames(info)) +
                            (mode == Mode::Strings ? "" : " with " + std::string(info.option)));
                }
                break;
            }
            case OptionKind::Send:
                sendTarget = readTargetOf(name, value, position, faults);
                break;
            case OptionKind::Baud:
                if (const auto baud = wholeNumber(value, minBaud, maxBaud)) {
                    line.baudRate = static_cast<qint32>(*baud);
                } else {
                    faults.add(position, name + " " + rvx::quoted(value) +
                                             ": must be a whole number from " +
                                             rvx::plainDecimal(minBaud) + " to " +
                                             rvx::plainDecimal(maxBaud));
                }
                break;
            case OptionKind::Parity:
                if (const auto parity = rvx::bus::readParity(
                        QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())))) {
                    line.parity = *parity;
                } else {
                    faults.add(position,
                               name + " " + rvx::quoted(value) + ": must be " + parityNames());
                }
                break;
            case OptionKind::Timeout: {
                const auto seconds = rvx::readNumber(value);
                if (seconds && *seconds >= minTimeoutSeconds && *seconds <= maxTimeoutSeconds) {
                    line.timeout = std::chrono::milliseconds(std::llround(*seconds * 1000));
                } else {
                    faults.add(position, name + " " + rvx::quoted(value) +
                                             ": must be a number of seconds from " +
                                             rvx::plainDecimal(minTimeoutSeconds) + " to " +
                                             rvx::plainDecimal(maxTimeoutSeconds));
                }
                break;
            }
            case OptionKind::Count:
                if (const auto frames = wholeNumber(value, 1, maxCount)) {
                    count = static_cast<std::uint64_t>(*frames);
                } else {
                    faults.add(position, name + " " + rvx::quoted(value) +
                                             ": must be a whole number of frames from 1 to " +
                                             rvx::plainDecimal(maxCount));
                }
                break;
        }
    }

    // One frame is sent, never the fourteen: --send with the strings needs --command.
    const bool commandGiven = std::ranges::any_of(
        given, [](const Given& g) { return g.option->kind == OptionKind::Command; });
    if (sending && mode == Mode::Strings && !commandGiven) {
        faults.add(sendGiven->positions[0],
                   "--send sends one frame: choose it with --command; the fourteen strings are "
                   "never sent together");
    }
    std::optional<rvx::bus::Target> monitorTarget;
    if (mode == Mode::Monitor && modeValue) {
        monitorTarget = readTargetOf("--monitor", *modeValue, modeGiven->positions[0], faults);
    }

    rvx::Address address{};
    if (mode == Mode::Strings) {
        if (positionals.empty()) {
            faults.add(arguments.size(), rvx::addressMessage("", rvx::readAddress("")));
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
                address = reading.bytes;
            } else {
                faults.add(positionals.front().position,
                           rvx::addressMessage(positionals.front().text, reading));
            }
        }
    } else if (!positionals.empty()) {
        std::vector<std::string> texts;
        for (const auto& positional : positionals) {
            texts.push_back(positional.text);
        }
        std::string message =
            "ADDRESS " + quotedAll(texts, " ") + " is not used with " + std::string(info.option);
        if (!info.addressHint.empty()) {
            message += "; " + std::string(info.addressHint);
        }
        faults.add(positionals.front().position, message);
    }

    // The frame to check: a text that reads as no bytes, or as any number but fourteen, is no
    // frame. It is read only in the notation asked for, so not when that notation is wrong.
    DecodeRequest decode;
    if (mode == Mode::Decode && modeValue && notationRead) {
        const std::size_t position = modeGiven->positions[0];
        const rvx::FrameText text = rvx::readFrameText(*modeValue, notation);
        if (!text.read()) {
            faults.add(position, "--decode: " + text.error);
        } else if (text.bytes.size() != rvx::frameLength) {
            const rvx::DecodedFrame decoded = rvx::decodeFrame(text.bytes);
            faults.add(position, "--decode: " + (decoded.findings.empty()
                                                     ? std::string("no frame")
                                                     : decoded.findings.front().message));
        } else {
            std::ranges::copy(text.bytes, decode.frame.begin());
            decode.notation = text.notation;
            decode.format = format;
        }
    }

    if (!faults.empty()) {
        return {std::nullopt, faults.lines()};
    }
    if (rows.empty()) {
        for (std::size_t row = 0; row < rvx::commandCount; ++row) {
            rows.push_back(row);
        }
    }
    const rvx::Notation written = notation.value_or(rvx::Notation::Spaced);
    std::optional<BusRequest> send;
    if (sending) {
        send = BusRequest{*sendTarget, line};
    }
    switch (mode) {
        case Mode::Decode:
            decode.send = send;
            return {decode, {}};
        case Mode::Batch:
            return {BatchJob{*modeValue, values, rows, format, written}, {}};
        case Mode::Monitor:
            return {MonitorRequest{BusRequest{*monitorTarget, line}, format, count}, {}};
        case Mode::ListPorts:
            return {ListPortsRequest{format}, {}};
        case Mode::Help:
        case Mode::Version:
            return {requestOf(mode), {}};
        case Mode::Strings:
            break;
    }
    return {StringsRequest{kind, address, values, rows, oneCommand, format, written, send}, {}};
}

}  // namespace cli
