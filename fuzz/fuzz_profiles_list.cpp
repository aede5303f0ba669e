// The remembered profile list from the settings store: any texts under the
// "PROFILES" keys read back as at most kMaxStoredProfileRows file rows, each
// usable as a path, and a list built from them stores entries that read
// back as the same rows.
//
// The input is read as UTF-16 units (two bytes, little-endian) split at
// U+000A into the values of PROFILE00, PROFILE01, ...
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "profiles/profile_list.h"

using namespace keyloom::profiles;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::map<std::u16string, std::u16string> stored;
  std::u16string value;
  int number = 0;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit == u'\n') {
      stored[ProfileListKey(number++)] = value;
      value.clear();
    } else {
      value.push_back(unit);
    }
  }
  stored[ProfileListKey(number)] = value;
  auto read = [](const std::map<std::u16string, std::u16string>& from) {
    return [&from](std::u16string_view key) {
      auto it = from.find(std::u16string(key));
      return it == from.end() ? std::u16string() : it->second;
    };
  };

  const auto files = ParseStoredProfileList(read(stored));
  if (files.size() > static_cast<std::size_t>(kMaxStoredProfileRows)) std::abort();
  ProfileList list;
  list.Fill("/data/$Profile0", files, 0);
  for (const ProfileListRow& row : list.Rows()) {
    (void)ProfileRowName(row);
    (void)ProfileRowFolder(row);
  }
  const auto entries = list.StoredEntries();
  const std::map<std::u16string, std::u16string> again(entries.begin(), entries.end());
  if (ParseStoredProfileList(read(again)) != files) std::abort();
  return 0;
}
