// rvx_bus: the one part of the project that opens a port. It sends frames onto the RVX motor
// bus and watches what goes by, over a serial line or a raw TCP serial bridge.
//
//   target text  --readTarget-->  Target  --+--> Sender     send frames (the window's face)
//                                           +--> sendFrames the same, blocking (command line)
//                                           +--> Watcher    frames and noise as they arrive
//   Connections  one open connection per target for the program, shared by its Senders and
//                Watchers (the window's application has one)
//   listPorts()  the serial ports of the machine, for choosing a target
//
// Nothing is ever sent on its own: a frame goes out only when a caller hands it to Sender or
// sendFrames, and the Watcher opens its target for reading only.
//
// Targets. A serial device path (/dev/ttyUSB0, /dev/serial/by-id/..., any tty, a
// pseudo-terminal; COM3 on Windows), or tcp://HOST:PORT for a raw TCP serial bridge (ser2net
// in raw mode, Ethernet-to-RS-485 converters), which forwards the bytes to its own line as they
// are. A target is opened for one send or one watch and closed after it, so that no other
// program is kept off the port in between. Senders and Watchers made on one Connections share
// their connections: a send to a target that a watch holds open goes out through that
// connection, so a program can watch a serial port and send on it, which the port would not
// allow two connections for.
//
// Line. 4800 baud, 8 data bits, odd parity, 1 stop bit, no flow control; baud rate and parity
// can be changed for unusual adapters (Settings). A bridge has line settings of its own; the
// baud rate is still used for the time the bytes take on its line.
//
// Timing. A frame has left a serial port when the system has taken its bytes, its output queue
// has drained where the system tells (Linux), and their line time has passed (lineTime: 14
// bytes at 4800 8O1 take 33 ms). Between two frames the line stays quiet for Settings::gap,
// also between two sends of the same Sender. Opening a bridge connection, looking up its host
// name and each write are bounded by Settings::timeout.
//
// Bridges. A bridge says nothing of its line, so a send to one counts as done only when the
// bridge has taken every byte: once the last frame's line time has passed the write side of
// the connection is shut, and a bridge that has read everything closes its own side (ser2net
// does). A bridge that
// takes the bytes but does not close within the timeout, or one that is stopped or never
// reads, is a failure (Error::Kind::Unconfirmed). Where the write side cannot be shut, the
// frames are only handed to the bridge (Delivery::HandedToBridge).
//
// Failures come as an Error: a kind to act on and a message of one line that names the target
// and, where the user can do something, says what. A failure is never reported as a success:
// a frame counts as sent only once it has left.
//
// Threads. Sender and Watcher live in the thread that makes them and work from its event loop;
// they never wait in it (opening a serial port is one non-blocking system call, and the look
// for another program holding it runs on a thread of its own). sendFrames runs a local event
// loop and returns when done; every wait in it is bounded.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHostAddress>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "rvx/bus_target.h"
#include "rvx/frame.h"
#include "rvx/line.h"
#include "rvx/scanner.h"
#include "rvx/serial_ports.h"

namespace rvx::bus {

namespace detail {
class LinkUse;
class SharedLink;
}  // namespace detail

// ---- Targets -----------------------------------------------------------------------------

struct Target {
    enum class Kind : std::uint8_t { Serial, Tcp };
    Kind kind = Kind::Serial;
    QString device;    // Serial: the path or port name, as QSerialPort::setPortName takes it
    QString host;      // Tcp: the bridge's name or address (an IPv6 address without brackets)
    quint16 port = 0;  // Tcp

