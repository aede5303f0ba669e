#pragma once
// Where things are on this machine.
#include <filesystem>

namespace keyloom::paths {

// Full path of the running executable (/proc/self/exe).
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
// $XDG_RUNTIME_DIR, default /tmp.
std::filesystem::path RuntimeDir();

}  // namespace keyloom::paths
