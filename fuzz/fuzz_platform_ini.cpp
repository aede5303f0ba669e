// Parses arbitrary bytes as an INI file, looks up what it lists and some
// fixed names, and edits it; checks that every listed key can be found, that
// a written value reads back exactly and that a removed key is gone.
#include "platform/ini_document.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using keyloom::ini::Document;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void Edit(const Document& doc, std::u16string_view section, std::u16string_view key) {
  static const std::u16string_view kValues[] = {u"1", u"", u" spaced ", u"'q'", u"\u952E\u76D8",
                                                u"\"x\"", u"a=b;c"};
  for (std::u16string_view value : kValues) {
    const auto bytes = doc.WithValue(section, key, value);
    if (!bytes) continue;
    const Document after = Document::Parse(*bytes);
    const std::u16string* found = after.Find(section, key);
    Check(found && *found == value);
    Check(after.encoding() == doc.encoding());
  }
  if (const auto bytes = doc.Without(section, key)) {
    const Document after = Document::Parse(*bytes);
    Check(after.Find(section, key) == nullptr);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Document doc = Document::Parse(std::string(reinterpret_cast<const char*>(data), size));
  const auto sections = doc.SectionNames();
  for (const auto& s : sections) {
    for (const auto& k : doc.KeyNames(s)) Check(doc.Find(s, k) != nullptr);
  }
  for (std::u16string_view s : {u"TEXT", u"LIGHT", u"MODE"})
    for (std::u16string_view k : {u"A_TOP", u"1", u""}) (void)doc.Find(s, k);

  if (!sections.empty()) {
    const auto keys = doc.KeyNames(sections.front());
    if (!keys.empty()) Edit(doc, sections.front(), keys.front());
    Edit(doc, sections.back(), u"NewKey");
  }
  Edit(doc, u"NewSection", u"K");
  return 0;
}
