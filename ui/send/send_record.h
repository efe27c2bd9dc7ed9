// One send of the window: which frame went where, and how it ended. The wording of every
// message about a send is made here, in sendText, so that it can be changed in one place.
#pragma once

#include <QDateTime>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "rvx/made_frame.h"

struct SendRecord {
    enum class State : std::uint8_t {
        Sending,         // under way
        Sent,            // every byte has left on a serial line
        TakenByBridge,   // the bridge read every byte and closed the connection after them
        HandedToBridge,  // the system sent the bytes to the bridge; nothing says it took them
        Failed,          // not sent; detail says why
        Stopped,         // not sent: the user stopped the send before this frame went out
    };

    QDateTime time;       // when the send started
    QString target;       // "/dev/ttyUSB0", "tcp://10.0.0.5:4001"
    QString line;         // "4800 8O1"
    bool bridge = false;  // the target is a TCP serial bridge
    rvx::MadeFrame made;  // the frame and its origin
    State state = State::Sending;
    QString detail;            // Failed: the reason, one line that starts with the target
    qint64 waitMs = 5000;      // the longest wait for the bridge or the port to take the bytes
    QPointer<QWidget> window;  // the window that sent it, while it is open

    // "Up", "Go to %"
    [[nodiscard]] QString command() const;
    // "motor 123456", "group 0A0B0C"
    [[nodiscard]] QString addressed() const;
    // The frame as the window shows it: "AB F1 FF ...".
    [[nodiscard]] QString frameText() const;
    // The result in a few words: "sent", "taken by the bridge, delivery to its line not
    // reported", "handed to the bridge", "not sent: ...", "sending", "stopped, not sent".
    // Over a bridge nothing says that the frame reached the line.
    [[nodiscard]] QString result() const;
    // The record as one line of JSON, in the keys rvx-strings --monitor --format json uses for
    // the same facts (time, command, address, kind, frame) and target, result and sent.
    [[nodiscard]] QByteArray jsonLine() const;
};

// What the window says about a send in its status line, in every state:
//   "Sending Up to motor 123456 on /dev/ttyUSB0, 4800 8O1 ..."
//   "Up to motor 123456 sent on /dev/ttyUSB0, 4800 8O1"
//   "Up to motor 123456 taken by the bridge at tcp://host:4001; the bridge does not report
//    delivery to its line, whose settings are its own"
//   "Up to motor 123456 handed to the bridge at tcp://host:4001; the bridge does not confirm
//    delivery; line settings are the bridge's"
//   "Up to motor 123456 not sent: /dev/ttyUSB0: no such port"
[[nodiscard]] QString sendText(const SendRecord& record);
