#pragma once
// Option values of keyloomctl's commands: whole decimal numbers and
// RRGGBB colours, and the colour's hex text for output.
#include <string>

#include "lighting/lighting_state.h"

namespace keyloom::cli {

// A whole decimal number of at most nine characters.
bool ParseInt(const std::string& text, int& value);
// Exactly six hex digits, RRGGBB.
bool ParseColour(const std::string& text, lighting::Colour& colour);
// "rrggbb", lower case.
std::string Hex(lighting::Colour colour);

}  // namespace keyloom::cli
