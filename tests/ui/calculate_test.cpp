// The address frame: choosing the address kind, editing the address, and its Calculate with
// the range checks and the data-error handling.
#include "window_driver.h"

namespace {

QString s(const char* text) {
    return QString::fromLatin1(text);
}

}  // namespace

class CalculateTest : public QObject {
    Q_OBJECT
    FreshWindow fresh;

private slots:
    void init() { QVERIFY(fresh.make()); }
    void cleanup() { fresh.drop(); }

    void allCommandsEndToEnd() {
        Driver& ui = fresh.ui();
        QVERIFY(ui.calculated());
        for (std::size_t row = 0; row < rvx::commandCount; ++row) {
            QCOMPARE(ui.text(outputNames[row]), s(strings123456[row]));
        }
        QVERIFY(ui.list()->isEnabled());
        QVERIFY(ui.text("lblE").isEmpty());
        QCOMPARE(ui.beeps.count(), 0);
    }

    void groupAddressWithTypedParameters() {
        Driver& ui = fresh.ui();
        QVERIFY(ui.click("optMQR"));
        QVERIFY(ui.click("optGA"));
        QCOMPARE(ui.get("cmdCalc")->y(), 48);
        QVERIFY(ui.replace("txtG", s("0a0b0c")));
        QVERIFY(ui.replace("txtRU", s("250")));
        QVERIFY(ui.replace("txtPct", s("100")));
        QVERIFY(ui.replace("txtMSU", s("255")));
        QVERIFY(ui.replace("txtL", s("7")));
        QVERIFY(ui.click("cmdCalc"));
        QCOMPARE(ui.text("txtG"), s("0A0B0C"));
        // The lower-case address was written back upper-cased, which put the percentage and
        // the priority back to their start values before the strings were made.
        QCOMPARE(ui.text("txtPct"), s("50"));
        QCOMPARE(ui.text("txtL"), s("1"));
        QCOMPARE(ui.text("txtDOWN"), s("AB F1 FF 0A 0B 0C FF FF FF FD 05 FF 07 BA"));
        QCOMPARE(ui.text("txtJU"), s("AB F1 FF 0A 0B 0C FF FF FF F5 00 FF 07 AD"));

        QVERIFY(ui.replace("txtPct", s("100")));
        QVERIFY(ui.click("cmdCalc"));
        QCOMPARE(ui.text("txtGP"), s("AB F1 FF 0A 0B 0C FF FF FF EF 00 FF 07 A7"));
        const auto expected = ui.engineStrings(rvx::AddressKind::Group, s("0A0B0C"));
        for (std::size_t row = 0; row < rvx::commandCount; ++row) {
            QCOMPARE(ui.text(outputNames[row]).toStdString(), expected[row]);
        }
    }

    void lowerCaseAddressResetsFourParametersBeforeTheStrings() {
        for (const bool lowerCase : {true, false}) {
            frmMain window;
            Driver ui(window);
            QVERIFY(ui.click("optSM"));
            QVERIFY(ui.click("optMQR"));
            QVERIFY(ui.replace("txtSM", lowerCase ? s("123abc") : s("123ABC")));
            QVERIFY(ui.replace("txtIP", s("5")));
            QVERIFY(ui.replace("txtPct", s("0")));
            QVERIFY(ui.replace("txtL", s("100")));
            QVERIFY(ui.replace("txtIPL", s("16")));
            QVERIFY(ui.replace("txtRU", s("13")));
            QVERIFY(ui.replace("txtMSU", s("255")));
            QVERIFY(ui.click("cmdCalc"));
            QCOMPARE(ui.text("txtSM"), s("123ABC"));
            QCOMPARE(ui.text("txtIP"), lowerCase ? s("1") : s("5"));
            QCOMPARE(ui.text("txtPct"), lowerCase ? s("50") : s("0"));
            QCOMPARE(ui.text("txtL"), lowerCase ? s("1") : s("100"));
            QCOMPARE(ui.text("txtIPL"), lowerCase ? s("1") : s("16"));
            QCOMPARE(ui.text("txtGIP").mid(30, 2), lowerCase ? s("FF") : s("FB"));
            QCOMPARE(ui.text("txtGP").mid(30, 2), lowerCase ? s("80") : s("FF"));
            QCOMPARE(ui.text("txtLIP").mid(30, 5), lowerCase ? s("FE FE") : s("EF 9B"));
            QCOMPARE(ui.text("txtDOWN").mid(30, 2), s("F2"));
            QCOMPARE(ui.text("txtJU").mid(30, 2), s("00"));
            QCOMPARE(ui.beeps.count(), 0);
        }
    }

