// The site window as an installer meets it with the keyboard and the file dialogs: what is
// saved is what was asked for, and a failure says what became of the file.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>

#include "list_bytes.h"
#include "main/frmMain.h"
#include "send/bus_connection.h"
#include "session.h"
#include "site/frmSite.h"
#include "site/motor_list_model.h"
#include "site/site_document.h"
#include "site_driver.h"
#include "window_driver.h"

using namespace site_driver;

namespace {

bool addMotor(frmSite& site, const QString& address, const QString& label,
              const QString& kind = QStringLiteral("single")) {
    auto* field = in<QLineEdit>(site, "txtNewAddress");
    auto* kinds = in<QComboBox>(site, "cboNewKind");
    kinds->setCurrentIndex(kinds->findText(kind));
    field->setFocus();
    QTest::keyClicks(field, address);
    in<QLineEdit>(site, "txtNewLabel")->insert(label);
    auto* add = in<QPushButton>(site, "cmdAdd");
    if (!add->isEnabled()) {
        return false;
    }
    QTest::mouseClick(add, Qt::LeftButton);
    return field->text().isEmpty();
}

// Answers the next file dialog the window opens as a user does: goes to the folder, types the
// name into the dialog's name field and presses Enter. Looked for until it is shown.
void typeIntoNextFileDialog(const QString& folder, const QString& name,
                            const std::function<void()>& beforeEnter = {}) {
    auto* look = new QTimer;
    auto* waited = new QElapsedTimer;
    waited->start();
    QObject::connect(look, &QTimer::timeout, [look, waited, folder, name, beforeEnter] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr && waited->elapsed() < 30000) {
            return;
        }
        look->deleteLater();
        delete waited;
        if (dialog == nullptr) {
            return;
        }
        dialog->setDirectory(folder);
        auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (field == nullptr) {
            dialog->reject();
            return;
        }
        field->clear();
        QTest::keyClicks(field, name);
        if (beforeEnter) {
            beforeEnter();
        }
        QTest::keyClick(field, Qt::Key_Return);
    });
    look->start(10);
}

// The message box of that name the window shows, text and informative text.
QString shownMessage(QWidget& site, const char* name) {
    const auto boxes = site.findChildren<QMessageBox*>(QString::fromLatin1(name));
    if (boxes.size() != 1) {
        return QStringLiteral("(%1 messages)").arg(boxes.size());
    }
    const QString text = boxes[0]->text() + QLatin1Char('|') + boxes[0]->informativeText();
    delete boxes[0];
    return text;
}

}  // namespace

class SiteKeysTest : public QObject {
    Q_OBJECT
    std::unique_ptr<SiteWindow> window_;
    frmSite& site() { return window_->site; }

private slots:
    void initTestCase() { useTestSettings("ui_site_keys_tests"); }
    void init() { QVERIFY(openSiteWindow(window_)); }
    void cleanup() { window_.reset(); }

    // A save that fails says what became of the file: untouched where there was one, none
    // made where there was none.
    void aFailedSaveSaysWhatBecameOfTheFile() {
        frmSite& site = this->site();
        QVERIFY(addMotor(site, QStringLiteral("123456"), QStringLiteral("Hall")));
        QVERIFY(!site.saveSiteTo(QStringLiteral("/proc/site.csv")));
        const QString nothing = shownMessage(site, "siteNotSaved");
        QVERIFY2(nothing.startsWith(QStringLiteral("The site was not saved; no file was made.|")),
                 qPrintable(nothing));
        QVERIFY(!QFile::exists(QStringLiteral("/proc/site.csv")));

        // The strings, saved through the dialog to a folder that is gone when Enter is
        // pressed (a stick pulled out), say the same.
        selectAll(site);
        QTemporaryDir dir;
        const QString gone = dir.filePath(QStringLiteral("stick"));
        QVERIFY(QDir().mkdir(gone));
        typeIntoNextFileDialog(gone, QStringLiteral("strings"),
                               [gone] { QDir(gone).removeRecursively(); });
        QVERIFY(click(site, "cmdSaveCsv"));
        QTRY_VERIFY(site.findChild<QMessageBox*>(QStringLiteral("stringsNotSaved")) != nullptr);
        const QString strings = shownMessage(site, "stringsNotSaved");
        QVERIFY2(
            strings.startsWith(QStringLiteral("The strings were not saved; no file was made.|")),
            qPrintable(strings));
    }

