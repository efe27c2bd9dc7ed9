// What the site window makes of the motors chosen: the strings pane's text, the tables that
// `rvx-strings --batch` writes (the core's batch table, in memory), and a platform's file as
// `rvx-strings --batch --export` makes it (the engine's exports). The platforms' names, file
// names and rules come from the engine's export table.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <span>

#include "rvx/frame.h"
#include "rvx/motor_list.h"
#include "rvx/notation.h"
#include "rvx/site_export.h"

struct BusConnection;

// The values the window sends with, and writes into the strings: Go to % and IP numbers
// chosen, the rest at their start values.
struct SiteStrings {
    rvx::ParameterValues values = rvx::startValues();
    rvx::Notation notation = rvx::Notation::Spaced;
};

// Every string of the motors, a heading line per motor ("Office, First floor: single 123456")
// and a line per command.
[[nodiscard]] QString stringsText(std::span<const rvx::Motor> motors, const SiteStrings& strings);

// The motors' strings as `rvx-strings --batch` writes them, in CSV or as JSON.
[[nodiscard]] QByteArray stringsTable(std::span<const rvx::Motor> motors,
                                      const SiteStrings& strings, bool json);

// The motors as a platform's file, sending to the connection's port (at its line) or bridge,
// the strings' notation beside the bytes; nullopt and why when there are no motors or the
// platform cannot reach the target.
[[nodiscard]] std::optional<QByteArray> platformFile(rvx::SiteExportKind kind,
                                                     std::span<const rvx::Motor> motors,
                                                     const BusConnection& connection,
                                                     const SiteStrings& strings,
                                                     QString* problem = nullptr);

// As the window names a platform's file ("Node-RED flow"), the file dialog's filter for it,
// why the platform reaches a serial port only (empty where a bridge will do), and the file
// offered: beside the site file and named after it ("east-wing-flow.json"), or "rvx-flow.json"
// for a site not saved yet.
[[nodiscard]] QString platformTitle(rvx::SiteExportKind kind);
[[nodiscard]] QString platformFilter(rvx::SiteExportKind kind);
[[nodiscard]] QString platformSerialOnly(rvx::SiteExportKind kind);
[[nodiscard]] QString suggestedPlatformFile(rvx::SiteExportKind kind, const QString& sitePath);
// The extension a name typed without one is given: "json" for "-flow.json".
[[nodiscard]] QString platformExtension(rvx::SiteExportKind kind);
