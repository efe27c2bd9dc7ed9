// The connections of a program, shared: each target is open at most once (a SharedLink, one
// Link and its users), and each Sender or Watcher holds it through a LinkUse of its own, which
// gives it the face of a Link. A watch reads what arrives; sends take turns at writing, and the
// first in line is told the target is open only once the one before it is done.
#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QIODevice>
#include <QList>
#include <QObject>
#include <QPointer>
#include <chrono>
#include <optional>

#include "link.h"
#include "rvx/bus.h"

namespace rvx::bus::detail {

class LinkUse;

// One open target and those who use it.
class SharedLink : public QObject {
    Q_OBJECT
public:
    SharedLink(Connections::Impl& pool, QString key, const Target& target, const Settings& settings,
               QIODevice::OpenMode mode);
    ~SharedLink() override;

    [[nodiscard]] const Settings& settings() const { return settings_; }
    [[nodiscard]] Link& link() const { return *link_; }
    [[nodiscard]] bool isOpen() const { return open_; }

    void join(LinkUse* use);
    // The use is done with the link; dropping: bytes of its own not on the line yet go.
    void leave(LinkUse* use, bool dropping);

    [[nodiscard]] bool alone(const LinkUse* use) const {
        return users_.size() == 1 && users_[0] == use;
    }
    [[nodiscard]] bool watched() const;
    // The link leaves the pool: a later user of the target opens a new one.
    void detach();

    // A frame that the use sent has left: the watches of the link hear of it, and the next
    // send keeps the gap after it.
    void frameLeft(LinkUse* from, const QByteArray& bytes);
    [[nodiscard]] std::optional<std::chrono::milliseconds> sinceLastFrame() const;

private:
    void opened();
    void failing();
    void failed(const Error& error);
    void grantTurn();
    void remove(LinkUse* use);

    Connections::Impl* pool_;
    QString key_;
    Settings settings_;
    Link* link_;
    bool open_ = false;
    bool failed_ = false;
    QList<LinkUse*> users_;
    QList<LinkUse*> waiting_;    // sends in the order they came, waiting for their turn
    LinkUse* writer_ = nullptr;  // the send whose turn it is
    QElapsedTimer lastFrame_;
};

// A Sender's or a Watcher's hold on the connection to its target, with the face of a Link.
class LinkUse : public QObject {
    Q_OBJECT
public:
    enum class Role : std::uint8_t { Send, Watch };

    // The parent (the Sender or Watcher) takes a use that is still around when it goes.
    LinkUse(Connections& connections, const Target& target, const Settings& settings, Role role,
            QObject* parent);
    ~LinkUse() override;

    [[nodiscard]] Role role() const { return role_; }

    // Joins the target's connection, opening it when the program has none: opened() once it is
    // open and, for a send, once it is this one's turn; failed() when it cannot be.
    void open();

    // Keeps what the system reads ahead of a watch to this many bytes (Link::limitReading).
    void limitReading(qint64 bytes);

    [[nodiscard]] QIODevice* device() const;
    [[nodiscard]] std::optional<Line> line() const;
    [[nodiscard]] std::optional<qint64> unsentBytes() const;
    // Throws away what arrived, unless a watch of the connection reads it.
    void discardInput();
    // Bridge: asks it to confirm, as Link::askToConfirm, when no other user shares the
    // connection (which then closes); false otherwise.
    bool askToConfirm();
    // A frame of this send has left.
    void frameLeft(std::span<const std::uint8_t> frame);
    [[nodiscard]] std::optional<std::chrono::milliseconds> sinceLastFrame() const;

    // Done, the bytes having left; the connection closes unless another user has it.
    void close();
    // Done at once: bytes of this send not on the line yet are dropped.
    void drop();

signals:
    void opened();
    void confirmed();
    // The connection is about to close after a loss: what it holds can still be read.
    void failing();
    void failed(const rvx::bus::Error& error);
    // Watch: a frame another user of the connection sent has left.
    void sentOnLink(const QByteArray& bytes);

private:
    friend class SharedLink;
    void leave(bool dropping);

    Connections* connections_;
    Target target_;
    Settings settings_;
    Role role_;
    qint64 readLimit_ = 0;
    QPointer<SharedLink> shared_;
    bool granted_ = false;  // opened() has come
    bool done_ = false;
};

}  // namespace rvx::bus::detail

namespace rvx::bus {

struct Connections::Impl {
    // Watches open their target for reading and writing where sends may share it.
    QIODevice::OpenMode watchMode = QIODevice::ReadWrite;
    QHash<QString, detail::SharedLink*> links;  // by the key of their target
};

}  // namespace rvx::bus
