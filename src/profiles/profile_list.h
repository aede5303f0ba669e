#pragma once
// The profile manager's list: the keyboard's three slots, then the profile
// files the user keeps at hand, at most one row checked. The checked slot
// row is the slot Apply makes active; a checked file row is a file Apply
// loads into the active slot. The list is remembered in the settings
// store's "PROFILES" section: "PROFILE00" holds the number of rows
// ("%d"), "PROFILE01".. one row each, its file's full path; the first three
// entries are the slots' rows (the working profile's folder and name with
// ".kyl"), which reading skips: every opening shows the slots. The list is
// outside input: reading it is bounded and safe on any text.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "profiles/keyboard_session.h"

namespace keyloom::profiles {

inline constexpr std::u16string_view kProfileListSection = u"PROFILES";
// The rows read back at most (slot rows included) and the longest entry.
inline constexpr int kMaxStoredProfileRows = 256;
inline constexpr std::size_t kMaxStoredProfilePath = 4096;

// "PROFILE" followed by `number` as "%02d" ("PROFILE00", "PROFILE07", "PROFILE123").
std::u16string ProfileListKey(int number);

// The row count stored under "PROFILE00": decimal digits only (surrounding
// spaces allowed); anything else, or a negative number, is 0; larger
// counts are cut to kMaxStoredProfileRows.
int ParseStoredProfileCount(std::u16string_view text);

// The file rows of a stored list: `read(key)` gives the text stored under a
// key ("" when missing). Entries 4..count are read; an entry that is empty,
// longer than kMaxStoredProfilePath, or holds a control character or a
// lone surrogate is skipped.
std::vector<std::filesystem::path> ParseStoredProfileList(
    const std::function<std::u16string(std::u16string_view key)>& read);

// The stored list of the settings store.
std::vector<std::filesystem::path> ReadStoredProfileList();

struct ProfileListRow {
  int slot = -1;               // 0..2 for a slot's row, -1 for a file's
  std::filesystem::path file;  // the working profile for a slot's row
  bool missing = false;        // a file row whose file is not there
};

// The row's two texts: the file name without folder and extension, and the
// folder ending in a separator.
std::u16string ProfileRowName(const ProfileListRow& row);
std::u16string ProfileRowFolder(const ProfileListRow& row);

// Whether a file row's file is there: a regular file named by an absolute
// path (a relative one, as a list from another system holds, is never
// looked up against the current folder).
bool ProfileFileExists(const std::filesystem::path& file);

class ProfileList {
 public:
  // The slots' three rows showing `working`, then one row per file of
  // `files` (missing ones marked); the row of `active_slot` checked (none
  // for -1 or a number that is not a slot).
  void Fill(const std::filesystem::path& working, const std::vector<std::filesystem::path>& files, int active_slot);

  const std::vector<ProfileListRow>& Rows() const { return rows_; }
  int Count() const { return static_cast<int>(rows_.size()); }
  // The checked row, -1 when none is.
  int Checked() const { return checked_; }
  // Checks `row` (-1 unchecks all). False, and nothing changes, for a row
  // that does not exist or a missing file's row.
  bool Check(int row);
  // The row of a slot (its index).
  static int SlotRow(int slot) { return slot; }

  // Appends a file row (its file looked up now); returns its index.
  int AppendFile(const std::filesystem::path& file);
  // Removes a file row; returns the row to select afterwards (the next
  // row, or the one before when it was the last), or -1 when nothing was
  // removed: no row, or a slot's row (the keyboard always has its three
  // slots). The check goes with a removed checked row.
  int Delete(int row);

  // What Apply stores: (key, value) pairs, "PROFILE00" with the count first.
  std::vector<std::pair<std::u16string, std::u16string>> StoredEntries() const;
  // Writes them to the settings store in one change; false when it cannot
  // be written (the list stored before stays whole).
  bool Store() const;

 private:
  std::vector<ProfileListRow> rows_;
  int checked_ = -1;
};

// What Apply does with the checked row on the keyboard (off the
// user-interface thread): a slot's row makes that slot active, reloads the
// editing store from the keyboard and rebuilds the profile menu; the main
// window's unapplied-changes flag is cleared. A file row is restored into
// the active slot exactly as the Restore command does (validated first,
// the same messages on a bad file, nothing changed when it is refused),
// then the menu is rebuilt. No row: only the reload and the menu. Returns
// 1, or 0 when a file was refused.
int ApplyProfileRow(KeyboardSession& session, const ProfileListRow* checked);

}  // namespace keyloom::profiles
