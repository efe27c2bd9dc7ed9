#include "motor_sender.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QToolTip>

#include "rvx/decode.h"

namespace {

// How long "Sent" stays beside the field.
constexpr int shownFor = 2500;  // milliseconds

}  // namespace

MotorSender::MotorSender(QWidget* window) : QObject(window), window_(window) {
    connect(&sender_, &rvx::bus::Sender::finished, this, [this] {
        const QString text = QStringLiteral("Sent to ") + where_;
        if (field_) {
            QToolTip::showText(field_->mapToGlobal(QPoint(0, field_->height())), text, field_, {},
                               shownFor);
        }
        emit sent(where_);
    });
    connect(&sender_, &rvx::bus::Sender::failed, this, [this](const rvx::bus::Error& error) {
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

void MotorSender::send(QLineEdit* field, const rvx::Frame& frame) {
    if (busy()) {
        return;
    }
    const auto connection = BusConnection::load();
    if (!connection) {
        chooseConnection([this, field = QPointer<QLineEdit>(field), frame] {
            if (field) {
                send(field, frame);
            }
        });
        return;
    }
    field_ = field;

    // A frame for a group moves every motor of it; address FFFFFF is the same frame for a single
    // motor and for a group, so it is asked about as well.
    const rvx::DecodedFrame decoded = rvx::decodeFrame(frame);
    if (decoded.kind == rvx::AddressKind::Single) {
        start(*connection, frame);
        return;
    }
    auto* question = new QMessageBox(
        QMessageBox::Question, QStringLiteral("Send to a group"),
        QStringLiteral("This moves every motor of group %1.")
            .arg(QString::fromStdString(decoded.address ? rvx::addressText(*decoded.address)
                                                        : std::string())),
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
            [this, question, go, connection = *connection, frame](int) {
                asking_ = false;
                if (question->clickedButton() == go) {
                    start(connection, frame);
                }
            });
    question->open();
}

void MotorSender::start(const BusConnection& connection, const rvx::Frame& frame) {
    where_ = connection.text();
    sender_.send(connection.target, std::span(&frame, 1), connection.settings);
}
