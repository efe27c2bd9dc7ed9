// The site window as an installer meets it with the keyboard and the file dialogs: what is
// saved is what was asked for, and a failure says what became of the file.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

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
};

QTEST_MAIN(SiteKeysTest)
#include "site_keys_test.moc"
