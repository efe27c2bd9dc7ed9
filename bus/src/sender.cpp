// Sending frames: open, for each frame write it, wait until the system took it and its line
// time passed, keep the gap, and close.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <vector>

#include "link.h"
#include "rvx/bus.h"

namespace rvx::bus {

struct Sender::Impl {
    explicit Impl(Sender* q) : q(q) {
        step.setSingleShot(true);
        step.setTimerType(Qt::PreciseTimer);
        writeLimit.setSingleShot(true);
        writeLimit.setTimerType(Qt::PreciseTimer);
        connect(&step, &QTimer::timeout, q, [this] { (this->*stepAction)(); });
        connect(&writeLimit, &QTimer::timeout, q, [this] { fail(Error::Kind::WriteTimedOut); });
    }

    void after(std::chrono::milliseconds delay, void (Impl::*action)()) {
        stepAction = action;
        step.start(delay);
    }

    void begin() {
        link = new detail::Link(target, settings, QIODevice::ReadWrite, q);
        connect(link, &detail::Link::opened, q, [this] {
            // What arrives from the bus while sending is not ours to keep.
            connect(link->device(), &QIODevice::readyRead, q, [this] {
                if (link != nullptr && link->device() != nullptr) {
                    link->device()->readAll();
                }
            });
            connect(link->device(), &QIODevice::bytesWritten, q,
                    [this](qint64 count) { written(count); });
            emit q->opened();
            if (busy) {
                writeNext();
            }
        });
        connect(link, &detail::Link::failed, q, [this](const Error& error) { failWith(error); });
        link->open();
    }

    void writeNext() {
        if (sinceLastFrame.isValid()) {
            const auto quiet = std::chrono::milliseconds(sinceLastFrame.elapsed());
            if (quiet < settings.gap) {
                after(settings.gap - quiet, &Impl::writeNext);
                return;
            }
        }
        const Frame& frame = frames[static_cast<std::size_t>(next)];
        writtenBytes = 0;
        writeLimit.start(settings.timeout);
        const qint64 taken = link->device()->write(reinterpret_cast<const char*>(frame.data()),
                                                   static_cast<qint64>(frame.size()));
        if (taken != static_cast<qint64>(frame.size())) {
            fail(Error::Kind::Other,
                 QStringLiteral("cannot write: ") + link->device()->errorString());
        }
    }

    void written(qint64 count) {
        if (!busy || stepAction == &Impl::frameLeft) {
            return;
        }
        writtenBytes += count;
        if (writtenBytes >= static_cast<qint64>(frameLength) &&
            link->device()->bytesToWrite() == 0) {
            // The system has the bytes; they are on the line once their time has passed.
            writeLimit.stop();
            after(lineTime(frameLength, settings), &Impl::frameLeft);
        }
    }

    void frameLeft() {
        stepAction = nullptr;
        sinceLastFrame.start();
        const int index = next++;
        const bool last = next == static_cast<int>(frames.size());
        if (last) {
            link->close();
            busy = false;
        }
        emit q->frameSent(index);
        if (last) {
            emit q->finished();
        } else if (busy) {
            writeNext();
        }
    }

    void fail(Error::Kind kind, const QString& detail = {}) {
        Error error;
        error.kind = kind;
        error.message = errorMessage(kind, target, settings, detail);
        link->drop();
        failWith(error);
    }

    void failWith(Error error) {
        stop();
        error.framesSent = next;
        if (frames.size() > 1) {
            error.message +=
                QStringLiteral("; %1 of %2 frames had been sent").arg(next).arg(frames.size());
        }
        emit q->failed(error);
    }

    // Ends the send where it stands; the link goes once control is back in the event loop.
    void stop() {
        busy = false;
        step.stop();
        writeLimit.stop();
        stepAction = nullptr;
        release();
    }

    // Drops the link; it is deleted once control is back in the event loop, since this may
    // run inside one of its signals.
    void release() {
        if (link != nullptr) {
            link->drop();
            link->deleteLater();
            link = nullptr;
        }
    }

    Sender* q;
    detail::Link* link = nullptr;  // a child of the Sender
    Target target;
    Settings settings;
    std::vector<Frame> frames;
    int next = 0;             // the frame being written, or the next one to write
    qint64 writtenBytes = 0;  // bytes of that frame the system has taken
    bool busy = false;
    QTimer step;  // the next step: the start, a frame's line time, a gap
    void (Impl::*stepAction)() = nullptr;
    QTimer writeLimit;  // Settings::timeout for the frame being written
    QElapsedTimer sinceLastFrame;
};

Sender::Sender(QObject* parent) : QObject(parent), d_(std::make_unique<Impl>(this)) {}

Sender::~Sender() {
    d_->stop();
}

bool Sender::send(const Target& target, std::span<const Frame> frames, const Settings& settings) {
    if (d_->busy || frames.empty()) {
        return false;
    }
    d_->release();  // the last send's, closed already
    d_->target = target;
    d_->settings = settings;
    d_->frames.assign(frames.begin(), frames.end());
    d_->next = 0;
    d_->busy = true;
    d_->after(std::chrono::milliseconds(0), &Impl::begin);
    return true;
}

bool Sender::busy() const {
    return d_->busy;
}

std::optional<Line> Sender::line() const {
    return d_->link != nullptr ? d_->link->line() : std::nullopt;
}

void Sender::cancel() {
    d_->stop();
}

std::optional<Error> sendFrames(const Target& target, std::span<const Frame> frames,
                                const Settings& settings) {
    Sender sender;
    QEventLoop loop;
    std::optional<Error> failure;
    QObject::connect(&sender, &Sender::finished, &loop, &QEventLoop::quit);
    QObject::connect(&sender, &Sender::failed, &loop, [&](const Error& error) {
        failure = error;
        loop.quit();
    });
    if (sender.send(target, frames, settings)) {
        loop.exec();
    }
    return failure;
}

}  // namespace rvx::bus
