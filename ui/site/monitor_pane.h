// The bus monitor pane of the site window: Watch, Pause, Clear and Save as JSON Lines above the
// monitor's table, and a line that says what is watched and how it went.
#pragma once

#include <QString>
#include <QWidget>

class MotorSender;
class QLabel;
class QPushButton;
class QTableView;
class SiteMonitor;

class SiteMonitorPane : public QWidget {
    Q_OBJECT

public:
    // sender: asks for a connection where none was chosen yet.
    SiteMonitorPane(SiteMonitor& monitor, MotorSender& sender, QWidget* parent);

private:
    void toggleWatching();
    void save();

    SiteMonitor& monitor_;
    MotorSender& sender_;
    QString watched_;  // the connection opened or watched, as the user names it
    QPushButton* cmdWatch{};
    QPushButton* cmdPause{};
    QPushButton* cmdClearMonitor{};
    QPushButton* cmdSaveMonitor{};
    QLabel* lblMonitor{};
    QTableView* tblMonitor{};
};
