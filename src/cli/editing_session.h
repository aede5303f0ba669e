#pragma once
// The keys and macros of the connected keyboard, as keyloomctl edits them:
// the same steps as the desktop utility. Connecting runs the profiles'
// connection handler (factory key map, macro capacity), whose profile
// refresh reloads the editing store from the keyboard through the working
// profile file; Apply saves the working profile and writes the keys and
// macros, as the main window's Apply does.
#include <memory>
#include <string>

#include "cli/command_table.h"
#include "cli/keyboard_session.h"
#include "keys/keyboard_writer.h"
#include "profiles/keyboard_session.h"

namespace keyloom::cli {

// The parts of a write that did not reach the keyboard, for a message:
// "the macros and the key map of slot 0"; empty when every part did.
std::string PartsNotWritten(const keys::WriteOutcome& outcome);

// Connects `keyboard` with the profiles' connection handler for `session`, which reads the
// keyboard's factory key map and configuration and reloads the keys and
// macros. False with the one reason to report when no keyboard answers or
// either read failed: a keyboard whose factory key map was not read must not
// be written to, and its failure is told in the handler's own message
// ("MAIN_DEFAULT_MATRIX_PROMPT"), which is then not shown a second time.
bool ConnectAndReadKeyboard(profiles::KeyboardSession& session, KeyboardConnection& keyboard, std::string& reason);

class EditingSession {
 public:
  explicit EditingSession(CommandIo& io);
  ~EditingSession();
  EditingSession(const EditingSession&) = delete;
  EditingSession& operator=(const EditingSession&) = delete;

  // Connects and reloads. False with the reason when no keyboard answers or
  // its keys and macros could not be read (the editing store is then empty
  // and must not be written back).
  bool Open(std::string& reason);
  // Open, writing the reason as the command's failure; `status` then holds
  // the exit status to return.
  bool OpenOrFail(int& status);

  // The keyboard's active slot, 0..2 (after Open).
  int ActiveSlot() const { return active_slot_; }
  // The keyboard session edited (the command's).
  profiles::KeyboardSession& Keyboard() { return session_; }

  // Saves the working profile and writes the macros and the key maps: of
  // all three slots, or of `slot` (0..2). The store-wide rewrite flag (set
  // when a used macro was deleted) also makes it write all three. False with
  // the reason when either step failed (naming the parts the keyboard did not
  // take); the write is tried even when the save failed, as the main window
  // does. A failed write leaves the changes unapplied.
  bool Apply(bool all_slots, int slot, std::string& reason);

 private:
  class Sink;
  // Connects and checks what the connection handler's reload read.
  bool ReadKeyboard(std::string& reason);

  CommandIo& io_;
  profiles::KeyboardSession& session_;
  std::unique_ptr<Sink> sink_;
  KeyboardConnection keyboard_;
  int active_slot_ = -1;
  bool opened_ = false;
};

}  // namespace keyloom::cli
