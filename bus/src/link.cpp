#include "link.h"

#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QPointer>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <algorithm>
#include <cerrno>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <climits>
#endif
#ifdef __linux__
#include <netinet/in.h>
#include <netinet/tcp.h>
#endif

namespace rvx::bus {

namespace {

// Each parity beside Qt's name for it: the one table both ways of the mapping walk.
constexpr std::pair<Parity, QSerialPort::Parity> serialParities[] = {
    {Parity::None, QSerialPort::NoParity},     {Parity::Even, QSerialPort::EvenParity},
    {Parity::Odd, QSerialPort::OddParity},     {Parity::Mark, QSerialPort::MarkParity},
    {Parity::Space, QSerialPort::SpaceParity},
};

QSerialPort::Parity serialParity(Parity parity) {
    for (const auto& [ours, qts] : serialParities) {
        if (ours == parity) {
            return qts;
        }
    }
    return QSerialPort::OddParity;
}

Parity parityOf(QSerialPort::Parity parity) {
    for (const auto& [ours, qts] : serialParities) {
        if (qts == parity) {
            return ours;
        }
    }
    return Parity::None;
}

double stopBitsOf(QSerialPort::StopBits bits) {
    switch (bits) {
        case QSerialPort::OneAndHalfStop:
            return 1.5;
        case QSerialPort::TwoStop:
            return 2;
        default:
            return 1;
    }
}

QSerialPort::DataBits serialDataBits() {
    static_assert(busDataBits == 8);
    return QSerialPort::Data8;
}

QSerialPort::StopBits serialStopBits() {
    static_assert(busStopBits == 1);
    return QSerialPort::OneStop;
}

// What is kept of the bytes a bridge sends, for the text it may say before it closes.
constexpr qsizetype heardBytes = 256;

std::mutex lookupMutex;
HostLookup installedLookup;  // empty: the system's

QList<QHostAddress> systemLookup(const QString& host) {
    const QHostInfo info = QHostInfo::fromName(host);
    return info.error() == QHostInfo::NoError ? info.addresses() : QList<QHostAddress>{};
}

HostLookup currentLookup() {
    const std::lock_guard lock(lookupMutex);
    return installedLookup ? installedLookup : HostLookup(systemLookup);
}

#ifdef Q_OS_UNIX
// A pseudo-terminal has no parity bit, and its driver drops PARENB from what is asked but
// keeps PARODD. Left at odd parity by a program that did not set it back, it would take a
// change to odd parity as no change, which Qt reports as a refusal; starting from no parity
// the change takes, as it does on a fresh one. Qt sets back on closing the settings it found.
void startFromNoParity(int descriptor) {
#ifdef CMSPAR
    constexpr tcflag_t parityBits = PARENB | PARODD | CMSPAR;
#else
    constexpr tcflag_t parityBits = PARENB | PARODD;
#endif
    termios settings{};
    if (::tcgetattr(descriptor, &settings) == 0 && (settings.c_cflag & parityBits) != 0) {
        settings.c_cflag &= ~parityBits;
        ::tcsetattr(descriptor, TCSANOW, &settings);
    }
}

// What a name is when it is no serial port, as the message says it; nullopt for a device,
// and for a name the system does not find (no such port).
std::optional<QString> notASerialPort(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        if (errno == ENAMETOOLONG) {
            return QStringLiteral(
                       "the name is too long for the system (at most %1 bytes a part of the "
                       "path, %2 in all)")
                .arg(NAME_MAX)
                .arg(PATH_MAX - 1);
        }
        return std::nullopt;
    }
    switch (info.st_mode & S_IFMT) {
        case S_IFCHR:
            return std::nullopt;
        case S_IFDIR:
            return QStringLiteral("is a directory, not a serial port");
        case S_IFIFO:
            return QStringLiteral("is a FIFO (a named pipe), not a serial port");
        case S_IFREG:
            return QStringLiteral("is a regular file, not a serial port");
        case S_IFSOCK:
            return QStringLiteral("is a socket, not a serial port");
        case S_IFBLK:
            return QStringLiteral("is a block device, not a serial port");
        default:
            return QStringLiteral("is not a serial port");
    }
}
#endif

}  // namespace

void setHostLookup(HostLookup lookup) {
    const std::lock_guard lock(lookupMutex);
    installedLookup = std::move(lookup);
}

