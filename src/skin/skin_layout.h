#pragma once
// Layout values of the skin INI files and the readers that place a dialog's
// controls with them. A layout value is "x,y,w,h": a control's left and top
// edge in its dialog's client coordinates, then its width and height; text
// after the fourth number is ignored. A missing key reads as "1,1,1,1,x", a
// 1 x 1 control at (1, 1), which the image-button reader takes as the sign of
// a missing key.
#include <QPixmap>
#include <filesystem>
#include <string_view>

class QWidget;

namespace keyloom::skin {

class CPngButton;

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

// Reads `key` of `section` (260 code units at most, default kMissingLayout).
LayoutValue ReadLayoutValue(const std::filesystem::path& ini, std::u16string_view section,
                            std::u16string_view key);

// Moves the control to (x, y) with size w x h (negative sizes become 0).
// Visibility is never changed.
LayoutValue PlaceControl(QWidget& control, const std::filesystem::path& ini, std::u16string_view section,
                         std::u16string_view key);

// Moves the control to (x, y), keeping its size, and repaints it.
LayoutValue PlaceControlKeepSize(QWidget& control, const std::filesystem::path& ini,
                                 std::u16string_view section, std::u16string_view key);

// Places the button as PlaceControl does and gives it the five state pictures
// with picture offset (x, y); x = 1 and y = 1 (a missing key) also disable it.
LayoutValue PlaceImageButton(CPngButton& button, const std::filesystem::path& ini, std::u16string_view section,
                             std::u16string_view key, const QPixmap& normal, const QPixmap& over,
                             const QPixmap& pressed, const QPixmap& disabled, const QPixmap& highlight);

// Places the button as PlaceControl does, then reads the picture offset from
// `offset_key` of `offset_section` and gives the button `picture` for all five
// states at that offset.
LayoutValue PlaceButtonWithOffset(CPngButton& button, const std::filesystem::path& ini,
                                  std::u16string_view section, std::u16string_view key,
                                  std::u16string_view offset_section, std::u16string_view offset_key,
                                  const QPixmap& picture);

}  // namespace keyloom::skin