    // The target as the user writes it: the device, or tcp://HOST:PORT.
    [[nodiscard]] QString text() const;
    // The same as every message names it: as written while it is plain and of a sensible
    // length, else quoted, escaped and cut as any other text in a message.
    [[nodiscard]] QString shownText() const;
};

struct TargetReading {
    std::optional<Target> target;
    QString problem;  // when there is no target: what is wrong, in one line quoting the text
    QString reason;   // the same without the text, for a caller that quotes it in its own way
};

// Reads a target text as rvx::readBusTarget does: tcp://HOST:PORT (an IPv6 host in brackets, a
// port 1 to 65535), or else a serial device. Blanks around the text are ignored. Refused with a
// message: an empty text, another scheme ("udp://..."), a bridge without a port or with a bad
// one, a HOST:PORT without tcp:// (which is no device), control characters.
[[nodiscard]] TargetReading readTarget(const QString& text);

// The same target in standard C++, as the command line reads it, and back.
[[nodiscard]] Target targetOf(const rvx::BusTarget& target);
[[nodiscard]] rvx::BusTarget busTargetOf(const Target& target);

// ---- Line and limits ---------------------------------------------------------------------

using Parity = rvx::Parity;
using rvx::parities;

// The bus's frame of a byte besides the parity: always 8 data bits and 1 stop bit.
inline constexpr int busDataBits = 8;
inline constexpr int busStopBits = 1;

// "none", "even", "odd", "mark", "space" or their initials, case ignored; nullopt otherwise.
[[nodiscard]] std::optional<Parity> readParity(const QString& text);
[[nodiscard]] QString parityName(Parity parity);  // "odd"

// The baud rate, parity and waits of a send or a watch (rvx/bus_target.h). A baud rate the
// port refuses is a LineRefused failure.
using Settings = rvx::LineSettings;

// The time bytes take on the line, rounded up to whole milliseconds.
using rvx::lineTime;

// A serial line as the open port reports it.
struct Line {
    qint32 baudRate = 0;
    int dataBits = 0;
    Parity parity = Parity::None;
    double stopBits = 0;  // 1, 1.5 or 2
    bool flowControl = false;
};

// "4800 8O1", with ", flow control" where there is any.
[[nodiscard]] QString lineText(const Line& line);

// The line the settings ask for: their baud rate and parity, busDataBits, busStopBits and no
// flow control.
[[nodiscard]] Line lineFor(const Settings& settings);

// ---- Failures ----------------------------------------------------------------------------

struct Error {
    enum class Kind : std::uint8_t {
        NoSuchPort,         // no serial port by that name (nothing, or a file of another kind)
        PortBusy,           // another program has the port open
        AccessDenied,       // the user may not open the port
        LineRefused,        // the port does not take the baud rate or the parity
        ConnectionRefused,  // nothing listens on the bridge's port
        HostNotFound,       // the bridge's name is not known
        ConnectTimedOut,    // no connection to the bridge within Settings::timeout
        WriteTimedOut,      // the system did not take a frame within Settings::timeout
        PortLost,           // the port vanished or the bridge closed the connection
        Unconfirmed,        // the bridge did not show within the timeout that it took a frame
        Interrupted,        // the send was ended from outside (Ctrl+C) while under way
        Other,              // anything else the system reports (the message says what)
    };
    Kind kind = Kind::Other;
    QString message;     // one line that starts with the target
    int framesSent = 0;  // sending: how many frames had left before the failure
};

// The message of a failure on a target, as Sender, sendFrames and Watcher word it. detail is
// what the system said, added where it tells more ("Input/output error").
[[nodiscard]] QString errorMessage(Error::Kind kind, const Target& target,
                                   const Settings& settings = {}, const QString& detail = {});

// ---- Sending -----------------------------------------------------------------------------

// How far a sent frame is known to have gone.
enum class Delivery : std::uint8_t {
    OnTheLine,       // serial: the port sent the bytes and their line time passed
    TakenByBridge,   // bridge: it read every byte and closed the connection after them
    HandedToBridge,  // bridge: the system sent the bytes; nothing tells that the bridge took them
};

// ---- Connections -------------------------------------------------------------------------

// The open connections of a program: at most one to each serial port (under any of its names)
// and to each bridge, shared by the Senders and Watchers made on it. A connection opens for
// its first user and closes once its last one is done. While a watch holds it, it is opened
// for reading and writing, and a send to the same target goes out through it: the watch goes
// on reading and hears of each frame sent (Watcher::sent). Sends take turns: a send starts
// writing only once the one before it on the target has ended, with the gap after its last
// frame. A send to a target held open at another baud rate or parity is refused.
//
// A bridge confirms a frame by closing the connection after it, which a send can ask only of
// a connection no one else holds: through a watched connection its frames are handed to the
// bridge (Delivery::HandedToBridge).
class Connections : public QObject {
    Q_OBJECT
public:
    explicit Connections(QObject* parent = nullptr);
    ~Connections() override;

