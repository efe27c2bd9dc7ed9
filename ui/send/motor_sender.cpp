#include "send/motor_sender.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <algorithm>

#include "text.h"

MotorSender::MotorSender(rvx::bus::Connections& connections, QObject* parent)
    : QObject(parent), sender_(connections) {
    pause_.setSingleShot(true);
    connect(&pause_, &QTimer::timeout, this, &MotorSender::runStep);
    connect(&sender_, &rvx::bus::Sender::frameSent, this, [this](int index) {
        // A bridge has been handed the bytes; whether it took them is known once the send ends.
        const bool bridge = connection_ && connection_->target.kind == rvx::bus::Target::Kind::Tcp;
        mark(stepFirstRow_ + index,
             bridge ? SendRecord::State::HandedToBridge : SendRecord::State::Sent);
    });
    connect(&sender_, &rvx::bus::Sender::finished, this, [this] {
        // Over a bridge the sender tells whether the bridge confirmed that it read the bytes.
        if (sender_.delivery() == rvx::bus::Delivery::TakenByBridge) {
            for (int row = stepFirstRow_; row < static_cast<int>(records_.size()); ++row) {
                if (records_[row].state == SendRecord::State::HandedToBridge) {
                    mark(row, SendRecord::State::TakenByBridge);
                }
            }
        }
        steps_.removeFirst();
        if (!steps_.isEmpty()) {
            const auto pause = steps_.first().pauseBefore;
            if (pause.count() > 0) {
                pause_.start(pause);
            } else {
                runStep();
            }
            return;
        }
        const BusConnection done = *connection_;
        endSend();
        emit sent(done.target.text() + QStringLiteral(" at ") + done.lineText());
    });
    connect(&sender_, &rvx::bus::Sender::failed, this, [this](const rvx::bus::Error& error) {
        const int failedRow = stepFirstRow_ + error.framesSent;
        mark(failedRow, SendRecord::State::Failed, error.message);
        // The frames after the failed one were never tried.
        for (int row = failedRow + 1; row < static_cast<int>(records_.size()); ++row) {
            mark(row, SendRecord::State::Failed, error.message);
        }
        QWidget* window = window_;
        endSend();
        auto* box =
            new QMessageBox(QMessageBox::Warning, QStringLiteral("Not sent"),
                            QStringLiteral("The frame was not sent."), QMessageBox::Ok, window);
        box->setObjectName(QStringLiteral("sendFailed"));
        box->setInformativeText(error.message);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        emit failed(error.message);
    });
}

bool MotorSender::busy() const {
    return connection_.has_value() || sender_.busy() || asking_;
}

