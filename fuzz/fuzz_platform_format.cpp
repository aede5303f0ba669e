// Formats arbitrary UTF-16 text as a language-file format string with a
// fixed set of arguments: whatever the text asks for, only these are read.
#include "platform/text.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string format;
  for (std::size_t i = 0; i + 1 < size; i += 2) format.push_back(char16_t(data[i] | (data[i + 1] << 8)));
  using keyloom::text::Format;
  (void)Format(format, {});
  (void)Format(format, {u"text", std::int64_t{-5}, std::uint64_t{0xFFFFFFFFFFull}});
  (void)Format(format, {std::int64_t{1}, u"", char16_t{0xD800}});
  // The same bytes as UTF-8, through the converters.
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::u16string decoded = keyloom::text::FromUtf8(bytes);
  (void)keyloom::text::ToUtf8(decoded);
  return 0;
}
