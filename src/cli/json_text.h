#pragma once
// A UTF-8 text as a JSON string literal, quotes included.
#include <string>
#include <string_view>

namespace keyloom::cli {

std::string JsonString(std::string_view text);

}  // namespace keyloom::cli
