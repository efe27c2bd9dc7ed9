// Sending frames onto a real serial line (a pseudo-terminal) and to a real TCP bridge.
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>
#include <csignal>

#include "bus_support.h"
#include "rvx/bus.h"
#include "rvx/catalogue.h"
#include "rvx/frame.h"

using bus_test::Bridge;
using bus_test::BrokenBridge;
using bus_test::bytesOf;
using bus_test::fromHex;
using bus_test::Holder;
using bus_test::PseudoTerminal;
using rvx::bus::Error;
using rvx::bus::Sender;
using rvx::bus::Settings;
using rvx::bus::Target;

Q_DECLARE_METATYPE(rvx::bus::Parity)
Q_DECLARE_METATYPE(BrokenBridge::Fault)

namespace {

rvx::Frame frameOf(rvx::CommandId command, rvx::AddressKind kind = rvx::AddressKind::Single) {
    return rvx::frameFor(rvx::commandOf(command), kind, {0x12, 0x34, 0x56}, rvx::startValues())
        .value();
}

const QByteArray up123456 = fromHex("AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30");
const QByteArray down123456 = fromHex("AB F1 FF FF FF FF 12 34 56 FD FF FF 09 2F");

Target targetOf(const QString& text) {
    const auto reading = rvx::bus::readTarget(text);
    if (!reading.target) {
        qFatal("bad target in a test: %s", qPrintable(reading.problem));
    }
    return *reading.target;
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

}  // namespace

class SendTest : public QObject {
    Q_OBJECT
    QElapsedTimer clock;

private slots:
    void initTestCase() { clock.start(); }

    void upForMotor123456ReachesTheLineAt4800Odd() {
        PseudoTerminal line(clock);
        Sender sender;
        QSignalSpy opened(&sender, &Sender::opened);
        QSignalSpy sent(&sender, &Sender::frameSent);
        QSignalSpy finished(&sender, &Sender::finished);
        QSignalSpy failed(&sender, &Sender::failed);
        // The settings the library asked of the open port, and what the kernel keeps.
        std::optional<rvx::bus::Line> asked;
        termios kept{};
        connect(&sender, &Sender::opened, this, [&] {
            asked = sender.line();
            kept = line.settings();
        });

        const rvx::Frame up = frameOf(rvx::CommandId::Up);
        QVERIFY(sender.send(targetOf(line.path()), std::span(&up, 1)));
        QVERIFY(sender.busy());
        QVERIFY(!sender.send(targetOf(line.path()), std::span(&up, 1)));  // one at a time
        QCOMPARE(opened.count(), 0);  // signals come from the event loop, not from send

        QCOMPARE(outcomeOf(finished, failed).has_value(), false);
        QVERIFY(!sender.busy());
        QCOMPARE(opened.count(), 1);
        QCOMPARE(sent.count(), 1);
        QCOMPARE(sent.at(0).at(0).toInt(), 0);
        QCOMPARE(line.arrived().bytes, up123456);

        QVERIFY(asked.has_value());
        QCOMPARE(asked->baudRate, 4800);
        QCOMPARE(asked->dataBits, 8);
        QCOMPARE(asked->parity, rvx::bus::Parity::Odd);
        QCOMPARE(asked->stopBits, 1.0);
        QCOMPARE(asked->flowControl, false);
        QCOMPARE(rvx::bus::lineText(*asked), QStringLiteral("4800 8O1"));
        QCOMPARE(cfgetospeed(&kept), speed_t{B4800});
        QCOMPARE(kept.c_cflag & CSIZE, tcflag_t{CS8});
        QCOMPARE(kept.c_cflag & (CRTSCTS | CSTOPB), tcflag_t{0});
    }

    void theBlockingSendWaitsUntilTheFrameHasLeft() {
        PseudoTerminal line(clock);
        const rvx::Frame up = frameOf(rvx::CommandId::Up);
        const qint64 start = clock.elapsed();
        QCOMPARE(rvx::bus::sendFrames(targetOf(line.path()), std::span(&up, 1)).has_value(), false);
        // 14 bytes of 11 bits at 4800 baud are on the line for 33 ms.
        QCOMPARE_GE(clock.elapsed() - start, 33);
        QTRY_COMPARE_WITH_TIMEOUT(line.arrived().bytes, up123456, 5000);
    }