    void addressOfFiveCharactersIsRefusedWithoutAGeneration() {
        Driver& ui = fresh.ui();
        QVERIFY(ui.click("optGA"));
        QVERIFY(ui.replace("txtG", s("ABCDEF")));
        QVERIFY(ui.calculated());
        QVERIFY(ui.click("optPX40"));
        QVERIFY(ui.pick(s("Up")));
        QVERIFY(!ui.text("txtS").isEmpty());
        QVERIFY(ui.replace("txtSM", s("12345")));
        QVERIFY(ui.click("cmdCalc"));
        QCOMPARE(ui.beeps.count(), 1);
        QCOMPARE(ui.text("txtSM"), s("ERROR"));
        QCOMPARE(ui.text("txtG"), s("ABCDEF"));  // the generation did not run
        QVERIFY(ui.text("txtS").isEmpty());
        for (const char* name : outputNames) {
            QVERIFY2(ui.text(name).isEmpty(), name);
        }
        QVERIFY(!ui.list()->isEnabled());
        QVERIFY(ui.text("lblE").isEmpty());

        // "ERROR" itself is five characters: the next press beeps again and changes nothing.
        QVERIFY(ui.click("cmdCalc"));
        QCOMPARE(ui.beeps.count(), 2);
        QCOMPARE(ui.text("txtSM"), s("ERROR"));
        QCOMPARE(ui.text("txtG"), s("ABCDEF"));
    }

    void addressWithANonHexadecimalCharacterIsADataError() {
        const QString addresses[] = {s("12345G"), s("12 456"), s("+12345")};
        for (const QString& address : addresses) {
            frmMain window;
            Driver ui(window);
            QVERIFY(ui.calculated());
            QVERIFY(ui.replace("txtPct", s("70")));
            QVERIFY(ui.replace("txtSM", address));
            QVERIFY(ui.replace("txtMSU", s("20")));
            QVERIFY(ui.click("cmdCalc"));
            QCOMPARE(ui.beeps.count(), 1);
            QCOMPARE(ui.text("txtSM"), s("ERROR"));
            QCOMPARE(ui.text("txtG"), s("ERROR"));
            QCOMPARE(ui.text("lblE"), s("DATA ERROR"));
            for (const char* name : outputNames) {
                QVERIFY2(ui.text(name).isEmpty(), name);
            }
            QCOMPARE(ui.text("txtIP"), s("1"));
            QCOMPARE(ui.text("txtPct"), s("50"));
            QCOMPARE(ui.text("txtMSU"), s("20"));
            QVERIFY(!ui.list()->isEnabled());
        }
    }

