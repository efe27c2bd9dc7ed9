// Sending frames: open, for each frame write it, wait until the system took it and its line
// time passed, keep the gap, and close.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "connections.h"
#include "rvx/bus.h"

namespace rvx::bus {

struct Sender::Impl {
    Impl(Sender* owner, Connections* shared) : q(owner), connections(shared) {
        if (connections == nullptr) {
            own = std::make_unique<Connections>();
            connections = own.get();
        }
        step.setSingleShot(true);
        step.setTimerType(Qt::PreciseTimer);
        writeLimit.setSingleShot(true);
        writeLimit.setTimerType(Qt::PreciseTimer);
        connect(&step, &QTimer::timeout, q, [this] { (this->*stepAction)(); });
        connect(&writeLimit, &QTimer::timeout, q, [this] {
            if (confirming) {
                const auto unsent = link->unsentBytes();
                fail(Error::Kind::Unconfirmed,
                     unsent && *unsent > 0
                         ? QStringLiteral("%1 of its bytes were never taken").arg(*unsent)
                         : QString());
            } else {
                fail(Error::Kind::WriteTimedOut, draining ? QStringLiteral("the port did not "
                                                                           "send it")
                                                          : QString());
            }
        });
    }

    void after(std::chrono::milliseconds delay, void (Impl::*action)()) {
        stepAction = action;
        step.start(delay);
    }

    [[nodiscard]] bool bridge() const { return target.kind == Target::Kind::Tcp; }

    void begin() {
        link = new detail::LinkUse(*connections, target, settings, detail::LinkUse::Role::Send, q);
        connect(link, &detail::LinkUse::opened, q, [this] {
            // What arrives from the bus while sending is not ours to keep (a watch of the
            // connection reads it).
            connect(link->device(), &QIODevice::readyRead, link, [this] {
                if (link != nullptr) {
                    link->discardInput();
                }
            });
            connect(link->device(), &QIODevice::bytesWritten, link,
                    [this](qint64 count) { written(count); });
            emit q->opened();
            if (busy) {
                writeNext();
            }
        });
        connect(link, &detail::LinkUse::confirmed, q, [this] {
            confirming = false;
            writeLimit.stop();
            delivered = Delivery::TakenByBridge;
            finish();
        });
        connect(link, &detail::LinkUse::failed, q, [this](const Error& error) { failWith(error); });
        link->open();
    }

    void writeNext() {
        // The gap after the last frame of this Sender, and of any other on the connection.
        std::optional<std::chrono::milliseconds> quiet = link->sinceLastFrame();
        if (sinceLastFrame.isValid()) {
            const auto ours = std::chrono::milliseconds(sinceLastFrame.elapsed());
            quiet = quiet ? std::min(*quiet, ours) : ours;
        }
        if (quiet && *quiet < settings.gap) {
            after(settings.gap - *quiet, &Impl::writeNext);
            return;
        }
        stepAction = nullptr;
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
        if (!busy || stepAction != nullptr || draining || confirming) {
            return;
        }
        writtenBytes += count;
        if (writtenBytes >= static_cast<qint64>(frameLength) &&
            link->device()->bytesToWrite() == 0) {
            const bool last = next + 1 == static_cast<int>(frames.size());
            if (bridge() && last) {
                // The write side is shut once the bytes' line time has passed: ser2net opens
                // its port when a client connects, and drops what it has read when the client's
                // side closes before that port is open.
                writeLimit.stop();
                after(lineTime(frameLength, settings), &Impl::askToConfirm);
                return;
            }
            // The system has the bytes; they are on the line once its queue is empty and
            // their time has passed.
            draining = true;
            drained();
        }
    }

    void askToConfirm() {
        stepAction = nullptr;
        if (!link->askToConfirm()) {
            frameLeft();  // handed over; the line time has passed
            return;
        }
        // The bridge answers by closing its own side.
        confirming = true;
        writeLimit.start(settings.timeout);
    }

    void drained() {
        stepAction = nullptr;
        if (const auto unsent = link->unsentBytes(); !bridge() && unsent && *unsent > 0) {
            after(drainPoll, &Impl::drained);
            return;
        }
        draining = false;
        writeLimit.stop();
        after(lineTime(frameLength, settings), &Impl::frameLeft);
    }

