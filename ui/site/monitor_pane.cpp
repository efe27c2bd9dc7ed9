#include "site/monitor_pane.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "controls.h"
#include "send/bus_connection.h"
#include "send/motor_sender.h"
#include "site/site_monitor.h"

SiteMonitorPane::SiteMonitorPane(SiteMonitor& monitor, MotorSender& sender, QWidget* parent)
    : QWidget(parent), monitor_(monitor), sender_(sender) {
    cmdWatch = new QPushButton(QStringLiteral("&Watch"), this);
    cmdWatch->setObjectName(QStringLiteral("cmdWatch"));
    connect(cmdWatch, &QPushButton::clicked, this, &SiteMonitorPane::toggleWatching);
    cmdPause = new QPushButton(QStringLiteral("&Pause"), this);
    cmdPause->setObjectName(QStringLiteral("cmdPause"));
    cmdPause->setCheckable(true);
    connect(cmdPause, &QPushButton::toggled, &monitor_, &SiteMonitor::setPaused);
    cmdClearMonitor = new QPushButton(QStringLiteral("C&lear"), this);
    cmdClearMonitor->setObjectName(QStringLiteral("cmdClearMonitor"));
    connect(cmdClearMonitor, &QPushButton::clicked, &monitor_, &SiteMonitor::clear);
    cmdSaveMonitor = new QPushButton(QStringLiteral("Save as &JSON Lines\u2026"), this);
    cmdSaveMonitor->setObjectName(QStringLiteral("cmdSaveMonitor"));
    connect(cmdSaveMonitor, &QPushButton::clicked, this, &SiteMonitorPane::save);
    lblMonitor = new ui::Label(QStringLiteral("Not watching"), this);
    lblMonitor->setObjectName(QStringLiteral("lblMonitor"));
    lblMonitor->setTextFormat(Qt::PlainText);
    ui::speakAs(lblMonitor, ui::Spoken::StatusLine);
    tblMonitor = new QTableView(this);
    tblMonitor->setObjectName(QStringLiteral("tblMonitor"));
    tblMonitor->setModel(&monitor_);
    tblMonitor->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblMonitor->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblMonitor->horizontalHeader()->setStretchLastSection(true);
    tblMonitor->verticalHeader()->hide();

    auto* bar = new QHBoxLayout;
    bar->addWidget(cmdWatch);
    bar->addWidget(cmdPause);
    bar->addWidget(cmdClearMonitor);
    bar->addWidget(cmdSaveMonitor);
    bar->addWidget(lblMonitor, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(tblMonitor, 1);

    connect(&monitor_, &SiteMonitor::opened, this, [this] {
        lblMonitor->setText(QStringLiteral("Watching %1").arg(watched_));
        cmdWatch->setText(QStringLiteral("Stop &watching"));
    });
    connect(&monitor_, &SiteMonitor::failed, this, [this](const QString& message) {
        lblMonitor->setText(QStringLiteral("Not watching: ") + message);
        cmdWatch->setText(QStringLiteral("&Watch"));
    });
    connect(&monitor_, &SiteMonitor::stopped, this, [this] {
        lblMonitor->setText(QStringLiteral("Not watching"));
        cmdWatch->setText(QStringLiteral("&Watch"));
    });
    connect(&monitor_, &SiteMonitor::rowAdded, tblMonitor, &QTableView::scrollToBottom);
}

void SiteMonitorPane::toggleWatching() {
    if (monitor_.watching()) {
        monitor_.stop();
        return;
    }
    const auto connection = BusConnection::load();
    if (!connection) {
        sender_.chooseConnection(window(), [this] {
            if (BusConnection::load()) {
                toggleWatching();
            }
        });
        return;
    }
    watched_ = connection->text();
    lblMonitor->setText(QStringLiteral("Opening %1 \u2026").arg(watched_));
    monitor_.start(connection->target, connection->settings);
}

void SiteMonitorPane::save() {
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save the monitor as JSON Lines"), QString(),
        QStringLiteral("JSON Lines (*.jsonl);;All files (*)"));
    if (path.isEmpty()) {
        return;
    }
    QString problem;
    if (!monitor_.saveTo(path, &problem)) {
        lblMonitor->setText(QStringLiteral("Not saved: ") + problem);
        return;
    }
    lblMonitor->setText(QStringLiteral("Saved to ") + path);
}
