// Random use of the real main window: the four options, any text typed or pasted into the
// address and parameter fields, both Calculate buttons, entries of the command list, CLEAR and
// the help window, in an order drawn from a seed. After every action the window may show only
// what the engine would make from the fields as they now stand:
//   - no exception escaped a reaction;
//   - each of the fourteen strings of "All Commands" is empty, or the range message of its row
//     beside its parameter field marked "ER", or exactly the string that the engine makes from
//     the active address field and that row's own parameter fields as shown;
//   - after a press of the chooser's Calculate that passed its checks, the value typed stands in
//     its "All Commands" field and txtS shows the string made from it;
//   - txtS is empty or a 41-character string whose checksum verifies (or the Down message,
//     which picking "Down" copies from txtDOWN like any text of a parameterless row).
//
// RVX_RANDOM_SEED and RVX_RANDOM_ACTIONS choose the seed and the number of actions; a failure
// prints both and the actions since the window it happened in was opened.
#include <QClipboard>
#include <QScopeGuard>
#include <csignal>
#include <cstdio>
#include <exception>
#include <functional>
#include <optional>
#include <random>
#include <utility>

#include "byte_text.h"
#include "main/frmHELP.h"
#include "rvx/failure.h"
#include "rvx/number.h"
#include "window_driver.h"

namespace {

// Every event that QTest sends goes through notify(): an exception that a reaction lets
// escape is caught here and reported with the action that caused it.
class GuardedApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& failure) {
            escaped << QStringLiteral("%1 escaped from a reaction of %2: %3")
                           .arg(QString::fromLatin1(typeid(failure).name()), receiver->objectName(),
                                QString::fromUtf8(failure.what()));
        } catch (...) {
            escaped << QStringLiteral("an exception escaped from a reaction of %1")
                           .arg(receiver->objectName());
        }
        return false;
    }

    QStringList escaped;
};

GuardedApplication* guardedApp() {
    return static_cast<GuardedApplication*>(QCoreApplication::instance());
}

// Where the run stands, so that a crash too can tell how to get back to it.
struct Trail {
    std::uint64_t seed = 0;
    int window = 0;
    long action = 0;
    const QStringList* actions = nullptr;
};
Trail trail;

void printTrail() {
    if (trail.actions == nullptr) {
        return;
    }
    std::fprintf(stderr,
                 "Random use: seed %llu, window %d, action %ld\n"
                 "Rerun: RVX_RANDOM_SEED=%llu RVX_RANDOM_ACTIONS=%ld\n"
                 "Actions in this window, the last one breaking it:\n",
                 static_cast<unsigned long long>(trail.seed), trail.window, trail.action,
                 static_cast<unsigned long long>(trail.seed), trail.action);
    for (qsizetype n = 0; n < trail.actions->size(); ++n) {
        std::fprintf(stderr, "  %3lld. %s\n", static_cast<long long>(n + 1),
                     qPrintable(trail.actions->at(n)));
    }
}

// A crash ends the process: the trail is printed on the way out.
// The offscreen platform's notes on what it cannot do (raise a window, grab the keyboard)
// would fill the log; everything else is passed on.
QtMessageHandler passOn = nullptr;
void withoutPlatformNotes(QtMsgType type, const QMessageLogContext& context,
                          const QString& message) {
    if (type == QtWarningMsg && message.startsWith(QLatin1String("This plugin does not support"))) {
        return;
    }
    passOn(type, context, message);
}

