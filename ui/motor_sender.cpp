#include "motor_sender.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

MotorSender::MotorSender(QWidget* window) : QObject(window), window_(window) {
    connect(&sender_, &rvx::bus::Sender::finished, this, [this] {
        // Over a bridge the sender tells whether the bridge confirmed that it read the bytes.
        switch (sender_.delivery()) {
            case rvx::bus::Delivery::OnTheLine:
                end(SendRecord::State::Sent);
                break;
            case rvx::bus::Delivery::TakenByBridge:
                end(SendRecord::State::TakenByBridge);
                break;
            case rvx::bus::Delivery::HandedToBridge:
                end(SendRecord::State::HandedToBridge);
                break;
        }
        emit sent(records_.last().target + QStringLiteral(" at ") + records_.last().line);
    });
    connect(&sender_, &rvx::bus::Sender::failed, this, [this](const rvx::bus::Error& error) {
        end(SendRecord::State::Failed, error.message);
        auto* box =
            new QMessageBox(QMessageBox::Warning, QStringLiteral("Not sent"),
                            QStringLiteral("The frame was not sent."), QMessageBox::Ok, window_);
        box->setObjectName(QStringLiteral("sendFailed"));
        box->setInformativeText(error.message);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        emit failed(error.message);
    });
}

bool MotorSender::busy() const {
    return sender_.busy() || asking_;
}

void MotorSender::chooseConnection(const std::function<void()>& next) {
    auto* dialog = new BusConnectionDialog(BusConnection::load(), window_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    asking_ = true;
    connect(dialog, &QDialog::finished, this, [this, next](int result) {
        asking_ = false;
        if (result == QDialog::Accepted && next) {
            next();
        }
    });
    dialog->open();
}

void MotorSender::send(QLineEdit* field, const rvx::MadeFrame& made) {
    if (busy() || rvx::refusedValue(made)) {
        return;
    }
    const auto connection = BusConnection::load();
    if (!connection) {
        chooseConnection([this, field = QPointer<QLineEdit>(field), made] {
            if (field) {
                send(field, made);
            }
        });
        return;
    }

    // A frame for a group moves every motor of it; the frame says which kind it was made for.
    // Address FFFFFF gives the same frame for a single motor and for a group, so it is asked
    // about as well.
    constexpr rvx::Address everyBit{0xFF, 0xFF, 0xFF};
    if (made.kind == rvx::AddressKind::Single && made.address != everyBit) {
        start(*connection, made);
        return;
    }
    auto* question =
        new QMessageBox(QMessageBox::Question, QStringLiteral("Send to a group"),
                        QStringLiteral("This moves every motor of group %1.")
                            .arg(QString::fromStdString(rvx::addressText(made.address))),
                        QMessageBox::Cancel, window_);
    question->setObjectName(QStringLiteral("confirmGroup"));
    question->setInformativeText(QStringLiteral("Send it to ") + connection->text() +
                                 QStringLiteral("?"));
    QPushButton* go = question->addButton(QStringLiteral("&Send"), QMessageBox::AcceptRole);
    go->setObjectName(QStringLiteral("cmdSendToGroup"));
    question->setDefaultButton(QMessageBox::Cancel);
    question->setAttribute(Qt::WA_DeleteOnClose);
    asking_ = true;
    connect(question, &QMessageBox::finished, this,
            [this, question, go, connection = *connection, made](int) {
                asking_ = false;
                if (question->clickedButton() == go) {
                    start(connection, made);
                }
            });
    question->open();
}

void MotorSender::start(const BusConnection& connection, const rvx::MadeFrame& made) {
    SendRecord record;
    record.time = QDateTime::currentDateTimeUtc();
    record.target = connection.target.text();
    record.line = connection.lineText();
    record.bridge = connection.target.kind == rvx::bus::Target::Kind::Tcp;
    record.made = made;
    record.waitMs = static_cast<qint64>(connection.settings.timeout.count());
    if (!sender_.send(connection.target, std::span(&made.bytes, 1), connection.settings)) {
        return;
    }
    records_.append(record);
    emit changed(records_.last());
}

void MotorSender::end(SendRecord::State state, const QString& detail) {
    if (records_.isEmpty()) {
        return;
    }
    records_.last().state = state;
    records_.last().detail = detail;
    emit changed(records_.last());
}
