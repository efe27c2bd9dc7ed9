// What the window lets go to a motor and how it shows each send: frames made from refused
// values are not offered, the connection dialog takes what is typed, the strip below the
// client area tells what is under way and how it ended, and every send is on record.
#include <QAccessible>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>

#include "bus_support.h"
#include "send/bus_connection.h"
#include "send/frmSendLog.h"
#include "send/motor_sender.h"
#include "window_driver.h"

namespace {

const QByteArray down0 = bus_test::fromHex("AB F1 FF FF FF FF 12 34 56 FD FF FF 09 2F");
const QByteArray up123456 = bus_test::fromHex("AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30");
const QByteArray stop123456 = bus_test::fromHex("AB F1 FF FF FF FF 12 34 56 FC FF FF 09 2E");

void remember(const QString& target) {
    BusConnection{*rvx::bus::readTarget(target).target, {}}.save();
}

QLabel* strip(frmMain& window) {
    return window.findChild<QLabel*>(QStringLiteral("lblSend"));
}

template <typename T>
T* shown(QWidget& window, const char* name) {
    for (T* widget : window.findChildren<T*>(QString::fromLatin1(name))) {
        if (widget->isVisible()) {
            return widget;
        }
    }
    return nullptr;
}

// The entries of a string's menu as it opens: whether Send to motor is offered, and the reason
// given when it is not (empty when none is given).
struct Offer {
    bool offered = false;
    QString reason;
};
Offer offerIn(const Driver& ui, const char* field) {
    Offer offer;
    QMenu* menu = ui.openMenu(field);
    if (menu == nullptr) {
        return offer;
    }
    offer.offered = menu->findChild<QAction*>(QStringLiteral("actSend"))->isEnabled();
    if (auto* reason = menu->findChild<QAction*>(QStringLiteral("actSendRefused"))) {
        offer.reason = reason->text();
    }
    menu->close();
    return offer;
}

// The text of a cell of the log; "(no cell)" where the row or column has none.
QString cell(const QTableWidget* table, int row, int column) {
    const QTableWidgetItem* item = table->item(row, column);
    return item != nullptr ? item->text() : QStringLiteral("(no cell)");
}

}  // namespace

class SendViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("rvx-tests"));
        QCoreApplication::setApplicationName(QStringLiteral("ui_send_view_tests"));
    }
    void init() { QSettings().clear(); }

    // Each row: the values typed, the string whose menu is opened, and the reason it gives.
    void framesOfRefusedValuesAreNotOffered_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("reason");
        QTest::newRow("Down 5") << "txtRU"
                                << "5"
                                << "txtDOWN"
                                << "Down value 5 is out of range: 0, or 10 to 255";
        QTest::newRow("priority 0, Lock Up") << "txtL"
                                             << "0"
                                             << "txtLU"
                                             << "Lock priority 0 is out of range: 1 to 100";
        QTest::newRow("priority 0, Unlock") << "txtL"
                                            << "0"
                                            << "txtUL"
                                            << "Lock priority 0 is out of range: 1 to 100";
        QTest::newRow("lock IP 20") << "txtIPL"
                                    << "20"
                                    << "txtLIP"
                                    << "Lock IP number 20 is out of range: 1 to 16";
    }
    void framesOfRefusedValuesAreNotOffered() {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, output);
        QFETCH(QString, reason);
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal line(clock);
        remember(line.path());
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.calculated());
        // Go to % 150 is reported first; the other strings stay as the generation made them.
        QVERIFY(ui.replace("txtPct", QStringLiteral("150")));
        QVERIFY(ui.replace(qPrintable(field), value));
        QVERIFY(ui.click("cmdCalc"));
        QCOMPARE(ui.text("txtGP"), QStringLiteral("Must be 0 - 100%,    0 = UP"));
        QVERIFY(!ui.text(qPrintable(output)).isEmpty());

        const Offer offer = offerIn(ui, qPrintable(output));
        QVERIFY(!offer.offered);
        QCOMPARE(offer.reason, QStringLiteral("Not offered: ") + reason);
        // Nor does the key send it.
        QLineEdit* string = ui.field(qPrintable(output));
        string->setFocus();
        QTest::keyClick(string, Qt::Key_Return, Qt::ControlModifier);
        QCoreApplication::processEvents();
        QVERIFY(!window.sender().busy());
        QVERIFY(line.nothingSent());
        QVERIFY(window.sender().records().isEmpty());
        // Up takes no value: it is offered.
        QVERIFY(offerIn(ui, "txtUP").offered);
    }

    // Down 0 is admitted: its frame goes out exactly, from the key shown in the menu.
    void anAdmittedFrameGoesOutFromTheKey() {
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal line(clock);
        remember(line.path());
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.calculated());
        QVERIFY(ui.replace("txtPct", QStringLiteral("150")));
        QVERIFY(ui.replace("txtRU", QStringLiteral("0")));
        QVERIFY(ui.click("cmdCalc"));
        QCOMPARE(ui.text("txtGP"), QStringLiteral("Must be 0 - 100%,    0 = UP"));
        const Offer offer = offerIn(ui, "txtDOWN");
        QVERIFY(offer.offered);
        QCOMPARE(offer.reason, QString());

        QMenu* menu = ui.openMenu("txtDOWN");
        QVERIFY(menu != nullptr);
        const QKeySequence key = menu->findChild<QAction*>(QStringLiteral("actSend"))->shortcut();
        menu->close();
        QCOMPARE(key, QKeySequence(Qt::CTRL | Qt::Key_Return));
        QSignalSpy sent(&window.sender(), &MotorSender::sent);
        QLineEdit* string = ui.field("txtDOWN");
        string->setFocus();
        QTest::keyClick(string, Qt::Key_Return, Qt::ControlModifier);
        QTRY_COMPARE_WITH_TIMEOUT(sent.count(), 1, 5000);
        QCOMPARE(line.arrived().bytes, down0);
    }

    // Shift+F10 opens the menu of the string the keyboard is in, as the Menu key does.
    void shiftF10OpensTheMenu() {
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.calculated());
        QLineEdit* string = ui.field("txtGP");
        string->setFocus();
        QTest::keyClick(string, Qt::Key_F10, Qt::ShiftModifier);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu != nullptr);
        QCOMPARE(menu->objectName(), QStringLiteral("stringMenu"));
        QVERIFY(menu->findChild<QAction*>(QStringLiteral("actSend"))->isEnabled());
        menu->close();
    }

    // A path typed into Port is taken whether it is confirmed by Enter or by OK.
    void aTypedPathIsTakenAsTyped_data() {
        QTest::addColumn<bool>("enterThenOk");
        QTest::newRow("Enter") << false;
        QTest::newRow("Enter, then OK") << true;
    }
    void aTypedPathIsTakenAsTyped() {
        QFETCH(bool, enterThenOk);
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal line(clock);
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.calculated());
        QVERIFY(ui.pickFromMenu("txtUP", QStringLiteral("actBusConnection")));
        auto* dialog = shown<BusConnectionDialog>(window, "BusConnectionDialog");
        QVERIFY(dialog != nullptr && QTest::qWaitForWindowExposed(dialog));
        auto* port = dialog->findChild<QComboBox*>(QStringLiteral("cboPort"));
        port->setFocus();
        port->lineEdit()->selectAll();
        QTest::keyClicks(port->lineEdit(), line.path());
        QTest::keyClick(port->lineEdit(), Qt::Key_Return);
        if (enterThenOk && dialog->isVisible()) {
            QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                              Qt::LeftButton);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), 2000);
        const auto chosen = BusConnection::load();
        QVERIFY(chosen.has_value());
        QCOMPARE(chosen->target.device, line.path());

        QSignalSpy sent(&window.sender(), &MotorSender::sent);
        QVERIFY(ui.pickFromMenu("txtUP", QStringLiteral("actSend")));
        QTRY_COMPARE_WITH_TIMEOUT(sent.count(), 1, 5000);
        QCOMPARE(line.arrived().bytes, up123456);
    }

    // Without an earlier choice no port is picked but a USB adapter's by-id link; for a
    // bridge the line settings are off and the dialog says why.
    void theDialogOffersOnlyAnAdapterAndGreysTheLineForABridge() {
        QString adapter;
        for (const rvx::bus::PortInfo& found : rvx::bus::listPorts()) {
            if (adapter.isEmpty() && !found.byIdLink.isEmpty()) {
                adapter = found.byIdLink;
            }
        }
        BusConnectionDialog dialog(std::nullopt);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* port = dialog.findChild<QComboBox*>(QStringLiteral("cboPort"));
        if (adapter.isEmpty()) {
            QCOMPARE(port->currentText(), QString());
            QCOMPARE(port->currentIndex(), -1);
        } else {
            QCOMPARE(port->itemData(port->currentIndex()).toString(), adapter);
        }
        // OK without a port says so and keeps nothing.
        QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
        if (adapter.isEmpty()) {
            QVERIFY(dialog.isVisible());
            QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("lblProblem"))->text(),
                     QStringLiteral("Choose a serial port or type its device path."));
            QVERIFY(!BusConnection::load());
        }

        auto* baud = dialog.findChild<QComboBox*>(QStringLiteral("cboBaud"));
        auto* parity = dialog.findChild<QComboBox*>(QStringLiteral("cboParity"));
        auto* note = dialog.findChild<QLabel*>(QStringLiteral("lblLine"));
        QVERIFY(baud->isEnabled() && parity->isEnabled());
        const QString serialNote = note->text();
        dialog.findChild<QRadioButton*>(QStringLiteral("optBridge"))->setChecked(true);
        QVERIFY(!baud->isEnabled() && !parity->isEnabled());
        QVERIFY2(note->text().contains(QStringLiteral("bridge's own line settings")),
                 qPrintable(note->text()));
        QVERIFY(note->text() != serialNote);
        dialog.reject();
    }

    // The bridge's host and port become the target as given, an IPv6 address too.
    void aBridgeIsTakenFromItsFields_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("expected");  // the target's text; empty: refused
        QTest::newRow("name") << "bridge.local"
                              << "tcp://bridge.local:4010";
        QTest::newRow("IPv6") << "::1"
                              << "tcp://[::1]:4010";
        QTest::newRow("IPv6 in brackets") << "[::1]"
                                          << "tcp://[::1]:4010";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("blank inside") << "bridge one"
                                      << "";
        QTest::newRow("a target text") << "tcp://x:1"
                                       << "";
    }
    void aBridgeIsTakenFromItsFields() {
        QFETCH(QString, host);
        QFETCH(QString, expected);
        BusConnectionDialog dialog(std::nullopt);
        dialog.findChild<QRadioButton*>(QStringLiteral("optBridge"))->setChecked(true);
        dialog.findChild<QLineEdit*>(QStringLiteral("txtHost"))->setText(host);
        dialog.findChild<QSpinBox*>(QStringLiteral("spnPort"))->setValue(4010);
        QString problem;
        const auto chosen = dialog.connection(&problem);
        if (expected.isEmpty()) {
            QVERIFY(!chosen.has_value());
            QVERIFY(!problem.isEmpty());
            return;
        }
        QVERIFY2(chosen.has_value(), qPrintable(problem));
        QCOMPARE(chosen->target.kind, rvx::bus::Target::Kind::Tcp);
        QCOMPARE(chosen->target.text(), expected);
    }

    // While the frame goes out the strip says so and no other send is offered; once sent it
    // says what went where, stays, and is heard by a screen reader.
    void theStripShowsTheSendUnderWayAndItsEnd() {
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal line(clock);
        remember(line.path());
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.calculated());
        // The strip lies below the client area, beside no string.
        QLabel* status = strip(window);
        QVERIFY(status->geometry().top() >= ui.get("frmStrings")->geometry().bottom());
        QVERIFY(status->isVisible());
        QVERIFY(window.rect().contains(status->geometry()));

        line.stopOutput();  // the system takes no bytes: the send stays under way
        QVERIFY(ui.pickFromMenu("txtUP", QStringLiteral("actSend")));
        auto* sender = &window.sender();
        QVERIFY(sender->busy());
        QCOMPARE(status->text(),
                 QStringLiteral("Sending Up to motor 123456 on %1, 4800 8O1 \u2026 (waiting up "
                                "to 5 s)")
                     .arg(line.path()));
        QVERIFY(!offerIn(ui, "txtSTOP").offered);
        QSignalSpy sent(sender, &MotorSender::sent);
        line.restartOutput();
        QTRY_COMPARE_WITH_TIMEOUT(sent.count(), 1, 5000);
        const QString done =
            QStringLiteral("Up to motor 123456 sent on %1, 4800 8O1").arg(line.path());
        QCOMPARE(status->text(), done);
        QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(status);
        QCOMPARE(spoken->text(QAccessible::Name), done);
        QCOMPARE(spoken->role(), QAccessible::StaticText);
        QCOMPARE(spoken->text(QAccessible::Description), QStringLiteral("Status of sending"));

        // It stays through other use of the window, up to the next Calculate.
        QVERIFY(ui.openMenu("txtUP") != nullptr);
        QApplication::activePopupWidget()->close();
        QVERIFY(ui.replace("txtMSU", QStringLiteral("12")));
        QCOMPARE(status->text(), done);
        QVERIFY(ui.click("cmdCalc"));
        QCOMPARE(status->text(), QString());
    }

    // Through a bridge the window says only what the bridge confirmed: a bridge that read every
    // byte and closed after them has taken the frame; one that never reads gets no "sent".
    void aBridgeSendIsWordedHonestly() {
        QElapsedTimer clock;
        clock.start();
        bus_test::Bridge bridge(clock);  // reads every byte and closes once the sender has
        remember(bridge.target());
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.click("optGA"));
        QVERIFY(ui.click("optMQR"));
        QVERIFY(ui.replace("txtG", QStringLiteral("0A0B0C")));
        QVERIFY(ui.click("cmdCalc"));
        QSignalSpy sent(&window.sender(), &MotorSender::sent);
        QVERIFY(ui.pickFromMenu("txtSTOP", QStringLiteral("actSend")));
        auto* question = shown<QMessageBox>(window, "confirmGroup");
        QVERIFY(question != nullptr);
        QTest::mouseClick(question->findChild<QPushButton*>(QStringLiteral("cmdSendToGroup")),
                          Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(sent.count(), 1, 5000);
        QCOMPARE(bridge.arrived().bytes, bus_test::fromHex(qPrintable(ui.text("txtSTOP"))));
        // Nothing says the frame reached the bridge's line: no bridge reports that.
        QCOMPARE(strip(window)->text(),
                 QStringLiteral("Stop to group 0A0B0C taken by the bridge at %1; the bridge does "
                                "not report delivery to its line, whose settings are its own")
                     .arg(bridge.target()));
        const SendRecord& record = window.sender().records().last();
        const QJsonObject logged = QJsonDocument::fromJson(record.jsonLine()).object();
        QCOMPARE(logged.value(QStringLiteral("result")).toString(),
                 QStringLiteral("taken by the bridge, delivery to its line not reported"));
    }

    void aBridgeThatNeverReadsIsNoSend() {
        bus_test::BrokenBridge bridge(bus_test::BrokenBridge::Fault::NeverReads);
        remember(bridge.target());
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.calculated());
        QSignalSpy sent(&window.sender(), &MotorSender::sent);
        QSignalSpy failed(&window.sender(), &MotorSender::failed);
        QVERIFY(ui.pickFromMenu("txtUP", QStringLiteral("actSend")));
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 15000);
        QCOMPARE(sent.count(), 0);
        QVERIFY2(strip(window)->text().startsWith(QStringLiteral("Up to motor 123456 not sent: ")),
                 qPrintable(strip(window)->text()));
        QVERIFY2(failed.first().first().toString().contains(QStringLiteral("did not confirm")),
                 qPrintable(failed.first().first().toString()));
    }

    // Every send is on record with its result: in the window of sent frames, as text and as
    // JSON Lines that name the command.
    void everySendIsOnRecord() {
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal line(clock);
        remember(line.path());
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.calculated());
        auto* sender = &window.sender();
        QSignalSpy sent(sender, &MotorSender::sent);
        QVERIFY(ui.pickFromMenu("txtUP", QStringLiteral("actSend")));
        QTRY_COMPARE_WITH_TIMEOUT(sent.count(), 1, 5000);
        QVERIFY(ui.pickFromMenu("txtSTOP", QStringLiteral("actSend")));
        QTRY_COMPARE_WITH_TIMEOUT(sent.count(), 2, 5000);
        QCOMPARE(line.arrived().bytes, up123456 + stop123456);
        // Opened later, the log shows the sends before, each in its row.
        QVERIFY(ui.pickFromMenu("txtUP", QStringLiteral("actSendLog")));
        frmSendLog* log = window.sendLogWindow();
        QVERIFY(log != nullptr && log->isVisible());
        auto* table = log->findChild<QTableWidget*>(QStringLiteral("tblSends"));
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(cell(table, 0, 2), QStringLiteral("Up"));
        QCOMPARE(cell(table, 1, 2), QStringLiteral("Stop"));
        QCOMPARE(cell(table, 1, 5), QStringLiteral("sent"));

        // Open, it follows the sends that come: a row once a send starts, its result at the end.
        remember(QStringLiteral("/dev/rvx-no-such-port"));
        QSignalSpy failed(sender, &MotorSender::failed);
        QVERIFY(ui.pickFromMenu("txtGP", QStringLiteral("actSend")));
        QCOMPARE(table->rowCount(), 3);
        QCOMPARE(cell(table, 2, 5), QStringLiteral("sending"));
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 5000);
        if (auto* box = shown<QMessageBox>(window, "sendFailed")) {
            box->accept();
        }
        QCOMPARE(table->rowCount(), 3);
        QVERIFY2(cell(table, 2, 5).startsWith(QStringLiteral("not sent: /dev/rvx-no-such-port: ")),
                 qPrintable(cell(table, 2, 5)));
        QCOMPARE(cell(table, 0, 2), QStringLiteral("Up"));
        QCOMPARE(cell(table, 2, 3), QStringLiteral("motor 123456"));
        QCOMPARE(cell(table, 1, 4), QString::fromLatin1(stop123456.toHex(' ').toUpper()));

        // Copy as text: a heading and a line per send.
        QTest::mouseClick(log->findChild<QPushButton*>(QStringLiteral("cmdCopy")), Qt::LeftButton);
        const QStringList lines =
            QGuiApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[3].contains(QStringLiteral("\tGo to %\tmotor 123456\t")));

        // Save as JSON Lines, through the dialog as a user does.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sends.jsonl"));
        QSignalSpy saved(log, &frmSendLog::saved);
        QTest::mouseClick(log->findChild<QPushButton*>(QStringLiteral("cmdSave")), Qt::LeftButton);
        auto* ask = log->findChild<QFileDialog*>(QStringLiteral("saveSendLog"));
        QVERIFY(ask != nullptr);
        ask->selectFile(path);
        QVERIFY(QMetaObject::invokeMethod(ask, "accept"));
        QCOMPARE(saved.count(), 1);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> json = file.readAll().split('\n');
        QCOMPARE(json.size(), 4);  // three lines, each ended
        QVERIFY(json[3].isEmpty());
        const QRegularExpression utc(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$)"));
        const char* commands[] = {"Up", "Stop", "Go to %"};
        for (int k = 0; k < 3; ++k) {
            QJsonParseError error{};
            const QJsonObject object = QJsonDocument::fromJson(json[k], &error).object();
            QCOMPARE(error.error, QJsonParseError::NoError);
            QCOMPARE(object.value(QStringLiteral("command")).toString(),
                     QString::fromLatin1(commands[k]));
            QCOMPARE(object.value(QStringLiteral("address")).toString(), QStringLiteral("123456"));
            QCOMPARE(object.value(QStringLiteral("kind")).toString(), QStringLiteral("single"));
            QCOMPARE(object.value(QStringLiteral("sent")).toBool(), k < 2);
            QVERIFY(utc.match(object.value(QStringLiteral("time")).toString()).hasMatch());
        }
        const QJsonObject first = QJsonDocument::fromJson(json[0]).object();
        QCOMPARE(first.value(QStringLiteral("frame")).toString(),
                 QString::fromLatin1(up123456.toHex(' ').toUpper()));
        QCOMPARE(first.value(QStringLiteral("target")).toString(), line.path());
        QCOMPARE(first.value(QStringLiteral("result")).toString(), QStringLiteral("sent"));
    }

    // A save that cannot be made says so and leaves what was there.
    void aFailedSaveLosesNothing() {
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.calculated());
        QVERIFY(ui.pickFromMenu("txtUP", QStringLiteral("actSendLog")));
        frmSendLog* log = window.sendLogWindow();
        QVERIFY(log != nullptr);
        QTemporaryDir dir;
        // A directory where the file should be: nothing can replace it.
        const QString taken = dir.filePath(QStringLiteral("taken.jsonl"));
        QVERIFY(QDir().mkdir(taken));
        QFile marker(taken + QStringLiteral("/keep"));
        QVERIFY(marker.open(QIODevice::WriteOnly) && marker.write("kept") == 4);
        marker.close();
        QString problem;
        QVERIFY(!log->saveTo(taken, &problem));
        QVERIFY(!problem.isEmpty());
        QVERIFY(QFileInfo(taken).isDir());
        QVERIFY(QFile::exists(taken + QStringLiteral("/keep")));

        QTest::mouseClick(log->findChild<QPushButton*>(QStringLiteral("cmdSave")), Qt::LeftButton);
        auto* ask = log->findChild<QFileDialog*>(QStringLiteral("saveSendLog"));
        QVERIFY(ask != nullptr);
        // A file inside a file: its folder cannot be made.
        const QString impossible = taken + QStringLiteral("/keep/sends.jsonl");
        // The dialog would not offer such a place; its choice is made as it reports one.
        QVERIFY(QMetaObject::invokeMethod(ask, "fileSelected", Q_ARG(QString, impossible)));
        ask->close();
        auto* box = shown<QMessageBox>(*log, "saveFailed");
        QVERIFY(box != nullptr);
        QVERIFY(box->text().startsWith(QStringLiteral("The sent frames were not saved")));
        box->accept();
        QVERIFY(!QFile::exists(impossible));
    }

    // Screen readers: the Port list is labelled "Port", the address options and fields have
    // names of their own, the separator is read as nothing.
    void namesForScreenReaders() {
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.exposed);
        BusConnectionDialog dialog(std::nullopt);
        auto* portLabel = dialog.findChild<QLabel*>(QStringLiteral("lblPort"));
        QCOMPARE(portLabel->buddy(), dialog.findChild<QComboBox*>(QStringLiteral("cboPort")));
        QCOMPARE(QAccessible::queryAccessibleInterface(portLabel->buddy())->text(QAccessible::Name),
                 QStringLiteral("Port"));
        const auto name = [&window](const char* control) {
            return QAccessible::queryAccessibleInterface(window.findChild<QWidget*>(control))
                ->text(QAccessible::Name);
        };
        QVERIFY(name("optSM") != name("txtSM"));
        QVERIFY(name("optGA") != name("txtG"));
        QCOMPARE(name("Line1"), QString());
        QCOMPARE(QAccessible::queryAccessibleInterface(window.findChild<QWidget*>("Line1"))->role(),
                 QAccessible::Separator);
        // An empty status line is read as nothing, not as the title of its frame.
        QCOMPARE(name("lblE"), QString());
        QCOMPARE(name("lblS"), QStringLiteral("Choose Command From Drop Down Menu"));
        QCOMPARE(name("lblSend"), QString());
    }
};

QTEST_MAIN(SendViewTest)
#include "send_view_test.moc"
