#include "skin/skin_layout.h"

#include <QWidget>
#include <algorithm>
#include <string>

#include "platform/ini.h"
#include "skin/png_button.h"

namespace keyloom::skin {

LayoutValue ReadLayoutValue(const std::filesystem::path& ini, std::u16string_view section,
                            std::u16string_view key) {
  std::u16string value;
  ini::GetString(ini, section, key, kMissingLayout, value, 260);
  return ParseLayoutValue(value);
}

LayoutValue PlaceControl(QWidget& control, const std::filesystem::path& ini, std::u16string_view section,
                         std::u16string_view key) {
  const LayoutValue v = ReadLayoutValue(ini, section, key);
  control.setGeometry(v.x, v.y, std::max(v.w, 0), std::max(v.h, 0));
  return v;
}

LayoutValue PlaceControlKeepSize(QWidget& control, const std::filesystem::path& ini,
                                 std::u16string_view section, std::u16string_view key) {
  const LayoutValue v = ReadLayoutValue(ini, section, key);
  control.move(v.x, v.y);
  control.update();
  return v;
}

LayoutValue PlaceImageButton(CPngButton& button, const std::filesystem::path& ini, std::u16string_view section,
                             std::u16string_view key) {
  const LayoutValue v = PlaceControl(button, ini, section, key);
  button.SetPictureOffset(v.x, v.y);
  if (v.x == 1 && v.y == 1) button.setEnabled(false);
  return v;
}

LayoutValue PlaceImageButton(CPngButton& button, const std::filesystem::path& ini, std::u16string_view section,
                             std::u16string_view key, const QPixmap& normal, const QPixmap& over,
                             const QPixmap& pressed, const QPixmap& disabled, const QPixmap& highlight) {
  const LayoutValue v = PlaceControl(button, ini, section, key);
  button.SetPicturesAt(v.x, v.y, normal, over, pressed, disabled, highlight, true);
  if (v.x == 1 && v.y == 1) button.setEnabled(false);
  return v;
}

LayoutValue PlaceButtonWithOffset(CPngButton& button, const std::filesystem::path& ini,
                                  std::u16string_view section, std::u16string_view key,
                                  std::u16string_view offset_section, std::u16string_view offset_key) {
  const LayoutValue v = PlaceControl(button, ini, section, key);
  const LayoutValue offset = ReadLayoutValue(ini, offset_section, offset_key);
  button.SetPictureOffset(offset.x, offset.y);
  return v;
}

LayoutValue PlaceButtonWithOffset(CPngButton& button, const std::filesystem::path& ini,
                                  std::u16string_view section, std::u16string_view key,
                                  std::u16string_view offset_section, std::u16string_view offset_key,
                                  const QPixmap& picture) {
  const LayoutValue v = PlaceButtonWithOffset(button, ini, section, key, offset_section, offset_key);
  button.SetPicturesAt(button.OffsetX(), button.OffsetY(), picture, picture, picture, picture, picture, true);
  return v;
}

}  // namespace keyloom::skin