    // Every export of the strings follows one rule: offered with motors selected, refused
    // without, and then no file.
    void theStringsAreSavedOnlyForSelectedMotors() {
        frmSite& site = this->site();
        QVERIFY(addMotor(site, QStringLiteral("123456"), QStringLiteral("Hall")));
        for (const char* name : {"cmdSaveCsv", "cmdSaveJson", "cmdExport"}) {
            QVERIFY2(!in<QPushButton>(site, name)->isEnabled(), name);
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("strings.csv"));
        QString problem;
        QVERIFY(!site.exportTo(path, false, &problem));
        QCOMPARE(problem, QStringLiteral("Select the motors to export."));
        QVERIFY(!QFile::exists(path));

        auto* table = in<QTableView>(site, "tblMotors");
        table->setFocus();
        QTest::keyClick(table, Qt::Key_A, Qt::ControlModifier);
        for (const char* name : {"cmdSaveCsv", "cmdSaveJson", "cmdExport"}) {
            QVERIFY2(in<QPushButton>(site, name)->isEnabled(), name);
        }
    }

    // A name typed without an extension is saved with the file type's own: the site as CSV,
    // the strings as CSV or JSON; a name with one is kept as typed.
    void aNameWithoutExtensionGetsTheFileTypes_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::newRow("site, Ctrl+Shift+S") << QString() << "east"
                                            << "east.csv";
        QTest::newRow("site, named .csv") << QString() << "west.csv"
                                          << "west.csv";
        QTest::newRow("site, another extension") << QString() << "north.txt"
                                                 << "north.txt";
        QTest::newRow("strings as CSV") << "cmdSaveCsv"
                                        << "strings"
                                        << "strings.csv";
        QTest::newRow("strings as JSON") << "cmdSaveJson"
                                         << "strings"
                                         << "strings.json";
    }
    void aNameWithoutExtensionGetsTheFileTypes() {
        QFETCH(QString, button);
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        frmSite& site = this->site();
        QVERIFY(addMotor(site, QStringLiteral("123456"), QStringLiteral("Hall")));
        selectAll(site);
        QTemporaryDir dir;
        typeIntoNextFileDialog(dir.path(), typed);
        if (button.isEmpty()) {
            QTest::keyClick(&site, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        } else {
            QVERIFY(click(site, button.toLatin1().constData()));
        }
        QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{saved});
        if (button.isEmpty()) {
            QCOMPARE(site.document().path(), dir.filePath(saved));
        }
    }

    // A platform's file named without an extension gets the platform's own.
    void aPlatformFileWithoutExtensionGetsItsOwn_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("saved");
        QTest::newRow("Node-RED") << "tcp://127.0.0.1:4001"
                                  << "actExport_node-red"
                                  << "hall.json";
        QTest::newRow("Home Assistant") << "tcp://127.0.0.1:4001"
                                        << "actExport_home-assistant"
                                        << "hall.yaml";
        QTest::newRow("openHAB things") << "/dev/ttyUSB0"
                                        << "actExport_openhab-things"
                                        << "hall.things";
        QTest::newRow("openHAB items") << "/dev/ttyUSB0"
                                       << "actExport_openhab-items"
                                       << "hall.items";
    }
    void aPlatformFileWithoutExtensionGetsItsOwn() {
        QFETCH(QString, line);
        QFETCH(QString, entry);
        QFETCH(QString, saved);
        useLine(line);
        frmSite& site = this->site();
        QVERIFY(addMotor(site, QStringLiteral("123456"), QStringLiteral("Hall")));
        selectAll(site);
        auto* button = in<QPushButton>(site, "cmdExport");
        QVERIFY(button->isEnabled());
        for (QAction* action : button->menu()->actions()) {
            if (action->objectName() == entry) {
                action->trigger();
            }
        }
        auto* ask = site.findChild<BusConnectionDialog*>();
        QVERIFY(ask != nullptr);
        QTest::keyClick(ask, Qt::Key_Return);
        auto* dialog = site.findChild<QFileDialog*>(QStringLiteral("exportPlatformFile"));
        QVERIFY(dialog != nullptr);
        QTemporaryDir dir;
        dialog->setDirectory(dir.path());
        auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(field != nullptr);
        field->clear();
        QTest::keyClicks(field, QStringLiteral("hall"));
        QTest::keyClick(field, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(QDir(dir.path()).entryList(QDir::Files), QStringList{saved},
                                  1000);
    }

    // A motor given an address another motor of the list has is taken, marked in the list and
    // said under it; the mark goes with the repeat.
    void aRepeatedAddressIsMarkedAndSaid() {
        frmSite& site = this->site();
        auto* table = in<QTableView>(site, "tblMotors");
        const auto tip = [table](int row) {
            return table->model()
                ->index(row, MotorListModel::Address)
                .data(Qt::ToolTipRole)
                .toString();
        };
        QVERIFY(addMotor(site, QStringLiteral("123456"), QStringLiteral("Hall")));
        QVERIFY(addMotor(site, QStringLiteral("654321"), QStringLiteral("Office")));
        QCOMPARE(in<QLabel>(site, "lblProblem")->text(), QString());
        QVERIFY(addMotor(site, QStringLiteral("123456"), QStringLiteral("Kitchen")));
        const QString said = QStringLiteral(
            "123456 (single) is the address of 2 motors: row 1 \"Hall\", row 3 "
            "\"Kitchen\"");
        QCOMPARE(in<QLabel>(site, "lblProblem")->text(), said);
        QCOMPARE(tip(0), said);
        QCOMPARE(tip(1), QString());
        QCOMPARE(tip(2), said);
        QVERIFY(
            !table->model()->index(2, MotorListModel::Address).data(Qt::DecorationRole).isNull());
        // The same address as a group is another target.
        QVERIFY(addMotor(site, QStringLiteral("654321"), QStringLiteral("Office group"),
                         QStringLiteral("group")));
        QCOMPARE(tip(1), QString());
        QCOMPARE(tip(3), QString());
        // Undone, the repeat and its mark are gone.
        QTest::keyClick(table, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(table, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(table->model()->rowCount(), 2);
        QCOMPARE(tip(0), QString());
    }

    // An address typed or read in lower case is kept, shown and saved in upper case.
    void addressesAreKeptInUpperCase() {
        frmSite& site = this->site();
        auto* table = in<QTableView>(site, "tblMotors");
        QVERIFY(addMotor(site, QStringLiteral("ffffff"), QStringLiteral("All")));
        QCOMPARE(cell(table, 0, MotorListModel::Address), QStringLiteral("FFFFFF"));
        // Edited in place.
        QVERIFY(addMotor(site, QStringLiteral("123456"), QStringLiteral("Hall")));
        const QModelIndex address = table->model()->index(1, MotorListModel::Address);
        table->setCurrentIndex(address);
        table->setFocus();
        QTest::keyClick(table, Qt::Key_F2);
        auto* editor = table->findChild<QLineEdit*>(QStringLiteral("txtAddressCell"));
        QVERIFY(editor != nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("abcdef"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(cell(table, 1, MotorListModel::Address), QStringLiteral("ABCDEF"));

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.csv"));
        QVERIFY(site.saveSiteTo(path));
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("FFFFFF,single,\"All\"\nABCDEF,single,\"Hall\"\n"));

        // Read from a file.
        const QString lower = dir.filePath(QStringLiteral("lower.csv"));
        QFile file(lower);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("ffffff,group,\"Everything\"\n00ab0c,single,Hall\n");
        file.close();
        QVERIFY(site.openSite(lower));
        QCOMPARE(cell(table, 0, MotorListModel::Address), QStringLiteral("FFFFFF"));
        QCOMPARE(cell(table, 1, MotorListModel::Address), QStringLiteral("00AB0C"));
        QCOMPARE(site.findChildren<QMessageBox*>().size(), 0);
        QVERIFY(site.saveSiteTo(lower));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 QByteArray("FFFFFF,group,\"Everything\"\n00AB0C,single,\"Hall\"\n"));
    }

    // A site file that gives an address to more than one motor opens, and says how many and
    // which; the rows are marked.
    void openingASiteSaysItsRepeatedAddresses() {
        frmSite& site = this->site();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("east.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "# east wing\n"
            "123456,single,\"Hall\"\n"
            "654321,single,\"Office\"\n"
            "123456,single,\"Kitchen\"\n"
            "abcdef,group,\"Floor\"\n"
            "ABCDEF,group,\"Floor again\"\n"
            "123456,single,\n");
        file.close();
        QVERIFY(site.openSite(path));
        QCOMPARE(site.document().motors().rowCount(), 6);
        QCOMPARE(shownMessage(site, "siteRepeats"),
                 QStringLiteral("The site was opened; 2 addresses in it are each given to more "
                                "than one motor.|"
                                "123456 (single) is the address of 3 motors: row 1 \"Hall\", row "
                                "3 \"Kitchen\", row 6\n"
                                "ABCDEF (group) is the address of 2 motors: row 4 \"Floor\", row 5 "
                                "\"Floor again\""));
        auto* table = in<QTableView>(site, "tblMotors");
        QVERIFY(table->model()->index(1, MotorListModel::Address).data(Qt::ToolTipRole).isNull());
        QVERIFY(!table->model()->index(5, MotorListModel::Address).data(Qt::ToolTipRole).isNull());
    }

    // A window closed while an address is being edited goes without a word from the edit.
    void aWindowGoesWithAnEditOpen() {
        frmSite& site = this->site();
        QVERIFY(addMotor(site, QStringLiteral("123456"), QStringLiteral("Hall")));
        auto* table = in<QTableView>(site, "tblMotors");
        table->setCurrentIndex(table->model()->index(0, MotorListModel::Address));
        table->setFocus();
        QTest::keyClick(table, Qt::Key_F2);
        auto* editor = table->findChild<QLineEdit*>(QStringLiteral("txtAddressCell"));
        QVERIFY(editor != nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("abcdef"));
        window_.reset();
    }

    // An address edit that is not right keeps its editor, with what was typed and why it is
    // not taken; the message goes once the text is right, or the edit is given up, or undone.
    void aRefusedAddressEditKeepsWhatWasTyped() {
        frmSite& site = this->site();
        QVERIFY(addMotor(site, QStringLiteral("123456"), QStringLiteral("Hall")));
        QVERIFY(addMotor(site, QStringLiteral("654321"), QStringLiteral("Office")));
        auto* table = in<QTableView>(site, "tblMotors");
        auto* problem = in<QLabel>(site, "lblProblem");
        const auto editAddress = [&](int row, const QString& typed) {
            table->setCurrentIndex(table->model()->index(row, MotorListModel::Address));
            table->setFocus();
            QTest::keyClick(table, Qt::Key_F2);
            auto* editor = table->findChild<QLineEdit*>(QStringLiteral("txtAddressCell"));
            if (editor != nullptr) {
                editor->selectAll();
                QTest::keyClicks(editor, typed);
            }
            return editor;
        };
        const QString refused = QStringLiteral(
            "address \"12345G\": must be six hexadecimal digits; character 6, \"G\", is not "
            "one; not taken");

        QLineEdit* editor = editAddress(0, QStringLiteral("12345G"));
        QVERIFY(editor != nullptr);
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Tab}) {
            QTest::keyClick(editor, key);
            QCOMPARE(table->findChild<QLineEdit*>(QStringLiteral("txtAddressCell")), editor);
            QCOMPARE(editor->text(), QStringLiteral("12345G"));
            QCOMPARE(problem->text(), refused);
        }
        QCOMPARE(cell(table, 0, MotorListModel::Address), QStringLiteral("123456"));
        // Put right, the message goes and the cell takes it.
        QTest::keyClick(editor, Qt::Key_Backspace);
        QTest::keyClicks(editor, QStringLiteral("F"));
        QCOMPARE(problem->text(), QString());
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(cell(table, 0, MotorListModel::Address), QStringLiteral("12345F"));
        QCOMPARE(problem->text(), QString());

        // Given up with Esc: the cell as it was, no message.
        editor = editAddress(0, QStringLiteral("12345G"));
        QVERIFY(editor != nullptr);
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(problem->text(), refused);
        QTest::keyClick(editor, Qt::Key_Escape);
        QTRY_VERIFY(table->findChild<QLineEdit*>(QStringLiteral("txtAddressCell")) == nullptr);
        QCOMPARE(problem->text(), QString());
        QCOMPARE(cell(table, 0, MotorListModel::Address), QStringLiteral("12345F"));

        // Left for another motor: the message was of the one left.
        editor = editAddress(0, QStringLiteral("12345G"));
        QVERIFY(editor != nullptr);
        selectRow(site, 1);
        QTRY_VERIFY(table->findChild<QLineEdit*>(QStringLiteral("txtAddressCell")) == nullptr);
        QCOMPARE(problem->text(), QString());
        QCOMPARE(cell(table, 0, MotorListModel::Address), QStringLiteral("12345F"));

        // Not taken, then an edit undone: the message goes.
        QVERIFY(!site.document().motors().setData(
            site.document().motors().index(1, MotorListModel::Address), QStringLiteral("xyz"),
            Qt::EditRole));
        QVERIFY(problem->text().endsWith(QStringLiteral("; not taken")));
        QTest::keyClick(table, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(cell(table, 0, MotorListModel::Address), QStringLiteral("123456"));
        QCOMPARE(problem->text(), QString());
    }

    // A site file that is no UTF-8 text says what it likely is; many bad lines are named up to
    // five, and the rest counted. The list stays as it was.
    void aFileThatIsNoTextSaysWhatItLikelyIs_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("said");
        const QByteArray utf16 = QByteArray::fromStdString(list_bytes::utf16("123456\n"));
        QTest::newRow("UTF-16 with its mark")
            << QByteArray("\xFF\xFE", 2) + utf16
            << "saved as UTF-16 (with a byte order mark): save it as UTF-8";
        QTest::newRow("UTF-16, no mark") << utf16 << "saved as UTF-16: save it as UTF-8";
        QTest::newRow("binary") << QByteArray::fromStdString(list_bytes::binary(2000))
                                << "not a text file: it holds zero bytes or control characters; "
                                   "a site is a list of motors in UTF-8 text";
        QByteArray latin1;
        QStringList lines;
        for (int k = 1; k <= 8; ++k) {
            latin1 +=
                "123456,single,\"K\xFC"
                "che\"\n";
            if (k <= 5) {
                lines.append(QStringLiteral("line %1: the label is not valid UTF-8 (saved as "
                                            "Latin-1 or Windows-1252?): save the list as UTF-8")
                                 .arg(k));
            }
        }
        lines.append(QStringLiteral("and 3 more"));
        QTest::newRow("Latin-1, eight lines") << latin1 << lines.join(QLatin1Char('\n'));
    }
    void aFileThatIsNoTextSaysWhatItLikelyIs() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, said);
        frmSite& site = this->site();
        QVERIFY(addMotor(site, QStringLiteral("123456"), QStringLiteral("Hall")));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        QVERIFY(!site.openSite(path));
        QCOMPARE(shownMessage(site, "siteNotRead"),
                 QStringLiteral("The site was not opened; the list is as it was.|") + path +
                     QStringLiteral(":\n") + said);
        QCOMPARE(site.document().motors().rowCount(), 1);
    }

    // Quit from the main window with site changes not saved asks as closing the site window
    // does: Cancel keeps both windows, Discard closes both, Save saves and then closes both.
    void quitAsksAboutSiteChanges_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("stays");
        QTest::addColumn<bool>("byKey");
        QTest::newRow("Cancel, File > Quit") << int(QMessageBox::Cancel) << true << false;
        QTest::newRow("Cancel, Ctrl+Q") << int(QMessageBox::Cancel) << true << true;
        QTest::newRow("Discard") << int(QMessageBox::Discard) << false << true;
        QTest::newRow("Save") << int(QMessageBox::Save) << false << false;
    }
    void quitAsksAboutSiteChanges() {
        QFETCH(int, answer);
        QFETCH(bool, stays);
        QFETCH(bool, byKey);
        cleanup();  // the main window makes a site window of its own
        frmMain main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QTest::keyClick(&main, Qt::Key_M, Qt::ControlModifier);
        frmSite* site = main.siteWindow();
        QVERIFY(site != nullptr && site->isVisible());
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("east.csv"));
        QVERIFY(addMotor(*site, QStringLiteral("123456"), QStringLiteral("Hall")));
        QVERIFY(site->saveSiteTo(path));
        QVERIFY(addMotor(*site, QStringLiteral("654321"), QStringLiteral("Office")));
        QVERIFY(site->document().modified());

        if (byKey) {
            main.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&main));
        }
        QString asked;
        QTimer::singleShot(0, [&asked, answer] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                asked = box->objectName() + QLatin1Char('|') + box->text();
                box->button(static_cast<QMessageBox::StandardButton>(answer))->click();
            }
        });
        if (byKey) {
            QTest::keyClick(&main, Qt::Key_Q, Qt::ControlModifier);
        } else {
            main.findChild<QAction*>(QStringLiteral("actQuit"))->trigger();
        }
        QCOMPARE(asked, QStringLiteral("confirmClose|The site has changes that are not saved."));
        QCOMPARE(main.isVisible(), stays);
        QCOMPARE(site->isVisible(), stays);
        // The program ends with its last window.
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(std::any_of(windows.begin(), windows.end(),
                             [](const QWidget* window) { return window->isVisible(); }),
                 stays);
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll().count('\n'), answer == QMessageBox::Save ? 2 : 1);
    }
};

QTEST_MAIN(SiteKeysTest)
#include "site_keys_test.moc"
