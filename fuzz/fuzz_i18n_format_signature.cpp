// Language-file texts are input: reading their specifiers must be safe on
// any text and yield at most one kind per '%'.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "i18n/text_keys.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string format;
  for (std::size_t i = 0; i + 1 < size; i += 2) format.push_back(char16_t(data[i] | (data[i + 1] << 8)));

  const std::string kinds = keyloom::i18n::FormatSignature(format);
  std::size_t percents = 0;
  for (char16_t c : format) percents += c == u'%';
  if (kinds.size() > percents) std::abort();
  for (char k : kinds) {
    if (k != 's' && k != 'd' && k != 'u' && k != 'c' && k != '?') std::abort();
  }
  // And the formatter, given one argument of the first kind asked for,
  // stays within the text whatever the rest of it asks.
  if (!kinds.empty()) {
    if (kinds[0] == 's') (void)keyloom::text::Format(format, {std::u16string_view(u"x")});
    if (kinds[0] == 'd') (void)keyloom::text::Format(format, {std::int64_t{-7}});
    if (kinds[0] == 'u' || kinds[0] == 'c') (void)keyloom::text::Format(format, {std::uint64_t{65}});
  }
  return 0;
}