    void framesKeepTheGapBetweenThem_data() {
        QTest::addColumn<int>("gap");
        QTest::newRow("the default gap of 50 ms") << 50;
        QTest::newRow("a longer gap of 150 ms") << 150;
    }
    void framesKeepTheGapBetweenThem() {
        QFETCH(int, gap);
        PseudoTerminal line(clock);
        Settings settings;
        settings.gap = std::chrono::milliseconds(gap);
        const std::vector<rvx::Frame> frames{frameOf(rvx::CommandId::Up),
                                             frameOf(rvx::CommandId::Down)};
        const qint64 start = clock.elapsed();
        QCOMPARE(rvx::bus::sendFrames(targetOf(line.path()), frames, settings).has_value(), false);
        QCOMPARE_GE(clock.elapsed() - start, 2 * 33 + gap);
        QTRY_COMPARE_WITH_TIMEOUT(line.arrived().bytes, up123456 + down123456, 5000);
        const auto& arrived = line.arrived();
        QCOMPARE_GE(arrived.timeOf(14) - arrived.timeOf(13), gap);
    }

    void twoSendsOfOneSenderKeepTheGap() {
        PseudoTerminal line(clock);
        Sender sender;
        QSignalSpy finished(&sender, &Sender::finished);
        QSignalSpy failed(&sender, &Sender::failed);
        const rvx::Frame up = frameOf(rvx::CommandId::Up);
        const rvx::Frame down = frameOf(rvx::CommandId::Down);
        QVERIFY(sender.send(targetOf(line.path()), std::span(&up, 1)));
        QCOMPARE(outcomeOf(finished, failed).has_value(), false);
        QVERIFY(sender.send(targetOf(line.path()), std::span(&down, 1)));
        finished.clear();
        QCOMPARE(outcomeOf(finished, failed).has_value(), false);
        QTRY_COMPARE_WITH_TIMEOUT(line.arrived().bytes, up123456 + down123456, 5000);
        QCOMPARE_GE(line.arrived().timeOf(14) - line.arrived().timeOf(13), 50);
    }

    void baudRateAndParityCanBeChanged() {
        PseudoTerminal line(clock);
        Sender sender;
        QSignalSpy finished(&sender, &Sender::finished);
        QSignalSpy failed(&sender, &Sender::failed);
        std::optional<rvx::bus::Line> asked;
        speed_t kept = 0;
        connect(&sender, &Sender::opened, this, [&] {
            asked = sender.line();
            const termios t = line.settings();
            kept = cfgetospeed(&t);
        });
        Settings settings;
        settings.baudRate = 9600;
        settings.parity = rvx::bus::Parity::None;
        const rvx::Frame up = frameOf(rvx::CommandId::Up);
        QVERIFY(sender.send(targetOf(line.path()), std::span(&up, 1), settings));
        const auto error = outcomeOf(finished, failed);
        QVERIFY2(!error, qPrintable(error ? error->message : QString()));
        QVERIFY(asked.has_value());
        QCOMPARE(rvx::bus::lineText(*asked), QStringLiteral("9600 8N1"));
        QCOMPARE(kept, speed_t{B9600});
        QCOMPARE(line.arrived().bytes, up123456);
    }

    // A pseudo-terminal refuses even parity outright (it keeps no parity bit at all), as an
    // adapter refuses a line it cannot make.
    void aLineThePortRefusesIsReported_data() {
        QTest::addColumn<int>("baud");
        QTest::addColumn<rvx::bus::Parity>("parity");
        QTest::addColumn<QString>("message");
        QTest::newRow("a negative baud rate")
            << -4800 << rvx::bus::Parity::Odd
            << ": the port does not take -4800 baud with odd parity (Invalid baud rate value)";
        QTest::newRow("even parity on a pseudo-terminal")
            << 4800 << rvx::bus::Parity::Even
            << ": the port does not take 4800 baud with even parity (Invalid argument)";
    }
    void aLineThePortRefusesIsReported() {
        QFETCH(int, baud);
        QFETCH(rvx::bus::Parity, parity);
        QFETCH(QString, message);
        PseudoTerminal line(clock);
        Settings settings;
        settings.baudRate = baud;
        settings.parity = parity;
        const rvx::Frame up = frameOf(rvx::CommandId::Up);
        const auto error = rvx::bus::sendFrames(targetOf(line.path()), std::span(&up, 1), settings);
        QVERIFY(error.has_value());
        QCOMPARE(error->kind, Error::Kind::LineRefused);
        QCOMPARE(error->message, line.path() + message);
        QVERIFY(line.nothingSent());
    }

