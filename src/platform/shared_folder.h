#pragma once
// Files named in a folder other users can write to: a sticky,
// world-writable folder such as /tmp. There another user may plant a
// symbolic link under the name we are about to write, pointing at one of our
// own files; writing through it would overwrite that file. The rule is the
// one the kernel's protected_symlinks applies to opening: in such a folder a
// link is followed only when it belongs to us or to the folder's owner.
#include <filesystem>

namespace keyloom::platform {

// Whether `file` is a symbolic link in a sticky folder others may write to,
// owned by neither this user nor the folder's owner.
bool IsForeignLinkInSharedFolder(const std::filesystem::path& file);

// Before `file` is replaced (written through a temporary file and renamed
// over it): false when it is such a foreign link. When nothing is there yet
// and the folder is such a shared one, the name is taken first (an empty
// file of ours, created exclusively, never through a link), so that nobody
// can plant a link in the moment between this check and the write; a failed
// write then calls ReleaseClaim. True otherwise.
bool ClaimForReplace(const std::filesystem::path& file, bool& claimed);
// Removes the empty file ClaimForReplace made, when the write failed.
void ReleaseClaim(const std::filesystem::path& file);

}  // namespace keyloom::platform
