// The "Choose Command" view: the view switch, picking commands, and the view's own Calculate.
#include "window_driver.h"

namespace {

QString s(const char* text) {
    return QString::fromLatin1(text);
}

const QString prompt = QStringLiteral("Must Click Calculate to get string --->");

}  // namespace

class ChooserTest : public QObject {
    Q_OBJECT
    FreshWindow fresh;

private slots:
    void init() { QVERIFY(fresh.make()); }
    void cleanup() { fresh.drop(); }

    void viewsSwitchWithoutTouchingAnyText() {
        Driver& ui = fresh.ui();
        QVERIFY(ui.click("optPX40"));
        QVERIFY(!ui.get("frmStrings")->isVisible());
        QVERIFY(ui.get("frmC")->isVisible());
        QCOMPARE(ui.get("frmC")->pos(), QPoint(16, 112));
        QVERIFY(!ui.list()->isEnabled());  // nothing calculated yet

        QVERIFY(ui.click("optSM"));
        QVERIFY(ui.replace("txtSM", s("123456")));
        QVERIFY(ui.click("cmdCalc"));
        QVERIFY(ui.pick(s("Lock @ IP #")));
        QVERIFY(ui.replace("txtD", s("40")));
        QVERIFY(ui.click("cmdCALCS"));
        const QString string = ui.text("txtS");
        QVERIFY(ui.click("optMQR"));
        QVERIFY(ui.get("frmStrings")->isVisible());
        QVERIFY(!ui.get("frmC")->isVisible());
        QCOMPARE(ui.text("txtLIP"), string);
        QVERIFY(ui.click("optPX40"));
        QCOMPARE(ui.get("frmC")->pos(), QPoint(16, 112));
        QCOMPARE(ui.text("txtS"), string);
        QCOMPARE(ui.text("txtD"), s("40"));
        QCOMPARE(ui.text("txtDD"), s("1"));
        QCOMPARE(ui.list()->currentText(), s("Lock @ IP #"));
        QCOMPARE(ui.beeps.count(), 0);
    }

