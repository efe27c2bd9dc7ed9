#include "site/site_exports.h"

#include <QDir>
#include <QFileInfo>

#include "rvx/batch_table.h"
#include "rvx/bus_site_target.h"
#include "rvx/catalogue.h"
#include "rvx/made_frame.h"
#include "send/bus_connection.h"
#include "text.h"

using ui::fromView;

QString stringsText(std::span<const rvx::Motor> motors, const SiteStrings& strings) {
    QString text;
    for (const rvx::Motor& motor : motors) {
        QString heading =
            motor.label.empty() ? QStringLiteral("(no label)") : fromView(motor.label);
        if (!motor.room.empty()) {
            heading += QStringLiteral(", ") + fromView(motor.room);
        }
        text += heading + QStringLiteral(": ") + fromView(rvx::kindName(motor.kind)) +
                QLatin1Char(' ') + QString::fromStdString(rvx::addressText(motor.address)) +
                QLatin1Char('\n');
        for (std::size_t row = 0; row < rvx::commandCatalogue.size(); ++row) {
            const auto& command = rvx::commandCatalogue[row];
            // A value the frames do not admit gives no string: the reason stands in its place.
            const auto refused =
                rvx::refusedValue(static_cast<rvx::CommandId>(row), strings.values);
            const auto frame = rvx::frameFor(command, motor.kind, motor.address, strings.values);
            text += QStringLiteral("  %1  %2\n")
                        .arg(fromView(command.name), -15)
                        .arg(refused ? QStringLiteral("not made: ") +
                                           QString::fromStdString(refused->sentence)
                                     : fromView(rvx::inNotation(frame, strings.notation)));
        }
    }
    return text;
}

QByteArray stringsTable(std::span<const rvx::Motor> motors, const SiteStrings& strings, bool json) {
    rvx::BatchOptions options;
    options.values = strings.values;
    options.rows = rvx::allCommandRows();
    options.format = json ? rvx::Format::Json : rvx::Format::Csv;
    options.notation = strings.notation;
    std::string table;
    rvx::StringSink sink(table);
    rvx::BufferedWriter out(sink);
    rvx::writeTable(motors, options, out);
    (void)out.finish();  // a string takes every byte
    return QByteArray::fromStdString(table);
}

std::optional<QByteArray> platformFile(rvx::SiteExportKind kind, std::span<const rvx::Motor> motors,
                                       const BusConnection& connection, const SiteStrings& strings,
                                       QString* problem) {
    const auto fail = [problem](const QString& why) -> std::optional<QByteArray> {
        if (problem != nullptr) {
            *problem = why;
        }
        return std::nullopt;
    };
    if (motors.empty()) {
        return fail(QStringLiteral("Select the motors to export."));
    }
    rvx::SiteExportRequest request;
    request.motors = motors;
    request.target = rvx::bus::siteTargetOf(connection.target, connection.settings);
    request.values = strings.values;
    request.notation = strings.notation;
    const rvx::SiteExport file = rvx::exportSite(kind, request);
    if (!file.error.empty()) {
        return fail(QString::fromStdString(file.error));
    }
    return QByteArray::fromStdString(file.text);
}

QString platformTitle(rvx::SiteExportKind kind) {
    return fromView(rvx::siteExportInfo(kind).title);
}

QString platformFilter(rvx::SiteExportKind kind) {
    return fromView(rvx::siteExportInfo(kind).filter) + QStringLiteral(";;All files (*)");
}

QString platformSerialOnly(rvx::SiteExportKind kind) {
    const std::string_view why = rvx::siteExportInfo(kind).serialOnly;
    return why.empty() ? QString() : fromView(why) + QStringLiteral(" only");
}

QString suggestedPlatformFile(rvx::SiteExportKind kind, const QString& sitePath) {
    const QFileInfo site(sitePath);
    const QString name = (sitePath.isEmpty() ? QStringLiteral("rvx") : site.completeBaseName()) +
                         fromView(rvx::siteExportInfo(kind).suffix);
    return sitePath.isEmpty() ? name : site.dir().filePath(name);
}

QString platformExtension(rvx::SiteExportKind kind) {
    const QString suffix = fromView(rvx::siteExportInfo(kind).suffix);
    return suffix.mid(suffix.lastIndexOf(QLatin1Char('.')) + 1);
}
