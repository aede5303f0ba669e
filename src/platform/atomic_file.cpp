#include "platform/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace keyloom::platform {
namespace {

struct Fd {
  int fd = -1;
  explicit Fd(int f) : fd(f) {}
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
};

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The process's umask, read without changing it (umask() would race with
// other threads creating files).
mode_t CurrentUmask() {
  mode_t mask = 022;
  if (FILE* f = std::fopen("/proc/self/status", "re")) {
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
      unsigned value;
      if (std::sscanf(line, "Umask: %o", &value) == 1) {
        mask = static_cast<mode_t>(value & 0777);
        break;
      }
    }
    std::fclose(f);
  }
  return mask;
}

}  // namespace

RegularFile::RegularFile(const std::filesystem::path& file) {
  // Non-blocking, so that opening a FIFO does not wait for a writer.
  Fd f(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (f.fd < 0) return;
  struct stat st {};
  if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return;
  const int flags = ::fcntl(f.fd, F_GETFL);
  if (flags < 0 || ::fcntl(f.fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return;
  size_ = static_cast<unsigned long long>(st.st_size);
  fd_ = f.fd;
  f.fd = -1;
}

RegularFile::~RegularFile() {
  if (fd_ >= 0) ::close(fd_);
}

RegularFile::RegularFile(RegularFile&& other) noexcept : fd_(other.fd_), size_(other.size_) { other.fd_ = -1; }

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    size_ = other.size_;
    other.fd_ = -1;
  }
  return *this;
}

long long RegularFile::Read(void* data, std::size_t size) {
  if (fd_ < 0) return -1;
  auto* p = static_cast<char*>(data);
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd_, p + got, size - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return static_cast<long long>(got);
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& file, std::size_t max_bytes) {
  RegularFile f(file);
  if (!f.IsOpen() || f.Size() > max_bytes) return std::nullopt;
  std::string out;
  out.resize(static_cast<std::size_t>(f.Size()));
  std::size_t got = 0;
  for (;;) {
    if (got == out.size()) {
      // The file may have grown since it was opened; read on in steps,
      // still bounded.
      if (out.size() >= max_bytes) {
        char probe;
        const long long n = f.Read(&probe, 1);
        if (n == 0) break;
        return std::nullopt;
      }
      out.resize(std::min(max_bytes, out.size() + 4096));
    }
    const long long n = f.Read(out.data() + got, out.size() - got);
    if (n < 0) return std::nullopt;
    got += static_cast<std::size_t>(n);
    if (got < out.size()) break;  // the file ended
  }
  out.resize(got);
  return out;
}

namespace {

constexpr std::size_t kTempRandomLength = 6;  // what mkostemps puts for "XXXXXX"
// Ends every temporary's name, so that a cleaner never takes a file of the
// user's (".big.kyl.backup", say) for one of ours.
constexpr std::string_view kTempEnding = ".saving";

std::error_code LastError() { return std::error_code(errno, std::generic_category()); }

// The file that is really replaced: through a symbolic link, the file it
// points at, not the link.
bool ResolveTarget(const std::filesystem::path& given, std::filesystem::path& file, std::error_code& error) {
  file = given;
  std::error_code ec;
  if (std::filesystem::is_symlink(given, ec)) {
    file = std::filesystem::weakly_canonical(given, ec);
    if (ec) {
      error = ec;
      return false;
    }
  }
  if (file.filename().empty() || file.filename() == "." || file.filename() == "..") {
    error = std::make_error_code(std::errc::is_a_directory);
    return false;
  }
  return true;
}

std::filesystem::path FolderOf(const std::filesystem::path& file) {
  return file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path();
}

// ".<name>." — the start of every temporary of `file`.
std::string TemporaryPrefix(const std::filesystem::path& file) { return "." + file.filename().string() + "."; }

bool IsTemporaryName(const std::string& name, const std::string& prefix) {
  if (name.size() != prefix.size() + kTempRandomLength + kTempEnding.size() ||
      name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(name.size() - kTempEnding.size(), kTempEnding.size(), kTempEnding) != 0)
    return false;
  for (std::size_t i = prefix.size(); i < prefix.size() + kTempRandomLength; ++i) {
    const char c = name[i];
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Flushes the folder's entries, so that a rename in it survives a power
// loss. Best effort: some file systems cannot flush a folder.
void FlushFolder(const std::filesystem::path& folder) {
  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.fd >= 0) (void)::fsync(dir.fd);
}

// A new temporary beside `file`, created, locked and still in place: a
// cleaner that removed it between its creation and the lock (it looked
// stale for that instant) makes it start again.
bool CreateLockedTemporary(const std::filesystem::path& file, std::string& name, Fd& out, std::error_code& error) {
  const std::string base = (FolderOf(file) / TemporaryPrefix(file)).string() + "XXXXXX" + std::string(kTempEnding);
  for (int attempt = 0; attempt < 8; ++attempt) {
    name = base;
    Fd tmp(::mkostemps(name.data(), static_cast<int>(kTempEnding.size()), O_CLOEXEC));
    if (tmp.fd < 0) {
      error = LastError();
      return false;
    }
    while (::flock(tmp.fd, LOCK_EX) != 0) {
      if (errno != EINTR) {
        error = LastError();
        ::unlink(name.c_str());
        return false;
      }
    }
    struct stat opened {}, named {};
    if (::fstat(tmp.fd, &opened) == 0 && ::lstat(name.c_str(), &named) == 0 && SameFile(opened, named)) {
      out.fd = tmp.fd;
      tmp.fd = -1;
      return true;
    }
  }
  error = std::make_error_code(std::errc::resource_unavailable_try_again);
  return false;
}

}  // namespace

std::size_t RemoveStaleTemporaries(const std::filesystem::path& given) {
  std::filesystem::path file;
  std::error_code ec;
  if (!ResolveTarget(given, file, ec)) return 0;
  const std::filesystem::path folder = FolderOf(file);
  const std::string prefix = TemporaryPrefix(file);
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return 0;
  std::vector<std::string> candidates;
  while (const dirent* entry = ::readdir(dir)) {
    if (IsTemporaryName(entry->d_name, prefix)) candidates.emplace_back(entry->d_name);
  }
  ::closedir(dir);
  std::size_t removed = 0;
  const uid_t me = ::geteuid();
  for (const std::string& name : candidates) {
    const std::filesystem::path path = folder / name;
    Fd f(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    if (f.fd < 0) continue;
    struct stat opened {}, named {};
    if (::fstat(f.fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_uid != me) continue;
    // A writer that is alive holds the lock until its rename.
    if (::flock(f.fd, LOCK_EX | LOCK_NB) != 0) continue;
    // Still the same file under that name (a finished writer renamed it away).
    if (::lstat(path.c_str(), &named) != 0 || !SameFile(opened, named)) continue;
    if (::unlink(path.c_str()) == 0) ++removed;
  }
  return removed;
}

bool WriteFileAtomically(const std::filesystem::path& given, std::string_view bytes, std::error_code* error_out) {
  std::error_code error;
  auto fail = [&](std::error_code e) {
    if (error_out) *error_out = e;
    return false;
  };
  std::filesystem::path file;
  if (!ResolveTarget(given, file, error)) return fail(error);
  {
    struct stat target {};
    if (::stat(file.c_str(), &target) == 0 && S_ISDIR(target.st_mode))
      return fail(std::make_error_code(std::errc::is_a_directory));
  }
  RemoveStaleTemporaries(file);
  std::string tmpl;
  Fd tmp(-1);
  if (!CreateLockedTemporary(file, tmpl, tmp, error)) return fail(error);
  struct stat st {};
  mode_t mode;
  if (::stat(file.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode = 0666 & ~CurrentUmask();
  }
  if (::fchmod(tmp.fd, mode) != 0 || !WriteAll(tmp.fd, bytes) || ::fsync(tmp.fd) != 0) {
    error = LastError();
    ::unlink(tmpl.c_str());
    return fail(error);
  }
  // Renamed while still locked, so that no cleaner takes it for stale.
  if (::rename(tmpl.c_str(), file.c_str()) != 0) {
    error = LastError();
    ::unlink(tmpl.c_str());
    return fail(error);
  }
  FlushFolder(FolderOf(file));
  return true;
}

bool CanReplaceFile(const std::filesystem::path& given, std::error_code& error) {
  std::filesystem::path file;
  if (!ResolveTarget(given, file, error)) return false;
  struct stat st {};
  if (::stat(file.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      error = std::make_error_code(std::errc::is_a_directory);
      return false;
    }
    if (!S_ISREG(st.st_mode)) {
      error = std::make_error_code(std::errc::invalid_argument);
      return false;
    }
  } else if (errno != ENOENT) {
    error = LastError();
    return false;
  }
  const std::filesystem::path folder = FolderOf(file);
  struct stat dir {};
  if (::stat(folder.c_str(), &dir) != 0) {
    error = LastError();
    return false;
  }
  if (!S_ISDIR(dir.st_mode)) {
    error = std::make_error_code(std::errc::not_a_directory);
    return false;
  }
  if (::access(folder.c_str(), W_OK | X_OK) != 0) {
    error = LastError();
    return false;
  }
  return true;
}

namespace {

// An earlier damaged copy is kept too: the first free of ".damaged",
// ".damaged.1" .. ".damaged.9"; the last one is reused when all are taken.
std::filesystem::path DamagedName(const std::filesystem::path& file) {
  std::filesystem::path kept;
  for (int n = 0; n <= 9; ++n) {
    kept = file;
    kept += n == 0 ? std::string(".damaged") : ".damaged." + std::to_string(n);
    struct stat st {};
    if (::lstat(kept.c_str(), &st) != 0 && errno == ENOENT) break;
  }
  return kept;
}

}  // namespace

std::filesystem::path KeepDamagedCopy(const std::filesystem::path& given, std::string_view bytes,
                                      std::error_code& error) {
  std::filesystem::path file;
  if (!ResolveTarget(given, file, error)) return {};
  const std::filesystem::path kept = DamagedName(file);
  if (!WriteFileAtomically(kept, bytes, &error)) return {};
  return kept;
}

std::filesystem::path KeepDamagedFile(const std::filesystem::path& given, std::error_code& error) {
  std::filesystem::path file;
  if (!ResolveTarget(given, file, error)) return {};
  const std::filesystem::path kept = DamagedName(file);
  if (::rename(file.c_str(), kept.c_str()) != 0) {
    error = LastError();
    return {};
  }
  FlushFolder(FolderOf(file));
  return kept;
}

std::string FileErrorText(const std::error_code& error) {
  if (!error) return "unknown error";
  return error.message();
}

std::optional<FileStamp> StampOf(const std::filesystem::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  FileStamp s;
  s.device = st.st_dev;
  s.inode = st.st_ino;
  s.size = st.st_size;
  s.mtime_ns = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  s.ctime_ns = static_cast<long long>(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec;
  return s;
}

long long SameStampWindowNs(long long time_ns) {
  constexpr long long kSecond = 1'000'000'000LL;
  static const long long tick_ns = [] {
    timespec res{};
    if (clock_getres(CLOCK_REALTIME_COARSE, &res) != 0 || (res.tv_sec == 0 && res.tv_nsec == 0)) return kSecond;
    return static_cast<long long>(res.tv_sec) * kSecond + res.tv_nsec;
  }();
  if (time_ns % kSecond == 0) return 2 * kSecond;
  // At least two ticks of the coarsest kernel clock (100 Hz), for a file
  // server whose clock ticks slower than this machine's.
  constexpr long long kSlowestTwoTicks = 20'000'000LL;
  return std::clamp(2 * tick_ns, kSlowestTwoTicks, 2 * kSecond);
}

bool StampMayRepeat(const FileStamp& stamp, long long read_at_ns) {
  return read_at_ns - stamp.mtime_ns < SameStampWindowNs(stamp.mtime_ns) ||
         read_at_ns - stamp.ctime_ns < SameStampWindowNs(stamp.ctime_ns);
}

long long RealTimeNs() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<long long>(ts.tv_sec) * 1'000'000'000LL + ts.tv_nsec;
}

}  // namespace keyloom::platform
