#include "cli/key_arguments.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <cstdio>

#include "i18n/texts.h"
#include "platform/text.h"

namespace keyloom::cli {

namespace {

using keys::KeyCode;
using keys::KeyKind;

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return out;
}

// Whole hex number of one to four digits.
std::optional<unsigned> ParseHex(std::string_view digits) {
  if (digits.empty() || digits.size() > 4) return std::nullopt;
  unsigned value = 0;
  auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
  if (ec != std::errc() || ptr != digits.data() + digits.size()) return std::nullopt;
  return value;
}

std::optional<int> ParseSmall(std::string_view digits, int max) {
  if (digits.empty() || digits.size() > 3) return std::nullopt;
  int value = 0;
  auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || ptr != digits.data() + digits.size() || value < 0 || value > max) return std::nullopt;
  return value;
}

// A key with a row of its own in the catalogue (a name or a device code),
// whose code and slot lead to each other.
bool IsCatalogueKey(KeyCode code) {
  if (code == 0 || code >= keys::kFirstGKeyCode) return false;
  const std::uint16_t slot = keys::KeyCodeToSlot(code);
  if (slot >= keys::kSlotCount || keys::SlotToKeyCode(slot) != code) return false;
  const keys::KeyInfo& info = keys::KeyInfoOfSlot(slot);
  return !info.nameKey.empty() || info.deviceCode != 0;
}

bool NameMatches(KeyCode code, const std::string& wanted) {
  const keys::KeyInfo& info = keys::KeyInfoOfSlot(keys::KeyCodeToSlot(code));
  if (info.nameKey.empty()) return false;
  const std::string english = Lower(text::ToUtf8(i18n::Text(info.nameKey, i18n::kFallbackLanguageIndex)));
  if (english == wanted && english != "#error") return true;
  return Lower(text::ToUtf8(keys::GetKeyName(code))) == wanted;
}

}  // namespace

std::optional<KeyCode> FindKeyCode(std::string_view text, bool panel_only) {
  const std::string wanted = Lower(text);
  if (wanted.empty()) return std::nullopt;
  auto allowed = [&](KeyCode code) {
    return panel_only ? keys::PanelIndexOfKeyCode(code) >= 0 : IsCatalogueKey(code);
  };
  std::optional<unsigned> number;
  if (wanted.rfind("0x", 0) == 0) {
    number = ParseHex(std::string_view(wanted).substr(2));
  } else if (wanted.rfind("key_", 0) == 0) {
    // Skin entries name a key by its slot.
    if (const auto slot = ParseHex(std::string_view(wanted).substr(4)); slot && *slot < keys::kSlotCount) {
      const KeyCode code = keys::SlotToKeyCode(std::uint16_t(*slot));
      if (allowed(code) && Lower(keys::PanelKeySkinName(code)) == wanted) return code;
    }
    return std::nullopt;
  }
  if (number) {
    if (*number <= 0xFFFF && allowed(KeyCode(*number))) return KeyCode(*number);
    return std::nullopt;
  }
  // By name: the keys of the on-screen keyboard first, then the catalogue.
  for (const keys::PanelOrderKey& k : keys::PanelOrderKeys())
    if (NameMatches(k.code, wanted)) return k.code;
  if (panel_only) return std::nullopt;
  for (std::uint16_t slot = 0; slot < keys::kSlotCount; ++slot) {
    const KeyCode code = keys::SlotToKeyCode(slot);
    if (IsCatalogueKey(code) && NameMatches(code, wanted)) return code;
  }
  return std::nullopt;
}

namespace {

std::string EnglishName(KeyCode code) {
  const keys::KeyInfo& info = keys::KeyInfoOfSlot(keys::KeyCodeToSlot(code));
  if (info.nameKey.empty()) return {};
  const std::string name = text::ToUtf8(i18n::Text(info.nameKey, i18n::kFallbackLanguageIndex));
  return Lower(name) == "#error" ? std::string() : name;
}

}  // namespace

