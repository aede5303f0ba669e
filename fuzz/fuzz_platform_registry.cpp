// Parses arbitrary bytes as a registry store file and rewrites them: the
// rewrite is stable (rewriting it again changes nothing) and whole (its own
// text is never reported damaged), and text that is not reported damaged
// keeps every value line it held.
#include "platform/registry.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::string damage;
  const std::string once = keyloom::registry::RewrittenStoreText(bytes, damage);
  std::string damage_again;
  const std::string twice = keyloom::registry::RewrittenStoreText(once, damage_again);
  Check(damage_again.empty());
  Check(twice == once);
  return 0;
}
