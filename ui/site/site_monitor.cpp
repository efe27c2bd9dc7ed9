#include "site/site_monitor.h"

#include <algorithm>
#include <utility>

#include "save_whole.h"
#include "site/motor_list_model.h"
#include "text.h"

using ui::fromView;

SiteMonitor::SiteMonitor(rvx::bus::Connections& connections, const MotorListModel& motors,
                         QObject* parent)
    : QAbstractTableModel(parent), motors_(motors), watcher_(connections) {
    batch_.setSingleShot(true);
    batch_.setInterval(0);
    connect(&batch_, &QTimer::timeout, this, &SiteMonitor::addPending);
    connect(&watcher_, &rvx::bus::Watcher::received, this,
            [this](const rvx::bus::Received& run) { arrived(run, false); });
    connect(&watcher_, &rvx::bus::Watcher::sent, this, [this](const rvx::bus::Received& frame) {
        // Shown as it left; should the line hand it back, that is this row's echo.
        arrived(frame, true);
    });
    connect(&watcher_, &rvx::bus::Watcher::opened, this, &SiteMonitor::opened);
    connect(&watcher_, &rvx::bus::Watcher::stopped, this, [this] {
        addPending();
        emit stopped();
    });
    connect(&watcher_, &rvx::bus::Watcher::failed, this, [this](const rvx::bus::Error& error) {
        addPending();
        emit failed(error.message);
    });
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
    const Row& row = rows_[index.row()];
    if (index.column() == FrameBytes) {
        return fromView(rvx::reportRun(row.run.span(), row.run.kind).bytes);
    }
    return row.cells[index.column()];
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
    addPending();
}

bool SiteMonitor::watching() const {
    return watcher_.watching();
}

void SiteMonitor::setPaused(bool paused) {
    paused_ = paused;
    if (!paused_) {
        pending_ += std::exchange(heldBack_, {});
        addPending();
    }
}

void SiteMonitor::clear() {
    beginResetModel();
    rows_.clear();
    pending_.clear();
    heldBack_.clear();
    dropped_ = 0;
    endResetModel();
}

std::optional<std::pair<rvx::Address, std::optional<rvx::AddressKind>>> SiteMonitor::addressOf(
    int row) const {
    if (row < 0 || row >= rows_.size() || !rows_[row].run.isFrame()) {
        return std::nullopt;
    }
    const rvx::MonitorReport report = rvx::reportRun(rows_[row].run.span(), rows_[row].run.kind);
    if (!report.decoded.address) {
        return std::nullopt;
    }
    return std::pair{*report.decoded.address, report.decoded.kind};
}

bool SiteMonitor::markEcho(const rvx::bus::Received& frame) {
    // Only the latest few are looked at: an echo comes right after its frame.
    constexpr qsizetype latest = 64;
    const auto isEcho = [&frame](const rvx::bus::Received& run) {
        return run.isFrame() && run.bytes == frame.bytes &&
               run.time.msecsTo(frame.time) <= sentEchoMs;
    };
    for (auto* queue : {&heldBack_, &pending_}) {
        for (qsizetype k = queue->size() - 1; k >= 0 && k >= queue->size() - latest; --k) {
            auto& [run, sent] = (*queue)[k];
            if (!sent && isEcho(run)) {
                sent = true;
                return true;
            }
        }
    }
    for (qsizetype k = rows_.size() - 1; k >= 0 && k >= rows_.size() - latest; --k) {
        Row& row = rows_[k];
        if (!row.sent && isEcho(row.run)) {
            row.sent = true;
            row.cells[Sent] = QStringLiteral("sent");
            const QModelIndex cell = index(static_cast<int>(k), Sent);
            emit dataChanged(cell, cell);
            return true;
        }
    }
    return false;
}

void SiteMonitor::arrived(const rvx::bus::Received& run, bool sentHere) {
    if (sentHere) {
        // The line may hand a frame back before it is known to have left.
        if (markEcho(run)) {
            return;
        }
        sentFrames_.append({run.bytes, QDateTime::currentDateTimeUtc()});
    } else if (run.isFrame()) {
        // A frame sent from here, handed back by the line: the row of the send stands for it.
        const QDateTime now = QDateTime::currentDateTimeUtc();
        sentFrames_.removeIf(
            [&now](const auto& sent) { return sent.second.msecsTo(now) > sentEchoMs; });
        for (auto it = sentFrames_.begin(); it != sentFrames_.end(); ++it) {
            if (it->first == run.bytes) {
                sentFrames_.erase(it);
                return;
            }
        }
    }
    QList<std::pair<rvx::bus::Received, bool>>& queue = paused_ ? heldBack_ : pending_;
    queue.append({run, sentHere});
    if (queue.size() > rowCap) {
        queue.removeFirst();
        ++dropped_;
    }
    if (!paused_ && !batch_.isActive()) {
        batch_.start();
    }
}

SiteMonitor::Row SiteMonitor::rowOf(const rvx::bus::Received& run, bool sentHere) const {
    const rvx::MonitorReport report = rvx::reportRun(run.span(), run.kind);
    Row row{run, {}, sentHere, {}};
    if (report.frame && report.decoded.address) {
        row.label = motors_.labelOf(*report.decoded.address, report.decoded.kind);
    }
    row.cells = {fromView(rvx::clockTimeText(run.localMs())),
                 fromView(report.command),
                 fromView(report.address),
                 row.label,
                 fromView(report.verdict),
                 row.sent ? QStringLiteral("sent") : QString(),
                 QString()};
    return row;
}

void SiteMonitor::addPending() {
    batch_.stop();
    if (pending_.isEmpty()) {
        return;
    }
    const auto batch = std::exchange(pending_, {});
    const qsizetype adding = std::min(batch.size(), rowCap);
    dropped_ += batch.size() - adding;
    // The oldest rows make room for the batch.
    const qsizetype over = rows_.size() + adding - rowCap;
    if (over > 0) {
        beginRemoveRows({}, 0, static_cast<int>(over - 1));
        rows_.remove(0, over);
        endRemoveRows();
        dropped_ += over;
    }
    const int first = static_cast<int>(rows_.size());
    const int last = first + static_cast<int>(adding) - 1;
    beginInsertRows({}, first, last);
    for (qsizetype k = batch.size() - adding; k < batch.size(); ++k) {
        rows_.append(rowOf(batch[k].first, batch[k].second));
    }
    endInsertRows();
    emit rowsAdded(first, last);
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