std::vector<std::string> KeyNames(bool panel_only) {
  // The keys FindKeyCode searches by name, in its order.
  std::vector<KeyCode> order;
  for (const keys::PanelOrderKey& k : keys::PanelOrderKeys()) order.push_back(k.code);
  if (!panel_only) {
    for (std::uint16_t slot = 0; slot < keys::kSlotCount; ++slot) {
      const KeyCode code = keys::SlotToKeyCode(slot);
      if (IsCatalogueKey(code)) order.push_back(code);
    }
  }
  // The key each name finds: the first whose English or shown name it is
  // (one pass instead of a search per name).
  std::map<std::string, KeyCode> finds;
  for (const KeyCode code : order) {
    if (keys::KeyInfoOfSlot(keys::KeyCodeToSlot(code)).nameKey.empty()) continue;
    const std::string english = Lower(EnglishName(code));
    if (!english.empty()) finds.emplace(english, code);
    finds.emplace(Lower(text::ToUtf8(keys::GetKeyName(code))), code);
  }
  std::vector<std::string> names;
  for (const KeyCode code : order) {
    const std::string name = EnglishName(code);
    const std::string lower = Lower(name);
    // Words that read as a code or a skin name are not looked up by name.
    if (name.empty() || lower.rfind("0x", 0) == 0 || lower.rfind("key_", 0) == 0) continue;
    if (finds[lower] != code) continue;  // another key has this name first
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  return names;
}

std::vector<std::string> MediaNames() {
  std::vector<std::string> names;
  for (const keys::MediaKey& media : keys::MediaKeys()) names.push_back(EnglishName(media.code));
  return names;
}

bool ParseKeyTarget(std::string_view text, KeyTarget& target, std::string& reason) {
  const std::string word = Lower(text);
  if (word.size() == 2 && word[0] == 'g' && word[1] >= '1' && word[1] <= '9') {
    const int g = word[1] - '0';
    target = {keys::GKeyRecordIndex(g - 1, 0), KeyCode(keys::kFirstGKeyCode + g - 1), g};
    return true;
  }
  const std::optional<KeyCode> code = FindKeyCode(text, true);
  if (!code) {
    reason = "no key '" + std::string(text) + "' on the keyboard (a key code like 0x01E, KEY_01E, G1..G9 or a key name)";
    return false;
  }
  target = {keys::KeyCodeToSlot(*code), *code, 0};
  return true;
}

bool ParseAction(std::string_view text, ActionSpec& action, std::string& reason) {
  action = {};
  const std::string word = Lower(text);
  const std::size_t colon = text.find(':');
  const std::string kind = colon == std::string_view::npos ? word : word.substr(0, colon);
  const std::string_view argument = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
  auto no_argument = [&](KeyKind k) {
    if (colon != std::string_view::npos) {
      reason = "action '" + kind + "' takes no value";
      return false;
    }
    action.kind = k;
    return true;
  };
  if (kind == "default") return no_argument(KeyKind::Default);
  if (kind == "disabled") return no_argument(KeyKind::Disabled);
  if (kind == "stop-macro") return no_argument(KeyKind::StopMacro);
  if (colon == std::string_view::npos) {
    reason = "unknown action '" + std::string(text) +
             "' (default, disabled, key:KEY, macro:NAME, stop-macro, media:NAME|INDEX, function:N)";
    return false;
  }
  if (kind == "key") {
    const std::optional<KeyCode> code = FindKeyCode(argument, false);
    if (!code) {
      reason = "no key '" + std::string(argument) + "' to send";
      return false;
    }
    action.kind = KeyKind::SingleKey;
    action.value = *code;
    return true;
  }
  if (kind == "macro") {
    if (argument.empty()) {
      reason = "macro: needs the macro's name";
      return false;
    }
    action.kind = KeyKind::Macro;
    action.macro_name = std::string(argument);
    return true;
  }
  if (kind == "media") {
    const auto media = keys::MediaKeys();
    std::optional<int> index = ParseSmall(argument, int(media.size()) - 1);
    if (!index) {
      const std::string wanted = Lower(argument);
      for (std::size_t i = 0; i < media.size() && !index; ++i)
        if (NameMatches(media[i].code, wanted)) index = int(i);
    }
    if (!index) {
      reason = "no media function '" + std::string(argument) + "' (0.." + std::to_string(media.size() - 1) +
               " or a name; see 'keyloomctl keys --help')";
      return false;
    }
    action.kind = KeyKind::Media;
    action.value = std::uint32_t(*index);
    return true;
  }
  if (kind == "function") {
    const std::optional<int> index = ParseSmall(argument, keys::kFunctionKeyCount - 1);
    if (!index) {
      reason = "function: takes 0.." + std::to_string(keys::kFunctionKeyCount - 1) + ", not '" +
               std::string(argument) + "'";
      return false;
    }
    action.kind = KeyKind::Function;
    action.value = std::uint32_t(*index);
    return true;
  }
  reason = "unknown action '" + std::string(text) + "'";
  return false;
}

keys::KeyChoice ChoiceOf(const ActionSpec& action) {
  keys::KeyChoice choice;
  choice.kind = action.kind;
  choice.value = action.value;
  if (action.kind == KeyKind::Macro) choice.macro_name = text::FromUtf8(action.macro_name);
  return choice;
}

std::string RefusalReason(const keys::KeyChange& change, const ActionSpec& action) {
  using Outcome = keys::KeyChange::Outcome;
  switch (change.outcome) {
    case Outcome::kStored:
      return {};
    case Outcome::kAmbiguousMacro:
      return "more than one macro is named '" + action.macro_name + "' ignoring case";
    case Outcome::kNoSuchMacro:
      return "no macro named '" + action.macro_name + "'";
    case Outcome::kBadEntry:
      return "no such entry " + std::to_string(action.value);
    case Outcome::kNotEditable:
      return "program and text assignments come only with profile files";
    case Outcome::kNoSuchKey:
      break;
  }
  return "could not store the assignment of record " + std::to_string(change.record);
}

bool ResolveAction(const ActionSpec& action, const keys::KeyMacroStore& store, const KeyTarget& target,
                   keys::KeyAssignment& record, std::string& reason) {
  const keys::KeyChange change = keys::ResolveKeyChoice(store, target.record, ChoiceOf(action));
  if (!change.Ok()) {
    reason = RefusalReason(change, action);
    return false;
  }
  record = change.stored;
  return true;
}

int FindMacroByName(std::span<const keys::MacroRecord> macros, std::string_view name, std::string& reason) {
  const keys::MacroByName found = keys::FindMacroByName(macros, text::FromUtf8(name));
  if (found.position >= 0) return found.position;
  reason = found.folded_matches > 1 ? "more than one macro is named '" + std::string(name) + "' ignoring case"
                                    : "no macro named '" + std::string(name) + "'";
  return -1;
}

std::string KeyWord(KeyCode code) {
  char buf[16];
  if (code >= keys::kFirstGKeyCode)
    std::snprintf(buf, sizeof buf, "G%d", (code - keys::kFirstGKeyCode) % keys::kGKeyCount + 1);
  else
    std::snprintf(buf, sizeof buf, "0x%03X", unsigned(code));
  return buf;
}

std::string ActionWord(const keys::KeyMacroStore& store, const keys::KeyAssignment& record) {
  switch (static_cast<KeyKind>(record.kind)) {
    case KeyKind::Default:
      return "default";
    case KeyKind::Disabled:
      return "disabled";
    case KeyKind::SingleKey:
      return "key:" + KeyWord(KeyCode(record.value <= 0xFFFF ? record.value : 0));
    case KeyKind::LaunchProgram:
      return "program";
    case KeyKind::Macro: {
      auto lock = store.Lock();
      for (const keys::MacroRecord& m : store.macros)
        if (m.id == record.value) return "macro:" + text::ToUtf8(m.name);
      return "macro:";
    }
    case KeyKind::StopMacro:
      return "stop-macro";
    case KeyKind::TextBlock:
      return "text";
    case KeyKind::Media:
      return "media:" + std::to_string(record.value);
    case KeyKind::Function:
      return "function:" + std::to_string(record.value);
  }
  return "kind:" + std::to_string(record.kind);
}

}  // namespace keyloom::cli
