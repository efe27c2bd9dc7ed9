// Edits of parameter fields, which empty the strings made from the old value, and CLEAR.
#include "window_driver.h"

namespace {

QString s(const char* text) {
    return QString::fromLatin1(text);
}

}  // namespace

class EditClearTest : public QObject {
    Q_OBJECT

private slots:
    void editingAParameterEmptiesExactlyItsStrings_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QStringList>("emptied");
        QTest::newRow("txtIP") << s("txtIP") << QStringList{"txtGIP"};
        QTest::newRow("txtIPL") << s("txtIPL") << QStringList{"txtLIP"};
        QTest::newRow("txtL") << s("txtL")
                              << QStringList{"txtLU", "txtLD", "txtLC", "txtUL", "txtLIP"};
        QTest::newRow("txtMSD") << s("txtMSD") << QStringList{"txtJD"};
        QTest::newRow("txtMSU") << s("txtMSU") << QStringList{"txtJU"};
        QTest::newRow("txtPct") << s("txtPct") << QStringList{"txtGP"};
        QTest::newRow("txtRU") << s("txtRU") << QStringList{"txtDOWN"};
    }

    void editingAParameterEmptiesExactlyItsStrings() {
        QFETCH(QString, field);
        QFETCH(QStringList, emptied);
        for (const QString& typed : {s("7"), s("x")}) {
            frmMain window;
            Driver ui(window);
            QVERIFY(ui.calculated());
            QVERIFY(ui.type(qPrintable(field), typed));
            for (std::size_t row = 0; row < rvx::commandCount; ++row) {
                const QString name = s(outputNames[row]);
                QCOMPARE(ui.text(outputNames[row]),
                         emptied.contains(name) ? QString() : s(strings123456[row]));
            }
            // Nothing is checked while typing: no beep, no message, the text stays.
            QCOMPARE(ui.beeps.count(), 0);
            QVERIFY(ui.text(qPrintable(field)).endsWith(typed));
            QVERIFY(ui.text("lblE").isEmpty());
        }
    }

    void editingTheChoosersParametersEmptiesItsString() {
        for (const char* field : {"txtD", "txtDD"}) {
            frmMain window;
            Driver ui(window);
            QVERIFY(ui.choosing());
            QVERIFY(ui.pick(s("Lock @ IP #")));
            QVERIFY(ui.click("cmdCALCS"));
            QVERIFY(!ui.text("txtS").isEmpty());
            QVERIFY(ui.type(field, s("0")));
            QVERIFY(ui.text("txtS").isEmpty());
            QCOMPARE(ui.text("txtLIP").size(), 41);
        }
    }

    void editingDownEmptiesTheStringTheChooserWouldShow() {
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.calculated());
        QVERIFY(ui.replace("txtRU", s("20")));
        QVERIFY(ui.click("optPX40"));
        QVERIFY(ui.pick(s("Down")));
        QVERIFY(ui.text("txtS").isEmpty());
    }

    void clearBeforeAnythingChangesNothingVisible() {
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.click("optMQR"));
        const QPixmap before = window.grab();
        QVERIFY(ui.click("cmdCLEAR"));
        QCOMPARE(window.grab().toImage(), before.toImage());
    }

    void clearPutsTheViewBackToItsStart() {
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.choosing());
        QVERIFY(ui.pick(s("Go to %")));
        QVERIFY(ui.replace("txtD", s("30")));
        QVERIFY(ui.click("cmdCALCS"));
        const QString chosen = ui.text("txtS");
        QVERIFY(ui.click("optMQR"));
        QVERIFY(ui.replace("txtIP", s("20")));
        QVERIFY(ui.replace("txtMSU", s("99")));
        QVERIFY(ui.replace("txtRU", s("12")));
        QVERIFY(ui.replace("txtIPL", s("9")));
        QVERIFY(ui.click("cmdCalc"));
        QCOMPARE(ui.text("txtIP"), s("ER"));
        QCOMPARE(ui.text("txtGIP"), s("IP NUMBER MUST BE 1 - 16 ONLY"));
        QVERIFY(ui.replace("txtMSD", s("x")));
        QVERIFY(ui.click("cmdCalc"));
        QCOMPARE(ui.text("lblE"), s("DATA ERROR"));

        QVERIFY(ui.click("cmdCLEAR"));
        for (const char* name : outputNames) {
            QVERIFY2(ui.text(name).isEmpty(), name);
        }
        for (const auto& info : rvx::parameterCatalogue) {
            const std::string name(info.fieldName);
            QCOMPARE(ui.text(name.c_str()).toStdString(), std::string(info.startText));
        }
        QVERIFY(ui.text("lblE").isEmpty());
        // Untouched: the address part, the chooser and its string.
        QCOMPARE(ui.text("txtSM"), s("123456"));
        QVERIFY(ui.get<QRadioButton>("optSM")->isChecked());
        QVERIFY(ui.list()->isEnabled());
        QCOMPARE(ui.list()->currentText(), s("Go to %"));
        QCOMPARE(window.passCode(), 3);
        QCOMPARE(ui.text("txtD"), s("30"));
        QCOMPARE(ui.text("txtS"), chosen);

        // Calculate fills every string again, from the start values.
        QVERIFY(ui.click("cmdCalc"));
        for (std::size_t row = 0; row < rvx::commandCount; ++row) {
            QCOMPARE(ui.text(outputNames[row]), s(strings123456[row]));
        }
        QVERIFY(ui.click("optPX40"));
        QCOMPARE(ui.text("txtS"), chosen);
    }
};

QTEST_MAIN(EditClearTest)
#include "edit_clear_test.moc"
