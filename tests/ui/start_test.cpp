// The main window as it opens: controls, texts, states, lengths, fonts, focus and the
// conventions every field keeps.
#include <QFontMetrics>
#include <QGroupBox>
#include <QPalette>

#include "window_driver.h"

namespace {

// Notes whether the views hidden at the start had been made when the window was first painted.
class ViewsAtFirstPaint : public QObject {
public:
    explicit ViewsAtFirstPaint(QWidget& window) : window_(window) {
        window.installEventFilter(this);
    }
    bool painted = false;
    bool viewsMade = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            viewsMade = window_.findChild<QLineEdit*>(QStringLiteral("txtUP")) != nullptr;
            painted = true;
        }
        return false;
    }

private:
    QWidget& window_;
};

}  // namespace

class StartTest : public QObject {
    Q_OBJECT

private slots:
    void onlyTheAddressAndViewChoicesAreVisible() {
        frmMain window;
        Driver ui(window);
        QCOMPARE(window.objectName(), QStringLiteral("frmMain"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Velkor RVX String Calculator"));
        for (const char* name :
             {"frmAddr", "optSM", "optGA", "frmMtr", "optMQR", "optPX40", "cmdHELP"}) {
            QVERIFY2(ui.get(name)->isVisible(), name);
        }
        for (const char* name : {"txtSM", "txtG", "cmdCalc", "frmStrings", "frmC"}) {
            QVERIFY2(!ui.get(name)->isVisible(), name);
        }
        for (const char* name : {"optSM", "optGA", "optMQR", "optPX40"}) {
            QVERIFY2(!ui.get<QRadioButton>(name)->isChecked(), name);
        }
    }

    // The first paint draws the two frames of the start alone; the views hidden at the start
    // are made right after it, with every field.
    void hiddenViewsAreMadeOnceTheWindowIsPainted() {
        frmMain window;
        const ViewsAtFirstPaint first(window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(first.painted);
        QVERIFY(!first.viewsMade);
        QTRY_VERIFY(window.findChild<QGroupBox*>(QStringLiteral("frmStrings")) != nullptr);
        QVERIFY(window.findChild<QGroupBox*>(QStringLiteral("frmC")) != nullptr);
        // Two address fields, fourteen strings, seven parameters, and three in the chooser.
        QCOMPARE(window.findChildren<QLineEdit*>().size(), 2 + 14 + 7 + 3);
    }

    // What is done before the window is first painted finds the views made, done by a program
    // (no event) or by keys: the strings come out as they do later.
    void useBeforeTheFirstPaintGivesTheSameStrings() {
        {
            frmMain window;
            window.findChild<QRadioButton*>(QStringLiteral("optSM"))->click();
            window.findChild<QLineEdit*>(QStringLiteral("txtSM"))
                ->setText(QStringLiteral("123456"));
            window.findChild<QPushButton*>(QStringLiteral("cmdCalc"))->click();
            Driver ui(window);
            QVERIFY(ui.exposed);
            for (std::size_t row = 0; row < rvx::commandCount; ++row) {
                QCOMPARE(ui.text(outputNames[row]), QString::fromLatin1(strings123456[row]));
            }
        }
        {
            frmMain window;
            QTest::keyClick(window.findChild<QRadioButton*>(QStringLiteral("optGA")),
                            Qt::Key_Space);
            QTest::keyClicks(window.findChild<QLineEdit*>(QStringLiteral("txtG")),
                             QStringLiteral("0a0b0c"));
            QTest::keyClick(window.findChild<QPushButton*>(QStringLiteral("cmdCalc")),
                            Qt::Key_Space);
            Driver ui(window);
            QVERIFY(ui.exposed);
            const auto expected =
                ui.engineStrings(rvx::AddressKind::Group, QStringLiteral("0A0B0C"));
            for (std::size_t row = 0; row < rvx::commandCount; ++row) {
                QVERIFY(!expected[row].empty());
                QCOMPARE(ui.text(outputNames[row]), QString::fromStdString(expected[row]));
            }
        }
    }

    void loadStepEmptiesFourLabelsAndFillsTheList() {
        frmMain window;
        Driver ui(window);
        for (const char* name : {"lblE", "lblSC", "lblD", "lblDD"}) {
            QVERIFY2(ui.text(name).isEmpty(), name);
        }
        QCOMPARE(ui.text("lblS"), QStringLiteral("Choose Command From Drop Down Menu"));
        QComboBox* list = ui.list();
        QVERIFY(!list->isEnabled());
        QVERIFY(!list->isEditable());
        QCOMPARE(list->currentIndex(), -1);
        QCOMPARE(list->count(), 14);
        QCOMPARE(list->itemText(0), QStringLiteral("Up"));
        QCOMPARE(list->itemText(5), QStringLiteral("Go to IP #"));
        QCOMPARE(list->itemText(13), QStringLiteral("Unlock"));
        QCOMPARE(window.passCode(), 0);
    }

    void fieldsAndLabelsHoldTheirStartTexts() {
        frmMain window;
        Driver ui(window);
        const std::pair<const char*, const char*> texts[] = {
            {"txtRU", "0"},
            {"txtIP", "1"},
            {"txtPct", "50"},
            {"txtMSU", "10"},
            {"txtMSD", "10"},
            {"txtL", "1"},
            {"txtIPL", "1"},
            {"Label1", "UP"},
            {"Label2", "DOWN"},
            {"Label3", "STOP"},
            {"Label4", "Go To IP "},
            {"Label5", "Next IP UP"},
            {"Label6", "Next IP DOWN"},
            {"Label7", "Go To %"},
            {"Label8", "Lock UP"},
            {"Label9", "Lock DOWN"},
            {"Label10", "Lock Current"},
            {"Label11", "Lock @ IP"},
            {"Label12", "Unlock"},
            {"Label13", "Priority For Lock Functions"},
            {"Label15", "Jog Up 10 ms"},
            {"Label16", "Jog Down 10 ms"},
        };
        for (const auto& [name, expected] : texts) {
            QCOMPARE(ui.text(name), QString::fromLatin1(expected));
        }
        for (const char* name : outputNames) {
            QVERIFY2(ui.text(name).isEmpty(), name);
        }
        QCOMPARE(ui.get<QGroupBox>("frmAddr")->title(),
                 QStringLiteral("Single Motor or Group address"));
        QCOMPARE(ui.get<QGroupBox>("frmMtr")->title(), QStringLiteral("Display Serial Strings"));
        QCOMPARE(ui.get<QGroupBox>("frmStrings")->title(), QStringLiteral("All Commands"));
        QCOMPARE(ui.get<QGroupBox>("frmC")->title(), QStringLiteral("Choose Command"));
        QCOMPARE(ui.get<QPushButton>("cmdHELP")->text(), QStringLiteral("?"));
        QCOMPARE(ui.get<QPushButton>("cmdCLEAR")->text(), QStringLiteral("CLEAR"));
    }

    void focusStartsOnTheHelpButton() {
        frmMain window;
        Driver ui(window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(QApplication::focusWidget(), ui.get("cmdHELP"));
    }

    // Tab walks the controls that are shown and enabled in the order of their tab indexes;
    // an option group is one stop, at its chosen option.
    void tabFollowsTheTabIndexes() {
        frmMain window;
        Driver ui(window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(ui.calculated());
        QVERIFY(ui.click("optPX40"));
        QVERIFY(ui.pick(QStringLiteral("Lock @ IP #")));
        QVERIFY(ui.click("optMQR"));
        ui.get("cmdHELP")->setFocus();
        QStringList visited;
        for (int k = 0; k < 26; ++k) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        const QStringList expected = {
            "cmdCLEAR", "cmdCalc", "optMQR", "optSM",   "txtSM", "txtSTOP", "txtDOWN",
            "txtUP",    "txtGIP",  "txtIP",  "txtNIPU", "txtGP", "txtPct",  "txtLU",
            "txtLD",    "txtLC",   "txtLIP", "txtUL",   "txtL",  "txtIPL",  "txtJU",
            "txtNIPD",  "txtJD",   "txtMSU", "txtMSD",  "txtRU",
        };
        QCOMPARE(visited, expected);

        QVERIFY(ui.click("optPX40"));
        ui.get("cmdHELP")->setFocus();
        visited.clear();
        for (int k = 0; k < 9; ++k) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, (QStringList{"cmdCalc", "optPX40", "optSM", "txtSM", "Combo1", "txtS",
                                       "txtD", "cmdCALCS", "txtDD"}));
    }

    void fieldsStopTakingCharactersAtTheirLimit() {
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.click("optGA"));
        QVERIFY(ui.replace("txtG", QStringLiteral("1234567")));
        QCOMPARE(ui.text("txtG"), QStringLiteral("123456"));
        QVERIFY(ui.calculated());
        const std::pair<const char*, int> limits[] = {
            {"txtSM", 6},  {"txtIP", 2},  {"txtIPL", 2}, {"txtRU", 3},  {"txtL", 3},
            {"txtPct", 4}, {"txtMSU", 4}, {"txtMSD", 4}, {"txtUP", 50},
        };
        for (const auto& [name, limit] : limits) {
            QVERIFY2(ui.replace(name, QString(limit + 3, QLatin1Char('7'))), name);
            QCOMPARE(ui.text(name), QString(limit, QLatin1Char('7')));
        }
        QVERIFY(ui.click("cmdCLEAR"));
        QVERIFY(ui.replace("txtSM", QStringLiteral("123456")));
        QVERIFY(ui.click("cmdCalc"));
        QVERIFY(ui.click("optPX40"));
        QVERIFY(ui.pick(QStringLiteral("Lock @ IP #")));
        for (const char* name : {"txtD", "txtDD"}) {
            QVERIFY2(ui.replace(name, QStringLiteral("123456")), name);
            QCOMPARE(ui.text(name), QStringLiteral("1234"));
        }
        QCOMPARE(ui.field("txtS")->maxLength(), 50);
    }

    // The conventions of every field: a change reaction runs at once, inside the statement
    // that changed the text; writing the same text runs nothing; a program-written text is
    // cut to the field's limit without an error.
    void fieldsReactToEveryChangeAndOnlyToChanges() {
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.calculated());
        QLineEdit* ip = ui.field("txtIP");
        QSignalSpy changes(ip, &QLineEdit::textChanged);
        ip->setText(QStringLiteral("1"));
        QCOMPARE(changes.count(), 0);
        QCOMPARE(ui.text("txtGIP"), QString::fromLatin1(strings123456[5]));
        ip->setText(QStringLiteral("1.5"));
        QCOMPARE(changes.count(), 1);
        QCOMPARE(ip->text(), QStringLiteral("1."));
        QVERIFY(ui.text("txtGIP").isEmpty());
        QCOMPARE(ui.text("txtGP"), QString::fromLatin1(strings123456[6]));
        QCOMPARE(ui.beeps.count(), 0);
    }

    void optionsAreExclusiveWithinTheirFrameOnly() {
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.click("optSM"));
        QVERIFY(ui.click("optPX40"));
        QVERIFY(ui.click("optGA"));
        QVERIFY(!ui.get<QRadioButton>("optSM")->isChecked());
        QVERIFY(ui.get<QRadioButton>("optPX40")->isChecked());
        QVERIFY(ui.click("optMQR"));
        QVERIFY(!ui.get<QRadioButton>("optPX40")->isChecked());
        QVERIFY(ui.get<QRadioButton>("optGA")->isChecked());
        QVERIFY(ui.click("optSM"));
        QVERIFY(!ui.get<QRadioButton>("optGA")->isChecked());
        QVERIFY(ui.get<QRadioButton>("optMQR")->isChecked());
    }

    void outputFieldsAcceptTypingAndNothingReacts() {
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.calculated());
        QVERIFY(ui.type("txtUP", QStringLiteral("x")));
        QCOMPARE(ui.text("txtUP"), QString::fromLatin1(strings123456[0]) + QStringLiteral("x"));
        QCOMPARE(ui.text("txtDOWN"), QString::fromLatin1(strings123456[1]));
        QCOMPARE(ui.beeps.count(), 0);
    }

