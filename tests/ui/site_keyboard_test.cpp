// The site window as a keyboard user and a screen reader meet it, on its real widgets: Tab
// walks the window from top to bottom and leaves the motor list at once, every Alt letter
// reaches one control or menu, the bus connection is chosen and shown in the window, and each
// part has a name a screen reader can say.
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "bus_support.h"
#include "send/bus_connection.h"
#include "send/motor_sender.h"
#include "session.h"
#include "site/frmSite.h"
#include "site/motor_list_model.h"
#include "site/site_document.h"
#include "site_driver.h"
#include "window_driver.h"

namespace {

using namespace site_driver;

QList<rvx::Motor> motors(int count) {
    QList<rvx::Motor> list;
    for (int k = 0; k < count; ++k) {
        rvx::Motor motor;
        motor.addressText =
            QStringLiteral("%1").arg(0x1A0000 + k, 6, 16, QLatin1Char('0')).toStdString();
        motor.label = QStringLiteral("blind %1").arg(k).toStdString();
        list.append(motor);
    }
    return list;
}

// The control a widget belongs to, by its name: a spin box for its text field, the panes for
// their tab bar.
QString controlOf(const QWidget* widget) {
    for (; widget != nullptr; widget = widget->parentWidget()) {
        const QString name = widget->objectName();
        if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_"))) {
            return name;
        }
    }
    return QStringLiteral("(nothing)");
}

QString focused() {
    return controlOf(QApplication::focusWidget());
}

// The controls the key reaches one after the other from the focused one, until it comes back
// to where it began; each with its place in the window.
QList<std::pair<QString, QRect>> walk(QWidget& window, Qt::KeyboardModifiers modifiers = {}) {
    QList<std::pair<QString, QRect>> walked;
    const QWidget* start = QApplication::focusWidget();
    for (int k = 0; k < 60; ++k) {
        QWidget* at = QApplication::focusWidget();
        if (at == nullptr || (k > 0 && at == start)) {
            break;
        }
        walked.append({controlOf(at), QRect(at->mapTo(&window, QPoint(0, 0)), at->size())});
        QTest::keyClick(at, Qt::Key_Tab, modifiers);
    }
    return walked;
}

QStringList namesOf(const QList<std::pair<QString, QRect>>& walked) {
    QStringList names;
    for (const auto& step : walked) {
        names.append(step.first);
    }
    return names;
}

// The Alt letter of a caption: the character after a single '&', in lower case; none for a
// caption without one ("&&" is an ampersand).
QChar altLetterOf(const QString& caption) {
    for (qsizetype k = 0; k + 1 < caption.size(); ++k) {
        if (caption[k] == QLatin1Char('&')) {
            if (caption[k + 1] != QLatin1Char('&')) {
                return caption[k + 1].toLower();
            }
            ++k;
        }
    }
    return {};
}

// Every Alt letter to be seen in the window, with what it stands for: the menu titles, the
// buttons, the labels of a control and the tabs that are shown.
QMultiMap<QChar, QString> altLetters(QWidget& window) {
    QMultiMap<QChar, QString> letters;
    const auto add = [&letters](const QString& caption, const QString& owner) {
        if (const QChar letter = altLetterOf(caption); !letter.isNull()) {
            letters.insert(letter, owner + QStringLiteral(" \"") + caption + QLatin1Char('"'));
        }
    };
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (widget->window() != &window || !widget->isVisible()) {
            continue;
        }
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            add(button->text(), controlOf(button));
        } else if (auto* label = qobject_cast<QLabel*>(widget); label && label->buddy()) {
            add(label->text(), controlOf(label->buddy()));
        } else if (auto* tabs = qobject_cast<QTabBar*>(widget)) {
            for (int k = 0; k < tabs->count(); ++k) {
                add(tabs->tabText(k), QStringLiteral("tab"));
            }
        } else if (auto* bar = qobject_cast<QMenuBar*>(widget)) {
            for (QAction* action : bar->actions()) {
                add(action->text(), QStringLiteral("menu"));
            }
        }
    }
    return letters;
}

// The letters that stand for more than one thing, with what they stand for.
QStringList clashes(const QMultiMap<QChar, QString>& letters) {
    QStringList found;
    for (const QChar letter : letters.uniqueKeys()) {
        if (letters.count(letter) > 1) {
            found.append(QString(letter) + QStringLiteral(": ") +
                         QStringList(letters.values(letter)).join(QStringLiteral(", ")));
        }
    }
    return found;
}

// Answers the next modal question with that button, and keeps what it asked.
void answerNextQuestion(QMessageBox::StandardButton button, QString* asked) {
    QTimer::singleShot(0, [button, asked] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            *asked = box->text();
            QTest::mouseClick(box->button(button), Qt::LeftButton);
        }
    });
}

}  // namespace

