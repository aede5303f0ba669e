#pragma once
// The version of Keyloom: one for keyloom, keyloomctl and keyloom-vkbd, set
// as the project version in CMakeLists.txt.
#include <string>
#include <string_view>

namespace keyloom::app {

// "MAJOR.MINOR.PATCH".
std::string_view Version();

// What `--version` prints, without the line end: "<program> <version>".
std::string VersionLine(std::string_view program);

}  // namespace keyloom::app
