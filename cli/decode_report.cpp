#include "decode_report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <string_view>

#include "rvx/catalogue.h"

namespace cli {

namespace {

QString qt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string_view notationName(rvx::Notation notation) {
    for (const auto& info : rvx::notationCatalogue) {
        if (info.notation == notation) {
            return info.name;
        }
    }
    return {};
}

std::string hexByte(std::uint8_t byte) {
    return rvx::writeBytes(std::span(&byte, 1));
}

std::string addressText(const rvx::DecodedFrame& decoded) {
    if (!decoded.address) {
        return "unknown";
    }
    if (!decoded.kind) {
        return *decoded.address + ", single motor or group";
    }
    return (*decoded.kind == rvx::AddressKind::Group ? "group " : "single motor ") +
           *decoded.address;
}

void line(std::string& out, std::string_view name, std::string_view value) {
    std::string label(name);
    label += ':';
    label.resize(12, ' ');
    out += label;
    out += value;
    out += '\n';
}

std::string countText(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " finding" : " findings");
}

}  // namespace

std::string decodeText(std::span<const std::uint8_t> bytes, rvx::Notation notation,
                       const rvx::DecodedFrame& decoded) {
    std::string out;
    line(out, "Frame", rvx::writeBytes(bytes));
    line(out, "Notation", notationName(notation));
    line(out, "Command",
         decoded.command ? rvx::commandCatalogue[*decoded.command].name : "unknown");
    line(out, "Address", addressText(decoded));
    for (const auto& parameter : decoded.parameters) {
        line(out, "Parameter",
             parameter.description + " (byte " + std::to_string(parameter.byte) + ", " +
                 hexByte(parameter.written) + ")");
    }
    for (const auto& note : decoded.notes) {
        line(out, "Note", note);
    }
    for (const auto& finding : decoded.findings) {
        line(out, "Finding", finding.message);
    }
    line(out, "Result",
         decoded.madeByTool() ? "valid: a frame that rvx-strings makes from admitted values"
                              : "not valid: " + countText(decoded.findings.size()) +
                                    "; rvx-strings makes no such frame");
    return out;
}

std::string decodeJson(std::span<const std::uint8_t> bytes, rvx::Notation notation,
                       const rvx::DecodedFrame& decoded) {
    QJsonObject object;
    object[QStringLiteral("frame")] = qt(rvx::writeBytes(bytes));
    object[QStringLiteral("notation")] = qt(notationName(notation));
    object[QStringLiteral("valid")] = decoded.madeByTool();
    object[QStringLiteral("command")] =
        decoded.command ? QJsonValue(qt(rvx::commandCatalogue[*decoded.command].name))
                        : QJsonValue();
    object[QStringLiteral("kind")] =
        decoded.kind
            ? QJsonValue(*decoded.kind == rvx::AddressKind::Group ? QStringLiteral("group")
                                                                  : QStringLiteral("single"))
            : QJsonValue();
    object[QStringLiteral("address")] =
        decoded.address ? QJsonValue(qt(*decoded.address)) : QJsonValue();

    QJsonArray parameters;
    for (const auto& parameter : decoded.parameters) {
        QJsonObject p;
        p[QStringLiteral("parameter")] = qt(rvx::parameterInfo(parameter.field).meaning);
        p[QStringLiteral("byte")] = static_cast<int>(parameter.byte);
        p[QStringLiteral("written")] = qt(hexByte(parameter.written));
        p[QStringLiteral("value")] = parameter.whole ? QJsonValue(*parameter.whole) : QJsonValue();
        p[QStringLiteral("admitted")] = parameter.admitted;
        p[QStringLiteral("description")] = qt(parameter.description);
        parameters.append(p);
    }
    object[QStringLiteral("parameters")] = parameters;

    QJsonArray findings;
    for (const auto& finding : decoded.findings) {
        QJsonObject f;
        f[QStringLiteral("check")] = qt(rvx::checkName(finding.check));
        QJsonArray range;
        if (finding.firstByte > 0) {
            range.append(static_cast<int>(finding.firstByte));
            range.append(static_cast<int>(finding.lastByte));
        }
        f[QStringLiteral("bytes")] = range;
        f[QStringLiteral("message")] = qt(finding.message);
        findings.append(f);
    }
    object[QStringLiteral("findings")] = findings;

    QJsonArray notes;
    for (const auto& note : decoded.notes) {
        notes.append(qt(note));
    }
    object[QStringLiteral("notes")] = notes;
    return QJsonDocument(object).toJson(QJsonDocument::Indented).toStdString();
}

}  // namespace cli
