// A target while it is open: a serial port or a connection to a bridge, behind one QIODevice.
// It opens the target, says why when it cannot, and notices when the port is lost. The Sender
// and the Watcher each open one Link for each send or watch.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QIODevice>
#include <QList>
#include <QObject>
#include <QTimer>
#include <memory>
#include <optional>

#include "rvx/bus.h"

class QSerialPort;
class QSocketNotifier;
class QTcpSocket;

namespace rvx::bus::detail {

// Another process that has the device (a canonical path) open, locked or not, as "picocom,
// process 4242"; nullopt when none is seen. Only where the system shows every process's open
// files (Linux's /proc); elsewhere nullopt. This process and those that started it are not
// counted, nor a process that holds the master side of the same pseudo-terminal as well (the
// far end of the line, as socat's pair of pseudo-terminals is).
[[nodiscard]] std::optional<QString> otherHolder(const QString& device);

// The process that holds a lock (flock) on the device, as "flock, process 4242", where the
// system tells (Linux's /proc/locks); nullopt when it does not. Quick: one small file is read.
[[nodiscard]] std::optional<QString> lockOwner(const QString& device);
// The same, and should that process be gone, another that has the device open (otherHolder).
[[nodiscard]] std::optional<QString> lockHolder(const QString& device);

class Link : public QObject {
    Q_OBJECT
public:
    // mode: QIODevice::ReadWrite to send (reading lets a lost port show up at once),
    // QIODevice::ReadOnly to watch.
    // The parent (the Sender or Watcher) takes a link that is still around when it goes.
    Link(const Target& target, const Settings& settings, QIODevice::OpenMode mode, QObject* parent);
    ~Link() override;

    // Opens the target. A serial port is opened here, and the look for another program that
    // holds it runs on a thread of its own: opened() or failed() follows from the event loop
    // (a name that is no serial port fails before open returns). A bridge signals once
    // connected or refused. Call from the event loop.
    void open();

    // A serial port that may not be written is opened for reading alone rather than refused
    // (a watch that sends may share). Before open().
    void mayFallBackToReading() { fallBackToReading_ = true; }
    // Why nothing can be sent on the port once it was opened for reading alone; nullopt while
    // it may be written.
    [[nodiscard]] const std::optional<Error>& writeRefused() const { return writeRefused_; }

    // Keeps what is read ahead of the caller to this many bytes, once opened: a target that
    // sends faster than the caller reads is held back by its system rather than by memory.
    void limitReading(qint64 bytes);

    // The open port or connection; nullptr before opened() and after a failure.
    [[nodiscard]] QIODevice* device() const;

    [[nodiscard]] std::optional<Line> line() const;

    // Bytes the system still holds for sending: in a serial port's output queue, or sent to a
    // bridge and not yet acknowledged by its system. nullopt where the system does not tell.
    [[nodiscard]] std::optional<qint64> unsentBytes() const;

    // Reads what arrived and throws it away, keeping the last few hundred bytes from a bridge:
    // a bridge that cannot open its own port says so in text before it closes.
    void discardInput();

    // Bridge: shuts the write side of the connection after the last frame, so that a bridge
    // that has read everything closes its side. confirmed() follows once it has, with every
    // byte acknowledged; failed() if the connection breaks instead. Returns false where the
    // write side cannot be shut on its own (no confirmation is then possible).
    bool askToConfirm();

    // Closes after a send: the bytes have left.
    void close();
    // Closes at once, dropping bytes not on the line yet (after a failure or when abandoned),
    // so that closing never waits on a port that does not send.
    void drop();

signals:
    void opened();
    void confirmed();
    // The open target is about to be closed after a loss: what it holds can still be read
    // from device() now. failed() follows.
    void failing();
    // Opening failed, or the open target was lost. Comes once; the target is closed by then.
    void failed(const rvx::bus::Error& error);

private:
    void openSerial();
    void portChecked(bool locked, const std::optional<QString>& holder);
    void setUpLine();
    void openBridge();
    void connectTo(const QList<QHostAddress>& addresses);
    void bridgeClosed();
    void fail(Error::Kind kind, const QString& detail = {});
    [[nodiscard]] std::optional<Error> refusal() const;
    [[nodiscard]] QString bridgeSaid() const;
    void forgetConfirmingSocket();
    void readWhileConfirming();

    // Work under way on a thread of its own (a host name lookup, the look for a port's
    // holder), which hands its answer to the link only while the link waits for it.
    struct Worker;

    Target target_;
    Settings settings_;
    QIODevice::OpenMode mode_;
    QSerialPort* serial_ = nullptr;
    QTcpSocket* socket_ = nullptr;
    QString device_;  // Serial: the device opened, links resolved
    std::shared_ptr<Worker> lookup_;
    std::shared_ptr<Worker> check_;  // Serial: the look for another holder
    qint64 readLimit_ = 0;           // 0: Qt's own (none)
    QList<QHostAddress> addresses_;  // Tcp: those still to try
    QByteArray heard_;               // Tcp: the last bytes the bridge sent
    QTimer connectLimit_;
    bool open_ = false;
    bool failed_ = false;
    bool confirming_ = false;
    bool fallBackToReading_ = false;
    std::optional<Error> writeRefused_;
    int confirmingSocket_ = -1;  // Tcp, while confirming (Linux)
    QSocketNotifier* confirmNotifier_ = nullptr;
};

}  // namespace rvx::bus::detail
