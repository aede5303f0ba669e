#include "skin/layout_value.h"

#include <algorithm>
#include <climits>
#include <string>

namespace keyloom::skin {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f'; }

// One "%d": blanks, optional sign, at least one digit.
bool ScanInt(std::u16string_view text, std::size_t& i, int& out) {
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  const std::size_t digits_start = i;
  long long value = 0;
  while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
    if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (text[i] - u'0');
    ++i;
  }
  if (i == digits_start) return false;
  if (negative) value = -value;
  out = static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
  return true;
}

}  // namespace

LayoutValue ParseLayoutValue(std::u16string_view text) {
  LayoutValue v;
  int* fields[4] = {&v.x, &v.y, &v.w, &v.h};
  std::size_t i = 0;
  for (int f = 0; f < 4; ++f) {
    if (f > 0) {
      if (i >= text.size() || text[i] != u',') break;
      ++i;
    }
    int n = 0;
    if (!ScanInt(text, i, n)) break;
    *fields[f] = n;
    v.fields = f + 1;
  }
  return v;
}

}  // namespace keyloom::skin
