// Arbitrary text as a skin layout value "x,y,w,h": the parser stops inside
// the text, counts the fields it took, and leaves the fields it did not
// reach at the missing-key value 1; a value it formats itself reads back.
#include "skin/layout_value.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using keyloom::skin::LayoutValue;
using keyloom::skin::ParseLayoutValue;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

std::u16string Number(int v) {
  const std::string s = std::to_string(v);
  return std::u16string(s.begin(), s.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < size; i += 2) text.push_back(char16_t(data[i] | (data[i + 1] << 8)));
  const LayoutValue v = ParseLayoutValue(text);
  Check(v.fields >= 0 && v.fields <= 4);
  const int* fields[4] = {&v.x, &v.y, &v.w, &v.h};
  for (int f = v.fields; f < 4; ++f) Check(*fields[f] == 1);
  const std::u16string again = Number(v.x) + u"," + Number(v.y) + u"," + Number(v.w) + u"," + Number(v.h);
  const LayoutValue back = ParseLayoutValue(again);
  Check(back.fields == 4 && back.x == v.x && back.y == v.y && back.w == v.w && back.h == v.h);
  return 0;
}
