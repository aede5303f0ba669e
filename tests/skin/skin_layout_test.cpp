#include "skin/skin_layout.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPixmap>

#include "skin/ini_file.h"
#include "skin/png_button.h"
#include "skin_test_support.h"

namespace keyloom::skin {
namespace {

using testing::TempDir;

struct LayoutCase {
  const char16_t* text;
  int x, y, w, h, fields;
};

TEST(LayoutValue, ParsesFourNumbersAndIgnoresWhatFollows) {
  const LayoutCase cases[] = {
      {u"10,20,30,40", 10, 20, 30, 40, 4},
      {u"10,20,30,40,anything", 10, 20, 30, 40, 4},
      {u"10,20,30,40x", 10, 20, 30, 40, 4},
      {u"1,1,1,1,x", 1, 1, 1, 1, 4},
      {u" 7, -8,+9,  10", 7, -8, 9, 10, 4},  // blanks before a number and signs are read
      {u"-5,0,0,0", -5, 0, 0, 0, 4},
      // Fewer than four numbers: the fields not reached keep the missing-key value 1.
      {u"10,20", 10, 20, 1, 1, 2},
      {u"10,20,30", 10, 20, 30, 1, 3},
      {u"10 ,20,30,40", 10, 1, 1, 1, 1},  // a blank before the comma stops the pattern
      {u"10;20;30;40", 10, 1, 1, 1, 1},
      {u"", 1, 1, 1, 1, 0},
      {u"x,2,3,4", 1, 1, 1, 1, 0},
      {u"99999999999,2,3,4", 2147483647, 2, 3, 4, 4},  // clamped, never undefined
      {u"-99999999999,2,3,4", -2147483647 - 1, 2, 3, 4, 4},
  };
  for (const auto& c : cases) {
    const LayoutValue v = ParseLayoutValue(c.text);
    SCOPED_TRACE(std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text)));
    EXPECT_EQ(v.x, c.x);
    EXPECT_EQ(v.y, c.y);
    EXPECT_EQ(v.w, c.w);
    EXPECT_EQ(v.h, c.h);
    EXPECT_EQ(v.fields, c.fields);
  }
}

class LayoutReaders : public ::testing::Test {
 protected:
  void SetUp() override {
    ini_ = dir_.Write("Skin.ini",
                      "[SCREEN]\nMain=bg.bmp\n"
                      "[BUTTONINFO]\n"
                      "PLAIN=10,20,30,40\n"
                      "TRAIL=10,20,30,40,x\n"
                      "BUTTON=100,40,60,24\n"
                      "CORNER=1,1,50,50\n"
                      "ARROW=300,200,16,16\n"
                      "[BUTTONINFO2]\n"
                      "ARROW=5,6,0,0\n");
    picture_ = QPixmap::fromImage(testing::CoordinatePicture(400, 300));
  }
  TempDir dir_;
  std::filesystem::path ini_;
  QPixmap picture_;
};

TEST_F(LayoutReaders, PlaceControlSetsPositionAndSizeWithTrailingTextIgnored) {
  for (auto key : {u"PLAIN", u"TRAIL"}) {
    QLabel label;
    PlaceControl(label, ini_, u"BUTTONINFO", key);
    EXPECT_EQ(label.geometry(), QRect(10, 20, 30, 40));
  }
}

TEST_F(LayoutReaders, MissingKeyGivesOneByOneAtOneOne) {
  QLabel label;
  label.setVisible(false);
  PlaceControl(label, ini_, u"BUTTONINFO", u"NOT_THERE");
  EXPECT_EQ(label.geometry(), QRect(1, 1, 1, 1));
  EXPECT_TRUE(label.isHidden());  // moving never shows a control

  // The same through a missing file and a missing section.
  QLabel other;
  PlaceControl(other, dir_.path() / "absent.ini", u"BUTTONINFO", u"PLAIN");
  EXPECT_EQ(other.geometry(), QRect(1, 1, 1, 1));
  PlaceControl(other, ini_, u"NOSECTION", u"PLAIN");
  EXPECT_EQ(other.geometry(), QRect(1, 1, 1, 1));
}

TEST_F(LayoutReaders, KeepSizeMovesOnly) {
  QLabel label;
  label.resize(77, 11);
  PlaceControlKeepSize(label, ini_, u"BUTTONINFO", u"PLAIN");
  EXPECT_EQ(label.geometry(), QRect(10, 20, 77, 11));
}

TEST_F(LayoutReaders, ImageButtonTakesOffsetAndMissingOrCornerKeyDisablesIt) {
  struct Case {
    const char16_t* key;
    QRect geometry;
    bool enabled;
  };
  const Case cases[] = {
      {u"BUTTON", QRect(100, 40, 60, 24), true},
      {u"NOT_THERE", QRect(1, 1, 1, 1), false},
      // x = 1 and y = 1 is read as a missing key whatever the size.
      {u"CORNER", QRect(1, 1, 50, 50), false},
  };
  for (const auto& c : cases) {
    CPngButton button;
    PlaceImageButton(button, ini_, u"BUTTONINFO", c.key, picture_, picture_, picture_, picture_, picture_);
    EXPECT_EQ(button.geometry(), c.geometry);
    EXPECT_EQ(button.isEnabled(), c.enabled);
    EXPECT_EQ(button.OffsetX(), c.geometry.x());
    EXPECT_EQ(button.OffsetY(), c.geometry.y());
  }
}

TEST_F(LayoutReaders, ButtonWithOffsetTakesPlaceFromOneSectionAndPictureOffsetFromAnother) {
  CPngButton button;
  PlaceButtonWithOffset(button, ini_, u"BUTTONINFO", u"ARROW", u"BUTTONINFO2", u"ARROW", picture_);
  EXPECT_EQ(button.geometry(), QRect(300, 200, 16, 16));
  EXPECT_EQ(button.OffsetX(), 5);
  EXPECT_EQ(button.OffsetY(), 6);
  EXPECT_TRUE(button.isEnabled());
  const QImage shown = button.grab().toImage();
  EXPECT_EQ(shown.pixel(0, 0), testing::CoordinateColour(4, 5));
}

TEST(SkinIniFile, EmptyValueGivesNothingAndDefaultsApply) {
  TempDir dir;
  CIniFile ini(dir.Write("a.ini", "[S]\nFull=abc\nEmpty=\n"));
  EXPECT_EQ(ini.GetString(u"S", u"Full", u"d"), std::u16string(u"abc"));
  EXPECT_EQ(ini.GetString(u"S", u"Empty", u"d"), std::nullopt);
  EXPECT_EQ(ini.GetString(u"S", u"Missing", u"d"), std::u16string(u"d"));
  EXPECT_EQ(ini.GetString(u"S", u"Missing", u""), std::nullopt);
  ASSERT_TRUE(ini.WriteString(u"S", u"New", u"xyz"));
  EXPECT_EQ(ini.GetString(u"S", u"New", u""), std::u16string(u"xyz"));
}

TEST(SkinIniFile, LongValuesAreCutTo2047Units) {
  TempDir dir;
  CIniFile ini(dir.Write("a.ini", "[S]\nLong=" + std::string(3000, 'v') + "\n"));
  const auto value = ini.GetString(u"S", u"Long", u"");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->size(), CIniFile::kMaxValue);
}

}  // namespace
}  // namespace keyloom::skin
