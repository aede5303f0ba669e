// Arbitrary bytes as a user colour file: the damage check and, for a file it
// accepts, every value the layouts are read from (names, selected layout,
// tools, colours and key colours) through the comma-separated number parser,
// as the lighting code reads them. A value must stay in the parser's bounds
// and leave the outputs it did not reach untouched.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "lighting/user_colour_files.h"
#include "platform/ini_document.h"

using namespace keyloom::lighting;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void ParseValue(const std::u16string* value, int count) {
  if (!value) return;
  int out[4] = {7, 7, 7, 7};
  const int parsed = ParseIntList(*value, out, count);
  Check(parsed >= 0 && parsed <= count);
  for (int i = parsed; i < 4; ++i) Check(out[i] == 7);
}

std::u16string Number(int n) {
  const std::string s = std::to_string(n);
  return std::u16string(s.begin(), s.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const auto damage = UserColourFileDamage(bytes);
  if (bytes.empty() || bytes.size() > kMaxUserColourFileBytes) Check(damage.has_value());
  if (damage) {
    Check(!damage->empty());
    return 0;
  }
  const keyloom::ini::Document doc = keyloom::ini::Document::Parse(bytes);
  ParseValue(doc.Find(u"PRESENTMODE", u"mode"), 1);
  for (int n = 0; n < kLayoutCount; ++n) {
    (void)doc.Find(u"MODENAME", Number(n));
    const std::u16string section = u"Mode" + Number(n);
    ParseValue(doc.Find(section, u"tool"), 1);
    ParseValue(doc.Find(section, u"jcolor"), 3);
    ParseValue(doc.Find(section, u"color"), 3);
    for (const std::u16string& key : doc.KeyNames(section)) ParseValue(doc.Find(section, key), 4);
  }
  return 0;
}