    // Whether the program has the target open now.
    [[nodiscard]] bool holds(const Target& target) const;

    struct Impl;

private:
    friend class detail::LinkUse;
    friend class detail::SharedLink;
    friend class Watcher;
    std::unique_ptr<Impl> d_;
};

// Sends frames without blocking: for the window, which keeps one Sender for its connection
// setting and sends one frame at a time.
class Sender : public QObject {
    Q_OBJECT
public:
    // A Sender of its own opens its target for each send and closes it after.
    explicit Sender(QObject* parent = nullptr);
    // One on the program's connections shares them.
    explicit Sender(Connections& connections, QObject* parent = nullptr);
    ~Sender() override;

    // Starts a send: opens the target, writes the frames one after the other, each once the
    // previous has left and the gap has passed, and closes the target. Returns at once; the
    // signals follow from the event loop, never from inside send. Returns false and does
    // nothing while a send is under way or when there are no frames.
    bool send(const Target& target, std::span<const Frame> frames, const Settings& settings = {});

    // Whether a send is under way.
    [[nodiscard]] bool busy() const;

    // The serial line as the port reports it, while a serial target is open.
    [[nodiscard]] std::optional<Line> line() const;

    // How far the frames of the last finished send are known to have gone; the window words
    // its feedback by it. Meaningful once finished() has come.
    [[nodiscard]] Delivery delivery() const;

    // Abandons a send under way: the target is closed at once and bytes the system has not
    // put on the line yet are dropped. No signal follows.
    void cancel();

signals:
    void opened();                              // the target is open and set up
    void frameSent(int index);                  // frame number index (from 0) has left
    void finished();                            // every frame has left and the target is closed
    void failed(const rvx::bus::Error& error);  // the send ended here; the target is closed

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

// The blocking face for the command line: sends the frames and returns once they have all
// left (nullopt) or at the first failure. Needs a QCoreApplication; runs a local event loop.
// Returns after at most the timeout for the connection (the host name's lookup included), plus
// for each frame the timeout, its line time and the gap, plus for a bridge the timeout for its
// confirmation.
[[nodiscard]] std::optional<Error> sendFrames(const Target& target, std::span<const Frame> frames,
                                              const Settings& settings = {});

// The same, and how far the frames went once they were all sent. stop, when given, is looked
// at every few milliseconds: once it is true the send is abandoned and an Error of kind
// Interrupted comes back (a frame under way may have gone out).
struct SendOutcome {
    std::optional<Error> error;
    Delivery delivery = Delivery::OnTheLine;
};
[[nodiscard]] SendOutcome sendFramesUntil(const Target& target, std::span<const Frame> frames,
                                          const Settings& settings,
                                          const std::function<bool()>& stop);

// ---- Watching ----------------------------------------------------------------------------

// A frame or a run of bytes that belongs to no frame, as the watcher saw it arrive.
struct Received {
    rvx::ScannedRun::Kind kind = rvx::ScannedRun::Kind::Noise;
    QByteArray bytes;  // a frame's fourteen bytes, or the noise; decode frames with decodeFrame
    QDateTime time;    // when its last byte arrived

