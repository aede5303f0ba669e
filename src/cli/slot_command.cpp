#include "cli/slot_command.h"

#include "cli/command_options.h"
#include "cli/editing_session.h"
#include "cli/keyboard_session.h"
#include "profiles/active_slot.h"
#include "profiles/slot_switch.h"

namespace keyloom::cli {

namespace {

constexpr std::string_view kName = "slot";
constexpr auto kConnectTimeout = std::chrono::seconds(3);

int ShowSlot(bool json, CommandIo& io) {
  profiles::KeyboardSession& keyboard = Session(io);
  KeyboardConnection session(keyboard.link);
  std::string reason;
  if (!session.Connect(kConnectTimeout, reason)) return Failure(io, reason);
  profiles::ForgetActiveSlot(keyboard);
  const int slot = profiles::GetActiveSlot(keyboard);
  if (slot < 0) return Failure(io, "could not read the keyboard's active slot");
  if (json)
    io.out << "{\"active_slot\": " << slot << "}\n";
  else
    io.out << "Active slot: " << slot << "\n";
  return kExitSuccess;
}

int SwitchSlot(int slot, bool json, CommandIo& io) {
  EditingSession session(io);
  std::string reason;
  if (!session.Open(reason)) return Failure(io, reason);
  const int before = session.ActiveSlot();
  if (before != slot) {
    // The main window switches only to a slot that is not already active.
    if (profiles::SwitchProfileSlot(session.Keyboard(), slot) != 1) return Failure(io, "the slot was not switched");
    // A refused configuration write leaves the slot unknown, so the
    // keyboard is asked again.
    if (profiles::GetActiveSlot(session.Keyboard()) != slot) return Failure(io, "the keyboard did not switch to slot " + std::to_string(slot));
  }
  if (json)
    io.out << "{\"active_slot\": " << slot << ", \"previous_slot\": " << before << "}\n";
  else if (before == slot)
    io.out << "Slot " << slot << " is already active.\n";
  else
    io.out << "Slot " << slot << " is now active (was " << before << ").\n";
  return kExitSuccess;
}

int RunSlot(const std::vector<std::string>& args, CommandIo& io) {
  ParsedOptions options;
  std::string reason;
  if (!ParseCommandOptions(args, {"--json"}, {}, options, reason)) return UsageError(io, kName, reason);
  if (options.positional.size() > 1)
    return UsageError(io, kName, "unknown argument '" + options.positional[1] + "'");
  const bool json = options.Has("--json");
  if (options.positional.empty()) return ShowSlot(json, io);
  const std::string& word = options.positional.front();
  if (word.size() != 1 || word[0] < '0' || word[0] >= char('0' + profiles::kProfileSlotCount))
    return UsageError(io, kName, "the slot is 0, 1 or 2, not '" + word + "'");
  return SwitchSlot(word[0] - '0', json, io);
}

}  // namespace

Command SlotCommand() {
  Command c;
  c.name = std::string(kName);
  c.summary = "Show the active slot, or make another of the three slots active";
  c.usage = "keyloomctl slot [0|1|2] [--json]";
  c.help =
      "Without a number, shows which of the keyboard's three on-board slots is active.\n"
      "With one, makes that slot active: the keyboard then uses its key map and\n"
      "lighting. The keys and macros are read from the keyboard first, as at every\n"
      "start.\n"
      "\nOptions:\n"
      "  --json   {\"active_slot\": N} (and \"previous_slot\" after a switch)\n";
  c.run = RunSlot;
  return c;
}

}  // namespace keyloom::cli
