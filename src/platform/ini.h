#pragma once
// Private-profile INI files: the semantics of the Windows functions that the
// utility's files were written for. Sections and keys are found ignoring
// case and the blanks around the names asked for, the first of duplicated
// sections or keys wins, blanks around keys and values are trimmed, matching
// quotes around a value are stripped, lines starting with ';' are comments.
// A section's name ends at the first ']' of its header line, or without one
// at the end of the line; "[]" is the section with the empty name. A
// default's trailing blanks are removed. Files may be UTF-16LE with BOM,
// UTF-8 (with or without BOM) or ASCII. Parsed files are cached per path and
// re-read when their size or modification time changes. Safe to call from
// any thread.
//
// Writing rewrites the file with every line ended by CR LF and no blank line
// before a new section, as the Windows functions do. Where they differ: a
// value with blanks at either end (or in matching quotes) is written in
// quotes, so that it reads back whole rather than trimmed.
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace keyloom::ini {

// Reads `key` of `section` into `out`: at most capacity - 1 code units come
// back (capacity 0 gives nothing). A missing file, section or key gives
// `def` without its trailing blanks (also cut to capacity - 1). Returns the
// number of code units in `out`.
std::size_t GetString(const std::filesystem::path& file, std::u16string_view section,
                      std::u16string_view key, std::u16string_view def,
                      std::u16string& out, std::size_t capacity);

// Convenience form with the usual 260-unit buffer.
std::u16string GetString(const std::filesystem::path& file, std::u16string_view section,
                         std::u16string_view key, std::u16string_view def = u"",
                         std::size_t capacity = 260);

// Like GetPrivateProfileInt: leading decimal digits of the value (optional
// sign), `def` when the key is missing.
int GetInt(const std::filesystem::path& file, std::u16string_view section,
           std::u16string_view key, int def);

// Key names of a section, in file order (first occurrence of each).
std::vector<std::u16string> KeyNames(const std::filesystem::path& file, std::u16string_view section);
// Section names of a file, in file order (first occurrence of each).
std::vector<std::u16string> SectionNames(const std::filesystem::path& file);

// Writes `key` = `value` in `section`. Keeps the text of every other line,
// comment and the file's encoding; creates a missing file (UTF-16LE with
// BOM) or section (at the end of the file).
// The file is replaced atomically (temporary file in the same folder, then
// rename). Returns true on success.
bool WriteString(const std::filesystem::path& file, std::u16string_view section,
                 std::u16string_view key, std::u16string_view value);

// Writes several keys of one section in one replacement of the file (one
// read, one write): for a caller that stores many values at once. Nothing is
// written when any of them could not be (see WriteString).
bool WriteStrings(const std::filesystem::path& file, std::u16string_view section,
                  const std::vector<std::pair<std::u16string, std::u16string>>& keys_and_values);

// Removes one key (or, with an empty key, a whole section). True on success
// or when there was nothing to remove.
bool DeleteKey(const std::filesystem::path& file, std::u16string_view section,
               std::u16string_view key);

// Drops every cached file.
void ClearCache();

// A cache that starts empty and is emptied again when the guard ends, so
// that files a test made and removed are not remembered by the next.
class ScopedEmptyCache {
 public:
  ScopedEmptyCache() { ClearCache(); }
  ~ScopedEmptyCache() { ClearCache(); }
  ScopedEmptyCache(const ScopedEmptyCache&) = delete;
  ScopedEmptyCache& operator=(const ScopedEmptyCache&) = delete;
};

}  // namespace keyloom::ini