    void layoutStandsWhereTheTablePutsIt() {
        frmMain window;
        Driver ui(window);
        QCOMPARE(ui.get("frmAddr")->geometry(), QRect(16, 24, 449, 81));
        QCOMPARE(ui.get("frmMtr")->geometry(), QRect(472, 24, 441, 81));
        QCOMPARE(ui.get("frmStrings")->geometry(), QRect(16, 112, 449, 561));
        QCOMPARE(ui.get("frmC")->geometry(), QRect(472, 112, 449, 145));
        QCOMPARE(ui.get("txtUP")->geometry(), QRect(8, 32, 284, 19));
        QCOMPARE(ui.get("txtRU")->geometry(), QRect(352, 64, 33, 19));
        QCOMPARE(ui.get("txtS")->geometry(), QRect(120, 56, 313, 19));
        QCOMPARE(ui.get("Line1")->geometry(), QRect(0, 320, 448, 1));
        QCOMPARE(ui.get("Line1")->palette().color(QPalette::Window),
                 window.palette().color(QPalette::Dark));
        QVERIFY(window.width() >= 921 && window.height() >= 673);
        QCOMPARE(ui.field("txtUP")->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
        QCOMPARE(ui.get<QLabel>("lblS")->alignment() & Qt::AlignRight, Qt::AlignRight);
        QCOMPARE(ui.get<QLabel>("lblE")->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
        QCOMPARE(ui.get<QLabel>("Label1")->alignment() & Qt::AlignLeft, Qt::AlignLeft);
    }

    void fontsAreBoldWhereTheLayoutSaysSo() {
        frmMain window;
        Driver ui(window);
        for (const char* name : {"frmAddr", "cmdCalc", "cmdHELP", "frmC"}) {
            QVERIFY2(ui.get(name)->font().bold(), name);
            QCOMPARE(ui.get(name)->font().pointSizeF(), 9.75);
        }
        for (const char* name : {"txtUP", "Label1", "Combo1", "cmdCLEAR", "lblSC", "txtS"}) {
            QVERIFY2(ui.get(name)->font().bold(), name);
            QCOMPARE(ui.get(name)->font().pointSizeF(), 8.25);
        }
        for (const char* name : {"optSM", "optMQR", "txtSM", "txtRU", "lblE", "lblS", "txtD"}) {
            QVERIFY2(!ui.get(name)->font().bold(), name);
        }
    }

    // Every caption fits the place the layout gives it, in the fonts the window uses.
    void everyCaptionReadsWhole() {
        frmMain window;
        Driver ui(window);
        for (QLabel* label : window.findChildren<QLabel*>()) {
            if (label->wordWrap()) {
                continue;
            }
            const int needed = QFontMetrics(label->font()).horizontalAdvance(label->text());
            QVERIFY2(needed <= label->width(), qPrintable(label->objectName()));
        }
        for (QRadioButton* option : window.findChildren<QRadioButton*>()) {
            QVERIFY2(option->sizeHint().width() <= option->width(),
                     qPrintable(option->objectName()));
        }
        for (QPushButton* button : window.findChildren<QPushButton*>()) {
            const int textWidth = QFontMetrics(button->font()).horizontalAdvance(button->text());
            QVERIFY2(textWidth + 8 <= button->width(), qPrintable(button->objectName()));
        }
        for (QGroupBox* frame : window.findChildren<QGroupBox*>()) {
            const int titleWidth = QFontMetrics(frame->font()).horizontalAdvance(frame->title());
            QVERIFY2(titleWidth < frame->width(), qPrintable(frame->objectName()));
        }
        // The longest entry of the list fits the list.
        const int entryWidth =
            QFontMetrics(ui.list()->font()).horizontalAdvance(QStringLiteral("Jog Down 10 ms"));
        QVERIFY(entryWidth + 24 <= ui.list()->width());
        // The longest prompt fits its label on at most two lines.
        QLabel* prompt = ui.get<QLabel>("lblS");
        const QRect needed =
            QFontMetrics(prompt->font())
                .boundingRect(QRect(0, 0, prompt->width(), 1000), Qt::TextWordWrap,
                              QStringLiteral("Must Click Calculate to get string --->"));
        QVERIFY(needed.height() <= prompt->height());
    }
};

QTEST_MAIN(StartTest)
#include "start_test.moc"
