// rvx-strings: prints the command strings of a motor or group address, of a whole list of
// motors (--batch), or says what a given string does and whether it is right (--decode).
//
// A thin front end: it checks the arguments, hands them to the engine (the generation through
// a set of fields in memory, the frame reader and the decoder), and writes what the engine
// gives back. Bad arguments are all reported on standard error, one line each, with exit
// status 2 and nothing on standard output.
#include <QCommandLineParser>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "batch.h"
#include "decode_report.h"
#include "output.h"
#include "rvx/address.h"
#include "rvx/catalogue.h"
#include "rvx/decode.h"
#include "rvx/frame.h"
#include "rvx/generator.h"
#include "rvx/memory_fields.h"
#include "rvx/number.h"

namespace {

constexpr int exitSuccess = 0;
constexpr int exitFindings = 1;  // --decode: the frame is not one that rvx-strings makes
constexpr int exitUsage = 2;
constexpr int exitOutput = 3;  // standard output could not be written

enum class Mode { Strings, Decode, Batch };

struct ParameterOption {
    rvx::ParameterField field;
    const char* name;
    const char* description;
};

constexpr std::array<ParameterOption, rvx::parameterFieldCount> parameterOptions{{
    {rvx::ParameterField::RU, "down", "Down value"},
    {rvx::ParameterField::IP, "ip", "IP number of Go to IP #"},
    {rvx::ParameterField::Pct, "percent", "Percentage of Go to % (0 is the up end)"},
    {rvx::ParameterField::MSU, "jog-up", "Jog Up count of 10 ms"},
    {rvx::ParameterField::MSD, "jog-down", "Jog Down count of 10 ms"},
    {rvx::ParameterField::L, "priority", "Priority of the lock commands"},
    {rvx::ParameterField::IPL, "lock-ip", "IP number of Lock @ IP #"},
}};

std::string toStd(const QString& text) {
    return text.toStdString();
}

QString fromStd(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void writeError(const std::string& line) {
    const std::string text = line + "\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
}

// An argument error, as reported: prefixed with the program's name.
std::string argumentError(const std::string& message) {
    return "rvx-strings: " + message;
}

std::string commandList() {
    std::string list;
    for (const auto& command : rvx::commandCatalogue) {
        list += list.empty() ? "" : ", ";
        list += '"';
        list += command.name;
        list += '"';
    }
    return list;
}

std::string notationList() {
    std::string list;
    for (std::size_t k = 0; k < rvx::notationCatalogue.size(); ++k) {
        list += k == 0 ? "" : (k + 1 == rvx::notationCatalogue.size() ? " or " : ", ");
        list += rvx::notationCatalogue[k].name;
    }
    return list;
}

// The formats each mode writes, the first being its default.
std::vector<cli::Format> formatsOf(Mode mode) {
    switch (mode) {
        case Mode::Strings:
            return {cli::Format::Text, cli::Format::Csv, cli::Format::Json};
        case Mode::Decode:
            return {cli::Format::Text, cli::Format::Json};
        case Mode::Batch:
            return {cli::Format::Csv, cli::Format::Json, cli::Format::Text};
    }
    return {};
}

std::string formatList(const std::vector<cli::Format>& formats) {
    std::string list;
    for (std::size_t k = 0; k < formats.size(); ++k) {
        list += k == 0 ? "" : (k + 1 == formats.size() ? " or " : ", ");
        list += cli::formatName(formats[k]);
    }
    return list;
}

int finish(cli::StandardOutput& out, int status) {
    if (!out.finish()) {
        writeError(argumentError("cannot write standard output"));
        return exitOutput;
    }
    return status;
}

}  // namespace

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int k = 0; k < argc; ++k) {
        arguments << QString::fromLocal8Bit(argv[k]);
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints the RVX bus command strings (14-byte frames as hexadecimal byte text,\n"
        "checksum included) for a single motor or group address, checks a given string,\n"
        "or prints the strings of a whole list of motors.\n"
        "Parameter values are decimal numbers; fractions are rounded as the frames require.\n"
        "\n"
        "  rvx-strings [--group] ADDRESS [parameters] [--command NAME] [--notation NAME]\n"
        "  rvx-strings --decode FRAME [--notation NAME] [--format text|json]\n"
        "  rvx-strings --batch FILE [parameters] [--command NAME] [--notation NAME]\n"
        "\n"
        "Exit status: 0 on success; 1 when --decode finds that rvx-strings makes no such\n"
        "frame; 2 for bad arguments, a bad line in FILE or a FRAME text that is no frame;\n"
        "3 when standard output cannot be written."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    // Help and version are answered here rather than by QCommandLineParser, which would need a
    // QCoreApplication object only to learn the program's name.
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help and exit."));
    parser.addOption(helpOption);
    const QCommandLineOption versionOption(
        QStringList{QStringLiteral("v"), QStringLiteral("version")},
        QStringLiteral("Show the version and exit."));
    parser.addOption(versionOption);
    const QCommandLineOption groupOption(QStringLiteral("group"),
                                         QStringLiteral("ADDRESS is a group address."));
    parser.addOption(groupOption);

    std::vector<QCommandLineOption> valueOptions;
    for (const auto& option : parameterOptions) {
        const auto& info = rvx::parameterInfo(option.field);
        valueOptions.emplace_back(QString::fromLatin1(option.name),
                                  QStringLiteral("%1: %2 (default %3).")
                                      .arg(QString::fromLatin1(option.description),
                                           fromStd(info.admittedText), fromStd(info.startText)),
                                  QStringLiteral("N"));
        parser.addOption(valueOptions.back());
    }
    const QCommandLineOption commandOption(
        QStringLiteral("command"),
        QStringLiteral("Print only this command's string, e.g. \"Up\" or \"Go to IP #\" "
                       "(case is ignored)."),
        QStringLiteral("NAME"));
    parser.addOption(commandOption);
    const QCommandLineOption notationOption(
        QStringLiteral("notation"),
        QStringLiteral("How the bytes are written: %1 (default spaced). With --decode, the "
                       "notation to read; the hexadecimal ones are recognised without it, "
                       "decimal is read only when named.")
            .arg(fromStd(notationList())),
        QStringLiteral("NAME"));
    parser.addOption(notationOption);
    const QCommandLineOption formatOption(
        QStringLiteral("format"),
        QStringLiteral("Output format: text (default), csv or json; with --batch csv "
                       "(default), json or text; with --decode text (default) or json."),
        QStringLiteral("FORMAT"));
    parser.addOption(formatOption);
    const QCommandLineOption decodeOption(
        QStringLiteral("decode"),
        QStringLiteral("Check FRAME and say what it does: command, address, parameters and "
                       "every fault found."),
        QStringLiteral("FRAME"));
    parser.addOption(decodeOption);
    const QCommandLineOption batchOption(
        QStringLiteral("batch"),
        QStringLiteral("Print the strings of every motor in FILE (\"-\" for standard input), "
                       "one per line: ADDRESS[,single|group[,LABEL]]; blank lines and lines "
                       "starting with # are skipped. Columns label, kind, address, command, "
                       "string."),
        QStringLiteral("FILE"));
    parser.addOption(batchOption);
    parser.addPositionalArgument(QStringLiteral("ADDRESS"),
                                 QStringLiteral("Six hexadecimal digits, either case."));

    if (!parser.parse(arguments)) {
        writeError(argumentError(toStd(parser.errorText())));
        return exitUsage;
    }
    cli::StandardOutput out;
    if (parser.isSet(helpOption)) {
        out.buffer = toStd(parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                     QStringLiteral("rvx-strings")));
        return finish(out, exitSuccess);
    }
    if (parser.isSet(versionOption)) {
        out.buffer = "rvx-strings " RVX_VERSION "\n";
        return finish(out, exitSuccess);
    }

    std::vector<std::string> errors;  // complete lines for standard error
    const auto error = [&errors](const std::string& message) {
        errors.push_back(argumentError(message));
    };

    if (parser.isSet(decodeOption) && parser.isSet(batchOption)) {
        error("--decode and --batch cannot be used together");
    }
    const Mode mode = parser.isSet(decodeOption)  ? Mode::Decode
                      : parser.isSet(batchOption) ? Mode::Batch
                                                  : Mode::Strings;
    const std::string modeName = mode == Mode::Decode ? "--decode" : "--batch";

    rvx::MemoryFields fields;
    fields.kind = parser.isSet(groupOption) ? rvx::AddressKind::Group : rvx::AddressKind::Single;

    const QStringList positional = parser.positionalArguments();
    std::string address;
    if (mode != Mode::Strings) {
        if (!positional.isEmpty()) {
            error("ADDRESS \"" + toStd(positional.join(QLatin1Char(' '))) + "\" is not used with " +
                  modeName + (mode == Mode::Batch ? "; the addresses come from FILE" : ""));
        }
        if (parser.isSet(groupOption)) {
            error("--group is not used with " + modeName +
                  (mode == Mode::Batch ? "; give the kind on each line of FILE" : ""));
        }
    } else if (positional.isEmpty()) {
        error("no ADDRESS given; it must be six hexadecimal digits");
    } else if (positional.size() > 1) {
        error("one ADDRESS expected, got " + std::to_string(positional.size()) + ": " +
              toStd(positional.join(QLatin1Char(' '))));
    } else {
        address = toStd(positional.front());
        const auto reading = rvx::readAddress(address);
        if (!reading.ok()) {
            error(rvx::addressMessage(address, reading));
        }
    }

    for (std::size_t k = 0; k < parameterOptions.size(); ++k) {
        if (!parser.isSet(valueOptions[k])) {
            continue;
        }
        const auto& option = parameterOptions[k];
        const std::string value = toStd(parser.value(valueOptions[k]));
        if (mode == Mode::Decode) {
            error("--" + std::string(option.name) + " is not used with --decode");
            continue;
        }
        const auto number = rvx::readNumber(value);
        if (!number || !rvx::isAdmitted(option.field, *number)) {
            const auto& info = rvx::parameterInfo(option.field);
            error("--" + std::string(option.name) + " \"" + value +
                  "\": " + (number ? "out of range" : "not a number") + "; the " +
                  std::string(info.meaning) + " must be " + std::string(info.admittedText));
        } else {
            fields.parameter(option.field) = value;
        }
    }

    const auto formats = formatsOf(mode);
    std::optional<cli::Format> format = formats.front();
    if (parser.isSet(formatOption)) {
        const std::string formatName = toStd(parser.value(formatOption));
        format = cli::findFormat(formatName);
        if (!format || std::ranges::find(formats, *format) == formats.end()) {
            error("--format \"" + formatName + "\": must be " + formatList(formats) +
                  (mode == Mode::Strings ? "" : " with " + modeName));
        }
    }

    std::optional<rvx::Notation> notation;
    if (parser.isSet(notationOption)) {
        const std::string name = toStd(parser.value(notationOption));
        notation = rvx::findNotation(name);
        if (!notation) {
            error("--notation \"" + name + "\": must be " + notationList());
        }
    }

    std::vector<std::size_t> rows;
    if (parser.isSet(commandOption)) {
        const std::string name = toStd(parser.value(commandOption));
        if (mode == Mode::Decode) {
            error("--command is not used with --decode");
        } else if (const auto row = rvx::findCommand(name)) {
            rows.push_back(*row);
        } else {
            error("--command \"" + name + "\": no such command; one of " + commandList());
        }
    } else {
        for (std::size_t row = 0; row < rvx::commandCount; ++row) {
            rows.push_back(row);
        }
    }

    // The decoder's input: a text that reads as no bytes at all is a usage error.
    rvx::FrameText frameText;
    if (mode == Mode::Decode) {
        frameText = rvx::readFrameText(toStd(parser.value(decodeOption)), notation);
        if (!frameText.read()) {
            error("--decode: " + frameText.error);
        }
    }

    if (errors.empty() && mode != Mode::Decode) {
        // The generation with these parameters, once, before anything is written.
        rvx::MemoryFields probe = fields;
        probe.address[static_cast<std::size_t>(probe.kind)] =
            mode == Mode::Strings ? address : "000000";
        const auto outcome = rvx::CommandStringEngine(probe).getAddress();
        if (outcome.result == rvx::GenerationOutcome::Result::DataError) {
            error(outcome.failure.describe());  // admitted values never get here
        }
        if (mode == Mode::Strings) {
            fields = probe;
        }
    }

    if (!errors.empty()) {
        for (const auto& line : errors) {
            writeError(line);
        }
        return exitUsage;
    }

    const rvx::Notation written = notation.value_or(rvx::Notation::Spaced);
    switch (mode) {
        case Mode::Decode: {
            const auto decoded = rvx::decodeFrame(frameText.bytes);
            out.buffer = *format == cli::Format::Json
                             ? cli::decodeJson(frameText.bytes, frameText.notation, decoded)
                             : cli::decodeText(frameText.bytes, frameText.notation, decoded);
            return finish(out, decoded.madeByTool() ? exitSuccess : exitFindings);
        }
        case Mode::Batch: {
            cli::BatchJob job;
            job.path = toStd(parser.value(batchOption));
            for (const auto& info : rvx::parameterCatalogue) {
                job.values[static_cast<std::size_t>(info.field)] =
                    rvx::readNumber(fields.parameter(info.field)).value_or(0.0);
            }
            job.rows = rows;
            job.format = *format;
            job.notation = written;
            return cli::runBatch(job, stdout, stderr);
        }
        case Mode::Strings:
            break;
    }

    if (*format == cli::Format::Text && parser.isSet(commandOption)) {
        out.buffer = cli::inNotation(fields.frames[rows.front()], written) + "\n";
        return finish(out, exitSuccess);
    }
    std::size_t width = 0;
    for (const auto& command : rvx::commandCatalogue) {
        width = std::max(width, command.name.size());
    }
    cli::TableWriter table(*format, {"command", "string"}, {width});
    table.begin(out.buffer);
    for (const std::size_t row : rows) {
        table.row(out.buffer,
                  {rvx::commandCatalogue[row].name, cli::inNotation(fields.frames[row], written)});
    }
    table.end(out.buffer);
    return finish(out, exitSuccess);
}
