// SPDX-License-Identifier: MIT
// One complete successful update, from the press of Download to the closing message, against the
// simulated printer under a virtual clock: what remains is the tool's own work (building and
// validating the images, the block transfer, the progress logic) plus the simulated printer's.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "link/imported_driver.h"
#include "platform/clock.h"
#include "platform/key_state.h"
#include "sim/sim_bus.h"
#include "tests/update/quiet_view.h"
#include "update/string_table.h"
#include "update/update_procedure.h"

namespace zmr {
namespace {

void BM_SuccessfulUpdate(benchmark::State& state) {
  // The simulated libZUsbXpIf is linked into this program, so loading it by name finds it.
  if (!TheDriverLibrary().IsLoaded() && !TheDriverLibrary().Bind()) {
    state.SkipWithError("the simulated libZUsbXpIf.so cannot be loaded");
    return;
  }
  const platform::NoKeysDown keys;
  for (auto _ : state) {
    state.PauseTiming();
    VirtualClock clock;
    sim::SimBus::Instance().Reset(sim::SimConfig{}, clock);
    test::QuietView view;
    CUpdateProcedure procedure(view, {clock, keys, LinkedImportedDriver(), TheDriverLibrary(),
                                      platform::Language::English});
    state.ResumeTiming();

    procedure.OnDownload();

    state.PauseTiming();
    if (view.messages.size() != 1 || view.messages[0] != IDS_SUCCESS) {
      state.SkipWithError("the update did not succeed");
      break;
    }
    state.counters["virtual_s"] = static_cast<double>(clock.ElapsedMs()) / 1000.0;
    sim::SimBus::Instance().Clear();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SuccessfulUpdate)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zmr

BENCHMARK_MAIN();
