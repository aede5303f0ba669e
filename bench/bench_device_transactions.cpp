// (a) The utility's own cost per 64-byte transaction: in-process virtual
//     keyboard, no latency.
// (b) Three key layers and a 4 KiB macro area written with 1 ms latency per
//     report each way, against the protocol's floor (reports x 2 ms).
#include <benchmark/benchmark.h>
#include <sys/prctl.h>

#include <chrono>
#include <vector>

#include "device/commands.h"
#include "device/device_table.h"
#include "emulator/firmware_model.h"
#include "support/inprocess_keyboard.h"

namespace {

using namespace keyloom;

struct Connected {
  explicit Connected(std::chrono::microseconds latency) {
    keyboard = device::InProcessKeyboard::Create(model, latency);
    link.UseBackend(keyboard);
    link.CommandDevice().Open("inproc:1", true, true, true, false);
    link.SetModelSizes(0x0C45, 0x7672);
    link.DeviceConnected.store(1);
  }
  ~Connected() {
    link.DeviceConnected.store(0);
    link.CommandDevice().Close();
    link.UseBackend(nullptr);
  }
  device::ScopedCommandPause no_pause{[](std::uint32_t) {}};
  emulator::FirmwareModel model;
  std::shared_ptr<device::InProcessKeyboard> keyboard;
  device::DeviceLink link;
};

void BM_TransactionNoLatency(benchmark::State& state) {
  Connected c(std::chrono::microseconds(0));
  std::uint8_t config[device::kConfigBlockBytes];
  for (auto _ : state) {
    if (device::ReadConfig(c.link, config) != device::CommandResult::kOk) state.SkipWithError("transaction failed");
    benchmark::DoNotOptimize(config);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TransactionNoLatency);

void BM_LayersAndMacroArea1msLatency(benchmark::State& state) {
  // Wake-ups as exact as the kernel allows, as the latency is slept.
  prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
  Connected c(std::chrono::milliseconds(1));
  const std::uint32_t layer_bytes = c.link.DeviceTable.LayerBytes.load();
  std::vector<std::uint8_t> layer(layer_bytes, 0x02);
  std::vector<std::uint8_t> macro(4096, 0x55);
  const std::uint32_t chunks_per_layer = (layer_bytes + 55) / 56;
  const std::uint32_t reports = 3 * chunks_per_layer + (4096 + 55) / 56;
  const double floor_ms = reports * 2.0;
  double total_ms = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (int l = 0; l < 3; ++l) {
      if (device::WriteKeyLayer(c.link, layer.data(), l) != device::CommandResult::kOk) state.SkipWithError("layer write failed");
    }
    if (device::WriteMacroArea(c.link, macro.data(), 4096) != device::CommandResult::kOk) state.SkipWithError("macro write failed");
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    total_ms += ms;
    state.SetIterationTime(ms / 1000.0);
  }
  state.counters["reports"] = reports;
  state.counters["floor_ms"] = floor_ms;
  state.counters["ratio_to_floor"] = total_ms / state.iterations() / floor_ms;
}
BENCHMARK(BM_LayersAndMacroArea1msLatency)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
