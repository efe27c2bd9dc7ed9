// Sending from the site window as an installer does it, on its real widgets and a real line (a
// pseudo-terminal, or a TCP server on 127.0.0.1 standing for a bridge): what is typed is what
// is sent or refused, closing the window ends its sends and its watch, a question answered
// Cancel leaves the window ready, a stopped send says how far it went, and the bus monitor
// stays whole and bounded under what the line brings.
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "bus_support.h"
#include "rvx/frame.h"
#include "send/bus_connection.h"
#include "send/motor_sender.h"
#include "session.h"
#include "site/frmSite.h"
#include "site/monitor_pane.h"
#include "site/motor_list_model.h"
#include "site/site_document.h"
#include "site/site_monitor.h"
#include "site_driver.h"

namespace {

using namespace site_driver;

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

// A bridge that hands back every byte it takes on the same connection after a short while, as
// a bridge on a bus that hears its own sends does; and, asked to, floods every connection
// with bytes, then ends them with a frame.
class EchoBridge {
public:
    EchoBridge() {
        if (!server_.listen(QHostAddress::LocalHost)) {
            qFatal("cannot listen on 127.0.0.1");
        }
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                connections_.append(socket);
                QObject::connect(socket, &QTcpSocket::readyRead, [socket] {
                    const QByteArray bytes = socket->readAll();
                    QTimer::singleShot(30, socket, [socket, bytes] { socket->write(bytes); });
                });
            }
        });
    }
    [[nodiscard]] QString target() const {
        return QStringLiteral("tcp://127.0.0.1:%1").arg(server_.serverPort());
    }
    [[nodiscard]] const QList<QTcpSocket*>& connections() const { return connections_; }

    // Writes the bytes to the first connection a piece at a time, each once the one before
    // has gone, then the frame.
    void flood(QByteArray bytes, const QByteArray& last) {
        QTcpSocket* socket = connections_.first();
        flood_ = std::move(bytes) + last;
        QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [this, socket] {
            if (socket->bytesToWrite() == 0) {
                writePiece(socket);
            }
        });
        writePiece(socket);
    }

private:
    void writePiece(QTcpSocket* socket) {
        constexpr qsizetype piece = 256 * 1024;
        if (floodAt_ < flood_.size()) {
            socket->write(flood_.mid(floodAt_, piece));
            floodAt_ += piece;
        }
    }

    QTcpServer server_;
    QList<QTcpSocket*> connections_;
    QByteArray flood_;
    qsizetype floodAt_ = 0;
};

// The memory this process holds now, in kB (VmRSS).
qint64 residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

// A cell of a table as shown; "(no cell)" where the row or column has none.
// Watches the connection saved; true once the monitor says so.
bool watch(frmSite& site) {
    showMonitor(site);
    if (!click(site, "cmdWatch")) {
        return false;
    }
    return QTest::qWaitFor([&site] {
        return in<QLabel>(site, "lblMonitor")->text().startsWith(QStringLiteral("Watching"));
    });
}

}  // namespace

class SiteSendTest : public QObject {
    Q_OBJECT
    std::unique_ptr<SiteWindow> window_;

    frmSite& site() { return window_->site; }

private slots:
    void initTestCase() { useTestSettings("ui_site_send_tests"); }
    void init() { QVERIFY(openSiteWindow(window_)); }
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

    // Frames sent through a bridge that hands them back: one row each, marked sent, named
    // after the motor. The same frame from elsewhere, once its echo came, gets a row of its own.
    void anEchoedSendIsOneRow() {
        EchoBridge bridge;
        useLine(bridge.target());
        frmSite& site = this->site();
        QVERIFY(site.document().motors().setMotors(motorsFrom(0x300000, 3)));
        QVERIFY(watch(site));
        selectAll(site);
        QVERIFY(click(site, "cmdUp"));
        QTRY_VERIFY_WITH_TIMEOUT(!site.sender().busy(), 5000);
        auto* rows = in<QTableView>(site, "tblMonitor");
        QTRY_COMPARE_WITH_TIMEOUT(rows->model()->rowCount(), 3, 5000);
        // The echoes come 30 ms after each frame; long enough for all of them to have come.
        QTest::qWait(500);
        QCOMPARE(rows->model()->rowCount(), 3);
        for (int k = 0; k < 3; ++k) {
            QCOMPARE(cell(rows, k, SiteMonitor::Sent), QStringLiteral("sent"));
            QCOMPARE(cell(rows, k, SiteMonitor::Motor), QStringLiteral("blind %1").arg(k));
            QCOMPARE(cell(rows, k, SiteMonitor::FrameBytes),
                     QString::fromLatin1(
                         frameOf(rvx::CommandId::Up, {0x30, 0x00, static_cast<std::uint8_t>(k)})
                             .toHex(' ')
                             .toUpper()));
        }
        bridge.connections().first()->write(frameOf(rvx::CommandId::Up, {0x30, 0x00, 0x01}));
        QTRY_COMPARE_WITH_TIMEOUT(rows->model()->rowCount(), 4, 5000);
        QCOMPARE(cell(rows, 3, SiteMonitor::Sent), QString());
        QCOMPARE(cell(rows, 3, SiteMonitor::Motor), QStringLiteral("blind 1"));
    }

