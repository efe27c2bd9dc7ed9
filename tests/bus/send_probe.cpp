// Sends Up for motor 123456 to the target given and prints what went wrong, for tests that
// need the send to run as another user. Exit status 0 when sent, 1 on a failure, 2 for a bad
// target.
#include <QCoreApplication>
#include <cstdio>

#include "rvx/bus.h"
#include "rvx/catalogue.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const auto reading = rvx::bus::readTarget(app.arguments().value(1));
    if (!reading.target) {
        std::printf("%s\n", qPrintable(reading.problem));
        return 2;
    }
    const auto up = rvx::frameFor(rvx::commandOf(rvx::CommandId::Up), rvx::AddressKind::Single,
                                  {0x12, 0x34, 0x56}, rvx::startValues());
    const auto error = rvx::bus::sendFrames(*reading.target, std::span(&*up, 1));
    if (error) {
        std::printf("%s\n", qPrintable(error->message));
        return 1;
    }
    return 0;
}