    void rangeChecksReportTheFirstFieldOutOfRange_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("message");
        const QString ip = s("IP NUMBER MUST BE 1 - 16 ONLY");
        const QString pct = s("Must be 0 - 100%,    0 = UP");
        const QString priority = s("Priority must be 1 - 100");
        const QString jog = s("Value must be 1 -255");
        const QString down = s("Value must be 0 or 10 - 255");
        QTest::newRow("IP number 20") << s("txtIP") << s("20") << s("txtGIP") << ip;
        QTest::newRow("IP number 0") << s("txtIP") << s("0") << s("txtGIP") << ip;
        QTest::newRow("percentage 101") << s("txtPct") << s("101") << s("txtGP") << pct;
        QTest::newRow("percentage -1") << s("txtPct") << s("-1") << s("txtGP") << pct;
        QTest::newRow("priority 0") << s("txtL") << s("0") << s("txtLU") << priority;
        QTest::newRow("priority 101") << s("txtL") << s("101") << s("txtLU") << priority;
        QTest::newRow("jog up 0") << s("txtMSU") << s("0") << s("txtJU") << jog;
        QTest::newRow("jog up 256") << s("txtMSU") << s("256") << s("txtJU") << jog;
        QTest::newRow("jog down 0") << s("txtMSD") << s("0") << s("txtJD") << jog;
        QTest::newRow("down 5") << s("txtRU") << s("5") << s("txtDOWN") << down;
        QTest::newRow("down 9.9") << s("txtRU") << s("9.9") << s("txtDOWN") << down;
        QTest::newRow("down 256") << s("txtRU") << s("256") << s("txtDOWN") << down;
    }

    void rangeChecksReportTheFirstFieldOutOfRange() {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, output);
        QFETCH(QString, message);
        Driver& ui = fresh.ui();
        QVERIFY(ui.click("optSM"));
        QVERIFY(ui.click("optMQR"));
        QVERIFY(ui.replace("txtSM", s("123456")));
        QVERIFY(ui.replace(qPrintable(field), value));
        QVERIFY(ui.click("cmdCalc"));
        QCOMPARE(ui.beeps.count(), 1);
        QCOMPARE(ui.text(qPrintable(field)), s("ER"));
        QCOMPARE(ui.text(qPrintable(output)), message);
        QVERIFY(ui.list()->isEnabled());
        QVERIFY(ui.text("lblE").isEmpty());
        // Strings that do not depend on the field keep what the generation made.
        QCOMPARE(ui.text("txtUP"), s(strings123456[0]));
        QCOMPARE(ui.text("txtNIPD"), s(strings123456[4]));
    }

    void priorityOutOfRangeLeavesTheOtherLockStringsEmpty() {
        Driver& ui = fresh.ui();
        QVERIFY(ui.calculated());
        QVERIFY(ui.replace("txtL", s("101")));
        QVERIFY(ui.click("cmdCalc"));
        QCOMPARE(ui.text("txtLU"), s("Priority must be 1 - 100"));
        for (const char* name : {"txtLD", "txtLC", "txtUL", "txtLIP"}) {
            QVERIFY2(ui.text(name).isEmpty(), name);
        }
        QCOMPARE(ui.text("txtGIP"), s(strings123456[5]));
    }

    void valuesAtTheBoundsPass_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        const std::pair<const char*, const char*> rows[] = {
            {"txtRU", "0"},    {"txtRU", "10"}, {"txtRU", "255"}, {"txtPct", "0"},
            {"txtPct", "100"}, {"txtIP", "1"},  {"txtIP", "16"},  {"txtIP", "1.5"},
            {"txtL", "1"},     {"txtL", "100"}, {"txtMSU", "1"},  {"txtMSD", "255"},
            {"txtIPL", "99"},  // no range check for the lock IP number here
        };
        for (const auto& [field, value] : rows) {
            QTest::addRow("%s %s", field, value) << s(field) << s(value);
        }
    }

    void valuesAtTheBoundsPass() {
        QFETCH(QString, field);
        QFETCH(QString, value);
        Driver& ui = fresh.ui();
        QVERIFY(ui.click("optSM"));
        QVERIFY(ui.click("optMQR"));
        QVERIFY(ui.replace("txtSM", s("123456")));
        QVERIFY(ui.replace(qPrintable(field), value));
        QVERIFY(ui.click("cmdCalc"));
        QCOMPARE(ui.beeps.count(), 0);
        QCOMPARE(ui.text(qPrintable(field)), value.left(ui.field(qPrintable(field))->maxLength()));
        const auto expected = ui.engineStrings(rvx::AddressKind::Single, s("123456"));
        for (std::size_t row = 0; row < rvx::commandCount; ++row) {
            QCOMPARE(ui.text(outputNames[row]).toStdString(), expected[row]);
            QCOMPARE(ui.text(outputNames[row]).size(), 41);
        }
    }

    void onlyTheFirstFailingCheckIsReported() {
        Driver& ui = fresh.ui();
        QVERIFY(ui.calculated());
        QVERIFY(ui.replace("txtIP", s("20")));
        QVERIFY(ui.replace("txtPct", s("101")));
        QVERIFY(ui.click("cmdCalc"));
        QCOMPARE(ui.beeps.count(), 1);
        QCOMPARE(ui.text("txtIP"), s("ER"));
        QCOMPARE(ui.text("txtPct"), s("101"));
        QCOMPARE(ui.text("txtGIP"), s("IP NUMBER MUST BE 1 - 16 ONLY"));
        // 101 % has no position byte: its row gets no string rather than a malformed one.
        QVERIFY(ui.text("txtGP").isEmpty());
    }

    // A letter in a parameter field is a data error at every press until it is corrected.
    // All fourteen strings are emptied, the jog strings too: they may come from the old address.
    void letterInAParameterFieldIsADataError() {
        Driver& ui = fresh.ui();
        QVERIFY(ui.calculated());
        QVERIFY(ui.replace("txtIP", s("7")));
        QVERIFY(ui.replace("txtMSU", s("x")));
        QCOMPARE(ui.beeps.count(), 0);
        QVERIFY(ui.click("cmdCalc"));
        QCOMPARE(ui.beeps.count(), 1);
        QCOMPARE(ui.text("lblE"), s("DATA ERROR"));
        for (const char* name : outputNames) {
            QVERIFY2(ui.text(name).isEmpty(), name);
        }
        QCOMPARE(ui.text("txtIP"), s("1"));
        QCOMPARE(ui.text("txtPct"), s("50"));
        QCOMPARE(ui.text("txtMSU"), s("x"));
        QVERIFY(ui.list()->isEnabled());  // left as it was
        QVERIFY(ui.click("cmdCalc"));
        QCOMPARE(ui.beeps.count(), 2);
        QCOMPARE(ui.text("lblE"), s("DATA ERROR"));
    }

    void dataErrorEmptiesTheJogStringsToo() {
        Driver& ui = fresh.ui();
        QVERIFY(ui.calculated());
        QVERIFY(ui.replace("txtSM", s("654321")));
        QVERIFY(ui.replace("txtL", s("")));
        QVERIFY(ui.click("cmdCalc"));
        QCOMPARE(ui.text("lblE"), s("DATA ERROR"));
        // The failed run had rewritten the jog strings for 654321 before the lock rows failed.
        QVERIFY(ui.text("txtJU").isEmpty());
        QVERIFY(ui.text("txtJD").isEmpty());
    }

    // After a data error a successful Calculate makes the strings from the values shown, then
    // puts four fields back to their start values; their change reactions empty the strings
    // made from the values they had.
    void successfulCalculateAfterADataErrorResetsFourFields() {
        Driver& ui = fresh.ui();
        QVERIFY(ui.calculated());
        QVERIFY(ui.replace("txtRU", s("x")));
        QVERIFY(ui.click("cmdCalc"));
        QCOMPARE(ui.text("lblE"), s("DATA ERROR"));
        QVERIFY(ui.replace("txtRU", s("0")));
        QVERIFY(ui.replace("txtIP", s("5")));
        QVERIFY(ui.replace("txtL", s("7")));
        QVERIFY(ui.click("cmdCalc"));
        QVERIFY(ui.text("lblE").isEmpty());
        QCOMPARE(ui.text("txtIP"), s("1"));
        QCOMPARE(ui.text("txtL"), s("1"));
        QVERIFY(ui.text("txtGIP").isEmpty());
        for (const char* name : {"txtLU", "txtLD", "txtLC", "txtLIP", "txtUL"}) {
            QVERIFY2(ui.text(name).isEmpty(), name);
        }
        QCOMPARE(ui.text("txtGP"), s(strings123456[6]));  // percentage was 50 all along
        QCOMPARE(ui.text("txtUP"), s(strings123456[0]));
        QCOMPARE(ui.beeps.count(), 1);
    }

    // The range checks after such a Calculate judge the four fields by the start values they
    // were put back to, not by the values the strings were made from: an IP number of 20 and a
    // priority of 0 typed before it give no range message. A value outside the four is judged
    // as typed.
    void rangeChecksAfterADataErrorSeeTheStartValues() {
        Driver& ui = fresh.ui();
        QVERIFY(ui.calculated());
        QVERIFY(ui.replace("txtMSU", s("x")));
        QVERIFY(ui.click("cmdCalc"));
        QCOMPARE(ui.text("lblE"), s("DATA ERROR"));
        QVERIFY(ui.replace("txtMSU", s("10")));
        QVERIFY(ui.replace("txtIP", s("20")));
        QVERIFY(ui.replace("txtL", s("0")));
        QVERIFY(ui.click("cmdCalc"));
        QCOMPARE(ui.beeps.count(), 1);
        QCOMPARE(ui.text("txtIP"), s("1"));
        QCOMPARE(ui.text("txtL"), s("1"));
        QVERIFY(ui.text("txtGIP").isEmpty());
        QVERIFY(ui.text("txtLU").isEmpty());
        QCOMPARE(ui.text("txtUP"), s(strings123456[0]));

        QVERIFY(ui.replace("txtMSU", s("x")));
        QVERIFY(ui.click("cmdCalc"));
        QVERIFY(ui.replace("txtMSU", s("300")));
        QVERIFY(ui.click("cmdCalc"));
        QCOMPARE(ui.text("txtMSU"), s("ER"));
        QCOMPARE(ui.text("txtJU"), s("Value must be 1 -255"));
    }

    // Any edit of the address empties all fourteen strings: the jog strings of the previous
    // address must not stay beside the new one.
    void addressEditEmptiesEveryStringAndDisablesTheList() {
        frmMain& window = fresh.window();
        Driver& ui = fresh.ui();
        QVERIFY(ui.choosing());
        QVERIFY(ui.pick(s("Go to IP #")));
        QVERIFY(ui.replace("txtD", s("7")));
        QVERIFY(ui.click("cmdCALCS"));
        QVERIFY(!ui.text("txtS").isEmpty());
        QVERIFY(ui.click("optMQR"));
        QVERIFY(ui.replace("txtPct", s("30")));
        QVERIFY(ui.backspace("txtSM"));
        QCOMPARE(ui.text("txtSM"), s("12345"));
        for (const char* name : outputNames) {
            QVERIFY2(ui.text(name).isEmpty(), name);
        }
        QCOMPARE(ui.text("txtIP"), s("1"));
        QCOMPARE(ui.text("txtPct"), s("50"));
        QVERIFY(ui.text("txtS").isEmpty());
        QVERIFY(!ui.list()->isEnabled());
        // The chooser's own state stays.
        QCOMPARE(ui.text("lblS"), s("Must Click Calculate to get string --->"));
        QCOMPARE(ui.text("lblSC"), s("Go to IP #"));
        QCOMPARE(ui.text("txtD"), s("7"));
        QVERIFY(!ui.get("cmdCALCS")->isHidden());
        QCOMPARE(window.passCode(), 2);
        QCOMPARE(ui.beeps.count(), 0);
    }

    void choosingAnAddressKindEmptiesTheStringsAndResetsFourFields() {
        for (const char* kind : {"optSM", "optGA"}) {
            frmMain window;
            Driver ui(window);
            QVERIFY(ui.calculated());
            QVERIFY(ui.replace("txtIP", s("3")));
            QVERIFY(ui.replace("txtL", s("9")));
            QVERIFY(ui.replace("txtMSU", s("44")));
            QVERIFY(ui.replace("txtRU", s("12")));
            QVERIFY(ui.click("cmdCalc"));
            QVERIFY(ui.click(QString::fromLatin1(kind) == s("optSM") ? "optGA" : "optSM"));
            QVERIFY(ui.replace(QString::fromLatin1(kind) == s("optSM") ? "txtG" : "txtSM",
                               s("ABCDEF")));
            QVERIFY(ui.click("cmdCalc"));
            QVERIFY(!ui.text("txtJU").isEmpty());
            QVERIFY(ui.click(kind));
            for (const char* name : outputNames) {
                QVERIFY2(ui.text(name).isEmpty(), name);
            }
            QCOMPARE(ui.text("txtIP"), s("1"));
            QCOMPARE(ui.text("txtL"), s("1"));
            QCOMPARE(ui.text("txtMSU"), s("44"));
            QCOMPARE(ui.text("txtRU"), s("12"));
            QVERIFY(ui.text("lblE").isEmpty());
            QVERIFY(ui.list()->isEnabled());  // the options leave the list alone
            const bool single = QString::fromLatin1(kind) == s("optSM");
            QCOMPARE(ui.get("txtSM")->isVisible(), single);
            QCOMPARE(ui.get("txtG")->isVisible(), !single);
            QCOMPARE(ui.get("cmdCalc")->y(), single ? 24 : 48);
            QVERIFY(ui.get("cmdCalc")->isVisible());
        }
    }

    // Switching the address kind empties the chooser's string both ways: a string made for
    // one kind of address must not stay beside the other. Only the group choice resets the
    // chooser's parameter fields.
    void switchingTheAddressKindEmptiesTheChoosersString() {
        Driver& ui = fresh.ui();
        QVERIFY(ui.click("optGA"));
        QVERIFY(ui.click("optPX40"));
        QVERIFY(ui.replace("txtG", s("123456")));
        QVERIFY(ui.click("cmdCalc"));
        QVERIFY(ui.pick(s("Up")));
        QCOMPARE(ui.text("txtS"), s("AB F1 FF 12 34 56 FF FF FF FE FF FF 09 30"));
        QVERIFY(ui.click("optSM"));
        QVERIFY(ui.text("txtS").isEmpty());

        // Single motor to group: the chooser's parameter fields go back to "1".
        QVERIFY(ui.replace("txtSM", s("123456")));
        QVERIFY(ui.click("cmdCalc"));
        QVERIFY(ui.pick(s("Lock @ IP #")));
        QVERIFY(ui.replace("txtD", s("7")));
        QVERIFY(ui.replace("txtDD", s("9")));
        QVERIFY(ui.click("cmdCALCS"));
        QVERIFY(!ui.text("txtS").isEmpty());
        QVERIFY(ui.click("optGA"));
        QCOMPARE(ui.text("txtD"), s("1"));
        QCOMPARE(ui.text("txtDD"), s("1"));
        QVERIFY(ui.text("txtS").isEmpty());

        // Group to single motor: they keep what was typed.
        QVERIFY(ui.replace("txtD", s("7")));
        QVERIFY(ui.replace("txtDD", s("9")));
        QVERIFY(ui.click("cmdCALCS"));
        QCOMPARE(ui.text("txtS").mid(9, 8), s("12 34 56"));
        QVERIFY(ui.click("optSM"));
        QCOMPARE(ui.text("txtD"), s("7"));
        QCOMPARE(ui.text("txtDD"), s("9"));
        QVERIFY(ui.text("txtS").isEmpty());
    }
};

QTEST_MAIN(CalculateTest)
#include "calculate_test.moc"
