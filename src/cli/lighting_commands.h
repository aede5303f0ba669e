#pragma once
// keyloomctl lighting, lighting set, lighting default and report-rate: the
// lighting record of the keyboard's active slot, read and written field by
// field as the lighting panel does.
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_table.h"
#include "profiles/keyboard_session.h"

namespace keyloom::cli {

// Reads the configuration block into the session's copy, makes the active
// slot the edited slot and decodes its record into CurrentLighting. False
// with the reason on a failed read. Needs a connected session.
bool ReadActiveLighting(profiles::KeyboardSession& keyboard, std::string& reason);

// The localised name of an effect, or "effect N" when the language has none.
std::string EffectName(int effect);
// The effect of `effects` whose name is `name`, ignoring case; -1 for none.
int EffectNamed(std::string_view name, const std::vector<int>& effects);

// The current lighting of the edited slot, as text lines or as one JSON object.
std::string LightingText(profiles::KeyboardSession& keyboard);
std::string LightingJson(profiles::KeyboardSession& keyboard);

// Supported effects of the configuration block copy: text lines / JSON array.
std::string EffectsText(profiles::KeyboardSession& keyboard);
std::string EffectsJson(profiles::KeyboardSession& keyboard);

// Sets the lighting files' paths and prepares the data folder as at start.
void PrepareLightingFiles(profiles::KeyboardSession& keyboard);

std::vector<Command> LightingCommands();

}  // namespace keyloom::cli