    // The monitor's details: a finding shown whole, a save that leaves "Watching" said, a
    // click on a frame's row selecting its motor, a filter to one motor.
    void theMonitorShowsWholeFindingsAndLeadsToTheMotor() {
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal line(clock);
        useLine(line.path());
        frmSite& site = this->site();
        QVERIFY(site.document().motors().setMotors({motorAt(0x123456, QStringLiteral("Office")),
                                                    motorAt(0x654321, QStringLiteral("Hall")),
                                                    motorAt(0x111111, QStringLiteral("Porch"))}));
        QVERIFY(watch(site));
        QByteArray wrongSum = frameOf(rvx::CommandId::Up, {0x12, 0x34, 0x56});
        wrongSum[13] = static_cast<char>(wrongSum[13] + 1);
        line.write(wrongSum + frameOf(rvx::CommandId::Down, {0x65, 0x43, 0x21}) +
                   frameOf(rvx::CommandId::Stop, {0x12, 0x34, 0x56}));
        auto* rows = in<QTableView>(site, "tblMonitor");
        QTRY_COMPARE_WITH_TIMEOUT(rows->model()->rowCount(), 3, 5000);
        const QString finding = cell(rows, 0, SiteMonitor::Result);
        QVERIFY2(finding.startsWith(QStringLiteral("not valid: ")) && finding.contains("checksum"),
                 qPrintable(finding));
        QCOMPARE(rows->model()->index(0, SiteMonitor::Result).data(Qt::ToolTipRole).toString(),
                 finding);

        // The row of Hall's frame, clicked: Hall is the motor selected.
        const QRect hall = rows->visualRect(rows->model()->index(1, SiteMonitor::Command));
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, hall.center());
        QCOMPARE(site.selectedMotors().size(), 1);
        QCOMPARE(site.selectedMotors()[0].label, "Hall");
        // Hidden by the list's filter, the motor is shown and selected all the same.
        QTest::keyClicks(in<QLineEdit>(site, "txtFilter"), QStringLiteral("Porch"));
        const QRect office = rows->visualRect(rows->model()->index(2, SiteMonitor::Command));
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, office.center());
        QCOMPARE(site.selectedMotors().size(), 1);
        QCOMPARE(site.selectedMotors()[0].label, "Office");

        // The filter keeps one motor's rows, by label or address.
        auto* filter = in<QLineEdit>(site, "txtMonitorFilter");
        QTest::keyClicks(filter, QStringLiteral("office"));
        QCOMPARE(rows->model()->rowCount(), 2);
        QCOMPARE(cell(rows, 1, SiteMonitor::Command), QStringLiteral("Stop"));
        filter->clear();
        QTest::keyClicks(filter, QStringLiteral("654321"));
        QCOMPARE(rows->model()->rowCount(), 1);
        QCOMPARE(cell(rows, 0, SiteMonitor::Motor), QStringLiteral("Hall"));
        line.write(frameOf(rvx::CommandId::Up, {0x65, 0x43, 0x21}) +
                   frameOf(rvx::CommandId::Up, {0x11, 0x11, 0x11}));
        QTRY_COMPARE_WITH_TIMEOUT(site.monitor().rowCount(), 5, 5000);
        QCOMPARE(rows->model()->rowCount(), 2);
        filter->clear();
        QCOMPARE(rows->model()->rowCount(), 5);

        // A save says so after what is watched.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bus.jsonl"));
        QTimer::singleShot(0, [path] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                dialog->selectFile(path);
                QMetaObject::invokeMethod(dialog, "accept");
            }
        });
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        QVERIFY(click(site, "cmdSaveMonitor"));
        QCOMPARE(in<QLabel>(site, "lblMonitor")->text(),
                 QStringLiteral("Watching %1 at 4800 8O1; saved to %2").arg(line.path(), path));
        QVERIFY(QFile::exists(path));
    }

    // A bridge that drops the watch is opened again, and the line says so.
    void aDroppedBridgeIsOpenedAgain() {
        EchoBridge bridge;
        useLine(bridge.target());
        frmSite& site = this->site();
        QVERIFY(watch(site));
        QTRY_COMPARE(bridge.connections().size(), 1);
        bridge.connections().first()->disconnectFromHost();
        auto* status = in<QLabel>(site, "lblMonitor");
        QTRY_VERIFY_WITH_TIMEOUT(status->text().contains(QStringLiteral("trying again in 1 s (try "
                                                                        "1 of 5)")),
                                 5000);
        QCOMPARE(in<QPushButton>(site, "cmdWatch")->text(), QStringLiteral("Stop &watching"));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.connections().size(), 2, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(
            status->text(), QStringLiteral("Watching %1 at 4800 8O1").arg(bridge.target()), 5000);
        QVERIFY(site.monitor().watching());
        // Stop watching during the wait ends the tries.
        bridge.connections().last()->disconnectFromHost();
        QTRY_VERIFY_WITH_TIMEOUT(status->text().contains(QStringLiteral("trying again")), 5000);
        QVERIFY(click(site, "cmdWatch"));
        QCOMPARE(status->text(), QStringLiteral("Not watching"));
        QTest::qWait(SiteMonitorPane::firstReconnectMs + 300);
        QCOMPARE(bridge.connections().size(), 2);
        QVERIFY(!site.monitor().watching());
        // So does closing the window.
        QVERIFY(click(site, "cmdWatch"));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.connections().size(), 3, 5000);
        QTRY_VERIFY(site.monitor().watching());
        bridge.connections().last()->disconnectFromHost();
        QTRY_VERIFY_WITH_TIMEOUT(status->text().contains(QStringLiteral("trying again")), 5000);
        QVERIFY(site.close());
        QTest::qWait(SiteMonitorPane::firstReconnectMs + 300);
        QCOMPARE(bridge.connections().size(), 3);
        QVERIFY(!site.monitor().watching());
    }

    // A bridge writing megabytes of garbage: the table keeps the latest rows and says how many
    // it dropped, rows come in batches (far fewer inserts than rows), the event loop goes on
    // serving other events, the memory stays bounded, and the last frame is shown.
    void aFloodKeepsTheMonitorBounded_data() {
        QTest::addColumn<bool>("paused");
        QTest::newRow("shown") << false;
        QTest::newRow("held back while paused") << true;
    }
    void aFloodKeepsTheMonitorBounded() {
        QFETCH(bool, paused);
        EchoBridge bridge;
        useLine(bridge.target());
        frmSite& site = this->site();
        QVERIFY(site.document().motors().setMotors({motorAt(0x123456, QStringLiteral("Office"))}));
        QVERIFY(watch(site));
        QTRY_COMPARE(bridge.connections().size(), 1);
        if (paused) {
            QVERIFY(click(site, "cmdPause"));
        }
        const SiteMonitor& monitor = site.monitor();
        QSignalSpy inserts(&monitor, &QAbstractItemModel::rowsInserted);
        int served = 0;
        QTimer other;
        other.setInterval(0);
        QObject::connect(&other, &QTimer::timeout, [&served] { ++served; });
        other.start();
        // Twice the rows kept, at least: runs of noise are at most 256 bytes.
        QByteArray garbage(2 * SiteMonitor::rowCap * 256 + 4096, '\0');
        QRandomGenerator random(24);
        random.fillRange(reinterpret_cast<quint32*>(garbage.data()),
                         static_cast<qsizetype>(garbage.size() / 4));
        const QByteArray last = frameOf(rvx::CommandId::Stop, {0x12, 0x34, 0x56});
        const qint64 before = residentKb();
        bridge.flood(garbage, QByteArray(16, '\0') + last);
        const QString lastText = QString::fromLatin1(last.toHex(' ').toUpper());
        QVERIFY(QTest::qWaitFor(
            [&] {
                if (paused) {
                    return monitor.heldBackRows() == SiteMonitor::rowCap &&
                           monitor.droppedRows() > SiteMonitor::rowCap / 2 &&
                           bridge.connections().first()->bytesToWrite() == 0;
                }
                return monitor.rowCount() > 0 &&
                       monitor.index(monitor.rowCount() - 1, SiteMonitor::FrameBytes)
                               .data()
                               .toString() == lastText;
            },
            120000));
        const qint64 grown = residentKb() - before;
        other.stop();
        if (paused) {
            QCOMPARE(monitor.rowCount(), 0);
            QVERIFY(click(site, "cmdPause"));
            QTRY_COMPARE_WITH_TIMEOUT(monitor.rowCount(), SiteMonitor::rowCap, 10000);
        }
        QCOMPARE(monitor.rowCount(), SiteMonitor::rowCap);
        QVERIFY(monitor.droppedRows() > SiteMonitor::rowCap / 2);
        QVERIFY2(in<QLabel>(site, "lblMonitor")
                     ->text()
                     .contains(QStringLiteral("the latest %1 rows kept, %2 older dropped")
                                   .arg(SiteMonitor::rowCap)
                                   .arg(monitor.droppedRows())),
                 qPrintable(in<QLabel>(site, "lblMonitor")->text()));
        const qint64 rows = monitor.rowCount() + monitor.droppedRows();
        QVERIFY2(inserts.count() * 10 < rows,
                 qPrintable(QStringLiteral("%1 inserts, %2 rows").arg(inserts.count()).arg(rows)));
        QVERIFY2(served > 10, qPrintable(QString::number(served)));
        // A row of each run kept would take several hundred megabytes.
        QVERIFY2(grown < 120 * 1024, qPrintable(QStringLiteral("%1 kB").arg(grown)));
        QVERIFY(site.monitor().watching());
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
