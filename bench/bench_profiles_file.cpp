// Building and reading whole profile images: the largest profile (100 macros
// of 4000 actions) and a small one with texts on many keys.
#include <benchmark/benchmark.h>

#include <memory>

#include "profiles/profile_file.h"

using namespace keyloom;

namespace {

std::unique_ptr<keys::KeyMacroStore> MakeStore(int macros, int texts) {
  auto store = std::make_unique<keys::KeyMacroStore>();
  store->block = profiles::EmptyProfileBlock(0);
  for (int m = 0; m < macros; ++m) {
    keys::MacroRecord macro;
    macro.id = static_cast<std::uint16_t>(m + 1);
    keys::SetMacroName(macro, u"A long enough macro name");
    for (std::size_t a = 0; a < keys::kMaxMacroActions; ++a) {
      keys::AppendMacroAction(macro, {10, 0x1E, static_cast<std::uint16_t>(a % 2)});
    }
    store->macros.push_back(std::move(macro));
  }
  for (int i = 0; i < texts; ++i) {
    store->block.tables[i % 3][i % 256] = {static_cast<std::uint16_t>(keys::KeyKind::TextBlock), 0, 0, 0, 0};
    store->SetString(keys::StringSlotIndex(i % 3, i % 256), u"Some text typed by a key, of a usual length");
  }
  return store;
}

void BM_BuildProfileImage(benchmark::State& state) {
  auto store = MakeStore(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) benchmark::DoNotOptimize(profiles::BuildProfileImage(*store, 2u));
}
BENCHMARK(BM_BuildProfileImage)->Args({0, 200})->Args({100, 0});

void BM_ParseProfileImage(benchmark::State& state) {
  auto store = MakeStore(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const std::vector<std::uint8_t> image = profiles::BuildProfileImage(*store, 2u);
  auto loaded = std::make_unique<profiles::LoadedProfile>();
  for (auto _ : state) benchmark::DoNotOptimize(profiles::ParseProfileImage(image, *loaded));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}
BENCHMARK(BM_ParseProfileImage)->Args({0, 200})->Args({100, 0});

}  // namespace