void MotorSender::chooseConnection(QWidget* window, const std::function<void()>& next) {
    auto* dialog = new BusConnectionDialog(BusConnection::load(), window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    asking_ = true;
    asked_ = dialog;
    connect(dialog, &QDialog::finished, this, [this, next](int result) {
        asking_ = false;
        if (result == QDialog::Accepted) {
            emit connectionChosen();
        }
        if (result == QDialog::Accepted && next) {
            next();
        } else if (result != QDialog::Accepted) {
            emit declined();
        }
    });
    dialog->open();
}

void MotorSender::send(QLineEdit* field, const rvx::MadeFrame& made) {
    sendSteps({SendStep{{made}, {}, {}}}, field->window(), field);
}

bool MotorSender::sendSteps(const QList<SendStep>& steps, QWidget* window,
                            const QPointer<QObject>& owner) {
    if (busy()) {
        return false;
    }
    // Address FFFFFF gives the same frame for a single motor and for a group, so it is asked
    // about as well.
    constexpr rvx::Address everyBit{0xFF, 0xFF, 0xFF};
    QStringList commands;  // of the frames that move a group, in the order they go
    QStringList moved;     // "group 0A0B0C \"Hall\"", "motor FFFFFF (the frame of group FFFFFF)"
    QStringList addresses;
    QString only;  // what the question says of the one group moved
    int frames = 0;
    for (const SendStep& step : steps) {
        for (qsizetype k = 0; k < step.frames.size(); ++k) {
            const rvx::MadeFrame& made = step.frames[k];
            if (rvx::refusedValue(made)) {
                return false;
            }
            ++frames;
            if (made.kind != rvx::AddressKind::Group && made.address != everyBit) {
                continue;
            }
            const QString command = ui::fromView(rvx::commandOf(made.command).name);
            if (!commands.contains(command)) {
                commands.append(command);
            }
            const QString address = QString::fromStdString(rvx::addressText(made.address));
            const QString key = address + (made.kind == rvx::AddressKind::Group ? u'g' : u's');
            if (addresses.contains(key)) {
                continue;
            }
            addresses.append(key);
            QString whom = made.kind == rvx::AddressKind::Group
                               ? QStringLiteral("group ") + address
                               : QStringLiteral("motor ") + address;
            const QString label = step.labels.value(k);
            if (!label.isEmpty()) {
                whom += QStringLiteral(" \"%1\"").arg(label);
            }
            const bool wholeGroup = made.kind == rvx::AddressKind::Group;
            moved.append(wholeGroup ? whom : whom + QStringLiteral(" (the frame of group FFFFFF)"));
            only = wholeGroup ? whom + QStringLiteral(" moves every motor of that group.")
                              : whom + QStringLiteral(
                                           " moves every motor of group FFFFFF: the "
                                           "frame is the same.");
        }
    }
    if (frames == 0) {
        return false;
    }
    // Only a send whose owner was given and is gone since ends here.
    const bool owned = !owner.isNull();
    const auto ownerGone = [owner, owned] { return owned && owner.isNull(); };

    const QPointer<QWidget> from = window;
    const auto connection = BusConnection::load();
    if (!connection) {
        chooseConnection(window, [this, steps, from, owner, ownerGone] {
            if (!ownerGone() && from != nullptr) {
                sendSteps(steps, from, owner);
            }
        });
        return true;
    }

    // A frame for a group moves every motor of it; the frame says which kind it was made for.
    if (moved.isEmpty()) {
        start(*connection, steps, window);
        return true;
    }
    const QString what = commands.join(QStringLiteral(", then "));
    QString text;
    QString whom;
    if (moved.size() == 1) {
        text = what + QStringLiteral(" to ") + only;
    } else {
        // A long list is cut to its first lines and a count.
        constexpr qsizetype shown = 10;
        text = what + QStringLiteral(" moves every motor of %1 groups:").arg(moved.size());
        whom = moved.mid(0, shown).join(QLatin1Char('\n'));
        if (moved.size() > shown) {
            whom += QStringLiteral("\nand %1 more").arg(moved.size() - shown);
        }
        whom += QLatin1Char('\n');
    }
    auto* question = new QMessageBox(QMessageBox::Question, QStringLiteral("Send to a group"), text,
                                     QMessageBox::Cancel, window);
    question->setObjectName(QStringLiteral("confirmGroup"));
    question->setInformativeText(whom + QStringLiteral("Send it to ") + connection->text() +
                                 QStringLiteral("?"));
    QPushButton* go = question->addButton(QStringLiteral("&Send"), QMessageBox::AcceptRole);
    go->setObjectName(QStringLiteral("cmdSendToGroup"));
    question->setDefaultButton(QMessageBox::Cancel);
    question->setAttribute(Qt::WA_DeleteOnClose);
    asking_ = true;
    asked_ = question;
    connect(question, &QMessageBox::finished, this,
            [this, question, go, connection = *connection, steps, from, ownerGone](int) {
                asking_ = false;
                if (question->clickedButton() == go && !ownerGone() && from != nullptr) {
                    start(connection, steps, from);
                } else {
                    emit declined();
                }
            });
    question->open();
    return true;
}

void MotorSender::start(const BusConnection& connection, const QList<SendStep>& steps,
                        QWidget* window) {
    connection_ = connection;
    window_ = window;
    steps_.clear();
    for (const SendStep& step : steps) {
        if (!step.frames.isEmpty()) {
            steps_.append(step);
        }
    }
    // The first step goes out at once; a pause stands only between steps.
    runStep();
}

void MotorSender::runStep() {
    if (!connection_ || steps_.isEmpty()) {
        return;
    }
    const SendStep& step = steps_.first();
    std::vector<rvx::Frame> frames;
    frames.reserve(static_cast<std::size_t>(step.frames.size()));
    stepFirstRow_ = static_cast<int>(records_.size());
    for (const rvx::MadeFrame& made : step.frames) {
        SendRecord record;
        record.time = QDateTime::currentDateTimeUtc();
        record.target = connection_->target.text();
        record.line = connection_->lineText();
        record.bridge = connection_->target.kind == rvx::bus::Target::Kind::Tcp;
        record.made = made;
        record.window = window_;
        record.waitMs = static_cast<qint64>(connection_->settings.timeout.count());
        records_.append(record);
        frames.push_back(made.bytes);
    }
    for (int row = stepFirstRow_; row < static_cast<int>(records_.size()); ++row) {
        emit changed(records_[row], row);
    }
    if (!sender_.send(connection_->target, frames, connection_->settings)) {
        // The sender takes every send of ours, since none is under way; should it not, the
        // frames are not sent and say so.
        for (int row = stepFirstRow_; row < static_cast<int>(records_.size()); ++row) {
            mark(row, SendRecord::State::Failed, QStringLiteral("the sender was busy"));
        }
        endSend();
    }
}

void MotorSender::stop() {
    if (!connection_) {
        return;
    }
    sender_.cancel();
    pause_.stop();
    for (int row = stepFirstRow_; row < static_cast<int>(records_.size()); ++row) {
        if (records_[row].state == SendRecord::State::Sending) {
            mark(row, SendRecord::State::Stopped);
        }
    }
    endSend();
    emit stopped();
}

void MotorSender::stopFor(const QWidget* window) {
    if (asking_ && asked_ != nullptr && asked_->parentWidget() == window) {
        asked_->close();  // a send it would have started starts no more
    }
    if (connection_ && window_ == window) {
        stop();
    }
}

void MotorSender::mark(int row, SendRecord::State state, const QString& detail) {
    if (row < 0 || row >= static_cast<int>(records_.size())) {
        return;
    }
    records_[row].state = state;
    records_[row].detail = detail;
    emit changed(records_[row], row);
}

void MotorSender::endSend() {
    connection_.reset();
    window_ = nullptr;
    steps_.clear();
    pause_.stop();
}