void onCrash(int signal) {
    printTrail();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

constexpr std::uint64_t defaultSeed = 20240611;
constexpr long defaultActions = 5000;
constexpr int actionsPerWindow = 250;

long long environmentNumber(const char* name, long long fallback) {
    bool ok = false;
    const long long value = qEnvironmentVariable(name).toLongLong(&ok);
    return ok ? value : fallback;
}

// The range messages of "All Commands": the row that shows each, and the field that then
// holds "ER".
struct RangeMessage {
    const char* output;
    const char* field;
    const char* message;
};
const RangeMessage rangeMessages[] = {
    {"txtGIP", "txtIP", "IP NUMBER MUST BE 1 - 16 ONLY"},
    {"txtGP", "txtPct", "Must be 0 - 100%,    0 = UP"},
    {"txtLU", "txtL", "Priority must be 1 - 100"},
    {"txtJU", "txtMSU", "Value must be 1 -255"},
    {"txtJD", "txtMSD", "Value must be 1 -255"},
    {"txtDOWN", "txtRU", "Value must be 0 or 10 - 255"},
};

const char* const addressFields[] = {"txtSM", "txtG"};
const char* const parameterFields[] = {"txtRU", "txtIP",  "txtPct", "txtMSU", "txtMSD",
                                       "txtL",  "txtIPL", "txtD",   "txtDD"};
const char* const options[] = {"optSM", "optGA", "optMQR", "optPX40"};

// A text for display in the action list: control characters and quotes escaped.
QString quoted(const QString& text) {
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
            out += QLatin1Char('\\') + c;
        } else if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0)) {
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    if (out.size() > 60) {
        out = out.left(40) + QStringLiteral("... (%1 characters)").arg(text.size());
    }
    return out + QLatin1Char('"');
}

// Draws actions and the texts typed; everything comes from the one seeded generator.
class Chance {
public:
    explicit Chance(std::uint64_t seed) : engine_(seed) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(engine_); }
    bool percent(int p) { return below(100) < p; }
    template <typename T, std::size_t N>
    const T& pick(const T (&items)[N]) {
        return items[below(static_cast<int>(N))];
    }

    QString address() {
        static const char hex[] = "0123456789ABCDEFabcdef";
        QString text;
        const int length = percent(85) ? 6 : below(9);
        for (int k = 0; k < length; ++k) {
            text += QLatin1Char(hex[below(22)]);
        }
        if (!text.isEmpty() && percent(10)) {
            text[below(static_cast<int>(text.size()))] = pick(oddCharacters);
        }
        return text;
    }

    QString number() {
        switch (below(6)) {
            case 0:  // within or near the admitted ranges
                return QString::number(below(260) - 2);
            case 1:
                return pick(boundaries);
            case 2:  // with a fraction
                return QString::number(below(2600) / 10.0);
            case 3:
                return pick(oddNumbers);
            default:
                return QString::number(below(17) + (percent(50) ? 0 : 1));
        }
    }

    QString anyText() {
        if (percent(5)) {
            return longText();
        }
        QString text;
        const int length = below(10);
        for (int k = 0; k < length; ++k) {
            text += pick(oddCharacters);
        }
        return text;
    }

    QString longText() {
        QString text;
        const int length = 50 + below(400);
        for (int k = 0; k < length; ++k) {
            text += percent(70) ? QChar(u'0' + below(10)) : pick(oddCharacters);
        }
        return text;
    }

    QString textFor(const char* field) {
        const bool isAddress = qstrcmp(field, "txtSM") == 0 || qstrcmp(field, "txtG") == 0;
        if (percent(80)) {
            return isAddress ? address() : number();
        }
        return anyText();
    }

private:
    static inline const QString boundaries[] = {
        QStringLiteral("0"),   QStringLiteral("1"),    QStringLiteral("9"),
        QStringLiteral("10"),  QStringLiteral("16"),   QStringLiteral("17"),
        QStringLiteral("100"), QStringLiteral("101"),  QStringLiteral("255"),
        QStringLiteral("256"), QStringLiteral("-1"),   QStringLiteral("0.5"),
        QStringLiteral("1.5"), QStringLiteral("12.5"), QStringLiteral("255.5"),
    };
    static inline const QString oddNumbers[] = {
        QStringLiteral("1e2"),   QStringLiteral("1E1"),    QStringLiteral("+5"),
        QStringLiteral("-0"),    QStringLiteral(".5"),     QStringLiteral("5."),
        QStringLiteral("."),     QStringLiteral(" 7 "),    QStringLiteral("0100"),
        QStringLiteral("1,5"),   QStringLiteral("0x10"),   QStringLiteral("inf"),
        QStringLiteral("nan"),   QStringLiteral("1e400"),  QStringLiteral("9999"),
        QStringLiteral("-9999"), QStringLiteral("1e-400"), QStringLiteral("ER"),
        QStringLiteral(""),      QStringLiteral("e5"),     QStringLiteral("--1"),
    };
    static inline const QChar oddCharacters[] = {
        u'0',      u'5',      u'9',      u'a',      u'F',      u'g',      u'Z',
        u'e',      u'E',      u' ',      u'\t',     u'+',      u'-',      u'.',
        u',',      u'_',      u'#',      u'%',      u'\u00e9', u'\u00fc', u'\u00df',
        u'\u20ac', u'\u0663', u'\uff15', u'\u4e2d', u'\u00a0', u'\u2212',
    };

    std::mt19937_64 engine_;
};

