// A site of 10 000 motors in the real site window (offscreen): opening its file (reading and
// checking every line, and the list shown), filtering the list as a text is typed, and sorting
// it by a column. The window must show each without a pause an installer would see.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "session.h"
#include "site/frmSite.h"

namespace {

constexpr int siteMotors = 10000;

// A site file as the window writes one: labels, rooms and a note now and then.
QString writeSite(const QTemporaryDir& dir) {
    const QString path = dir.filePath(QStringLiteral("site.csv"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return {};
    }
    QByteArray text;
    for (int k = 0; k < siteMotors; ++k) {
        text += QStringLiteral("%1,%2,\"Blind %3\",Floor %4%5\n")
                    .arg(0x100000 + k * 7, 6, 16, QLatin1Char('0'))
                    .arg(k % 10 == 0 ? QStringLiteral("group") : QStringLiteral("single"))
                    .arg(k)
                    .arg(k % 40)
                    .arg(k % 3 == 0 ? QStringLiteral(",checked on site") : QString())
                    .toUtf8();
    }
    file.write(text);
    return path;
}

void openSite(benchmark::State& state) {
    const QTemporaryDir dir;
    const QString path = writeSite(dir);
    Session session;
    frmSite site(session);
    site.show();
    if (path.isEmpty() || !QTest::qWaitForWindowExposed(&site)) {
        state.SkipWithError("no site file or no window");
        return;
    }
    for (auto _ : state) {
        if (!site.openSite(path)) {
            state.SkipWithError("the site was not opened");
            return;
        }
        QCoreApplication::processEvents();
    }
    state.counters["motors"] = siteMotors;
}
BENCHMARK(openSite)->Unit(benchmark::kMillisecond);

// One key of a filter text: the list narrowed to the rows that hold it, then widened again.
void filterSite(benchmark::State& state) {
    const QTemporaryDir dir;
    const QString path = writeSite(dir);
    Session session;
    frmSite site(session);
    site.show();
    if (path.isEmpty() || !QTest::qWaitForWindowExposed(&site) || !site.openSite(path)) {
        state.SkipWithError("no site");
        return;
    }
    auto* filter = site.findChild<QLineEdit*>(QStringLiteral("txtFilter"));
    auto* table = site.findChild<QTableView*>(QStringLiteral("tblMotors"));
    for (auto _ : state) {
        filter->setText(QStringLiteral("floor 17"));
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(table->model()->rowCount());
        state.PauseTiming();
        filter->clear();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(filterSite)->Unit(benchmark::kMillisecond);

void sortSite(benchmark::State& state) {
    const QTemporaryDir dir;
    const QString path = writeSite(dir);
    Session session;
    frmSite site(session);
    site.show();
    if (path.isEmpty() || !QTest::qWaitForWindowExposed(&site) || !site.openSite(path)) {
        state.SkipWithError("no site");
        return;
    }
    auto* table = site.findChild<QTableView*>(QStringLiteral("tblMotors"));
    bool descending = false;
    for (auto _ : state) {
        table->sortByColumn(1, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        QCoreApplication::processEvents();
        descending = !descending;
    }
}
BENCHMARK(sortSite)->Unit(benchmark::kMillisecond);

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
