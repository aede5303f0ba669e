#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

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

bool WriteFileAtomically(const std::filesystem::path& given, std::string_view bytes) {
  // Through a symbolic link, the file it points at is replaced, not the link.
  std::filesystem::path file = given;
  std::error_code ec;
  if (std::filesystem::is_symlink(given, ec)) {
    file = std::filesystem::weakly_canonical(given, ec);
    if (ec) return false;
  }
  if (file.filename().empty()) return false;
  const std::filesystem::path dir = file.parent_path().empty() ? "." : file.parent_path();
  std::string tmpl = (dir / ("." + file.filename().string() + ".XXXXXX")).string();
  Fd tmp(::mkostemp(tmpl.data(), O_CLOEXEC));
  if (tmp.fd < 0) return false;
  struct stat st {};
  mode_t mode;
  if (::stat(file.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode = 0666 & ~CurrentUmask();
  }
  const bool ok = ::fchmod(tmp.fd, mode) == 0 && WriteAll(tmp.fd, bytes) && ::fsync(tmp.fd) == 0;
  const int fd = tmp.fd;
  tmp.fd = -1;
  if (::close(fd) != 0 || !ok || ::rename(tmpl.c_str(), file.c_str()) != 0) {
    ::unlink(tmpl.c_str());
    return false;
  }
  return true;
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

}  // namespace keyloom::platform
