#include "link.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QTcpSocket>

namespace rvx::bus::detail {

namespace {

QSerialPort::Parity serialParity(Parity parity) {
    switch (parity) {
        case Parity::None:
            return QSerialPort::NoParity;
        case Parity::Even:
            return QSerialPort::EvenParity;
        case Parity::Odd:
            return QSerialPort::OddParity;
        case Parity::Mark:
            return QSerialPort::MarkParity;
        case Parity::Space:
            return QSerialPort::SpaceParity;
    }
    return QSerialPort::OddParity;
}

Parity parityOf(QSerialPort::Parity parity) {
    switch (parity) {
        case QSerialPort::EvenParity:
            return Parity::Even;
        case QSerialPort::OddParity:
            return Parity::Odd;
        case QSerialPort::MarkParity:
            return Parity::Mark;
        case QSerialPort::SpaceParity:
            return Parity::Space;
        default:
            return Parity::None;
    }
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

}  // namespace

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
    serial_ = new QSerialPort(this);
    serial_->setPortName(target_.device);
    if (!serial_->open(mode_)) {
        switch (serial_->error()) {
            case QSerialPort::DeviceNotFoundError:
                fail(Error::Kind::NoSuchPort);
                break;
            case QSerialPort::PermissionError:
                fail(kindOfRefusal());
                break;
            default:
                fail(Error::Kind::Other, QStringLiteral("cannot be opened as a serial port: ") +
                                             serial_->errorString());
                break;
        }
        return;
    }
    open_ = true;
    // Set on the open port, so that a setting the port refuses is known now.
    if (!serial_->setBaudRate(settings_.baudRate) || !serial_->setDataBits(QSerialPort::Data8) ||
        !serial_->setParity(serialParity(settings_.parity)) ||
        !serial_->setStopBits(QSerialPort::OneStop) ||
        !serial_->setFlowControl(QSerialPort::NoFlowControl)) {
        fail(Error::Kind::LineRefused, serial_->errorString());
        return;
    }
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

Error::Kind Link::kindOfRefusal() const {
#ifdef Q_OS_WIN
    // Windows refuses a port that another program holds with "access denied".
    return Error::Kind::PortBusy;
#else
    // The port may be refused for its rights, or for a lock another program holds on it.
    QString path = target_.device;
    if (!path.startsWith(QLatin1Char('/'))) {
        path.prepend(QStringLiteral("/dev/"));
    }
    const QFileInfo info(path);
    const bool mayOpen = info.isReadable() && (mode_ == QIODevice::ReadOnly || info.isWritable());
    return mayOpen ? Error::Kind::PortBusy : Error::Kind::AccessDenied;
#endif
}

void Link::openBridge() {
    socket_ = new QTcpSocket(this);
    connect(socket_, &QTcpSocket::connected, this, [this] {
        connectLimit_.stop();
        open_ = true;
        emit opened();
    });
    connect(socket_, &QAbstractSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) {
                if (open_) {
                    fail(Error::Kind::PortLost, error == QAbstractSocket::RemoteHostClosedError
                                                    ? QStringLiteral("the bridge closed it")
                                                    : socket_->errorString());
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
    socket_->connectToHost(target_.host, target_.port, mode_);
}

void Link::close() {
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
    drop();
    Error error;
    error.kind = kind;
    error.message = errorMessage(kind, target_, settings_, detail);
    emit failed(error);
}

}  // namespace rvx::bus::detail
