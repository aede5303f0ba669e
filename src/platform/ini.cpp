#include "platform/ini.h"

#include "platform/atomic_file.h"
#include "platform/ini_document.h"
#include "platform/text.h"

#include <ctime>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace keyloom::ini {
namespace {

// Larger files are not read (INI files of this program are a few KiB).
constexpr std::size_t kMaxFileBytes = 16u << 20;
// More cached files than this and the cache starts again.
constexpr std::size_t kMaxCachedFiles = 64;

// A file changed within the file system's timestamp granularity after it
// was read can keep the same stamp (same size, same coarse mtime). Entries
// read this soon after the file's last change are "racy": they are checked
// against the file's bytes until the change is old enough to trust
// (platform::StampMayRepeat).
struct Cached {
  platform::FileStamp stamp;
  std::shared_ptr<const Document> doc;
  bool racy = false;
};

std::mutex g_cache_mutex;
std::unordered_map<std::string, Cached> g_cache;
// Serialises this process's read-modify-write cycles.
std::mutex g_write_mutex;

void Forget(const std::filesystem::path& file) {
  std::lock_guard lock(g_cache_mutex);
  g_cache.erase(file.native());
}

// The parsed file, from the cache while its stamp is unchanged; null when
// the file does not exist or cannot be read.
std::shared_ptr<const Document> Load(const std::filesystem::path& file) {
  // The stamp is taken before reading: if the file changes in between, the
  // next lookup sees a newer stamp and reads again.
  const auto stamp = platform::StampOf(file);
  if (!stamp) {
    Forget(file);
    return nullptr;
  }
  std::shared_ptr<const Document> previous;
  {
    std::lock_guard lock(g_cache_mutex);
    const auto it = g_cache.find(file.native());
    if (it != g_cache.end() && it->second.stamp == *stamp) {
      if (!it->second.racy) return it->second.doc;
      previous = it->second.doc;
    }
  }
  const long long read_at = platform::RealTimeNs();
  auto bytes = platform::ReadWholeFile(file, kMaxFileBytes);
  if (!bytes) return nullptr;
  std::shared_ptr<const Document> doc;
  if (previous && previous->bytes() == *bytes)
    doc = previous;
  else
    doc = std::make_shared<const Document>(Document::Parse(std::move(*bytes)));
  std::lock_guard lock(g_cache_mutex);
  if (g_cache.size() >= kMaxCachedFiles) g_cache.clear();
  g_cache[file.native()] = Cached{*stamp, doc, platform::StampMayRepeat(*stamp, read_at)};
  return doc;
}

std::u16string_view UpToNul(std::u16string_view s) {
  const auto nul = s.find(u'\0');
  return nul == std::u16string_view::npos ? s : s.substr(0, nul);
}

}  // namespace

std::size_t GetString(const std::filesystem::path& file, std::u16string_view section,
                      std::u16string_view key, std::u16string_view def, std::u16string& out,
                      std::size_t capacity) {
  out.clear();
  if (capacity == 0) return 0;
  const auto doc = Load(file);
  const std::u16string* found = doc ? doc->Find(section, key) : nullptr;
  std::u16string_view value = UpToNul(found ? std::u16string_view(*found) : def);
  if (!found) {
    // A default's trailing blanks do not come back.
    while (!value.empty() && (value.back() == u' ' || value.back() == u'\t')) value.remove_suffix(1);
  }
  out.assign(value.substr(0, capacity - 1));
  return out.size();
}

std::u16string GetString(const std::filesystem::path& file, std::u16string_view section,
                         std::u16string_view key, std::u16string_view def, std::size_t capacity) {
  std::u16string out;
  GetString(file, section, key, def, out, capacity);
  return out;
}

int GetInt(const std::filesystem::path& file, std::u16string_view section, std::u16string_view key,
           int def) {
  std::u16string value;
  if (GetString(file, section, key, u"", value, 260) == 0) return def;
  std::size_t i = 0;
  bool negative = false;
  if (i < value.size() && (value[i] == u'-' || value[i] == u'+')) negative = value[i++] == u'-';
  std::uint32_t result = 0;  // wraps like the 32-bit original
  for (; i < value.size() && value[i] >= u'0' && value[i] <= u'9'; ++i)
    result = result * 10u + std::uint32_t(value[i] - u'0');
  if (negative) result = 0u - result;
  return static_cast<int>(result);
}

std::vector<std::u16string> KeyNames(const std::filesystem::path& file, std::u16string_view section) {
  const auto doc = Load(file);
  return doc ? doc->KeyNames(section) : std::vector<std::u16string>{};
}

std::vector<std::u16string> SectionNames(const std::filesystem::path& file) {
  const auto doc = Load(file);
  return doc ? doc->SectionNames() : std::vector<std::u16string>{};
}

namespace {

// Reads the current file fresh (never from the cache) for an edit. Empty
// when it exists but cannot be read: it must not be replaced then.
std::optional<Document> LoadForEdit(const std::filesystem::path& file, bool& exists) {
  std::error_code ec;
  exists = std::filesystem::exists(file, ec);
  if (ec) return std::nullopt;
  if (!exists) return Document::Empty(Encoding::Utf16Le);
  auto bytes = platform::ReadWholeFile(file, kMaxFileBytes);
  if (!bytes) return std::nullopt;
  return Document::Parse(std::move(*bytes));
}

}  // namespace

bool WriteString(const std::filesystem::path& file, std::u16string_view section,
                 std::u16string_view key, std::u16string_view value) {
  std::lock_guard lock(g_write_mutex);
  bool exists = false;
  const auto doc = LoadForEdit(file, exists);
  if (!doc) return false;
  const auto bytes = doc->WithValue(section, key, value);
  if (!bytes) return false;
  const bool ok = platform::WriteFileAtomically(file, *bytes);
  Forget(file);
  return ok;
}

bool WriteStrings(const std::filesystem::path& file, std::u16string_view section,
                  const std::vector<std::pair<std::u16string, std::u16string>>& keys_and_values) {
  std::lock_guard lock(g_write_mutex);
  bool exists = false;
  auto doc = LoadForEdit(file, exists);
  if (!doc) return false;
  if (keys_and_values.empty()) return true;
  for (const auto& [key, value] : keys_and_values) {
    auto bytes = doc->WithValue(section, key, value);
    if (!bytes) return false;
    doc = Document::Parse(std::move(*bytes));
  }
  const bool ok = platform::WriteFileAtomically(file, doc->bytes());
  Forget(file);
  return ok;
}

bool DeleteKey(const std::filesystem::path& file, std::u16string_view section,
               std::u16string_view key) {
  std::lock_guard lock(g_write_mutex);
  bool exists = false;
  const auto doc = LoadForEdit(file, exists);
  if (!doc) return false;
  if (!exists) return true;
  const auto bytes = doc->Without(section, key);
  if (!bytes) return true;
  const bool ok = platform::WriteFileAtomically(file, *bytes);
  Forget(file);
  return ok;
}

void ClearCache() {
  std::lock_guard lock(g_cache_mutex);
  g_cache.clear();
}

}  // namespace keyloom::ini
