#include "cli/keys_commands.h"

#include <algorithm>
#include <utility>

#include "cli/command_options.h"
#include "cli/editing_session.h"
#include "cli/json_text.h"
#include "cli/key_arguments.h"
#include "keys/key_catalogue.h"
#include "keys/key_editor.h"
#include "keys/key_macro_store.h"
#include "i18n/texts.h"
#include "platform/text.h"

namespace keyloom::cli {

namespace {

// Keys are listed with the first G-key bank, as the on-screen keyboard
// shows it at start.
constexpr int kGBank = 0;

struct KeyLine {
  int record = 0;
  std::string key;          // 0x01E or G1
  std::string skin;         // KEY_01E or FUNC_G1
  std::string name;
  std::string action;       // the ACTION word
  std::string description;  // the key button's prompt
  bool assigned = false;
};

std::vector<KeyLine> KeyLines(profiles::KeyboardSession& keyboard, int table) {
  std::vector<KeyLine> lines;
  const keys::KeyEditor editor(keyboard.stores, keyboard.link);
  for (const keys::KeyDescription& key : editor.Describe(table, kGBank)) {
    KeyLine line;
    line.record = key.record;
    line.key = KeyWord(key.code);
    line.skin = key.g_number ? keys::GKeySkinName(key.g_number) : keys::PanelKeySkinName(key.code);
    line.name = text::ToUtf8(key.name);
    line.action = ActionWord(keyboard.stores.EditingStore, key.assignment);
    line.description = text::ToUtf8(key.description);
    line.assigned = key.assigned;
    lines.push_back(std::move(line));
  }
  return lines;
}

// The lines of the given records (in the list's order), or the assigned
// ones, or all.
void PrintKeys(CommandIo& io, int table, bool json, bool all, const std::vector<int>* only_records) {
  std::vector<KeyLine> lines = KeyLines(Session(io), table);
  std::vector<KeyLine> shown;
  for (KeyLine& line : lines) {
    const bool wanted =
        only_records ? std::find(only_records->begin(), only_records->end(), line.record) != only_records->end()
                     : all || line.assigned;
    if (wanted) shown.push_back(std::move(line));
  }
  if (json) {
    io.out << "{\"slot\": " << table << ", \"keys\": [";
    for (std::size_t i = 0; i < shown.size(); ++i) {
      const KeyLine& l = shown[i];
      io.out << (i ? ", " : "") << "{\"key\": " << JsonString(l.key) << ", \"skin\": " << JsonString(l.skin)
             << ", \"name\": " << JsonString(l.name) << ", \"action\": " << JsonString(l.action)
             << ", \"description\": " << JsonString(l.description) << "}";
    }
    io.out << "]}\n";
    return;
  }
  if (shown.empty() && !only_records) {
    io.out << "Every key of slot " << table << " does what it does by default.\n";
    return;
  }
  for (const KeyLine& l : shown) {
    const std::string padded = l.key + std::string(l.key.size() < 7 ? 7 - l.key.size() : 1, ' ');
    io.out << padded << l.description << "\n";
  }
}

// The options every keys command takes: --json and `flags`, --slot N, and
// positional words only when `words` is set. False after writing the usage
// error into `status`.
bool ParseKeysOptions(std::string_view name, const std::vector<std::string>& args, std::vector<std::string> flags,
                      bool words, CommandIo& io, ParsedOptions& options, int& slot, int& status) {
  std::string reason;
  flags.push_back("--json");
  if (!ParseCommandOptions(args, flags, {"--slot"}, options, reason) || !SlotOption(options, slot, reason)) {
    status = UsageError(io, name, reason);
    return false;
  }
  if (!words && !options.positional.empty()) {
    status = UsageError(io, name, "unknown argument '" + options.positional.front() + "'");
    return false;
  }
  return true;
}

// Opens the session; `table` is the --slot given, or the keyboard's active
// slot. False after writing the failure into `status`.
bool OpenTable(EditingSession& session, int slot, int& table, int& status) {
  if (!session.OpenOrFail(status)) return false;
  table = slot >= 0 ? slot : session.ActiveSlot();
  return true;
}

// ---- keys ----

int RunList(const std::vector<std::string>& args, CommandIo& io) {
  ParsedOptions options;
  int slot = -1, table = -1, status = kExitSuccess;
  if (!ParseKeysOptions("keys", args, {"--all"}, false, io, options, slot, status)) return status;
  EditingSession session(io);
  if (!OpenTable(session, slot, table, status)) return status;
  PrintKeys(io, table, options.Has("--json"), options.Has("--all"), nullptr);
  return kExitSuccess;
}

// ---- keys set ----

int RunSet(const std::vector<std::string>& args, CommandIo& io) {
  constexpr std::string_view kName = "keys set";
  ParsedOptions options;
  std::string reason;
  int slot = -1, table = -1, status = kExitSuccess;
  if (!ParseKeysOptions(kName, args, {}, true, io, options, slot, status)) return status;
  const std::vector<std::string>& words = options.positional;
  if (words.empty() || words.size() % 2 != 0) return UsageError(io, kName, "give KEY ACTION pairs");
  std::vector<std::pair<KeyTarget, ActionSpec>> pairs;
  for (std::size_t i = 0; i < words.size(); i += 2) {
    KeyTarget target;
    ActionSpec action;
    if (!ParseKeyTarget(words[i], target, reason) || !ParseAction(words[i + 1], action, reason))
      return UsageError(io, kName, reason);
    pairs.emplace_back(target, action);
  }

  EditingSession session(io);
  if (!OpenTable(session, slot, table, status)) return status;
  // Every pair is checked before anything is stored: one write for all.
  std::vector<keys::KeyRequest> requests;
  for (const auto& [target, action] : pairs) requests.push_back({target.record, ChoiceOf(action)});
  keys::KeyEditor editor(session.Keyboard().stores, session.Keyboard().link);
  const keys::KeyEdit edit = editor.Assign(table, requests);
  if (!edit.Ok())
    return Failure(io, RefusalReason(edit.changes[std::size_t(edit.refused)], pairs[std::size_t(edit.refused)].second));
  std::vector<int> changed;
  for (const keys::KeyChange& change : edit.changes) changed.push_back(change.record);
  if (!session.Apply(false, table, reason)) return Failure(io, reason);
  // What was asked of keys the keyboard lacks stays in the profile, but the
  // keyboard never does it: the run did not do all it was asked.
  std::vector<std::string> missing;
  for (const keys::KeyChange& change : edit.changes) {
    if (change.keyboard_has_key) continue;
    const std::string word = KeyWord(change.code);
    if (std::find(missing.begin(), missing.end(), word) == missing.end()) missing.push_back(word);
  }
  PrintKeys(io, table, options.Has("--json"), false, &changed);
  if (missing.empty()) return kExitSuccess;
  std::string list;
  for (std::size_t i = 0; i < missing.size(); ++i)
    list += (i == 0 ? "" : i + 1 == missing.size() ? " and " : ", ") + missing[i];
  return Failure(io, "the keyboard has no key " + list + ": kept in the profile, not sent to the keyboard");
}

// ---- keys reset ----

int RunReset(const std::vector<std::string>& args, CommandIo& io) {
  constexpr std::string_view kName = "keys reset";
  ParsedOptions options;
  std::string reason;
  int slot = -1, table = -1, status = kExitSuccess;
  if (!ParseKeysOptions(kName, args, {}, false, io, options, slot, status)) return status;
  EditingSession session(io);
  if (!OpenTable(session, slot, table, status)) return status;
  if (!keys::KeyEditor(session.Keyboard().stores, session.Keyboard().link).Reset(table, kGBank))
    return Failure(io, "no table " + std::to_string(table) + " to reset");
  if (!session.Apply(false, table, reason)) return Failure(io, reason);
  PrintKeys(io, table, options.Has("--json"), false, nullptr);
  return kExitSuccess;
}

// The English names of the media and function lists, for the help text.
std::string ListHelp() {
  auto english = [](std::string_view key) {
    const std::string name = text::ToUtf8(i18n::Text(key, i18n::kFallbackLanguageIndex));
    return name == "#Error" ? std::string() : name;
  };
  std::string media;
  const auto entries = keys::MediaKeys();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string name =
        english(keys::KeyInfoOfSlot(keys::KeyCodeToSlot(entries[i].code)).nameKey);
    media += (i ? ", " : "") + std::to_string(i) + (name.empty() ? "" : " " + name);
  }
  std::string functions;
  for (int i = 0; i < keys::kFunctionKeyCount; ++i) {
    const std::string name = english(keys::FunctionKeyTextKey(i));
    functions += (i ? ", " : "") + std::to_string(i) + (name.empty() ? "" : " " + name);
  }
  // Wrapped at about 80 columns.
  auto wrap = [](const std::string& title, const std::string& list) {
    std::string out = title;
    std::size_t column = out.size();
    std::size_t start = 0;
    while (start < list.size()) {
      std::size_t end = list.find(", ", start);
      end = end == std::string::npos ? list.size() : end + 2;
      const std::string item = list.substr(start, end - start);
      if (column + item.size() > 80) {
        if (!out.empty() && out.back() == ' ') out.pop_back();
        out += "\n    ";
        column = 4;
      }
      out += item;
      column += item.size();
      start = end;
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out + "\n";
  };
  return wrap("Media functions: ", media) + wrap("Keyboard functions: ", functions);
}

const char* const kKeyHelp =
    "KEY is a key code (0x01E), a skin-style name (KEY_01E), G1..G9 (the first bank of\n"
    "macro keys) or the key's name (English or the language in use; quote names with\n"
    "spaces).\n";

}  // namespace

std::vector<Command> KeysCommands() {
  std::vector<Command> list;
  {
    Command c;
    c.name = "keys";
    c.summary = "Show the assigned keys of a slot with their descriptions";
    c.usage = "keyloomctl keys [--slot N] [--all] [--json]";
    c.help =
        "Reads the keys and macros from the keyboard and lists every key of the on-screen\n"
        "keyboard and the macro keys G1..G9 that does something else than by default, with\n"
        "the description its button shows.\n"
        "\nOptions:\n"
        "  --slot N   the assignments of slot N (0..2); the active slot by default\n"
        "  --all      every key, assigned or not\n"
        "  --json     {\"slot\": n, \"keys\": [{\"key\", \"skin\", \"name\", \"action\",\n"
        "             \"description\"}]}; \"action\" is the ACTION word of keys set\n";
    c.run = RunList;
    list.push_back(std::move(c));
  }
  {
    Command c;
    c.name = "keys set";
    c.summary = "Assign keys and write them to the keyboard";
    c.usage = "keyloomctl keys set KEY ACTION [KEY ACTION ...] [--slot N] [--json]";
    c.help = std::string(kKeyHelp) +
             "ACTION is one of\n"
             "  default            the key's factory function\n"
             "  disabled           the key does nothing\n"
             "  key:KEY            the key sends another key (any key of the catalogue)\n"
             "  macro:NAME         the key plays the macro (see 'keyloomctl macro list')\n"
             "  stop-macro         the key stops the playing macro\n"
             "  media:NAME|INDEX   a multimedia function by number or name (\"media:Mute\")\n"
             "  function:N         a keyboard function by number\n" +
             ListHelp() +
             "All pairs are stored, then written in one go, as Apply does: the working\n"
             "profile is saved and the slot's key map and the macros go to the keyboard.\n"
             "A key given itself (key:KEY of the same key) returns to its default.\n"
             "\nOptions:\n"
             "  --slot N   edit and write slot N (0..2); the active slot by default\n"
             "  --json     show the changed keys as keys --json does\n";
    c.run = RunSet;
    list.push_back(std::move(c));
  }
  {
    Command c;
    c.name = "keys reset";
    c.summary = "Return every key of a slot to its default and write it";
    c.usage = "keyloomctl keys reset [--slot N] [--json]";
    c.help =
        "Clears the assignments of the on-screen keyboard's keys and of G1..G9 in the slot\n"
        "and writes the slot's key map (macros are kept; delete them with 'macro delete').\n"
        "\nOptions:\n"
        "  --slot N   reset slot N (0..2); the active slot by default\n"
        "  --json     show what remains assigned as keys --json does\n";
    c.run = RunReset;
    list.push_back(std::move(c));
  }
  return list;
}

}  // namespace keyloom::cli