    // A run ended by a signal, or any program, may leave a pseudo-terminal at odd parity: it
    // is used all the same, for sending and for watching, and left as it was found.
    void aLineLeftAtOddParityIsUsedAndSetBack() {
        PseudoTerminal line(clock);
        line.leaveAtOddParity();
        const tcflag_t found = line.settings().c_cflag;
        QVERIFY((found & PARODD) != 0);
        const rvx::Frame up = frameOf(rvx::CommandId::Up);
        const auto error = rvx::bus::sendFrames(targetOf(line.path()), std::span(&up, 1));
        QVERIFY2(!error, qPrintable(error ? error->message : QString()));
        QTRY_COMPARE_WITH_TIMEOUT(line.arrived().bytes, up123456, 5000);
        QCOMPARE(line.settings().c_cflag, found);

        rvx::bus::Watcher watcher;
        QSignalSpy opened(&watcher, &rvx::bus::Watcher::opened);
        QSignalSpy failed(&watcher, &rvx::bus::Watcher::failed);
        QVERIFY(watcher.start(targetOf(line.path())));
        QVERIFY(QTest::qWaitFor([&] { return opened.count() + failed.count() > 0; }, 5000));
        QCOMPARE(failed.count(), 0);
        QCOMPARE(watcher.line().value().parity, rvx::bus::Parity::Odd);
        watcher.stop();
        QCOMPARE(line.settings().c_cflag, found);
    }

    // A path longer than a lock file's name may be (here 310 characters) names the same
    // port: it is locked and used under the port's own name.
    void aLongPathToThePortIsUsed() {
        PseudoTerminal line(clock);
        const QString path =
            QStringLiteral("/dev/") + QStringLiteral("./").repeated(150) + line.path().mid(5);
        QCOMPARE_GT(path.size(), 300);
        const rvx::Frame up = frameOf(rvx::CommandId::Up);
        const auto error = rvx::bus::sendFrames(targetOf(path), std::span(&up, 1));
        QVERIFY2(!error, qPrintable(error ? error->message : QString()));
        QTRY_COMPARE_WITH_TIMEOUT(line.arrived().bytes, up123456, 5000);
    }

    void aPortThatDoesNotExistIsReported_data() {
        QTest::addColumn<QString>("device");
        QTest::newRow("a tty path") << QStringLiteral("/dev/ttyRVX-none");
        QTest::newRow("a by-id link") << QStringLiteral("/dev/serial/by-id/usb-RVX-none-port0");
        QTest::newRow("a bare port name") << QStringLiteral("ttyRVX-none");
    }
    void aPortThatDoesNotExistIsReported() {
        QFETCH(QString, device);
        const rvx::Frame up = frameOf(rvx::CommandId::Up);
        const auto error = rvx::bus::sendFrames(targetOf(device), std::span(&up, 1));
        QVERIFY(error.has_value());
        QCOMPARE(error->kind, Error::Kind::NoSuchPort);
        QCOMPARE(error->message, device + QStringLiteral(": no such serial port"));
        QCOMPARE(error->framesSent, 0);
    }

