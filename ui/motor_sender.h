// Sending the frame of a string field to the motor, for the main window's menu. The window never
// waits on a port: the send runs from the event loop, and its end is shown when it comes.
// Every send of the run is kept on record, in the order the sends started.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>

#include "bus_connection.h"
#include "rvx/bus.h"
#include "rvx/made_frame.h"
#include "send_record.h"

class QLineEdit;
class QWidget;

class MotorSender : public QObject {
    Q_OBJECT

public:
    // window: where the dialogs and messages appear.
    explicit MotorSender(QWidget* window);

    // Sends the frame that field shows, made as `made` says. Without a connection chosen yet,
    // the Bus connection dialog comes first; before a frame for a group, the user is asked to
    // go ahead. A frame made from a value the frames do not admit is never sent. The progress
    // and the end are signalled (changed) and kept on record; a failure is also shown in a
    // message box with the reason.
    void send(QLineEdit* field, const rvx::MadeFrame& made);

    // Opens the Bus connection dialog; once it is accepted, next runs (when given).
    void chooseConnection(const std::function<void()>& next = {});

    // Whether a send is under way; no other starts until it ends.
    [[nodiscard]] bool busy() const;

    // Every send of the run, the latest last.
    [[nodiscard]] const QList<SendRecord>& records() const { return records_; }

signals:
    // A record was added (a send started) or the latest one changed (it ended).
    void changed(const SendRecord& record);
    void sent(const QString& where);
    void failed(const QString& message);

private:
    void start(const BusConnection& connection, const rvx::MadeFrame& made);
    void end(SendRecord::State state, const QString& detail = {});

    QWidget* window_;
    rvx::bus::Sender sender_;
    QList<SendRecord> records_;
    bool asking_ = false;  // a dialog or a question of this sender is open
};
