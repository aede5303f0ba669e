#include "cli/macro_commands.h"

#include <utility>

#include "cli/command_options.h"
#include "cli/editing_session.h"
#include "cli/json_text.h"
#include "cli/key_arguments.h"
#include "cli/macro_arguments.h"
#include "cli/option_values.h"
#include "keys/key_catalogue.h"
#include "keys/key_macro_store.h"
#include "keys/keyboard_writer.h"
#include "keys/macro_editor.h"
#include "keys/macro_list.h"
#include "keys/macro_lookups.h"
#include "platform/text.h"

namespace keyloom::cli {

namespace {

// Parses and checks the words; false after writing the usage error.
bool Parse(std::string_view name, const std::vector<std::string>& args, std::size_t words,
           const std::vector<std::string>& valued, CommandIo& io, ParsedOptions& options, int& status) {
  std::string reason;
  if (!ParseCommandOptions(args, {"--json"}, valued, options, reason)) {
    status = UsageError(io, name, reason);
    return false;
  }
  if (options.positional.size() != words) {
    status = UsageError(io, name,
                        options.positional.size() < words
                            ? std::string(words == 1 ? "give the macro's name" : "give the old and the new name")
                            : "unknown argument '" + options.positional[words] + "'");
    return false;
  }
  return true;
}

std::string MacroJson(const keys::MacroRecord& m, int position) {
  std::string s = "{\"position\": " + std::to_string(position) + ", \"id\": " + std::to_string(m.id) +
                  ", \"name\": " + JsonString(text::ToUtf8(m.name)) + ", \"cycles\": " + std::to_string(m.cycles) +
                  ", \"actions\": [";
  for (std::size_t i = 0; i < m.actions.size(); ++i) {
    const keys::MacroAction& a = m.actions[i];
    s += std::string(i ? ", " : "") + "{\"key\": " + JsonString(KeyWord(a.code)) +
         ", \"name\": " + JsonString(text::ToUtf8(keys::GetKeyName(a.code))) + ", \"state\": \"" +
         (a.state == keys::kRelease ? "up" : "down") + "\", \"delay\": " + std::to_string(a.delay) + "}";
  }
  return s + "], \"actions_text\": " + JsonString(MacroActionsText(m.actions)) + "}";
}

void PrintMacro(CommandIo& io, const keys::MacroRecord& m, int position, bool json) {
  if (json) {
    io.out << MacroJson(m, position) << "\n";
    return;
  }
  io.out << "Name:     " << text::ToUtf8(m.name) << "\n"
         << "Id:       " << m.id << "\n"
         << "Position: " << position << "\n"
         << "Cycles:   " << int(m.cycles) << "\n"
         << "Actions:  " << m.actions.size() << "\n";
  for (std::size_t i = 0; i < m.actions.size(); ++i) {
    const keys::MacroAction& a = m.actions[i];
    std::string key = text::ToUtf8(keys::GetKeyName(a.code));
    if (key.size() < 14) key.resize(14, ' ');
    std::string state = text::ToUtf8(keys::MacroStateText(a.state));
    io.out << "  " << (i + 1) << "\t" << key << " " << state << (a.state == keys::kRelease ? "" : "  ") << "  "
           << a.delay << " ms\n";
  }
}

// The macro named `name` in the model's list; false after the failure.
bool SelectByName(keys::MacroListModel& model, const std::string& name, CommandIo& io, int& status) {
  std::string reason;
  const int index = FindMacroByName(model.Macros(), name, reason);
  if (index < 0) {
    status = Failure(io, reason);
    return false;
  }
  model.Select(index);
  return true;
}

// False after the failure when the editor refused the edit.
bool Edited(const keys::MacroEdit& edit, std::u16string_view wanted, const std::string& name, CommandIo& io,
            int& status) {
  using Outcome = keys::MacroEdit::Outcome;
  switch (edit.outcome) {
    case Outcome::kDone:
      return true;
    case Outcome::kTooMany:
      status = Failure(io, "there are " + std::to_string(keys::kMaxMacros) + " macros already");
      return false;
    case Outcome::kNameTaken:
      status = Failure(io, "the name '" + text::ToUtf8(wanted) + "' cannot be used: macro '" +
                               text::ToUtf8(edit.taken_by) + "' begins with it");
      return false;
    case Outcome::kNotConfirmed:
      status = Failure(io, "kept macro '" + name + "': the deletion was not confirmed");
      return false;
    case Outcome::kBadName:
    case Outcome::kNoSuchMacro:
      break;
  }
  status = Failure(io, "could not change macro '" + name + "'");
  return false;
}

// Applies the editor's list to the editing store and writes it: the macros
// and the active slot's key map (all three when a used macro was deleted).
bool ApplyList(keys::MacroEditor& editor, EditingSession& session, CommandIo& io, int& status) {
  editor.Apply();
  std::string reason;
  if (!session.Apply(false, -1, reason)) {
    status = Failure(io, reason);
    return false;
  }
  return true;
}

bool CheckName(std::string_view command, const std::string& name, CommandIo& io, int& status) {
  const keys::MacroNameCheck check = keys::CheckMacroName(text::FromUtf8(name));
  if (check == keys::MacroNameCheck::kEmpty) {
    status = UsageError(io, command, "a macro needs a name");
    return false;
  }
  if (check == keys::MacroNameCheck::kTooLong) {
    status = UsageError(io, command,
                        "a macro name has at most " + std::to_string(keys::kMaxMacroNameLength) + " characters");
    return false;
  }
  return true;
}

// ---- macro list ----

int RunList(const std::vector<std::string>& args, CommandIo& io) {
  ParsedOptions options;
  int status = kExitSuccess;
  if (!Parse("macro list", args, 0, {}, io, options, status)) return status;
  EditingSession session(io);
  if (!session.OpenOrFail(status)) return status;
  keys::KeyMacroStore& store = session.Keyboard().stores.EditingStore;
  auto lock = store.Lock();
  const keys::MacroImageSize size = keys::MacroImageSizes(store);
  const std::uint32_t capacity = session.Keyboard().stores.WriteState.macroCapacity.load();
  // What the keyboard's macro area holds of them, as status reports it: the
  // image with names when it fits, else without; nothing without macros.
  const std::uint32_t used =
      store.macros.empty() ? 0 : size.full <= capacity ? size.full : size.compact;
  if (options.Has("--json")) {
    io.out << "{\"capacity\": " << capacity << ", \"used\": " << used << ", \"size\": " << size.full
           << ", \"compact_size\": " << size.compact << ", \"macros\": [";
    for (std::size_t i = 0; i < store.macros.size(); ++i) {
      const keys::MacroRecord& m = store.macros[i];
      io.out << (i ? ", " : "") << "{\"position\": " << i << ", \"id\": " << m.id
             << ", \"name\": " << JsonString(text::ToUtf8(m.name)) << ", \"cycles\": " << int(m.cycles)
             << ", \"actions\": " << m.actions.size() << "}";
    }
    io.out << "]}\n";
    return kExitSuccess;
  }
  io.out << store.macros.size() << " macros, " << used << " of " << capacity << " bytes of macro memory used";
  if (!store.macros.empty()) io.out << " (" << size.full << " with names, " << size.compact << " without)";
  io.out << "\n";
  if (!store.macros.empty()) io.out << "  id  cycles  actions  name\n";
  for (const keys::MacroRecord& m : store.macros) {
    char line[48];
    std::snprintf(line, sizeof line, "%4u  %6d  %7zu  ", unsigned(m.id), int(m.cycles), m.actions.size());
    io.out << line << text::ToUtf8(m.name) << "\n";
  }
  return kExitSuccess;
}

// ---- macro show ----

int RunShow(const std::vector<std::string>& args, CommandIo& io) {
  ParsedOptions options;
  int status = kExitSuccess;
  if (!Parse("macro show", args, 1, {}, io, options, status)) return status;
  EditingSession session(io);
  if (!session.OpenOrFail(status)) return status;
  keys::KeyMacroStore& store = session.Keyboard().stores.EditingStore;
  auto lock = store.Lock();
  std::string reason;
  const int index = FindMacroByName(store.macros, options.positional[0], reason);
  if (index < 0) return Failure(io, reason);
  PrintMacro(io, store.macros[std::size_t(index)], index, options.Has("--json"));
  return kExitSuccess;
}

// ---- macro add ----

int RunAdd(const std::vector<std::string>& args, CommandIo& io) {
  constexpr std::string_view kName = "macro add";
  ParsedOptions options;
  int status = kExitSuccess;
  if (!Parse(kName, args, 1, {"--cycles", "--actions"}, io, options, status)) return status;
  const std::string& name = options.positional[0];
  if (!CheckName(kName, name, io, status)) return status;
  int cycles = 1;
  if (const auto value = options.Value("--cycles");
      value && (!ParseInt(*value, cycles) || cycles < keys::kMinCycles || cycles > keys::kMaxCycles))
    return UsageError(io, kName, "--cycles takes 1..255, not '" + *value + "'");
  std::vector<keys::MacroAction> actions;
  std::string reason;
  if (const auto value = options.Value("--actions"); value && !ParseMacroActions(*value, actions, reason))
    return UsageError(io, kName, reason);

  EditingSession session(io);
  if (!session.OpenOrFail(status)) return status;
  keys::MacroEditor editor(session.Keyboard().stores, session.Keyboard().Prompter());
  const std::u16string wanted = text::FromUtf8(name);
  const keys::MacroEdit edit = editor.Add(wanted, cycles, actions);
  if (!Edited(edit, wanted, name, io, status) || !ApplyList(editor, session, io, status)) return status;
  const int position = edit.position;
  auto lock = session.Keyboard().stores.EditingStore.Lock();
  PrintMacro(io, session.Keyboard().stores.EditingStore.macros[std::size_t(position)], position, options.Has("--json"));
  return kExitSuccess;
}

// ---- macro delete ----

int RunDelete(const std::vector<std::string>& args, CommandIo& io) {
  ParsedOptions options;
  int status = kExitSuccess;
  if (!Parse("macro delete", args, 1, {}, io, options, status)) return status;
  EditingSession session(io);
  if (!session.OpenOrFail(status)) return status;
  keys::MacroEditor editor(session.Keyboard().stores, session.Keyboard().Prompter());
  if (!SelectByName(editor.List(), options.positional[0], io, status)) return status;
  const std::string name = text::ToUtf8(editor.List().SelectedMacro()->name);
  // A macro that keys play asks first; its keys return to their default.
  if (!Edited(editor.Delete(editor.List().Selected()), {}, name, io, status) ||
      !ApplyList(editor, session, io, status))
    return status;
  if (options.Has("--json"))
    io.out << "{\"deleted\": " << JsonString(name) << "}\n";
  else
    io.out << "Deleted macro '" << name << "'.\n";
  return kExitSuccess;
}

// ---- macro rename ----

int RunRename(const std::vector<std::string>& args, CommandIo& io) {
  constexpr std::string_view kName = "macro rename";
  ParsedOptions options;
  int status = kExitSuccess;
  if (!Parse(kName, args, 2, {}, io, options, status)) return status;
  if (!CheckName(kName, options.positional[1], io, status)) return status;
  EditingSession session(io);
  if (!session.OpenOrFail(status)) return status;
  keys::MacroEditor editor(session.Keyboard().stores, session.Keyboard().Prompter());
  if (!SelectByName(editor.List(), options.positional[0], io, status)) return status;
  const int position = editor.List().Selected();
  const std::u16string wanted = text::FromUtf8(options.positional[1]);
  if (!Edited(editor.Rename(position, wanted), wanted, options.positional[0], io, status) ||
      !ApplyList(editor, session, io, status))
    return status;
  auto lock = session.Keyboard().stores.EditingStore.Lock();
  PrintMacro(io, session.Keyboard().stores.EditingStore.macros[std::size_t(position)], position, options.Has("--json"));
  return kExitSuccess;
}

}  // namespace

std::vector<Command> MacroCommands() {
  std::vector<Command> list;
  auto add = [&](std::string name, std::string summary, std::string usage, std::string help, CommandHandler run) {
    Command c;
    c.name = std::move(name);
    c.summary = std::move(summary);
    c.usage = std::move(usage);
    c.help = std::move(help);
    c.run = std::move(run);
    list.push_back(std::move(c));
  };
  add("macro list", "List the macros and the macro memory they use", "keyloomctl macro list [--json]",
      "Reads the keys and macros from the keyboard and lists the macros in the order the\n"
      "keyboard keeps them, with the bytes they take of its macro memory.\n"
      "\nOptions:\n"
      "  --json   {\"capacity\", \"size\", \"compact_size\", \"macros\": [{\"position\", \"id\",\n"
      "           \"name\", \"cycles\", \"actions\"}]}\n",
      RunList);
  add("macro show", "Show one macro's actions", "keyloomctl macro show NAME [--json]",
      "NAME is matched exactly, or ignoring case when only one macro matches so.\n"
      "\nOptions:\n"
      "  --json   {\"position\", \"id\", \"name\", \"cycles\", \"actions\": [{\"key\", \"name\",\n"
      "           \"state\", \"delay\"}], \"actions_text\"}\n",
      RunShow);
  add("macro add", "Create a macro and write it to the keyboard",
      "keyloomctl macro add NAME [--cycles N] [--actions \"KEY down 50, KEY up 0, ...\"] [--json]",
      "Adds the macro at the end of the list, then saves the working profile and writes\n"
      "the macros to the keyboard. A name that another macro's name begins with (ignoring\n"
      "case) cannot be used, as in the key-setting dialog's list.\n"
      "\nOptions:\n"
      "  --cycles N      how often a key press plays it, 1..255 (1)\n"
      "  --actions LIST  comma-separated actions: KEY, down or up, and the pause after it\n"
      "                  in ms (0..40000, kept in steps of 10; 0 when left out). KEY as in\n"
      "                  keys set: 0x01E, KEY_01E or a key name\n"
      "  --json          show the new macro as macro show --json does\n",
      RunAdd);
  add("macro delete", "Delete a macro and write the macros to the keyboard", "keyloomctl macro delete NAME [--json]",
      "When keys play the macro, asks first (--yes or --no answer in scripts); those keys\n"
      "then return to their default in every slot, and all three slots are written.\n"
      "Declining keeps the macro and exits with status 1.\n"
      "\nOptions:\n"
      "  --json   {\"deleted\": NAME}\n",
      RunDelete);
  add("macro rename", "Rename a macro and write the macros to the keyboard", "keyloomctl macro rename OLD NEW [--json]",
      "The keys that play the macro keep playing it. NEW follows the same rule as the name\n"
      "of macro add.\n"
      "\nOptions:\n"
      "  --json   show the macro as macro show --json does\n",
      RunRename);
  return list;
}

}  // namespace keyloom::cli
