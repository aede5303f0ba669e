#pragma once
// The per-user data folder (the settings paths' UserDataDir) and the working
// profile file in it.
#include <filesystem>

namespace keyloom::profiles {

// The working profile's file name: "$Profile%d" with the number 0, no extension.
inline constexpr char kWorkingProfileName[] = "$Profile0";

// On first use creates the data folder and seeds the three user colour files
// (UserDengColor_0..2.userd) from the installed template UserDengColor_3.userd.
// An existing folder is left as it is. False when the per-user paths are not
// set or the folder cannot be made; a missing template leaves the colour
// files out.
bool EnsureDataFolder();

// Full path of the working profile; ensures the data folder first. Empty when
// the per-user paths are not set.
std::filesystem::path WorkingProfilePath();

}  // namespace keyloom::profiles
