#include "skin/ini_file.h"

#include "platform/ini.h"

namespace keyloom::skin {

std::optional<std::u16string> CIniFile::GetString(std::u16string_view section, std::u16string_view key,
                                                  std::u16string_view def) const {
  std::u16string value;
  ini::GetString(path_, section, key, def, value, kMaxValue + 1);
  if (value.empty()) return std::nullopt;
  return value;
}

bool CIniFile::WriteString(std::u16string_view section, std::u16string_view key,
                           std::u16string_view value) const {
  return ini::WriteString(path_, section, key, value);
}

}  // namespace keyloom::skin
