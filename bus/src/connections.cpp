// One connection per target for the whole program, shared by its sends and its watch.
#include "connections.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QTimer>
#include <algorithm>

namespace rvx::bus {

namespace {

// A serial port under any of its names (a link in /dev/serial/by-id and the port it points
// to are one port), or a bridge by host and port.
QString keyOf(const Target& target) {
    if (target.kind == Target::Kind::Tcp) {
        return QStringLiteral("tcp://") + target.host.toLower() + QLatin1Char(':') +
               QString::number(target.port);
    }
#ifdef Q_OS_UNIX
    QString path = target.device;
    if (!path.startsWith(QLatin1Char('/'))) {
        path.prepend(QStringLiteral("/dev/"));
    }
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
#else
    return target.device.toUpper();
#endif
}

bool sameLine(const Settings& a, const Settings& b) {
    return a.baudRate == b.baudRate && a.parity == b.parity;
}

}  // namespace

Connections::Connections(QObject* parent) : QObject(parent), d_(std::make_unique<Impl>()) {}

Connections::~Connections() {
    // The links are children of this object and go with it; their users hear nothing more.
    const auto links = d_->links;
    for (detail::SharedLink* shared : links) {
        shared->detach();
    }
}

bool Connections::holds(const Target& target) const {
    const auto found = d_->links.constFind(keyOf(target));
    return found != d_->links.constEnd() && (*found)->isOpen();
}

namespace detail {

SharedLink::SharedLink(Connections::Impl& pool, QString key, const Target& target,
                       const Settings& settings, QIODevice::OpenMode mode)
    : pool_(&pool),
      key_(std::move(key)),
      settings_(settings),
      link_(new Link(target, settings, mode, this)) {
    pool_->links.insert(key_, this);
    connect(link_, &Link::opened, this, &SharedLink::opened);
    connect(link_, &Link::failing, this, &SharedLink::failing);
    connect(link_, &Link::failed, this, &SharedLink::failed);
}

SharedLink::~SharedLink() {
    detach();
}

void SharedLink::detach() {
    if (pool_ != nullptr && pool_->links.value(key_) == this) {
        pool_->links.remove(key_);
    }
    pool_ = nullptr;
}

void SharedLink::join(LinkUse* use) {
    users_.append(use);
    if (use->role() == LinkUse::Role::Send) {
        waiting_.append(use);
    }
    if (open_) {
        // As a link opening anew would: from the event loop, never inside open().
        QTimer::singleShot(0, this, [this, use = QPointer<LinkUse>(use)] {
            if (use == nullptr || !users_.contains(use.data()) || failed_) {
                return;
            }
            if (use->role() == LinkUse::Role::Watch) {
                use->granted_ = true;
                emit use->opened();
            } else {
                grantTurn();
            }
        });
    }
}

bool SharedLink::watched() const {
    return std::any_of(users_.begin(), users_.end(),
                       [](const LinkUse* use) { return use->role() == LinkUse::Role::Watch; });
}

void SharedLink::opened() {
    open_ = true;
    const QList<LinkUse*> users = users_;
    for (LinkUse* use : users) {
        if (users_.contains(use) && use->role() == LinkUse::Role::Watch && !use->granted_) {
            use->granted_ = true;
            emit use->opened();
        }
    }
    grantTurn();
}

void SharedLink::grantTurn() {
    if (!open_ || failed_ || writer_ != nullptr || waiting_.isEmpty()) {
        return;
    }
    if (const auto& refused = link_->writeRefused()) {
        // Open for reading alone: every send is refused, the watches go on.
        const QList<LinkUse*> sends = waiting_;
        waiting_.clear();
        for (LinkUse* use : sends) {
            if (users_.contains(use) && !use->done_) {
                emit use->failed(*refused);
            }
        }
        return;
    }
    writer_ = waiting_.takeFirst();
    writer_->granted_ = true;
    emit writer_->opened();
}

void SharedLink::failing() {
    const QList<LinkUse*> users = users_;
    for (LinkUse* use : users) {
        if (users_.contains(use)) {
            emit use->failing();
        }
    }
}

void SharedLink::failed(const Error& error) {
    failed_ = true;
    open_ = false;
    detach();
    const QList<LinkUse*> users = users_;
    for (LinkUse* use : users) {
        if (users_.contains(use)) {
            emit use->failed(error);
        }
    }
}

void SharedLink::frameLeft(LinkUse* from, const QByteArray& bytes) {
    lastFrame_.start();
    const QList<LinkUse*> users = users_;
    for (LinkUse* use : users) {
        if (use != from && users_.contains(use) && use->role() == LinkUse::Role::Watch) {
            emit use->sentOnLink(bytes);
        }
    }
}

std::optional<std::chrono::milliseconds> SharedLink::sinceLastFrame() const {
    if (!lastFrame_.isValid()) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(lastFrame_.elapsed());
}

void SharedLink::leave(LinkUse* use, bool dropping) {
    const bool hadTurn = writer_ == use;
    remove(use);
    if (users_.isEmpty()) {
        // The last user closes the connection: a send's bytes have left, a watch only read.
        detach();
        dropping ? link_->drop() : link_->close();
        deleteLater();
        return;
    }
    if (hadTurn) {
        if (dropping) {
            // The bytes of this send still queued for the line go; the others keep theirs.
            if (auto* serial = qobject_cast<QSerialPort*>(link_->device())) {
                serial->clear(QSerialPort::Output);
            }
        }
        QTimer::singleShot(0, this, [this] { grantTurn(); });
    }
}

void SharedLink::remove(LinkUse* use) {
    users_.removeAll(use);
    waiting_.removeAll(use);
    if (writer_ == use) {
        writer_ = nullptr;
    }
}

LinkUse::LinkUse(Connections& connections, const Target& target, const Settings& settings,
                 Role role, QObject* parent)
    : QObject(parent),
      connections_(&connections),
      target_(target),
      settings_(settings),
      role_(role) {}

LinkUse::~LinkUse() {
    leave(true);
}

void LinkUse::open() {
    Connections::Impl& pool = *connections_->d_;
    const QString key = keyOf(target_);
    SharedLink* shared = pool.links.value(key);
    if (shared != nullptr && !sameLine(shared->settings(), settings_)) {
        // The program has the port open at another line: a frame would go out at that one.
        const QString held = lineText(lineFor(shared->settings()));
        QTimer::singleShot(0, this, [this, held] {
            if (done_) {
                return;
            }
            Error error;
            error.kind = Error::Kind::Other;
            error.message = errorMessage(
                error.kind, target_, settings_,
                QStringLiteral("this program has it open at %1 for watching; stop watching "
                               "to use %2")
                    .arg(held, lineText(lineFor(settings_))));
            done_ = true;
            emit failed(error);
        });
        return;
    }
    const bool opening = shared == nullptr;
    if (opening) {
        const QIODevice::OpenMode mode =
            role_ == Role::Watch ? pool.watchMode : QIODevice::OpenMode(QIODevice::ReadWrite);
        shared = new SharedLink(pool, key, target_, settings_, mode);
        shared->setParent(connections_);
        if (role_ == Role::Watch && mode == QIODevice::ReadWrite) {
            // A port the user may only read is still watched; sends on it are refused.
            shared->link().mayFallBackToReading();
        }
    }
    shared_ = shared;
    if (readLimit_ > 0) {
        shared->link().limitReading(readLimit_);
    }
    shared->join(this);
    if (opening) {
        shared->link().open();
    }
}

void LinkUse::limitReading(qint64 bytes) {
    readLimit_ = bytes;
    if (shared_ != nullptr) {
        shared_->link().limitReading(bytes);
    }
}

QIODevice* LinkUse::device() const {
    return shared_ != nullptr && granted_ && !done_ ? shared_->link().device() : nullptr;
}

std::optional<Line> LinkUse::line() const {
    return shared_ != nullptr && granted_ && !done_ ? shared_->link().line() : std::nullopt;
}

std::optional<qint64> LinkUse::unsentBytes() const {
    return shared_ != nullptr && !done_ ? shared_->link().unsentBytes() : std::nullopt;
}

void LinkUse::discardInput() {
    if (shared_ != nullptr && !done_ && !shared_->watched()) {
        shared_->link().discardInput();
    }
}

bool LinkUse::askToConfirm() {
    if (shared_ == nullptr || done_ || !shared_->alone(this)) {
        return false;
    }
    // The connection ends with the confirmation: nobody else may join it meanwhile.
    shared_->detach();
    SharedLink* shared = shared_;
    connect(&shared->link(), &Link::confirmed, this, &LinkUse::confirmed, Qt::UniqueConnection);
    return shared->link().askToConfirm();
}

void LinkUse::frameLeft(std::span<const std::uint8_t> frame) {
    if (shared_ != nullptr && !done_) {
        shared_->frameLeft(this, QByteArray(reinterpret_cast<const char*>(frame.data()),
                                            static_cast<qsizetype>(frame.size())));
    }
}

std::optional<std::chrono::milliseconds> LinkUse::sinceLastFrame() const {
    return shared_ != nullptr ? shared_->sinceLastFrame() : std::nullopt;
}

void LinkUse::close() {
    leave(false);
}

void LinkUse::drop() {
    leave(true);
}

void LinkUse::leave(bool dropping) {
    if (done_) {
        return;
    }
    done_ = true;
    if (shared_ == nullptr) {
        return;
    }
    SharedLink* shared = shared_;
    // What this user connected to the shared device ends here.
    if (QIODevice* port = shared->link().device()) {
        port->disconnect(this);
    }
    shared_ = nullptr;
    shared->leave(this, dropping);
}

}  // namespace detail

}  // namespace rvx::bus
