#include "send/send_record.h"

#include "rvx/frame_report.h"
#include "rvx/notation.h"
#include "text.h"

using ui::fromView;

QString SendRecord::command() const {
    return fromView(rvx::commandOf(made.command).name);
}

QString SendRecord::addressed() const {
    const QString address = QString::fromStdString(rvx::addressText(made.address));
    return fromView(rvx::kindInfo(made.kind).noun) + QLatin1Char(' ') + address;
}

QString SendRecord::frameText() const {
    return QString::fromStdString(rvx::writeFrame(made.bytes));
}

QString SendRecord::result() const {
    switch (state) {
        case State::Sending:
            return QStringLiteral("sending");
        case State::Sent:
            return QStringLiteral("sent");
        case State::TakenByBridge:
            return QStringLiteral("taken by the bridge, delivery to its line not reported");
        case State::HandedToBridge:
            return QStringLiteral("handed to the bridge");
        case State::Stopped:
            return QStringLiteral("stopped, not sent");
        case State::Failed:
            break;
    }
    return QStringLiteral("not sent: ") + detail;
}

QByteArray SendRecord::jsonLine() const {
    rvx::SentFrame sent;
    sent.frame = made.bytes;
    sent.command = made.command;
    sent.kind = made.kind;
    sent.address = made.address;
    sent.utcMs = time.toMSecsSinceEpoch();
    sent.target = target.toStdString();
    sent.result = result().toStdString();
    sent.sent =
        state == State::Sent || state == State::TakenByBridge || state == State::HandedToBridge;
    return QByteArray::fromStdString(rvx::sentJsonLine(sent));
}

QString sendText(const SendRecord& record) {
    const QString what = record.command() + QStringLiteral(" to ") + record.addressed();
    const QString where = record.bridge ? QStringLiteral("the bridge at ") + record.target
                                        : record.target + QStringLiteral(", ") + record.line;
    switch (record.state) {
        case SendRecord::State::Sending:
            return QStringLiteral("Sending ") + what +
                   (record.bridge ? QStringLiteral(" to ") : QStringLiteral(" on ")) + where +
                   QStringLiteral(" \u2026 (waiting up to %1 s)")
                       .arg(static_cast<double>(record.waitMs) / 1000.0);
        case SendRecord::State::Sent:
            return what + QStringLiteral(" sent on ") + where;
        case SendRecord::State::TakenByBridge:
            return what + QStringLiteral(" taken by ") + where +
                   QStringLiteral(
                       "; the bridge does not report delivery to its line, whose settings are "
                       "its own");
        case SendRecord::State::HandedToBridge:
            return what + QStringLiteral(" handed to ") + where +
                   QStringLiteral(
                       "; the bridge does not confirm delivery; line settings are the "
                       "bridge's");
        case SendRecord::State::Stopped:
            return what + QStringLiteral(" not sent: stopped");
        case SendRecord::State::Failed:
            break;
    }
    return what + QStringLiteral(" not sent: ") + record.detail;
}
