#pragma once
// Reading whole files and replacing them atomically: the new content goes to
// a temporary file in the same folder, is flushed to disk, and then renamed
// over the old file, so a crash at any moment leaves either the old file or
// the new one, never a mix.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace keyloom::platform {

// A regular file open for reading. Anything else (a FIFO, a device, a
// folder) is refused without blocking: the file is opened non-blocking and
// checked on the opened descriptor, so it cannot be swapped in between.
class RegularFile {
 public:
  RegularFile() = default;
  explicit RegularFile(const std::filesystem::path& file);
  ~RegularFile();
  RegularFile(RegularFile&& other) noexcept;
  RegularFile& operator=(RegularFile&& other) noexcept;
  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  // The size when it was opened.
  unsigned long long Size() const { return size_; }
  // Reads until `size` bytes are in `data` or the file ends; the bytes read,
  // or -1 on a read error.
  long long Read(void* data, std::size_t size);

 private:
  int fd_ = -1;
  unsigned long long size_ = 0;
};

// The whole file, or empty when it cannot be read, is no regular file or is
// larger than max_bytes.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file,
                                         std::size_t max_bytes = 64u << 20);

// Replaces `file` with `bytes`. A new file gets mode 0666 minus umask; an
// existing file keeps its permission bits. The temporary file
// (".<name>.XXXXXX.saving" beside the file) is flushed to disk before the rename
// and the folder after it, so neither a crash nor a power loss can leave an
// empty or partial file under the name. The temporary is held locked while
// it is written; stale ones of `file` that a killed writer left behind are
// removed first (RemoveStaleTemporaries). False (and the old file untouched)
// when anything fails, with the cause in `error` when given.
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view bytes,
                         std::error_code* error = nullptr);

// Removes the temporaries of `file` that no writer holds any more: regular
// files named ".<name>.XXXXXX.saving" in its folder, owned by this user, whose lock
// can be taken (a writer that is alive holds it until its rename). Returns
// how many were removed.
std::size_t RemoveStaleTemporaries(const std::filesystem::path& file);

// Whether `file` could be replaced now: it is a regular file or missing,
// and its folder exists and lets this user create and rename files. False
// with the cause otherwise (nothing is created).
bool CanReplaceFile(const std::filesystem::path& file, std::error_code& error);

// Moves a damaged `file` aside to "<file>.damaged" (or, when that is
// taken, ".damaged.1" .. ".damaged.9") so a new file can take its place
// without losing it. The
// name it was kept under, or empty with the cause in `error`.
std::filesystem::path KeepDamagedFile(const std::filesystem::path& file, std::error_code& error);

// Writes `bytes`, what a damaged `file` held, to the name KeepDamagedFile
// would use, for a caller that rewrites the file from what it could read.
std::filesystem::path KeepDamagedCopy(const std::filesystem::path& file, std::string_view bytes,
                                      std::error_code& error);

// The cause of a failed file operation for a message: the system's text
// ("Permission denied"), or "unknown error" for none.
std::string FileErrorText(const std::error_code& error);

// What identifies one version of a file for caching: a rewrite by rename
// changes the inode, an in-place edit the size or the times.
struct FileStamp {
  unsigned long long device = 0;
  unsigned long long inode = 0;
  long long size = 0;
  long long mtime_ns = 0;
  long long ctime_ns = 0;
  bool operator==(const FileStamp&) const = default;
};
// The stamp of a regular file; empty when it does not exist or is no
// regular file.
std::optional<FileStamp> StampOf(const std::filesystem::path& file);

// How long after a change to a file another change may still leave the same
// stamp, for a change stamped `time_ns`. File systems that keep nanoseconds
// take their times from the kernel's coarse clock, so a change one tick
// later shows (two ticks are allowed, at least 20 ms for a file server
// whose clock ticks slower); a time without a fraction of a second
// may come from one that keeps whole (or two) seconds: 2 s.
long long SameStampWindowNs(long long time_ns);
// Whether a file read at `read_at_ns` (RealTimeNs) could still change
// without its stamp showing it: a cache of what was read must then check
// the bytes again until the change is older than its window.
bool StampMayRepeat(const FileStamp& stamp, long long read_at_ns);
// The wall clock the file systems stamp with, in nanoseconds.
long long RealTimeNs();

}  // namespace keyloom::platform
