#pragma once
// Where things are on this machine.
#include <filesystem>

namespace keyloom::paths {

// Full path of the running executable (/proc/self/exe, as it was at the
// first call).
std::filesystem::path ExecutablePath();
std::filesystem::path ExecutableDir();
// The folder that holds Skins/, the language files and Help/: the
// executable's folder when it has Skins/ (build tree), else
// <prefix>/share/keyloom next to the executable's bin/ (installed).
// KEYLOOM_RESOURCE_DIR overrides both.
std::filesystem::path ResourceDir();
// $XDG_DATA_HOME, default ~/.local/share (the local application-data folder).
std::filesystem::path UserDataBase();
// $XDG_CONFIG_HOME, default ~/.config.
std::filesystem::path ConfigBase();
// The user's private runtime folder, where the sockets and lock files live:
// $XDG_RUNTIME_DIR when it names a folder of this user that nobody else may
// write to; else $TMPDIR/keyloom-<uid> (TMPDIR default /tmp), made 0700 and
// checked each time (a real folder, not a link, of this user, 0700); else
// $XDG_CACHE_HOME/keyloom/run-<uid> (default ~/.cache) made and checked the
// same way. Empty when none of them can be had (another user owns the name,
// say): then nothing is created or connected to.
std::filesystem::path RuntimeDir();

// Whether `dir` is a folder (not a link to one) owned by this user that
// nobody else may write to; with `private_only`, nobody else may even enter
// it (mode 0700).
bool IsOwnFolder(const std::filesystem::path& dir, bool private_only);

}  // namespace keyloom::paths
