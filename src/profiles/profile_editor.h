#pragma once
// The profile editor: backing the keys, macros and report rate up into a
// ".kyl" file, checking a file before it is restored, restoring it, and
// reading the keyboard's own key maps and macros into a file, each with a
// summary of what the store or file holds. The profile manager window and
// keyloomctl's profile commands are views over it.
#include <array>
#include <cstdint>
#include <filesystem>
#include <system_error>
#include <optional>
#include <vector>

#include "keys/keyboard_writer.h"
#include "profiles/active_slot.h"
#include "profiles/keyboard_session.h"
#include "profiles/profile_file.h"

namespace keyloom::profiles {

// The highest report-rate index a restore applies.
inline constexpr std::uint32_t kHighestReportRate = 3;

// What a store or a profile file holds.
struct ProfileSummary {
  int macros = 0;
  std::uint32_t text_bytes = 0;
  std::array<int, kProfileSlotCount> assigned{};  // records of kind other than 0, per slot
  // The report rate stored (a file's trailer, low 16 bits) or set.
  std::optional<std::uint32_t> report_rate;
  // A stored rate outside 0..3, which a restore does not apply.
  bool rate_out_of_range = false;
  // After a restore of a file storing no rate, or one out of range: the
  // rate the keyboard keeps.
  std::optional<std::uint32_t> kept_rate;
};
// The file's, with the rate its trailer stores.
ProfileSummary SummariseProfile(const LoadedProfile& loaded);
// The editing store's (under its lock), without a rate.
ProfileSummary SummariseEditingStore(KeyboardSession& session);

// One part of a write to the keyboard.
struct WritePart {
  enum class Kind { kBegin, kMacros, kKeyMap, kEnd };
  Kind kind = Kind::kBegin;
  int slot = -1;  // kKeyMap
  friend bool operator==(const WritePart&, const WritePart&) = default;
};
// The parts of a sent write the keyboard did not take, in the order sent.
std::vector<WritePart> PartsNotTaken(const keys::WriteOutcome& outcome);

struct ProfileCheck {
  enum class Outcome {
    kValid,
    kMissing,     // no such file
    kNotAFile,    // a restore takes regular files only
    kCannotOpen,
    kTooShort,    // shorter than a profile (`size`)
    kBadFormat,   // the header is wrong (the prompter has said so)
    kUnreadable,  // the header is right, the rest does not read
  };
  Outcome outcome = Outcome::kValid;
  std::uintmax_t size = 0;
  bool Ok() const { return outcome == Outcome::kValid; }
};

struct ProfileExport {
  bool written = false;
  ProfileSummary summary;  // the editing store's, with the report rate set
};

struct ProfileRestore {
  enum class Outcome {
    kRestored,
    kNotLoaded,         // the file was not taken: nothing changed
    kKeyboardRefused,   // in the editing store and working profile; the keyboard did not take it all
  };
  Outcome outcome = Outcome::kRestored;
  keys::WriteOutcome write;
  std::vector<WritePart> not_taken;  // of a sent write
  ProfileSummary summary;            // the editing store's, with the file's rate or the one kept
  bool Ok() const { return outcome == Outcome::kRestored; }
};

struct ProfileRead {
  enum class Outcome {
    kRead,
    kNoActiveSlot,  // the keyboard's active slot is unknown
    kReadFailed,    // the keyboard's maps or macros could not be read: the file is untouched
    kWriteFailed,   // the keyboard was read, the file could not be written (`error`): it is untouched
    kNoReadBack,    // written, but it does not read back
  };
  Outcome outcome = Outcome::kRead;
  std::error_code error;
  ProfileSummary summary;  // the file's
  bool Ok() const { return outcome == Outcome::kRead; }
};

class ProfileEditor {
 public:
  explicit ProfileEditor(KeyboardSession& session) : session_(session) {}

  // The checks before a restore, which need no keyboard: the header as the
  // restore checks it (a badly formed one is told through the session's
  // prompter), then the whole file. `loaded` holds it when valid. With
  // `regular_file_only` anything but a regular file is refused first.
  ProfileCheck Check(const std::filesystem::path& file, LoadedProfile& loaded, bool regular_file_only = false);

  // The editing store and the report rate set in the session's lighting
  // values to `file`.
  ProfileExport Export(const std::filesystem::path& file);

  // Restores a file that Check took (`checked`): loaded into the editing
  // store, the rate it stores set, the working profile saved and all slots
  // and the macros written to the keyboard.
  ProfileRestore Restore(const std::filesystem::path& file, const LoadedProfile& checked);

  // The connected keyboard's key maps and macros into `file`, which is only
  // replaced after every read succeeded.
  ProfileRead ReadKeyboard(const std::filesystem::path& file);

 private:
  KeyboardSession& session_;
};

}  // namespace keyloom::profiles
