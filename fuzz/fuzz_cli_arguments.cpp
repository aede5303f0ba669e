// keyloomctl's key, action and macro action words on any bytes: the parsers
// stay bounded, and an action list they accept is printed back into a text
// that parses to the same actions.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/key_arguments.h"
#include "cli/macro_arguments.h"
#include "i18n/texts.h"
#include "keys/key_macro_store.h"

using namespace keyloom;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  i18n::SetLanguageFileDir(std::filesystem::path(KEYLOOM_SOURCE_DIR) / "res");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Three words separated by NUL bytes: KEY, ACTION and an action list.
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> words(3);
  std::size_t w = 0;
  for (const char c : input) {
    if (c == '\0' && w < 2)
      ++w;
    else
      words[w] += c;
  }
  std::string reason;
  cli::KeyTarget target;
  const bool key_parsed = cli::ParseKeyTarget(words[0], target, reason);
  if (key_parsed && (target.record < 0 || target.record >= keys::kRecordsPerTable)) std::abort();
  cli::ActionSpec action;
  if (key_parsed && cli::ParseAction(words[1], action, reason) && action.kind != keys::KeyKind::Macro) {
    static keys::KeyMacroStore store;
    keys::KeyAssignment record;
    if (!cli::ResolveAction(action, store, target, record, reason)) std::abort();
    cli::ActionSpec again;
    if (!cli::ParseAction(cli::ActionWord(store, record), again, reason)) std::abort();
    // A key given itself keeps its default action; anything else reads back as given.
    const bool itself = action.kind == keys::KeyKind::SingleKey && again.kind == keys::KeyKind::Default;
    if (!itself && (again.kind != action.kind || again.value != action.value)) std::abort();
  }
  std::vector<keys::MacroAction> actions;
  if (cli::ParseMacroActions(words[2], actions, reason)) {
    if (actions.size() > keys::kMaxMacroActions) std::abort();
    std::vector<keys::MacroAction> back;
    if (!cli::ParseMacroActions(cli::MacroActionsText(actions), back, reason) || back != actions) std::abort();
  }
  return 0;
}
