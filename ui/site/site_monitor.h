// The site window's bus monitor: a table of what a watch of the bus connection sees, a row for
// each frame and each run of noise, the frame named after the motor of its address where the
// site's list has it. A frame the program sends through the watched connection, from any
// window, gets a row marked as sent, and so does the same frame when the line hands it back
// (an adapter that hears its own sends). The rows are worded, and saved as JSON Lines, by the
// core's monitor report, as rvx-strings --monitor words them.
#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QStringList>

#include "rvx/bus.h"
#include "rvx/frame_report.h"

class MotorListModel;

class SiteMonitor : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Time, Command, Address, Motor, Result, Sent, FrameBytes, ColumnCount };

    // A sent frame seen again on the bus within this time is taken for the one sent.
    static constexpr qint64 sentEchoMs = 5000;

    SiteMonitor(rvx::bus::Connections& connections, const MotorListModel& motors,
                QObject* parent = nullptr);
    ~SiteMonitor() override;

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;

    // Watches the target: opened() or failed() follows. While it watches, the program's sends
    // to the target go out through its connection. false while watching already.
    bool start(const rvx::bus::Target& target, const rvx::bus::Settings& settings);
    // Stops watching (what the line held comes first) and lets the connection go.
    void stop();
    [[nodiscard]] bool watching() const;

    // Paused, rows are held back and come once the pause ends.
    void setPaused(bool paused);
    // Empties the table and what is held back.
    void clear();

    // The rows as JSON Lines, in the keys rvx-strings --monitor --format json uses, and
    // "label" and "sent" where they apply.
    [[nodiscard]] QByteArray jsonLines() const;
    // Writes them through a temporary file that replaces path only once whole.
    bool saveTo(const QString& path, QString* problem = nullptr) const;

signals:
    void opened();
    void failed(const QString& message);
    void stopped();
    // A row was added at the end.
    void rowAdded(int row);

private:
    struct Row {
        rvx::bus::Received run;
        QString label;
        bool sent = false;
        QStringList cells;  // by column, as shown
    };

    void arrived(const rvx::bus::Received& run, bool sentHere);
    void addRow(const rvx::bus::Received& run, bool sentHere);

    const MotorListModel& motors_;
    rvx::bus::Watcher watcher_;
    QList<Row> rows_;
    // What arrived or was sent while paused, and whether it was sent here.
    QList<std::pair<rvx::bus::Received, bool>> heldBack_;
    bool paused_ = false;
    // Frames sent, not yet seen on the bus: their bytes and when they left.
    QList<std::pair<QByteArray, QDateTime>> sentFrames_;
};
