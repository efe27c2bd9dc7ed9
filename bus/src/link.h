// A target while it is open: a serial port or a connection to a bridge, behind one QIODevice.
// It opens the target, says why when it cannot, and notices when the port is lost. The Sender
// and the Watcher each open one Link for each send or watch.
#pragma once

#include <QIODevice>
#include <QObject>
#include <QTimer>
#include <optional>

#include "rvx/bus.h"

class QSerialPort;
class QTcpSocket;

namespace rvx::bus::detail {

class Link : public QObject {
    Q_OBJECT
public:
    // mode: QIODevice::ReadWrite to send (reading lets a lost port show up at once),
    // QIODevice::ReadOnly to watch.
    // The parent (the Sender or Watcher) takes a link that is still around when it goes.
    Link(const Target& target, const Settings& settings, QIODevice::OpenMode mode, QObject* parent);
    ~Link() override;

    // Opens the target. A serial port is opened here and opened() or failed() comes before
    // open returns; a bridge signals once connected or refused. Call from the event loop.
    void open();

    // The open port or connection; nullptr before opened() and after a failure.
    [[nodiscard]] QIODevice* device() const;

    [[nodiscard]] std::optional<Line> line() const;

    // Closes after a send: the bytes have left.
    void close();
    // Closes at once, dropping bytes not on the line yet (after a failure or when abandoned),
    // so that closing never waits on a port that does not send.
    void drop();

signals:
    void opened();
    // Opening failed, or the open target was lost. Comes once; the target is closed by then.
    void failed(const rvx::bus::Error& error);

private:
    void openSerial();
    void openBridge();
    void fail(Error::Kind kind, const QString& detail = {});
    [[nodiscard]] Error::Kind kindOfRefusal() const;

    Target target_;
    Settings settings_;
    QIODevice::OpenMode mode_;
    QSerialPort* serial_ = nullptr;
    QTcpSocket* socket_ = nullptr;
    QTimer connectLimit_;
    bool open_ = false;
    bool failed_ = false;
};

}  // namespace rvx::bus::detail
