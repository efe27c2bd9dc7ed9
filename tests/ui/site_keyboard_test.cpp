// The site window as a keyboard user and a screen reader meet it, on its real widgets: Tab
// walks the window from top to bottom and leaves the motor list at once, every Alt letter
// reaches one control or menu, the bus connection is chosen and shown in the window, and each
// part has a name a screen reader can say.
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QSettings>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include "session.h"
#include "site/frmSite.h"
#include "site/motor_list_model.h"
#include "site/site_document.h"
#include "site_driver.h"

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

}  // namespace

class SiteKeyboardTest : public QObject {
    Q_OBJECT
    std::unique_ptr<SiteWindow> window_;

    frmSite& site() { return window_->site; }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("rvx-tests"));
        QCoreApplication::setApplicationName(QStringLiteral("ui_site_keyboard_tests"));
    }
    void init() {
        QSettings().clear();
        window_ = std::make_unique<SiteWindow>();
        window_->site.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window_->site));
        QVERIFY(QTest::qWaitForWindowActive(&window_->site));
    }
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
};

QTEST_MAIN(SiteKeyboardTest)
#include "site_keyboard_test.moc"