    // A name that exists but is something else, or that the system cannot take at all, says
    // so; nothing is written to a file of that name, nor made.
    void aNameThatIsNoPortSaysWhatItIs_data() {
        QTest::addColumn<QString>("name");  // in the test's directory; "" for the directory
        QTest::addColumn<QString>("said");
        QTest::newRow("a regular file") << "file"
                                        << "is a regular file, not a serial port";
        QTest::newRow("a directory") << ""
                                     << "is a directory, not a serial port";
        QTest::newRow("a FIFO") << "fifo"
                                << "is a FIFO (a named pipe), not a serial port";
        QTest::newRow("a link to a regular file") << "link"
                                                  << "is a regular file, not a serial port";
        QTest::newRow("a part of the name longer than the system takes")
            << QString(300, QLatin1Char('x'))
            << "the name is too long for the system (at most 255 bytes a part of the path, 4095 "
               "in all)";
    }
    void aNameThatIsNoPortSaysWhatItIs() {
        QFETCH(QString, name);
        QFETCH(QString, said);
        QTemporaryDir directory;
        QVERIFY(directory.isValid());
        QFile file(directory.filePath(QStringLiteral("file")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(::mkfifo(QFile::encodeName(directory.filePath(QStringLiteral("fifo"))), 0600), 0);
        QVERIFY(QFile::link(file.fileName(), directory.filePath(QStringLiteral("link"))));
        const QString path = name.isEmpty() ? directory.path() : directory.filePath(name);
        const QStringList before =
            QDir(directory.path()).entryList(QDir::AllEntries | QDir::System);

        for (const auto mode : {QIODevice::ReadWrite, QIODevice::ReadOnly}) {
            Error error;
            if (mode == QIODevice::ReadWrite) {
                const rvx::Frame up = frameOf(rvx::CommandId::Up);
                error = rvx::bus::sendFrames(targetOf(path), std::span(&up, 1)).value_or(Error{});
            } else {
                rvx::bus::Watcher watcher;
                QSignalSpy failed(&watcher, &rvx::bus::Watcher::failed);
                QVERIFY(watcher.start(targetOf(path)));
                QVERIFY(failed.wait(5000));
                error = failed.at(0).at(0).value<Error>();
            }
            QCOMPARE(error.kind, Error::Kind::NoSuchPort);
            QCOMPARE(error.message, targetOf(path).shownText() + QStringLiteral(": ") + said);
        }
        QCOMPARE(file.size(), 0);
        QCOMPARE(QDir(directory.path()).entryList(QDir::AllEntries | QDir::System), before);
    }

    // Before a serial port is used, the open files of every process are looked through for
    // another program that has it open: thousands of descriptors on a desktop. That runs off
    // the event loop, so a window goes on meanwhile: a timer due at once, started just after
    // the send or the watch, runs before the port is reported open.
    void theLookForAHolderLeavesTheEventLoopFree_data() {
        QTest::addColumn<bool>("watching");
        QTest::newRow("sending") << false;
        QTest::newRow("watching") << true;
    }
    void theLookForAHolderLeavesTheEventLoopFree() {
        QFETCH(bool, watching);
        PseudoTerminal line(clock);
        Sender sender;
        rvx::bus::Watcher watcher;
        QStringList order;
        QTimer meanwhile;
        meanwhile.setInterval(0);
        connect(&meanwhile, &QTimer::timeout, this, [&] {
            order << QStringLiteral("the event loop ran");
            meanwhile.stop();
        });
        const auto opened = [&] { order << QStringLiteral("opened"); };
        connect(&sender, &Sender::opened, this, opened);
        connect(&watcher, &rvx::bus::Watcher::opened, this, opened);
        const rvx::Frame up = frameOf(rvx::CommandId::Up);
        QVERIFY(watching ? watcher.start(targetOf(line.path()))
                         : sender.send(targetOf(line.path()), std::span(&up, 1)));
        meanwhile.start();
        QTRY_COMPARE_WITH_TIMEOUT(order.size(), 2, 5000);
        QCOMPARE(order, (QStringList{"the event loop ran", "opened"}));
        if (watching) {
            watcher.stop();
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(line.arrived().bytes, up123456, 5000);
        }
    }

    void aPortInUseIsReportedAsBusy() {
        PseudoTerminal line(clock);
        rvx::bus::Watcher holder;
        QSignalSpy held(&holder, &rvx::bus::Watcher::opened);
        QVERIFY(holder.start(targetOf(line.path())));
        QVERIFY(held.wait(5000));

        const rvx::Frame up = frameOf(rvx::CommandId::Up);
        const auto error = rvx::bus::sendFrames(targetOf(line.path()), std::span(&up, 1));
        QVERIFY(error.has_value());
        QCOMPARE(error->kind, Error::Kind::PortBusy);
        QCOMPARE(error->message, line.path() + QStringLiteral(": the port is in use by another "
                                                              "program (locked by this program "
                                                              "itself, process %1)")
                                                   .arg(QCoreApplication::applicationPid()));

        holder.stop();  // once it is free the frame goes
        QCOMPARE(rvx::bus::sendFrames(targetOf(line.path()), std::span(&up, 1)).has_value(), false);
        QTRY_COMPARE_WITH_TIMEOUT(line.arrived().bytes, up123456, 5000);
    }

    // A user who may not open the port: the test runs the send as user nobody when it runs as
    // root (root may open any port) and gives the port the owner, group and mode of the row, or
    // takes its own rights to the port away otherwise. Joining a group is advised only where
    // the group may read and write the port.
    // Whatever name the port is given, and whoever holds it: a link to the port while it is
    // watched, or a lock another process holds on it as pyserial's exclusive ports do.
    void aPortHeldUnderAnotherNameOrByALockIsBusy() {
        PseudoTerminal line(clock);
        QTemporaryDir names;
        QVERIFY(names.isValid());
        const QString link = names.filePath(QStringLiteral("usb-RVX-A1B2-if00-port0"));
        QVERIFY(QFile::link(line.path(), link));
        const rvx::Frame up = frameOf(rvx::CommandId::Up);
        {
            rvx::bus::Watcher holder;
            QSignalSpy held(&holder, &rvx::bus::Watcher::opened);
            QVERIFY(holder.start(targetOf(line.path())));
            QVERIFY(held.wait(5000));
            const auto error = rvx::bus::sendFrames(targetOf(link), std::span(&up, 1));
            QVERIFY(error.has_value());
            QCOMPARE(error->kind, Error::Kind::PortBusy);
            QCOMPARE(error->message,
                     link + QStringLiteral(": the port is in use by another program (locked by "
                                           "this program itself, process %1)")
                                .arg(QCoreApplication::applicationPid()));
        }
        // The holder of a lock is named as the system tells it: the program that took it.
        {
            Holder locker(line.path(), Holder::Way::Locked);
            QVERIFY2(locker.holds(), "flock(1) from util-linux is needed");
            for (const QString& name : {line.path(), link}) {
                const auto error = rvx::bus::sendFrames(targetOf(name), std::span(&up, 1));
                QVERIFY(error.has_value());
                QCOMPARE(error->kind, Error::Kind::PortBusy);
                QCOMPARE(error->message, name + QStringLiteral(": the port is in use by another "
                                                               "program (locked by flock, "
                                                               "process %1)")
                                                    .arg(locker.started()));
            }
        }
        // Open with no lock at all, as a terminal program has it: by any name, the program
        // named (watching is refused alike; the command line's tests show it).
        {
            Holder opener(line.path(), Holder::Way::Open);
            QVERIFY(opener.holds());
            for (const QString& name : {line.path(), link}) {
                const QString busy = name + QStringLiteral(
                                                ": the port is in use by another program (sleep, "
                                                "process %1)")
                                                .arg(opener.pid());
                const auto error = rvx::bus::sendFrames(targetOf(name), std::span(&up, 1));
                QVERIFY(error.has_value());
                QCOMPARE(error->kind, Error::Kind::PortBusy);
                QCOMPARE(error->message, busy);
            }
        }
        QVERIFY(line.nothingSent());
        QCOMPARE(rvx::bus::sendFrames(targetOf(link), std::span(&up, 1)).has_value(), false);
        QTRY_COMPARE_WITH_TIMEOUT(line.arrived().bytes, up123456, 5000);
    }

    void aPortThatMayNotBeOpenedSaysWhatWouldHelp_data() {
        QTest::addColumn<bool>("ownedByTheUser");
        QTest::addColumn<QString>("group");  // as root; the user's own otherwise
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("advice");
        const QString dialout = QStringLiteral(
            "join the dialout group (sudo usermod -aG dialout $USER), then log out and in again");
        const QString ownerOnly = QStringLiteral(
            "only its owner (root) may open it, and joining a group does not help; ask whoever "
            "set up the port");
        // The user's own port whose mode keeps out even its owner: no group would help.
        QTest::newRow("the user's own port of mode 0000")
            << true << QString() << 0
            << QStringLiteral(
                   "you own it, but its mode (0000) does not let its owner read and "
                   "write it; chmod u+rw on it would");
        QTest::newRow("the user's own port, for reading only")
            << true << QString() << 0460
            << QStringLiteral(
                   "you own it, but its mode (0460) does not let its owner read and "
                   "write it; chmod u+rw on it would");
        if (::geteuid() != 0) {
            return;
        }
        QTest::newRow("an adapter of the dialout group") << false << "dialout" << 0660 << dialout;
        QTest::newRow("a port of another group")
            << false << "uucp" << 0660
            << QStringLiteral(
                   "join the uucp group (sudo usermod -aG uucp $USER), then log out and in again");
        QTest::newRow("a pseudo-terminal its group may only write")
            << false << "tty" << 0620 << ownerOnly;
        QTest::newRow("a port for its owner alone") << false << "dialout" << 0600 << ownerOnly;
        QTest::newRow("another's port of mode 0000")
            << false << "dialout" << 0
            << QStringLiteral(
                   "its mode (0000) lets no one read and write it; ask whoever set "
                   "up the port");
    }
    void aPortThatMayNotBeOpenedSaysWhatWouldHelp() {
        QFETCH(bool, ownedByTheUser);
        QFETCH(QString, group);
        QFETCH(int, mode);
        QFETCH(QString, advice);
        PseudoTerminal line(clock);
        const QByteArray path = line.path().toLocal8Bit();
        QProcess probe;
        if (::geteuid() == 0) {
            // Run as nobody, the port given to nobody or to root.
            constexpr uid_t nobody = 65534;
            const ::group* entry = ::getgrnam(group.isEmpty() ? "nogroup" : qPrintable(group));
            QVERIFY(entry != nullptr);
            QCOMPARE(::chown(path.constData(), ownedByTheUser ? nobody : 0, entry->gr_gid), 0);
            probe.setChildProcessModifier([] {
                if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 ||
                    ::setuid(nobody) != 0) {
                    ::_exit(125);
                }
            });
        }
        QCOMPARE(::chmod(path.constData(), static_cast<mode_t>(mode)), 0);
        probe.start(QStringLiteral(RVX_SEND_PROBE), {line.path()});
        QVERIFY(probe.waitForFinished(15000));
        QCOMPARE(probe.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(probe.readAllStandardOutput()).trimmed(),
                 line.path() + QStringLiteral(": no permission to open the port; ") + advice);
        QVERIFY(line.nothingSent());
    }

    void aPortClosedBeforeTheWriteIsLost() {
        PseudoTerminal line(clock);
        Sender sender;
        QSignalSpy finished(&sender, &Sender::finished);
        QSignalSpy failed(&sender, &Sender::failed);
        connect(&sender, &Sender::opened, this, [&] { line.closeMaster(); });
        const rvx::Frame up = frameOf(rvx::CommandId::Up);
        QVERIFY(sender.send(targetOf(line.path()), std::span(&up, 1)));
        const auto error = outcomeOf(finished, failed);
        QVERIFY(error.has_value());
        QCOMPARE(error->kind, Error::Kind::PortLost);
        QVERIFY2(error->message.startsWith(line.path() + ": the port was lost"),
                 qPrintable(error->message));
        QCOMPARE(error->framesSent, 0);
        QCOMPARE(finished.count(), 0);
        QVERIFY(!sender.busy());
    }

    void aPortLostBetweenFramesIsNeverASuccess() {
        PseudoTerminal line(clock);
        Sender sender;
        QSignalSpy sent(&sender, &Sender::frameSent);
        QSignalSpy finished(&sender, &Sender::finished);
        QSignalSpy failed(&sender, &Sender::failed);
        const std::vector<rvx::Frame> frames{frameOf(rvx::CommandId::Up),
                                             frameOf(rvx::CommandId::Down)};
        Settings settings;
        settings.gap = std::chrono::milliseconds(300);
        QVERIFY(sender.send(targetOf(line.path()), frames, settings));
        QTRY_COMPARE_WITH_TIMEOUT(line.arrived().bytes, up123456, 5000);
        line.closeMaster();  // during the line time of the first frame or the gap
        const auto error = outcomeOf(finished, failed);
        QVERIFY(error.has_value());
        QCOMPARE(error->kind, Error::Kind::PortLost);
        QVERIFY(error->framesSent <= 1);
        QCOMPARE(sent.count(), error->framesSent);
        QVERIFY2(error->message.endsWith(
                     QStringLiteral("; %1 of 2 frames had been sent").arg(error->framesSent)),
                 qPrintable(error->message));
        QCOMPARE(finished.count(), 0);
    }

    void aWriteTheSystemDoesNotTakeTimesOut() {
        PseudoTerminal line(clock);
        line.stopOutput();
        Settings settings;
        settings.timeout = std::chrono::milliseconds(300);
        const rvx::Frame up = frameOf(rvx::CommandId::Up);
        const qint64 start = clock.elapsed();
        const auto error = rvx::bus::sendFrames(targetOf(line.path()), std::span(&up, 1), settings);
        QCOMPARE_GE(clock.elapsed() - start, 300);
        QVERIFY(error.has_value());
        QCOMPARE(error->kind, Error::Kind::WriteTimedOut);
        QCOMPARE(error->message,
                 line.path() + ": the frame was not taken for sending within 0.3 s");
        line.restartOutput();
        QVERIFY(line.nothingSent());  // what was not taken was dropped, not sent later

        // The port was let go: the next send goes through.
        QCOMPARE(rvx::bus::sendFrames(targetOf(line.path()), std::span(&up, 1)).has_value(), false);
        QTRY_COMPARE_WITH_TIMEOUT(line.arrived().bytes, up123456, 5000);
    }

    void cancelEndsASendWithoutSignalsAndFreesThePort() {
        PseudoTerminal line(clock);
        Sender sender;
        QSignalSpy finished(&sender, &Sender::finished);
        QSignalSpy failed(&sender, &Sender::failed);
        const std::vector<rvx::Frame> frames{frameOf(rvx::CommandId::Up),
                                             frameOf(rvx::CommandId::Down)};
        QVERIFY(sender.send(targetOf(line.path()), frames));
        QTRY_COMPARE_WITH_TIMEOUT(line.arrived().bytes, up123456, 5000);
        sender.cancel();
        QVERIFY(!sender.busy());
        const rvx::Frame stop = frameOf(rvx::CommandId::Stop);
        QCOMPARE(rvx::bus::sendFrames(targetOf(line.path()), std::span(&stop, 1)).has_value(),
                 false);
        QTRY_COMPARE_WITH_TIMEOUT(line.arrived().bytes.size(), 28, 5000);
        QCOMPARE(line.arrived().bytes.mid(14), bytesOf(stop));
        QCOMPARE(finished.count() + failed.count(), 0);
    }

    void theBridgeReceivesTheSameFrames() {
        Bridge bridge(clock);
        const std::vector<rvx::Frame> frames{frameOf(rvx::CommandId::Up),
                                             frameOf(rvx::CommandId::Down)};
        QCOMPARE(rvx::bus::sendFrames(targetOf(bridge.target()), frames).has_value(), false);
        QTRY_COMPARE_WITH_TIMEOUT(bridge.arrived().bytes, up123456 + down123456, 5000);
        QCOMPARE_GE(bridge.arrived().timeOf(14) - bridge.arrived().timeOf(13), 50);
        QCOMPARE(bridge.connections().size(), 1);
        // The connection was closed after the last frame.
        QTRY_COMPARE_WITH_TIMEOUT(bridge.connections().at(0)->state(),
                                  QAbstractSocket::UnconnectedState, 5000);
    }

    void aBridgeThatHasTakenEveryByteConfirmsTheSend() {
        Bridge bridge(clock);
        const rvx::Frame up = frameOf(rvx::CommandId::Up);
        const auto outcome =
            rvx::bus::sendFramesUntil(targetOf(bridge.target()), std::span(&up, 1), Settings{}, {});
        QVERIFY2(!outcome.error, qPrintable(outcome.error ? outcome.error->message : QString()));
        QCOMPARE(outcome.delivery, rvx::bus::Delivery::TakenByBridge);
        // The bridge had every byte before the send counted as done.
        QCOMPARE(bridge.arrived().bytes, up123456);

        PseudoTerminal line(clock);
        const auto serial =
            rvx::bus::sendFramesUntil(targetOf(line.path()), std::span(&up, 1), Settings{}, {});
        QVERIFY(!serial.error);
        QCOMPARE(serial.delivery, rvx::bus::Delivery::OnTheLine);
    }

    // A server that accepts and never reads, or one that closes at once, has taken no frame:
    // neither is ever a success, and neither signals a frame as sent.
    void aBridgeThatTakesNoFrameIsNeverASuccess_data() {
        QTest::addColumn<BrokenBridge::Fault>("fault");
        QTest::addColumn<Error::Kind>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("a server that never reads")
            << BrokenBridge::Fault::NeverReads << Error::Kind::Unconfirmed
            << ": the bridge did not confirm the frame within 0.5 s; it is stopped, does not "
               "read, or does not close after a frame, and the frame may not have reached its "
               "line";
        QTest::newRow("a server that closes at once")
            << BrokenBridge::Fault::ClosesAtOnce << Error::Kind::PortLost
            << ": the connection to the bridge was lost (the bridge closed it";
    }
    void aBridgeThatTakesNoFrameIsNeverASuccess() {
        QFETCH(BrokenBridge::Fault, fault);
        QFETCH(Error::Kind, kind);
        QFETCH(QString, message);
        BrokenBridge bridge(fault);
        Sender sender;
        QSignalSpy sent(&sender, &Sender::frameSent);
        QSignalSpy finished(&sender, &Sender::finished);
        QSignalSpy failed(&sender, &Sender::failed);
        Settings settings;
        settings.timeout = std::chrono::milliseconds(500);
        const std::vector<rvx::Frame> frames{frameOf(rvx::CommandId::Up),
                                             frameOf(rvx::CommandId::Down)};
        QVERIFY(sender.send(targetOf(bridge.target()), frames, settings));
        const auto error = outcomeOf(finished, failed);
        QVERIFY(error.has_value());
        QCOMPARE(error->kind, kind);
        QVERIFY2(error->message.startsWith(bridge.target() + message), qPrintable(error->message));
        QVERIFY2(error->message.endsWith(QStringLiteral("; 0 of 2 frames had been sent")),
                 qPrintable(error->message));
        QCOMPARE(error->framesSent, 0);
        QCOMPARE(sent.count(), 0);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(bridge.accepted(), 1);
    }

    void aRefusedConnectionIsReported() {
        quint16 port = 0;
        {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            port = closed.serverPort();
        }
        const QString target = QStringLiteral("tcp://127.0.0.1:%1").arg(port);
        const rvx::Frame up = frameOf(rvx::CommandId::Up);
        const auto error = rvx::bus::sendFrames(targetOf(target), std::span(&up, 1));
        QVERIFY(error.has_value());
        QCOMPARE(error->kind, Error::Kind::ConnectionRefused);
        QCOMPARE(error->message,
                 target + QStringLiteral(": connection refused; nothing listens on port %1 of "
                                         "127.0.0.1")
                              .arg(port));
    }

    // A resolver that never answers: the wait ends at the timeout, and so does the process,
    // which does not wait for the lookup still under way.
    void aHostLookupThatNeverAnswersEndsAtTheTimeout() {
        QProcess probe;
        QElapsedTimer took;
        took.start();
        probe.start(QStringLiteral(RVX_SEND_PROBE),
                    {QStringLiteral("tcp://rvx-bridge.invalid:4001"),
                     QStringLiteral("--lookup-never-answers")});
        // The timeout is 1 s; the process is given a few more to start and end.
        QVERIFY(probe.waitForFinished(5000));
        QCOMPARE_GE(took.elapsed(), 1000);
        QCOMPARE(probe.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(probe.readAllStandardOutput()).trimmed(),
                 QStringLiteral("tcp://rvx-bridge.invalid:4001: no connection within 1 s"));
    }

    void anAbsentHostIsReported() {
        const rvx::Frame up = frameOf(rvx::CommandId::Up);
        const auto error =
            rvx::bus::sendFrames(targetOf("tcp://rvx-bridge.invalid:4001"), std::span(&up, 1));
        QVERIFY(error.has_value());
        QCOMPARE(error->kind, Error::Kind::HostNotFound);
        QCOMPARE(
            error->message,
            QStringLiteral("tcp://rvx-bridge.invalid:4001: host rvx-bridge.invalid not found"));
    }

    void aBridgeClosingTheConnectionIsNeverASuccess() {
        Bridge bridge(clock);
        bridge.closeAfter(14);
        Settings settings;
        settings.gap = std::chrono::milliseconds(300);
        const std::vector<rvx::Frame> frames{frameOf(rvx::CommandId::Up),
                                             frameOf(rvx::CommandId::Down)};
        const auto error = rvx::bus::sendFrames(targetOf(bridge.target()), frames, settings);
        QVERIFY(error.has_value());
        QCOMPARE(error->kind, Error::Kind::PortLost);
        // The first frame counts as sent only once its line time has passed.
        QVERIFY(error->framesSent <= 1);
        QCOMPARE(error->message,
                 bridge.target() + QStringLiteral(": the connection to the bridge was lost (the "
                                                  "bridge closed it); %1 of 2 frames had been "
                                                  "sent")
                                       .arg(error->framesSent));
        QCOMPARE(bridge.arrived().bytes, up123456);
    }
};

QTEST_GUILESS_MAIN(SendTest)
#include "send_test.moc"
