// Building what one write sends: the macro image of 100 macros of 4000
// actions each (full and compact) and three key maps over the factory map.
// Allocations are counted through the global allocation functions and
// reported per iteration.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "device/device_table.h"
#include "keys/key_catalogue.h"
#include "keys/keymap_image.h"
#include "keys/macro_image.h"

namespace {
std::atomic<std::size_t> allocations{0};
}  // namespace

// The replacements stay out of line: inlined into a caller, GCC pairs the
// free() below with the standard operator new it sees there and warns of a
// mismatch that does not exist (both sides are replaced here).
[[gnu::noinline]] void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace keyloom::keys;

std::vector<MacroRecord> Macros() {
  std::vector<MacroRecord> macros(kMaxMacros);
  for (int i = 0; i < kMaxMacros; ++i) {
    macros[i].id = static_cast<std::uint16_t>(i + 1);
    macros[i].name = u"Macro with a fairly long name " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26));
    macros[i].actions.reserve(kMaxMacroActions);
    for (std::size_t a = 0; a < kMaxMacroActions; ++a) {
      macros[i].actions.push_back({static_cast<std::uint32_t>(a % 500), a % 3 == 0 ? KeyCode{0x1D} : KeyCode{0x1E},
                                   static_cast<std::uint16_t>(a % 2)});
    }
  }
  return macros;
}

void BM_MacroImage(benchmark::State& state) {
  const auto macros = Macros();
  const bool withNames = state.range(0) != 0;
  std::size_t before = allocations.load();
  std::size_t bytes = 0;
  for (auto _ : state) {
    auto image = BuildMacroImage(macros, withNames);
    bytes = image.size();
    benchmark::DoNotOptimize(image.data());
  }
  state.counters["allocs/iter"] =
      static_cast<double>(allocations.load() - before) / static_cast<double>(state.iterations());
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_MacroImage)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_ThreeKeyMaps(benchmark::State& state) {
  AssignmentTable table{};
  for (int slot = 1; slot < 256; ++slot) table[slot] = {static_cast<std::uint16_t>(slot % 9), 1, 0x30u, 0, 0};
  const auto factory = keyloom::device::BuiltInDefaultKeyMap();
  const MacroPositionOfId positions = [](std::uint16_t id) { return static_cast<int>(id % 100); };
  std::size_t before = allocations.load();
  for (auto _ : state) {
    for (int p = 0; p < 3; ++p) {
      auto map = BuildKeyMap(table, factory, 378, 126, positions);
      benchmark::DoNotOptimize(map.data());
    }
  }
  state.counters["allocs/iter"] =
      static_cast<double>(allocations.load() - before) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ThreeKeyMaps)->Unit(benchmark::kMicrosecond);

}  // namespace
