// What the windows of one run share: the program's connections to the bus, one per port or
// bridge (a watch of the site window and every send use the same one), and the one sender of
// frames with its record of every send of the run, which "Sent frames..." shows. Made once
// when the program starts (main.cpp) and handed to the windows.
#pragma once

#include <QObject>

#include "rvx/bus.h"

class MotorSender;

class Session : public QObject {
    Q_OBJECT

public:
    Session();
    ~Session() override;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    [[nodiscard]] rvx::bus::Connections& connections() { return connections_; }
    [[nodiscard]] MotorSender& sender() const { return *sender_; }

private:
    rvx::bus::Connections connections_;
    MotorSender* sender_;  // a child
};
