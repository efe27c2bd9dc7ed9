// Sending frames to motors: the one sender of the application, for the main window's menu and
// the site window alike (Session makes it). A window never waits on a port: the send runs from
// the event loop, and its end is shown when it comes. Every frame sent in the run is kept on
// record, in the order the frames were handed over, with the window that sent it: the send log.
// One send runs at a time, whichever window asked for it.
//
// A send is made of steps: each step's frames go out one after the other with the bus gap
// between them, and a step may wait a pause after the one before it (Identify: Jog Up, a
// pause, Jog Down). A send can be stopped at once; what had not gone out stays unsent.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>

#include "rvx/bus.h"
#include "rvx/made_frame.h"
#include "send/bus_connection.h"
#include "send/send_record.h"

class QLineEdit;
class QWidget;

// Frames that go out one after the other with the bus gap, after a pause.
struct SendStep {
    QList<rvx::MadeFrame> frames;
    std::chrono::milliseconds pauseBefore{0};  // after the end of the step before
    // The label of the motor of each frame, where the caller has one ("Hall"): the question
    // before a group moves names it.
    QStringList labels;
};

class MotorSender : public QObject {
    Q_OBJECT

public:
    // The frames go out on the application's connections: through a watch's connection where
    // one holds the target.
    explicit MotorSender(rvx::bus::Connections& connections, QObject* parent = nullptr);

    // Sends the frame that field shows, made as `made` says: a send of one step and one frame
    // from the field's window, whose question and dialogs end quietly if the field is gone
    // meanwhile.
    void send(QLineEdit* field, const rvx::MadeFrame& made);

    // Sends the steps in order, for window: where the dialogs and messages appear, and whose
    // send it is on record. Without a connection chosen yet, the Bus connection dialog
    // comes first; before frames for a group, the user is asked to go ahead (once for the
    // whole send). A frame made from a value the frames do not admit is never sent: a send
    // holding one is refused whole. Returns false when nothing was started or asked: a send
    // under way, no frames, or a refused frame. The progress and the end are signalled
    // (changed, finished, stopped) and kept on record; a failure is also shown in a message
    // box with the reason.
    bool sendSteps(const QList<SendStep>& steps, QWidget* window,
                   const QPointer<QObject>& owner = {});

    // Stops a send under way at once: the port is let go, bytes not yet on the line are
    // dropped, and every frame that had not left is recorded as stopped. Does nothing while
    // no frame is on its way (an open question is answered by its own buttons).
    void stop();
    // Stops the send of that window, if it is the one under way, and closes a question or a
    // dialog of this sender open over it: the window is going.
    void stopFor(const QWidget* window);

    // Opens the Bus connection dialog over window; once it is accepted, next runs (when given).
    void chooseConnection(QWidget* window, const std::function<void()>& next = {});

    // Whether a send is under way or its question open; no other starts until it ends.
    [[nodiscard]] bool busy() const;

    // Every frame of the run, the latest last.
    [[nodiscard]] const QList<SendRecord>& records() const { return records_; }

signals:
    // Record number row was added (its send started) or changed (it left, failed or stopped).
    void changed(const SendRecord& record, int row);
    // The whole send has gone out.
    void sent(const QString& where);
    void failed(const QString& message);
    // The send was stopped before its end.
    void stopped();
    // The user answered the question before a send, or the Bus connection dialog, with
    // Cancel: nothing was sent, and the sender is free again.
    void declined();
    // A connection was chosen in the Bus connection dialog, from any window, and saved.
    void connectionChosen();

private:
    void start(const BusConnection& connection, const QList<SendStep>& steps, QWidget* window);
    void runStep();
    void mark(int row, SendRecord::State state, const QString& detail = {});
    void endSend();

    rvx::bus::Sender sender_;
    QList<SendRecord> records_;
    bool asking_ = false;                      // a dialog or a question of this sender is open
    QPointer<QWidget> asked_;                  // that dialog or question
    QPointer<QWidget> window_;                 // the window whose send is under way
    std::optional<BusConnection> connection_;  // while a send is under way
    QList<SendStep> steps_;                    // the steps still to go, the current first
    int stepFirstRow_ = 0;                     // the record of the current step's first frame
    QTimer pause_;                             // the pause before the next step
};
