// The site window as an installer meets it with the keyboard and the file dialogs: what is
// saved is what was asked for, and a failure says what became of the file.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "send/bus_connection.h"
#include "session.h"
#include "site/frmSite.h"
#include "site/motor_list_model.h"
#include "site/site_document.h"
#include "site_driver.h"
#include "window_driver.h"

using namespace site_driver;

namespace {

bool addMotor(frmSite& site, const QString& address, const QString& label) {
    auto* field = in<QLineEdit>(site, "txtNewAddress");
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
void typeIntoNextFileDialog(const QString& folder, const QString& name, int tries = 200) {
    QTimer::singleShot(10, [folder, name, tries] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            if (tries > 0) {
                typeIntoNextFileDialog(folder, name, tries - 1);
            }
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
        QTest::keyClick(field, Qt::Key_Return);
    });
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
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("rvx-tests"));
        QCoreApplication::setApplicationName(QStringLiteral("ui_site_keys_tests"));
    }
    void init() {
        QSettings().clear();
        window_ = std::make_unique<SiteWindow>();
        window_->site.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window_->site));
        QVERIFY(QTest::qWaitForWindowActive(&window_->site));
    }
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

        // The strings, saved through the dialog where no file can be made, say the same.
        selectAll(site);
        typeIntoNextFileDialog(QStringLiteral("/proc"), QStringLiteral("strings"));
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
};

QTEST_MAIN(SiteKeysTest)
#include "site_keys_test.moc"
