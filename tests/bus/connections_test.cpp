// One connection per target for a program: a watch and sends of the same program on one
// pseudo-terminal or one bridge, sends taking turns, and the port let go once the last user is
// done.
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include "bus_support.h"
#include "rvx/bus.h"

using bus_test::Bridge;
using bus_test::fromHex;
using bus_test::PseudoTerminal;
using rvx::bus::Connections;
using rvx::bus::Delivery;
using rvx::bus::Error;
using rvx::bus::Received;
using rvx::bus::Sender;
using rvx::bus::Settings;
using rvx::bus::Target;
using rvx::bus::Watcher;

namespace {

rvx::Frame frameFor(rvx::CommandId command, std::uint8_t last) {
    return rvx::frameFor(rvx::commandOf(command), rvx::AddressKind::Single, {0x12, 0x34, last},
                         rvx::startValues())
        .value();
}

Target targetOf(const QString& text) {
    return rvx::bus::readTarget(text).target.value();
}

// Waits, bounded, until the send has finished or failed; the failure, if any.
std::optional<Error> outcomeOf(QSignalSpy& finished, QSignalSpy& failed) {
    if (!QTest::qWaitFor([&] { return finished.count() + failed.count() > 0; }, 15000)) {
        return Error{Error::Kind::Other, QStringLiteral("the send never ended"), 0};
    }
    if (failed.count() > 0) {
        return failed.at(0).at(0).value<Error>();
    }
    return std::nullopt;
}

QString messageOf(const std::optional<Error>& error) {
    return error ? error->message : QStringLiteral("(sent)");
}

// A watch of the target on the connections, open once this returns true.
bool startWatching(Watcher& watcher, const Target& target, const Settings& settings = {}) {
    QSignalSpy opened(&watcher, &Watcher::opened);
    return watcher.start(target, settings) && opened.wait(5000);
}

}  // namespace

class ConnectionsTest : public QObject {
    Q_OBJECT
    QElapsedTimer clock;

private slots:
    void initTestCase() { clock.start(); }

