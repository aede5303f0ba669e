#pragma once
// A skin INI file: its path and string access through the platform's
// private-profile reader.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace keyloom::skin {

class CIniFile {
 public:
  // The longest value GetString returns, in UTF-16 code units.
  static constexpr std::size_t kMaxValue = 2047;

  CIniFile() = default;
  explicit CIniFile(std::filesystem::path path) : path_(std::move(path)) {}
  virtual ~CIniFile() = default;

  // Replaces the path. Linux paths are kept whole: they are not bounded by
  // the 260-character buffers of the files' original platform.
  void SetPath(const std::filesystem::path& path) { path_ = path; }
  const std::filesystem::path& Path() const { return path_; }

  // The value of `key` in `section` (at most kMaxValue code units), `def` when
  // the key is missing; nothing when the result is empty.
  std::optional<std::u16string> GetString(std::u16string_view section, std::u16string_view key,
                                          std::u16string_view def) const;
  bool WriteString(std::u16string_view section, std::u16string_view key, std::u16string_view value) const;

 private:
  std::filesystem::path path_;
};

}  // namespace keyloom::skin
