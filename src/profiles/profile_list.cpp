#include "profiles/profile_list.h"

#include <algorithm>
#include <system_error>

#include "app/app_settings_store.h"
#include "platform/text.h"
#include "profiles/active_slot.h"
#include "profiles/keyboard_profile.h"
#include "profiles/profile_menu.h"
#include "profiles/profile_transfer.h"

namespace keyloom::profiles {

namespace {

constexpr int kSlotRows = kProfileSlotCount;

bool UsableEntry(std::u16string_view text) {
  if (text.empty() || text.size() > kMaxStoredProfilePath) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < 0x20 || c == 0x7F) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

std::filesystem::path PathOf(std::u16string_view text) { return std::filesystem::path(text::ToUtf8(text)); }

}  // namespace

std::u16string ProfileListKey(int number) {
  std::string digits = std::to_string(number < 0 ? 0 : number);
  if (digits.size() < 2) digits.insert(0, 2 - digits.size(), '0');
  std::u16string key = u"PROFILE";
  for (char c : digits) key.push_back(static_cast<char16_t>(c));
  return key;
}

int ParseStoredProfileCount(std::u16string_view text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && text[begin] == u' ') ++begin;
  while (end > begin && text[end - 1] == u' ') --end;
  if (begin == end) return 0;
  long long value = 0;
  for (std::size_t i = begin; i < end; ++i) {
    const char16_t c = text[i];
    if (c < u'0' || c > u'9') return 0;
    value = std::min<long long>(value * 10 + (c - u'0'), kMaxStoredProfileRows);
  }
  return static_cast<int>(value);
}

std::vector<std::filesystem::path> ParseStoredProfileList(
    const std::function<std::u16string(std::u16string_view key)>& read) {
  std::vector<std::filesystem::path> files;
  const int count = ParseStoredProfileCount(read(ProfileListKey(0)));
  for (int number = kSlotRows + 1; number <= count; ++number) {
    const std::u16string entry = read(ProfileListKey(number));
    if (UsableEntry(entry)) files.push_back(PathOf(entry));
  }
  return files;
}

std::vector<std::filesystem::path> ReadStoredProfileList() {
  return ParseStoredProfileList([](std::u16string_view key) {
    std::u16string value = app::GetSettingString(kProfileListSection, key, u"");
    if (value.size() > kMaxStoredProfilePath + 1) value.resize(kMaxStoredProfilePath + 1);
    return value;
  });
}

std::u16string ProfileRowName(const ProfileListRow& row) { return text::FromUtf8(row.file.stem().string()); }

std::u16string ProfileRowFolder(const ProfileListRow& row) {
  std::filesystem::path folder = row.file.parent_path();
  std::u16string text = text::FromUtf8(folder.string());
  if (!text.empty() && text.back() != u'/') text.push_back(u'/');
  return text;
}

bool ProfileFileExists(const std::filesystem::path& file) {
  if (!file.is_absolute()) return false;
  std::error_code error;
  return std::filesystem::is_regular_file(file, error);
}

void ProfileList::Fill(const std::filesystem::path& working, const std::vector<std::filesystem::path>& files,
                       int active_slot) {
  rows_.clear();
  for (int slot = 0; slot < kSlotRows; ++slot) rows_.push_back({slot, working, false});
  for (const std::filesystem::path& file : files) AppendFile(file);
  checked_ = active_slot >= 0 && active_slot < kSlotRows ? SlotRow(active_slot) : -1;
}

bool ProfileList::Check(int row) {
  if (row == -1) {
    checked_ = -1;
    return true;
  }
  if (row < 0 || row >= Count() || rows_[static_cast<std::size_t>(row)].missing) return false;
  checked_ = row;
  return true;
}

int ProfileList::AppendFile(const std::filesystem::path& file) {
  rows_.push_back({-1, file, !ProfileFileExists(file)});
  return Count() - 1;
}

int ProfileList::Delete(int row) {
  if (row < kSlotRows || row >= Count()) return -1;
  rows_.erase(rows_.begin() + row);
  if (checked_ == row) {
    checked_ = -1;
  } else if (checked_ > row) {
    --checked_;
  }
  return row < Count() ? row : row - 1;
}

std::vector<std::pair<std::u16string, std::u16string>> ProfileList::StoredEntries() const {
  std::vector<std::pair<std::u16string, std::u16string>> entries;
  std::u16string count;
  for (char c : std::to_string(Count())) count.push_back(static_cast<char16_t>(c));
  entries.emplace_back(ProfileListKey(0), count);
  for (int i = 0; i < Count(); ++i) {
    const ProfileListRow& row = rows_[static_cast<std::size_t>(i)];
    // A slot's row as folder, name and ".kyl"; a file's row names its file
    // as chosen (another extension included), so it reads back as that file.
    std::filesystem::path file = row.file;
    if (row.slot >= 0) file = row.file.parent_path() / (row.file.stem().string() + ".kyl");
    entries.emplace_back(ProfileListKey(i + 1), text::FromUtf8(file.string()));
  }
  return entries;
}

bool ProfileList::Store() const {
  // One change of the store: the whole list or, when it cannot be written,
  // the one stored before.
  return app::WriteSettingStrings(kProfileListSection, StoredEntries());
}

int ApplyProfileRow(KeyboardSession& session, const ProfileListRow* checked) {
  if (checked && checked->slot < 0) {
    if (ImportProfile(session, checked->file) != 1) return 0;
    RebuildProfileMenu(session, false);
    return 1;
  }
  if (checked) SelectSlotOnKeyboard(session, checked->slot);
  ReloadFromKeyboard(session);
  RebuildProfileMenu(session, false);
  session.windows.MainWindowHasUnappliedChanges.store(false);
  return 1;
}

}  // namespace keyloom::profiles
