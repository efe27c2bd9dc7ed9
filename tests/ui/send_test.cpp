// Sending a string's frame to the motor from the window: over a pseudo-terminal (a real kernel
// serial line whose far end the test holds) and a TCP server standing for a serial bridge.
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>

#include "bus_support.h"
#include "send/bus_connection.h"
#include "send/motor_sender.h"
#include "window_driver.h"

namespace {

const QByteArray up123456 = bus_test::fromHex("AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30");
const QByteArray upGroup0A0B0C = bus_test::fromHex("AB F1 FF 0A 0B 0C FF FF FF FE FF FF 08 B5");

// Clicks an option of the dialog on its mark, where a user clicks it (the button is as wide
// as the dialog, its text only at the left).
void clickOption(QDialog* dialog, const char* name) {
    auto* option = dialog->findChild<QRadioButton*>(QString::fromLatin1(name));
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(8, option->height() / 2));
}

template <typename T>
T* shown(frmMain& window, const char* name) {
    for (T* widget : window.findChildren<T*>(QString::fromLatin1(name))) {
        if (widget->isVisible()) {
            return widget;
        }
    }
    return nullptr;
}

// Chooses the connection in the window's Bus connection dialog, as a user does.
bool chooseConnection(Driver& ui, frmMain& window, const QString& device, const QString& baud,
                      const QString& parity) {
    if (!ui.pickFromMenu("txtUP", QStringLiteral("actBusConnection"))) {
        return false;
    }
    auto* dialog = shown<BusConnectionDialog>(window, "BusConnectionDialog");
    if (dialog == nullptr || !QTest::qWaitForWindowExposed(dialog)) {
        return false;
    }
    clickOption(dialog, "optSerial");
    auto* port = dialog->findChild<QComboBox*>(QStringLiteral("cboPort"));
    port->lineEdit()->selectAll();
    QTest::keyClicks(port->lineEdit(), device);
    auto* rate = dialog->findChild<QComboBox*>(QStringLiteral("cboBaud"));
    rate->lineEdit()->selectAll();
    QTest::keyClicks(rate->lineEdit(), baud);
    auto* parityBox = dialog->findChild<QComboBox*>(QStringLiteral("cboParity"));
    parityBox->setCurrentIndex(parityBox->findText(parity));
    QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                      Qt::LeftButton);
    return !dialog->isVisible();
}

}  // namespace

class SendTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("rvx-tests"));
        QCoreApplication::setApplicationName(QStringLiteral("ui_send_tests"));
    }
    void init() { QSettings().clear(); }

    // The first send asks for the connection; the frame then goes out exactly, on a line set
    // as chosen, and "Sent" shows beside the field.
    void theFrameGoesOutOnTheLineChosen() {
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal line(clock);
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.calculated());
        QVERIFY(ui.pickFromMenu("txtUP", QStringLiteral("actSend")));
        // No connection yet: the dialog comes first; without its OK nothing is sent.
        auto* dialog = shown<BusConnectionDialog>(window, "BusConnectionDialog");
        QVERIFY(dialog != nullptr);
        dialog->reject();
        QVERIFY(line.nothingSent());

        QVERIFY(chooseConnection(ui, window, line.path(), QStringLiteral("9600"),
                                 QStringLiteral("None")));
        QSignalSpy sent(&window.sender(), &MotorSender::sent);
        QVERIFY(ui.pickFromMenu("txtUP", QStringLiteral("actSend")));
        QTRY_COMPARE_WITH_TIMEOUT(sent.count(), 1, 5000);
        QCOMPARE(line.arrived().bytes, up123456);
        // The port is set back when closed: its settings are those read while the frame came.
        const termios set = line.settingsAtFirstArrival();
        QCOMPARE(::cfgetospeed(&set), static_cast<speed_t>(B9600));
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("lblSend"))->text(),
                 QStringLiteral("Up to motor 123456 sent on %1, 9600 8N1").arg(line.path()));
    }

    // The connection is remembered between runs: a new window sends without asking.
    void theConnectionIsRemembered() {
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal line(clock);
        {
            frmMain first;
            Driver ui(first);
            QVERIFY(chooseConnection(ui, first, line.path(), QStringLiteral("4800"),
                                     QStringLiteral("Odd")));
        }
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.choosing());
        QVERIFY(ui.pick(QStringLiteral("Up")));
        QSignalSpy sent(&window.sender(), &MotorSender::sent);
        QVERIFY(ui.pickFromMenu("txtS", QStringLiteral("actSend")));
        QVERIFY(window.findChild<BusConnectionDialog*>() == nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(sent.count(), 1, 5000);
        QCOMPARE(line.arrived().bytes, up123456);
        const termios set = line.settingsAtFirstArrival();
        QCOMPARE(::cfgetospeed(&set), static_cast<speed_t>(B4800));

        // The dialog shows what was chosen.
        QVERIFY(ui.pickFromMenu("txtUP", QStringLiteral("actBusConnection")));
        auto* dialog = shown<BusConnectionDialog>(window, "BusConnectionDialog");
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->findChild<QComboBox*>(QStringLiteral("cboPort"))->currentText(),
                 line.path());
        QCOMPARE(dialog->findChild<QComboBox*>(QStringLiteral("cboParity"))->currentText(),
                 QStringLiteral("Odd"));
        dialog->reject();
    }

    // One end of socat's pair of pseudo-terminals, a bench without an adapter: the frame comes
    // out of the other end. socat holds both sides of the end chosen, as the line's far end.
    // The strip says what is under way while the port is looked at and opened.
    void oneEndOfASocatPairIsALine() {
        bus_test::SocatPair pair;
        QVERIFY2(pair.started(), "socat (scripts/install-deps) did not start");
        rvx::bus::Watcher far;
        QSignalSpy opened(&far, &rvx::bus::Watcher::opened);
        QByteArray arrived;
        connect(&far, &rvx::bus::Watcher::received, this,
                [&arrived](const rvx::bus::Received& run) { arrived += run.bytes; });
        QVERIFY(far.start(*rvx::bus::readTarget(pair.second()).target));
        QVERIFY(opened.wait(5000));

        BusConnection{*rvx::bus::readTarget(pair.first()).target, {}}.save();
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.calculated());
        QSignalSpy sent(&window.sender(), &MotorSender::sent);
        QVERIFY(ui.pickFromMenu("txtUP", QStringLiteral("actSend")));
        auto* strip = window.findChild<QLabel*>(QStringLiteral("lblSend"));
        QVERIFY2(
            strip->text().startsWith(
                QStringLiteral("Sending Up to motor 123456 on %1, 4800 8O1").arg(pair.first())),
            qPrintable(strip->text()));
        QTRY_COMPARE_WITH_TIMEOUT(sent.count(), 1, 5000);
        QCOMPARE(strip->text(),
                 QStringLiteral("Up to motor 123456 sent on %1, 4800 8O1").arg(pair.first()));
        QTRY_COMPARE_WITH_TIMEOUT(arrived, up123456, 5000);
    }

    // A frame for a group moves every motor of it: the window asks first, and a Cancel sends
    // nothing. Through a bridge this time.
    void aGroupFrameIsSentOnlyAfterTheUserAgrees() {
        QElapsedTimer clock;
        clock.start();
        bus_test::Bridge bridge(clock);
        BusConnection{*rvx::bus::readTarget(bridge.target()).target, {}}.save();
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.click("optGA"));
        QVERIFY(ui.click("optMQR"));
        QVERIFY(ui.replace("txtG", QStringLiteral("0A0B0C")));
        QVERIFY(ui.click("cmdCalc"));

        QVERIFY(ui.pickFromMenu("txtUP", QStringLiteral("actSend")));
        auto* question = shown<QMessageBox>(window, "confirmGroup");
        QVERIFY(question != nullptr);
        QCOMPARE(question->text(),
                 QStringLiteral("Up to group 0A0B0C moves every motor of that group."));
        QTest::mouseClick(question->button(QMessageBox::Cancel), Qt::LeftButton);
        QVERIFY(!window.sender().busy());  // a send would be under way now

        QSignalSpy sent(&window.sender(), &MotorSender::sent);
        QVERIFY(ui.pickFromMenu("txtUP", QStringLiteral("actSend")));
        question = shown<QMessageBox>(window, "confirmGroup");
        QVERIFY(question != nullptr);
        QTest::mouseClick(question->findChild<QPushButton*>(QStringLiteral("cmdSendToGroup")),
                          Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(sent.count(), 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(bridge.arrived().bytes, upGroup0A0B0C, 5000);
    }

    // Address FFFFFF makes the same frame for a single motor as for group FFFFFF: it is asked
    // about as a group frame is, and Cancel sends nothing.
    void theAddressOfEveryBitIsAskedAbout() {
        QElapsedTimer clock;
        clock.start();
        bus_test::Bridge bridge(clock);
        BusConnection{*rvx::bus::readTarget(bridge.target()).target, {}}.save();
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.calculated(QStringLiteral("FFFFFF")));
        QVERIFY(ui.pickFromMenu("txtUP", QStringLiteral("actSend")));
        auto* question = shown<QMessageBox>(window, "confirmGroup");
        QVERIFY(question != nullptr);
        QCOMPARE(question->text(), QStringLiteral("Up to motor FFFFFF moves every motor of group "
                                                  "FFFFFF: the frame is the same."));
        QTest::mouseClick(question->button(QMessageBox::Cancel), Qt::LeftButton);
        QVERIFY(!window.sender().busy());
        QCOMPARE(bridge.connections().size(), 0);
    }

    // A port that is not there: the reason in a message box, and the window stays usable.
    void aFailureIsShownWithItsReason() {
        BusConnection{*rvx::bus::readTarget(QStringLiteral("/dev/rvx-no-such-port")).target, {}}
            .save();
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.calculated());
        QSignalSpy failed(&window.sender(), &MotorSender::failed);
        QVERIFY(ui.pickFromMenu("txtSTOP", QStringLiteral("actSend")));
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 5000);
        auto* box = shown<QMessageBox>(window, "sendFailed");
        QVERIFY(box != nullptr);
        QVERIFY2(box->informativeText().startsWith(QStringLiteral("/dev/rvx-no-such-port: ")),
                 qPrintable(box->informativeText()));
        box->accept();
        QVERIFY(ui.click("cmdCLEAR"));
        QCOMPARE(ui.text("txtSTOP"), QString());
    }

    // The dialog takes only a connection that can be used, and says what is wrong.
    void theDialogSaysWhatIsWrong() {
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.pickFromMenu("txtUP", QStringLiteral("actBusConnection")));
        auto* dialog = shown<BusConnectionDialog>(window, "BusConnectionDialog");
        QVERIFY(dialog != nullptr && QTest::qWaitForWindowExposed(dialog));
        clickOption(dialog, "optBridge");
        QVERIFY(dialog->findChild<QRadioButton*>(QStringLiteral("optBridge"))->isChecked());
        QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->findChild<QLabel*>(QStringLiteral("lblProblem"))->text().isEmpty());
        QVERIFY(!BusConnection::load());
        dialog->reject();
    }
};

QTEST_MAIN(SendTest)
#include "send_test.moc"