// What the last press of the chooser's Calculate broke, if anything.
QString pressFinding;

// What the checks found on screen over a run: how much of the oracle was put to work.
struct Seen {
    long strings = 0;
    long messages = 0;
    long chosenStrings = 0;
};

class RandomUseTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // After Qt Test's own handlers, which would end the process first.
        for (const int signal : {SIGSEGV, SIGABRT, SIGFPE, SIGILL, SIGBUS}) {
            std::signal(signal, onCrash);
        }
        passOn = qInstallMessageHandler(withoutPlatformNotes);
        std::set_terminate([] {
            printTrail();
            std::abort();
        });
    }

    void randomUse() {
        const auto seed = static_cast<std::uint64_t>(
            environmentNumber("RVX_RANDOM_SEED", static_cast<long long>(defaultSeed)));
        const long total =
            static_cast<long>(environmentNumber("RVX_RANDOM_ACTIONS", defaultActions));
        Chance chance(seed);
        Seen seen;
        long done = 0;
        long drawn = 0;
        for (int session = 0; done < total; ++session) {
            frmMain window;
            Driver ui(window);
            QVERIFY(ui.exposed);
            QStringList actions;
            const auto forget = qScopeGuard([] { trail.actions = nullptr; });
            for (int k = 0; k < actionsPerWindow && done < total; ++drawn) {
                const Action action = draw(chance, window, ui);
                actions << action.description;
                trail = {seed, session + 1, done + 1, &actions};
                if (!action.perform()) {
                    actions.removeLast();  // drawn for a control that cannot be reached now
                    continue;
                }
                ++k;
                ++done;
                const QString broken = brokenInvariant(ui, seen);
                if (!broken.isEmpty()) {
                    printTrail();
                    QFAIL(qPrintable(broken));
                }
            }
        }
        qInfo(
            "seed %llu: %ld actions (%ld drawn); seen after them: %ld strings, %ld range "
            "messages, %ld strings in txtS",
            static_cast<unsigned long long>(seed), done, drawn, seen.strings, seen.messages,
            seen.chosenStrings);
    }