    // A serial port takes one user at a time; the program's watch and its sends are one: the
    // frames reach the line exactly, the watch hears of each once, and it goes on reading.
    void aSendGoesOutThroughTheWatchOfTheSamePort() {
        PseudoTerminal line(clock);
        Connections connections;
        Watcher watcher(connections);
        QSignalSpy received(&watcher, &Watcher::received);
        QSignalSpy sentFrames(&watcher, &Watcher::sent);
        QVERIFY(startWatching(watcher, targetOf(line.path())));
        QVERIFY(connections.holds(targetOf(line.path())));

        Sender sender(connections);
        QSignalSpy finished(&sender, &Sender::finished);
        QSignalSpy failed(&sender, &Sender::failed);
        const std::vector<rvx::Frame> frames{frameFor(rvx::CommandId::Up, 0x56),
                                             frameFor(rvx::CommandId::Stop, 0x57)};
        QVERIFY(sender.send(targetOf(line.path()), frames));
        QCOMPARE(messageOf(outcomeOf(finished, failed)), QStringLiteral("(sent)"));
        QCOMPARE(sender.delivery(), Delivery::OnTheLine);
        QTRY_COMPARE_WITH_TIMEOUT(line.arrived().bytes,
                                  bus_test::bytesOf(frames[0]) + bus_test::bytesOf(frames[1]),
                                  5000);
        QCOMPARE(sentFrames.count(), 2);
        QCOMPARE(sentFrames.at(0).at(0).value<Received>().bytes, bus_test::bytesOf(frames[0]));
        QCOMPARE(sentFrames.at(1).at(0).value<Received>().bytes, bus_test::bytesOf(frames[1]));
        QVERIFY(sentFrames.at(1).at(0).value<Received>().isFrame());

        // The watch still reads the line, and the port stays held until it ends.
        const QByteArray heard = fromHex("AB F1 FF FF FF FF 65 43 21 FE FF FF 09 5D");
        line.write(heard);
        QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, 5000);
        QCOMPARE(received.at(0).at(0).value<Received>().bytes, heard);
        QVERIFY(connections.holds(targetOf(line.path())));
        watcher.stop();
        QVERIFY(!connections.holds(targetOf(line.path())));
        // Free for anyone once the watch has ended: a sender of another program's kind.
        QCOMPARE(messageOf(rvx::bus::sendFrames(targetOf(line.path()), std::span(&frames[0], 1))),
                 QStringLiteral("(sent)"));
    }

    // Two sends to one port at once: the second writes only once the first has ended, with
    // the bus gap after its last frame; no frame of one runs into the other.
    void sendsToOnePortTakeTurns() {
        PseudoTerminal line(clock);
        Connections connections;
        Watcher watcher(connections);
        QVERIFY(startWatching(watcher, targetOf(line.path())));
        Sender first(connections);
        Sender second(connections);
        QSignalSpy firstDone(&first, &Sender::finished);
        QSignalSpy firstFailed(&first, &Sender::failed);
        QSignalSpy secondDone(&second, &Sender::finished);
        QSignalSpy secondFailed(&second, &Sender::failed);
        const std::vector<rvx::Frame> three{frameFor(rvx::CommandId::Up, 1),
                                            frameFor(rvx::CommandId::Up, 2),
                                            frameFor(rvx::CommandId::Up, 3)};
        const rvx::Frame other = frameFor(rvx::CommandId::Down, 9);
        QVERIFY(first.send(targetOf(line.path()), three));
        QVERIFY(second.send(targetOf(line.path()), std::span(&other, 1)));
        QCOMPARE(messageOf(outcomeOf(firstDone, firstFailed)), QStringLiteral("(sent)"));
        QCOMPARE(messageOf(outcomeOf(secondDone, secondFailed)), QStringLiteral("(sent)"));
        QByteArray expected;
        for (const rvx::Frame& frame : three) {
            expected += bus_test::bytesOf(frame);
        }
        expected += bus_test::bytesOf(other);
        QTRY_COMPARE_WITH_TIMEOUT(line.arrived().bytes, expected, 5000);
        const qint64 gap = Settings{}.gap.count();
        QCOMPARE_GE(line.arrived().timeOf(3 * 14) - line.arrived().timeOf(3 * 14 - 1), gap);
    }

    // A send given up (Stop sending) takes only its own bytes along; the watch goes on.
    void aSendStoppedLeavesTheWatchAsItWas() {
        PseudoTerminal line(clock);
        Connections connections;
        Watcher watcher(connections);
        QSignalSpy received(&watcher, &Watcher::received);
        QSignalSpy failed(&watcher, &Watcher::failed);
        QVERIFY(startWatching(watcher, targetOf(line.path())));
        Sender sender(connections);
        QSignalSpy sent(&sender, &Sender::frameSent);
        std::vector<rvx::Frame> many;
        for (std::uint8_t k = 0; k < 20; ++k) {
            many.push_back(frameFor(rvx::CommandId::Down, k));
        }
        QVERIFY(sender.send(targetOf(line.path()), many));
        QTRY_VERIFY_WITH_TIMEOUT(sent.count() >= 1, 5000);
        sender.cancel();
        const qsizetype atStop = line.arrived().bytes.size();
        QTest::qWait(300);
        QVERIFY(line.nothingSent());
        QVERIFY(line.arrived().bytes.size() <= atStop + 14);
        QVERIFY(watcher.watching());
        line.write(fromHex("00 11"));
        QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, 5000);
        QCOMPARE(failed.count(), 0);
    }

    // A frame must go out at the line it was meant for: a port held at another baud rate is
    // not used for it.
    void aSendAtAnotherLineThanTheWatchIsRefused() {
        PseudoTerminal line(clock);
        Connections connections;
        Watcher watcher(connections);
        QVERIFY(startWatching(watcher, targetOf(line.path())));
        Sender sender(connections);
        QSignalSpy finished(&sender, &Sender::finished);
        QSignalSpy failed(&sender, &Sender::failed);
        Settings faster;
        faster.baudRate = 9600;
        const rvx::Frame up = frameFor(rvx::CommandId::Up, 0x56);
        QVERIFY(sender.send(targetOf(line.path()), std::span(&up, 1), faster));
        QCOMPARE(messageOf(outcomeOf(finished, failed)),
                 line.path() + QStringLiteral(": this program has it open at 4800 8O1 for "
                                              "watching; stop watching to use 9600 8O1"));
        QTest::qWait(100);
        QVERIFY(line.nothingSent());
        QVERIFY(watcher.watching());
    }

    // A bridge serving one connection at a time sees one: the watch's, which carries the send.
    void aBridgeIsWatchedAndSentToOnOneConnection() {
        Bridge bridge(clock);
        Connections connections;
        Watcher watcher(connections);
        QSignalSpy sentFrames(&watcher, &Watcher::sent);
        QVERIFY(startWatching(watcher, targetOf(bridge.target())));
        Sender sender(connections);
        QSignalSpy finished(&sender, &Sender::finished);
        QSignalSpy failed(&sender, &Sender::failed);
        const rvx::Frame up = frameFor(rvx::CommandId::Up, 0x56);
        QVERIFY(sender.send(targetOf(bridge.target()), std::span(&up, 1)));
        QCOMPARE(messageOf(outcomeOf(finished, failed)), QStringLiteral("(sent)"));
        // No confirmation is asked of a connection that the watch keeps open.
        QCOMPARE(sender.delivery(), Delivery::HandedToBridge);
        QTRY_COMPARE_WITH_TIMEOUT(bridge.arrived().bytes, bus_test::bytesOf(up), 5000);
        QCOMPARE(bridge.connections().size(), 1);
        QCOMPARE(sentFrames.count(), 1);
        QVERIFY(watcher.watching());
    }

    // The windows watch on the connection their sends share. A user who may only read the
    // port (a log reader often may) watches it all the same, and a send through it says why
    // it cannot go; a port that may be written takes the send. The watch runs as user nobody
    // when the test runs as root (root may open any port), the port owned by nobody.
    void aPortThatMayOnlyBeReadIsWatchedAndRefusesSends_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<bool>("sent");
        QTest::newRow("a port its user may only read")
            << 0400
            << QStringLiteral(
                   ": no permission to open the port; you own it, but its mode (0400) does not "
                   "let its owner read and write it; chmod u+rw on it would; it may only be "
                   "read, and is watched read-only: stop watching and watch again once it may "
                   "be written\nstill watching")
            << false;
        QTest::newRow("a port its user may read and write")
            << 0600 << QStringLiteral("sent") << true;
    }
    void aPortThatMayOnlyBeReadIsWatchedAndRefusesSends() {
        QFETCH(int, mode);
        QFETCH(QString, outcome);
        QFETCH(bool, sent);
        PseudoTerminal line(clock);
        const QByteArray path = line.path().toLocal8Bit();
        QProcess probe;
        if (::geteuid() == 0) {
            constexpr uid_t nobody = 65534;
            const ::group* entry = ::getgrnam("nogroup");
            QVERIFY(entry != nullptr);
            QCOMPARE(::chown(path.constData(), nobody, entry->gr_gid), 0);
            probe.setChildProcessModifier([] {
                if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 ||
                    ::setuid(nobody) != 0) {
                    ::_exit(125);
                }
            });
        }
        QCOMPARE(::chmod(path.constData(), static_cast<mode_t>(mode)), 0);
        probe.start(QStringLiteral(RVX_WATCH_PROBE), {line.path()});
        QVERIFY(probe.waitForStarted(5000));
        QString said;
        const auto hears = [&](const QString& text) {
            return QTest::qWaitFor(
                       [&] {
                           said += QString::fromUtf8(probe.readAllStandardOutput());
                           return said.contains(text) || probe.state() == QProcess::NotRunning;
                       },
                       15000) &&
                   said.contains(text);
        };
        QVERIFY2(hears(QStringLiteral("watching\n")), qPrintable(said));
        const QByteArray stop = fromHex("AB F1 FF FF FF FF 12 34 56 FC FF FF 09 2E");
        line.write(stop);
        QVERIFY2(hears(QStringLiteral("received AB F1 FF FF FF FF 12 34 56 FC FF FF 09 2E\n")),
                 qPrintable(said));
        QVERIFY(probe.state() == QProcess::NotRunning || probe.waitForFinished(15000));
        said += QString::fromUtf8(probe.readAllStandardOutput());
        QCOMPARE(said.section(QLatin1Char('\n'), 2).trimmed(),
                 sent ? outcome : line.path() + outcome);
        QCOMPARE(probe.exitCode(), sent ? 0 : 1);
        if (sent) {
            QTRY_COMPARE_WITH_TIMEOUT(line.arrived().bytes,
                                      fromHex("AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30"), 5000);
        } else {
            QVERIFY(line.nothingSent());
        }
    }
};

QTEST_MAIN(ConnectionsTest)
#include "connections_test.moc"
