// The site window's bus monitor: a table of what a watch of the bus connection sees, a row for
// each frame and each run of noise, the frame named after the motor of its address where the
// site's list has it. A frame the program sends through the watched connection, from any
// window, gets a row marked as sent; the same frame handed back by the line soon after (an
// adapter or a bridge that hears its own sends) is that row's echo and gets no row of its own.
// The rows are worded, and saved as JSON Lines, by the core's monitor report, as rvx-strings
// --monitor words them.
//
// A flood (a line full of garbage, a bridge writing megabytes) neither fills the memory nor
// holds up the window: what arrives in one turn of the event loop is added as one batch, the
// table keeps the latest rowCap rows (and as many held back while paused), and the rows
// dropped are counted.
#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QStringList>
#include <QTimer>
#include <optional>
#include <utility>

#include "rvx/address.h"
#include "rvx/bus.h"
#include "rvx/frame_report.h"

class MotorListModel;

class SiteMonitor : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Time, Command, Address, Motor, Result, Sent, FrameBytes, ColumnCount };

    // A sent frame seen again on the bus within this time is taken for the one sent.
    static constexpr qint64 sentEchoMs = 5000;
    // The most rows kept, and the most held back while paused; older ones are dropped.
    static constexpr qsizetype rowCap = 20000;

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
    // How many rows were dropped to keep the latest (since the last clear), and how many are
    // held back now.
    [[nodiscard]] qint64 droppedRows() const { return dropped_; }
    [[nodiscard]] qsizetype heldBackRows() const { return heldBack_.size(); }
    // The address and kind of the frame of a row, where the frame tells them.
    [[nodiscard]] std::optional<std::pair<rvx::Address, std::optional<rvx::AddressKind>>> addressOf(
        int row) const;

    // The rows as JSON Lines, in the keys rvx-strings --monitor --format json uses, and
    // "label" and "sent" where they apply.
    [[nodiscard]] QByteArray jsonLines() const;
    // Writes them through a temporary file that replaces path only once whole.
    bool saveTo(const QString& path, QString* problem = nullptr) const;

signals:
    void opened();
    void failed(const QString& message);
    void stopped();
    // Rows were added at the end, first to last, as one batch.
    void rowsAdded(int first, int last);

private:
    struct Row {
        rvx::bus::Received run;
        QString label;
        bool sent = false;
        QStringList cells;  // by column, as shown, but for the frame's bytes (made when shown)
    };

    void arrived(const rvx::bus::Received& run, bool sentHere);
    // Marks the frame seen lately that is the echo of one sent now, come before it was known
    // to have left; false where there is none.
    bool markEcho(const rvx::bus::Received& frame);
    [[nodiscard]] Row rowOf(const rvx::bus::Received& run, bool sentHere) const;
    // Adds what arrived since the last turn of the event loop, as one batch.
    void addPending();

    const MotorListModel& motors_;
    rvx::bus::Watcher watcher_;
    QList<Row> rows_;
    // What arrived and waits for the next batch, and what was held back while paused, with
    // whether it was sent here.
    QList<std::pair<rvx::bus::Received, bool>> pending_;
    QList<std::pair<rvx::bus::Received, bool>> heldBack_;
    QTimer batch_;
    bool paused_ = false;
    qint64 dropped_ = 0;
    // Frames sent, not yet seen on the bus: their bytes and when they left.
    QList<std::pair<QByteArray, QDateTime>> sentFrames_;
};
