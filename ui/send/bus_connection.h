// Where the window sends a frame: a serial port or a TCP serial bridge, and the line settings.
// Chosen in the Bus connection dialog and remembered between runs.
#pragma once

#include <QDialog>
#include <optional>

#include "rvx/bus.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;

struct BusConnection {
    rvx::bus::Target target;
    rvx::bus::Settings settings;

    // The connection remembered from an earlier run; nullopt before one was ever chosen.
    [[nodiscard]] static std::optional<BusConnection> load();
    void save() const;
    // "/dev/ttyUSB0 at 4800 8O1", "tcp://10.0.0.5:4001 at 4800 8O1".
    [[nodiscard]] QString text() const;
    // The line settings alone: "4800 8O1".
    [[nodiscard]] QString lineText() const;
};

// Chooses the connection: one of the serial ports found (or any device path typed in), or a
// bridge's host and port; the baud rate and the parity. OK is taken only for a connection that
// can be used; what is wrong is said in the dialog. Without an earlier choice, a USB serial
// adapter (a port with a /dev/serial/by-id link) is offered, by its link; no other port is
// picked for the user, since a built-in port is seldom the bus.
class BusConnectionDialog : public QDialog {
    Q_OBJECT

public:
    explicit BusConnectionDialog(const std::optional<BusConnection>& current,
                                 QWidget* parent = nullptr);

    // The connection as the fields give it, or why not.
    [[nodiscard]] std::optional<BusConnection> connection(QString* problem = nullptr) const;

    // Asks where a platform's file sends the frames instead of where this program sends
    // them: titled for the file, and what is chosen is not remembered as the connection.
    // serialOnlyWhy, when given, is why the platform reaches a serial port only: the bridge
    // cannot be chosen then.
    void askForExport(const QString& fileName, const QString& serialOnlyWhy = {});

    void accept() override;

private:
    void fillPorts(const QString& keep);
    // The device path the port field gives: an entry's port, or the text typed.
    [[nodiscard]] QString portPath() const;
    void showKind();

    QGroupBox* grpWhere{};
    QRadioButton* optSerial{};
    QRadioButton* optBridge{};
    QComboBox* cboPort{};
    QLineEdit* txtHost{};
    QSpinBox* spnPort{};
    QComboBox* cboBaud{};
    QComboBox* cboParity{};
    QLabel* lblLine{};
    QLabel* lblProblem{};
    bool remember_ = true;
};
