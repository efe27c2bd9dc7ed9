// rvx-strings: prints the command strings of a motor or group address.
//
// A thin front end: it checks the arguments, hands them to the engine's generation through a
// set of fields in memory, and writes what the engine wrote. Bad arguments are all reported on
// standard error, one line each, with exit status 2 and nothing on standard output.
#include <QCommandLineParser>
#include <QStringList>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "output.h"
#include "rvx/catalogue.h"
#include "rvx/generator.h"
#include "rvx/memory_fields.h"
#include "rvx/number.h"

namespace {

constexpr int exitUsage = 2;

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

void writeOut(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void reportError(const std::string& message) {
    const std::string line = "rvx-strings: " + message + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
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

std::string textTable(const rvx::MemoryFields& fields, const std::vector<std::size_t>& rows) {
    std::size_t width = 0;
    for (const auto& command : rvx::commandCatalogue) {
        width = std::max(width, command.name.size());
    }
    std::string out;
    for (std::size_t row : rows) {
        std::string name(rvx::commandCatalogue[row].name);
        name.resize(width + 2, ' ');
        out += name + fields.outputs[row] + "\n";
    }
    return out;
}

}  // namespace

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int k = 0; k < argc; ++k) {
        arguments << QString::fromLocal8Bit(argv[k]);
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints the RVX bus command strings (14-byte frames as hexadecimal byte text, checksum "
        "included) for a single motor or group address.\n"
        "Parameter values are decimal numbers; fractions are rounded as the frames require."));
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
        valueOptions.emplace_back(
            QString::fromLatin1(option.name),
            QStringLiteral("%1: %2 (default %3).")
                .arg(QString::fromLatin1(option.description),
                     QString::fromUtf8(info.admittedText.data(),
                                       static_cast<qsizetype>(info.admittedText.size())),
                     QString::fromUtf8(info.startText.data(),
                                       static_cast<qsizetype>(info.startText.size()))),
            QStringLiteral("N"));
        parser.addOption(valueOptions.back());
    }
    const QCommandLineOption commandOption(
        QStringLiteral("command"),
        QStringLiteral("Print only this command's string, e.g. \"Up\" or \"Go to IP #\" "
                       "(case is ignored)."),
        QStringLiteral("NAME"));
    parser.addOption(commandOption);
    const QCommandLineOption formatOption(QStringLiteral("format"),
                                          QStringLiteral("Output format: text, csv or json "
                                                         "(default text)."),
                                          QStringLiteral("FORMAT"), QStringLiteral("text"));
    parser.addOption(formatOption);
    parser.addPositionalArgument(QStringLiteral("ADDRESS"),
                                 QStringLiteral("Six hexadecimal digits, either case."));

    if (!parser.parse(arguments)) {
        reportError(toStd(parser.errorText()));
        return exitUsage;
    }
    if (parser.isSet(helpOption)) {
        writeOut(toStd(parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                 QStringLiteral("rvx-strings"))));
        return 0;
    }
    if (parser.isSet(versionOption)) {
        writeOut("rvx-strings " RVX_VERSION "\n");
        return 0;
    }

    std::vector<std::string> errors;
    rvx::MemoryFields fields;
    fields.kind = parser.isSet(groupOption) ? rvx::AddressKind::Group : rvx::AddressKind::Single;

    const QStringList positional = parser.positionalArguments();
    std::string address;
    if (positional.isEmpty()) {
        errors.push_back("no ADDRESS given; it must be six hexadecimal digits");
    } else if (positional.size() > 1) {
        errors.push_back("one ADDRESS expected, got " + std::to_string(positional.size()) + ": " +
                         toStd(positional.join(QLatin1Char(' '))));
    } else {
        address = toStd(positional.front());
        // The generation itself judges the characters, on a set of fields of its own with the
        // start parameters. The length is checked first, as the window's Calculate does, since
        // the generation would take the first six characters of a longer address.
        rvx::MemoryFields probe;
        probe.kind = fields.kind;
        probe.address[static_cast<std::size_t>(probe.kind)] = address;
        if (positional.front().size() == 6) {
            rvx::CommandStringEngine(probe).getAddress();
        }
        if (positional.front().size() != 6 || probe.addressRefused()) {
            errors.push_back("address \"" + address + "\": must be six hexadecimal digits");
        }
    }

    for (std::size_t k = 0; k < parameterOptions.size(); ++k) {
        if (!parser.isSet(valueOptions[k])) {
            continue;
        }
        const auto& option = parameterOptions[k];
        const std::string value = toStd(parser.value(valueOptions[k]));
        const auto number = rvx::readNumber(value);
        if (!number || !rvx::isAdmitted(option.field, *number)) {
            const auto& info = rvx::parameterInfo(option.field);
            errors.push_back("--" + std::string(option.name) + " \"" + value +
                             "\": " + (number ? "out of range" : "not a number") + "; the " +
                             std::string(info.meaning) + " must be " +
                             std::string(info.admittedText));
        } else {
            fields.parameter(option.field) = value;
        }
    }

    const std::string formatName = toStd(parser.value(formatOption));
    const auto format = cli::findFormat(formatName);
    if (!format) {
        errors.push_back("--format \"" + formatName + "\": must be text, csv or json");
    }

    std::vector<std::size_t> rows;
    if (parser.isSet(commandOption)) {
        const std::string name = toStd(parser.value(commandOption));
        if (const auto row = rvx::findCommand(name)) {
            rows.push_back(*row);
        } else {
            errors.push_back("--command \"" + name + "\": no such command; one of " +
                             commandList());
        }
    } else {
        for (std::size_t row = 0; row < rvx::commandCount; ++row) {
            rows.push_back(row);
        }
    }

    if (errors.empty()) {
        fields.address[static_cast<std::size_t>(fields.kind)] = address;
        rvx::CommandStringEngine engine(fields);
        try {
            engine.getAddress();
        } catch (const rvx::EngineFailure& failure) {
            errors.push_back(failure.what());  // admitted values never get here
        }
    }

    if (!errors.empty()) {
        for (const auto& error : errors) {
            reportError(error);
        }
        return exitUsage;
    }

    if (*format == cli::Format::Text) {
        if (parser.isSet(commandOption)) {
            writeOut(fields.outputs[rows.front()] + "\n");
        } else {
            writeOut(textTable(fields, rows));
        }
        return 0;
    }
    std::vector<cli::Record> records;
    for (std::size_t row : rows) {
        records.push_back({{{"command", std::string(rvx::commandCatalogue[row].name)},
                            {"string", fields.outputs[row]}}});
    }
    writeOut(*format == cli::Format::Csv ? cli::writeCsv(records, {"command", "string"})
                                         : cli::writeJson(records));
    return 0;
}
