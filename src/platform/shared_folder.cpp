#include "platform/shared_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace keyloom::platform {
namespace {

std::filesystem::path FolderOf(const std::filesystem::path& file) {
  const std::filesystem::path parent = file.parent_path();
  return parent.empty() ? std::filesystem::path(".") : parent;
}

// The folder's owner when it is sticky and others may write to it.
bool SharedFolder(const std::filesystem::path& folder, uid_t& owner) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  owner = st.st_uid;
  return (st.st_mode & S_ISVTX) != 0 && (st.st_mode & S_IWOTH) != 0;
}

}  // namespace

bool IsForeignLinkInSharedFolder(const std::filesystem::path& file) {
  struct stat link {};
  if (::lstat(file.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return false;
  uid_t folder_owner = 0;
  if (!SharedFolder(FolderOf(file), folder_owner)) return false;
  return link.st_uid != ::geteuid() && link.st_uid != folder_owner;
}

bool ClaimForReplace(const std::filesystem::path& file, bool& claimed) {
  claimed = false;
  if (IsForeignLinkInSharedFolder(file)) return false;
  uid_t folder_owner = 0;
  if (!SharedFolder(FolderOf(file), folder_owner)) return true;
  // 0666 less the umask, as the file the write makes.
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd >= 0) {
    ::close(fd);
    claimed = true;
    return true;
  }
  // Something is there after all: a link planted just now is refused.
  return errno != EEXIST || !IsForeignLinkInSharedFolder(file);
}

void ReleaseClaim(const std::filesystem::path& file) {
  struct stat st {};
  if (::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0 && st.st_uid == ::geteuid())
    ::unlink(file.c_str());
}

}  // namespace keyloom::platform
