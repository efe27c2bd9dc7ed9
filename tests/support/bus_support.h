// Real stand-ins for the bus in the tests: a pseudo-terminal pair, which is a kernel serial line
// whose far end the test holds, and a TCP server on 127.0.0.1 standing for a serial bridge.
// Both record what arrives and when, from the test's event loop.
#pragma once

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QList>
#include <QProcess>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>
#include <span>
#include <vector>

#include "rvx/frame.h"

namespace bus_test {

inline QByteArray bytesOf(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())};
}

inline QByteArray fromHex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// What arrived at the far end, with the time (on one clock per test) of each piece.
struct Arrivals {
    QByteArray bytes;
    std::vector<std::pair<qsizetype, qint64>> pieces;  // end of each piece in bytes, its time

    void add(const QByteArray& piece, qint64 time) {
        bytes += piece;
        pieces.emplace_back(bytes.size(), time);
    }
    // When the byte at this place arrived.
    [[nodiscard]] qint64 timeOf(qsizetype at) const {
        for (const auto& [end, time] : pieces) {
            if (at < end) {
                return time;
            }
        }
        return -1;
    }
};

// A pseudo-terminal pair: the library opens the slave by its path, the test holds the master.
// The test keeps a slave descriptor of its own as well, to read back the line settings.
class PseudoTerminal {
public:
    explicit PseudoTerminal(const QElapsedTimer& clock) : clock_(clock) {
        termios raw{};
        ::cfmakeraw(&raw);
        char name[256] = {};
        if (::openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
            qFatal("openpty failed");
        }
        path_ = QString::fromLocal8Bit(name);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        // A child process (rvx-strings, a probe) opens the line by its path and inherits
        // neither end: closing the master must end the line for it too.
        ::fcntl(master_, F_SETFD, FD_CLOEXEC);
        ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
        notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readMaster(); });
    }
    ~PseudoTerminal() {
        closeMaster();
        if (slave_ >= 0) {
            ::close(slave_);
        }
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    [[nodiscard]] const QString& path() const { return path_; }
    [[nodiscard]] const Arrivals& arrived() const { return arrived_; }

    // Bytes onto the line towards the library.
    void write(const QByteArray& bytes) const {
        const auto n = ::write(master_, bytes.constData(), static_cast<std::size_t>(bytes.size()));
        QCOMPARE(static_cast<qsizetype>(n), bytes.size());
    }

    // The far end goes away, as when an adapter is pulled out.
    void closeMaster() {
        notifier_.reset();
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

    // Stops the line's output, so that the system takes no more bytes for sending.
    void stopOutput() const { ::tcflow(slave_, TCOOFF); }
    void restartOutput() const { ::tcflow(slave_, TCOON); }

    // Leaves the line as another program left it: a pseudo-terminal keeps PARODD, not PARENB.
    void leaveAtOddParity() const {
        termios t = settings();
        t.c_cflag |= PARENB | PARODD;
        ::tcsetattr(slave_, TCSANOW, &t);
    }

    // The settings the kernel keeps for the line. A pseudo-terminal keeps the baud rate but
    // always has 8 data bits and no parity bit, whatever is asked.
    [[nodiscard]] termios settings() const {
        termios t{};
        ::tcgetattr(slave_, &t);
        return t;
    }

    // The line's settings as they were when the first bytes arrived, while the sender still
    // had the port open (a port's settings are set back when it is closed).
    [[nodiscard]] termios settingsAtFirstArrival() const { return firstArrival_; }

    // Nothing at all waiting on the master side, after reading what was there.
    [[nodiscard]] bool nothingSent() {
        readMaster();
        char byte = 0;
        return ::read(master_, &byte, 1) < 0 && errno == EAGAIN;
    }

private:
    void readMaster() {
        char buffer[4096];
        for (;;) {
            const auto n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            if (arrived_.bytes.isEmpty()) {
                firstArrival_ = settings();
            }
            arrived_.add(QByteArray(buffer, n), clock_.elapsed());
        }
    }

    const QElapsedTimer& clock_;
    termios firstArrival_{};
    int master_ = -1;
    int slave_ = -1;
    QString path_;
    std::unique_ptr<QSocketNotifier> notifier_;
    Arrivals arrived_;
};

// A serial bridge on 127.0.0.1: records what each connection sends, and can send bytes to the
// library or close a connection once a number of bytes has arrived.
// Another program holding a port until it is destroyed: flock(1) from util-linux with a lock on
// it, as a program that opens a port exclusively (pyserial's exclusive=True) holds it, or sh
// with the port merely open, as a terminal program has it. Either ends as sleep, the process
// that holds the port.
class Holder {
public:
    enum class Way { Locked, Open };
    Holder(const QString& path, Way way) {
        if (way == Way::Locked) {
            process_.start(QStringLiteral("flock"),
                           {path, QStringLiteral("-c"), QStringLiteral("echo $$; exec sleep 30")});
        } else {
            process_.start(QStringLiteral("sh"),
                           {QStringLiteral("-c"),
                            QStringLiteral("exec 3<>\"$0\" && echo $$ && exec sleep 30"), path});
        }
        if (process_.waitForReadyRead(5000)) {
            pid_ = static_cast<pid_t>(process_.readAllStandardOutput().trimmed().toInt());
        }
    }
    ~Holder() { release(); }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    [[nodiscard]] bool holds() const { return pid_ > 0; }
    [[nodiscard]] pid_t pid() const { return pid_; }
    // The program started: flock(1) itself, which took the lock, or sh, which became sleep.
    [[nodiscard]] pid_t started() const { return static_cast<pid_t>(process_.processId()); }
    // Ends the holding program; the port is free once this returns.
    void release() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            pid_ = 0;
        }
        process_.waitForFinished(5000);
    }

