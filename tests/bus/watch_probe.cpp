// Watches the target given on the program's shared connections, as the windows do, and once a
// frame has arrived sends Up for motor 123456 through the same connection; for tests that
// need this to run in a process of its own, as another user. Prints a line for each step:
// "watching", "received" and the frame's bytes, then "sent" or what went wrong with the send.
// Exit status 0 when sent, 1 when the send failed, 3 when the watch failed, 4 when nothing
// came within 15 s.
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

#include "rvx/bus.h"
#include "rvx/catalogue.h"

namespace {

void say(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const auto reading = rvx::bus::readTarget(app.arguments().value(1));
    if (!reading.target) {
        say(reading.problem);
        return 2;
    }
    rvx::bus::Connections connections;
    rvx::bus::Watcher watcher(connections);
    rvx::bus::Sender sender(connections);
    const auto up = rvx::frameFor(rvx::commandOf(rvx::CommandId::Up), rvx::AddressKind::Single,
                                  {0x12, 0x34, 0x56}, rvx::startValues());
    QObject::connect(&watcher, &rvx::bus::Watcher::opened, [] { say(QStringLiteral("watching")); });
    QObject::connect(&watcher, &rvx::bus::Watcher::received, [&](const rvx::bus::Received& run) {
        if (!run.isFrame() || sender.busy()) {
            return;
        }
        say(QStringLiteral("received ") + QString::fromLatin1(run.bytes.toHex(' ').toUpper()));
        sender.send(*reading.target, std::span(&*up, 1));
    });
    QObject::connect(&watcher, &rvx::bus::Watcher::failed, [](const rvx::bus::Error& error) {
        say(error.message);
        QCoreApplication::exit(3);
    });
    QObject::connect(&sender, &rvx::bus::Sender::finished, [] {
        say(QStringLiteral("sent"));
        QCoreApplication::exit(0);
    });
    QObject::connect(&sender, &rvx::bus::Sender::failed, [&](const rvx::bus::Error& error) {
        say(error.message);
        // The watch goes on after a refused send.
        say(watcher.watching() ? QStringLiteral("still watching") : QStringLiteral("not watching"));
        QCoreApplication::exit(1);
    });
    QTimer::singleShot(15000, [] { QCoreApplication::exit(4); });
    watcher.start(*reading.target);
    return QCoreApplication::exec();
}
