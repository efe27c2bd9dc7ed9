#include "session.h"

#include "send/motor_sender.h"

Session::Session() : sender_(new MotorSender(connections_, this)) {}

Session::~Session() {
    // The sender's sends end before the connections they use.
    delete sender_;
}
