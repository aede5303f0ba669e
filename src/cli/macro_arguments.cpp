#include "cli/macro_arguments.h"

#include <charconv>

#include "cli/key_arguments.h"

namespace keyloom::cli {

namespace {

std::string_view Trim(std::string_view s) {
  const std::size_t first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// Takes the last space-separated word off `s`.
std::string_view TakeLastWord(std::string_view& s) {
  s = Trim(s);
  const std::size_t space = s.find_last_of(" \t");
  if (space == std::string_view::npos) {
    const std::string_view word = s;
    s = {};
    return word;
  }
  const std::string_view word = s.substr(space + 1);
  s = Trim(s.substr(0, space));
  return word;
}

bool IsState(std::string_view w, std::uint16_t& state) {
  std::string lower(w);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  if (lower == "down" || lower == "press") {
    state = keys::kPress;
    return true;
  }
  if (lower == "up" || lower == "release") {
    state = keys::kRelease;
    return true;
  }
  return false;
}

bool ParseOne(std::string_view item, keys::MacroAction& action, std::string& reason) {
  const std::string original(Trim(item));
  std::string_view rest = item;
  std::string_view word = TakeLastWord(rest);
  std::uint32_t pause = 0;
  std::uint16_t state = keys::kPress;
  if (!IsState(word, state)) {
    if (word.empty() || word.size() > 9) {
      reason = "'" + original + "' is not KEY down|up [PAUSE]";
      return false;
    }
    long long value = 0;
    auto [ptr, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (ec != std::errc() || ptr != word.data() + word.size()) {
      reason = "'" + original + "' is not KEY down|up [PAUSE]";
      return false;
    }
    if (!keys::KeepTypedPause(value, pause)) {
      reason = "the pause in '" + original + "' is not 0.." + std::to_string(kMaxTypedPauseMs) + " ms";
      return false;
    }
    word = TakeLastWord(rest);
    if (!IsState(word, state)) {
      reason = "'" + original + "' is not KEY down|up [PAUSE]";
      return false;
    }
  }
  const std::optional<keys::KeyCode> code = FindKeyCode(rest, false);
  if (!code) {
    reason = "no key '" + std::string(rest) + "' in '" + original + "'";
    return false;
  }
  action = {pause, *code, state};
  return true;
}

}  // namespace

bool ParseMacroActions(std::string_view text, std::vector<keys::MacroAction>& actions, std::string& reason) {
  actions.clear();
  if (Trim(text).empty()) return true;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    const std::string_view item =
        text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    keys::MacroAction action;
    if (!ParseOne(item, action, reason)) return false;
    if (actions.size() >= keys::kMaxMacroActions) {
      reason = "a macro holds at most " + std::to_string(keys::kMaxMacroActions) + " actions";
      return false;
    }
    actions.push_back(action);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return true;
}

std::string MacroActionsText(const std::vector<keys::MacroAction>& actions) {
  std::string out;
  for (const keys::MacroAction& a : actions) {
    if (!out.empty()) out += ", ";
    out += KeyWord(a.code) + (a.state == keys::kRelease ? " up " : " down ") + std::to_string(a.delay);
  }
  return out;
}

}  // namespace keyloom::cli
