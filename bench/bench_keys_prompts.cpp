// Producing the prompt texts of all 114 key buttons (9 G keys and 105 panel
// keys), with every kind of assignment present, the texts served from a
// cache: once from an in-memory table, once from the shipped English
// language file through the language layer (whose parsed files are cached).
#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "i18n/texts.h"
#include "keys/key_catalogue.h"
#include "keys/key_prompts.h"
#include "keys/text_source.h"

namespace {

using namespace keyloom::keys;

void FillStore(KeyMacroStore& store) {
  for (int i = 0; i < 5; ++i) {
    MacroRecord macro;
    macro.name = u"Macro number " + std::u16string(1, static_cast<char16_t>(u'1' + i));
    macro.id = static_cast<std::uint16_t>(i + 1);
    store.macros.push_back(macro);
  }
  AssignmentTable& table = store.block.tables[0];
  int n = 0;
  for (const PanelOrderKey& key : PanelOrderKeys()) {
    KeyAssignment& record = table[KeyCodeToSlot(key.code)];
    switch (n++ % 6) {
      case 0: record = {0, 0, 0, 0, 0}; break;
      case 1: record = {2, 0, static_cast<std::uint32_t>(PanelOrderKeys()[n % 105].code), 0, 0}; break;
      case 2: record = {4, 1, static_cast<std::uint32_t>(n % 5 + 1), 0, 0}; break;
      case 3: record = {7, 0, static_cast<std::uint32_t>(n % 18), 0, 0}; break;
      case 4: record = {8, 0, static_cast<std::uint32_t>(n % 11), 0, 0}; break;
      default: record = {1, 0, 0, 0, 0}; break;
    }
  }
  for (int g = 0; g < 9; ++g) table[GKeyRecordIndex(g, 0)] = {4, 1, static_cast<std::uint32_t>(g % 5 + 1), 0, 0};
}

void RunPrompts(benchmark::State& state) {
  KeyMacroStore store;
  FillStore(store);
  std::size_t units = 0;
  for (auto _ : state) {
    std::vector<ButtonPrompt> prompts = RefreshKeyPrompts(store, 0, 0);
    units += prompts.size();
    benchmark::DoNotOptimize(prompts.data());
  }
  state.counters["buttons/s"] = benchmark::Counter(static_cast<double>(units), benchmark::Counter::kIsRate);
}

void BM_KeyPrompts_TextTable(benchmark::State& state) {
  // Every key a prompt may ask for, answered from a map.
  std::map<std::string, std::u16string, std::less<>> texts;
  for (std::uint16_t slot = 0; slot < kSlotCount; ++slot) {
    const KeyInfo& info = KeyInfoOfSlot(slot);
    if (!info.nameKey.empty()) texts.emplace(std::string(info.nameKey), u"Key name text");
  }
  for (int i = 0; i < kFunctionKeyCount; ++i) texts.emplace(FunctionKeyTextKey(i), u"Function text");
  for (const char* key : {"KEY_PROMPT_SET", "KEY_PROMPT_SINGLE", "KEY_PROMPT_MACRO", "KEY_PROMPT_MEDIA",
                          "KEY_PROMPT_FUNCTION", "UNKNOWN_KEY"}) {
    texts.emplace(key, u" prompt (");
  }
  ScopedTextLookup lookup([&texts](std::string_view key) {
    auto it = texts.find(key);
    return it == texts.end() ? std::u16string(u"#Error") : it->second;
  });
  RunPrompts(state);
}
BENCHMARK(BM_KeyPrompts_TextTable);

void BM_KeyPrompts_LanguageFile(benchmark::State& state) {
  keyloom::i18n::SetLanguageFileDir(std::filesystem::path(KEYLOOM_SOURCE_DIR) / "res");
  ScopedTextLookup lookup([](std::string_view key) { return keyloom::i18n::Text(key, 2); });
  RunPrompts(state);
  keyloom::i18n::SetLanguageFileDir({});
}
BENCHMARK(BM_KeyPrompts_LanguageFile);

}  // namespace
