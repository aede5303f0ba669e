// The installed default skin against what the program reads from it.
#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>
#include <QString>
#include <filesystem>
#include <map>
#include <set>

#include "platform/ini.h"
#include "platform/text.h"
#include "skin/skin_layout.h"
#include "skin/skin_manifest.h"
#include "skin/skin_picture.h"

namespace keyloom::skin {
namespace {

const std::filesystem::path kSkins = std::filesystem::path(KEYLOOM_SOURCE_DIR) / "res" / "Skins";

std::filesystem::path IniOf(SkinFile file) { return kSkins / std::u16string(SkinIniName(file)); }

QImage Read(const std::filesystem::path& path, QByteArray* format = nullptr) {
  QImageReader reader(QString::fromStdString(path.string()));
  if (format) *format = reader.format();
  return reader.read();
}

QSize BackgroundSize(SkinFile file) {
  const auto name = ini::GetString(IniOf(file), u"SCREEN", u"Main");
  return Read(JoinSkinPath(kSkins, name)).size();
}

TEST(PanelKeys, LayoutKeysFoldExtendedCodesIntoOneByte) {
  struct Case {
    std::uint16_t code;
    const char16_t* key;
  };
  const Case cases[] = {{0x001, u"KEY_001"}, {0x01E, u"KEY_01E"}, {0x0FF, u"KEY_0FF"}, {0x15B, u"KEY_0DB"},
                        {0x11C, u"KEY_09C"}, {0x100, u"KEY_080"}, {0x1FF, u"KEY_17F"}, {0x200, u"KEY_100"},
                        {0x2AB, u"KEY_1AB"}};
  for (const auto& c : cases) EXPECT_EQ(PanelKeyLayoutKey(c.code), c.key) << c.code;
}

TEST(PanelKeys, HundredAndFiveKeysWithDistinctLayoutKeys) {
  std::set<std::u16string> keys;
  for (auto code : PanelKeyCodes()) keys.insert(PanelKeyLayoutKey(code));
  EXPECT_EQ(keys.size(), 105u);
}

TEST(SkinManifest, NoKeyIsListedTwiceForTheSameFileAndSection) {
  std::set<std::tuple<int, std::u16string, std::u16string>> seen;
  for (const auto& k : RequiredSkinKeys()) {
    EXPECT_TRUE(seen.emplace(static_cast<int>(k.file), k.section, k.key).second) << text::ToUtf8(k.key);
  }
}

TEST(DefaultSkin, HasEveryKeyTheDialogsRead) {
  for (const auto& k : RequiredSkinKeys()) {
    const auto names = ini::KeyNames(IniOf(k.file), k.section);
    const bool present = std::any_of(names.begin(), names.end(),
                                     [&](const std::u16string& n) { return text::EqualsIgnoreCase(n, k.key); });
    EXPECT_TRUE(present) << text::ToUtf8(SkinIniName(k.file)) << " [" << text::ToUtf8(k.section) << "] "
                         << text::ToUtf8(k.key);
  }
}

TEST(DefaultSkin, LayoutValuesAreWholeAndInsideTheirDialog) {
  for (const auto& k : RequiredSkinKeys()) {
    if (!k.layout) continue;
    const std::string where = text::ToUtf8(SkinIniName(k.file)) + " " + text::ToUtf8(k.key);
    const auto raw = ini::GetString(IniOf(k.file), k.section, k.key);
    const LayoutValue v = ParseLayoutValue(raw);
    EXPECT_EQ(v.fields, 4) << where;
    // (1, 1) is how a missing key reads: no control may sit there.
    EXPECT_FALSE(v.x == 1 && v.y == 1) << where;
    const QRect dialog(QPoint(0, 0), BackgroundSize(k.file));
    EXPECT_TRUE(dialog.contains(QRect(v.x, v.y, std::max(v.w, 1), std::max(v.h, 1)))) << where;
  }
}

TEST(DefaultSkin, BackgroundsAndOutlinesLoadAndOutlinesAreBlackAndWhite) {
  for (SkinFile file : {SkinFile::Main, SkinFile::Profile, SkinFile::Composite}) {
    const auto ini = IniOf(file);
    const auto main = ini::GetString(ini, u"SCREEN", u"Main");
    const auto mask = ini::GetString(ini, u"SCREEN", u"Mask");
    const QImage background = Read(JoinSkinPath(kSkins, main));
    ASSERT_FALSE(background.isNull()) << text::ToUtf8(main);
    QByteArray format;
    const QImage outline = Read(JoinSkinPath(kSkins, mask), &format).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(outline.isNull()) << text::ToUtf8(mask);
    // A lossy format would turn the edge's white into near-white: a ragged window.
    EXPECT_EQ(format, QByteArray("bmp")) << text::ToUtf8(mask);
    EXPECT_EQ(outline.size(), background.size());
    int black = 0, other = 0;
    for (int y = 0; y < outline.height(); ++y) {
      for (int x = 0; x < outline.width(); ++x) {
        const QRgb p = outline.pixel(x, y) & 0xFFFFFF;
        black += p == 0;
        other += p != 0 && p != 0xFFFFFF;
      }
    }
    EXPECT_EQ(other, 0) << text::ToUtf8(mask);
    EXPECT_GT(black, outline.width() * outline.height() * 9 / 10) << text::ToUtf8(mask);
    // The corners are cut round.
    EXPECT_EQ(outline.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(outline.pixel(outline.width() / 2, outline.height() / 2) & 0xFFFFFF, 0u);
  }
}

TEST(DefaultSkin, HasEveryPictureTheCodeNamesInItsFormat) {
  std::map<std::string, QSize> sizes;
  for (const auto& name : RequiredSkinPictures()) {
    const std::string n = text::ToUtf8(name);
    QByteArray format;
    const QImage image = Read(kSkins / n, &format);
    ASSERT_FALSE(image.isNull()) << n;
    const std::string extension = std::filesystem::path(n).extension().string();
    EXPECT_EQ(format, extension == ".jpg" ? QByteArray("jpeg") : QByteArray("bmp")) << n;
    sizes[n] = image.size();
  }
  // State pictures cover their whole dialog.
  for (auto name : MainStatePictures()) EXPECT_EQ(sizes[text::ToUtf8(name)], BackgroundSize(SkinFile::Main));
  for (auto name : ProfileStatePictures()) EXPECT_EQ(sizes[text::ToUtf8(name)], BackgroundSize(SkinFile::Profile));
  for (const auto& set : CompositePictureSets()) {
    EXPECT_EQ(sizes[text::ToUtf8(set.prefix) + "_normal.jpg"], BackgroundSize(SkinFile::Composite));
  }
  // The sliders' faces share one size, as the slider takes its size from its track picture.
  for (int i = 0; i <= 25; ++i) EXPECT_EQ(sizes[std::to_string(i) + ".bmp"], sizes["0.bmp"]) << i;
  const LayoutValue slider = ReadLayoutValue(IniOf(SkinFile::Main), u"BUTTONINFO", u"CONTROL_LightSlider");
  EXPECT_EQ(QSize(slider.w, slider.h), sizes["0.bmp"]);
}

TEST(DefaultSkin, ButtonFacesDifferBetweenStates) {
  // A cut at a button shows something different when hovered and pressed,
  // and the key caps of the normal picture are not the plain background.
  const auto ini = IniOf(SkinFile::Main);
  const QImage bg = Read(JoinSkinPath(kSkins, ini::GetString(ini, u"SCREEN", u"Main")));
  const QImage normal = Read(kSkins / "main_normal.jpg"), over = Read(kSkins / "main_over.jpg"),
               down = Read(kSkins / "main_down.jpg");
  for (const char16_t* key : {u"KEY_01E", u"FUNC_G1", u"CONTROL_OK", u"FUNC_REPORT1"}) {
    const LayoutValue v = ReadLayoutValue(ini, u"BUTTONINFO", key);
    const QRect r(v.x, v.y, v.w, v.h);
    EXPECT_NE(normal.copy(r), bg.copy(r)) << text::ToUtf8(key);
    EXPECT_NE(normal.copy(r), over.copy(r)) << text::ToUtf8(key);
    EXPECT_NE(normal.copy(r), down.copy(r)) << text::ToUtf8(key);
  }
}

}  // namespace
}  // namespace keyloom::skin
