#include "site/monitor_pane.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include "controls.h"
#include "send/motor_sender.h"
#include "site/site_monitor.h"

// Keeps the rows whose address or motor holds the text, in any case; every row without one.
class OneMotor : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void setText(const QString& text) {
        text_ = text.trimmed();
        invalidateRowsFilter();
    }

protected:
    [[nodiscard]] bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        if (text_.isEmpty()) {
            return true;
        }
        for (const int column : {SiteMonitor::Address, SiteMonitor::Motor}) {
            const QModelIndex cell = sourceModel()->index(row, column, parent);
            if (cell.data().toString().contains(text_, Qt::CaseInsensitive)) {
                return true;
            }
        }
        return false;
    }

private:
    QString text_;
};

SiteMonitorPane::SiteMonitorPane(SiteMonitor& monitor, MotorSender& sender, QWidget* parent)
    : QWidget(parent), monitor_(monitor), sender_(sender) {
    cmdWatch = new QPushButton(QStringLiteral("&Watch"), this);
    cmdWatch->setObjectName(QStringLiteral("cmdWatch"));
    connect(cmdWatch, &QPushButton::clicked, this, &SiteMonitorPane::toggleWatching);
    cmdPause = new QPushButton(QStringLiteral("&Pause"), this);
    cmdPause->setObjectName(QStringLiteral("cmdPause"));
    cmdPause->setCheckable(true);
    connect(cmdPause, &QPushButton::toggled, &monitor_, &SiteMonitor::setPaused);
    cmdClearMonitor = new QPushButton(QStringLiteral("&Clear"), this);
    cmdClearMonitor->setObjectName(QStringLiteral("cmdClearMonitor"));
    connect(cmdClearMonitor, &QPushButton::clicked, this, [this] {
        monitor_.clear();
        showStatus();
    });
    cmdSaveMonitor = new QPushButton(QStringLiteral("Save as &JSON Lines\u2026"), this);
    cmdSaveMonitor->setObjectName(QStringLiteral("cmdSaveMonitor"));
    connect(cmdSaveMonitor, &QPushButton::clicked, this, &SiteMonitorPane::save);
    txtMonitorFilter = new QLineEdit(this);
    txtMonitorFilter->setObjectName(QStringLiteral("txtMonitorFilter"));
    txtMonitorFilter->setPlaceholderText(QStringLiteral("one motor: address or label"));
    txtMonitorFilter->setAccessibleName(QStringLiteral("Show the rows of one motor"));
    txtMonitorFilter->setClearButtonEnabled(true);
    lblMonitor = new ui::Label(QStringLiteral("Not watching"), this);
    lblMonitor->setObjectName(QStringLiteral("lblMonitor"));
    lblMonitor->setTextFormat(Qt::PlainText);
    lblMonitor->setWordWrap(true);
    ui::speakAs(lblMonitor, ui::Spoken::StatusLine);

    shown_ = new OneMotor(this);
    shown_->setSourceModel(&monitor_);
    connect(txtMonitorFilter, &QLineEdit::textChanged, shown_, &OneMotor::setText);

    tblMonitor = new QTableView(this);
    tblMonitor->setObjectName(QStringLiteral("tblMonitor"));
    tblMonitor->setAccessibleName(QStringLiteral("Frames seen on the bus"));
    tblMonitor->setModel(shown_);
    tblMonitor->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblMonitor->setTabKeyNavigation(false);  // Tab goes on to the next control; arrows move in it
    tblMonitor->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblMonitor->horizontalHeader()->setStretchLastSection(true);
    tblMonitor->verticalHeader()->hide();
    // Rows of one height, so that a flood is laid out without measuring every row.
    tblMonitor->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tblMonitor->verticalHeader()->setDefaultSectionSize(tblMonitor->fontMetrics().height() + 6);
    // The finding is shown whole: its column is wide enough, and its tooltip holds it all.
    tblMonitor->setColumnWidth(SiteMonitor::Result,
                               tblMonitor->fontMetrics().averageCharWidth() * 40);
    connect(tblMonitor, &QTableView::clicked, this, [this](const QModelIndex& index) {
        const auto address = monitor_.addressOf(shown_->mapToSource(index).row());
        if (address) {
            emit addressChosen(address->first, address->second);
        }
    });

    auto* bar = new QHBoxLayout;
    bar->addWidget(cmdWatch);
    bar->addWidget(cmdPause);
    bar->addWidget(cmdClearMonitor);
    bar->addWidget(cmdSaveMonitor);
    bar->addWidget(txtMonitorFilter);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(lblMonitor);
    layout->addWidget(tblMonitor, 1);

    reconnect_.setSingleShot(true);
    connect(&reconnect_, &QTimer::timeout, this, &SiteMonitorPane::startWatching);
    connect(&monitor_, &SiteMonitor::opened, this, [this] {
        open_ = true;
        tries_ = 0;
        state_ = QStringLiteral("Watching %1").arg(watched_);
        cmdWatch->setText(QStringLiteral("Stop &watching"));
        showStatus();
    });
    connect(&monitor_, &SiteMonitor::failed, this, &SiteMonitorPane::lost);
    connect(&monitor_, &SiteMonitor::stopped, this, [this] {
        open_ = false;
        state_ = QStringLiteral("Not watching");
        cmdWatch->setText(QStringLiteral("&Watch"));
        showStatus();
    });
    // One scroll per batch, however many rows it holds.
    connect(&monitor_, &SiteMonitor::rowsAdded, this, [this] {
        tblMonitor->scrollToBottom();
        if (monitor_.droppedRows() > 0) {
            showStatus();
        }
    });
}

