// The site window on its real widgets: the motor list as an installer fills it, the sends to
// its motors on a pseudo-terminal (a real kernel serial line whose far end the test holds),
// the bus monitor naming the motors it sees, and the one sender, log and connection per port
// that it shares with the main window.
#include <sys/resource.h>

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListView>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>

#include "bus_support.h"
#include "send/bus_connection.h"
#include "send/frmSendLog.h"
#include "send/motor_sender.h"
#include "session.h"
#include "site/frmSite.h"
#include "site/motor_list_model.h"
#include "site/site_document.h"
#include "site/site_monitor.h"
#include "site_driver.h"
#include "window_driver.h"

namespace {

using namespace site_driver;

const QByteArray up123456 = bus_test::fromHex("AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30");
const QByteArray jogUp123456 = bus_test::fromHex("AB F1 FF FF FF FF 12 34 56 F5 F5 FF 09 1D");
const QByteArray jogDown123456 = bus_test::fromHex("AB F1 FF FF FF FF 12 34 56 F4 F5 FF 09 1C");

// Adds a motor as a user does: types the address, picks the kind, types the label and room,
// and clicks Add.
bool addMotor(frmSite& site, const QString& address, const QString& label,
              const QString& kind = QStringLiteral("single"), const QString& room = {}) {
    auto* field = in<QLineEdit>(site, "txtNewAddress");
    field->setFocus();
    QTest::keyClicks(field, address);
    auto* kinds = in<QComboBox>(site, "cboNewKind");
    kinds->setCurrentIndex(kinds->findText(kind));
    // Labels and rooms may hold any character; they are put in as a paste does.
    in<QLineEdit>(site, "txtNewLabel")->insert(label);
    auto* rooms = in<QLineEdit>(site, "txtNewRoom");
    rooms->clear();
    rooms->insert(room);
    auto* add = in<QPushButton>(site, "cmdAdd");
    if (!add->isEnabled()) {
        return false;
    }
    QTest::mouseClick(add, Qt::LeftButton);
    return field->text().isEmpty();
}

// The frames that arrived, fourteen bytes each.
QList<QByteArray> framesOf(const bus_test::Arrivals& arrivals) {
    QList<QByteArray> frames;
    for (qsizetype at = 0; at + frameBytes <= arrivals.bytes.size(); at += frameBytes) {
        frames.append(arrivals.bytes.mid(at, frameBytes));
    }
    return frames;
}

// What the real rvx-strings writes for the arguments, or "(failed) " and what it said.
QByteArray batchOutput(const QStringList& arguments) {
    QProcess batch;
    batch.start(QStringLiteral(RVX_STRINGS_PATH), arguments);
    if (!batch.waitForFinished(10000) || batch.exitCode() != 0) {
        return QByteArray("(failed) ") + batch.readAllStandardError();
    }
    return batch.readAllStandardOutput();
}

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(cannot be read)");
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The message box of that name the window shows, with its informative text.
QString shownMessage(frmSite& site, const char* name) {
    const auto boxes = site.findChildren<QMessageBox*>(QString::fromLatin1(name));
    if (boxes.size() != 1) {
        return QStringLiteral("(%1 messages)").arg(boxes.size());
    }
    const QString text = boxes[0]->text() + QLatin1Char('|') + boxes[0]->informativeText();
    delete boxes[0];
    return text;
}

// Answers the next modal question with the button of that role.
void answerNextQuestion(QMessageBox::StandardButton button) {
    QTimer::singleShot(0, [button] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            QTest::mouseClick(box->button(button), Qt::LeftButton);
        }
    });
}

// A limit on the size of the files this process writes, which holds for root too; writes
// beyond it fail with "File too large".
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &before_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = before_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &before_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit before_{};
    void (*previousHandler_)(int) = nullptr;
};

// The text of the strings pane as its rows show it, each row a motor's heading and strings.
QString shownStrings(const QListView* pane) {
    QString text;
    const QAbstractItemModel* model = pane->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        text += model->index(row, 0).data().toString() + QLatin1Char('\n');
    }
    return text;
}

rvx::Motor motorAt(const QString& address, const QString& label = {}) {
    rvx::Motor motor;
    motor.addressText = address.toStdString();
    motor.label = label.toStdString();
    return motor;
}

// A JSON Lines text as its objects, each without its time (when a line arrived differs between
// two watches of the same bytes); the time must be there.
QList<QJsonObject> withoutTimes(const QByteArray& lines) {
    QList<QJsonObject> objects;
    for (const QByteArray& line : lines.split('\n')) {
        if (line.isEmpty()) {
            continue;
        }
        QJsonObject object = QJsonDocument::fromJson(line).object();
        if (!object.contains(QStringLiteral("time"))) {
            object.insert(QStringLiteral("(time missing)"), true);
        }
        object.remove(QStringLiteral("time"));
        objects.append(object);
    }
    return objects;
}

QByteArray upFor(const QString& address) {
    const auto bytes = rvx::readAddress(address.toStdString()).bytes;
    const auto frame = rvx::frameFor(rvx::commandCatalogue[rvx::rowOf(rvx::CommandId::Up)],
                                     rvx::AddressKind::Single, bytes, rvx::startValues());
    return bus_test::bytesOf(*frame);
}

}  // namespace

class SiteTest : public QObject {
    Q_OBJECT
    std::unique_ptr<SiteWindow> window_;

    // The site window of the test, shown before it starts.
    frmSite& site() { return window_->site; }

private slots:
    void initTestCase() { useTestSettings("ui_site_tests"); }
    void init() { QVERIFY(openSiteWindow(window_)); }
    void cleanup() { window_.reset(); }

