// The help window: one for the run, modeless, fresh each time it opens.
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QTimer>

#include "main/frmHELP.h"
#include "window_driver.h"

namespace {

const QString threeLines = QStringLiteral("4800 Baud\n1 Start Bit\nODD Parity\n");

}  // namespace

class HelpTest : public QObject {
    Q_OBJECT

private slots:
    void showsTheSerialLineSettings() {
        QCOMPARE(frmHELP::storedText.size(), 36);
        frmHELP help;
        QCOMPARE(help.objectName(), QStringLiteral("frmHELP"));
        QCOMPARE(help.windowTitle(), QStringLiteral("Help"));
        QCOMPARE(help.findChild<QGroupBox*>("Frame1")->title(), QStringLiteral("Help"));
        QCOMPARE(help.findChild<QPushButton*>("Command1")->text(), QStringLiteral("Close"));
        auto* text = help.findChild<QPlainTextEdit*>("Text1");
        QCOMPARE(text->toPlainText(), threeLines);
        QVERIFY(!text->isReadOnly());
        QCOMPARE(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QVERIFY(help.width() >= 425 && help.height() >= 225);
    }

    void twoPressesGiveOneWindowInFront() {
        frmMain window;
        Driver ui(window);
        QVERIFY(window.helpWindow() == nullptr);
        QVERIFY(ui.click("cmdHELP"));
        frmHELP* help = window.helpWindow();
        QVERIFY(help != nullptr);
        QVERIFY(QTest::qWaitForWindowActive(help));
        QVERIFY(help->isVisible());
        QVERIFY(help->parentWidget() == nullptr);
        QVERIFY(!help->isModal());
        QCOMPARE(QApplication::focusWidget(), help->findChild<QWidget*>("Text1"));

        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(ui.click("cmdHELP"));
        QCOMPARE(window.helpWindow(), help);
        QVERIFY(QTest::qWaitForWindowActive(help));
        int helpWindows = 0;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            helpWindows += qobject_cast<frmHELP*>(top) != nullptr && top->isVisible() ? 1 : 0;
        }
        QCOMPARE(helpWindows, 1);
    }

    void closingDiscardsWhatWasTyped() {
        for (const bool closeBox : {false, true}) {
            frmMain window;
            Driver ui(window);
            QVERIFY(ui.click("cmdHELP"));
            frmHELP* help = window.helpWindow();
            auto* text = help->findChild<QPlainTextEdit*>("Text1");
            text->moveCursor(QTextCursor::End);
            QTest::keyClicks(text, QStringLiteral("9600 Baud"));
            QCOMPARE(text->toPlainText(), threeLines + QStringLiteral("9600 Baud"));
            if (closeBox) {
                help->close();
            } else {
                QTest::mouseClick(help->findChild<QPushButton*>("Command1"), Qt::LeftButton);
            }
            QVERIFY(!help->isVisible());
            QVERIFY(ui.click("cmdHELP"));
            QCOMPARE(window.helpWindow(), help);
            QVERIFY(help->isVisible());
            QCOMPARE(text->toPlainText(), threeLines);
        }
    }

    void theMainWindowStaysUsableBesideIt() {
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.click("cmdHELP"));
        QVERIFY(ui.calculated());
        QCOMPARE(ui.text("txtUP"), QString::fromLatin1(strings123456[0]));
        QVERIFY(window.helpWindow()->isVisible());
    }

    // Run last: it runs the application's event loop until the program would end.
    void theProgramEndsWithItsLastWindow() {
        QVERIFY(QApplication::quitOnLastWindowClosed());
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.click("cmdHELP"));
        bool helpStillOpen = false;
        QTimer::singleShot(0, &window, [&window, &helpStillOpen] {
            window.close();  // the help window stays, so the program goes on
            QTimer::singleShot(0, &window, [&window, &helpStillOpen] {
                helpStillOpen = window.helpWindow()->isVisible();
                window.helpWindow()->close();
            });
        });
        // Should the program not end, this ends the loop with a failure code.
        QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(1); });
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(helpStillOpen);
    }
};

QTEST_MAIN(HelpTest)
#include "help_test.moc"
