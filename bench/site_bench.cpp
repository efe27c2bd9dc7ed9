// A site of 10 000 and of 100 000 motors in the real site window (offscreen): opening its file
// (reading and checking every line, and the list shown), filtering the list key by key as a
// text is typed and erased, sorting it by a column, and changing the selection (all motors,
// then one), the strings pane following. The window must show each without a pause an
// installer would see.
//
// Each run says how it stands to its goal ("to_goal", the time over the goal: 1 or less is
// met) and, where there is one, to its floor timed in the same run, step for step in turn
// with the window's ("to_floor"):
//   - filter: a QSortFilterProxyModel over the same motors that reads the cells themselves,
//     its filter text changed inside one model reset (the cheapest a sort-filter proxy does);
//   - sort: the same proxy sorting with lessThan on the cells of the motors themselves.
// Opening also says how much memory the list takes per motor ("B_per_motor", the heap the
// open adds, with the window showing it), against its goal of 300 bytes.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <memory>

#include "session.h"
#include "site/frmSite.h"
#include "site/motor_list_model.h"
#include "site/site_document.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A site file as the window writes one: labels, rooms and a note now and then.
QString writeSite(const QTemporaryDir& dir, int motors) {
    const QString path = dir.filePath(QStringLiteral("site.csv"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return {};
    }
    QByteArray text;
    for (int k = 0; k < motors; ++k) {
        text += QStringLiteral("%1,%2,\"Blind %3\",Floor %4%5\n")
                    .arg(0x100000 + k * 7, 6, 16, QLatin1Char('0'))
                    .arg(k % 10 == 0 ? QStringLiteral("group") : QStringLiteral("single"))
                    .arg(k)
                    .arg(k % 40)
                    .arg(k % 3 == 0 ? QStringLiteral(",checked on site") : QString())
                    .toUtf8();
    }
    return file.write(text) == text.size() ? path : QString();
}

// The heap in use, in bytes; 0 where it cannot be told.
double heapBytes() {
#if defined(__GLIBC__)
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
#else
    return 0;
#endif
}

// The floor: a sort-filter proxy on the motors' cells as the table shows them.
class FloorProxy : public QSortFilterProxyModel {
public:
    explicit FloorProxy(const MotorListModel& motors) {
        cells_.reserve(motors.rowCount());
        for (int row = 0; row < motors.rowCount(); ++row) {
            std::array<QString, MotorListModel::ColumnCount> cells;
            for (int column = 0; column < MotorListModel::ColumnCount; ++column) {
                cells[static_cast<std::size_t>(column)] =
                    motors.index(row, column).data().toString();
            }
            cells_.append(cells);
        }
        setSortCaseSensitivity(Qt::CaseInsensitive);
    }
    void setText(const QString& text) {
        beginResetModel();
        text_ = text;
        endResetModel();
    }

protected:
    [[nodiscard]] bool filterAcceptsRow(int row, const QModelIndex& /*parent*/) const override {
        if (text_.isEmpty()) {
            return true;
        }
        return std::any_of(cells_[row].begin(), cells_[row].end(), [this](const QString& cell) {
            return cell.contains(text_, Qt::CaseInsensitive);
        });
    }
    [[nodiscard]] bool lessThan(const QModelIndex& left, const QModelIndex& right) const override {
        const auto column = static_cast<std::size_t>(left.column());
        return QString::compare(cells_[left.row()][column], cells_[right.row()][column],
                                Qt::CaseInsensitive) < 0;
    }

private:
    QList<std::array<QString, MotorListModel::ColumnCount>> cells_;
    QString text_;
};

// The window with a site of that many motors open and shown, and the floor's table beside it.
struct OpenWindow {
    QTemporaryDir dir;
    QString path;
    Session session;
    frmSite site{session};
    QTableView* table = nullptr;
    QTableView floorTable;
    std::unique_ptr<FloorProxy> floor;
    bool ok = false;

    OpenWindow(int motors, bool withFloor) {
        path = writeSite(dir, motors);
        site.show();
        if (path.isEmpty() || !QTest::qWaitForWindowExposed(&site) || !site.openSite(path)) {
            return;
        }
        table = site.findChild<QTableView*>(QStringLiteral("tblMotors"));
        if (withFloor) {
            floor = std::make_unique<FloorProxy>(site.document().motors());
            floor->setSourceModel(&site.document().motors());
            floorTable.setModel(floor.get());
            floorTable.setSelectionBehavior(QAbstractItemView::SelectRows);
            floorTable.verticalHeader()->setDefaultSectionSize(
                table->verticalHeader()->defaultSectionSize());
            floorTable.resize(table->size());
            floorTable.show();
            if (!QTest::qWaitForWindowExposed(&floorTable)) {
                return;
            }
        }
        QCoreApplication::processEvents();
        ok = table != nullptr;
    }
};

void setGoal(benchmark::State& state, double ms, double goalMs) {
    state.counters["goal_ms"] = goalMs;
    state.counters["to_goal"] = ms / goalMs;
}

void openSite(benchmark::State& state) {
    const auto motors = static_cast<int>(state.range(0));
    const QTemporaryDir dir;
    const QString path = writeSite(dir, motors);
    Session session;
    frmSite site(session);
    site.show();
    if (path.isEmpty() || !QTest::qWaitForWindowExposed(&site)) {
        state.SkipWithError("no site file or no window");
        return;
    }
    QCoreApplication::processEvents();
    const double before = heapBytes();
    double after = 0;
    double total = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!site.openSite(path)) {
            state.SkipWithError("the site was not opened");
            return;
        }
        QCoreApplication::processEvents();
        const double ms = msSince(start);
        total += ms;
        state.SetIterationTime(ms / 1000);
        if (after == 0) {
            after = heapBytes();
        }
    }
    setGoal(state, total / static_cast<double>(state.iterations()), 150);
    if (before > 0) {
        const double perMotor = (after - before) / motors;
        state.counters["B_per_motor"] = perMotor;
        state.counters["B_to_goal"] = perMotor / 300;
    }
}
BENCHMARK(openSite)->ArgName("motors")->Arg(10000)->Arg(100000)->UseManualTime()->Unit(
    benchmark::kMillisecond);

