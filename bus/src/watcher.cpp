// Watching a target: what arrives goes through the frame scanner, and each frame and run of
// noise is handed over with the time its last byte arrived.
#include <QTimer>
#include <deque>
#include <utility>
#include <vector>

#include "link.h"
#include "rvx/bus.h"

namespace rvx::bus {

struct Watcher::Impl {
    explicit Impl(Watcher* owner) : q(owner) {
        silence.setSingleShot(true);
        silence.setTimerType(Qt::PreciseTimer);
        connect(&silence, &QTimer::timeout, q, [this] { hand(scanner.flush()); });
    }

    void begin() {
        link = new detail::Link(target, settings, QIODevice::ReadOnly, q);
        connect(link, &detail::Link::opened, q, [this] {
            connect(link->device(), &QIODevice::readyRead, q, [this] { readAvailable(); });
            emit q->opened();
            readAvailable();
        });
        connect(link, &detail::Link::failed, q, [this](const Error& error) {
            // The bytes that came before the loss are handed over first.
            silence.stop();
            hand(scanner.flush());
            end();
            emit q->failed(error);
        });
        link->open();
    }

    void readAvailable() {
        if (link == nullptr || link->device() == nullptr) {
            return;
        }
        const QByteArray bytes = link->device()->readAll();
        if (bytes.isEmpty()) {
            return;
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
    detail::Link* link = nullptr;  // a child of the Watcher
    Target target;
    Settings settings;
    rvx::FrameScanner scanner;
    // For each read: the place in the stream after its last byte, and when it arrived.
    std::deque<std::pair<std::uint64_t, QDateTime>> reads;
    std::uint64_t streamEnd = 0;
    bool watching = false;
    QTimer silence;
};

Watcher::Watcher(QObject* parent) : QObject(parent), d_(std::make_unique<Impl>(this)) {}

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
    d_->readAvailable();  // what the port holds already arrived
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
