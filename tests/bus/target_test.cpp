// Target texts, line settings, the wording of failures and the stable names of ports.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "bus_support.h"
#include "rvx/bus.h"

using rvx::bus::Error;
using rvx::bus::Parity;
using rvx::bus::Settings;
using rvx::bus::Target;

Q_DECLARE_METATYPE(Target::Kind)
Q_DECLARE_METATYPE(Error::Kind)
Q_DECLARE_METATYPE(std::optional<Parity>)

class TargetTest : public QObject {
    Q_OBJECT

private slots:
    void targetsAreRead_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Target::Kind>("kind");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("shown");
        const auto serial = Target::Kind::Serial;
        const auto tcp = Target::Kind::Tcp;
        QTest::newRow("a USB adapter") << "/dev/ttyUSB0" << serial << "/dev/ttyUSB0"
                                       << "" << 0 << "/dev/ttyUSB0";
        QTest::newRow("a by-id link")
            << "/dev/serial/by-id/usb-FTDI_FT232R_A1B2-if00-port0" << serial
            << "/dev/serial/by-id/usb-FTDI_FT232R_A1B2-if00-port0"
            << "" << 0 << "/dev/serial/by-id/usb-FTDI_FT232R_A1B2-if00-port0";
        QTest::newRow("a Windows port, blanks around") << "  COM3 " << serial << "COM3"
                                                       << "" << 0 << "COM3";
        QTest::newRow("a bridge by address") << "tcp://192.168.1.50:4001" << tcp << ""
                                             << "192.168.1.50" << 4001 << "tcp://192.168.1.50:4001";
        QTest::newRow("a bridge by name, scheme in capitals")
            << "TCP://rs485-gw.local:10001" << tcp << ""
            << "rs485-gw.local" << 10001 << "tcp://rs485-gw.local:10001";
        QTest::newRow("a bridge by IPv6 address") << "tcp://[fe80::1]:23" << tcp << ""
                                                  << "fe80::1" << 23 << "tcp://[fe80::1]:23";
        QTest::newRow("the highest port") << "tcp://h:65535" << tcp << ""
                                          << "h" << 65535 << "tcp://h:65535";
    }
    void targetsAreRead() {
        QFETCH(QString, text);
        QFETCH(Target::Kind, kind);
        const auto reading = rvx::bus::readTarget(text);
        QVERIFY2(reading.target.has_value(), qPrintable(reading.problem));
        QCOMPARE(reading.target->kind, kind);
        QTEST(reading.target->device, "device");
        QTEST(reading.target->host, "host");
        QTEST(int{reading.target->port}, "port");
        QTEST(reading.target->text(), "shown");
    }

    void badTargetsAreRefusedWithAReason_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("problem");
        QTest::newRow("nothing") << "  "
                                 << "no target: name a serial port (/dev/ttyUSB0, COM3) or a "
                                    "bridge (tcp://HOST:PORT)";
        QTest::newRow("a bridge without a port")
            << "tcp://10.0.0.5"
            << "target \"tcp://10.0.0.5\": no port; write a bridge as "
               "tcp://HOST:PORT";
        QTest::newRow("a bridge without a host")
            << "tcp://:4001"
            << "target \"tcp://:4001\": no host; write a bridge as "
               "tcp://HOST:PORT";
        QTest::newRow("a bridge without a host or a port")
            << "tcp://"
            << "target \"tcp://\": no host and no port; write a bridge as tcp://HOST:PORT";
        QTest::newRow("port zero") << "tcp://10.0.0.5:0"
                                   << "target \"tcp://10.0.0.5:0\": the port must be a number "
                                      "from 1 to 65535";
        QTest::newRow("a port too high") << "tcp://10.0.0.5:65536"
                                         << "target \"tcp://10.0.0.5:65536\": the port must be a "
                                            "number from 1 to 65535";
        QTest::newRow("a path after the port")
            << "tcp://10.0.0.5:4001/"
            << "target \"tcp://10.0.0.5:4001/\": the port must be a "
               "number from 1 to 65535";
        QTest::newRow("an IPv6 address without brackets")
            << "tcp://fe80::1:23"
            << "target \"tcp://fe80::1:23\": an IPv6 address goes in "
               "brackets, as tcp://[::1]:4001";
        QTest::newRow("an IPv6 address without a port")
            << "tcp://[fe80::1]"
            << "target \"tcp://[fe80::1]\": an IPv6 address goes in "
               "brackets with a port after them, as tcp://[::1]:4001";
        QTest::newRow("a user in the host") << "tcp://me@gw:4001"
                                            << "target \"tcp://me@gw:4001\": \"me@gw\" is no "
                                               "host name or address";
        QTest::newRow("another scheme") << "udp://10.0.0.5:4001"
                                        << "target \"udp://10.0.0.5:4001\": \"udp://\" is no kind "
                                           "of target here; name a serial port or a bridge as "
                                           "tcp://HOST:PORT";
        QTest::newRow("a bridge without the scheme")
            << "10.0.0.5:4001"
            << "target \"10.0.0.5:4001\": no serial port; for a bridge "
               "write tcp://10.0.0.5:4001";
        QTest::newRow("a control character") << "/dev/ttyUSB0\n/dev/ttyUSB1"
                                             << "target \"/dev/ttyUSB0\\n/dev/ttyUSB1\": holds a "
                                                "control character";
    }
    void badTargetsAreRefusedWithAReason() {
        QFETCH(QString, text);
        const auto reading = rvx::bus::readTarget(text);
        QVERIFY(!reading.target.has_value());
        QTEST(reading.problem, "problem");
        // The reason alone, for a caller that quotes the text in its own way.
        const bool empty = text.trimmed().isEmpty();
        QVERIFY2(empty ? reading.reason.startsWith(QStringLiteral("empty; "))
                       : reading.problem.endsWith(QStringLiteral("\": ") + reading.reason),
                 qPrintable(reading.reason));
    }

    void parityNames_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<Parity>>("parity");
        QTest::newRow("odd") << "odd" << std::optional(Parity::Odd);
        QTest::newRow("EVEN in capitals") << "EVEN" << std::optional(Parity::Even);
        QTest::newRow("an initial") << "n" << std::optional(Parity::None);
        QTest::newRow("mark") << " mark " << std::optional(Parity::Mark);
        QTest::newRow("S for space") << "S" << std::optional(Parity::Space);
        QTest::newRow("no parity name") << "o1" << std::optional<Parity>();
        QTest::newRow("empty") << "" << std::optional<Parity>();
    }
    void parityNames() {
        QFETCH(QString, text);
        QFETCH(std::optional<Parity>, parity);
        QCOMPARE(rvx::bus::readParity(text), parity);
        if (parity) {
            QCOMPARE(rvx::bus::readParity(rvx::bus::parityName(*parity)), parity);
        }
    }

    void lineTimes_data() {
        QTest::addColumn<int>("bytes");
        QTest::addColumn<int>("baud");
        QTest::addColumn<Parity>("parity");
        QTest::addColumn<int>("milliseconds");
        // 14 x 11 bits = 154 bits; 154 / 4800 s = 32.08 ms.
        QTest::newRow("a frame at 4800 8O1") << 14 << 4800 << Parity::Odd << 33;
        QTest::newRow("a frame at 4800 8N1") << 14 << 4800 << Parity::None << 30;
        QTest::newRow("a frame at 9600 8E1") << 14 << 9600 << Parity::Even << 17;
        QTest::newRow("one byte at 4800 8O1") << 1 << 4800 << Parity::Odd << 3;
        QTest::newRow("exactly whole: 48 bytes at 4800 8N1") << 48 << 4800 << Parity::None << 100;
    }
    void lineTimes() {
        QFETCH(int, bytes);
        QFETCH(int, baud);
        QFETCH(Parity, parity);
        Settings settings;
        settings.baudRate = baud;
        settings.parity = parity;
        QTEST(static_cast<int>(rvx::bus::lineTime(bytes, settings).count()), "milliseconds");
    }

    // Each failure names the target and, where the user can act, says how. The tests run as
    // root, so a lock on the port and missing rights are also worded here, not only produced.
    void failuresAreWorded_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<Error::Kind>("kind");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QString>("message");
        const QString usb = QStringLiteral("/dev/ttyUSB0");
        const QString gw = QStringLiteral("tcp://10.0.0.5:4001");
        QTest::newRow("no such port") << usb << Error::Kind::NoSuchPort << ""
                                      << "/dev/ttyUSB0: no such serial port";
        QTest::newRow("a port in use") << usb << Error::Kind::PortBusy << ""
                                       << "/dev/ttyUSB0: the port is in use by another program";
        QTest::newRow("no rights to the port")
            << usb << Error::Kind::AccessDenied << ""
            << "/dev/ttyUSB0: no permission to open the port; join the dialout group (sudo "
               "usermod -aG dialout $USER), then log out and in again";
        QTest::newRow("a refused line")
            << usb << Error::Kind::LineRefused << "Invalid baud rate value"
            << "/dev/ttyUSB0: the port does not take 4800 baud with "
               "odd parity (Invalid baud rate value)";
        QTest::newRow("a refused connection")
            << gw << Error::Kind::ConnectionRefused << ""
            << "tcp://10.0.0.5:4001: connection refused; nothing listens on port 4001 of "
               "10.0.0.5";
        QTest::newRow("an unknown host")
            << "tcp://gw.example:4001" << Error::Kind::HostNotFound << ""
            << "tcp://gw.example:4001: host gw.example not found";
        QTest::newRow("no connection in time") << gw << Error::Kind::ConnectTimedOut << ""
                                               << "tcp://10.0.0.5:4001: no connection within 5 s";
        QTest::newRow("a write not taken in time")
            << usb << Error::Kind::WriteTimedOut << ""
            << "/dev/ttyUSB0: the frame was not taken for sending within 5 s";
        QTest::newRow("a port lost") << usb << Error::Kind::PortLost << "Input/output error"
                                     << "/dev/ttyUSB0: the port was lost (Input/output error)";
        QTest::newRow("a connection lost")
            << gw << Error::Kind::PortLost << "the bridge closed it"
            << "tcp://10.0.0.5:4001: the connection to the bridge was lost (the bridge closed it)";
    }
    void failuresAreWorded() {
        QFETCH(QString, target);
        QFETCH(Error::Kind, kind);
        QFETCH(QString, detail);
        QTEST(
            rvx::bus::errorMessage(kind, *rvx::bus::readTarget(target).target, Settings{}, detail),
            "message");
    }

    // A failure names its target as written while it is plain; one that could turn the line
    // around or flood it is quoted, escaped and cut as any other text in a message.
    void aTargetIsShownSafelyInAFailure_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("message");
        QTest::newRow("a by-id link, as written")
            << "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"
            << "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0: no such serial "
               "port";
        QTest::newRow("a right-to-left override") << QString::fromUtf8("/dev/tty\u202EBSU")
                                                  << "\"/dev/tty\\u202EBSU\": no such serial port";
        QTest::newRow("a path of 5000 characters")
            << "/dev/" + QString(4995, QLatin1Char('x'))
            << "\"/dev/" + QString(35, QLatin1Char('x')) +
                   "\"... (5000 characters): no such serial port";
    }
    void aTargetIsShownSafelyInAFailure() {
        QFETCH(QString, device);
        const auto target = rvx::bus::readTarget(device).target;
        QVERIFY(target.has_value());
        QTEST(rvx::bus::errorMessage(Error::Kind::NoSuchPort, *target), "message");
    }

    void aPortIsFoundByItsByIdLink() {
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal port(clock);
        bus_test::PseudoTerminal other(clock);
        QTemporaryDir byId;
        QVERIFY(byId.isValid());
        const QString link = byId.filePath(QStringLiteral("usb-FTDI_FT232R_A1B2-if00-port0"));
        QVERIFY(QFile::link(other.path(), byId.filePath(QStringLiteral("usb-other-port0"))));
        QVERIFY(QFile::link(port.path(), link));
        QVERIFY(QFile::link(QStringLiteral("/dev/ttyRVX-none"), byId.filePath("usb-gone")));

        QCOMPARE(rvx::bus::byIdLink(port.path(), byId.path()), link);
        QCOMPARE(rvx::bus::byIdLink(other.path(), byId.path()),
                 byId.filePath(QStringLiteral("usb-other-port0")));
        QCOMPARE(rvx::bus::byIdLink(QStringLiteral("/dev/ttyRVX-none"), byId.path()), QString());
        QCOMPARE(rvx::bus::byIdLink(port.path(), byId.filePath("missing")), QString());
    }
};

QTEST_GUILESS_MAIN(TargetTest)
#include "target_test.moc"
