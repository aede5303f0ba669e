#pragma once
// The layout values of the skin INI files, parsed without any window code:
// "x,y,w,h", a control's left and top edge in its dialog's client
// coordinates, then its width and height; text after the fourth number is
// ignored. A missing key reads as "1,1,1,1,x", a 1 x 1 control at (1, 1),
// which the image-button reader takes as the sign of a missing key.
#include <string_view>

namespace keyloom::skin {

// The value a missing key reads as.
inline constexpr std::u16string_view kMissingLayout = u"1,1,1,1,x";

struct LayoutValue {
  int x = 1;
  int y = 1;
  int w = 1;
  int h = 1;
  int fields = 0;  // how many of the four numbers were present
};

// Parses "%d,%d,%d,%d": each number may have leading blanks and a sign, the
// commas must follow the numbers directly. Parsing stops at the first field
// that does not fit; fields not reached keep the missing-key value 1.
// Numbers beyond the int range are clamped.
LayoutValue ParseLayoutValue(std::u16string_view text);

}  // namespace keyloom::skin