// One key of a filter text typed or erased: "floor 17" typed key by key, then erased key by
// key; the list narrowed or widened as each key is pressed. The floor gets the same texts.
void filterSite(benchmark::State& state) {
    OpenWindow window(static_cast<int>(state.range(0)), true);
    if (!window.ok) {
        state.SkipWithError("no site");
        return;
    }
    auto* filter = window.site.findChild<QLineEdit*>(QStringLiteral("txtFilter"));
    filter->setFocus();
    const QString typed = QStringLiteral("floor 17");
    std::vector<QString> texts;  // the text after each key
    std::vector<int> keys;       // the key: a character, or 0 for Backspace
    for (qsizetype k = 1; k <= typed.size(); ++k) {
        texts.push_back(typed.left(k));
        keys.push_back(typed[k - 1].unicode());
    }
    for (qsizetype k = typed.size() - 1; k >= 0; --k) {
        texts.push_back(typed.left(k));
        keys.push_back(0);
    }
    std::size_t step = 0;
    double total = 0;
    double worst = 0;
    double floorTotal = 0;
    double floorWorst = 0;
    for (auto _ : state) {
        const std::size_t at = step++ % texts.size();
        auto start = Clock::now();
        if (keys[at] == 0) {
            QTest::keyClick(filter, Qt::Key_Backspace);
        } else {
            QTest::keyClicks(filter, QString(QChar(keys[at])));
        }
        QCoreApplication::processEvents();
        const double ms = msSince(start);
        state.SetIterationTime(ms / 1000);
        total += ms;
        worst = std::max(worst, ms);
        benchmark::DoNotOptimize(window.table->model()->rowCount());

        start = Clock::now();
        window.floor->setText(texts[at]);
        QCoreApplication::processEvents();
        const double floorMs = msSince(start);
        floorTotal += floorMs;
        floorWorst = std::max(floorWorst, floorMs);
        if (window.floor->rowCount() != window.table->model()->rowCount()) {
            state.SkipWithError("the window and the floor keep different rows");
            return;
        }
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["worst_ms"] = worst;
    state.counters["floor_ms"] = floorTotal / n;
    state.counters["floor_worst_ms"] = floorWorst;
    state.counters["to_floor"] = total / floorTotal;
    setGoal(state, worst, 16);
}
BENCHMARK(filterSite)
    ->ArgName("motors")
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Sorting by a column, by room then by label, ascending then descending; the floor sorts the
// same way in turn.
void sortSite(benchmark::State& state) {
    OpenWindow window(static_cast<int>(state.range(0)), true);
    if (!window.ok) {
        state.SkipWithError("no site");
        return;
    }
    int step = 0;
    double total = 0;
    double floorTotal = 0;
    for (auto _ : state) {
        const int column = step % 4 < 2 ? MotorListModel::Room : MotorListModel::Label;
        const Qt::SortOrder order = step % 2 == 0 ? Qt::AscendingOrder : Qt::DescendingOrder;
        ++step;
        auto start = Clock::now();
        window.table->sortByColumn(column, order);
        QCoreApplication::processEvents();
        const double ms = msSince(start);
        state.SetIterationTime(ms / 1000);
        total += ms;

        start = Clock::now();
        window.floorTable.sortByColumn(column, order);
        QCoreApplication::processEvents();
        floorTotal += msSince(start);
    }
    state.counters["floor_ms"] = floorTotal / static_cast<double>(state.iterations());
    state.counters["to_floor"] = total / floorTotal;
    setGoal(state, total / static_cast<double>(state.iterations()), 100);
}
BENCHMARK(sortSite)->ArgName("motors")->Arg(10000)->Arg(100000)->UseManualTime()->Unit(
    benchmark::kMillisecond);

// A selection change as a user makes it, the strings pane following: Ctrl+A in the list
// (every motor chosen), then a click on one motor.
void selectSite(benchmark::State& state) {
    OpenWindow window(static_cast<int>(state.range(0)), false);
    if (!window.ok) {
        state.SkipWithError("no site");
        return;
    }
    QTableView* table = window.table;
    table->setFocus();
    const QPoint firstRow = table->visualRect(table->model()->index(0, 0)).center();
    bool all = true;
    double total = 0;
    double worst = 0;
    double allTotal = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (all) {
            QTest::keyClick(table, Qt::Key_A, Qt::ControlModifier);
        } else {
            QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, firstRow);
        }
        QCoreApplication::processEvents();
        const double ms = msSince(start);
        state.SetIterationTime(ms / 1000);
        total += ms;
        worst = std::max(worst, ms);
        if (all) {
            allTotal += ms;
        }
        all = !all;
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["select_all_ms"] = allTotal / std::max(1.0, std::ceil(n / 2));
    state.counters["worst_ms"] = worst;
    setGoal(state, worst, 16);
    benchmark::DoNotOptimize(total);
}
BENCHMARK(selectSite)
    ->ArgName("motors")
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