namespace detail {

struct Link::Worker {
    std::mutex mutex;
    Link* link = nullptr;  // nullptr once the link no longer waits
};

Link::Link(const Target& target, const Settings& settings, QIODevice::OpenMode mode,
           QObject* parent)
    : QObject(parent), target_(target), settings_(settings), mode_(mode) {
    connectLimit_.setSingleShot(true);
    connectLimit_.setTimerType(Qt::PreciseTimer);
    connect(&connectLimit_, &QTimer::timeout, this, [this] { fail(Error::Kind::ConnectTimedOut); });
}

Link::~Link() {
    drop();
}

void Link::open() {
    if (target_.kind == Target::Kind::Serial) {
        openSerial();
    } else {
        openBridge();
    }
}

QIODevice* Link::device() const {
    if (!open_) {
        return nullptr;
    }
    return serial_ != nullptr ? static_cast<QIODevice*>(serial_) : socket_;
}

std::optional<Line> Link::line() const {
    if (!open_ || serial_ == nullptr) {
        return std::nullopt;
    }
    return Line{serial_->baudRate(), static_cast<int>(serial_->dataBits()),
                parityOf(serial_->parity()), stopBitsOf(serial_->stopBits()),
                serial_->flowControl() != QSerialPort::NoFlowControl};
}

void Link::openSerial() {
#ifdef Q_OS_UNIX
    // The device itself, whatever name it is given: a link (/dev/serial/by-id/...) and the
    // port it points to share one lock.
    QString path = target_.device;
    if (!path.startsWith(QLatin1Char('/'))) {
        path.prepend(QStringLiteral("/dev/"));
    }
    if (const auto what = notASerialPort(path)) {
        fail(Error::Kind::NoSuchPort, *what);
        return;
    }
    device_ = QFileInfo(path).canonicalFilePath();
    if (device_.isEmpty()) {
        fail(Error::Kind::NoSuchPort);
        return;
    }
#else
    device_ = target_.device;
#endif
    serial_ = new QSerialPort(this);
    serial_->setPortName(device_);
    bool opened = serial_->open(mode_);
    if (!opened && fallBackToReading_ && mode_ == QIODevice::ReadWrite &&
        serial_->error() == QSerialPort::PermissionError) {
        // A user who may only read the port (a log reader often may) still watches it; a send
        // on the connection is told why it cannot go.
        if (const auto refused = refusal(); refused && refused->kind == Error::Kind::AccessDenied) {
            serial_->clearError();
            if (serial_->open(QIODevice::ReadOnly)) {
                opened = true;
                mode_ = QIODevice::ReadOnly;
                Error error;
                error.kind = Error::Kind::AccessDenied;
                error.message = errorMessage(
                    error.kind, target_, settings_,
                    (refused->message.isEmpty()
                         ? QStringLiteral("join the dialout group (sudo usermod -aG dialout "
                                          "$USER), then log out and in again")
                         : refused->message) +
                        QStringLiteral("; it may only be read, and is watched read-only: stop "
                                       "watching and watch again once it may be written"));
                writeRefused_ = error;
            } else {
                serial_->open(mode_);  // the refusal of reading and writing is the one to tell
            }
        }
    }
    if (!opened) {
        switch (serial_->error()) {
            case QSerialPort::DeviceNotFoundError:
                fail(Error::Kind::NoSuchPort);
                break;
            case QSerialPort::PermissionError: {
                const auto error = refusal();
                fail(error->kind, error->message);
                break;
            }
            default:
                fail(Error::Kind::Other, QStringLiteral("cannot be opened as a serial port: ") +
                                             serial_->errorString());
                break;
        }
        return;
    }
    open_ = true;
#ifdef Q_OS_UNIX
    // Another program may hold the device by a lock on it (pyserial's exclusive ports do);
    // taking one here also keeps such programs off while the port is ours. A terminal program
    // or a script may hold it open with no lock at all: its reads would take the line's bytes,
    // and what it writes would run into the frame. Who holds it is found in the open files of
    // every process, thousands on a desktop: on a thread of its own, so that the window goes on
    // meanwhile.
    const bool locked = ::flock(serial_->handle(), LOCK_EX | LOCK_NB) != 0;
    check_ = std::make_shared<Worker>();
    check_->link = this;
    std::thread([check = check_, device = device_, locked] {
        const std::optional<QString> holder = locked ? lockHolder(device) : otherHolder(device);
        const std::lock_guard lock(check->mutex);
        if (check->link != nullptr) {
            // Dropped with the event should the link go before it is handled.
            QMetaObject::invokeMethod(
                check->link,
                [link = check->link, locked, holder] { link->portChecked(locked, holder); },
                Qt::QueuedConnection);
        }
    }).detach();
#else
    setUpLine();
#endif
}

void Link::portChecked(bool locked, const std::optional<QString>& holder) {
    if (failed_ || serial_ == nullptr || !serial_->isOpen()) {
        return;
    }
    check_.reset();
    if (locked) {
        fail(Error::Kind::PortBusy,
             holder ? QStringLiteral("locked by ") + *holder
                    : QStringLiteral("locked; the system does not say by which program"));
        return;
    }
    if (holder) {
        fail(Error::Kind::PortBusy, *holder);
        return;
    }
#ifdef Q_OS_UNIX
    startFromNoParity(serial_->handle());
#endif
    setUpLine();
}

void Link::setUpLine() {
    // Set on the open port, so that a setting the port refuses is known now.
    if (!serial_->setBaudRate(settings_.baudRate) || !serial_->setDataBits(serialDataBits()) ||
        !serial_->setParity(serialParity(settings_.parity)) ||
        !serial_->setStopBits(serialStopBits()) ||
        !serial_->setFlowControl(QSerialPort::NoFlowControl)) {
        fail(Error::Kind::LineRefused, serial_->errorString());
        return;
    }
    limitReading(readLimit_);
    connect(serial_, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        switch (error) {
            case QSerialPort::ReadError:
                // A read that finds the end of the line: a pseudo-terminal whose other side
                // closed, an adapter pulled out. What the system says then is stale.
                fail(Error::Kind::PortLost);
                break;
            case QSerialPort::WriteError:
            case QSerialPort::ResourceError:
                fail(Error::Kind::PortLost, serial_->errorString());
                break;
            default:
                break;
        }
    });
    emit opened();
}

