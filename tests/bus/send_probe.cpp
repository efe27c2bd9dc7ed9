// Sends Up for motor 123456 to the target given and prints what went wrong, for tests that
// need the send to run in a process of its own: as another user, or with a host name lookup
// that never answers (--lookup-never-answers, and a timeout of 1 s), to see the process end.
// Exit status 0 when sent, 1 on a failure, 2 for a bad target.
#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <thread>

#include "rvx/bus.h"
#include "rvx/catalogue.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const auto reading = rvx::bus::readTarget(app.arguments().value(1));
    if (!reading.target) {
        std::printf("%s\n", qPrintable(reading.problem));
        return 2;
    }
    rvx::bus::Settings settings;
    if (app.arguments().value(2) == QStringLiteral("--lookup-never-answers")) {
        rvx::bus::setHostLookup([](const QString&) {
            for (;;) {
                std::this_thread::sleep_for(std::chrono::hours(1));
            }
            return QList<QHostAddress>{};
        });
        settings.timeout = std::chrono::seconds(1);
    }
    const auto up = rvx::frameFor(rvx::commandOf(rvx::CommandId::Up), rvx::AddressKind::Single,
                                  {0x12, 0x34, 0x56}, rvx::startValues());
    const auto error = rvx::bus::sendFrames(*reading.target, std::span(&*up, 1), settings);
    if (error) {
        std::printf("%s\n", qPrintable(error->message));
        return 1;
    }
    return 0;
}