private:
    QProcess process_;
    pid_t pid_ = 0;
};

// The pair of pseudo-terminals socat makes, a serial line for a bench without an adapter:
// what is written to one end comes out of the other. The ends are links in a directory of
// their own; socat holds both sides of each pseudo-terminal itself.
class SocatPair {
public:
    SocatPair() {
        if (!directory_.isValid()) {
            return;
        }
        process_.setStandardErrorFile(QProcess::nullDevice());
        process_.start(QStringLiteral("socat"),
                       {QStringLiteral("pty,raw,echo=0,link=") + first(),
                        QStringLiteral("pty,raw,echo=0,link=") + second()});
        started_ = process_.waitForStarted(5000) &&
                   QTest::qWaitFor(
                       [this] { return QFile::exists(first()) && QFile::exists(second()); }, 5000);
    }
    ~SocatPair() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    SocatPair(const SocatPair&) = delete;
    SocatPair& operator=(const SocatPair&) = delete;

    [[nodiscard]] bool started() const { return started_; }
    [[nodiscard]] QString first() const { return directory_.filePath(QStringLiteral("a")); }
    [[nodiscard]] QString second() const { return directory_.filePath(QStringLiteral("b")); }
    [[nodiscard]] pid_t pid() const { return static_cast<pid_t>(process_.processId()); }

private:
    QTemporaryDir directory_;
    QProcess process_;
    bool started_ = false;
};

class Bridge {
public:
    explicit Bridge(const QElapsedTimer& clock) : clock_(clock) {
        if (!server_.listen(QHostAddress::LocalHost)) {
            qFatal("cannot listen on 127.0.0.1");
        }
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                connections_.push_back(socket);
                QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] {
                    arrived_.add(socket->readAll(), clock_.elapsed());
                    if (closeAfter_ > 0 && arrived_.bytes.size() >= closeAfter_) {
                        socket->close();
                    }
                });
            }
        });
    }

    [[nodiscard]] QString target() const {
        return QStringLiteral("tcp://127.0.0.1:%1").arg(server_.serverPort());
    }
    [[nodiscard]] const Arrivals& arrived() const { return arrived_; }
    [[nodiscard]] const QList<QTcpSocket*>& connections() const { return connections_; }

    void closeAfter(qsizetype bytes) { closeAfter_ = bytes; }

private:
    const QElapsedTimer& clock_;
    QTcpServer server_;
    QList<QTcpSocket*> connections_;
    Arrivals arrived_;
    qsizetype closeAfter_ = 0;
};

// A server on 127.0.0.1 that is no working bridge: it accepts connections and then either
// never reads from them or closes each at once.
class BrokenBridge {
public:
    enum class Fault { NeverReads, ClosesAtOnce };
    explicit BrokenBridge(Fault fault) {
        if (!server_.listen(QHostAddress::LocalHost)) {
            qFatal("cannot listen on 127.0.0.1");
        }
        QObject::connect(&server_, &QTcpServer::newConnection, [this, fault] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                ++accepted_;
                if (fault == Fault::ClosesAtOnce) {
                    socket->close();
                    socket->deleteLater();
                } else {
                    socket->setReadBufferSize(1);  // Qt reads no more than this for it
                    held_.push_back(socket);
                }
            }
        });
    }

    [[nodiscard]] QString target() const {
        return QStringLiteral("tcp://127.0.0.1:%1").arg(server_.serverPort());
    }
    [[nodiscard]] int accepted() const { return accepted_; }

private:
    QTcpServer server_;
    QList<QTcpSocket*> held_;
    int accepted_ = 0;
};

}  // namespace bus_test
