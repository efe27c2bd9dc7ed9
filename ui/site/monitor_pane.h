// The bus monitor pane of the site window: Watch, Pause, Clear and Save as JSON Lines above the
// monitor's table, a filter that keeps the rows of one motor (by address or label), and a line
// that says what is watched and how it went. A watch that was open and is lost (a bridge that
// drops the connection, an adapter pulled out) is opened again after a pause that grows each
// time, a few times at most, as the line says. A click on a row of a frame names its address:
// the window selects that motor in its list.
#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>
#include <optional>

#include "rvx/address.h"
#include "send/bus_connection.h"

class MotorSender;
class QLabel;
class QLineEdit;
class QPushButton;
class OneMotor;
class QTableView;
class SiteMonitor;

class SiteMonitorPane : public QWidget {
    Q_OBJECT

public:
    // The pauses before each new try, in seconds: 1, 2, 4, 8, 16.
    static constexpr int reconnectTries = 5;
    static constexpr int firstReconnectMs = 1000;

    // sender: asks for a connection where none was chosen yet.
    SiteMonitorPane(SiteMonitor& monitor, MotorSender& sender, QWidget* parent);

signals:
    // A row of a frame for this address was clicked.
    void addressChosen(const rvx::Address& address, std::optional<rvx::AddressKind> kind);

private:
    void toggleWatching();
    void startWatching();
    void save();
    void lost(const QString& message);
    // Shows the state of the watch, then a note (a save, the rows dropped).
    void showStatus();

    SiteMonitor& monitor_;
    MotorSender& sender_;
    OneMotor* shown_{};
    QString watched_;  // the connection opened or watched, as the user names it
    std::optional<BusConnection> connection_;  // the one watched
    QString state_;                            // "Watching ...", "Not watching: ..."
    QString note_;                             // "saved to ..."
    bool open_ = false;
    int tries_ = 0;  // tries to open again since the watch was lost
    QTimer reconnect_;
    QPushButton* cmdWatch{};
    QPushButton* cmdPause{};
    QPushButton* cmdClearMonitor{};
    QPushButton* cmdSaveMonitor{};
    QLineEdit* txtMonitorFilter{};
    QLabel* lblMonitor{};
    QTableView* tblMonitor{};
};
