// One press of "Calculate" of the address frame in the real main window (offscreen): the
// mouse click, the handler, the generation and every change reaction that the press sets off.
//
// Before each press, outside the timing, the address is edited as a user would between two
// presses, which empties the fourteen strings; the press then fills them again.
//   - upper-case address: the fourteen strings written into empty fields;
//   - lower-case address: the press first writes the address back upper-cased, whose change
//     reaction empties the strings and restores four parameter fields, then the strings;
//   - repainted: upper-case, and the window repainted before the press counts as done.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <array>

#include "byte_text.h"
#include "main/frmMain.h"

namespace {

enum Variant { UpperCase, LowerCase, Repainted };

void calculatePress(benchmark::State& state) {
    const auto variant = static_cast<Variant>(state.range(0));
    frmMain window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        state.SkipWithError("the window was not shown");
        return;
    }
    QTest::mouseClick(window.findChild<QRadioButton*>(QStringLiteral("optSM")), Qt::LeftButton);
    QTest::mouseClick(window.findChild<QRadioButton*>(QStringLiteral("optMQR")), Qt::LeftButton);
    auto* address = window.findChild<QLineEdit*>(QStringLiteral("txtSM"));
    auto* calculate = window.findChild<QPushButton*>(QStringLiteral("cmdCalc"));
    auto* unlock = window.findChild<QLineEdit*>(QStringLiteral("txtUL"));

    const std::array<QString, 2> addresses =
        variant == LowerCase ? std::array{QStringLiteral("12ab56"), QStringLiteral("65ba21")}
                             : std::array{QStringLiteral("12AB56"), QStringLiteral("65BA21")};
    int next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        address->setText(addresses[next]);
        next = 1 - next;
        QCoreApplication::processEvents();
        state.ResumeTiming();
        QTest::mouseClick(calculate, Qt::LeftButton);
        if (variant == Repainted) {
            window.repaint();
        }
    }
    if (!rvx::check::isVerifiedString(unlock->text().toStdString())) {
        state.SkipWithError("the press gave no string");
    }
}
BENCHMARK(calculatePress)
    ->ArgName("variant")
    ->Arg(UpperCase)
    ->Arg(LowerCase)
    ->Arg(Repainted)
    ->Unit(benchmark::kMicrosecond);

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
