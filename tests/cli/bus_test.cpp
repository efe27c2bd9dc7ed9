// rvx-strings on the bus, run as a process the way an installer runs it: --send onto a real
// serial line (a pseudo-terminal whose far end the test holds) and to a real TCP bridge,
// --monitor of what the test puts on the line, --list-ports, and every failure of the bus.
#include "rvx/bus.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <algorithm>
#include <csignal>
#include <optional>

#include "bus_support.h"
#include "rvx/catalogue.h"

using bus_test::Bridge;
using bus_test::fromHex;
using bus_test::Holder;
using bus_test::PseudoTerminal;
using bus_test::SocatPair;

namespace {

const QByteArray up123456 = fromHex("AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30");
const QByteArray upGroup123456 = fromHex("AB F1 FF 12 34 56 FF FF FF FE FF FF 09 30");
const QByteArray upChecksumOff = fromHex("AB F1 FF FF FF FF 12 34 56 FE FF FF 09 20");

QString spaced(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

// rvx-strings running as a child; its output is gathered from the test's event loop, so that
// the pseudo-terminal and the bridge are served while it runs.
class Tool {
public:
    explicit Tool(const QStringList& arguments)
        : Tool(QStringLiteral(RVX_STRINGS_PATH), arguments) {}
    // rvx-strings started by another program (unshare), which runs it in its place.
    Tool(const QString& program, const QStringList& arguments) {
        QObject::connect(&process_, &QProcess::readyReadStandardOutput,
                         [this] { out_ += process_.readAllStandardOutput(); });
        QObject::connect(&process_, &QProcess::readyReadStandardError,
                         [this] { err_ += process_.readAllStandardError(); });
        process_.start(program, arguments);
    }

    [[nodiscard]] bool ended(int timeout = 20000) {
        const bool done =
            QTest::qWaitFor([this] { return process_.state() == QProcess::NotRunning; }, timeout);
        out_ += process_.readAllStandardOutput();
        err_ += process_.readAllStandardError();
        return done && process_.exitStatus() == QProcess::NormalExit;
    }
    [[nodiscard]] int exitCode() const { return process_.exitCode(); }
    [[nodiscard]] bool running() const { return process_.state() != QProcess::NotRunning; }

    [[nodiscard]] const QByteArray& out() const { return out_; }
    [[nodiscard]] QString err() const { return QString::fromUtf8(err_); }
    [[nodiscard]] QStringList outLines() const { return linesOf(out_); }
    [[nodiscard]] QStringList errLines() const { return linesOf(err_); }

    // Waits until standard error holds this text: the port is open once it says "watching".
    [[nodiscard]] bool saysOnError(const QString& text, int timeout = 10000) {
        return QTest::qWaitFor([&] { return err().contains(text) || !running(); }, timeout) &&
               err().contains(text);
    }
    [[nodiscard]] bool hasOutLines(qsizetype count, int timeout = 10000) {
        return QTest::qWaitFor([&] { return outLines().size() >= count || !running(); }, timeout) &&
               outLines().size() >= count;
    }

    void signal(int number) const { ::kill(static_cast<pid_t>(process_.processId()), number); }

    // Standard output goes to that process instead (as to `| head -1`), from the start.
    Tool(const QStringList& arguments, QProcess& reader) {
        QObject::connect(&process_, &QProcess::readyReadStandardError,
                         [this] { err_ += process_.readAllStandardError(); });
        process_.setStandardOutputProcess(&reader);
        process_.start(QStringLiteral(RVX_STRINGS_PATH), arguments);
    }

private:
    static QStringList linesOf(const QByteArray& bytes) {
        QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty()) {
            lines.removeLast();
        }
        return lines;
    }

    QProcess process_;
    QByteArray out_;
    QByteArray err_;
};

// The report of --decode --format json for these bytes, as the monitor must repeat it.
QJsonObject decodeReport(const QByteArray& frame) {
    Tool decode({"--decode", spaced(frame), "--format", "json"});
    if (!decode.ended()) {
        return {};
    }
    return QJsonDocument::fromJson(decode.out()).object();
}

// A text time stamp of the monitor: "HH:mm:ss.zzz" and two blanks before the rest.
const QRegularExpression textTime(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d  "));

enum class Setup {
    None,
    PortHeld,
    PortHeldUnderALink,
    PortLocked,
    PortOpenElsewhere,
    OutputStopped,
    ClosedBridge
};

// ser2net from Debian as the bridge, on 127.0.0.1, its serial side on the device given. The
// test starts it and stops it; it opens the device when a client connects.
class Ser2net {
public:
    explicit Ser2net(const QString& device) {
        if (!directory_.isValid()) {
            return;
        }
        {
            QTcpServer probe;  // a free port, let go at once for ser2net
            probe.listen(QHostAddress::LocalHost);
            port_ = probe.serverPort();
        }
        QFile config(directory_.filePath(QStringLiteral("ser2net.yaml")));
        if (!config.open(QIODevice::WriteOnly)) {
            return;
        }
        config.write(QStringLiteral("connection: &bus\n"
                                    "  accepter: tcp,127.0.0.1,%1\n"
                                    "  connector: serialdev,%2,4800o81,local\n")
                         .arg(port_)
                         .arg(device)
                         .toUtf8());
        config.close();
        const QString program = QStandardPaths::findExecutable(
            QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
        if (program.isEmpty()) {
            return;
        }
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(program, {QStringLiteral("-d"), QStringLiteral("-c"), config.fileName(),
                                 QStringLiteral("-P"), directory_.filePath(QStringLiteral("pid"))});
        // Listening once a connection is taken.
        started_ = process_.waitForStarted(5000) &&
                   QTest::qWaitFor(
                       [this] {
                           QTcpSocket socket;
                           socket.connectToHost(QHostAddress::LocalHost, port_);
                           return socket.waitForConnected(100);
                       },
                       5000);
    }
    ~Ser2net() {
        resume();
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    [[nodiscard]] bool started() const { return started_; }
    [[nodiscard]] QString target() const { return QStringLiteral("tcp://127.0.0.1:%1").arg(port_); }
    // Stops and resumes the bridge as kill -STOP and -CONT do: its system still accepts
    // connections and bytes, but nothing reads them.
    void pause() const { ::kill(static_cast<pid_t>(process_.processId()), SIGSTOP); }
    void resume() const { ::kill(static_cast<pid_t>(process_.processId()), SIGCONT); }

private:
    QTemporaryDir directory_;
    QProcess process_;
    quint16 port_ = 0;
    bool started_ = false;
};

// A bridge that floods: socat sends /dev/zero to the one client it takes, in pieces of a
// megabyte, as fast as the connection takes them. Its system's send buffer is kept to 256 KiB,
// as a converter's is small: what it had sent still arrives after it has gone, and how much
// that is belongs to the bridge, not to the monitor (4 MB at most from socat's defaults).
class Flood {
public:
    Flood() {
        {
            QTcpServer probe;  // a free port, let go at once for socat
            probe.listen(QHostAddress::LocalHost);
            port_ = probe.serverPort();
        }
        process_.setStandardErrorFile(QProcess::nullDevice());  // "Connection reset by peer"
        process_.start(
            QStringLiteral("socat"),
            {QStringLiteral("-u"), QStringLiteral("-b"), QStringLiteral("1048576"),
             QStringLiteral("OPEN:/dev/zero"),
             QStringLiteral("TCP-LISTEN:%1,bind=127.0.0.1,reuseaddr,sndbuf=262144").arg(port_)});
        // A connection to see whether it listens would be the one it serves: the system's
        // table of sockets tells instead.
        listening_ =
            process_.waitForStarted(5000) && QTest::qWaitFor([this] { return listens(); }, 5000);
    }
    ~Flood() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    Flood(const Flood&) = delete;
    Flood& operator=(const Flood&) = delete;

    [[nodiscard]] bool listening() const { return listening_; }
    [[nodiscard]] QString target() const { return QStringLiteral("tcp://127.0.0.1:%1").arg(port_); }
    // The bridge goes, as a converter that is switched off: what it had sent still arrives.
    void close() {
        process_.terminate();
        process_.waitForFinished(5000);
    }

private:
    [[nodiscard]] bool listens() const {
        QFile table(QStringLiteral("/proc/net/tcp"));
        if (!table.open(QIODevice::ReadOnly)) {
            return false;
        }
        const QByteArray local =
            "0100007F:" + QByteArray::number(port_, 16).toUpper().rightJustified(4, '0');
        for (const QByteArray& line : table.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() > 3 && fields[1] == local && fields[3] == "0A") {
                return true;
            }
        }
        return false;
    }

    QProcess process_;
    quint16 port_ = 0;
    bool listening_ = false;
};

// The memory a process holds, in kB.
qint64 residentKb(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

}  // namespace

Q_DECLARE_METATYPE(Setup)

class CliBusTest : public QObject {
    Q_OBJECT
    QElapsedTimer clock;

private slots:
    void initTestCase() { clock.start(); }

    // ---- --send ----

    void sendPutsExactlyTheOneFrameOnTheLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("said");  // after "Sent "; %1 is the port
        QTest::newRow("Up for single motor 123456")
            << QStringList{"123456", "--command", "Up"} << up123456
            << "Up to single motor 123456 on %1 (4800 8O1): AB F1 FF FF FF FF 12 34 56 FE FF FF "
               "09 30";
        QTest::newRow("Stop for group 0A0B0C, written escaped")
            << QStringList{"--group", "0a0b0c", "--command", "stop", "--notation", "escaped"}
            << fromHex("AB F1 FF 0A 0B 0C FF FF FF FC FF FF 08 B3")
            << "Stop to group 0A0B0C on %1 (4800 8O1): "
               "\\xAB\\xF1\\xFF\\x0A\\x0B\\x0C\\xFF\\xFF\\xFF\\xFC\\xFF\\xFF\\x08\\xB3";
        QTest::newRow("Go to IP # with its IP number")
            << QStringList{"123456", "--ip", "3", "--command", "go-to-ip"}
            << fromHex("AB F1 FF FF FF FF 12 34 56 FB FD FF 09 2B")
            << "Go to IP # to single motor 123456 on %1 (4800 8O1): AB F1 FF FF FF FF 12 34 56 "
               "FB FD FF 09 2B";
        QTest::newRow("a valid frame of --decode, read compact")
            << QStringList{"--decode", "abf1ffffffff123456feffff0930"} << up123456
            << "Up to single motor 123456 on %1 (4800 8O1): AB F1 FF FF FF FF 12 34 56 FE FF FF "
               "09 30";
        QTest::newRow("another line for an unusual adapter")
            << QStringList{"123456", "--command", "up", "--baud", "9600", "--parity", "none"}
            << up123456
            << "Up to single motor 123456 on %1 (9600 8N1): AB F1 FF FF FF FF 12 34 56 FE FF FF "
               "09 30";
    }
    void sendPutsExactlyTheOneFrameOnTheLine() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, frame);
        QFETCH(QString, said);
        PseudoTerminal line(clock);
        Tool tool(arguments + QStringList{"--send", line.path()});
        QVERIFY(tool.ended());
        QCOMPARE(tool.err(), QString());
        QCOMPARE(tool.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(tool.out()), "Sent " + said.arg(line.path()) + "\n");
        QTRY_COMPARE_WITH_TIMEOUT(line.arrived().bytes, frame, 5000);
        QVERIFY(line.nothingSent());  // that frame, nothing after it
        QCOMPARE(line.arrived().bytes, frame);
    }

