#include "arguments.h"

#include <algorithm>

#include "rvx/decode.h"
#include "rvx/message.h"
#include "rvx/value_rules.h"

namespace cli {

namespace {

constexpr std::string_view programName = "rvx-strings";

// The faults found, each with the place of the argument it concerns, told in argument order.
class Faults {
public:
    void add(std::size_t position, const std::string& message) {
        faults_.push_back({position, std::string(programName) + ": " + message});
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

// "a, b or c".
std::string alternatives(const std::vector<std::string>& names) {
    std::string list;
    for (std::size_t k = 0; k < names.size(); ++k) {
        list += k == 0 ? "" : (k + 1 == names.size() ? " or " : ", ");
        list += names[k];
    }
    return list;
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
    std::string list;
    for (const auto& command : rvx::commandCatalogue) {
        list += list.empty() ? "" : ", ";
        list += command.plainName;
    }
    return list;
}

// Texts of the user's, each quoted.
std::string quotedAll(const std::vector<std::string>& texts, std::string_view separator) {
    std::string list;
    for (const auto& text : texts) {
        list += list.empty() ? "" : separator;
        list += rvx::quoted(text);
    }
    return list;
}

// An option as given: where, and its value (none for an option without one). An option given
// more than once has all its places and values here. An option whose value is missing still
// counts as given, so that a mode asked for without its value is still the mode.
struct Given {
    const OptionInfo* option = nullptr;
    std::vector<std::size_t> positions;
    std::vector<std::string> values;
    bool lacksValue;  // given without the value it takes (already told)

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
        if (option->valueName.empty()) {
            if (value) {
                faults.add(k, spelled + " takes no value, given " + rvx::quoted(*value));
                continue;
            }
        } else if (!value) {
            // The next argument is the value, unless it is itself an option: "--ip --down 5"
            // lacks the IP number rather than giving "--down" as one.
            if (k + 1 < arguments.size() && optionNamedBy(arguments[k + 1]) == nullptr) {
                value = arguments[++k];
            } else {
                faults.add(k, "Missing value after '" + spelled + "'.");
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
        } else if (!option->valueName.empty()) {
            entry->lacksValue = true;
        }
    }
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

    rvx::AddressKind kind = rvx::AddressKind::Single;
    rvx::ParameterValues values = rvx::startValues();
    std::vector<std::size_t> rows;
    bool oneCommand = false;
    Format format = info.formats[0];
    std::optional<rvx::Notation> notation;
    bool notationRead = true;
    std::optional<std::string> modeValue;  // FRAME or FILE
    for (const Given& g : given) {
        const OptionInfo& option = *g.option;
        const std::size_t position = g.positions[0];
        const std::string name = optionName(option);
        if (g.lacksValue || (option.kind == OptionKind::Mode && option.mode != mode)) {
            continue;  // told already: the value is missing, or two modes were asked for
        }
        if ((option.usedWith & modeBit(mode)) == 0) {
            std::string message = name + " is not used with " + std::string(info.option);
            if (option.kind == OptionKind::Group && !info.groupHint.empty()) {
                message += "; " + std::string(info.groupHint);
            }
            faults.add(position, message);
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
        }
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
    switch (mode) {
        case Mode::Decode:
            return {decode, {}};
        case Mode::Batch:
            return {BatchJob{*modeValue, values, rows, format, written}, {}};
        case Mode::Help:
        case Mode::Version:
            return {requestOf(mode), {}};
        case Mode::Strings:
            break;
    }
    return {StringsRequest{kind, address, values, rows, oneCommand, format, written}, {}};
}

}  // namespace cli
