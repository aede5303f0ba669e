#pragma once
// Where the keys and macros model takes its localised texts from: the
// language file through i18n::Text, unless a lookup is installed in its place
// (tests and benchmarks install a small table so they do not depend on the
// shipped wording).
#include <functional>
#include <string>
#include <string_view>

namespace keyloom::keys {

using TextLookup = std::function<std::u16string(std::string_view key)>;

// Installs a lookup process-wide; an empty function restores i18n::Text.
void SetTextLookup(TextLookup lookup);

// The localised text of a key of section "TEXT" (a missing key reads as the
// language layer's default for missing texts).
std::u16string LookUpText(std::string_view key);

// Installs a lookup for the lifetime of the object, then restores the one
// that was installed before.
class ScopedTextLookup {
 public:
  explicit ScopedTextLookup(TextLookup lookup);
  ~ScopedTextLookup();
  ScopedTextLookup(const ScopedTextLookup&) = delete;
  ScopedTextLookup& operator=(const ScopedTextLookup&) = delete;

 private:
  TextLookup previous_;
};

}  // namespace keyloom::keys