    void frameLeft() {
        stepAction = nullptr;
        sinceLastFrame.start();
        link->frameLeft(frames[static_cast<std::size_t>(next)]);
        ++next;
        if (next == static_cast<int>(frames.size())) {
            delivered = bridge() ? Delivery::HandedToBridge : Delivery::OnTheLine;
            finish();
            return;
        }
        if (!bridge()) {
            emitSent();  // a bridge's frames count once it has taken them all
        }
        if (busy) {
            writeNext();
        }
    }

    void emitSent() {
        while (sent < next) {
            emit q->frameSent(sent++);
            if (!busy && next < static_cast<int>(frames.size())) {
                return;  // cancelled from the signal
            }
        }
    }

    void finish() {
        next = static_cast<int>(frames.size());
        link->close();
        busy = false;
        emitSent();
        emit q->finished();
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
        error.framesSent = sent;
        if (frames.size() > 1) {
            error.message +=
                QStringLiteral("; %1 of %2 frames had been sent").arg(sent).arg(frames.size());
        }
        emit q->failed(error);
    }

    // Ends the send where it stands; the link goes once control is back in the event loop.
    void stop() {
        busy = false;
        draining = false;
        confirming = false;
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

    // How often a serial port's output queue is looked at until it is empty.
    static constexpr std::chrono::milliseconds drainPoll{2};

    Sender* q;
    Connections* connections;
    std::unique_ptr<Connections> own;  // a Sender's own, when it shares none
    detail::LinkUse* link = nullptr;   // a child of the Sender
    Target target;
    Settings settings;
    std::vector<Frame> frames;
    int next = 0;             // the frame being written, or the next one to write
    int sent = 0;             // frames signalled as sent
    qint64 writtenBytes = 0;  // bytes of that frame the system has taken
    bool busy = false;
    bool draining = false;    // the port has the frame; waiting for its queue to empty
    bool confirming = false;  // a bridge has every frame; waiting for it to close
    Delivery delivered = Delivery::OnTheLine;
    QTimer step;  // the next step: the start, a drain, a frame's line time, a gap
    void (Impl::*stepAction)() = nullptr;
    QTimer writeLimit;  // Settings::timeout for the frame being written and confirmed
    QElapsedTimer sinceLastFrame;
};

Sender::Sender(QObject* parent) : QObject(parent), d_(std::make_unique<Impl>(this, nullptr)) {}

Sender::Sender(Connections& connections, QObject* parent)
    : QObject(parent), d_(std::make_unique<Impl>(this, &connections)) {}

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
    d_->sent = 0;
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

Delivery Sender::delivery() const {
    return d_->delivered;
}

void Sender::cancel() {
    d_->stop();
}

std::optional<Error> sendFrames(const Target& target, std::span<const Frame> frames,
                                const Settings& settings) {
    return sendFramesUntil(target, frames, settings, {}).error;
}

SendOutcome sendFramesUntil(const Target& target, std::span<const Frame> frames,
                            const Settings& settings, const std::function<bool()>& stop) {
    Sender sender;
    QEventLoop loop;
    SendOutcome outcome;
    int sent = 0;
    QObject::connect(&sender, &Sender::frameSent, &loop, [&](int index) { sent = index + 1; });
    QObject::connect(&sender, &Sender::finished, &loop, [&] {
        outcome.delivery = sender.delivery();
        loop.quit();
    });
    QObject::connect(&sender, &Sender::failed, &loop, [&](const Error& error) {
        outcome.error = error;
        loop.quit();
    });
    QTimer stopPoll;
    if (stop) {
        QObject::connect(&stopPoll, &QTimer::timeout, &loop, [&] {
            if (sender.busy() && stop()) {
                sender.cancel();  // the port is closed, and its line set back, now
                Error error;
                error.kind = Error::Kind::Interrupted;
                error.message = errorMessage(error.kind, target, settings);
                error.framesSent = sent;
                outcome.error = error;
                loop.quit();
            }
        });
        constexpr int stopPollMs = 20;
        stopPoll.start(stopPollMs);
    }
    if (sender.send(target, frames, settings)) {
        loop.exec();
    }
    return outcome;
}

}  // namespace rvx::bus