    // The speed the port is set to, read while the frame waits: the line's output is stopped,
    // so that the system does not take the frame and the port stays open. A pseudo-terminal
    // keeps the speed (not the parity); closing the port puts back the one it had before.
    void theBaudRateReachesThePort_data() {
        QTest::addColumn<QStringList>("line");
        QTest::addColumn<int>("speed");
        QTest::newRow("4800 by default") << QStringList{} << int{B4800};
        QTest::newRow("--baud 9600") << QStringList{"--baud", "9600"} << int{B9600};
        QTest::newRow("--baud 19200, parity none")
            << QStringList{"--baud=19200", "--parity", "none"} << int{B19200};
    }
    void theBaudRateReachesThePort() {
        QFETCH(QStringList, line);
        QFETCH(int, speed);
        PseudoTerminal port(clock);
        port.stopOutput();
        Tool tool(QStringList{"123456", "--command", "stop", "--send", port.path()} + line);
        const auto kept = [&port] {
            const termios settings = port.settings();
            return static_cast<int>(cfgetospeed(&settings));
        };
        QTRY_COMPARE_WITH_TIMEOUT(kept(), speed, 5000);
        QVERIFY(tool.running());
        port.restartOutput();
        QVERIFY(tool.ended());
        QCOMPARE(tool.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(port.arrived().bytes,
                                  fromHex("AB F1 FF FF FF FF 12 34 56 FC FF FF 09 2E"), 5000);
    }

    void theBridgeReceivesTheSameFrame() {
        Bridge bridge(clock);
        Tool tool({"--send", bridge.target(), "123456", "--command", "up"});
        QVERIFY(tool.ended());
        QCOMPARE(tool.err(), QString());
        QCOMPARE(tool.exitCode(), 0);
        // Taken, not sent: a bridge does not report delivery to its own line.
        QCOMPARE(QString::fromUtf8(tool.out()),
                 "Up to single motor 123456 taken by the bridge at " + bridge.target() +
                     " (line 4800 8O1 assumed; the bridge does not report delivery to its line): "
                     "AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30\n");
        QTRY_COMPARE_WITH_TIMEOUT(bridge.arrived().bytes, up123456, 5000);
        QCOMPARE(bridge.connections().size(), 1);
    }

    // Only a frame the decoder finds nothing wrong with is sent; the report says why not.
    void aFrameWithFindingsIsNotSent_data() {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("message");
        QTest::newRow("a wrong checksum")
            << "AB F1 FF FF FF FF 12 34 56 FB FD FF 09 20"
            << "rvx-strings: --send: not sent; 1 finding in the frame, and only a valid frame is "
               "sent";
        QTest::newRow("a length byte and a priority out of range")
            << "a4 f0 ff 0a 0b 0c ff ff ff fb fe ff 08 a9"
            << "rvx-strings: --send: not sent; 2 findings in the frame, and only a valid frame "
               "is sent";
    }
    void aFrameWithFindingsIsNotSent() {
        QFETCH(QString, frame);
        QFETCH(QString, message);
        PseudoTerminal line(clock);
        Tool report({"--decode", frame});
        QVERIFY(report.ended());
        Tool tool({"--decode", frame, "--send", line.path()});
        QVERIFY(tool.ended());
        QCOMPARE(tool.exitCode(), 1);
        QCOMPARE(tool.out(), report.out());  // the report as usual
        QCOMPARE(tool.errLines(), QStringList{message});
        QTest::qWait(100);
        QVERIFY(line.nothingSent());
    }

    // ---- Failures of the bus: exit status 4, the message alone on standard error ----

    void aBusFailureIsExitStatus4_data() {
        QTest::addColumn<QStringList>("arguments");  // %1: a pseudo-terminal or a closed port
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("message");
        const QStringList up{"123456", "--command", "up", "--send", "%1"};
        QTest::newRow("sending to a port that does not exist")
            << QStringList{"123456", "--command", "up", "--send", "/dev/ttyRVX-none"} << Setup::None
            << "rvx-strings: /dev/ttyRVX-none: no such serial port";
        QTest::newRow("watching a port that does not exist")
            << QStringList{"--monitor", "/dev/serial/by-id/usb-RVX-none-if00-port0"} << Setup::None
            << "rvx-strings: /dev/serial/by-id/usb-RVX-none-if00-port0: no such serial port";
        QTest::newRow("a bridge where nothing listens")
            << up << Setup::ClosedBridge
            << "rvx-strings: %1: connection refused; nothing listens on port %2 of 127.0.0.1";
        QTest::newRow("a bridge whose name is not known")
            << QStringList{"--monitor", "tcp://rvx-bridge.invalid:4001"} << Setup::None
            << "rvx-strings: tcp://rvx-bridge.invalid:4001: host rvx-bridge.invalid not found";
        // The holder of the port is the test, which started rvx-strings.
        QTest::newRow("a port held by another program")
            << up << Setup::PortHeld
            << "rvx-strings: %1: the port is in use by another program (locked by cli_bus_tests, "
               "process %5)";
        QTest::newRow("a port held by another program, sent to by a link to it")
            << up << Setup::PortHeldUnderALink
            << "rvx-strings: %1: the port is in use by another program (locked by cli_bus_tests, "
               "process %5)";
        QTest::newRow("a port another process holds a lock on")
            << up << Setup::PortLocked
            << "rvx-strings: %1: the port is in use by another program (locked by flock, process "
               "%4)";
        QTest::newRow("a port another program has open without a lock")
            << up << Setup::PortOpenElsewhere
            << "rvx-strings: %1: the port is in use by another program (sleep, process %3)";
        QTest::newRow("watching a port another program has open without a lock")
            << QStringList{"--monitor", "%1"} << Setup::PortOpenElsewhere
            << "rvx-strings: %1: the port is in use by another program (sleep, process %3)";
        QTest::newRow("watching a port another process holds a lock on")
            << QStringList{"--monitor", "%1"} << Setup::PortLocked
            << "rvx-strings: %1: the port is in use by another program (locked by flock, process "
               "%4)";
        QTest::newRow("a name too long for the system")
            << QStringList{"123456", "--command", "up", "--send", "/dev/" + QString(300, 'x')}
            << Setup::None
            << "rvx-strings: \"/dev/xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\"... (305 characters): "
               "the name is too long for the system (at most 255 bytes a part of the path, 4095 "
               "in all)";
        QTest::newRow("watching a directory")
            << QStringList{"--monitor", "/dev"} << Setup::None
            << "rvx-strings: /dev: is a directory, not a serial port";
        QTest::newRow("a line the port refuses")
            << up + QStringList{"--parity", "even"} << Setup::None
            << "rvx-strings: %1: the port does not take 4800 baud with even parity (Invalid "
               "argument)";
        QTest::newRow("a frame the system does not take in time")
            << up + QStringList{"--timeout", "0.3"} << Setup::OutputStopped
            << "rvx-strings: %1: the frame was not taken for sending within 0.3 s";
    }
    void aBusFailureIsExitStatus4() {
        QFETCH(QStringList, arguments);
        QFETCH(Setup, setup);
        QFETCH(QString, message);
        PseudoTerminal line(clock);
        QString target = line.path();
        quint16 port = 0;
        if (setup == Setup::ClosedBridge) {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            port = closed.serverPort();
            target = QStringLiteral("tcp://127.0.0.1:%1").arg(port);
        }
        rvx::bus::Watcher holder;
        QTemporaryDir links;
        if (setup == Setup::PortHeldUnderALink) {
            target = links.filePath(QStringLiteral("usb-RVX-A1B2-if00-port0"));
            QVERIFY(QFile::link(line.path(), target));
        }
        if (setup == Setup::PortHeld || setup == Setup::PortHeldUnderALink) {
            QSignalSpy held(&holder, &rvx::bus::Watcher::opened);
            QVERIFY(holder.start(*rvx::bus::readTarget(line.path()).target));
            QVERIFY(held.wait(5000));
        }
        if (setup == Setup::OutputStopped) {
            line.stopOutput();
        }
        std::optional<Holder> other;
        if (setup == Setup::PortLocked || setup == Setup::PortOpenElsewhere) {
            other.emplace(line.path(),
                          setup == Setup::PortLocked ? Holder::Way::Locked : Holder::Way::Open);
            QVERIFY2(other->holds(), "flock(1) from util-linux and sh are needed");
        }
        for (QString& argument : arguments) {
            argument.replace(QStringLiteral("%1"), target);
        }
        Tool tool(arguments);
        QVERIFY(tool.ended());
        QCOMPARE(tool.exitCode(), 4);
        QCOMPARE(tool.out(), QByteArray());
        message.replace(QStringLiteral("%1"), target)
            .replace(QStringLiteral("%2"), QString::number(port))
            .replace(QStringLiteral("%3"), QString::number(other ? other->pid() : 0))
            .replace(QStringLiteral("%4"), QString::number(other ? other->started() : 0))
            .replace(QStringLiteral("%5"), QString::number(QCoreApplication::applicationPid()));
        QCOMPARE(tool.errLines(), QStringList{message});
        if (setup == Setup::OutputStopped) {
            line.restartOutput();
        }
        holder.stop();
        QVERIFY(line.nothingSent());
    }

    // One end of socat's pair of pseudo-terminals, as a bench without an adapter has it: socat
    // holds both sides of each end and is the line's far end, not a program in the way; a
    // program that has the same end open is refused as any other holder.
    void oneEndOfASocatPairIsALine() {
        SocatPair pair;
        QVERIFY2(pair.started(), "socat (scripts/install-deps) did not start");
        const rvx::bus::Target first = *rvx::bus::readTarget(pair.first()).target;
        const rvx::bus::Target second = *rvx::bus::readTarget(pair.second()).target;
        {
            rvx::bus::Watcher far;
            QSignalSpy opened(&far, &rvx::bus::Watcher::opened);
            QByteArray arrived;
            connect(&far, &rvx::bus::Watcher::received, this,
                    [&arrived](const rvx::bus::Received& run) { arrived += run.bytes; });
            QVERIFY(far.start(second));
            QVERIFY(opened.wait(5000));
            Tool send({"123456", "--command", "up", "--send", pair.first()});
            QVERIFY(send.ended());
            QCOMPARE(send.err(), QString());
            QCOMPARE(send.exitCode(), 0);
            QCOMPARE(QString::fromUtf8(send.out()),
                     "Sent Up to single motor 123456 on " + pair.first() +
                         " (4800 8O1): AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30\n");
            QTRY_COMPARE_WITH_TIMEOUT(arrived, up123456, 5000);
        }

        Tool monitor({"--monitor", pair.second(), "--count", "1"});
        QVERIFY2(monitor.saysOnError("watching"), qPrintable(monitor.err()));
        const rvx::Frame up =
            *rvx::frameFor(rvx::commandOf(rvx::CommandId::Up), rvx::AddressKind::Single,
                           {0x12, 0x34, 0x56}, rvx::startValues());
        const auto error = rvx::bus::sendFrames(first, std::span(&up, 1));
        QVERIFY2(!error, qPrintable(error ? error->message : QString()));
        QVERIFY(monitor.ended());
        QCOMPARE(monitor.exitCode(), 0);
        QCOMPARE(monitor.outLines().size(), 1);
        QCOMPARE(monitor.outLines()[0].mid(14),
                 spaced(up123456) + "  Up  single motor 123456  valid");

        Holder opener(pair.first(), Holder::Way::Open);
        QVERIFY(opener.holds());
        Tool refused({"123456", "--command", "up", "--send", pair.first()});
        QVERIFY(refused.ended());
        QCOMPARE(refused.exitCode(), 4);
        QCOMPARE(refused.errLines(),
                 QStringList{QStringLiteral("rvx-strings: %1: the port is in use by another "
                                            "program (sleep, process %2)")
                                 .arg(pair.first())
                                 .arg(opener.pid())});
    }

    // Ctrl+C while a frame waits to go out: the send is given up and said to be perhaps done,
    // and the port's line is set back as it was found (here: left at odd parity by another
    // run), so that the next run uses the port.
    void ctrlCDuringASendSaysTheFrameMayHaveGone() {
        PseudoTerminal line(clock);
        line.leaveAtOddParity();
        const termios found = line.settings();
        line.stopOutput();
        Tool tool({"123456", "--command", "up", "--send", line.path()});
        QTRY_COMPARE_WITH_TIMEOUT(
            [&line] {
                const termios now = line.settings();
                return cfgetospeed(&now);
            }(),
            speed_t{B4800}, 5000);
        QVERIFY(tool.running());
        tool.signal(SIGINT);
        QVERIFY(tool.ended());
        QCOMPARE(tool.exitCode(), 4);
        QCOMPARE(tool.out(), QByteArray());
        QCOMPARE(tool.errLines(), QStringList{"rvx-strings: " + line.path() +
                                              ": interrupted; the frame may have been sent"});
        QCOMPARE(line.settings().c_cflag, found.c_cflag);
        const termios after = line.settings();
        QCOMPARE(cfgetospeed(&after), cfgetospeed(&found));
        line.restartOutput();

        Tool next({"123456", "--command", "stop", "--send", line.path()});
        QVERIFY(next.ended());
        QCOMPARE(next.err(), QString());
        QCOMPARE(next.exitCode(), 0);
    }

    // ser2net, the bridge of Debian: a frame it has read and passed on is sent; while it is
    // stopped nothing is, and the wait ends at the timeout; what it says when it cannot open
    // its own port is shown.
    void ser2netPassesTheFrameOnOrTheSendFails() {
        PseudoTerminal line(clock);
        Ser2net bridge(line.path());
        QVERIFY2(bridge.started(), "ser2net (scripts/install-deps) did not start");

        Tool sent({"123456", "--command", "up", "--send", bridge.target()});
        QVERIFY(sent.ended());
        QCOMPARE(sent.err(), QString());
        QCOMPARE(sent.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(sent.out()),
                 "Up to single motor 123456 taken by the bridge at " + bridge.target() +
                     " (line 4800 8O1 assumed; the bridge does not report delivery to its line): "
                     "AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30\n");
        QTRY_COMPARE_WITH_TIMEOUT(line.arrived().bytes, up123456, 5000);

        {
            Tool watching({"--monitor", bridge.target()});
            QVERIFY(watching.saysOnError("watching"));
            Tool turnedAway({"123456", "--command", "up", "--send", bridge.target()});
            QVERIFY(turnedAway.ended());
            QCOMPARE(turnedAway.exitCode(), 4);
            QCOMPARE(turnedAway.errLines(),
                     QStringList{"rvx-strings: " + bridge.target() +
                                 ": the connection to the bridge was lost (the bridge said: Port "
                                 "already in use)"});
            watching.signal(SIGINT);
            QVERIFY(watching.ended());
        }

        bridge.pause();
        Tool stalled({"123456", "--command", "down", "--send", bridge.target(), "--timeout", "1"});
        QVERIFY(stalled.ended(5000));
        QCOMPARE(stalled.exitCode(), 4);
        QCOMPARE(stalled.out(), QByteArray());
        QCOMPARE(stalled.errLines(),
                 QStringList{"rvx-strings: " + bridge.target() +
                             ": the bridge did not confirm the frame within 1 s; it is stopped, "
                             "does not read, or does not close after a frame, and the frame may "
                             "not have reached its line"});
        bridge.resume();

        Ser2net broken(QStringLiteral("/dev/ttyRVX-none"));
        QVERIFY(broken.started());
        Tool refused({"123456", "--command", "up", "--send", broken.target()});
        QVERIFY(refused.ended());
        QCOMPARE(refused.exitCode(), 4);
        QCOMPARE(refused.errLines(),
                 QStringList{"rvx-strings: " + broken.target() +
                             ": the connection to the bridge was lost (the bridge said: Device "
                             "open failure: Value or file not found)"});
    }

    // ser2net whose own line is congested on every other try: its serial line takes no bytes
    // while the frame is sent (its output stopped, as a line held back by flow control). A
    // bridge may read the frame and close cleanly before it has written it to its line, so a
    // clean close says only that it took the frame. Every run either fails or says that the
    // bridge took the frame, never that it was sent; a congested run's frame is not on the line
    // when the run ends. Between runs the line moves again, so that ser2net lets go of the port.
    void aCongestedBridgeIsNeverSaidToHaveSent() {
        PseudoTerminal line(clock);
        Ser2net bridge(line.path());
        QVERIFY2(bridge.started(), "ser2net (scripts/install-deps) did not start");
        const QString taken =
            "Up to single motor 123456 taken by the bridge at " + bridge.target() +
            " (line 4800 8O1 assumed; the bridge does not report delivery to its line): AB F1 FF "
            "FF FF FF 12 34 56 FE FF FF 09 30\n";
        QList<int> failures{0, 0};  // free, congested
        for (int attempt = 1; attempt <= 40; ++attempt) {
            const bool congested = attempt % 2 == 1;
            if (congested) {
                line.stopOutput();
            }
            const qsizetype before = line.arrived().bytes.size();
            Tool tool({"123456", "--command", "up", "--send", bridge.target(), "--timeout", "0.5"});
            QVERIFY(tool.ended(5000));
            const QString said = QStringLiteral("try %1: exit %2, %3%4")
                                     .arg(attempt)
                                     .arg(tool.exitCode())
                                     .arg(QString::fromUtf8(tool.out()), tool.err());
            if (congested) {
                QTest::qWait(10);
                QVERIFY2(line.arrived().bytes.size() == before, qPrintable(said));
            }
            if (tool.exitCode() == 4) {
                ++failures[congested ? 1 : 0];
                QVERIFY2(tool.out().isEmpty(), qPrintable(said));
                QVERIFY2(tool.err().startsWith("rvx-strings: " + bridge.target() + ": "),
                         qPrintable(said));
            } else {
                QVERIFY2(tool.exitCode() == 0, qPrintable(said));
                QVERIFY2(QString::fromUtf8(tool.out()) == taken, qPrintable(said));
                QVERIFY2(tool.err().isEmpty(), qPrintable(said));
            }
            line.restartOutput();
            // ser2net writes what it held and lets go of the port, or has dropped it already.
            (void)QTest::qWaitFor([&] { return line.arrived().bytes.size() > before; }, 300);
            QTest::qWait(50);
        }
        qInfo(
            "of 20 sends each, %d failed on a free line and %d on a congested one; the rest "
            "were taken by the bridge",
            failures[0], failures[1]);
    }

    // A resolver that never answers: rvx-strings ends at the timeout, not when the lookup
    // gives up. The resolver is the test's own, a socket on port 53 of 127.0.0.1 that reads
    // nothing, named in a resolv.conf that a mount namespace of its own shows to rvx-strings.
    void aResolverThatNeverAnswersEndsTheRunAtTheTimeout_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("--send") << QStringList{"123456", "--command", "up", "--send",
                                               "tcp://rvx-bridge.invalid:4001"};
        QTest::newRow("--monitor") << QStringList{"--monitor", "tcp://rvx-bridge.invalid:4001"};
    }
    void aResolverThatNeverAnswersEndsTheRunAtTheTimeout() {
        QFETCH(QStringList, arguments);
        if (::geteuid() != 0) {
            QSKIP("a resolver on port 53 and a mount namespace need root");
        }
        QUdpSocket resolver;
        QVERIFY(resolver.bind(QHostAddress::LocalHost, 53));
        QTemporaryDir directory;
        QVERIFY(directory.isValid());
        QFile conf(directory.filePath(QStringLiteral("resolv.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("nameserver 127.0.0.1\noptions timeout:30 attempts:5\n");
        conf.close();
        const QString script =
            QStringLiteral("mount --bind \"$1\" /etc/resolv.conf && shift && exec \"$@\"");
        QElapsedTimer took;
        took.start();
        Tool tool(QStringLiteral("unshare"),
                  QStringList{"-m", "sh", "-c", script, "sh", conf.fileName(), RVX_STRINGS_PATH} +
                      arguments + QStringList{"--timeout", "1"});
        // The timeout is 1 s; the process is given a few more to start and end.
        QVERIFY(tool.ended(4000));
        QCOMPARE_GE(took.elapsed(), 1000);
        QCOMPARE(tool.exitCode(), 4);
        QCOMPARE(tool.errLines(), QStringList{"rvx-strings: tcp://rvx-bridge.invalid:4001: no "
                                              "connection within 1 s"});
    }

    // ---- --monitor ----

    // A reader that goes away (--monitor | head -1) ends the watch with exit status 3 and a
    // message, not by a signal; the port's line is set back.
    void aClosedStandardOutputEndsTheMonitorWithStatus3() {
        PseudoTerminal line(clock);
        line.leaveAtOddParity();
        const tcflag_t found = line.settings().c_cflag;
        QProcess head;
        Tool tool({"--monitor", line.path(), "--format", "json"}, head);
        head.start(QStringLiteral("head"), {QStringLiteral("-1")});
        QVERIFY(tool.saysOnError("watching"));
        line.write(up123456);
        QVERIFY(head.waitForFinished(10000));
        QCOMPARE(head.readAllStandardOutput().count('\n'), 1);
        line.write(up123456);  // the line that finds no reader
        QVERIFY(tool.ended());
        QCOMPARE(tool.exitCode(), 3);
        QCOMPARE(tool.errLines().last(),
                 QStringLiteral("rvx-strings: cannot write standard output"));
        QCOMPARE(line.settings().c_cflag, found);
    }

    // Noise, a frame, a group frame split across two writes and a frame with a wrong checksum;
    // --count 3 stops after the third frame, so the frame after it is not reported.
    void monitorReportsEachRunAsItArrives_data() {
        QTest::addColumn<QString>("format");
        QTest::newRow("text") << "text";
        QTest::newRow("json") << "json";
    }
    void monitorReportsEachRunAsItArrives() {
        QFETCH(QString, format);
        PseudoTerminal line(clock);
        Tool tool({"--monitor", line.path(), "--count", "3", "--format", format});
        QVERIFY2(tool.saysOnError("watching"), qPrintable(tool.err()));
        const QDateTime before = QDateTime::currentDateTimeUtc();
        line.write(fromHex("00 11 22") + up123456 + upGroup123456.left(5));
        QTest::qWait(60);
        line.write(upGroup123456.mid(5) + upChecksumOff + up123456);
        QVERIFY(tool.ended());
        QCOMPARE(tool.exitCode(), 0);
        QCOMPARE(tool.errLines(),
                 QStringList{"rvx-strings: watching " + line.path() + " (4800 8O1); Ctrl+C stops"});
        QVERIFY(line.nothingSent());  // watching never writes

        const QStringList lines = tool.outLines();
        QCOMPARE(lines.size(), 4);
        if (format == QStringLiteral("text")) {
            QStringList rests;
            for (const QString& text : lines) {
                QVERIFY2(textTime.match(text).hasMatch(), qPrintable(text));
                rests << text.mid(14);
            }
            QCOMPARE(rests,
                     (QStringList{
                         "00 11 22  noise, 3 bytes",
                         spaced(up123456) + "  Up  single motor 123456  valid",
                         spaced(upGroup123456) + "  Up  group 123456  valid",
                         spaced(upChecksumOff) +
                             "  Up  single motor 123456  not valid: bytes 13-14: checksum is 09 "
                             "20, should be 09 30, the 16-bit sum of bytes 1 to 12",
                     }));
            return;
        }
        const QByteArrayList frames{up123456, upGroup123456, upChecksumOff};
        for (qsizetype k = 0; k < lines.size(); ++k) {
            QJsonParseError error{};
            QJsonObject object = QJsonDocument::fromJson(lines[k].toUtf8(), &error).object();
            QCOMPARE(error.error, QJsonParseError::NoError);
            // When the bytes arrived, in UTC, to the millisecond.
            const QString time = object.take(QStringLiteral("time")).toString();
            QVERIFY2(time.endsWith(QLatin1Char('Z')), qPrintable(time));
            const QDateTime arrived = QDateTime::fromString(time, Qt::ISODateWithMs);
            QVERIFY2(arrived.isValid() && arrived >= before.addMSecs(-1000) &&
                         arrived <= QDateTime::currentDateTimeUtc(),
                     qPrintable(time));
            if (k == 0) {
                QCOMPARE(object, (QJsonObject{{"bytes", "00 11 22"}, {"noise", true}}));
                continue;
            }
            // The report of --decode --format json, but read from no text.
            QJsonObject expected = decodeReport(frames[k - 1]);
            QVERIFY(!expected.isEmpty());
            expected[QStringLiteral("notation")] = QJsonValue::Null;
            QCOMPARE(object, expected);
        }
    }

    // Ctrl+C: what arrived is written, the count goes to standard error, exit status 0. The
    // first line is read while the monitor still runs: each line is flushed as it comes.
    void ctrlCStopsTheMonitorCleanly() {
        PseudoTerminal line(clock);
        Tool tool({"--monitor", line.path()});
        QVERIFY(tool.saysOnError("watching"));
        line.write(up123456 + up123456.left(6));
        QVERIFY(tool.hasOutLines(1));
        QVERIFY(tool.running());
        tool.signal(SIGINT);
        QVERIFY(tool.ended());
        QCOMPARE(tool.exitCode(), 0);
        const QStringList lines = tool.outLines();
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0].mid(14), spaced(up123456) + "  Up  single motor 123456  valid");
        QCOMPARE(lines[1].mid(14), spaced(up123456.left(6)) + "  noise, 6 bytes");
        QCOMPARE(tool.errLines().last(),
                 QStringLiteral("rvx-strings: stopped; 1 frame and 1 run of noise seen"));

        // The port was let go.
        Tool send({"123456", "--command", "up", "--send", line.path()});
        QVERIFY(send.ended());
        QCOMPARE(send.exitCode(), 0);
    }

    // A bridge that floods the monitor (a fault, or the wrong port behind it): Ctrl+C and the
    // bridge's end are each answered within a second, every time, and the memory of the
    // monitor stays the same however long the flood lasts. The lines go to /dev/null.
    void aFloodFromABridgeNeverStallsTheMonitor_data() {
        QTest::addColumn<bool>("interrupted");
        QTest::newRow("Ctrl+C") << true;
        QTest::newRow("the bridge closing") << false;
    }
    void aFloodFromABridgeNeverStallsTheMonitor() {
        QFETCH(bool, interrupted);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // The sanitizers' build keeps freed memory aside for reuse later; here it is given back
        // at once, so that the memory held is what the program holds.
        const QString sanitizer = environment.value(QStringLiteral("ASAN_OPTIONS"));
        environment.insert(QStringLiteral("ASAN_OPTIONS"),
                           (sanitizer.isEmpty() ? QString() : sanitizer + QLatin1Char(':')) +
                               QStringLiteral("quarantine_size_mb=0"));
        qint64 slowest = 0;
        for (int attempt = 1; attempt <= 10; ++attempt) {
            Flood flood;
            QVERIFY2(flood.listening(), "socat (scripts/install-deps) did not start");
            QProcess tool;
            QByteArray err;
            connect(&tool, &QProcess::readyReadStandardError, this,
                    [&] { err += tool.readAllStandardError(); });
            tool.setProcessEnvironment(environment);
            tool.setStandardOutputFile(QProcess::nullDevice());
            tool.start(QStringLiteral(RVX_STRINGS_PATH), {"--monitor", flood.target()});
            QVERIFY(QTest::qWaitFor([&] { return err.contains("watching"); }, 10000));
            if (attempt == 1) {
                QTest::qWait(300);
                const qint64 early = residentKb(tool.processId());
                QTest::qWait(1500);
                const qint64 late = residentKb(tool.processId());
                QVERIFY(early > 0 && late > 0);
                QCOMPARE_LE(late - early, 2048);
            } else {
                QTest::qWait(200);
            }
            QCOMPARE(tool.state(), QProcess::Running);
            QElapsedTimer took;
            took.start();
            if (interrupted) {
                ::kill(static_cast<pid_t>(tool.processId()), SIGINT);
            } else {
                flood.close();
            }
            QVERIFY(QTest::qWaitFor([&] { return tool.state() == QProcess::NotRunning; }, 10000));
            const qint64 ended = took.elapsed();
            slowest = std::max(slowest, ended);
            err += tool.readAllStandardError();
            const QString last = QString::fromUtf8(err.trimmed()).split(QLatin1Char('\n')).last();
            QVERIFY2(ended <= 1000,
                     qPrintable(QStringLiteral("try %1: %2 ms").arg(attempt).arg(ended)));
            if (interrupted) {
                QCOMPARE(tool.exitCode(), 0);
                QVERIFY2(last.startsWith(QStringLiteral("rvx-strings: stopped; 0 frames and ")),
                         qPrintable(last));
            } else {
                QCOMPARE(tool.exitCode(), 4);
                QCOMPARE(last,
                         "rvx-strings: " + flood.target() +
                             ": the connection to the bridge was lost (the bridge closed it)");
            }
        }
        qInfo("the slowest of ten ends took %lld ms", static_cast<long long>(slowest));
    }

    void aPortLostWhileWatchingKeepsWhatWasWritten() {
        PseudoTerminal line(clock);
        Tool tool({"--monitor", line.path(), "--format", "json"});
        QVERIFY(tool.saysOnError("watching"));
        line.write(up123456);
        QVERIFY(tool.hasOutLines(1));
        line.closeMaster();
        QVERIFY(tool.ended());
        QCOMPARE(tool.exitCode(), 4);
        QCOMPARE(tool.outLines().size(), 1);
        QCOMPARE(tool.errLines().last(), "rvx-strings: " + line.path() + ": the port was lost");
    }

    // ---- --list-ports ----

    void listPortsNamesThePortsOfTheMachine() {
        QStringList locations;
        QStringList unknown;  // those without device information
        for (const auto& port : rvx::bus::listPorts()) {
            locations << port.systemLocation;
            if (!port.hasDeviceInformation()) {
                unknown << port.systemLocation;
            }
        }
        const QString note = QStringLiteral(
            "a pseudo-terminal (/dev/pts/N) or a link to a port (/dev/serial/by-id/...) is a "
            "target too");

        Tool json({"--list-ports", "--format", "json"});
        QVERIFY(json.ended());
        QCOMPARE(json.exitCode(), 0);
        const QJsonArray array = QJsonDocument::fromJson(json.out()).array();
        QStringList listed;
        for (const auto& value : array) {
            const QJsonObject object = value.toObject();
            QCOMPARE(object.keys(),
                     (QStringList{"description", "link", "manufacturer", "port", "serial"}));
            listed << object[QStringLiteral("port")].toString();
        }
        QCOMPARE(listed, locations);

        Tool text({"--list-ports"});
        QVERIFY(text.ended());
        QCOMPARE(text.exitCode(), 0);
        if (locations.isEmpty()) {
            QCOMPARE(text.out(), QByteArray());
            QCOMPARE(text.errLines(), QStringList{"rvx-strings: no serial ports found; " + note});
            return;
        }
        QCOMPARE(text.errLines(), QStringList{"rvx-strings: " + note});
        const QStringList lines = text.outLines();
        QCOMPARE(lines.size(), locations.size() + 1);
        QVERIFY2(lines[0].startsWith(QStringLiteral("port ")), qPrintable(lines[0]));
        QVERIFY(lines[0].contains(QStringLiteral("  description  ")));
        for (qsizetype k = 0; k < locations.size(); ++k) {
            QVERIFY2(lines[k + 1].startsWith(locations[k] + ' '), qPrintable(lines[k + 1]));
            QCOMPARE(lines[k + 1].contains(QStringLiteral("  (no device information)  ")),
                     unknown.contains(locations[k]));
        }
    }
};

QTEST_GUILESS_MAIN(CliBusTest)
#include "bus_test.moc"
