// Watching a target: what arrives goes through the frame scanner, and each frame and run of
// noise is handed over with the time its last byte arrived.
//
// A bridge may send far faster than a bus ever does (a flood of bytes from a fault or from the
// wrong port). What is read at once is bounded, and so is what the system reads ahead for the
// watcher: the event loop serves the window, Ctrl+C and the end of the connection between two
// reads, and memory stays the same however much arrives.
#include <QTimer>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

#include "connections.h"
#include "rvx/bus.h"

namespace rvx::bus {

namespace {

// The most bytes scanned before the event loop runs again, and the most that the port or the
// connection holds for the watcher besides.
constexpr qint64 pieceBytes = 16 * 1024;
constexpr qint64 aheadBytes = 64 * 1024;

}  // namespace

struct Watcher::Impl {
    Impl(Watcher* owner, Connections* shared) : q(owner), connections(shared) {
        if (connections == nullptr) {
            // A watch of its own only reads: it never holds the port for a send.
            own = std::make_unique<Connections>();
            own->d_->watchMode = QIODevice::ReadOnly;
            connections = own.get();
        }
        silence.setSingleShot(true);
        silence.setTimerType(Qt::PreciseTimer);
        connect(&silence, &QTimer::timeout, q, [this] { hand(scanner.flush()); });
        more.setSingleShot(true);
        connect(&more, &QTimer::timeout, q, [this] { readPieces(1); });
    }

    void begin() {
        link = new detail::LinkUse(*connections, target, settings, detail::LinkUse::Role::Watch, q);
        link->limitReading(aheadBytes);
        connect(link, &detail::LinkUse::opened, q, [this] {
            connect(link->device(), &QIODevice::readyRead, link, [this] { readPieces(1); });
            emit q->opened();
            readPieces(1);
        });
        connect(link, &detail::LinkUse::sentOnLink, q, [this](const QByteArray& bytes) {
            Received frame;
            frame.kind = rvx::ScannedRun::Kind::Framed;
            frame.bytes = bytes;
            frame.time = QDateTime::currentDateTime();
            emit q->sent(frame);
        });
        // The bytes that came before the loss are handed over first: those the port still
        // holds, then those the scanner held back.
        connect(link, &detail::LinkUse::failing, q,
                [this] { readPieces(aheadBytes / pieceBytes + 1); });
        connect(link, &detail::LinkUse::failed, q, [this](const Error& error) {
            if (!watching) {
                return;  // stopped from a run handed over as the port went
            }
            silence.stop();
            hand(scanner.flush());
            end();
            emit q->failed(error);
        });
        link->open();
    }

    // Reads at most this many pieces of what has arrived; what is left is read once the event
    // loop has run.
    void readPieces(qint64 pieces) {
        for (qint64 k = 0; k < pieces; ++k) {
            if (!readPiece()) {
                return;
            }
        }
        if (link != nullptr && link->device() != nullptr && link->device()->bytesAvailable() > 0) {
            more.start(0);
        }
    }

    // Whether a piece was read.
    bool readPiece() {
        if (link == nullptr || link->device() == nullptr) {
            return false;
        }
        const QByteArray bytes = link->device()->read(pieceBytes);
        if (bytes.isEmpty()) {
            return false;
        }
        streamEnd += static_cast<std::uint64_t>(bytes.size());
        reads.emplace_back(streamEnd, QDateTime::currentDateTime());
        hand(scanner.feed({reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                           static_cast<std::size_t>(bytes.size())}));
        if (scanner.pending() > 0) {
            silence.start(settings.silence);
        } else {
            silence.stop();
        }
        return true;
    }

    void hand(std::vector<rvx::ScannedRun> runs) {
        for (auto& run : runs) {
            const std::uint64_t end = run.offset + run.bytes.size();
            while (!reads.empty() && reads.front().first < end) {
                reads.pop_front();
            }
            Received received;
            received.kind = run.kind;
            received.bytes = QByteArray(reinterpret_cast<const char*>(run.bytes.data()),
                                        static_cast<qsizetype>(run.bytes.size()));
            // The read that brought the last byte is the first one ending at or after it.
            received.time = reads.empty() ? QDateTime::currentDateTime() : reads.front().second;
            emit q->received(received);
        }
    }

    void end() {
        watching = false;
        silence.stop();
        more.stop();
        if (link != nullptr) {
            link->drop();
            link->deleteLater();  // this may run inside one of its signals
            link = nullptr;
        }
        scanner = rvx::FrameScanner();
        reads.clear();
        streamEnd = 0;
    }

    Watcher* q;
    Connections* connections;
    std::unique_ptr<Connections> own;  // a Watcher's own, when it shares none
    detail::LinkUse* link = nullptr;   // a child of the Watcher
    Target target;
    Settings settings;
    rvx::FrameScanner scanner;
    // For each read: the place in the stream after its last byte, and when it arrived.
    std::deque<std::pair<std::uint64_t, QDateTime>> reads;
    std::uint64_t streamEnd = 0;
    bool watching = false;
    QTimer silence;
    QTimer more;  // the next piece of what has arrived
};

Watcher::Watcher(QObject* parent) : QObject(parent), d_(std::make_unique<Impl>(this, nullptr)) {}

Watcher::Watcher(Connections& connections, QObject* parent)
    : QObject(parent), d_(std::make_unique<Impl>(this, &connections)) {}

Watcher::~Watcher() {
    d_->end();
}

bool Watcher::start(const Target& target, const Settings& settings) {
    if (d_->watching) {
        return false;
    }
    d_->target = target;
    d_->settings = settings;
    d_->watching = true;
    QTimer::singleShot(0, this, [this] {
        if (d_->watching && d_->link == nullptr) {
            d_->begin();
        }
    });
    return true;
}

void Watcher::stop() {
    if (!d_->watching) {
        return;
    }
    d_->readPieces(aheadBytes / pieceBytes + 1);  // what the port holds already arrived
    d_->hand(d_->scanner.flush());
    d_->end();
    emit stopped();
}

bool Watcher::watching() const {
    return d_->watching;
}

std::optional<Line> Watcher::line() const {
    return d_->link != nullptr ? d_->link->line() : std::nullopt;
}

}  // namespace rvx::bus