void SiteMonitorPane::showStatus() {
    QString text = state_.isEmpty() ? QStringLiteral("Not watching") : state_;
    if (monitor_.droppedRows() > 0) {
        text += QStringLiteral("; the latest %1 rows kept, %2 older dropped")
                    .arg(SiteMonitor::rowCap)
                    .arg(monitor_.droppedRows());
    }
    if (!note_.isEmpty()) {
        text += QStringLiteral("; ") + note_;
    }
    lblMonitor->setText(text);
}

void SiteMonitorPane::lost(const QString& message) {
    const bool wasOpen = open_ || tries_ > 0;
    open_ = false;
    state_ = QStringLiteral("Not watching: ") + message;
    if (wasOpen && connection_ && tries_ < reconnectTries) {
        // A watch that was open is tried again after 1, 2, 4 ... seconds; Stop watching ends it.
        const int waitMs = firstReconnectMs << tries_;
        ++tries_;
        state_ += QStringLiteral("; trying again in %1 s (try %2 of %3)")
                      .arg(waitMs / 1000)
                      .arg(tries_)
                      .arg(reconnectTries);
        reconnect_.start(waitMs);
        cmdWatch->setText(QStringLiteral("Stop &watching"));
    } else {
        if (tries_ >= reconnectTries) {
            state_ += QStringLiteral("; gave up after %1 tries").arg(reconnectTries);
        }
        tries_ = 0;
        cmdWatch->setText(QStringLiteral("&Watch"));
    }
    showStatus();
}

void SiteMonitorPane::toggleWatching() {
    if (monitor_.watching() || reconnect_.isActive()) {
        reconnect_.stop();
        tries_ = 0;
        if (monitor_.watching()) {
            monitor_.stop();
        } else {
            state_ = QStringLiteral("Not watching");
            cmdWatch->setText(QStringLiteral("&Watch"));
            showStatus();
        }
        return;
    }
    connection_ = BusConnection::load();
    if (!connection_) {
        sender_.chooseConnection(window(), [this] {
            if (BusConnection::load()) {
                toggleWatching();
            }
        });
        return;
    }
    tries_ = 0;
    startWatching();
}

void SiteMonitorPane::startWatching() {
    if (!connection_ || monitor_.watching()) {
        return;
    }
    if (!window()->isVisible()) {
        // The window was closed while a try was waiting: it watches nothing any more.
        tries_ = 0;
        state_ = QStringLiteral("Not watching");
        cmdWatch->setText(QStringLiteral("&Watch"));
        showStatus();
        return;
    }
    watched_ = connection_->text();
    state_ = QStringLiteral("Opening %1 \u2026").arg(watched_);
    note_.clear();
    showStatus();
    monitor_.start(connection_->target, connection_->settings);
}

void SiteMonitorPane::save() {
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save the monitor as JSON Lines"), QString(),
        QStringLiteral("JSON Lines (*.jsonl);;All files (*)"));
    if (path.isEmpty()) {
        return;
    }
    QString problem;
    // The watch goes on: what is watched stays said, and the save is told after it.
    note_ = monitor_.saveTo(path, &problem) ? QStringLiteral("saved to ") + path
                                            : QStringLiteral("not saved: ") + problem;
    showStatus();
}