// Why the system refused the port: its rights, or a lock another program holds on it. The
// kind, and for missing rights what would help (empty: the dialout group).
std::optional<Error> Link::refusal() const {
    Error error;
#ifdef Q_OS_WIN
    // Windows refuses a port that another program holds with "access denied".
    error.kind = Error::Kind::PortBusy;
#else
    const QByteArray name = QFile::encodeName(device_);
    const bool writes = mode_ != QIODevice::ReadOnly;
    if (::faccessat(AT_FDCWD, name.constData(), R_OK | (writes ? W_OK : 0), AT_EACCESS) == 0) {
        // Held so that no other may open it (a serial port of Qt's, locked as well).
        error.kind = Error::Kind::PortBusy;
        if (const auto owner = lockOwner(device_)) {
            error.message = QStringLiteral("locked by ") + *owner;
        }
        return error;
    }
    error.kind = Error::Kind::AccessDenied;
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) {
        return error;
    }
    // Which of the port's three sets of rights applies: its owner's to its owner, whatever the
    // others say, its group's to a member of the group, else the rest's.
    const auto allows = [&info, writes](mode_t read, mode_t write) {
        return (info.st_mode & read) != 0 && (!writes || (info.st_mode & write) != 0);
    };
    const bool ownerMay = allows(S_IRUSR, S_IWUSR);
    const bool groupMay = allows(S_IRGRP, S_IWGRP);
    const QString mode =
        QString::number(info.st_mode & 07777, 8).rightJustified(4, QLatin1Char('0'));
    const QString use = writes ? QStringLiteral("read and write") : QStringLiteral("read");
    const QString noOne =
        QStringLiteral("its mode (%1) lets no one %2 it; ask whoever set up the port")
            .arg(mode, use);
    const QFileInfo file(device_);
    if (info.st_uid == ::geteuid()) {
        if (!ownerMay) {
            error.message =
                QStringLiteral(
                    "you own it, but its mode (%1) does not let its owner %2 it; "
                    "chmod %3 on it would")
                    .arg(mode, use, writes ? QStringLiteral("u+rw") : QStringLiteral("u+r"));
        }
        return error;
    }
    const QString group = file.group();
    const bool member = [&info] {
        if (info.st_gid == ::getegid()) {
            return true;
        }
        const int count = ::getgroups(0, nullptr);
        std::vector<gid_t> groups(static_cast<std::size_t>(std::max(count, 0)));
        const int listed = ::getgroups(count, groups.data());
        return std::find(groups.begin(), groups.begin() + std::max(listed, 0), info.st_gid) !=
               groups.begin() + std::max(listed, 0);
    }();
    if (groupMay && !member) {
        if (!group.isEmpty() && group != QStringLiteral("dialout")) {
            error.message = QStringLiteral(
                                "join the %1 group (sudo usermod -aG %1 $USER), then log out "
                                "and in again")
                                .arg(group);
        }
    } else if (ownerMay) {
        error.message = QStringLiteral(
                            "only its owner%1 may open it, and joining a group does not help; "
                            "ask whoever set up the port")
                            .arg(file.owner().isEmpty()
                                     ? QString()
                                     : QStringLiteral(" (") + file.owner() + QLatin1Char(')'));
    } else {
        error.message = noOne;
    }
