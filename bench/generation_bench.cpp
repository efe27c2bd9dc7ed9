// The engine alone: one full generation of the fourteen strings through a set of fields in
// memory, for a single motor and for a group address.
#include <benchmark/benchmark.h>

#include "byte_text.h"
#include "rvx/generator.h"
#include "rvx/memory_fields.h"

namespace {

void fourteenStrings(benchmark::State& state) {
    rvx::MemoryFields fields;
    fields.kind = state.range(0) == 0 ? rvx::AddressKind::Single : rvx::AddressKind::Group;
    fields.address[static_cast<std::size_t>(fields.kind)] = "12AB56";
    rvx::CommandStringEngine engine(fields);
    for (auto _ : state) {
        engine.getAddress();
        benchmark::DoNotOptimize(fields.outputs.data());
        benchmark::ClobberMemory();
    }
    for (const auto& output : fields.outputs) {
        if (!rvx::check::isVerifiedString(output)) {
            state.SkipWithError("a string did not verify");
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(rvx::commandCount));
}
BENCHMARK(fourteenStrings)->ArgName("group")->Arg(0)->Arg(1);

}  // namespace