class SiteKeyboardTest : public QObject {
    Q_OBJECT
    std::unique_ptr<SiteWindow> window_;

    frmSite& site() { return window_->site; }

private slots:
    void initTestCase() { useTestSettings("ui_site_keyboard_tests"); }
    void init() { QVERIFY(openSiteWindow(window_)); }
    void cleanup() { window_.reset(); }

    // Tab leaves the motor list at once, whatever row is current, and the selection the send
    // buttons act on stays where it was; the arrows move it inside the list.
    void tabLeavesTheMotorListAndArrowsMoveInIt() {
        frmSite& site = this->site();
        QVERIFY(site.document().motors().setMotors(motors(30)));
        selectRow(site, 2);
        auto* table = in<QTableView>(site, "tblMotors");
        QCOMPARE(focused(), QStringLiteral("tblMotors"));
        QTest::keyClick(table, Qt::Key_Tab);
        QCOMPARE(focused(), QStringLiteral("tabPanes"));
        QCOMPARE(site.selectedRows(), QList<int>{2});
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(focused(), QStringLiteral("tblMotors"));
        QCOMPARE(site.selectedRows(), QList<int>{2});
        QTest::keyClick(table, Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(focused(), QStringLiteral("cmdDelete"));
        QCOMPARE(site.selectedRows(), QList<int>{2});

        table->setFocus();
        QTest::keyClick(table, Qt::Key_Down);
        QCOMPARE(site.selectedRows(), QList<int>{3});
        QTest::keyClick(table, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(site.selectedRows(), (QList<int>{3, 4}));
        QTest::keyClick(table, Qt::Key_Up);
        QCOMPARE(site.selectedRows(), QList<int>{3});
        QCOMPARE(focused(), QStringLiteral("tblMotors"));
    }

    // Tab walks the whole window as it reads, from top to bottom and left to right, through
    // the pane shown; Shift+Tab walks the same way back.
    void tabFollowsTheScreen_data() {
        QTest::addColumn<int>("pane");
        QTest::addColumn<QStringList>("order");
        const QStringList top = {"txtNewAddress", "cboNewKind", "txtNewLabel", "txtNewRoom",
                                 "txtFilter",     "cmdDelete",  "tblMotors",   "tabPanes"};
        const QStringList bottom = {"cmdUp",      "cmdStop",    "cmdDown", "cmdGoToPct",
                                    "spnPct",     "cmdGoToIp",  "spnIP",   "cmdJogUp",
                                    "cmdJogDown", "cmdIdentify"};
        QTest::newRow("strings shown")
            << 0
            << top + QStringList{"cboNotation", "cmdCopyAll", "cmdSaveCsv",
                                 "cmdSaveJson", "cmdExport",  "lstStrings"} +
                   bottom;
        QTest::newRow("bus monitor shown")
            << 1
            << top + QStringList{"cmdWatch",       "cmdPause",         "cmdClearMonitor",
                                 "cmdSaveMonitor", "txtMonitorFilter", "tblMonitor"} +
                   bottom;
    }
    void tabFollowsTheScreen() {
        QFETCH(int, pane);
        QFETCH(QStringList, order);
        frmSite& site = this->site();
        QVERIFY(site.document().motors().setMotors(motors(5)));
        selectRow(site, 1);
        in<QTabWidget>(site, "tabPanes")->setCurrentIndex(pane);
        in<QLineEdit>(site, "txtNewAddress")->setFocus();

        const auto forward = walk(site);
        QCOMPARE(namesOf(forward), order);
        // Each control stands after the one before it in reading order: on the same row to
        // its right, or below it.
        for (qsizetype k = 1; k < forward.size(); ++k) {
            const QRect before = forward[k - 1].second;
            const QRect next = forward[k].second;
            const bool sameRow = next.top() <= before.bottom() && before.top() <= next.bottom();
            QVERIFY2(
                sameRow ? next.left() > before.right() : next.top() > before.bottom(),
                qPrintable(forward[k].first + QStringLiteral(" after ") + forward[k - 1].first));
        }

        QStringList back = namesOf(walk(site, Qt::ShiftModifier));
        std::reverse(back.begin() + 1, back.end());
        QCOMPARE(back, order);
    }

    // One Alt letter, one control or menu, in every state of the window: Alt+F opens the File
    // menu and Alt+E the Edit menu, and no letter shown stands for two things.
    void oneAltLetterOneControl_data() {
        QTest::addColumn<QString>("state");
        QTest::newRow("idle, strings shown") << "idle";
        QTest::newRow("idle, bus monitor shown") << "monitor";
        QTest::newRow("watching") << "watching";
        QTest::newRow("sending") << "sending";
    }
    void oneAltLetterOneControl() {
        QFETCH(QString, state);
        frmSite& site = this->site();
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal line(clock);
        useLine(line.path());
        QVERIFY(site.document().motors().setMotors(motors(3)));
        selectAll(site);
        if (state == QLatin1String("monitor")) {
            showMonitor(site);
        } else if (state == QLatin1String("watching")) {
            showMonitor(site);
            QVERIFY(click(site, "cmdWatch"));
            QTRY_VERIFY(
                in<QLabel>(site, "lblMonitor")->text().startsWith(QStringLiteral("Watching")));
        } else if (state == QLatin1String("sending")) {
            line.stopOutput();  // the frames wait on the line: the send stays under way
            QVERIFY(click(site, "cmdUp"));
            QVERIFY(site.sender().busy());
            QVERIFY(in<QPushButton>(site, "cmdStopSending")->isEnabled());
        }
        const auto letters = altLetters(site);
        QCOMPARE(clashes(letters), QStringList());
        QVERIFY(letters.contains(QLatin1Char('f')) && letters.contains(QLatin1Char('e')));

        for (const auto& [key, name] : {std::pair{Qt::Key_F, "mnuFile"}, {Qt::Key_E, "mnuEdit"}}) {
            QTest::keyClick(&site, key, Qt::AltModifier);
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY2(menu != nullptr, name);
            QCOMPARE(menu->objectName(), QString::fromLatin1(name));
            menu->close();
        }
        if (state == QLatin1String("sending")) {
            QVERIFY(click(site, "cmdStopSending"));
            line.restartOutput();
        }
    }

    // In each menu every entry has a letter of its own.
    void everyMenuEntryHasItsOwnLetter() {
        frmSite& site = this->site();
        QVERIFY(site.document().motors().setMotors(motors(2)));
        selectAll(site);
        const QList<QMenu*> menus = site.findChildren<QMenu*>();
        QVERIFY(menus.size() >= 3);
        for (const QMenu* menu : menus) {
            QMultiMap<QChar, QString> letters;
            for (QAction* action : menu->actions()) {
                if (const QChar letter = altLetterOf(action->text()); !letter.isNull()) {
                    letters.insert(letter, action->text());
                }
            }
            QVERIFY2(clashes(letters).isEmpty(),
                     qPrintable(menu->objectName() + QStringLiteral(": ") +
                                clashes(letters).join(QStringLiteral("; "))));
        }
    }

    // New (Ctrl+N, or File, New) gives an empty site of no file; unsaved changes are asked
    // about first, as closing does: Save keeps them in the file, Discard drops them, Cancel
    // keeps the site as it was.
    void newGivesAnEmptySiteAskingFirst_data() {
        QTest::addColumn<bool>("changed");
        QTest::addColumn<bool>("byMenu");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("rowsAfter");
        QTest::addColumn<int>("rowsInFile");
        QTest::newRow("no changes: no question") << false << false << 0 << 0 << 2;
        QTest::newRow("changes saved") << true << false << int(QMessageBox::Save) << 0 << 3;
        QTest::newRow("changes dropped") << true << true << int(QMessageBox::Discard) << 0 << 2;
        QTest::newRow("cancelled") << true << false << int(QMessageBox::Cancel) << 3 << 2;
    }
    void newGivesAnEmptySiteAskingFirst() {
        QFETCH(bool, changed);
        QFETCH(bool, byMenu);
        QFETCH(int, answer);
        QFETCH(int, rowsAfter);
        QFETCH(int, rowsInFile);
        frmSite& site = this->site();
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("east-wing.csv"));
        QVERIFY(site.document().motors().setMotors(motors(2)));
        QVERIFY(site.saveSiteTo(path));
        if (changed) {
            site.document().motors().addMotor(motors(3).last());
        }
        QString asked;
        if (changed) {
            answerNextQuestion(static_cast<QMessageBox::StandardButton>(answer), &asked);
        }
        if (byMenu) {
            QTest::keyClick(&site, Qt::Key_F, Qt::AltModifier);
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu != nullptr);
            QTest::keyClick(menu, Qt::Key_N);
        } else {
            QTest::keyClick(&site, Qt::Key_N, Qt::ControlModifier);
        }
        QCOMPARE(asked,
                 changed ? QStringLiteral("The site has changes that are not saved.") : QString());
        QCOMPARE(site.document().motors().rowCount(), rowsAfter);
        QCOMPARE(site.document().path().isEmpty(), rowsAfter == 0);
        QCOMPARE(site.document().modified(), rowsAfter != 0);
        if (rowsAfter == 0) {
            QVERIFY(site.windowTitle().startsWith(QStringLiteral("New site")));
            QVERIFY(!site.document().motors().undoStack()->canUndo());
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count('\n'), rowsInFile);
    }

