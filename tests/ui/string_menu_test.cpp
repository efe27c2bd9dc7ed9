// The menu of a string: copying it, and copying its bytes in each notation.
#include <QAction>
#include <QClipboard>
#include <QMenu>

#include "window_driver.h"

namespace {

QAction* entry(QMenu* menu, const QString& name) {
    return menu->findChild<QAction*>(name);
}

// The names and texts of Up for single motor 123456 in each notation.
const std::pair<const char*, const char*> upIn[] = {
    {"spaced", "AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30"},
    {"compact", "ABF1FFFFFFFF123456FEFFFF0930"},
    {"escaped", R"(\xAB\xF1\xFF\xFF\xFF\xFF\x12\x34\x56\xFE\xFF\xFF\x09\x30)"},
    {"0x", "0xAB, 0xF1, 0xFF, 0xFF, 0xFF, 0xFF, 0x12, 0x34, 0x56, 0xFE, 0xFF, 0xFF, 0x09, 0x30"},
    {"dollar", "$AB,$F1,$FF,$FF,$FF,$FF,$12,$34,$56,$FE,$FF,$FF,$09,$30"},
    {"decimal", "171,241,255,255,255,255,18,52,86,254,255,255,9,48"},
    {"crestron", R"(\xAB\xF1\xFF\xFF\xFF\xFF\x12\x34\x56\xFE\xFF\xFF\x09\x30)"},
    {"amx", R"("$AB,$F1,$FF,$FF,$FF,$FF,$12,$34,$56,$FE,$FF,$FF,$09,$30")"},
    {"control4", "$AB $F1 $FF $FF $FF $FF $12 $34 $56 $FE $FF $FF $09 $30"},
    {"rti", "%AB%F1%FF%FF%FF%FF%12%34%56%FE%FF%FF%09%30"},
};

}  // namespace

class StringMenuTest : public QObject {
    Q_OBJECT

private slots:
    void copyAsPutsEachNotationOnTheClipboard() {
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.calculated());
        for (const auto& [name, text] : upIn) {
            QMenu* menu = ui.openMenu("txtUP");
            QVERIFY(menu != nullptr);
            QAction* action = entry(menu, QStringLiteral("actCopyAs_") + QLatin1String(name));
            QVERIFY2(action != nullptr && action->isEnabled(), name);
            action->trigger();
            menu->close();
            QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromLatin1(text));
        }
        // Each entry names its platform with the field's own first bytes: A4 for a lock.
        QMenu* lock = ui.openMenu("txtLU");
        QAction* crestron = entry(lock, QStringLiteral("actCopyAs_crestron"));
        QVERIFY(crestron != nullptr);
        QCOMPARE(crestron->text(), QStringLiteral("Crestron SIMPL  (\\xA4\\xF1\u2026)"));
        QCOMPARE(entry(lock, QStringLiteral("actCopyAs_amx"))->text(),
                 QStringLiteral("AMX NetLinx  (\"$A4,$F1\u2026)"));
        lock->close();
        // Copy takes the string as shown.
        QMenu* menu = ui.openMenu("txtGP");
        entry(menu, QStringLiteral("actCopy"))->trigger();
        menu->close();
        QCOMPARE(QGuiApplication::clipboard()->text(), ui.text("txtGP"));
    }

    // The chosen command's string carries its bytes as well.
    void theChosenStringHasTheSameMenu() {
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.choosing());
        QVERIFY(ui.pick(QStringLiteral("Up")));
        QMenu* menu = ui.openMenu("txtS");
        QVERIFY(menu != nullptr);
        entry(menu, QStringLiteral("actCopyAs_compact"))->trigger();
        menu->close();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("ABF1FFFFFFFF123456FEFFFF0930"));
    }

    // Only a field that shows a string made by the tool offers its bytes: not an empty one,
    // not one showing a range message, not one whose text the user typed over.
    void bytesAreOfferedOnlyForAStringTheToolMade() {
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.click("optSM"));
        QVERIFY(ui.click("optMQR"));
        QMenu* menu = ui.openMenu("txtUP");
        QVERIFY(menu != nullptr);
        QVERIFY(!entry(menu, QStringLiteral("actCopy"))->isEnabled());
        QVERIFY(!menu->findChild<QMenu*>(QStringLiteral("menuCopyAs"))->isEnabled());
        menu->close();

        QVERIFY(ui.replace("txtSM", QStringLiteral("123456")));
        QVERIFY(ui.replace("txtIP", QStringLiteral("20")));
        QVERIFY(ui.click("cmdCalc"));
        QCOMPARE(ui.text("txtGIP"), QStringLiteral("IP NUMBER MUST BE 1 - 16 ONLY"));
        QVERIFY(!window.frameIn(ui.field("txtGIP")));
        QVERIFY(window.frameIn(ui.field("txtSTOP")));

        QVERIFY(ui.backspace("txtSTOP"));
        QVERIFY(ui.type("txtSTOP", QStringLiteral("F")));
        QVERIFY(!window.frameIn(ui.field("txtSTOP")));
        menu = ui.openMenu("txtSTOP");
        QVERIFY(!menu->findChild<QMenu*>(QStringLiteral("menuCopyAs"))->isEnabled());
        menu->close();
    }
};

QTEST_MAIN(StringMenuTest)
#include "string_menu_test.moc"
