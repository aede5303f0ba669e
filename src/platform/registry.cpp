#include "platform/registry.h"

#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace keyloom::registry {
namespace {

constexpr std::size_t kMaxStoreBytes = 4u << 20;
constexpr std::u16string_view kRoot = u"HKEY_CURRENT_USER\\";
constexpr std::u16string_view kHeader = u"Windows Registry Editor Version 5.00";

struct Value {
  std::u16string name;
  ValueType type = ValueType::Missing;  // Missing: a line this store does not interpret
  std::uint32_t dword = 0;
  std::u16string string;
  std::u16string raw;  // the whole line, for values of other types
  bool named = false;  // the line starts with a value name
};

struct KeyData {
  std::u16string path;
  std::vector<Value> values;
};

struct Store {
  std::vector<KeyData> keys;
  // Why rewriting the file from this store would lose part of it (text that
  // is no valid encoding, lines outside our keys); empty when nothing would.
  std::string damage;

  KeyData* Find(std::u16string_view path) {
    for (KeyData& k : keys)
      if (text::EqualsIgnoreCase(k.path, path)) return &k;
    return nullptr;
  }
  const KeyData* Find(std::u16string_view path) const {
    return const_cast<Store*>(this)->Find(path);
  }
  // The key itself or any key below it exists.
  bool Exists(std::u16string_view path) const {
    for (const KeyData& k : keys) {
      if (text::EqualsIgnoreCase(k.path, path)) return true;
      if (k.path.size() > path.size() && k.path[path.size()] == u'\\' &&
          text::EqualsIgnoreCase(std::u16string_view(k.path).substr(0, path.size()), path))
        return true;
    }
    return false;
  }
};

template <typename K>
auto FindValue(K& key, std::u16string_view name) -> decltype(&key.values.front()) {
  for (auto& v : key.values)
    if (v.type != ValueType::Missing && text::EqualsIgnoreCase(v.name, name)) return &v;
  return nullptr;
}

// The value `name` of key `path` in `store`, or null.
const Value* Lookup(const Store& store, std::u16string_view path, std::u16string_view name) {
  const KeyData* k = store.Find(path);
  return k ? FindValue(*k, name) : nullptr;
}

// ---- text form ----

std::u16string Escape(std::u16string_view s) {
  std::u16string out;
  for (char16_t c : s) {
    switch (c) {
      case u'\\': out += u"\\\\"; break;
      case u'"': out += u"\\\""; break;
      case u'\n': out += u"\\n"; break;
      case u'\r': out += u"\\r"; break;
      case u'\0': out += u"\\0"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

// Reads a quoted string at s[i] (which is '"'); i ends after the closing
// quote. Empty when the string is not closed.
std::optional<std::u16string> ReadQuoted(std::u16string_view s, std::size_t& i) {
  std::u16string out;
  for (++i; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (c == u'"') {
      ++i;
      return out;
    }
    if (c == u'\\' && i + 1 < s.size()) {
      const char16_t e = s[++i];
      switch (e) {
        case u'\\': out.push_back(u'\\'); break;
        case u'"': out.push_back(u'"'); break;
        case u'n': out.push_back(u'\n'); break;
        case u'r': out.push_back(u'\r'); break;
        case u'0': out.push_back(u'\0'); break;
        default: out.push_back(u'\\'), out.push_back(e);
      }
      continue;
    }
    out.push_back(c);
  }
  return std::nullopt;
}

std::optional<std::uint32_t> ParseHex32(std::u16string_view s) {
  if (s.empty() || s.size() > 8) return std::nullopt;
  std::uint32_t v = 0;
  for (char16_t c : s) {
    int d;
    if (c >= u'0' && c <= u'9') d = c - u'0';
    else if (c >= u'a' && c <= u'f') d = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F') d = c - u'A' + 10;
    else return std::nullopt;
    v = (v << 4) | std::uint32_t(d);
  }
  return v;
}

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && (s.front() == u' ' || s.front() == u'\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == u' ' || s.back() == u'\t')) s.remove_suffix(1);
  return s;
}

std::u16string NormalisePath(std::u16string_view path) {
  while (!path.empty() && path.front() == u'\\') path.remove_prefix(1);
  while (!path.empty() && path.back() == u'\\') path.remove_suffix(1);
  return std::u16string(path);
}

Store Parse(const std::string& bytes) {
  Store store;
  auto damaged = [&store](std::string why) {
    if (store.damage.empty()) store.damage = std::move(why);
  };
  std::u16string content;
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  if (bytes.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) content.push_back(char16_t(b[i] | (b[i + 1] << 8)));
    if (bytes.size() % 2 != 0) damaged("it ends in half a UTF-16 character");
    if (text::FromUtf8(text::ToUtf8(content)) != content) damaged("it is not valid UTF-16 text");
  } else {
    const std::string_view utf8 = std::string_view(bytes).substr(
        bytes.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF ? 3 : 0);
    content = text::FromUtf8(utf8);
    if (text::ToUtf8(content) != utf8) damaged("it is not valid UTF-8 text");
  }
  if (content.find(u'\0') != std::u16string::npos) {
    damaged("it holds NUL characters");
    std::erase(content, u'\0');  // kept in the damaged copy, not in the rewrite
  }

  KeyData* current = nullptr;
  std::size_t line_number = 0;
  // Indexes by folded name, so that a file of many keys or values parses
  // in linear time: key path -> its index; per key, the names seen.
  std::unordered_map<std::u16string, std::size_t> key_index;
  std::vector<std::unordered_set<std::u16string>> names_seen;
  std::unordered_set<std::u16string>* current_names = nullptr;
  std::size_t pos = 0;
  while (pos < content.size()) {
    auto end = content.find_first_of(u"\r\n", pos);
    if (end == std::u16string::npos) end = content.size();
    const std::u16string_view line = Trim(std::u16string_view(content).substr(pos, end - pos));
    const std::size_t this_line = line_number + 1;
    if (end < content.size() && content[end] == u'\n') ++line_number;
    pos = end + 1;
    if (line.empty() || line == kHeader || line == u"REGEDIT4") continue;
    const std::string where = "line " + std::to_string(this_line);
    if (line.front() == u'[') {
      current = nullptr;
      if (line.back() != u']') {
        damaged(where + " is an unclosed key name");
        continue;
      }
      const std::u16string_view inner = line.substr(1, line.size() - 2);
      if (inner.size() < kRoot.size() || !text::EqualsIgnoreCase(inner.substr(0, kRoot.size()), kRoot)) {
        damaged(where + " names a key outside HKEY_CURRENT_USER");
        continue;  // another root, or a deletion entry: not ours
      }
      const std::u16string path = NormalisePath(inner.substr(kRoot.size()));
      if (path.empty()) {
        damaged(where + " names no key");
        continue;
      }
      const auto [at, added] = key_index.try_emplace(text::ToUpperAscii(path), store.keys.size());
      if (added) {
        store.keys.push_back({path, {}});
        names_seen.emplace_back();
      }
      current = &store.keys[at->second];
      current_names = &names_seen[at->second];
      continue;
    }
    if (!current) {
      damaged(where + " lies outside every key");
      continue;
    }
    Value v;
    v.raw = std::u16string(line);
    std::size_t i = 0;
    std::optional<std::u16string> name;
    if (line.front() == u'@') {
      name = u"";
      i = 1;
    } else if (line.front() == u'"') {
      name = ReadQuoted(line, i);
    }
    if (name && i < line.size() && line[i] == u'=') {
      const std::u16string_view data = line.substr(i + 1);
      if (data.size() > 6 && text::EqualsIgnoreCase(data.substr(0, 6), u"dword:")) {
        if (const auto d = ParseHex32(data.substr(6))) {
          v.type = ValueType::Dword;
          v.dword = *d;
        }
      } else if (!data.empty() && data.front() == u'"') {
        std::size_t j = 0;
        if (auto s = ReadQuoted(data, j); s && j == data.size()) {
          v.type = ValueType::String;
          v.string = std::move(*s);
        }
      }
      v.name = std::move(*name);
      v.named = true;
    }
    // The first of duplicated values wins; later copies are kept as lines.
    if (v.type != ValueType::Missing && !current_names->insert(text::ToUpperAscii(v.name)).second)
      v.type = ValueType::Missing;
    current->values.push_back(std::move(v));
  }
  return store;
}

std::string Serialise(const Store& store) {
  std::u16string out;
  out += kHeader;
  out += u"\n";
  for (const KeyData& k : store.keys) {
    out += u"\n[";
    out += kRoot;
    out += k.path;
    out += u"]\n";
    for (const Value& v : k.values) {
      switch (v.type) {
        case ValueType::Dword:
          out += u"\"" + Escape(v.name) + u"\"=dword:" + text::Format(u"%08x", {v.dword});
          break;
        case ValueType::String:
          out += u"\"" + Escape(v.name) + u"\"=\"" + Escape(v.string) + u"\"";
          break;
        case ValueType::Missing:
          out += v.raw;
          break;
      }
      out += u"\n";
    }
  }
  return text::ToUtf8(out);
}

// ---- the store file ----

std::mutex g_mutex;  // guards everything below
std::filesystem::path g_file;
bool g_file_set = false;
std::vector<std::string> g_notices;

// The last parsed store and the stamp of the file it came from.
struct Cache {
  std::optional<platform::FileStamp> stamp;
  std::string bytes;
  std::shared_ptr<const Store> store;
  bool racy = true;
} g_cache;

std::filesystem::path StoreFileLocked() {
  if (!g_file_set) {
    g_file = paths::ConfigBase() / "keyloom" / "registry.reg";
    g_file_set = true;
  }
  return g_file;
}


enum class LoadResult { Ok, Missing, Unreadable };

// The current store (cached while the file's stamp stays the same; checked
// against the file's bytes while its last change is too recent to trust the
// stamp, see StampMayRepeat). Called with g_mutex held.
LoadResult LoadLocked(std::shared_ptr<const Store>& out) {
  const auto file = StoreFileLocked();
  const auto stamp = platform::StampOf(file);
  if (!stamp) {
    g_cache = Cache{};
    std::error_code ec;
    const bool exists = std::filesystem::exists(file, ec);
    if (exists || (ec && ec != std::errc::no_such_file_or_directory)) return LoadResult::Unreadable;
    out = std::make_shared<const Store>();
    return LoadResult::Missing;
  }
  if (g_cache.store && g_cache.stamp == stamp && !g_cache.racy) {
    out = g_cache.store;
    return LoadResult::Ok;
  }
  const long long read_at = platform::RealTimeNs();
  auto bytes = platform::ReadWholeFile(file, kMaxStoreBytes);
  if (!bytes) return LoadResult::Unreadable;
  if (!(g_cache.store && g_cache.bytes == *bytes))
    g_cache.store = std::make_shared<const Store>(Parse(*bytes));
  g_cache.bytes = std::move(*bytes);
  g_cache.stamp = stamp;
  g_cache.racy = platform::StampMayRepeat(*stamp, read_at);
  out = g_cache.store;
  return LoadResult::Ok;
}

bool SaveLocked(const Store& store) {
  const auto file = StoreFileLocked();
  const bool ok = platform::WriteFileAtomically(file, Serialise(store));
  g_cache = Cache{};
  return ok;
}

// Holds an exclusive flock() on "<store>.lock" while it lives, so that
// another process (keyloom and keyloomctl share the store) cannot slip its
// own change between this one's read and write. Without the lock file (no
// folder yet, read-only folder) the change goes on unguarded and the write
// decides.
class CrossProcessLock {
 public:
  explicit CrossProcessLock(const std::filesystem::path& store) {
    std::filesystem::path lock = store;
    lock += ".lock";
    fd_ = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ >= 0) {
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~CrossProcessLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  CrossProcessLock(const CrossProcessLock&) = delete;
  CrossProcessLock& operator=(const CrossProcessLock&) = delete;

 private:
  int fd_ = -1;
};

// Load, change, save. `change` returns false when nothing needs writing.
template <typename F>
bool Modify(F change) {
  std::lock_guard lock(g_mutex);
  {
    std::error_code ec;
    const auto folder = StoreFileLocked().parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
  }
  CrossProcessLock file_lock(StoreFileLocked());
  std::shared_ptr<const Store> current;
  if (LoadLocked(current) == LoadResult::Unreadable) return false;
  Store copy = *current;
  if (!change(copy)) return true;
  if (!copy.damage.empty()) {
    // What this store cannot read is kept beside it before the rewrite.
    const std::filesystem::path file = StoreFileLocked();
    std::error_code ec;
    const std::filesystem::path kept = platform::KeepDamagedCopy(file, g_cache.bytes, ec);
    if (kept.empty()) {
      g_notices.push_back("the registry store " + file.string() + " is damaged (" + copy.damage +
                          ") and could not be kept aside (" + platform::FileErrorText(ec) + "); it was not changed");
      return false;
    }
    g_notices.push_back("the registry store " + file.string() + " was damaged (" + copy.damage + "); it was kept as " +
                        kept.string() + " and written again from what could be read");
    copy.damage.clear();
  }
  return SaveLocked(copy);
}

KeyData& KeyFor(Store& store, std::u16string_view path) {
  if (KeyData* k = store.Find(path)) return *k;
  store.keys.push_back({std::u16string(path), {}});
  return store.keys.back();
}

}  // namespace

void SetStoreFile(const std::filesystem::path& file) {
  std::lock_guard lock(g_mutex);
  g_file = file;
  g_file_set = true;
  g_cache = Cache{};
}

std::string RewrittenStoreText(std::string_view bytes, std::string& damage) {
  const Store store = Parse(std::string(bytes));
  damage = store.damage;
  return Serialise(store);
}

std::vector<std::string> TakeNotices() {
  std::lock_guard lock(g_mutex);
  return std::exchange(g_notices, {});
}

std::filesystem::path StoreFile() {
  std::lock_guard lock(g_mutex);
  return StoreFileLocked();
}

ScopedStoreFile::ScopedStoreFile(const std::filesystem::path& file) {
  std::lock_guard lock(g_mutex);
  previous_ = g_file;
  previous_set_ = g_file_set;
  g_file = file;
  g_file_set = true;
  g_cache = Cache{};
}

ScopedStoreFile::~ScopedStoreFile() {
  std::lock_guard lock(g_mutex);
  g_file = previous_;
  g_file_set = previous_set_;
  g_cache = Cache{};
}

std::optional<Key> Key::Open(std::u16string_view path_in) {
  const std::u16string path = NormalisePath(path_in);
  if (path.empty()) return std::nullopt;
  std::lock_guard lock(g_mutex);
  std::shared_ptr<const Store> store;
  if (LoadLocked(store) != LoadResult::Ok || !store->Exists(path)) return std::nullopt;
  return Key(path);
}

std::optional<Key> Key::Create(std::u16string_view path_in) {
  const std::u16string path = NormalisePath(path_in);
  if (path.empty()) return std::nullopt;
  const bool ok = Modify([&](Store& s) {
    if (s.Exists(path)) return false;
    s.keys.push_back({path, {}});
    return true;
  });
  if (!ok) return std::nullopt;
  return Key(path);
}

ValueType Key::TypeOf(std::u16string_view name) const {
  std::lock_guard lock(g_mutex);
  std::shared_ptr<const Store> store;
  if (LoadLocked(store) != LoadResult::Ok) return ValueType::Missing;
  const Value* v = Lookup(*store, path_, name);
  return v ? v->type : ValueType::Missing;
}

std::optional<std::uint32_t> Key::GetDword(std::u16string_view name) const {
  std::lock_guard lock(g_mutex);
  std::shared_ptr<const Store> store;
  if (LoadLocked(store) != LoadResult::Ok) return std::nullopt;
  const Value* v = Lookup(*store, path_, name);
  if (!v || v->type != ValueType::Dword) return std::nullopt;
  return v->dword;
}

std::optional<std::u16string> Key::GetString(std::u16string_view name) const {
  std::lock_guard lock(g_mutex);
  std::shared_ptr<const Store> store;
  if (LoadLocked(store) != LoadResult::Ok) return std::nullopt;
  const Value* v = Lookup(*store, path_, name);
  if (!v || v->type != ValueType::String) return std::nullopt;
  return v->string;
}

namespace {

// The named value of the key, added when it has none.
Value& ValueFor(KeyData& k, std::u16string_view name) {
  if (Value* v = FindValue(k, name)) return *v;
  k.values.push_back({});
  Value& v = k.values.back();
  v.name = std::u16string(name);
  v.named = true;
  return v;
}

void StoreString(KeyData& k, std::u16string_view name, std::u16string_view value) {
  Value& v = ValueFor(k, name);
  v.type = ValueType::String;
  v.string = std::u16string(value);
}

}  // namespace

bool Key::SetDword(std::u16string_view name, std::uint32_t value) {
  return Modify([&](Store& s) {
    Value& v = ValueFor(KeyFor(s, path_), name);
    v.type = ValueType::Dword;
    v.dword = value;
    v.string.clear();
    return true;
  });
}

bool Key::SetString(std::u16string_view name, std::u16string_view value) {
  return Modify([&](Store& s) {
    StoreString(KeyFor(s, path_), name, value);
    return true;
  });
}

bool Key::SetStrings(const std::vector<std::pair<std::u16string, std::u16string>>& values) {
  return Modify([&](Store& s) {
    KeyData& k = KeyFor(s, path_);
    for (const auto& [name, value] : values) StoreString(k, name, value);
    return true;
  });
}

bool Key::DeleteValue(std::u16string_view name) {
  return Modify([&](Store& s) {
    KeyData* k = s.Find(path_);
    if (!k) return false;
    const auto before = k->values.size();
    // Later copies of the same name go too, or they would take its place.
    std::erase_if(k->values, [&](const Value& v) { return v.named && text::EqualsIgnoreCase(v.name, name); });
    return k->values.size() != before;
  });
}

}  // namespace keyloom::registry