    // Ctrl+Shift+S asks where to save the site.
    void ctrlShiftSSavesAs() {
        frmSite& site = this->site();
        QVERIFY(site.document().motors().setMotors(motors(1)));
        QString title;
        QTimer::singleShot(0, [&title] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                title = dialog->windowTitle();
                dialog->reject();
            }
        });
        QTest::keyClick(&site, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(title, QStringLiteral("Save the site"));
    }
    // File > Bus connection... chooses where the window sends and watches, in the dialog the
    // main window uses; the status line names the target and its line, and follows a choice
    // made in either window.
    void theBusConnectionIsChosenAndShown() {
        frmSite& site = this->site();
        auto* status = in<QLabel>(site, "lblBus");
        QVERIFY(status != nullptr && status->isVisible());
        QCOMPARE(status->text(), QStringLiteral("Bus: not chosen"));

        QTest::keyClick(&site, Qt::Key_F, Qt::AltModifier);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu != nullptr);
        QTest::keyClick(menu, Qt::Key_B);
        BusConnectionDialog* dialog = nullptr;
        QTRY_VERIFY((dialog = site.findChild<BusConnectionDialog*>()) != nullptr);
        QTRY_VERIFY(dialog->isVisible());
        in<QComboBox>(*dialog, "cboPort")->setEditText(QStringLiteral("/dev/ttyRVX7"));
        in<QComboBox>(*dialog, "cboBaud")->setCurrentText(QStringLiteral("9600"));
        dialog->accept();
        QCOMPARE(status->text(), QStringLiteral("Bus: /dev/ttyRVX7, 9600 8O1"));

        // The main window's string menu chooses a bridge: the site window says so.
        frmMain main(window_->session);
        Driver ui(main);
        QVERIFY(ui.exposed);
        QVERIFY(ui.pickFromMenu("txtUP", QStringLiteral("actBusConnection")));
        auto* bridge = main.findChild<BusConnectionDialog*>();
        QVERIFY(bridge != nullptr);
        in<QRadioButton>(*bridge, "optBridge")->setChecked(true);
        in<QLineEdit>(*bridge, "txtHost")->setText(QStringLiteral("10.0.0.5"));
        in<QSpinBox>(*bridge, "spnPort")->setValue(4001);
        bridge->accept();
        QCOMPARE(status->text(),
                 QStringLiteral("Bus: bridge 10.0.0.5:4001, line set on the bridge"));

        // Cancel leaves the choice as it was.
        site.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&site));
        QTest::keyClick(&site, Qt::Key_F, Qt::AltModifier);
        menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu != nullptr);
        QTest::keyClick(menu, Qt::Key_B);
        QTRY_VERIFY((dialog = site.findChild<BusConnectionDialog*>()) != nullptr);
        dialog->reject();
        QCOMPARE(status->text(),
                 QStringLiteral("Bus: bridge 10.0.0.5:4001, line set on the bridge"));
        QVERIFY(!site.sender().busy());
    }
    // A screen reader finds each part of the window by its name: the motor table, the strings
    // pane and the monitor table say what they hold, and a combo box says what it chooses,
    // its value apart.
    void screenReadersHearWhatEachPartIs_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");  // empty: not asked
        QTest::addColumn<int>("role");
        QTest::newRow("motor table") << "tblMotors"
                                     << "Motors of the site"
                                     << "" << int(QAccessible::Table);
        QTest::newRow("strings pane") << "lstStrings"
                                      << "Strings of the selected motors"
                                      << "" << int(QAccessible::List);
        QTest::newRow("monitor table") << "tblMonitor"
                                       << "Frames seen on the bus"
                                       << "" << int(QAccessible::Table);
        QTest::newRow("kind of a new motor") << "cboNewKind"
                                             << "Kind of the address to add"
                                             << "single" << int(QAccessible::ComboBox);
        QTest::newRow("notation") << "cboNotation"
                                  << "Notation of the strings"
                                  << "spaced" << int(QAccessible::ComboBox);
    }
    void screenReadersHearWhatEachPartIs() {
        QFETCH(QString, control);
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(int, role);
        frmSite& site = this->site();
        showMonitor(site);
        QWidget* widget = in(site, qPrintable(control));
        QVERIFY(widget != nullptr);
        QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(spoken != nullptr);
        QCOMPARE(spoken->text(QAccessible::Name), name);
        QCOMPARE(int(spoken->role()), role);
        if (!value.isEmpty()) {
            QCOMPARE(spoken->text(QAccessible::Value), value);
            // The value follows the choice; the name stays.
            auto* box = qobject_cast<QComboBox*>(widget);
            box->setCurrentIndex(box->count() - 1);
            QCOMPARE(spoken->text(QAccessible::Value), box->currentText());
            QCOMPARE(spoken->text(QAccessible::Name), name);
            // The list it opens is still there for the reader.
            QVERIFY(spoken->childCount() >= 1);
        }
    }
};

QTEST_MAIN(SiteKeyboardTest)
#include "site_keyboard_test.moc"
