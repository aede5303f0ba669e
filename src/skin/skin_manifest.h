#pragma once
// Every INI key and picture that the program's dialogs read from the skin
// folder, in one place: the default skin's generator writes them and a test
// checks that the installed skin has them all.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace keyloom::skin {

enum class SkinFile { Main, Profile, Composite };

// "Main.ini", "Profile.ini", "Composite.ini".
std::u16string_view SkinIniName(SkinFile file);

struct SkinKey {
  SkinFile file;
  std::u16string section;
  std::u16string key;
  // A layout value ("x,y,w,h") rather than a name or a link.
  bool layout;
};

// All keys, per file in reading order.
const std::vector<SkinKey>& RequiredSkinKeys();

// The layout keys of one file and section.
std::vector<std::u16string> LayoutKeys(SkinFile file, std::u16string_view section);

// Picture files named by the code, relative to the skin folder (the state
// pictures are loaded as "Skins\<name>" relative to the program's folder).
// The backgrounds and outlines named in the INI files' "SCREEN" sections are
// not listed: they are whatever the INI names.
const std::vector<std::u16string>& RequiredSkinPictures();

// The main window's full-window state pictures, in the order the window
// loads them: normal, over, down, disable, Arrow, color0, color1.
const std::array<std::u16string_view, 7>& MainStatePictures();
// The profile dialog's state pictures: normal, over, down.
const std::array<std::u16string_view, 3>& ProfileStatePictures();
// The composite dialog's picture sets, one per tab (key, macro, media,
// function) plus the macro-only set; each lists normal, over, down and, where
// the set has one, disable.
struct PictureSet {
  std::u16string_view prefix;  // "key", "macro", "macro2", "media", "function"
  bool has_disable;
};
const std::array<PictureSet, 5>& CompositePictureSets();
// The lighting panel's bitmaps in the main skin folder, without ".bmp".
const std::vector<std::u16string>& LightingBitmaps();

// The codes of the 105 ordinary keys of the on-screen keyboard, in the order
// of their buttons' control ids.
const std::array<std::uint16_t, 105>& PanelKeyCodes();
// "KEY_%03X" of the code folded into one byte: codes below 0x100 as they are,
// 0x100..0x1FF minus 0x80, from 0x200 up minus 0x100.
std::u16string PanelKeyLayoutKey(std::uint16_t code);

}  // namespace keyloom::skin
