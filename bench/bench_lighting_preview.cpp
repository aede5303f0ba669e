// One preview tick per effect, colourful and in one colour, into the table
// of key overlays. The tick runs every 50 ms; it should take well under 1 %
// of that (500 us).
#include <benchmark/benchmark.h>

#include "lighting/preview_engine.h"
#include "lighting/preview_overlays.h"

namespace {

using namespace keyloom::lighting;
using namespace keyloom::lighting::preview;

class FixedClock final : public PreviewClock {
 public:
  std::int64_t Seconds() override { return 1700000000; }
};

void BM_PreviewTick(benchmark::State& state) {
  FixedClock clock;
  LcgPreviewRandom random;
  PreviewEngine engine(clock, random);
  KeyOverlayTable keys;
  PreviewInput in;
  in.effect = int(state.range(0));
  in.colourful = state.range(1) != 0;
  in.direction = 255;
  in.main_colour = MakeColour(200, 100, 50);
  for (auto _ : state) {
    engine.Tick(in, true, keys);
    benchmark::DoNotOptimize(keys.Overlays().data());
  }
}

void Effects(benchmark::internal::Benchmark* b) {
  for (int effect = 1; effect <= 20; ++effect)
    for (int colourful : {1, 0}) b->Args({effect, colourful});
}

BENCHMARK(BM_PreviewTick)->Apply(Effects)->ArgNames({"effect", "colourful"});

}  // namespace
