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
#include "update/string_table.h"
#include "update/update_procedure.h"

namespace zmr {
namespace {

class QuietWidget final : public ProgressWindow {
 public:
  bool Create() override { return true; }
  void Destroy() override {}
  void SetCaption(const std::string&) override {}
  void SetMessage(const std::string&) override {}
  void SetBarRange(int32_t, int32_t) override {}
  void SetBarStep(int32_t) override {}
  int32_t SetBarPosition(int32_t position) override {
    const int32_t previous = position_;
    position_ = position;
    return previous;
  }
  std::string PercentText() const override { return percent_; }
  void SetPercentText(const std::string& text) override { percent_ = text; }
  void DrainEvents() override {}

 private:
  int32_t position_ = 0;
  std::string percent_ = " 0 %";
};

class QuietView final : public UpdateView {
 public:
  void RefreshFields(const DisplayFields&) override {}
  void EnableDownloadButton(bool) override {}
  void FocusDownloadButton() override {}
  bool IsWindowEnabled() const override { return enabled_; }
  void EnableWindow(bool enable) override { enabled_ = enable; }
  void ShowMessage(const Message& message) override { last = message.stringId; }
  std::unique_ptr<ProgressWindow> MakeProgressWindow() override {
    return std::make_unique<QuietWidget>();
  }
  uint32_t last = 0;

 private:
  bool enabled_ = true;
};

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
    QuietView view;
    CUpdateProcedure procedure(view, {clock, keys, LinkedImportedDriver(), TheDriverLibrary(),
                                      platform::Language::English});
    state.ResumeTiming();

    procedure.OnDownload();

    state.PauseTiming();
    if (view.last != IDS_SUCCESS) {
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