    void parameterlessEntriesShowTheirStringAtOnce_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("row");
        const char* entries[] = {"Up", "Down", "Stop", "Next IP Up", "Next IP Down"};
        for (int row = 0; row < 5; ++row) {
            QTest::newRow(entries[row]) << s(entries[row]) << row;
        }
    }

    void parameterlessEntriesShowTheirStringAtOnce() {
        QFETCH(QString, entry);
        QFETCH(int, row);
        frmMain& window = fresh.window();
        Driver& ui = fresh.ui();
        QVERIFY(ui.choosing());
        QVERIFY(ui.pick(s("Go to %")));
        QVERIFY(ui.pick(entry));
        QCOMPARE(ui.text("lblSC"), entry);
        QCOMPARE(ui.text("txtS"), s(strings123456[static_cast<std::size_t>(row)]));
        QVERIFY(ui.text("lblS").isEmpty());
        QVERIFY(ui.text("lblD").isEmpty());
        QVERIFY(ui.text("lblDD").isEmpty());
        QVERIFY(!ui.get("txtD")->isVisible());
        QVERIFY(!ui.get("txtDD")->isVisible());
        QVERIFY(!ui.get("cmdCALCS")->isVisible());
        QVERIFY(ui.get("txtS")->isVisible());
        QCOMPARE(window.passCode(), 3);  // left at the last command with a parameter
    }

    void entriesWithAParameterWaitForCalculate_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("pass");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("parameter");
        QTest::addColumn<QString>("start");
        QTest::newRow("Go to IP #")
            << s("Go to IP #") << 2 << s("Go to IP #") << s("IP #") << s("1");
        QTest::newRow("Go to %") << s("Go to %") << 3 << s("Go to %") << s("%") << s("50");
        QTest::newRow("Jog Up") << s("Jog Up 10 ms") << 9 << s("Jog Up ms") << s("X 10 ms")
                                << s("10");
        QTest::newRow("Jog Down") << s("Jog Down 10 ms") << 10 << s("Jog Down ms") << s("X 10 ms")
                                  << s("10");
        QTest::newRow("Lock Up") << s("Lock Up") << 4 << s("Lock Up") << s("Priority") << s("1");
        QTest::newRow("Lock Down")
            << s("Lock Down") << 5 << s("Lock Down") << s("Priority") << s("1");
        QTest::newRow("Lock Current")
            << s("Lock Current") << 6 << s("Lock Current") << s("Priority") << s("1");
        QTest::newRow("Lock @ IP #")
            << s("Lock @ IP #") << 7 << s("Lock @ IP #") << s("Priority") << s("1");
        QTest::newRow("Unlock") << s("Unlock") << 8 << s("Unlock") << s("Priority") << s("1");
    }

    void entriesWithAParameterWaitForCalculate() {
        QFETCH(QString, entry);
        QFETCH(int, pass);
        QFETCH(QString, caption);
        QFETCH(QString, parameter);
        QFETCH(QString, start);
        frmMain& window = fresh.window();
        Driver& ui = fresh.ui();
        QVERIFY(ui.choosing());
        QVERIFY(ui.pick(s("Up")));
        QVERIFY(ui.pick(entry));
        QCOMPARE(window.passCode(), pass);
        QVERIFY(ui.text("txtS").isEmpty());
        QCOMPARE(ui.text("lblS"), prompt);
        QCOMPARE(ui.text("lblSC"), caption);
        QCOMPARE(ui.text("lblD"), parameter);
        QVERIFY(ui.get("txtD")->isVisible());
        QCOMPARE(ui.text("txtD"), start);
        QVERIFY(ui.get("cmdCALCS")->isVisible());
        const bool lockAtIp = pass == 7;
        QCOMPARE(ui.get("txtDD")->isVisible(), lockAtIp);
        QCOMPARE(ui.text("lblDD"), lockAtIp ? s("IP #") : QString());
        if (lockAtIp) {
            QCOMPARE(ui.text("txtDD"), s("1"));
        }
    }

    void everyPickPutsTheStartValueBack() {
        frmMain& window = fresh.window();
        Driver& ui = fresh.ui();
        QVERIFY(ui.choosing());
        QVERIFY(ui.pick(s("Go to IP #")));
        QVERIFY(ui.replace("txtD", s("7")));
        QVERIFY(ui.pick(s("Stop")));
        QVERIFY(!ui.get("txtD")->isVisible());
        QVERIFY(!ui.get("cmdCALCS")->isVisible());
        QCOMPARE(window.passCode(), 2);
        QVERIFY(ui.pick(s("Go to IP #")));
        QCOMPARE(ui.text("txtD"), s("1"));

        QVERIFY(ui.pick(s("Lock @ IP #")));
        QCOMPARE(window.passCode(), 7);
        QVERIFY(ui.pick(s("Lock Up")));
        QCOMPARE(window.passCode(), 4);
        QVERIFY(!ui.get("txtDD")->isVisible());
        QVERIFY(ui.text("lblDD").isEmpty());
    }

    void theListCanBeWorkedFromTheKeyboard() {
        frmMain& window = fresh.window();
        Driver& ui = fresh.ui();
        QVERIFY(ui.choosing());
        ui.list()->setFocus();
        QTest::keyClick(ui.list(), Qt::Key_Down);
        QCOMPARE(ui.text("lblSC"), s("Up"));
        QCOMPARE(ui.text("txtS"), s(strings123456[0]));
        QTest::keyClick(ui.list(), Qt::Key_End);
        QCOMPARE(ui.text("lblSC"), s("Unlock"));
        QCOMPARE(window.passCode(), 8);
    }

    void pickingCopiesWhatTheSourceFieldHolds() {
        Driver& ui = fresh.ui();
        QVERIFY(ui.calculated());
        QVERIFY(ui.replace("txtRU", s("5")));
        QVERIFY(ui.click("cmdCalc"));
        QVERIFY(ui.click("optPX40"));
        QVERIFY(ui.pick(s("Down")));
        QCOMPARE(ui.text("txtS"), s("Value must be 0 or 10 - 255"));

        QVERIFY(ui.click("optMQR"));
        QVERIFY(ui.click("cmdCLEAR"));
        QVERIFY(ui.click("optPX40"));
        QVERIFY(ui.pick(s("Up")));
        QVERIFY(ui.text("txtS").isEmpty());
    }

    void calculateShowsTheStringOfThePendingCommand() {
        Driver& ui = fresh.ui();
        QVERIFY(ui.choosing());
        QVERIFY(ui.pick(s("Go to IP #")));
        QVERIFY(ui.replace("txtD", s("5")));
        QVERIFY(ui.click("cmdCALCS"));
        QCOMPARE(ui.text("txtS"), s("AB F1 FF FF FF FF 12 34 56 FB FB FF 09 29"));
        QCOMPARE(ui.text("lblS"), prompt);
        QCOMPARE(ui.text("txtIP"), s("5"));
        QCOMPARE(ui.text("txtGIP"), ui.text("txtS"));
        // The whole "All Commands" view was refreshed.
        const auto expected = ui.engineStrings(rvx::AddressKind::Single, s("123456"));
        for (std::size_t row = 0; row < rvx::commandCount; ++row) {
            QCOMPARE(ui.text(outputNames[row]).toStdString(), expected[row]);
        }
        QCOMPARE(ui.beeps.count(), 0);
    }

    void lockAtIpTakesPriorityAndPosition() {
        Driver& ui = fresh.ui();
        QVERIFY(ui.choosing());
        QVERIFY(ui.pick(s("Lock @ IP #")));
        QVERIFY(ui.replace("txtD", s("100")));
        QVERIFY(ui.replace("txtDD", s("16")));
        QVERIFY(ui.click("cmdCALCS"));
        QCOMPARE(ui.text("txtS").mid(27, 8), s("FB EF 9B"));
        QCOMPARE(ui.text("txtL"), s("100"));
        QCOMPARE(ui.text("txtIPL"), s("16"));
        QCOMPARE(ui.text("txtLU").mid(33, 2), s("9B"));  // the priority is shared
    }

    void rangeFailuresMarkTheFieldAndCopyNothing_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        const QString ip = s("ERROR, IP # must be 1 - 16");
        const QString priority = s("ERROR, Priority must be 1 - 100");
        const QString value = s("ERROR, value must be 0 - 255");
        QTest::newRow("IP 17") << s("Go to IP #") << s("17") << ip;
        QTest::newRow("IP 0") << s("Go to IP #") << s("0") << ip;
        QTest::newRow("percent 101") << s("Go to %") << s("101") << s("ERROR, % must be 0 - 100");
        QTest::newRow("lock up 0") << s("Lock Up") << s("0") << priority;
        QTest::newRow("lock down 101") << s("Lock Down") << s("101") << priority;
        QTest::newRow("lock current 0") << s("Lock Current") << s("0") << priority;
        QTest::newRow("unlock 0") << s("Unlock") << s("0") << priority;
        QTest::newRow("jog up 256") << s("Jog Up 10 ms") << s("256") << value;
        QTest::newRow("jog down -1") << s("Jog Down 10 ms") << s("-1") << value;
    }

    void rangeFailuresMarkTheFieldAndCopyNothing() {
        QFETCH(QString, entry);
        QFETCH(QString, value);
        QFETCH(QString, message);
        Driver& ui = fresh.ui();
        QVERIFY(ui.choosing());
        QVERIFY(ui.pick(entry));
        QVERIFY(ui.replace("txtD", value));
        QVERIFY(ui.click("cmdCALCS"));
        QCOMPARE(ui.beeps.count(), 1);
        QCOMPARE(ui.text("lblS"), message);
        QCOMPARE(ui.text("txtD"), s("ER"));
        QVERIFY(ui.text("txtS").isEmpty());
        for (const auto& info : rvx::parameterCatalogue) {
            const std::string name(info.fieldName);
            QCOMPARE(ui.text(name.c_str()),
                     QString::fromLatin1(info.startText.data(),
                                         static_cast<int>(info.startText.size())));
        }
        for (std::size_t row = 0; row < rvx::commandCount; ++row) {
            QCOMPARE(ui.text(outputNames[row]), s(strings123456[row]));
        }
        // The field still shows "ER": the next press is a data error.
        QVERIFY(ui.click("cmdCALCS"));
        QCOMPARE(ui.beeps.count(), 2);
        QCOMPARE(ui.text("lblS"), s("Data Error"));
    }

    // An accepted value is copied into its "All Commands" field in its plainest form, so that
    // field holds the number that passed the check, and txtS shows that command's string.
    void acceptedValuesAreCopiedInTheirPlainestForm_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("copied");
        QTest::newRow("IP 16") << s("Go to IP #") << s("16") << s("txtIP") << s("16");
        QTest::newRow("percent 0") << s("Go to %") << s("0") << s("txtPct") << s("0");
        QTest::newRow("jog up 0") << s("Jog Up 10 ms") << s("0") << s("txtMSU") << s("0");
        QTest::newRow("jog down 255") << s("Jog Down 10 ms") << s("255") << s("txtMSD") << s("255");
        QTest::newRow("unlock 100") << s("Unlock") << s("100") << s("txtL") << s("100");
        QTest::newRow("lock up 1") << s("Lock Up") << s("1") << s("txtL") << s("1");
        QTest::newRow("priority 0100") << s("Lock Up") << s("0100") << s("txtL") << s("100");
        QTest::newRow("priority +5") << s("Unlock") << s("+5") << s("txtL") << s("5");
        QTest::newRow("percent 1.50") << s("Go to %") << s("1.50") << s("txtPct") << s("1.5");
        QTest::newRow("percent 1e2") << s("Go to %") << s("1e2") << s("txtPct") << s("100");
        QTest::newRow("percent -0") << s("Go to %") << s("-0") << s("txtPct") << s("0");
        QTest::newRow("IP 016") << s("Go to IP #") << s("016") << s("txtIP") << s("16");
        QTest::newRow("jog 12.5") << s("Jog Up 10 ms") << s("12.5") << s("txtMSU") << s("12.5");
    }

    void acceptedValuesAreCopiedInTheirPlainestForm() {
        QFETCH(QString, entry);
        QFETCH(QString, value);
        QFETCH(QString, target);
        QFETCH(QString, copied);
        Driver& ui = fresh.ui();
        QVERIFY(ui.choosing());
        QVERIFY(ui.pick(entry));
        QVERIFY(ui.replace("txtD", value));
        QVERIFY(ui.click("cmdCALCS"));
        QCOMPARE(ui.beeps.count(), 0);
        QCOMPARE(ui.text(qPrintable(target)), copied);
        QCOMPARE(ui.text("txtS").size(), 41);
        const auto row = rvx::findCommand(entry.toStdString());
        QVERIFY(row);
        QCOMPARE(ui.text("txtS"), ui.text(outputNames[*row]));
    }

    void priorityOf0100MakesStringsForPriority100() {
        Driver& ui = fresh.ui();
        QVERIFY(ui.choosing());
        QVERIFY(ui.pick(s("Lock Up")));
        QVERIFY(ui.replace("txtD", s("0100")));
        QVERIFY(ui.click("cmdCALCS"));
        QCOMPARE(ui.text("txtS").mid(33, 2), s("9B"));  // 255 - 100
    }

    void valueTooLongForItsFieldFailsLikeARangeCheck_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("message");
        QTest::newRow("IP 1.5") << s("Go to IP #") << s("txtD") << s("1.5") << s("")
                                << s("ERROR, IP # must be 1 - 16");
        QTest::newRow("priority 1.25") << s("Lock Down") << s("txtD") << s("1.25") << s("")
                                       << s("ERROR, Priority must be 1 - 100");
        QTest::newRow("lock IP 2.5") << s("Lock @ IP #") << s("txtDD") << s("3") << s("2.5")
                                     << s("ERROR, IP # must be 1 - 16");
    }

    void valueTooLongForItsFieldFailsLikeARangeCheck() {
        QFETCH(QString, entry);
        QFETCH(QString, field);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, message);
        Driver& ui = fresh.ui();
        QVERIFY(ui.choosing());
        QVERIFY(ui.pick(entry));
        QVERIFY(ui.replace("txtD", first));
        if (!second.isEmpty()) {
            QVERIFY(ui.replace("txtDD", second));
        }
        QVERIFY(ui.click("cmdCALCS"));
        QCOMPARE(ui.beeps.count(), 1);
        QCOMPARE(ui.text("lblS"), message);
        QCOMPARE(ui.text(qPrintable(field)), s("ER"));
        QCOMPARE(ui.text("txtIP"), s("1"));
        QCOMPARE(ui.text("txtL"), s("1"));
        QCOMPARE(ui.text("txtIPL"), s("1"));
        QVERIFY(ui.text("txtS").isEmpty());
    }

    void lockAtIpChecksThePriorityFirst() {
        Driver& ui = fresh.ui();
        QVERIFY(ui.choosing());
        QVERIFY(ui.pick(s("Lock @ IP #")));
        QVERIFY(ui.replace("txtD", s("0")));
        QVERIFY(ui.replace("txtDD", s("99")));
        QVERIFY(ui.click("cmdCALCS"));
        QCOMPARE(ui.text("lblS"), s("ERROR, Priority must be 1 - 100"));
        QCOMPARE(ui.text("txtD"), s("ER"));
        QCOMPARE(ui.text("txtDD"), s("99"));

        QVERIFY(ui.replace("txtD", s("3")));
        QVERIFY(ui.replace("txtDD", s("17")));
        QVERIFY(ui.click("cmdCALCS"));
        QCOMPARE(ui.text("lblS"), s("ERROR, IP # must be 1 - 16"));
        QCOMPARE(ui.text("txtDD"), s("ER"));
        QCOMPARE(ui.text("txtD"), s("3"));
        QCOMPARE(ui.text("txtL"), s("1"));
        QCOMPARE(ui.beeps.count(), 2);
    }

    void textThatIsNoNumberIsADataError() {
        for (const char* text : {"", "abc", "1,5", "0x10"}) {
            frmMain window;
            Driver ui(window);
            QVERIFY(ui.choosing());
            QVERIFY(ui.pick(s("Go to %")));
            QVERIFY(ui.replace("txtD", s(text)));
            QVERIFY(ui.click("cmdCALCS"));
            QCOMPARE(ui.beeps.count(), 1);
            QCOMPARE(ui.text("lblS"), s("Data Error"));
            QCOMPARE(ui.text("txtD"), s(text));
            QCOMPARE(ui.text("txtPct"), s("50"));
        }
    }

    // A field of "All Commands" left at "ER" by its range check fails the generation of every
    // press here, unless the press itself overwrites it.
    void anErMarkInAllCommandsFailsEveryPressThatDoesNotOverwriteIt() {
        Driver& ui = fresh.ui();
        QVERIFY(ui.calculated());
        QVERIFY(ui.replace("txtIP", s("20")));
        QVERIFY(ui.click("cmdCalc"));
        QCOMPARE(ui.text("txtIP"), s("ER"));
        QVERIFY(ui.click("optPX40"));
        QVERIFY(ui.pick(s("Unlock")));
        QVERIFY(ui.replace("txtD", s("5")));
        QVERIFY(ui.click("cmdCALCS"));
        QCOMPARE(ui.text("lblS"), s("Data Error"));
        QCOMPARE(ui.text("txtL"), s("5"));  // the copy was made before the generation failed
        QVERIFY(ui.text("txtS").isEmpty());
        QCOMPARE(ui.beeps.count(), 2);

        QVERIFY(ui.pick(s("Go to IP #")));
        QVERIFY(ui.replace("txtD", s("3")));
        QVERIFY(ui.click("cmdCALCS"));
        QCOMPARE(ui.text("lblS"), prompt);
        QCOMPARE(ui.text("txtS").mid(30, 2), s("FD"));
        QCOMPARE(ui.beeps.count(), 2);
    }

    // A lower-case address is upper-cased before the value is copied, so the change reaction of
    // the address cannot put the copied value back to its start value: the string is made
    // from the value that passed the check.
    void afterALowerCaseAddressEditTheStringIsForTheValueTyped_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Go to IP #") << s("Go to IP #") << s("5") << s("txtIP")
                                    << s("AB F1 FF FF FF FF AB CD EF FB FB FF 0A F4");
        QTest::newRow("Go to %") << s("Go to %") << s("100") << s("txtPct")
                                 << s("AB F1 FF FF FF FF AB CD EF EF 00 FF 09 ED");
        QTest::newRow("Unlock") << s("Unlock") << s("100") << s("txtL")
                                << s("A4 F1 FF FF FF FF AB CD EF FA FF 9B 0A 8C");
    }

    void afterALowerCaseAddressEditTheStringIsForTheValueTyped() {
        QFETCH(QString, entry);
        QFETCH(QString, value);
        QFETCH(QString, target);
        QFETCH(QString, expected);
        Driver& ui = fresh.ui();
        QVERIFY(ui.choosing());
        QVERIFY(ui.pick(entry));
        QVERIFY(ui.replace("txtD", value));
        QVERIFY(ui.replace("txtSM", s("abcdef")));
        QVERIFY(ui.click("cmdCALCS"));
        QCOMPARE(ui.text("txtSM"), s("ABCDEF"));
        QCOMPARE(ui.text(qPrintable(target)), value);
        QCOMPARE(ui.text("txtS"), expected);
        QCOMPARE(ui.text("lblS"), prompt);
        QCOMPARE(ui.beeps.count(), 0);
    }

    void afterAnAddressEditThePressWorksFromTheEditedAddress() {
        Driver& ui = fresh.ui();
        QVERIFY(ui.choosing());
        QVERIFY(ui.pick(s("Go to %")));
        QVERIFY(ui.replace("txtSM", s("654321")));
        QVERIFY(!ui.list()->isEnabled());
        QVERIFY(ui.get("cmdCALCS")->isVisible());
        QVERIFY(ui.replace("txtD", s("100")));
        QVERIFY(ui.click("cmdCALCS"));
        QCOMPARE(ui.text("txtS"), s("AB F1 FF FF FF FF 65 43 21 EF 00 FF 08 4F"));
    }
};

QTEST_MAIN(ChooserTest)
#include "chooser_test.moc"