    [[nodiscard]] bool isFrame() const { return kind == rvx::ScannedRun::Kind::Framed; }
    // The time in milliseconds since 1970: as UTC counts them, and as the local clock does.
    [[nodiscard]] std::int64_t utcMs() const { return time.toMSecsSinceEpoch(); }
    [[nodiscard]] std::int64_t localMs() const {
        return time.toMSecsSinceEpoch() + 1000LL * time.toLocalTime().offsetFromUtc();
    }
    [[nodiscard]] std::span<const std::uint8_t> span() const {
        return {reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                static_cast<std::size_t>(bytes.size())};
    }
};

// Watches a target: opens it and hands over every frame and every run of noise, in the order
// they arrived, until stopped or the port is lost.
class Watcher : public QObject {
    Q_OBJECT
public:
    // A Watcher of its own opens its target for reading only (--monitor).
    explicit Watcher(QObject* parent = nullptr);
    // One on the program's connections holds its connection for the program's sends too.
    explicit Watcher(Connections& connections, QObject* parent = nullptr);
    ~Watcher() override;

    // Starts watching; opened() or failed() follows from the event loop. Returns false and
    // does nothing while watching already.
    bool start(const Target& target, const Settings& settings = {});

    // Stops watching: what arrived and was held back comes out as received() (unfinished
    // frames as noise), the target is closed, and stopped() is signalled, all before stop
    // returns. Does nothing when not watching.
    void stop();

    [[nodiscard]] bool watching() const;
    [[nodiscard]] std::optional<Line> line() const;

signals:
    void opened();
    void received(const rvx::bus::Received& run);
    // A frame that a Sender of the program sent through the watched connection has left; its
    // time is when it left.
    void sent(const rvx::bus::Received& frame);
    // Opening failed, or the port was lost; what had arrived came out before. Watching ended.
    void failed(const rvx::bus::Error& error);
    void stopped();

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

// ---- Host names --------------------------------------------------------------------------

// How a bridge's host name becomes addresses; an empty list is a name not found. It runs on a
// thread of its own and may block: a send or a watch gives it up at the timeout, and neither
// they nor the end of the program wait for it. By default the system's resolver answers.
using HostLookup = std::function<QList<QHostAddress>(const QString& host)>;

// Puts a lookup in place of the system's (an empty function puts the system's back). For the
// program's start, before any bridge is opened.
void setHostLookup(HostLookup lookup);

// ---- Ports -------------------------------------------------------------------------------

struct PortInfo {
    QString systemLocation;  // /dev/ttyUSB0, COM3
    QString description;
    QString manufacturer;
    QString serialNumber;
    QString byIdLink;  // the /dev/serial/by-id/... link to it, where there is one (Linux)
    bool usbIdentifiers = false;  // the system reports its USB vendor and product identifiers

    // A USB serial adapter (rvx::isUsbSerialAdapter): by its by-id link on Linux, by its USB
    // identifiers elsewhere.
    [[nodiscard]] bool usbAdapter() const {
        return rvx::isUsbSerialAdapter({byIdLink.toStdString(), usbIdentifiers});
    }

    // Whether the system knows anything of a device behind the port. A port without (the
    // console ports /dev/ttyS0 to ttyS3 of most PCs) often has no hardware at all.
    [[nodiscard]] bool hasDeviceInformation() const {
        return !description.isEmpty() || !manufacturer.isEmpty() || !serialNumber.isEmpty() ||
               !byIdLink.isEmpty() || usbIdentifiers;
    }
};

// The serial ports of the machine, by name in the order of rvx::portBefore.
[[nodiscard]] QList<PortInfo> listPorts();

// The link in directory that points to the port (a path), or an empty text.
[[nodiscard]] QString byIdLink(const QString& systemLocation,
                               const QString& directory = QStringLiteral("/dev/serial/by-id"));

}  // namespace rvx::bus

Q_DECLARE_METATYPE(rvx::bus::Error)
Q_DECLARE_METATYPE(rvx::bus::Received)