private:
    // One drawn action: what it is, and how to do it. Doing it answers false where the control
    // it was drawn for cannot be reached as things stand.
    struct Action {
        QString description;
        std::function<bool()> perform;
    };

    // Types the text key by key, at the end of the field or over all of it. QTest::keyClicks
    // knows ASCII only; other characters arrive as key events that carry just their text, as
    // from an input method.
    static bool typeInto(Driver& ui, const char* field, const QString& text, bool over) {
        QLineEdit* edit = ui.field(field);
        if (!edit->isVisible()) {
            return false;
        }
        edit->setFocus();
        if (over) {
            edit->selectAll();
            if (text.isEmpty()) {
                QTest::keyClick(edit, Qt::Key_Delete);
            }
        } else {
            edit->end(false);
        }
        for (const QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClick(edit, c.toLatin1());
            } else {
                QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c),
                                    Qt::NoModifier);
            }
        }
        return true;
    }

    static Action draw(Chance& chance, frmMain& window, Driver& ui) {
        const int roll = chance.below(100);
        if (roll < 8) {
            const char* option = chance.pick(options);
            return {QStringLiteral("click %1").arg(QLatin1String(option)),
                    [&ui, option] { return ui.click(option); }};
        }
        if (roll < 48) {
            const bool address = chance.percent(25);
            const char* field = address ? chance.pick(addressFields) : chance.pick(parameterFields);
            const QString name = QLatin1String(field);
            const QString text = chance.textFor(field);
            switch (chance.below(8)) {
                case 0:
                    return {QStringLiteral("type %1 at the end of %2").arg(quoted(text), name),
                            [&ui, field, text] { return typeInto(ui, field, text, false); }};
                case 1:
                    return {QStringLiteral("backspace in %1").arg(name),
                            [&ui, field] { return ui.backspace(field); }};
                case 2:
                    return {QStringLiteral("paste %1 over %2").arg(quoted(text), name),
                            [&ui, field, text] {
                                QLineEdit* edit = ui.field(field);
                                if (!edit->isVisible()) {
                                    return false;
                                }
                                QGuiApplication::clipboard()->setText(text);
                                edit->setFocus();
                                edit->selectAll();
                                QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
                                return true;
                            }};
                default:
                    return {QStringLiteral("replace %1 by %2").arg(name, quoted(text)),
                            [&ui, field, text] { return typeInto(ui, field, text, true); }};
            }
        }
        if (roll < 63) {
            return {QStringLiteral("click cmdCalc"), [&ui] { return ui.click("cmdCalc"); }};
        }
        if (roll < 73) {
            return {QStringLiteral("click cmdCALCS"), [&window, &ui] {
                        const auto beepsBefore = ui.beeps.count();
                        if (!ui.click("cmdCALCS")) {
                            return false;
                        }
                        pressFinding = checkPress(window, ui, beepsBefore);
                        return true;
                    }};
        }
        if (roll < 88) {
            const auto& command =
                rvx::commandCatalogue[static_cast<std::size_t>(chance.below(rvx::commandCount))];
            const QString entry =
                QString::fromUtf8(command.name.data(), static_cast<qsizetype>(command.name.size()));
            return {QStringLiteral("pick %1").arg(quoted(entry)),
                    [&ui, entry] { return ui.pick(entry); }};
        }
        if (roll < 93) {
            return {QStringLiteral("click cmdCLEAR"), [&ui] { return ui.click("cmdCLEAR"); }};
        }
        if (roll < 97) {
            return {QStringLiteral("click cmdHELP"), [&ui] { return ui.click("cmdHELP"); }};
        }
        const bool byButton = chance.percent(50);
        return {byButton ? QStringLiteral("click Close of the help window")
                         : QStringLiteral("close the help window by its close box"),
                [&window, byButton] {
                    frmHELP* help = window.helpWindow();
                    if (help == nullptr || !help->isVisible()) {
                        return false;
                    }
                    if (byButton) {
                        QTest::mouseClick(help->findChild<QPushButton*>(QStringLiteral("Command1")),
                                          Qt::LeftButton);
                    } else {
                        help->close();
                    }
                    return true;
                }};
    }

    // The string the engine makes for the row from the active address field and the row's
    // own parameter fields as shown; nullopt where it makes none.
    static std::optional<std::string> expectedString(const Driver& ui, std::size_t row) {
        rvx::MemoryFields fields;
        fields.kind = ui.get<QRadioButton>("optGA")->isChecked() ? rvx::AddressKind::Group
                                                                 : rvx::AddressKind::Single;
        fields.address[static_cast<std::size_t>(fields.kind)] =
            ui.text(fields.kind == rvx::AddressKind::Group ? "txtG" : "txtSM").toStdString();
        for (const auto& parameter : rvx::commandCatalogue[row].parameterBytes()) {
            const auto& info = rvx::parameterInfo(parameter.field);
            fields.parameter(parameter.field) =
                ui.text(std::string(info.fieldName).c_str()).toStdString();
        }
        if (!rvx::CommandStringEngine(fields).getAddress().written() ||
            fields.outputs[row].empty()) {
            return std::nullopt;
        }
        return fields.outputs[row];
    }

    // After a press of the chooser's Calculate that passed its checks: the value typed stands in
    // its "All Commands" field and txtS shows that command's string, made from it.
    static QString checkPress(const frmMain& window, const Driver& ui, qsizetype beepsBefore) {
        if (ui.beeps.count() != beepsBefore) {
            return {};  // a range message or a data error
        }
        const bool group = ui.get<QRadioButton>("optGA")->isChecked();
        if (ui.text(group ? "txtG" : "txtSM") == QLatin1String("ERROR")) {
            return {};  // the address was refused: no string, and its change reaction reset
        }
        struct Pending {
            int pass;
            const char* target;
            const char* output;
        };
        static const Pending pendings[] = {
            {2, "txtIP", "txtGIP"}, {3, "txtPct", "txtGP"}, {4, "txtL", "txtLU"},
            {5, "txtL", "txtLD"},   {6, "txtL", "txtLC"},   {7, "txtL", "txtLIP"},
            {8, "txtL", "txtUL"},   {9, "txtMSU", "txtJU"}, {10, "txtMSD", "txtJD"},
        };
        for (const Pending& pending : pendings) {
            if (pending.pass != window.passCode()) {
                continue;
            }
            if (ui.text("lblS") != QLatin1String("Must Click Calculate to get string --->")) {
                return QStringLiteral("a press without a beep left lblS at %1")
                    .arg(quoted(ui.text("lblS")));
            }
            const auto typed = rvx::readNumber(ui.text("txtD").toStdString());
            const auto used = rvx::readNumber(ui.text(pending.target).toStdString());
            if (!typed || typed != used) {
                return QStringLiteral("the press took %1 from txtD, but %2 holds %3")
                    .arg(quoted(ui.text("txtD")), QLatin1String(pending.target),
                         quoted(ui.text(pending.target)));
            }
            if (pending.pass == 7 && rvx::readNumber(ui.text("txtDD").toStdString()) !=
                                         rvx::readNumber(ui.text("txtIPL").toStdString())) {
                return QStringLiteral("the press took %1 from txtDD, but txtIPL holds %2")
                    .arg(quoted(ui.text("txtDD")), quoted(ui.text("txtIPL")));
            }
            if (ui.text("txtS") != ui.text(pending.output)) {
                return QStringLiteral("txtS shows %1, but %2 shows %3")
                    .arg(quoted(ui.text("txtS")), QLatin1String(pending.output),
                         quoted(ui.text(pending.output)));
            }
        }
        return {};
    }

    static QString brokenInvariant(const Driver& ui, Seen& seen) {
        if (!pressFinding.isEmpty()) {
            return std::exchange(pressFinding, QString());
        }
        GuardedApplication* app = guardedApp();
        if (!app->escaped.isEmpty()) {
            const QString first = app->escaped.front();
            app->escaped.clear();
            return first;
        }
        for (std::size_t row = 0; row < rvx::commandCount; ++row) {
            const char* output = outputNames[row];
            const QString shown = ui.text(output);
            if (shown.isEmpty()) {
                continue;
            }
            bool isMessage = false;
            for (const auto& range : rangeMessages) {
                if (qstrcmp(range.output, output) == 0 && shown == QLatin1String(range.message)) {
                    isMessage = true;
                    if (ui.text(range.field) != QStringLiteral("ER")) {
                        return QStringLiteral("%1 shows %2 while %3 holds %4")
                            .arg(QLatin1String(output), quoted(shown), QLatin1String(range.field),
                                 quoted(ui.text(range.field)));
                    }
                }
            }
            if (isMessage) {
                ++seen.messages;
                continue;
            }
            const auto expected = expectedString(ui, row);
            if (!expected || shown.toStdString() != *expected) {
                return QStringLiteral("%1 shows %2, but the fields as shown give %3")
                    .arg(QLatin1String(output), quoted(shown),
                         expected ? quoted(QString::fromStdString(*expected))
                                  : QStringLiteral("no string"));
            }
            ++seen.strings;
        }
        const QString single = ui.text("txtS");
        if (!single.isEmpty() && !rvx::check::isVerifiedString(single.toStdString()) &&
            single != QLatin1String("Value must be 0 or 10 - 255")) {
            return QStringLiteral("txtS shows %1, which is no verified string").arg(quoted(single));
        }
        if (!single.isEmpty()) {
            ++seen.chosenStrings;
        }
        return {};
    }
};

}  // namespace

int main(int argc, char* argv[]) {
    GuardedApplication application(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    RandomUseTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "random_use_test.moc"
