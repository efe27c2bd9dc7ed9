// Targets, line settings and the wording of failures.
#include <algorithm>

#include "rvx/bus.h"
#include "rvx/bus_site_target.h"
#include "rvx/message.h"
#include "rvx/serial_ports.h"

namespace rvx::bus {

namespace {

// A text in a message as the engine shows one: control characters escaped, a long one cut.
QString quoted(const QString& text) {
    return QString::fromStdString(rvx::quoted(text.toStdString()));
}

}  // namespace

// Quoted where it is not plain, so that it can neither turn a line around (U+202E), break it
// nor flood it.
QString Target::shownText() const {
    constexpr qsizetype plainLength = 120;
    const QString text = this->text();
    const bool plain =
        text.size() <= plainLength && std::all_of(text.begin(), text.end(), [](QChar c) {
            return c.isPrint() && c.category() != QChar::Other_Format;
        });
    if (plain) {
        return text;
    }
    QString visible;
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Format) {
            visible +=
                QStringLiteral("\\u") +
                QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0'));
        } else {
            visible += c;
        }
    }
    return quoted(visible);
}

namespace {

QString seconds(std::chrono::milliseconds duration) {
    return QString::number(static_cast<double>(duration.count()) / 1000.0) + QStringLiteral(" s");
}

}  // namespace

QString Target::text() const {
    return QString::fromStdString(busTargetOf(*this).text());
}

Target targetOf(const rvx::BusTarget& target) {
    Target made;
    made.kind = target.kind == rvx::BusTarget::Kind::Tcp ? Target::Kind::Tcp : Target::Kind::Serial;
    made.device = QString::fromStdString(target.device);
    made.host = QString::fromStdString(target.host);
    made.port = target.port;
    return made;
}

rvx::BusTarget busTargetOf(const Target& target) {
    rvx::BusTarget made;
    made.kind =
        target.kind == Target::Kind::Tcp ? rvx::BusTarget::Kind::Tcp : rvx::BusTarget::Kind::Serial;
    made.device = target.device.toStdString();
    made.host = target.host.toStdString();
    made.port = target.port;
    return made;
}

TargetReading readTarget(const QString& text) {
    const rvx::BusTargetReading reading = rvx::readBusTarget(text.toStdString());
    if (!reading.target) {
        return {std::nullopt, QString::fromStdString(reading.problem),
                QString::fromStdString(reading.reason)};
    }
    return {targetOf(*reading.target), {}, {}};
}

std::optional<Parity> readParity(const QString& text) {
    return rvx::readParity(text.toStdString());
}

QString parityName(Parity parity) {
    const std::string_view name = rvx::parityKeyword(parity);
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

rvx::SiteTarget siteTargetOf(const Target& target, const Settings& settings) {
    return rvx::siteTargetOf(busTargetOf(target), settings);
}

QString lineText(const Line& line) {
    QString text = QString::number(line.baudRate) + QLatin1Char(' ') +
                   QString::number(line.dataBits) + parityName(line.parity).left(1).toUpper() +
                   QString::number(line.stopBits);
    if (line.flowControl) {
        text += QStringLiteral(", flow control");
    }
    return text;
}

Line lineFor(const Settings& settings) {
    return {settings.baudRate, busDataBits, settings.parity, busStopBits, false};
}

QString errorMessage(Error::Kind kind, const Target& target, const Settings& settings,
                     const QString& detail) {
    const bool bridge = target.kind == Target::Kind::Tcp;
    const QString withDetail = detail.isEmpty() ? QString() : QStringLiteral(" (") + detail + ')';
    QString what;
    switch (kind) {
        case Error::Kind::NoSuchPort:
            // A name that is something else than a port says what it is.
            what = detail.isEmpty() ? QStringLiteral("no such serial port") : detail;
            break;
        case Error::Kind::PortBusy:
            what = QStringLiteral("the port is in use by another program") + withDetail;
            break;
        case Error::Kind::AccessDenied:
            // The dialout group is Linux's; elsewhere the system's own words say more.
            if (rvx::thisSystem == rvx::PortSystem::Linux || !detail.isEmpty()) {
                what =
                    QStringLiteral("no permission to open the port; ") +
                    (detail.isEmpty() ? QStringLiteral("join the dialout group (sudo usermod -aG "
                                                       "dialout $USER), then log out and in again")
                                      : detail);
            } else {
                what = QStringLiteral("no permission to open the port");
            }
            break;
        case Error::Kind::LineRefused:
            what = QStringLiteral("the port does not take %1 baud with %2 parity")
                       .arg(settings.baudRate)
                       .arg(parityName(settings.parity)) +
                   withDetail;
            break;
        case Error::Kind::ConnectionRefused:
            what = QStringLiteral("connection refused; nothing listens on port %1 of %2")
                       .arg(target.port)
                       .arg(target.host);
            break;
        case Error::Kind::HostNotFound:
            what = QStringLiteral("host %1 not found").arg(target.host);
            break;
        case Error::Kind::ConnectTimedOut:
            what = QStringLiteral("no connection within %1").arg(seconds(settings.timeout));
            break;
        case Error::Kind::WriteTimedOut:
            what = QStringLiteral("the frame was not taken for sending within %1")
                       .arg(seconds(settings.timeout));
            break;
        case Error::Kind::PortLost:
            what = (bridge ? QStringLiteral("the connection to the bridge was lost")
                           : QStringLiteral("the port was lost")) +
                   withDetail;
            break;
        case Error::Kind::Unconfirmed:
            what = QStringLiteral("the bridge did not confirm the frame within %1") + withDetail +
                   QStringLiteral(
                       "; it is stopped, does not read, or does not close after a "
                       "frame, and the frame may not have reached its line");
            what = what.arg(seconds(settings.timeout));
            break;
        case Error::Kind::Interrupted:
            what = QStringLiteral("interrupted; the frame may have been sent");
            break;
        case Error::Kind::Other:
            what = detail.isEmpty() ? QStringLiteral("failed") : detail;
            break;
    }
    return target.shownText() + QStringLiteral(": ") + what;
}

}  // namespace rvx::bus
