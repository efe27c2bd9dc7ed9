#include "site/site_monitor.h"

#include <utility>

#include "save_whole.h"
#include "site/motor_list_model.h"
#include "text.h"

using ui::fromView;

SiteMonitor::SiteMonitor(rvx::bus::Connections& connections, const MotorListModel& motors,
                         QObject* parent)
    : QAbstractTableModel(parent), motors_(motors), watcher_(connections) {
    connect(&watcher_, &rvx::bus::Watcher::received, this,
            [this](const rvx::bus::Received& run) { arrived(run, false); });
    connect(&watcher_, &rvx::bus::Watcher::sent, this, [this](const rvx::bus::Received& frame) {
        // Shown as it left; should the line hand it back, that row is marked as well.
        sentFrames_.append({frame.bytes, QDateTime::currentDateTimeUtc()});
        arrived(frame, true);
    });
    connect(&watcher_, &rvx::bus::Watcher::opened, this, &SiteMonitor::opened);
    connect(&watcher_, &rvx::bus::Watcher::stopped, this, &SiteMonitor::stopped);
    connect(&watcher_, &rvx::bus::Watcher::failed, this,
            [this](const rvx::bus::Error& error) { emit failed(error.message); });
}

SiteMonitor::~SiteMonitor() {
    // The watcher signals as it stops; nothing of this monitor answers by then.
    watcher_.disconnect(this);
    watcher_.stop();
}

int SiteMonitor::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int SiteMonitor::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SiteMonitor::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size()) ||
        (role != Qt::DisplayRole && role != Qt::ToolTipRole)) {
        return {};
    }
    return rows_[index.row()].cells[index.column()];
}

QVariant SiteMonitor::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    static const QStringList titles{QStringLiteral("Time"),    QStringLiteral("Command"),
                                    QStringLiteral("Address"), QStringLiteral("Motor"),
                                    QStringLiteral("Result"),  QStringLiteral("Sent"),
                                    QStringLiteral("Frame")};
    return titles.value(section);
}

bool SiteMonitor::start(const rvx::bus::Target& target, const rvx::bus::Settings& settings) {
    return watcher_.start(target, settings);
}

void SiteMonitor::stop() {
    watcher_.stop();
}

bool SiteMonitor::watching() const {
    return watcher_.watching();
}

void SiteMonitor::setPaused(bool paused) {
    paused_ = paused;
    if (!paused_) {
        const auto held = std::exchange(heldBack_, {});
        for (const auto& [run, sentHere] : held) {
            addRow(run, sentHere);
        }
    }
}

void SiteMonitor::clear() {
    beginResetModel();
    rows_.clear();
    heldBack_.clear();
    endResetModel();
}

void SiteMonitor::arrived(const rvx::bus::Received& run, bool sentHere) {
    if (paused_) {
        heldBack_.append({run, sentHere});
        return;
    }
    addRow(run, sentHere);
}

void SiteMonitor::addRow(const rvx::bus::Received& run, bool sentHere) {
    const rvx::MonitorReport report = rvx::reportRun(run.span(), run.kind);
    Row row{run, {}, sentHere, {}};
    if (report.frame) {
        if (report.decoded.address) {
            row.label = motors_.labelOf(*report.decoded.address, report.decoded.kind);
        }
        // A frame sent from here, seen again: the first of the same bytes sent lately.
        const QDateTime now = QDateTime::currentDateTimeUtc();
        sentFrames_.removeIf(
            [&now](const auto& sent) { return sent.second.msecsTo(now) > sentEchoMs; });
        for (auto it = sentFrames_.begin(); !sentHere && it != sentFrames_.end(); ++it) {
            if (it->first == run.bytes) {
                row.sent = true;
                sentFrames_.erase(it);
                break;
            }
        }
    }
    row.cells = {fromView(rvx::clockTimeText(run.localMs())),
                 fromView(report.command),
                 fromView(report.address),
                 row.label,
                 fromView(report.verdict),
                 row.sent ? QStringLiteral("sent") : QString(),
                 fromView(report.bytes)};
    const int at = static_cast<int>(rows_.size());
    beginInsertRows({}, at, at);
    rows_.append(std::move(row));
    endInsertRows();
    emit rowAdded(at);
}

QByteArray SiteMonitor::jsonLines() const {
    QByteArray lines;
    for (const Row& row : rows_) {
        const QByteArray label = row.label.toUtf8();
        const rvx::MonitorMarks marks{
            std::string_view(label.constData(), static_cast<std::size_t>(label.size())), row.sent};
        lines += QByteArray::fromStdString(
            rvx::monitorJsonLine(row.run.span(), row.run.kind, row.run.utcMs(), marks));
        lines += '\n';
    }
    return lines;
}

bool SiteMonitor::saveTo(const QString& path, QString* problem) const {
    return saveWhole(path, jsonLines(), problem);
}