#endif
    return error;
}

void Link::openBridge() {
    socket_ = new QTcpSocket(this);
    connect(socket_, &QTcpSocket::connected, this, [this] {
        connectLimit_.stop();
        addresses_.clear();
        open_ = true;
        limitReading(readLimit_);
        emit opened();
    });
    connect(socket_, &QAbstractSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) {
                if (open_) {
                    if (error == QAbstractSocket::RemoteHostClosedError) {
                        bridgeClosed();
                    } else {
                        fail(Error::Kind::PortLost, socket_->errorString());
                    }
                    return;
                }
                if (!addresses_.isEmpty() && error != QAbstractSocket::SocketTimeoutError) {
                    connectTo(std::exchange(addresses_, {}));  // the next address of the name
                    return;
                }
                switch (error) {
                    case QAbstractSocket::ConnectionRefusedError:
                        fail(Error::Kind::ConnectionRefused);
                        break;
                    case QAbstractSocket::HostNotFoundError:
                        fail(Error::Kind::HostNotFound);
                        break;
                    case QAbstractSocket::SocketTimeoutError:
                        fail(Error::Kind::ConnectTimedOut);
                        break;
                    default:
                        fail(Error::Kind::Other,
                             QStringLiteral("cannot connect: ") + socket_->errorString());
                        break;
                }
            });
    connectLimit_.start(settings_.timeout);
    if (QHostAddress address; address.setAddress(target_.host)) {
        connectTo({address});
        return;
    }
    // The name is looked up on a thread of its own, which nothing waits for: the connection
    // limit ends the wait, and the thread may still be blocked when the program ends.
    lookup_ = std::make_shared<Worker>();
    lookup_->link = this;
    std::thread([lookup = lookup_, host = target_.host, resolve = currentLookup()] {
        const QList<QHostAddress> addresses = resolve(host);
        const std::lock_guard lock(lookup->mutex);
        if (lookup->link != nullptr) {
            // Dropped with the event should the link go before it is handled.
            QMetaObject::invokeMethod(
                lookup->link, [link = lookup->link, addresses] { link->connectTo(addresses); },
                Qt::QueuedConnection);
        }
    }).detach();
}

void Link::connectTo(const QList<QHostAddress>& addresses) {
    if (failed_ || socket_ == nullptr) {
        return;
    }
    if (addresses.isEmpty()) {
        fail(Error::Kind::HostNotFound);
        return;
    }
    addresses_ = addresses;
    const QHostAddress first = addresses_.takeFirst();
    socket_->abort();
    socket_->connectToHost(first, target_.port, mode_);
}

// The bridge closed the connection on its own: nothing was sent after the frame to make it.
void Link::bridgeClosed() {
    discardInput();
    fail(Error::Kind::PortLost, bridgeSaid().isEmpty()
                                    ? QStringLiteral("the bridge closed it")
                                    : QStringLiteral("the bridge said: ") + bridgeSaid());
}

bool Link::askToConfirm() {
#ifdef __linux__
    if (socket_ == nullptr || !open_) {
        return false;
    }
    // From here the connection is read here rather than by Qt, which tells an orderly close
    // from a reset only by its text: a descriptor of its own keeps it, and Qt lets go of its.
    const int descriptor = static_cast<int>(socket_->socketDescriptor());
    confirmingSocket_ = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    if (confirmingSocket_ < 0 || ::shutdown(confirmingSocket_, SHUT_WR) != 0) {
        forgetConfirmingSocket();
        return false;
    }
    discardInput();
    socket_->blockSignals(true);
    socket_->abort();
    socket_->blockSignals(false);
    confirming_ = true;
    confirmNotifier_ = new QSocketNotifier(confirmingSocket_, QSocketNotifier::Read, this);
    connect(confirmNotifier_, &QSocketNotifier::activated, this, [this] { readWhileConfirming(); });
    return true;
#else
    return false;
#endif
}

