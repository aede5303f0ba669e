#include "keys/text_source.h"

#include <memory>
#include <mutex>

#include "i18n/texts.h"

namespace keyloom::keys {
namespace {

std::mutex& LookupMutex() {
  static std::mutex mutex;
  return mutex;
}

// Shared so that a lookup in progress on another thread keeps its function
// alive while a new one is installed.
std::shared_ptr<const TextLookup>& InstalledLookup() {
  static std::shared_ptr<const TextLookup> lookup;
  return lookup;
}

std::shared_ptr<const TextLookup> CurrentLookup() {
  std::lock_guard lock(LookupMutex());
  return InstalledLookup();
}

TextLookup Exchange(TextLookup lookup) {
  std::shared_ptr<const TextLookup> next;
  if (lookup) next = std::make_shared<const TextLookup>(std::move(lookup));
  std::lock_guard lock(LookupMutex());
  std::shared_ptr<const TextLookup> previous = std::move(InstalledLookup());
  InstalledLookup() = std::move(next);
  return previous ? *previous : TextLookup{};
}

}  // namespace

void SetTextLookup(TextLookup lookup) { Exchange(std::move(lookup)); }

std::u16string LookUpText(std::string_view key) {
  if (auto lookup = CurrentLookup()) return (*lookup)(key);
  return i18n::Text(key);
}

ScopedTextLookup::ScopedTextLookup(TextLookup lookup) : previous_(Exchange(std::move(lookup))) {}

ScopedTextLookup::~ScopedTextLookup() { Exchange(std::move(previous_)); }

}  // namespace keyloom::keys
