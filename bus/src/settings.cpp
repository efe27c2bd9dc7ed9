// Targets, line settings and the wording of failures.
#include <QRegularExpression>
#include <algorithm>

#include "rvx/bus.h"
#include "rvx/bus_site_target.h"
#include "rvx/message.h"

namespace rvx::bus {

namespace {

const QString tcpScheme = QStringLiteral("tcp://");

// A text in a message as the engine shows one: control characters escaped, a long one cut.
QString quoted(const QString& text) {
    return QString::fromStdString(rvx::quoted(text.toStdString()));
}

TargetReading refuse(const QString& text, const QString& why) {
    return {std::nullopt, QStringLiteral("target %1: %2").arg(quoted(text), why), why};
}

// An IPv6 address holds colons, so it goes in brackets where a port follows it.
bool needsBrackets(const QString& host) {
    return host.contains(QLatin1Char(':'));
}

bool hasControlCharacter(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

TargetReading readBridge(const QString& text) {
    const QString rest = text.mid(tcpScheme.size());
    const QString form = QStringLiteral("write a bridge as tcp://HOST:PORT");
    QString host;
    QString portText;
    if (rest.startsWith(QLatin1Char('['))) {
        const auto close = rest.indexOf(QLatin1Char(']'));
        if (close < 0 || rest.mid(close + 1, 1) != QStringLiteral(":")) {
            return refuse(text, QStringLiteral("an IPv6 address goes in brackets with a port "
                                               "after them, as tcp://[::1]:4001"));
        }
        host = rest.mid(1, close - 1);
        portText = rest.mid(close + 2);
    } else {
        const auto colon = rest.lastIndexOf(QLatin1Char(':'));
        if (rest.isEmpty()) {
            return refuse(text, QStringLiteral("no host and no port; ") + form);
        }
        if (colon < 0) {
            return refuse(text, QStringLiteral("no port; ") + form);
        }
        host = rest.left(colon);
        portText = rest.mid(colon + 1);
        if (needsBrackets(host)) {
            return refuse(text, QStringLiteral("an IPv6 address goes in brackets, as "
                                               "tcp://[::1]:4001"));
        }
    }
    static const QRegularExpression hostForm(QStringLiteral("^[A-Za-z0-9._:%-]+$"));
    if (host.isEmpty()) {
        return refuse(text, QStringLiteral("no host; ") + form);
    }
    if (!hostForm.match(host).hasMatch()) {
        return refuse(text, QStringLiteral("%1 is no host name or address").arg(quoted(host)));
    }
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    const int port = digits.match(portText).hasMatch() ? portText.toInt() : 0;
    if (port < 1 || port > 65535) {
        return refuse(text, QStringLiteral("the port must be a number from 1 to 65535"));
    }
    Target target;
    target.kind = Target::Kind::Tcp;
    target.host = host;
    target.port = static_cast<quint16>(port);
    return {target, {}, {}};
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
    if (kind == Kind::Serial) {
        return device;
    }
    const QString shownHost =
        needsBrackets(host) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return tcpScheme + shownHost + QLatin1Char(':') + QString::number(port);
}

TargetReading readTarget(const QString& text) {
    const QString given = text.trimmed();
    if (given.isEmpty()) {
        const QString name =
            QStringLiteral("name a serial port (/dev/ttyUSB0, COM3) or a bridge (tcp://HOST:PORT)");
        return {std::nullopt, QStringLiteral("no target: ") + name,
                QStringLiteral("empty; ") + name};
    }
    if (hasControlCharacter(given)) {
        return refuse(given, QStringLiteral("holds a control character"));
    }
    if (given.startsWith(tcpScheme, Qt::CaseInsensitive)) {
        return readBridge(given);
    }
    if (const auto scheme = given.indexOf(QStringLiteral("://")); scheme >= 0) {
        return refuse(given, QStringLiteral("%1 is no kind of target here; name a serial port "
                                            "or a bridge as tcp://HOST:PORT")
                                 .arg(quoted(given.left(scheme + 3))));
    }
    // An address and a port without the scheme is a bridge written short, not a device.
    static const QRegularExpression hostAndPort(QStringLiteral("^[A-Za-z0-9.-]+:[0-9]+$"));
    if (hostAndPort.match(given).hasMatch()) {
        return refuse(given, QStringLiteral("no serial port; for a bridge write tcp://") + given);
    }
    Target target;
    target.device = given;
    return {target, {}, {}};
}

std::optional<Parity> readParity(const QString& text) {
    const QString name = text.trimmed().toLower();
    for (const Parity parity : parities) {
        const QString full = parityName(parity);
        if (name == full || name == full.left(1)) {
            return parity;
        }
    }
    return std::nullopt;
}

QString parityName(Parity parity) {
    const std::string_view name = rvx::parityKeyword(parity);
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

rvx::SiteTarget siteTargetOf(const Target& target, const Settings& settings) {
    rvx::SiteTarget site;
    if (target.kind == Target::Kind::Tcp) {
        site.kind = rvx::SiteTarget::Kind::Tcp;
        site.host = target.host.toStdString();
        site.port = target.port;
    } else {
        site.device = target.device.toStdString();
        site.baud = static_cast<unsigned>(std::max<qint32>(settings.baudRate, 1));
        site.parity = settings.parity;
    }
    return site;
}

std::chrono::milliseconds lineTime(std::size_t bytes, const Settings& settings) {
    const long long bitsPerByte = settings.parity == Parity::None ? 10 : 11;
    const long long bits = static_cast<long long>(bytes) * bitsPerByte;
    const long long baud = std::max<qint32>(settings.baudRate, 1);
    return std::chrono::milliseconds((bits * 1000 + baud - 1) / baud);
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
            what = QStringLiteral("no permission to open the port; ") +
                   (detail.isEmpty() ? QStringLiteral("join the dialout group (sudo usermod -aG "
                                                      "dialout $USER), then log out and in again")
                                     : detail);
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