// A bridge that has read every byte answers the shut write side with an orderly close of its
// own, every byte and the close acknowledged. A bridge that closes with bytes unread resets
// the connection instead, and one that closed before the bytes came never acknowledges them.
void Link::readWhileConfirming() {
#ifdef __linux__
    for (;;) {
        char buffer[256];
        const auto count = ::recv(confirmingSocket_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (count > 0) {
            heard_ = (heard_ + QByteArray(buffer, static_cast<qsizetype>(count))).right(heardBytes);
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            return;
        }
        int unsent = 1;
        const bool orderly =
            count == 0 && ::ioctl(confirmingSocket_, TIOCOUTQ, &unsent) == 0 && unsent == 0;
        if (!orderly) {
            // What the bridge said tells more than that it closed.
            fail(Error::Kind::PortLost,
                 bridgeSaid().isEmpty()
                     ? QStringLiteral("the bridge closed it without taking the frame")
                     : QStringLiteral("the bridge said: ") + bridgeSaid());
            return;
        }
        confirming_ = false;
        close();
        emit confirmed();
        return;
    }
#endif
}

std::optional<qint64> Link::unsentBytes() const {
#ifdef __linux__
    // TIOCOUTQ is a tty's output queue and, as SIOCOUTQ, a TCP socket's unacknowledged bytes.
    int descriptor = -1;
    if (serial_ != nullptr && serial_->isOpen()) {
        descriptor = serial_->handle();
    } else if (confirmingSocket_ >= 0) {
        descriptor = confirmingSocket_;
    } else if (socket_ != nullptr && socket_->socketDescriptor() >= 0) {
        descriptor = static_cast<int>(socket_->socketDescriptor());
    }
    int count = 0;
    if (descriptor >= 0 && ::ioctl(descriptor, TIOCOUTQ, &count) == 0) {
        return count;
    }
#endif
    return std::nullopt;
}

void Link::limitReading(qint64 bytes) {
    readLimit_ = bytes;
    if (bytes <= 0) {
        return;
    }
    if (serial_ != nullptr) {
        serial_->setReadBufferSize(bytes);
    }
    if (socket_ != nullptr) {
        socket_->setReadBufferSize(bytes);
        if (socket_->state() == QAbstractSocket::ConnectedState) {
            // The system's own buffer as well, which would otherwise grow to megabytes, all of
            // it still to be read once the bridge has closed.
            socket_->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                                     static_cast<int>(bytes));
        }
    }
}

void Link::discardInput() {
    QIODevice* port = device();
    if (port == nullptr) {
        return;
    }
    const QByteArray bytes = port->readAll();
    if (socket_ != nullptr) {
        heard_ = (heard_ + bytes).right(heardBytes);
    }
}

// What the bridge sent as one line of plain text ("Device open failure: ..."), or nothing.
QString Link::bridgeSaid() const {
    const QByteArray text = heard_.trimmed();
    if (text.isEmpty()) {
        return {};
    }
    for (const char c : text) {
        if (c < ' ' || c > '~') {
            return {};
        }
    }
    return QString::fromLatin1(text);
}

void Link::forgetConfirmingSocket() {
    delete confirmNotifier_;
    confirmNotifier_ = nullptr;
#ifdef __linux__
    if (confirmingSocket_ >= 0) {
        ::close(confirmingSocket_);
        confirmingSocket_ = -1;
    }
#endif
}

void Link::close() {
    forgetConfirmingSocket();
    if (serial_ != nullptr && serial_->isOpen()) {
        serial_->close();
    }
    if (socket_ != nullptr && socket_->state() != QAbstractSocket::UnconnectedState) {
        socket_->disconnectFromHost();  // nothing is left to write: it closes now
        if (socket_->state() != QAbstractSocket::UnconnectedState) {
            socket_->abort();
        }
    }
    open_ = false;
    failed_ = true;  // nothing after a close is a failure of this link
}

void Link::drop() {
    connectLimit_.stop();
    forgetConfirmingSocket();
    for (const auto& worker : {lookup_, check_}) {
        if (worker) {
            const std::lock_guard lock(worker->mutex);
            worker->link = nullptr;
        }
    }
    if (serial_ != nullptr && serial_->isOpen()) {
        serial_->clear(QSerialPort::Output);
        serial_->close();
    }
    if (socket_ != nullptr) {
        socket_->abort();
    }
    open_ = false;
}

void Link::fail(Error::Kind kind, const QString& detail) {
    if (failed_) {
        return;
    }
    failed_ = true;
    if (open_) {
        emit failing();  // the watcher takes what arrived before the loss
    }
    if (socket_ != nullptr && socket_->isOpen()) {
        discardInput();  // what the bridge said last
    }
    drop();
    Error error;
    error.kind = kind;
    error.message = errorMessage(kind, target_, settings_, detail);
    emit failed(error);
}

}  // namespace detail

}  // namespace rvx::bus
