#pragma once
// The readers that place a dialog's controls with the layout values of the
// skin INI files (layout_value.h).
#include <QPixmap>
#include <filesystem>
#include <string_view>

#include "skin/layout_value.h"

class QWidget;

namespace keyloom::skin {

class CPngButton;

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

// Places the button as PlaceControl does with picture offset (x, y), its
// faces to come one by one (CPngButton::SetFace); x = 1 and y = 1 (a missing
// key) also disable it.
LayoutValue PlaceImageButton(CPngButton& button, const std::filesystem::path& ini, std::u16string_view section,
                             std::u16string_view key);

// Places the button as PlaceControl does and gives it the five state pictures
// with picture offset (x, y); x = 1 and y = 1 (a missing key) also disable it.
LayoutValue PlaceImageButton(CPngButton& button, const std::filesystem::path& ini, std::u16string_view section,
                             std::u16string_view key, const QPixmap& normal, const QPixmap& over,
                             const QPixmap& pressed, const QPixmap& disabled, const QPixmap& highlight);

// Places the button as PlaceControl does with the picture offset read from
// `offset_key` of `offset_section`, its faces to come one by one.
LayoutValue PlaceButtonWithOffset(CPngButton& button, const std::filesystem::path& ini,
                                  std::u16string_view section, std::u16string_view key,
                                  std::u16string_view offset_section, std::u16string_view offset_key);

// Places the button as PlaceControl does, then reads the picture offset from
// `offset_key` of `offset_section` and gives the button `picture` for all five
// states at that offset.
LayoutValue PlaceButtonWithOffset(CPngButton& button, const std::filesystem::path& ini,
                                  std::u16string_view section, std::u16string_view key,
                                  std::u16string_view offset_section, std::u16string_view offset_key,
                                  const QPixmap& picture);

}  // namespace keyloom::skin
