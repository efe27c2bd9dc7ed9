// What a screen reader finds in both windows: a name for every control that takes focus, and
// the status lines as text.
#include <QAccessible>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>

#include "main/frmHELP.h"
#include "send/bus_connection.h"
#include "site/frmSite.h"
#include "window_driver.h"

namespace {

QString spokenName(QWidget* widget) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible != nullptr ? accessible->text(QAccessible::Name) : QString();
}

// Every widget of the window that Tab can reach, shown or not.
QList<QWidget*> focusable(QWidget& window) {
    QList<QWidget*> found;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if ((widget->focusPolicy() & Qt::TabFocus) != 0 && widget->focusProxy() == nullptr &&
            !widget->objectName().isEmpty()) {
            found << widget;
        }
    }
    return found;
}

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void everyFocusableControlHasAName() {
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.exposed);
        frmHELP help;
        int checked = 0;
        for (QWidget* top : {static_cast<QWidget*>(&window), static_cast<QWidget*>(&help)}) {
            for (QWidget* widget : focusable(*top)) {
                QVERIFY2(!spokenName(widget).trimmed().isEmpty(), qPrintable(widget->objectName()));
                ++checked;
            }
        }
        QCOMPARE(checked, 35 + 2);  // every field, option, list and button of both windows
    }

    void namesSayWhatAFieldHolds() {
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.exposed);
        frmHELP help;
        const std::pair<const char*, const char*> names[] = {
            {"txtUP", "Up string"},
            {"txtGIP", "Go to IP # string"},
            {"txtLIP", "Lock @ IP # string"},
            {"txtIP", "IP number for Go to IP"},
            {"txtSM", "Single motor address"},
            {"txtG", "Group address"},
            {"cmdHELP", "Help: serial line settings"},
            {"Combo1", "Command"},
        };
        for (const auto& [name, spoken] : names) {
            QCOMPARE(spokenName(window.findChild<QWidget*>(name)), QString::fromLatin1(spoken));
        }
        QCOMPARE(spokenName(help.findChild<QWidget*>("Text1")),
                 QStringLiteral("Serial line settings"));
    }

    void statusLinesAreReadAsTheirText() {
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.calculated());
        QVERIFY(ui.replace("txtMSU", QStringLiteral("x")));
        QVERIFY(ui.click("cmdCalc"));
        QAccessibleInterface* status = QAccessible::queryAccessibleInterface(ui.get("lblE"));
        QCOMPARE(status->role(), QAccessible::StaticText);
        QCOMPARE(status->text(QAccessible::Name), QStringLiteral("DATA ERROR"));
        QCOMPARE(status->text(QAccessible::Description), QStringLiteral("Status of All Commands"));

        QVERIFY(ui.replace("txtMSU", QStringLiteral("10")));
        QVERIFY(ui.click("cmdCalc"));
        QVERIFY(ui.click("optPX40"));
        QVERIFY(ui.pick(QStringLiteral("Go to %")));
        QVERIFY(ui.replace("txtD", QStringLiteral("101")));
        QVERIFY(ui.click("cmdCALCS"));
        QCOMPARE(QAccessible::queryAccessibleInterface(ui.get("lblS"))->text(QAccessible::Name),
                 QStringLiteral("ERROR, % must be 0 - 100"));
    }

    // The menu of a string and the connection dialog: every entry and field is named.
    void theBusMenuAndDialogAreNamed() {
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.calculated());
        QMenu* menu = ui.openMenu("txtUP");
        QVERIFY(menu != nullptr);
        QStringList entries;
        for (QAction* action : menu->findChildren<QAction*>()) {
            if (!action->isSeparator() && !action->objectName().isEmpty()) {
                entries << QString(action->text()).remove(QLatin1Char('&'));
            }
        }
        menu->close();
        for (const char* entry : {"Copy", "Copy as", "Send to motor", "Bus connection\u2026",
                                  "Compact  (ABF1\u2026)", "Crestron SIMPL  (\\xAB\\xF1\u2026)"}) {
            QVERIFY2(entries.contains(QString::fromUtf8(entry)), entry);
        }

        BusConnectionDialog dialog(std::nullopt);
        int named = 0;
        for (QWidget* widget : focusable(dialog)) {
            QVERIFY2(!spokenName(widget).trimmed().isEmpty(), qPrintable(widget->objectName()));
            ++named;
        }
        QCOMPARE(named, 8);  // two options, port, refresh, host, TCP port, baud rate, parity
    }

    // The menus' entries are made after the first paint, or at the first key or click: the
    // window's shortcuts work without a menu opened first, and a menu opened by the mouse holds
    // its entries.
    void menusHoldTheirEntriesOnceShown() {
        {
            frmMain window;
            window.show();
            QVERIFY(QTest::qWaitForWindowActive(&window));
            QTest::keyClick(&window, Qt::Key_M, Qt::ControlModifier);
            QVERIFY(window.siteWindow() != nullptr);
        }
        frmMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* bar = window.findChild<QMenuBar*>(QStringLiteral("menuBar"));
        QVERIFY(bar != nullptr);
        const QList<QAction*> titles = bar->actions();
        QCOMPARE(titles.size(), 3);
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(titles[2]).center());
        QMenu* help = titles[2]->menu();
        QTRY_VERIFY(help->isVisible());
        QStringList entries;
        for (QAction* action : help->actions()) {
            entries << action->text();
        }
        QCOMPARE(entries, QStringList{"Serial &line settings\u2026"});
        help->close();
        QCOMPARE(window.findChild<QMenu*>(QStringLiteral("mnuFile"))->actions().size(), 1);
        QCOMPARE(window.findChild<QMenu*>(QStringLiteral("mnuSite"))->actions().size(), 1);
    }

    // The icon is drawn from its SVG: without the SVG plugins it would be empty. The main
    // window takes it once it has been painted for the first time.
    void windowsCarryTheProgramsIcon() {
        frmMain window;
        frmHELP help;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(!window.windowIcon().isNull());
        for (QWidget* top : {static_cast<QWidget*>(&window), static_cast<QWidget*>(&help)}) {
            const QImage icon = top->windowIcon().pixmap(64, 64).toImage();
            QVERIFY(!icon.isNull());
            QCOMPARE(icon.pixelColor(32, 32).alpha(), 255);
            QCOMPARE(icon.pixelColor(0, 0).alpha(), 0);  // the rounded corner
        }
    }
};

QTEST_MAIN(AccessibilityTest)
#include "accessibility_test.moc"
