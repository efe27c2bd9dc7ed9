// Sending the frame of a string field to the motor, for the main window's menu. The window never
// waits on a port: the send runs from the event loop, and its end is shown when it comes.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "bus_connection.h"
#include "rvx/bus.h"
#include "rvx/frame.h"

class QLineEdit;
class QWidget;

class MotorSender : public QObject {
    Q_OBJECT

public:
    // window: where the dialogs and messages appear.
    explicit MotorSender(QWidget* window);

    // Sends the frame that field shows. Without a connection chosen yet, the Bus connection
    // dialog comes first; before a frame for a group, the user is asked to go ahead. Success is
    // shown briefly beside the field, a failure in a message box with the reason.
    void send(QLineEdit* field, const rvx::Frame& frame);

    // Opens the Bus connection dialog; once it is accepted, next runs (when given).
    void chooseConnection(const std::function<void()>& next = {});

    // Whether a send is under way; no other starts until it ends.
    [[nodiscard]] bool busy() const;

signals:
    void sent(const QString& where);
    void failed(const QString& message);

private:
    void start(const BusConnection& connection, const rvx::Frame& frame);

    QWidget* window_;
    rvx::bus::Sender sender_;
    QPointer<QLineEdit> field_;  // the field whose frame is under way
    QString where_;
    bool asking_ = false;  // a dialog or a question of this sender is open
};
