// Sending from the site window as an installer does it, on its real widgets and a real line (a
// pseudo-terminal, or a TCP server on 127.0.0.1 standing for a bridge): what is typed is what
// is sent or refused, closing the window ends its sends and its watch, a question answered
// Cancel leaves the window ready, a stopped send says how far it went, and the bus monitor
// stays whole and bounded under what the line brings.
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "bus_support.h"
#include "rvx/frame.h"
#include "send/bus_connection.h"
#include "send/motor_sender.h"
#include "session.h"
#include "site/frmSite.h"
#include "site/motor_list_model.h"
#include "site/site_document.h"
#include "site/site_monitor.h"

namespace {

constexpr int frameBytes = 14;

template <typename T = QWidget>
T* in(QWidget& window, const char* name) {
    return window.findChild<T*>(QString::fromLatin1(name));
}

void useLine(const QString& device) {
    BusConnection connection;
    connection.target = *rvx::bus::readTarget(device).target;
    connection.save();
}

bool click(QWidget& window, const char* name) {
    auto* button = in<QPushButton>(window, name);
    if (button == nullptr || !button->isVisible() || !button->isEnabled()) {
        return false;
    }
    QTest::mouseClick(button, Qt::LeftButton);
    return true;
}

void selectAll(frmSite& site) {
    auto* table = in<QTableView>(site, "tblMotors");
    table->setFocus();
    QTest::keyClick(table, Qt::Key_A, Qt::ControlModifier);
}

void selectRow(frmSite& site, int row) {
    auto* table = in<QTableView>(site, "tblMotors");
    const QRect cell = table->visualRect(table->model()->index(row, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
}

void showMonitor(frmSite& site) {
    in<QTabWidget>(site, "tabPanes")->setCurrentIndex(1);
}

rvx::Motor motorAt(int address, const QString& label = {},
                   rvx::AddressKind kind = rvx::AddressKind::Single) {
    rvx::Motor motor;
    motor.addressText = QStringLiteral("%1").arg(address, 6, 16, QLatin1Char('0')).toStdString();
    motor.label = label.toStdString();
    motor.kind = kind;
    return motor;
}

QList<rvx::Motor> motorsFrom(int first, int count) {
    QList<rvx::Motor> motors;
    for (int k = 0; k < count; ++k) {
        motors.append(motorAt(first + k, QStringLiteral("blind %1").arg(k)));
    }
    return motors;
}

// The frame the engine makes of a command for a single motor, with one value set.
QByteArray frameOf(rvx::CommandId command, rvx::Address address, rvx::ParameterField field = {},
                   double value = 0, bool set = false) {
    rvx::ParameterValues values = rvx::startValues();
    if (set) {
        values[static_cast<std::size_t>(field)] = value;
    }
    const auto frame =
        rvx::frameFor(rvx::commandOf(command), rvx::AddressKind::Single, address, values);
    return frame ? bus_test::bytesOf(*frame) : QByteArray("(no frame)");
}

// The site window of a session of its own.
struct SiteWindow {
    Session session;
    frmSite site{session};
};

}  // namespace

class SiteSendTest : public QObject {
    Q_OBJECT
    std::unique_ptr<SiteWindow> window_;

    frmSite& site() { return window_->site; }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("rvx-tests"));
        QCoreApplication::setApplicationName(QStringLiteral("ui_site_send_tests"));
    }
    void init() {
        QSettings().clear();
        window_ = std::make_unique<SiteWindow>();
        window_->site.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window_->site));
        QVERIFY(QTest::qWaitForWindowActive(&window_->site));
    }
    void cleanup() { window_.reset(); }

    // A value typed into the % or IP box stays as typed. One the frames admit is what the
    // motor gets; one they do not is refused in the engine's words, and nothing is sent.
    void typedValuesAreSentAsTypedOrRefused_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("refusal");  // empty: sent
        QTest::newRow("150 %") << "spnPct"
                               << "cmdGoToPct"
                               << "150"
                               << "\"150\": out of range; the percentage must be 0 to 100";
        QTest::newRow("1000 %") << "spnPct"
                                << "cmdGoToPct"
                                << "1000"
                                << "\"1000\": out of range; the percentage must be 0 to 100";
        QTest::newRow("101 %") << "spnPct"
                               << "cmdGoToPct"
                               << "101"
                               << "\"101\": out of range; the percentage must be 0 to 100";
        QTest::newRow("-5 %") << "spnPct"
                              << "cmdGoToPct"
                              << "-5"
                              << "\"-5\": out of range; the percentage must be 0 to 100";
        QTest::newRow("37 %") << "spnPct"
                              << "cmdGoToPct"
                              << "37"
                              << "";
        QTest::newRow("100 %") << "spnPct"
                               << "cmdGoToPct"
                               << "100"
                               << "";
        QTest::newRow("0 %") << "spnPct"
                             << "cmdGoToPct"
                             << "0"
                             << "";
        QTest::newRow("IP 17") << "spnIP"
                               << "cmdGoToIp"
                               << "17"
                               << "\"17\": out of range; the IP number must be 1 to 16";
        QTest::newRow("IP 99") << "spnIP"
                               << "cmdGoToIp"
                               << "99"
                               << "\"99\": out of range; the IP number must be 1 to 16";
        QTest::newRow("IP 0") << "spnIP"
                              << "cmdGoToIp"
                              << "0"
                              << "\"0\": out of range; the IP number must be 1 to 16";
        QTest::newRow("IP 16") << "spnIP"
                               << "cmdGoToIp"
                               << "16"
                               << "";
        QTest::newRow("IP 1") << "spnIP"
                              << "cmdGoToIp"
                              << "1"
                              << "";
    }
    void typedValuesAreSentAsTypedOrRefused() {
        QFETCH(QString, box);
        QFETCH(QString, button);
        QFETCH(QString, typed);
        QFETCH(QString, refusal);
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal line(clock);
        useLine(line.path());
        frmSite& site = this->site();
        QVERIFY(site.document().motors().setMotors({motorAt(0x123456, QStringLiteral("Office"))}));
        selectRow(site, 0);

        auto* field = in<QSpinBox>(site, qPrintable(box));
        QTest::mouseClick(field, Qt::LeftButton);
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, typed);
        QCOMPARE(field->cleanText(), typed);
        // Leaving the box keeps what it shows.
        QTest::keyClick(field, Qt::Key_Tab);
        QCOMPARE(field->cleanText(), typed);

        auto* send = in<QPushButton>(site, qPrintable(button));
        const bool isPct = box == QLatin1String("spnPct");
        if (!refusal.isEmpty()) {
            QVERIFY(!send->isEnabled());
            QCOMPARE(in<QLabel>(site, "lblSend")->text(), refusal);
            QCOMPARE(field->toolTip(), refusal);
            QTest::mouseClick(send, Qt::LeftButton);
            QTest::qWait(200);
            QVERIFY(line.nothingSent());
            QVERIFY(line.arrived().bytes.isEmpty());
            QVERIFY(site.sender().records().isEmpty());
            // The strings shown carry no frame of the refused value.
            QVERIFY2(site.stringsText().contains(QStringLiteral("not made:")),
                     qPrintable(site.stringsText()));
            QString problem;
            QVERIFY(!site.exportTo(QStringLiteral("/nonexistent/x.csv"), false, &problem));
            QCOMPARE(problem, refusal);
            // Put right, the value goes out, and the refusal is gone.
            QTest::mouseClick(field, Qt::LeftButton);
            QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(field, QStringLiteral("9"));
            QVERIFY(send->isEnabled());
            QVERIFY(in<QLabel>(site, "lblSend")->text().isEmpty());
            QVERIFY(click(site, qPrintable(button)));
            QTRY_COMPARE_WITH_TIMEOUT(
                line.arrived().bytes,
                frameOf(isPct ? rvx::CommandId::GoToPercent : rvx::CommandId::GoToIp,
                        {0x12, 0x34, 0x56},
                        isPct ? rvx::ParameterField::Pct : rvx::ParameterField::IP, 9, true),
                5000);
            return;
        }
        QVERIFY(click(site, qPrintable(button)));
        QTRY_COMPARE_WITH_TIMEOUT(
            line.arrived().bytes,
            frameOf(isPct ? rvx::CommandId::GoToPercent : rvx::CommandId::GoToIp,
                    {0x12, 0x34, 0x56}, isPct ? rvx::ParameterField::Pct : rvx::ParameterField::IP,
                    typed.toDouble(), true),
            5000);
    }

    // Closing the window ends what it had under way at once:
    // a send to twenty motors, the pause of Identify, an open question, a watch of a port or a
    // bridge. Nothing goes out after the close, and the port or bridge is let go.
    void closingEndsSendsAndWatches_data() {
        QTest::addColumn<bool>("bridge");
        QTest::addColumn<bool>("watch");
        QTest::addColumn<QString>("what");  // down, identify, group, none
        QTest::newRow("sending, port") << false << false << "down";
        QTest::newRow("sending, bridge") << true << false << "down";
        QTest::newRow("in the pause of Identify") << false << false << "identify";
        QTest::newRow("asking about a group") << false << false << "group";
        QTest::newRow("watching a port") << false << true << "none";
        QTest::newRow("watching a bridge") << true << true << "none";
        QTest::newRow("watching and sending, port") << false << true << "down";
    }
    void closingEndsSendsAndWatches() {
        QFETCH(bool, bridge);
        QFETCH(bool, watch);
        QFETCH(QString, what);
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal line(clock);
        bus_test::Bridge server(clock);
        useLine(bridge ? server.target() : line.path());
        const auto arrived = [&]() -> const QByteArray& {
            return bridge ? server.arrived().bytes : line.arrived().bytes;
        };
        frmSite& site = this->site();
        QList<rvx::Motor> motors = motorsFrom(0x200000, 20);
        if (what == QLatin1String("group")) {
            motors = {motorAt(0x0A0B0C, QStringLiteral("All blinds"), rvx::AddressKind::Group)};
        }
        QVERIFY(site.document().motors().setMotors(motors));
        if (watch) {
            showMonitor(site);
            QVERIFY(click(site, "cmdWatch"));
            QTRY_VERIFY(
                in<QLabel>(site, "lblMonitor")->text().startsWith(QStringLiteral("Watching")));
        }
        if (what == QLatin1String("down")) {
            selectAll(site);
            QVERIFY(click(site, "cmdDown"));
            QTRY_VERIFY_WITH_TIMEOUT(arrived().size() >= 2 * frameBytes, 5000);
        } else if (what == QLatin1String("identify")) {
            selectRow(site, 0);
            QVERIFY(click(site, "cmdIdentify"));
            QTRY_VERIFY_WITH_TIMEOUT(arrived().size() >= frameBytes, 5000);
        } else if (what == QLatin1String("group")) {
            selectRow(site, 0);
            QVERIFY(click(site, "cmdUp"));
            QVERIFY(site.findChild<QMessageBox*>(QStringLiteral("confirmGroup")) != nullptr);
        }

        QVERIFY(site.close());
        QVERIFY(!site.isVisible());
        QVERIFY(!site.sender().busy());
        QVERIFY(!site.monitor().watching());
        QTRY_VERIFY(site.findChild<QMessageBox*>(QStringLiteral("confirmGroup")) == nullptr);
        if (!bridge) {
            QVERIFY(line.nothingSent());
        }
        const qsizetype atClose = arrived().size();
        // Long enough for several more frames (or the jog down) to have come, had it gone on.
        QTest::qWait(frmSite::identifyPauseMs + 300);
        if (!bridge) {
            QVERIFY(line.nothingSent());
        }
        QCOMPARE(arrived().size(), atClose);
        QCOMPARE(atClose % frameBytes, 0);
        if (what == QLatin1String("down")) {
            QVERIFY(atClose < 20 * frameBytes);
        } else if (what == QLatin1String("identify")) {
            QCOMPARE(atClose, frameBytes);
        } else {
            QCOMPARE(atClose, 0);
        }
        for (const SendRecord& record : site.sender().records()) {
            QVERIFY(record.state != SendRecord::State::Sending);
        }

        if (bridge) {
            // Every connection the window made to the bridge is closed by the window.
            for (QTcpSocket* socket : server.connections()) {
                QTRY_COMPARE_WITH_TIMEOUT(socket->state(), QAbstractSocket::UnconnectedState, 5000);
            }
            return;
        }
        // Another program takes the port at once.
        QProcess send;
        send.start(QStringLiteral(RVX_STRINGS_PATH),
                   {"123456", "--command", "up", "--send", line.path()});
        QVERIFY(send.waitForFinished(10000));
        QCOMPARE(send.readAllStandardError(), QByteArray());
        QCOMPARE(send.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(arrived().mid(atClose),
                                  frameOf(rvx::CommandId::Up, {0x12, 0x34, 0x56}), 5000);
    }

    // Before a group moves, the question says what goes to whom; Cancel, by click or Esc,
    // sends nothing and leaves every send button as it was, and Stop sending off. So does
    // Cancel in the Bus connection dialog when no connection was chosen yet.
    void aDeclinedSendLeavesTheWindowReady_data() {
        QTest::addColumn<QList<int>>("addresses");  // with kind: above 0xFFFFFF is a group
        QTest::addColumn<bool>("identify");
        QTest::addColumn<bool>("byEsc");
        QTest::addColumn<bool>("connection");  // one was chosen before
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("detail");  // before "Send it to ..."
        const int group = 0x1000000;
        QTest::newRow("a group, Cancel")
            << QList<int>{group + 0x0A0B0C} << false << false << true
            << "Up to group 0A0B0C \"place 0\" moves every motor of that group."
            << "";
        QTest::newRow("a group, Esc")
            << QList<int>{group + 0x0A0B0C} << false << true << true
            << "Up to group 0A0B0C \"place 0\" moves every motor of that group."
            << "";
        QTest::newRow("motor FFFFFF")
            << QList<int>{0xFFFFFF} << false << false << true
            << "Up to motor FFFFFF \"place 0\" moves every motor of group FFFFFF: the frame is "
               "the same."
            << "";
        QTest::newRow("Identify of two groups and a motor")
            << QList<int>{group + 0x0A0B0C, 0x123456, group + 0x0D0E0F} << true << false << true
            << "Jog Up 10 ms, then Jog Down 10 ms moves every motor of 2 groups:"
            << "group 0A0B0C \"place 0\"\ngroup 0D0E0F \"place 2\"\n";
        QTest::newRow("no connection chosen, Cancel")
            << QList<int>{0x123456} << false << false << false << ""
            << "";
    }
    void aDeclinedSendLeavesTheWindowReady() {
        QFETCH(QList<int>, addresses);
        QFETCH(bool, identify);
        QFETCH(bool, byEsc);
        QFETCH(bool, connection);
        QFETCH(QString, text);
        QFETCH(QString, detail);
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal line(clock);
        if (connection) {
            useLine(line.path());
        }
        frmSite& site = this->site();
        QList<rvx::Motor> motors;
        for (qsizetype k = 0; k < addresses.size(); ++k) {
            const int address = addresses[k];
            motors.append(
                motorAt(address & 0xFFFFFF, QStringLiteral("place %1").arg(k),
                        address > 0xFFFFFF ? rvx::AddressKind::Group : rvx::AddressKind::Single));
        }
        QVERIFY(site.document().motors().setMotors(motors));
        selectAll(site);
        const QStringList buttons{"cmdUp",     "cmdStop",  "cmdDown",    "cmdGoToPct",
                                  "cmdGoToIp", "cmdJogUp", "cmdJogDown", "cmdIdentify"};
        for (const QString& name : buttons) {
            QVERIFY2(in<QPushButton>(site, qPrintable(name))->isEnabled(), qPrintable(name));
        }
        QVERIFY(click(site, identify ? "cmdIdentify" : "cmdUp"));
        QVERIFY(in<QPushButton>(site, "cmdStopSending")->isEnabled());
        if (!connection) {
            auto* dialog = site.findChild<BusConnectionDialog*>();
            QVERIFY(dialog != nullptr && dialog->isVisible());
            dialog->reject();
        } else {
            auto* question = site.findChild<QMessageBox*>(QStringLiteral("confirmGroup"));
            QVERIFY(question != nullptr && question->isVisible());
            QCOMPARE(question->text(), text);
            QCOMPARE(question->informativeText(),
                     detail + QStringLiteral("Send it to %1 at 4800 8O1?").arg(line.path()));
            if (byEsc) {
                QTest::keyClick(question, Qt::Key_Escape);
            } else {
                QTest::mouseClick(question->button(QMessageBox::Cancel), Qt::LeftButton);
            }
        }
        QTRY_VERIFY(!site.sender().busy());
        for (const QString& name : buttons) {
            QVERIFY2(in<QPushButton>(site, qPrintable(name))->isEnabled(), qPrintable(name));
        }
        QVERIFY(!in<QPushButton>(site, "cmdStopSending")->isEnabled());
        QTest::qWait(100);
        QVERIFY(line.nothingSent());
        QVERIFY(line.arrived().bytes.isEmpty());
    }

    // A stopped send says how many motors got the frame and which did not, as the line saw.
    void aStoppedSendSaysHowFarItWent() {
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal line(clock);
        useLine(line.path());
        frmSite& site = this->site();
        QVERIFY(site.document().motors().setMotors(motorsFrom(0x100000, 20)));
        selectAll(site);
        QVERIFY(click(site, "cmdDown"));
        QTRY_VERIFY_WITH_TIMEOUT(line.arrived().bytes.size() >= 5 * frameBytes, 5000);
        QTest::keyClick(&site, Qt::Key_Escape);
        QVERIFY(!site.sender().busy());
        QTest::qWait(300);
        QVERIFY(line.nothingSent());
        const auto gotIt = static_cast<int>(line.arrived().bytes.size() / frameBytes);
        int sent = 0;
        for (const SendRecord& record : site.sender().records()) {
            sent += record.state == SendRecord::State::Sent ? 1 : 0;
        }
        // Every frame said to have gone is on the line; the one in hand at the stop may be too.
        QVERIFY2(gotIt == sent || gotIt == sent + 1,
                 qPrintable(QStringLiteral("%1 %2").arg(gotIt).arg(sent)));
        QVERIFY(sent >= 4 && sent < 20);
        QStringList missed;
        for (int k = sent; k < sent + 5; ++k) {
            missed << QStringLiteral("blind %1 (%2)").arg(k).arg(0x100000 + k, 6, 16);
        }
        QCOMPARE(in<QLabel>(site, "lblSend")->text(),
                 QStringLiteral("Stopped: Down went out to %1 of 20 motors, not to %2 and %3 more")
                     .arg(sent)
                     .arg(missed.join(QStringLiteral(", ")))
                     .arg(20 - sent - 5));
    }

    // Identify stopped in its pause: the jog up went out, the jog down did not.
    void identifyStoppedInItsPauseSaysSo() {
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal line(clock);
        useLine(line.path());
        frmSite& site = this->site();
        QVERIFY(site.document().motors().setMotors({motorAt(0x123456, QStringLiteral("Office"))}));
        selectRow(site, 0);
        QVERIFY(click(site, "cmdIdentify"));
        QTRY_COMPARE_WITH_TIMEOUT(line.arrived().bytes.size(), frameBytes, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(site.sender().records().value(0).state, SendRecord::State::Sent,
                                  5000);
        QVERIFY(click(site, "cmdStopSending"));
        QCOMPARE(in<QLabel>(site, "lblSend")->text(),
                 QStringLiteral("Stopped: Jog Up 10 ms went out to 1 of 1 motor; Jog Down 10 ms "
                                "went out to 0 of 1 motor, not to Office (123456)"));
        QTest::qWait(frmSite::identifyPauseMs + 200);
        QCOMPARE(line.arrived().bytes.size(), frameBytes);
    }

    // The arrows step inside the admitted range, from a refused value into it as well.
    void theArrowsStayInTheRange() {
        frmSite& site = this->site();
        auto* pct = in<QSpinBox>(site, "spnPct");
        pct->setFocus();
        QTest::keyClick(pct, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(pct, QStringLiteral("100"));
        QTest::keyClick(pct, Qt::Key_Up);
        QCOMPARE(pct->value(), 100);
        QTest::keyClick(pct, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(pct, QStringLiteral("250"));
        QTest::keyClick(pct, Qt::Key_Down);
        QCOMPARE(pct->value(), 99);
        QCOMPARE(pct->toolTip(), QString());
        auto* ip = in<QSpinBox>(site, "spnIP");
        ip->setFocus();
        QTest::keyClick(ip, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(ip, QStringLiteral("1"));
        QTest::keyClick(ip, Qt::Key_Down);
        QCOMPARE(ip->value(), 1);
    }
};

QTEST_MAIN(SiteSendTest)
#include "site_send_test.moc"
