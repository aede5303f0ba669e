#pragma once
// The application's own key under the current user,
// "Software\Tarn-60 Gaming Keyboard", open for the whole run. Its only value
// is "dwLanguageId" (the language choice).
#include <string_view>

#include "i18n/texts.h"
#include "platform/registry.h"

namespace keyloom::app {

inline constexpr std::u16string_view kAppRegistryKeyPath = i18n::kLanguageKeyPath;

// Opens the key, creating it when it does not exist. Returns false when it
// can be neither opened nor created; the program then goes on without it
// (the language choice is then derived anew each time and not kept).
bool OpenAppRegistryKey();

// The open key, or nullptr when OpenAppRegistryKey has not succeeded.
registry::Key* AppRegistryKey();

// Forgets the key (tests).
void CloseAppRegistryKey();

}  // namespace keyloom::app