    // The menu bar lies above the client area: every control keeps its place in the layout,
    // below the bar; Ctrl+M opens the site window.
    void theMenuBarOpensTheSiteAboveAnUnmovedLayout() {
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.exposed);
        auto* bar = window.findChild<QMenuBar*>(QStringLiteral("menuBar"));
        QVERIFY(bar != nullptr && bar->isVisible());
        QStringList titles;
        for (QAction* action : bar->actions()) {
            titles << action->text();
        }
        QCOMPARE(titles, (QStringList{"&File", "&Site", "&Help"}));
        QVERIFY(bar->height() > 0);
        QCOMPARE(ui.get("frmAddr")->mapTo(&window, QPoint(0, 0)), QPoint(16, bar->height() + 24));
        QCOMPARE(ui.get("frmMtr")->mapTo(&window, QPoint(0, 0)), QPoint(472, bar->height() + 24));
        // The send strip still lies below the whole client area.
        QCOMPARE(ui.get("lblSend")->y(), bar->height() + (10095 + 240 + 7) / 15);
        QVERIFY(window.siteWindow() == nullptr);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_M, Qt::ControlModifier);
        QVERIFY(window.siteWindow() != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(window.siteWindow()));
    }

    // The address is judged as it is typed, in the engine's words; a bad one is never added or
    // changed into something else, in the new motor's field or in the list.
    void addressesAreJudgedAsTypedAndBadOnesRefused() {
        frmSite& site = this->site();
        auto* problem = in<QLabel>(site, "lblProblem");
        QVERIFY(!addMotor(site, QStringLiteral("12345G"), QStringLiteral("Hall")));
        QCOMPARE(problem->text(),
                 QStringLiteral("address \"12345G\": must be six hexadecimal digits; character "
                                "6, \"G\", is not one"));
        QCOMPARE(site.document().motors().rowCount(), 0);
        in<QLineEdit>(site, "txtNewAddress")->clear();
        in<QLineEdit>(site, "txtNewLabel")->clear();
        QVERIFY(addMotor(site, QStringLiteral("0a1b2c"), QStringLiteral("Hall east"),
                         QStringLiteral("single"), QStringLiteral("Hall")));
        QVERIFY(problem->text().isEmpty());
        QCOMPARE(site.document().motors().motors().size(), 1);
        QCOMPARE(site.document().motors().motors()[0].addressText, "0A1B2C");
        QCOMPARE(site.document().motors().motors()[0].room, "Hall");

        // An edit in place to a bad address: the message, and the cell as it was.
        auto* table = in<QTableView>(site, "tblMotors");
        const QModelIndex cell = table->model()->index(0, MotorListModel::Address);
        table->setCurrentIndex(cell);
        table->edit(cell);
        auto* editor = table->findChild<QLineEdit*>(QStringLiteral("txtAddressCell"));
        QVERIFY(editor != nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("12345"));
        QCOMPARE(
            problem->text(),
            QStringLiteral("address \"12345\": must be six hexadecimal digits, not 5 characters"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(problem->text(),
                     QStringLiteral("address \"12345\": must be six hexadecimal digits, not 5 "
                                    "characters; not taken"));
        QCOMPARE(site.document().motors().motors()[0].addressText, "0A1B2C");
    }

    // Edits and deletions are undone and redone as the user made them.
    void editsAndDeletionsAreUndone() {
        frmSite& site = this->site();
        QVERIFY(addMotor(site, QStringLiteral("000001"), QStringLiteral("one")));
        QVERIFY(addMotor(site, QStringLiteral("000002"), QStringLiteral("two")));
        QVERIFY(addMotor(site, QStringLiteral("000003"), QStringLiteral("three")));
        const QList<rvx::Motor> added = site.document().motors().motors();

        auto* table = in<QTableView>(site, "tblMotors");
        const QModelIndex label = table->model()->index(1, MotorListModel::Label);
        table->setCurrentIndex(label);
        table->edit(label);
        auto* editor = table->findChild<QLineEdit*>(QStringLiteral("txtCell"));
        QVERIFY(editor != nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("Stairs"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(site.document().motors().motors()[1].label, "Stairs");

        selectRow(site, 0);
        QTest::keyClick(table, Qt::Key_Down, Qt::ShiftModifier);
        QVERIFY(click(site, "cmdDelete"));
        QCOMPARE(site.document().motors().motors().size(), 1);
        QCOMPARE(site.document().motors().motors()[0].label, "three");

        QTest::keyClick(&site, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(site.document().motors().motors().size(), 3);
        QCOMPARE(site.document().motors().motors()[1].label, "Stairs");
        QTest::keyClick(&site, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(site.document().motors().motors(), added);
        QTest::keyClick(&site, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(site.document().motors().motors()[1].label, "Stairs");
    }

    // The filter keeps the rows with the text in any column, case ignored.
    void theFilterKeepsTheRowsWithTheText() {
        frmSite& site = this->site();
        QVERIFY(addMotor(site, QStringLiteral("000001"), QStringLiteral("Kitchen"),
                         QStringLiteral("single"), QStringLiteral("Ground")));
        QVERIFY(addMotor(site, QStringLiteral("0000AB"), QStringLiteral("Hall"),
                         QStringLiteral("single"), QStringLiteral("Ground")));
        QVERIFY(addMotor(site, QStringLiteral("000003"), QStringLiteral("Attic")));
        auto* table = in<QTableView>(site, "tblMotors");
        QTest::keyClicks(in<QLineEdit>(site, "txtFilter"), QStringLiteral("ground"));
        QCOMPARE(table->model()->rowCount(), 2);
        in<QLineEdit>(site, "txtFilter")->clear();
        QTest::keyClicks(in<QLineEdit>(site, "txtFilter"), QStringLiteral("ab"));
        QCOMPARE(table->model()->rowCount(), 1);
        QCOMPARE(table->model()->index(0, MotorListModel::Label).data().toString(),
                 QStringLiteral("Hall"));
    }

    // A filter key keeps the selection of the rows still shown and the current cell; the
    // rows it hides leave the selection, and what is sent and shown follows.
    void theFilterKeepsTheSelectionAndTheCurrentRow() {
        frmSite& site = this->site();
        const QStringList rooms{"Ground", "Attic", "Ground", "Ground"};
        for (int k = 0; k < rooms.size(); ++k) {
            QVERIFY(addMotor(site, QStringLiteral("00000%1").arg(k + 1),
                             QStringLiteral("blind %1").arg(k), QStringLiteral("single"),
                             rooms[k]));
        }
        auto* table = in<QTableView>(site, "tblMotors");
        selectRow(site, 1);
        const QRect third = table->visualRect(table->model()->index(2, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::ControlModifier, third.center());
        const QRect fourth = table->visualRect(table->model()->index(3, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::ControlModifier, fourth.center());
        QCOMPARE(site.selectedRows(), (QList<int>{1, 2, 3}));
        QTest::keyClicks(in<QLineEdit>(site, "txtFilter"), QStringLiteral("grou"));
        QCOMPARE(table->model()->rowCount(), 3);
        QCOMPARE(site.selectedRows(), (QList<int>{2, 3}));
        QCOMPARE(cell(table, table->currentIndex().row(), MotorListModel::Label),
                 QStringLiteral("blind 3"));
        QCOMPARE(table->selectionModel()->selectedRows().size(), 2);
        QVERIFY(shownStrings(in<QListView>(site, "lstStrings"))
                    .startsWith(QStringLiteral("blind 2, Ground: single 000003\n")));
        QTest::keyClick(in<QLineEdit>(site, "txtFilter"), Qt::Key_Backspace);
        QCOMPARE(table->model()->rowCount(), 3);
        QCOMPARE(site.selectedRows(), (QList<int>{2, 3}));
        in<QLineEdit>(site, "txtFilter")->clear();
        QCOMPARE(table->model()->rowCount(), 4);
        QCOMPARE(site.selectedRows(), (QList<int>{2, 3}));
        QCOMPARE(cell(table, table->currentIndex().row(), MotorListModel::Label),
                 QStringLiteral("blind 3"));
        // A text held by no cell, or only across two cells, keeps no row.
        QTest::keyClicks(in<QLineEdit>(site, "txtFilter"), QStringLiteral("atticblind"));
        QCOMPARE(table->model()->rowCount(), 0);
        QVERIFY(!in<QPushButton>(site, "cmdUp")->isEnabled());
        QCOMPARE(shownStrings(in<QListView>(site, "lstStrings")), QString());
    }

    // Heading clicks: ascending, descending, then the list order again; the selection kept.
    void aThirdClickOnAHeadingGoesBackToListOrder() {
        frmSite& site = this->site();
        const QStringList labels{"b", "C", "a", "B"};
        for (int k = 0; k < labels.size(); ++k) {
            QVERIFY(addMotor(site, QStringLiteral("00000%1").arg(k + 1), labels[k]));
        }
        auto* table = in<QTableView>(site, "tblMotors");
        const auto shownLabels = [table] {
            QStringList shown;
            for (int row = 0; row < table->model()->rowCount(); ++row) {
                shown << cell(table, row, MotorListModel::Label);
            }
            return shown;
        };
        QHeaderView* header = table->horizontalHeader();
        const QPoint label(header->sectionViewportPosition(MotorListModel::Label) + 5,
                           header->height() / 2);
        selectRow(site, 2);  // "a"
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, label);
        QCOMPARE(shownLabels(), (QStringList{"a", "b", "B", "C"}));
        QCOMPARE(site.selectedRows(), QList<int>{2});
        QCOMPARE(cell(table, table->currentIndex().row(), MotorListModel::Label),
                 QStringLiteral("a"));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, label);
        QCOMPARE(shownLabels(), (QStringList{"C", "b", "B", "a"}));
        QCOMPARE(site.selectedRows(), QList<int>{2});
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, label);
        QCOMPARE(shownLabels(), labels);
        QCOMPARE(header->sortIndicatorSection(), -1);
        QCOMPARE(site.selectedRows(), QList<int>{2});
    }

    // In a sorted, filtered list an edit, an addition and an undone deletion each put their
    // row where it belongs, or leave it out where the filter does not keep it.
    void changesInASortedFilteredListFindTheirPlace() {
        frmSite& site = this->site();
        QVERIFY(addMotor(site, QStringLiteral("000001"), QStringLiteral("m kitchen")));
        QVERIFY(addMotor(site, QStringLiteral("000002"), QStringLiteral("c kitchen")));
        QVERIFY(addMotor(site, QStringLiteral("000003"), QStringLiteral("x hall")));
        auto* table = in<QTableView>(site, "tblMotors");
        const auto shownLabels = [table] {
            QStringList shown;
            for (int row = 0; row < table->model()->rowCount(); ++row) {
                shown << cell(table, row, MotorListModel::Label);
            }
            return shown;
        };
        table->sortByColumn(MotorListModel::Label, Qt::AscendingOrder);
        QTest::keyClicks(in<QLineEdit>(site, "txtFilter"), QStringLiteral("KITCHEN"));
        QCOMPARE(shownLabels(), (QStringList{"c kitchen", "m kitchen"}));
        QVERIFY(addMotor(site, QStringLiteral("000004"), QStringLiteral("a kitchen")));
        QVERIFY(addMotor(site, QStringLiteral("000005"), QStringLiteral("b attic")));
        QCOMPARE(shownLabels(), (QStringList{"a kitchen", "c kitchen", "m kitchen"}));
        QAbstractItemModel* model = table->model();
        QVERIFY(model->setData(model->index(0, MotorListModel::Label), QStringLiteral("z kitchen"),
                               Qt::EditRole));
        QCOMPARE(shownLabels(), (QStringList{"c kitchen", "m kitchen", "z kitchen"}));
        QVERIFY(model->setData(model->index(0, MotorListModel::Label), QStringLiteral("c attic"),
                               Qt::EditRole));
        QCOMPARE(shownLabels(), (QStringList{"m kitchen", "z kitchen"}));
        selectAll(site);
        QTest::mouseClick(in<QPushButton>(site, "cmdDelete"), Qt::LeftButton);
        QCOMPARE(shownLabels(), QStringList());
        QTest::keyClick(&site, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(shownLabels(), (QStringList{"m kitchen", "z kitchen"}));
        in<QLineEdit>(site, "txtFilter")->clear();
        QCOMPARE(shownLabels(),
                 (QStringList{"b attic", "c attic", "m kitchen", "x hall", "z kitchen"}));
        // The rows of the list behind them are the motors in list order.
        QStringList listed;
        for (const rvx::Motor& motor : site.document().motors().motors()) {
            listed << QString::fromStdString(motor.label);
        }
        QCOMPARE(listed, (QStringList{"m kitchen", "c attic", "x hall", "z kitchen", "b attic"}));
        table->sortByColumn(-1, Qt::AscendingOrder);
        QCOMPARE(shownLabels(), listed);
    }

    // Identify: Jog Up, then after the pause Jog Down, exactly these frames on the line.
    void identifyJogsUpThenDownAfterThePause() {
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal line(clock);
        useLine(line.path());
        frmSite& site = this->site();
        QVERIFY(addMotor(site, QStringLiteral("123456"), QStringLiteral("Office")));
        selectRow(site, 0);
        QVERIFY(click(site, "cmdIdentify"));
        QVERIFY(in<QPushButton>(site, "cmdStopSending")->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(line.arrived().bytes.size(), 2 * frameBytes, 5000);
        QCOMPARE(framesOf(line.arrived()), (QList<QByteArray>{jogUp123456, jogDown123456}));
        const qint64 pause =
            line.arrived().timeOf(frameBytes) - line.arrived().timeOf(frameBytes - 1);
        QVERIFY2(pause >= frmSite::identifyPauseMs, qPrintable(QString::number(pause)));
        QTRY_VERIFY_WITH_TIMEOUT(!site.sender().busy(), 5000);
        QCOMPARE(
            in<QLabel>(site, "lblSend")->text(),
            QStringLiteral("Jog Down 10 ms to motor 123456 sent on %1, 4800 8O1").arg(line.path()));
    }

    // Several motors: one frame each, in the order of the list whatever the order shown,
    // with the bus gap between them.
    void severalMotorsGetOneFrameEachInListOrder() {
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal line(clock);
        useLine(line.path());
        frmSite& site = this->site();
        const QStringList addresses{"00000A", "00000B", "00000C"};
        QVERIFY(addMotor(site, addresses[0], QStringLiteral("a")));
        QVERIFY(addMotor(site, addresses[1], QStringLiteral("c")));
        QVERIFY(addMotor(site, addresses[2], QStringLiteral("b")));
        in<QTableView>(site, "tblMotors")->sortByColumn(MotorListModel::Label, Qt::DescendingOrder);
        selectAll(site);
        QVERIFY(click(site, "cmdUp"));
        QTRY_COMPARE_WITH_TIMEOUT(line.arrived().bytes.size(), 3 * frameBytes, 5000);
        QCOMPARE(
            framesOf(line.arrived()),
            (QList<QByteArray>{upFor(addresses[0]), upFor(addresses[1]), upFor(addresses[2])}));
        const qint64 gap = rvx::bus::Settings{}.gap.count();
        for (int k = 1; k < 3; ++k) {
            const qint64 quiet =
                line.arrived().timeOf(k * frameBytes) - line.arrived().timeOf(k * frameBytes - 1);
            QVERIFY2(quiet >= gap, qPrintable(QString::number(quiet)));
        }
    }

    // Esc during a send to twenty motors stops it: fewer than twenty frames arrive, whole ones,
    // and none after the stop but the one the line may have had in hand.
    void stopDuringATwentyMotorSendStopsIt() {
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal line(clock);
        useLine(line.path());
        frmSite& site = this->site();
        QList<rvx::Motor> motors;
        for (int k = 0; k < 20; ++k) {
            motors.append(motorAt(QStringLiteral("%1").arg(0x100000 + k, 6, 16, QLatin1Char('0')),
                                  QStringLiteral("blind %1").arg(k)));
        }
        QVERIFY(site.document().motors().setMotors(motors));
        selectAll(site);
        QVERIFY(click(site, "cmdDown"));
        QTRY_VERIFY_WITH_TIMEOUT(line.arrived().bytes.size() >= 2 * frameBytes, 5000);
        QVERIFY(QTest::qWaitForWindowActive(&site));
        QTest::keyClick(&site, Qt::Key_Escape);
        QVERIFY(!site.sender().busy());
        QVERIFY(!in<QPushButton>(site, "cmdStopSending")->isEnabled());
        const qsizetype atStop = line.arrived().bytes.size();
        // Long enough for several more frames to have come, had the send gone on.
        QTest::qWait(500);
        QVERIFY(line.nothingSent());
        const qsizetype arrived = line.arrived().bytes.size();
        QVERIFY2(arrived <= atStop + frameBytes, qPrintable(QString::number(arrived)));
        QVERIFY(arrived < 20 * frameBytes);
        QCOMPARE(arrived % frameBytes, 0);
        int stopped = 0;
        for (const SendRecord& record : site.sender().records()) {
            stopped += record.state == SendRecord::State::Stopped ? 1 : 0;
        }
        QVERIFY(stopped > 0);
        QCOMPARE(site.sender().records().size(), 20);
        QVERIFY(in<QPushButton>(site, "cmdDown")->isEnabled());
    }

    // A group row asks before the group moves; Cancel sends nothing.
    void aGroupAsksBeforeItMoves() {
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal line(clock);
        useLine(line.path());
        frmSite& site = this->site();
        QVERIFY(addMotor(site, QStringLiteral("0A0B0C"), QStringLiteral("All blinds"),
                         QStringLiteral("group")));
        selectRow(site, 0);
        QVERIFY(click(site, "cmdUp"));
        auto* question = site.findChild<QMessageBox*>(QStringLiteral("confirmGroup"));
        QVERIFY(question != nullptr);
        QCOMPARE(
            question->text(),
            QStringLiteral("Up to group 0A0B0C \"All blinds\" moves every motor of that group."));
        QTest::mouseClick(question->button(QMessageBox::Cancel), Qt::LeftButton);
        QTRY_VERIFY(!site.sender().busy());
        QVERIFY(line.nothingSent());
    }

    // The strings pane holds every string of the selected motors, in the notation chosen.
    void theStringsPaneFollowsSelectionAndNotation() {
        frmSite& site = this->site();
        QVERIFY(addMotor(site, QStringLiteral("123456"), QStringLiteral("Office")));
        QVERIFY(addMotor(site, QStringLiteral("654321"), QStringLiteral("Lobby")));
        auto* pane = in<QListView>(site, "lstStrings");
        QCOMPARE(shownStrings(pane), QString());
        selectRow(site, 0);
        const QStringList lines = shownStrings(pane).split(QLatin1Char('\n'));
        QCOMPARE(lines[0], QStringLiteral("Office: single 123456"));
        QCOMPARE(lines[1],
                 QStringLiteral("  Up               AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30"));
        QCOMPARE(lines.size(), 1 + 14 + 1);
        auto* notation = in<QComboBox>(site, "cboNotation");
        notation->setCurrentIndex(notation->findText(QStringLiteral("compact")));
        QVERIFY(shownStrings(pane).contains(QStringLiteral("ABF1FFFFFFFF123456FEFFFF0930")));
        selectAll(site);
        QVERIFY(shownStrings(pane).contains(QStringLiteral("Lobby: single 654321")));
        QTest::mouseClick(in<QPushButton>(site, "cmdCopyAll"), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), shownStrings(pane));
        QCOMPARE(QApplication::clipboard()->text(), site.stringsText());
    }

    // The monitor names the motor of a frame written to the line, tells noise, and saves its
    // rows as JSON Lines.
    void theMonitorNamesTheMotorOfAFrame() {
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal line(clock);
        useLine(line.path());
        frmSite& site = this->site();
        QVERIFY(addMotor(site, QStringLiteral("123456"), QStringLiteral("Office east")));
        auto* monitor = in<QTableView>(site, "tblMonitor");
        showMonitor(site);
        QVERIFY(click(site, "cmdWatch"));
        QTRY_VERIFY(in<QLabel>(site, "lblMonitor")->text().startsWith(QStringLiteral("Watching")));
        line.write(up123456);
        QTRY_COMPARE_WITH_TIMEOUT(monitor->model()->rowCount(), 1, 5000);
        QCOMPARE(cell(monitor, 0, SiteMonitor::Command), QStringLiteral("Up"));
        QCOMPARE(cell(monitor, 0, SiteMonitor::Address), QStringLiteral("123456"));
        QCOMPARE(cell(monitor, 0, SiteMonitor::Motor), QStringLiteral("Office east"));
        QCOMPARE(cell(monitor, 0, SiteMonitor::Result), QStringLiteral("valid"));
        QCOMPARE(cell(monitor, 0, SiteMonitor::Sent), QString());

        line.write(bus_test::fromHex("00 11"));
        QTRY_COMPARE_WITH_TIMEOUT(monitor->model()->rowCount(), 2, 5000);
        QCOMPARE(cell(monitor, 1, SiteMonitor::Result), QStringLiteral("noise, 2 bytes"));

        const QList<QByteArray> lines = site.monitor().jsonLines().split('\n');
        QCOMPARE(lines.size(), 3);
        const QJsonObject frame = QJsonDocument::fromJson(lines[0]).object();
        QCOMPARE(frame.keys(),
                 (QStringList{"address", "command", "findings", "frame", "kind", "label",
                              "notation", "notes", "parameters", "time", "valid"}));
        QCOMPARE(frame.value("label").toString(), QStringLiteral("Office east"));
        QCOMPARE(frame.value("frame").toString(),
                 QStringLiteral("AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30"));
        QCOMPARE(frame.value("valid").toBool(), true);
        const QJsonObject noise = QJsonDocument::fromJson(lines[1]).object();
        QCOMPARE(noise.keys(), (QStringList{"bytes", "noise", "time"}));
        QCOMPARE(noise.value("bytes").toString(), QStringLiteral("00 11"));

        // Paused, rows are held back and come once the pause ends; Clear empties the pane.
        QVERIFY(click(site, "cmdPause"));
        line.write(up123456);
        QTRY_VERIFY(line.nothingSent());
        QTest::qWait(100);
        QCOMPARE(monitor->model()->rowCount(), 2);
        QVERIFY(click(site, "cmdPause"));
        QTRY_COMPARE_WITH_TIMEOUT(monitor->model()->rowCount(), 3, 5000);
        QVERIFY(click(site, "cmdClearMonitor"));
        QCOMPARE(monitor->model()->rowCount(), 0);
        QVERIFY(site.monitor().jsonLines().isEmpty());
        QVERIFY(click(site, "cmdWatch"));
        QCOMPARE(in<QLabel>(site, "lblMonitor")->text(), QStringLiteral("Not watching"));
    }

    // A frame the window sends while watching a bridge goes out on the watch's connection and
    // gets a row marked as sent, named after its motor; the same frame coming back on the line
    // is that row's echo and gets none of its own; another frame gets one, unmarked.
    void framesSentWhileWatchingABridgeAreMarked() {
        QElapsedTimer clock;
        clock.start();
        bus_test::Bridge bridge(clock);
        useLine(bridge.target());
        frmSite& site = this->site();
        QVERIFY(addMotor(site, QStringLiteral("123456"), QStringLiteral("Office")));
        auto* monitor = in<QTableView>(site, "tblMonitor");
        showMonitor(site);
        QVERIFY(click(site, "cmdWatch"));
        QTRY_VERIFY(in<QLabel>(site, "lblMonitor")->text().startsWith(QStringLiteral("Watching")));
        QTRY_COMPARE(bridge.connections().size(), 1);
        selectRow(site, 0);
        QVERIFY(click(site, "cmdUp"));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.arrived().bytes, up123456, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(monitor->model()->rowCount(), 1, 5000);
        QCOMPARE(cell(monitor, 0, SiteMonitor::Motor), QStringLiteral("Office"));
        QCOMPARE(cell(monitor, 0, SiteMonitor::Sent), QStringLiteral("sent"));
        QCOMPARE(bridge.connections().size(), 1);
        // The bridge hands the frame back on the watching connection, then a frame of another.
        QTcpSocket* watching = bridge.connections().first();
        watching->write(up123456);
        watching->write(bus_test::fromHex("AB F1 FF FF FF FF 65 43 21 FE FF FF 09 5D"));
        QTRY_COMPARE_WITH_TIMEOUT(monitor->model()->rowCount(), 2, 5000);
        QCOMPARE(cell(monitor, 0, SiteMonitor::Sent), QStringLiteral("sent"));
        QCOMPARE(cell(monitor, 1, SiteMonitor::Sent), QString());
        QCOMPARE(cell(monitor, 1, SiteMonitor::Motor), QString());
        const QJsonObject sent =
            QJsonDocument::fromJson(site.monitor().jsonLines().split('\n')[0]).object();
        QCOMPARE(sent.value("sent").toBool(), true);
    }

    // The monitor's rows saved as JSON Lines say of the same bytes, key for key and value for
    // value, what rvx-strings --monitor --format json says: frames valid and not, a frame whose
    // kind cannot be told, and noise.
    void theMonitorSaysWhatTheCommandLineSays() {
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal watched(clock);
        bus_test::PseudoTerminal monitored(clock);
        useLine(watched.path());
        frmSite& site = this->site();
        showMonitor(site);
        QVERIFY(click(site, "cmdWatch"));
        QTRY_VERIFY(in<QLabel>(site, "lblMonitor")->text().startsWith(QStringLiteral("Watching")));
        QProcess monitor;
        monitor.setReadChannel(QProcess::StandardError);
        monitor.start(QStringLiteral(RVX_STRINGS_PATH),
                      {"--monitor", monitored.path(), "--format", "json", "--count", "4"});
        QVERIFY(monitor.waitForReadyRead(10000));  // "watching ..." once the port is open
        monitor.setReadChannel(QProcess::StandardOutput);

        rvx::ParameterValues farIp = rvx::startValues();
        farIp[static_cast<std::size_t>(rvx::ParameterField::IP)] = 20;
        const QByteArray wrongSum = bus_test::fromHex("AB F1 FF FF FF FF 12 34 56 FE FF FF 09 31");
        const QByteArray everyMotor =
            bus_test::fromHex("A4 F1 FF FF FF FF FF FF FF FB FE FE 0C 1F");
        const QByteArray bytes =
            bus_test::fromHex("5A 00") + up123456 + wrongSum +
            bus_test::bytesOf(*rvx::frameFor(rvx::commandOf(rvx::CommandId::GoToIp),
                                             rvx::AddressKind::Group, {0x0A, 0x0B, 0x0C}, farIp)) +
            everyMotor;
        watched.write(bytes);
        monitored.write(bytes);
        QVERIFY(monitor.waitForFinished(10000));
        QCOMPARE(monitor.exitCode(), 0);
        auto* rows = in<QTableView>(site, "tblMonitor");
        QTRY_COMPARE_WITH_TIMEOUT(rows->model()->rowCount(), 5, 5000);
        const QList<QJsonObject> window = withoutTimes(site.monitor().jsonLines());
        const QList<QJsonObject> commandLine = withoutTimes(monitor.readAllStandardOutput());
        QCOMPARE(window.size(), 5);
        QCOMPARE(window, commandLine);
        QCOMPARE(window[2].value("valid").toBool(), false);
        QVERIFY(window[4].value("kind").isNull());
        // The columns say what the lines say.
        QCOMPARE(cell(rows, 2, SiteMonitor::Result), window[2]
                                                         .value("findings")
                                                         .toArray()[0]
                                                         .toObject()
                                                         .value("message")
                                                         .toString()
                                                         .prepend(QStringLiteral("not valid: ")));
        QCOMPARE(cell(rows, 0, SiteMonitor::Result), QStringLiteral("noise, 2 bytes"));
    }

    // With the site window watching the port, Identify and Up from the site window and a
    // send from the main window go out through the watch's connection: each reaches the line
    // exactly, has one row in the monitor marked as sent, and one row in Sent frames.
    void sendsOfBothWindowsGoOutThroughTheWatchedPort() {
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal line(clock);
        useLine(line.path());
        frmMain window;
        Driver ui(window);
        QVERIFY(ui.exposed);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_M, Qt::ControlModifier);
        frmSite* site = window.siteWindow();
        QVERIFY(site != nullptr && QTest::qWaitForWindowExposed(site));
        QVERIFY(addMotor(*site, QStringLiteral("123456"), QStringLiteral("Office")));
        showMonitor(*site);
        QVERIFY(click(*site, "cmdWatch"));
        QTRY_VERIFY(in<QLabel>(*site, "lblMonitor")->text().startsWith(QStringLiteral("Watching")));
        selectRow(*site, 0);
        QVERIFY(click(*site, "cmdIdentify"));
        QTRY_VERIFY_WITH_TIMEOUT(!window.sender().busy(), 5000);
        QVERIFY(click(*site, "cmdUp"));
        QTRY_VERIFY_WITH_TIMEOUT(!window.sender().busy(), 5000);
        QVERIFY(ui.calculated());
        QVERIFY(ui.pickFromMenu("txtSTOP", QStringLiteral("actSend")));
        QTRY_VERIFY_WITH_TIMEOUT(!window.sender().busy(), 5000);

        const QByteArray stop123456 =
            bus_test::fromHex("AB F1 FF FF FF FF 12 34 56 FC FF FF 09 2E");
        const QList<QByteArray> sent{jogUp123456, jogDown123456, up123456, stop123456};
        QTRY_COMPARE_WITH_TIMEOUT(line.arrived().bytes.size(), 4 * frameBytes, 5000);
        QVERIFY(line.nothingSent());
        QCOMPARE(framesOf(line.arrived()), sent);
        QCOMPARE(ui.text("lblSend"),
                 QStringLiteral("Stop to motor 123456 sent on %1, 4800 8O1").arg(line.path()));

        auto* monitor = in<QTableView>(*site, "tblMonitor");
        QCOMPARE(monitor->model()->rowCount(), sent.size());
        for (int k = 0; k < sent.size(); ++k) {
            QCOMPARE(cell(monitor, k, SiteMonitor::FrameBytes),
                     QString::fromLatin1(sent[k].toHex(' ').toUpper()));
            QCOMPARE(cell(monitor, k, SiteMonitor::Sent), QStringLiteral("sent"));
            QCOMPARE(cell(monitor, k, SiteMonitor::Motor), QStringLiteral("Office"));
        }

        QVERIFY(ui.pickFromMenu("txtUP", QStringLiteral("actSendLog")));
        frmSendLog* log = window.sendLogWindow();
        QVERIFY(log != nullptr);
        auto* sends = log->findChild<QTableWidget*>(QStringLiteral("tblSends"));
        QCOMPARE(sends->rowCount(), sent.size());
        const QList<QByteArray> lines = log->jsonLines().trimmed().split('\n');
        QCOMPARE(lines.size(), sent.size());
        for (int k = 0; k < sent.size(); ++k) {
            const QJsonObject object = QJsonDocument::fromJson(lines[k]).object();
            QCOMPARE(object.value("frame").toString(),
                     QString::fromLatin1(sent[k].toHex(' ').toUpper()));
            QCOMPARE(object.value("sent").toBool(), true);
            QCOMPARE(object.value("target").toString(), line.path());
        }
    }

    // A frame sent to another port than the one watched never passes the watched line: the
    // monitor shows no row of it.
    void aSendToAnotherPortIsNotShownAsSentOnTheWatchedOne() {
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal watched(clock);
        bus_test::PseudoTerminal other(clock);
        useLine(watched.path());
        frmSite& site = this->site();
        QVERIFY(addMotor(site, QStringLiteral("123456"), QStringLiteral("Office")));
        showMonitor(site);
        QVERIFY(click(site, "cmdWatch"));
        QTRY_VERIFY(in<QLabel>(site, "lblMonitor")->text().startsWith(QStringLiteral("Watching")));
        useLine(other.path());  // the connection chosen anew while the watch goes on
        selectRow(site, 0);
        QVERIFY(click(site, "cmdUp"));
        QTRY_COMPARE_WITH_TIMEOUT(other.arrived().bytes, up123456, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!site.sender().busy(), 5000);
        QTest::qWait(100);
        QCOMPARE(in<QTableView>(site, "tblMonitor")->model()->rowCount(), 0);
        QVERIFY(watched.nothingSent());
        QVERIFY(site.monitor().watching());
    }

    // Closing the site window while it watches the port and sends to twenty motors: no frame
    // goes out after the close, and another program can take the port at once.
    void closingTheWindowStopsItsSendAndLetsThePortGo() {
        QElapsedTimer clock;
        clock.start();
        bus_test::PseudoTerminal line(clock);
        useLine(line.path());
        frmSite& site = this->site();
        QList<rvx::Motor> motors;
        for (int k = 0; k < 20; ++k) {
            motors.append(motorAt(QStringLiteral("%1").arg(0x200000 + k, 6, 16, QLatin1Char('0'))));
        }
        QVERIFY(site.document().motors().setMotors(motors));
        showMonitor(site);
        QVERIFY(click(site, "cmdWatch"));
        QTRY_VERIFY(in<QLabel>(site, "lblMonitor")->text().startsWith(QStringLiteral("Watching")));
        selectAll(site);
        QVERIFY(click(site, "cmdDown"));
        QTRY_VERIFY_WITH_TIMEOUT(line.arrived().bytes.size() >= 2 * frameBytes, 5000);

        QVERIFY(site.close());
        QVERIFY(!site.sender().busy());
        QVERIFY(!site.monitor().watching());
        // What the line holds left before the close; nothing comes after it.
        QVERIFY(line.nothingSent());
        const qsizetype atClose = line.arrived().bytes.size();
        QTest::qWait(500);
        QVERIFY(line.nothingSent());
        QCOMPARE(line.arrived().bytes.size(), atClose);
        QVERIFY(atClose < 20 * frameBytes);
        QCOMPARE(atClose % frameBytes, 0);

        QProcess send;
        send.start(QStringLiteral(RVX_STRINGS_PATH),
                   {"123456", "--command", "up", "--send", line.path()});
        QVERIFY(send.waitForFinished(10000));
        QCOMPARE(send.readAllStandardError(), QByteArray());
        QCOMPARE(send.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(line.arrived().bytes.mid(atClose), up123456, 5000);
    }

    // A site made in the window, saved and opened again, holds the same motors, and saved
    // again gives the same file byte for byte.
    void aSavedSiteOpensAsItWasSaved() {
        QTemporaryDir dir;
        const QString first = dir.filePath(QStringLiteral("site.csv"));
        const QString second = dir.filePath(QStringLiteral("again.csv"));
        frmSite& site = this->site();
        QVERIFY(addMotor(site, QStringLiteral("123456"), QStringLiteral("Office"),
                         QStringLiteral("single"), QStringLiteral("First floor")));
        QVERIFY(addMotor(site, QStringLiteral("0a0b0c"), QStringLiteral("Hall, \"east\""),
                         QStringLiteral("group")));
        QVERIFY(addMotor(site, QStringLiteral("654321"), QStringLiteral("K\u00fcche"),
                         QStringLiteral("single"), QStringLiteral("Ground, west")));
        QVERIFY(addMotor(site, QStringLiteral("ABCDEF"), QString()));
        QVERIFY(site.document().modified());
        QVERIFY(site.saveSiteTo(first));
        QVERIFY(!site.document().modified());
        QCOMPARE(contentsOf(first), QByteArray("123456,single,\"Office\",First floor\n"
                                               "0A0B0C,group,\"Hall, \"\"east\"\"\"\n"
                                               "654321,single,\"K\xC3\xBC"
                                               "che\",\"Ground, west\"\n"
                                               "ABCDEF,single,\"\"\n"));

        frmSite reopened(window_->session);
        QVERIFY(reopened.openSite(first));
        QCOMPARE(reopened.document().motors().motors(), site.document().motors().motors());
        QVERIFY(!reopened.document().modified());
        QCOMPARE(reopened.document().path(), first);
        QVERIFY(reopened.saveSiteTo(second));
        QCOMPARE(contentsOf(second), contentsOf(first));
        QCOMPARE(SiteDocument::recentSites().first(), QFileInfo(second).absoluteFilePath());
        QCOMPARE(SiteDocument::recentSites().at(1), QFileInfo(first).absoluteFilePath());
    }

    // A site file with a bad line, or one that cannot be read, is refused with the reason,
    // and the list stays as it was.
    void aBadSiteFileIsRefusedAndTheListKept() {
        QTemporaryDir dir;
        const QString good = dir.filePath(QStringLiteral("good.csv"));
        const QString bad = dir.filePath(QStringLiteral("bad.csv"));
        QVERIFY(writeFile(good, "123456,single,\"Office\"\n654321,group,\"Floor\"\n"));
        QVERIFY(writeFile(bad, "111111,single,\"One\"\n222222,both,\"Two\"\n33333\n"));
        frmSite& site = this->site();
        QVERIFY(site.openSite(good));
        const QList<rvx::Motor> before = site.document().motors().motors();
        QCOMPARE(before.size(), 2);

        QVERIFY(!site.openSite(bad));
        QCOMPARE(shownMessage(site, "siteNotRead"),
                 QStringLiteral("The site was not opened; the list is as it was.|") + bad +
                     QStringLiteral(":\nline 2: kind \"both\": must be single or group\n"
                                    "line 3: address \"33333\": must be six hexadecimal "
                                    "digits, not 5 characters"));
        QCOMPARE(site.document().motors().motors(), before);
        QCOMPARE(site.document().path(), good);

        QVERIFY(!site.openSite(dir.path()));
        QCOMPARE(shownMessage(site, "siteNotRead"),
                 QStringLiteral("The site was not opened; the list is as it was.|") + dir.path() +
                     QStringLiteral(": not a file"));
        QVERIFY(!site.openSite(dir.filePath(QStringLiteral("none.csv"))));
        QCOMPARE(shownMessage(site, "siteNotRead"),
                 QStringLiteral("The site was not opened; the list is as it was.|") +
                     dir.filePath(QStringLiteral("none.csv")) +
                     QStringLiteral(": No such file or directory"));
        QCOMPARE(site.document().motors().motors(), before);
        QCOMPARE(contentsOf(bad),
                 QByteArray("111111,single,\"One\"\n222222,both,\"Two\"\n33333\n"));
    }

    // A save that fails leaves the file that was there, whole, and the changes still to save.
    void aFailedSaveKeepsTheOldFile() {
        QTemporaryDir dir;
        const QString old = dir.filePath(QStringLiteral("site.csv"));
        const QByteArray oldText = "123456,single,\"Old\"\n";
        QVERIFY(writeFile(old, oldText));
        frmSite& site = this->site();
        QVERIFY(site.openSite(old));
        for (int k = 0; k < 10; ++k) {
            QVERIFY(addMotor(site, QStringLiteral("%1").arg(0xA00000 + k, 6, 16, QLatin1Char('0')),
                             QStringLiteral("blind %1").arg(k)));
        }
        QString problem;
        {
            // The new text is larger than any file this process may write now.
            FileSizeLimit limit(static_cast<rlim_t>(oldText.size() + 16));
            QVERIFY(!site.saveSiteTo(old, &problem));
        }
        QCOMPARE(problem, old + QStringLiteral(": File too large"));
        QCOMPARE(shownMessage(site, "siteNotSaved"),
                 QStringLiteral("The site was not saved; the file is as it was.|") + problem);
        QCOMPARE(contentsOf(old), oldText);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"site.csv"});
        QVERIFY(site.document().modified());

        // A folder that cannot be: its parent is a regular file.
        const QString inFile = old + QStringLiteral("/site.csv");
        QVERIFY(!site.saveSiteTo(inFile, &problem));
        QVERIFY(shownMessage(site, "siteNotSaved").endsWith(problem));
        QCOMPARE(contentsOf(old), oldText);
        QCOMPARE(site.document().path(), old);
        QVERIFY(site.saveSiteTo(old));
        QCOMPARE(contentsOf(old).count('\n'), 11);
    }

    // Closing with changes not saved asks; Cancel keeps the window, Discard closes it.
    void closingWithChangesAsks() {
        frmSite& site = this->site();
        QVERIFY(site.close());
        site.show();
        QVERIFY(addMotor(site, QStringLiteral("123456"), QStringLiteral("Office")));
        answerNextQuestion(QMessageBox::Cancel);
        QVERIFY(!site.close());
        QVERIFY(site.isVisible());
        answerNextQuestion(QMessageBox::Discard);
        QVERIFY(site.close());
    }

    // Ten motors made in the window and saved: rvx-strings --batch reads the file and gives
    // every string the window shows them, in the same order, and exactly the window's export.
    void theBatchGivesTheStringsOfTheWindow() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ten.csv"));
        frmSite& site = this->site();
        for (int k = 0; k < 10; ++k) {
            QVERIFY(addMotor(site,
                             QStringLiteral("%1").arg(0x1A2B00 + k * 37, 6, 16, QLatin1Char('0')),
                             QStringLiteral("blind %1").arg(k),
                             k % 4 == 3 ? QStringLiteral("group") : QStringLiteral("single"),
                             k % 2 == 0 ? QStringLiteral("Floor %1, west").arg(k / 2) : QString()));
        }
        QVERIFY(site.saveSiteTo(path));
        selectAll(site);
        QStringList windowStrings;
        for (const QString& line : site.stringsText().split(QLatin1Char('\n'))) {
            if (line.startsWith(QStringLiteral("  "))) {
                windowStrings << line.mid(2 + 15 + 2);
            }
        }
        QCOMPARE(windowStrings.size(), 10 * 14);

        const auto runBatch = [&path](const QStringList& more) {
            return batchOutput(QStringList{"--batch", path} + more);
        };
        const QByteArray csv = runBatch({});
        QStringList rows = QString::fromUtf8(csv).split(QLatin1Char('\n'));
        QCOMPARE(rows.takeFirst(), QStringLiteral("label,kind,address,command,string"));
        rows.removeAll(QString());
        QStringList batchStrings;
        for (const QString& row : rows) {
            batchStrings << row.section(QLatin1Char(','), 4);
        }
        QCOMPARE(batchStrings, windowStrings);
        // The strings pane, made row by row as shown, holds the same strings.
        QStringList paneStrings;
        for (const QString& line :
             shownStrings(in<QListView>(site, "lstStrings")).split(QLatin1Char('\n'))) {
            if (line.startsWith(QStringLiteral("  "))) {
                paneStrings << line.mid(2 + 15 + 2);
            }
        }
        QCOMPARE(paneStrings, batchStrings);
        QCOMPARE(rows[3 * 14].section(QLatin1Char(','), 0, 2),
                 QStringLiteral("blind 3,group,1A2B6F"));

        // The window's exports are the batch's tables, byte for byte, in any notation.
        QCOMPARE(site.exportTable(false), csv);
        auto* notation = in<QComboBox>(site, "cboNotation");
        notation->setCurrentIndex(notation->findText(QStringLiteral("0x")));
        QCOMPARE(site.exportTable(true), runBatch({"--format", "json", "--notation", "0x"}));
        const QString saved = dir.filePath(QStringLiteral("strings.json"));
        QVERIFY(site.exportTo(saved, true));
        QCOMPARE(contentsOf(saved), runBatch({"--format", "json", "--notation", "0x"}));
    }

    // A platform's file of the selected motors is what rvx-strings --batch --export makes of
    // the saved site for the same target and line, labels that need escaping included; the
    // window's numbers and notation go into it; openHAB is refused for a bridge.
    void platformFilesAreTheBatchExportsOfTheSavedSite() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("east.txt"));
        frmSite& site = this->site();
        QVERIFY(addMotor(site, QStringLiteral("123456"), QStringLiteral("Kitchen blind")));
        QVERIFY(addMotor(site, QStringLiteral("0A0B0C"),
                         QStringLiteral("Hall \"east\": K\u00fcche"), QStringLiteral("group"),
                         QStringLiteral("Hall")));
        QVERIFY(addMotor(site, QStringLiteral("FEDCBA"), QStringLiteral("it's #1 - a: b")));
        QVERIFY(site.saveSiteTo(path));
        in<QSpinBox>(site, "spnPct")->setValue(37);
        auto* notation = in<QComboBox>(site, "cboNotation");
        notation->setCurrentIndex(notation->findText(QStringLiteral("0x")));

        const auto runExport = [&path](const QString& kind, const QStringList& more) {
            return batchOutput(QStringList{"--batch", path, "--export", kind, "--percent", "37",
                                           "--notation", "0x"} +
                               more);
        };
        BusConnection serial;
        serial.target = *rvx::bus::readTarget(QStringLiteral("/dev/ttyUSB0")).target;
        serial.settings.baudRate = 9600;
        serial.settings.parity = rvx::bus::Parity::Even;
        BusConnection bridge;
        bridge.target = *rvx::bus::readTarget(QStringLiteral("tcp://127.0.0.1:4001")).target;

        QString problem;
        selectAll(site);
        for (const rvx::SiteExportInfo& info : rvx::siteExportCatalogue) {
            const QString kind = QString::fromLatin1(info.name.data(), info.name.size());
            QCOMPARE(site.platformFile(info.kind, serial).value_or("(none)"),
                     runExport(kind,
                               {"--target", "/dev/ttyUSB0", "--baud", "9600", "--parity", "even"}));
            const bool openHab = kind.startsWith(QStringLiteral("openhab"));
            const auto overBridge = site.platformFile(info.kind, bridge, &problem);
            QCOMPARE(overBridge.has_value(), !openHab);
            if (openHab) {
                QVERIFY2(problem.contains(QStringLiteral("serial port")), qPrintable(problem));
            } else {
                QCOMPARE(*overBridge, runExport(kind, {"--target", "tcp://127.0.0.1:4001"}));
            }
        }
        // The selection is what goes in.
        selectRow(site, 1);
        const QByteArray one =
            site.platformFile(rvx::SiteExportKind::HomeAssistant, bridge).value_or("(none)");
        QVERIFY(one.contains("0x0A, 0x0B, 0x0C"));
        QVERIFY(!one.contains("0x12, 0x34, 0x56"));

        // A list given whole with an address that is not right is refused whole: the list
        // never holds a motor that a file would leave out unsaid.
        const QList<rvx::Motor> before = site.document().motors().motors();
        QVERIFY(!site.document().motors().setMotors(
            {motorAt(QStringLiteral("12345G"), QStringLiteral("Porch")),
             motorAt(QStringLiteral("123456"))}));
        QCOMPARE(site.document().motors().motors(), before);
        QCOMPARE(in<QLabel>(site, "lblProblem")->text(),
                 QStringLiteral("address \"12345G\": must be six hexadecimal digits; character "
                                "6, \"G\", is not one; not taken"));
        // Nothing selected, nothing made.
        in<QTableView>(site, "tblMotors")->clearSelection();
        QVERIFY(!site.platformFile(rvx::SiteExportKind::NodeRed, bridge, &problem));
        QCOMPARE(problem, QStringLiteral("Select the motors to export."));
    }

    // Export, as a user goes: the button's menu, the platform's connection asked for (the
    // sending connection offered, and kept as it was), the file named, the file written.
    void exportAsksWhereThePlatformSendsAndWritesTheFile() {
        useLine(QStringLiteral("tcp://10.0.0.5:4001"));
        QTemporaryDir dir;
        frmSite& site = this->site();
        auto* button = in<QPushButton>(site, "cmdExport");
        QVERIFY(!button->isEnabled());
        QVERIFY(addMotor(site, QStringLiteral("123456"), QStringLiteral("Kitchen blind")));
        selectRow(site, 0);
        QVERIFY(button->isEnabled());

        // An entry of the button's menu, as a click on it picks it.
        const auto choose = [button, &site](const char* entry) {
            for (QAction* action : button->menu()->actions()) {
                if (action->objectName() == QLatin1String(entry)) {
                    action->trigger();
                }
            }
            return site.findChild<BusConnectionDialog*>();
        };
        // openHAB: a serial port only, so the remembered bridge is not offered.
        auto* ask = choose("actExport_openhab-things");
        QVERIFY(ask != nullptr);
        QVERIFY(!in<QRadioButton>(*ask, "optBridge")->isEnabled());
        QVERIFY(in<QRadioButton>(*ask, "optSerial")->isChecked());
        ask->reject();
        QTRY_VERIFY(site.findChild<BusConnectionDialog*>() == nullptr);

        ask = choose("actExport_node-red");
        QVERIFY(ask != nullptr);
        QVERIFY(in<QRadioButton>(*ask, "optBridge")->isChecked());
        auto* host = in<QLineEdit>(*ask, "txtHost");
        QCOMPARE(host->text(), QStringLiteral("10.0.0.5"));
        host->clear();
        QTest::keyClicks(host, QStringLiteral("127.0.0.1"));
        QTest::keyClick(ask, Qt::Key_Return);
        auto* file = site.findChild<QFileDialog*>(QStringLiteral("exportPlatformFile"));
        QVERIFY(file != nullptr);
        QVERIFY(file->selectedFiles().value(0).endsWith(QStringLiteral("rvx-flow.json")));
        const QString path = dir.filePath(QStringLiteral("kitchen-flow.json"));
        file->selectFile(path);
        QVERIFY(QMetaObject::invokeMethod(file, "accept"));

        BusConnection used;
        used.target = *rvx::bus::readTarget(QStringLiteral("tcp://127.0.0.1:4001")).target;
        QCOMPARE(contentsOf(path),
                 site.platformFile(rvx::SiteExportKind::NodeRed, used).value_or("(none)"));
        // The window's sending connection is the one it had.
        QCOMPARE(BusConnection::load()->target.text(), QStringLiteral("tcp://10.0.0.5:4001"));
    }
};

QTEST_MAIN(SiteTest)
#include "site_test.moc"
