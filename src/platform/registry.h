#pragma once
// The per-user registry stand-in: a typed store of values (REG_DWORD or
// string) under keys such as u"Software\\Tarn-60 Gaming Keyboard", kept in one
// .reg text file ($XDG_CONFIG_HOME/keyloom/registry.reg by default):
//   [HKEY_CURRENT_USER\Software\...]
//   "name"=dword:00000409
//   "name"="text"
// Every change rewrites the file atomically (temporary file, then rename), so
// a crash mid-write leaves the old file whole. Key and value names are
// matched ignoring case. A change holds an flock() on "<file>.lock" from its
// read to its write, so processes sharing the store lose no update. Strings escape backslash, quote, CR, LF and NUL
// with a backslash. The file may also be UTF-16LE with BOM (as exported by
// regedit); it is always written as UTF-8. Lines this store does not
// interpret (other value types, comments inside a key) are kept. Safe to call
// from any thread.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace keyloom::registry {

enum class ValueType { Missing, Dword, String };

// The file the store uses; tests point it elsewhere. Default as above.
void SetStoreFile(const std::filesystem::path& file);
std::filesystem::path StoreFile();

// Points the store at `file` for the lifetime of the object, then restores
// the file (or the default) in use before.
class ScopedStoreFile {
 public:
  explicit ScopedStoreFile(const std::filesystem::path& file);
  ~ScopedStoreFile();
  ScopedStoreFile(const ScopedStoreFile&) = delete;
  ScopedStoreFile& operator=(const ScopedStoreFile&) = delete;

 private:
  std::filesystem::path previous_;
  bool previous_set_ = false;
};

// What the store did to a damaged file since the last call, one line each
// naming the file: a file it could not read whole (text in no valid
// encoding, lines outside its keys) is kept as "<file>.damaged" before its
// first rewrite, or left unchanged when that copy cannot be made.
std::vector<std::string> TakeNotices();

// The text a rewrite of a store file holding `bytes` would write (UTF-8),
// and in `damage` why that rewrite would lose part of them (empty when it
// would not). For checks of the text form; safe on any bytes.
std::string RewrittenStoreText(std::string_view bytes, std::string& damage);

// A key under HKEY_CURRENT_USER. Open fails when the key does not exist
// (and the store file is readable); Create makes it. Failing I/O makes
// both fail.
class Key {
 public:
  static std::optional<Key> Open(std::u16string_view path);
  static std::optional<Key> Create(std::u16string_view path);

  const std::u16string& path() const { return path_; }
  ValueType TypeOf(std::u16string_view name) const;
  std::optional<std::uint32_t> GetDword(std::u16string_view name) const;
  std::optional<std::u16string> GetString(std::u16string_view name) const;
  bool SetDword(std::u16string_view name, std::uint32_t value);  // replaces any type
  bool SetString(std::u16string_view name, std::u16string_view value);
  // Several strings in one change: all of them are in the file afterwards,
  // or (on failure) none.
  bool SetStrings(const std::vector<std::pair<std::u16string, std::u16string>>& values);
  // True when the value is gone afterwards (also when there was none).
  bool DeleteValue(std::u16string_view name);

 private:
  explicit Key(std::u16string path) : path_(std::move(path)) {}
  std::u16string path_;
};

}  // namespace keyloom::registry
