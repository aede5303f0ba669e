// Skin pictures on high-density screens: which file the loader takes for a
// device pixel ratio, and that a @2x picture keeps every layout value in
// layout units (state pictures, button faces, dialog size).
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <cstdlib>
#include <optional>

#include "skin/base_dialog.h"
#include "skin/png_button.h"
#include "skin/skin_picture.h"
#include "skin_test_support.h"

namespace keyloom::skin {
namespace {

using testing::CoordinateColour;
using testing::TempDir;

// The picture of CoordinatePicture at twice the size: each layout pixel is a
// 2 x 2 block of its coordinate colour.
QImage CoordinatePicture2x(int width, int height) {
  return testing::CoordinatePicture(width, height)
      .scaled(width * 2, height * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

void Save(const QImage& image, const std::filesystem::path& path) {
  ASSERT_TRUE(image.save(QString::fromStdString(path.string()), "BMP")) << path;
}

TEST(HighDensityTwin, IsTheNameWithAt2xBeforeTheExtension) {
  EXPECT_EQ(HighDensityTwin("/res/Skins/main_bg.jpg"), "/res/Skins/main_bg@2x.jpg");
  EXPECT_EQ(HighDensityTwin("Skins/a.b.bmp"), "Skins/a.b@2x.bmp");
  EXPECT_EQ(HighDensityTwin("plain"), "plain@2x");
}

class SkinPictureChoice : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.path() / "Skins");
    const auto at = [&](const char* name) { return dir_.path() / "Skins" / name; };
    // The 1x pictures are red, their twins blue (or broken).
    for (const char* name : {"good.bmp", "wrong_size.bmp", "no_twin.bmp", "broken_twin.bmp"})
      Save(testing::FilledPicture(10, 6, Qt::red), at(name));
    Save(testing::FilledPicture(20, 12, Qt::blue), at("good@2x.bmp"));
    Save(testing::FilledPicture(18, 12, Qt::blue), at("wrong_size@2x.bmp"));
    dir_.Write("Skins/broken_twin@2x.bmp", "not a picture");
    Save(testing::FilledPicture(20, 12, Qt::blue), at("only_twin@2x.bmp"));
  }
  TempDir dir_;
};

TEST_F(SkinPictureChoice, TheTwinOnDenseScreensWhenItIsExactlyTwiceTheSize) {
  struct Case {
    const char16_t* name;
    double ratio;
    bool twin;  // the @2x file was taken
  };
  const Case cases[] = {
      {u"Skins\\good.bmp", 1.0, false},
      {u"Skins\\good.bmp", 1.25, false},
      {u"Skins\\good.bmp", 1.5, true},  // the threshold itself
      {u"Skins\\good.bmp", 2.0, true},
      {u"Skins\\good.bmp", 3.0, true},
      {u"Skins\\wrong_size.bmp", 2.0, false},
      {u"Skins\\no_twin.bmp", 2.0, false},
      {u"Skins\\broken_twin.bmp", 2.0, false},
  };
  for (const Case& c : cases) {
    const std::string what = QString::fromStdU16String(c.name).toStdString() + " at " + std::to_string(c.ratio);
    const std::optional<QImage> image = LoadSkinPicture(dir_.path(), c.name, c.ratio);
    ASSERT_TRUE(image && !image->isNull()) << what;
    // Whichever file: the picture measures 10 x 6 in layout units.
    EXPECT_EQ(image->deviceIndependentSize(), QSizeF(10, 6)) << what;
    EXPECT_EQ(image->devicePixelRatio(), c.twin ? 2.0 : 1.0) << what;
    EXPECT_EQ(image->size(), c.twin ? QSize(20, 12) : QSize(10, 6)) << what;
    EXPECT_EQ(image->pixel(0, 0), c.twin ? qRgb(0, 0, 255) : qRgb(255, 0, 0)) << what;
  }
}

TEST_F(SkinPictureChoice, AMissingPictureStaysMissingEvenWithATwin) {
  // Dense or not, the program needs the same files: a skin that lacks a
  // picture fails on every screen alike.
  EXPECT_FALSE(LoadSkinPicture(dir_.path(), u"Skins/only_twin.bmp", 2.0));
  EXPECT_FALSE(LoadSkinPicture(dir_.path(), u"Skins/absent.bmp", 2.0));
}

TEST_F(SkinPictureChoice, APrefetchedPictureIsTakenOnceAndOnlyAtItsDensity) {
  const auto at = [&](const char* name) { return dir_.path() / "Skins" / name; };
  const auto save_jpeg = [](const QImage& image, const std::filesystem::path& path) {
    ASSERT_TRUE(image.save(QString::fromStdString(path.string()), "JPG", 100)) << path;
  };
  // JPEGs are decoded ahead (red), other pictures are left to the load.
  save_jpeg(testing::FilledPicture(10, 6, Qt::red), at("good.jpg"));
  save_jpeg(testing::FilledPicture(20, 12, Qt::blue), at("good@2x.jpg"));
  save_jpeg(testing::FilledPicture(10, 6, Qt::red), at("plain.jpg"));
  save_jpeg(testing::FilledPicture(10, 6, Qt::red), at("last.jpg"));
  PrefetchSkinPictures({at("good.jpg"), at("plain.jpg"), at("no_twin.bmp"), at("absent.jpg"), at("last.jpg")}, 1.0);
  // They are decoded in order: once the last is taken, the others are done.
  ASSERT_TRUE(LoadSkinPicture(dir_.path(), u"Skins/last.jpg", 1.0));
  // The files change after the prefetch: what a load gives shows where it
  // came from (red: prefetched, green: read now).
  for (const char* name : {"good.jpg", "plain.jpg"}) save_jpeg(testing::FilledPicture(10, 6, Qt::green), at(name));
  Save(testing::FilledPicture(10, 6, Qt::green), at("no_twin.bmp"));
  struct Case {
    const char16_t* name;
    double ratio;
    std::optional<QRgb> colour;  // nothing: no picture
  };
  const Case cases[] = {
      {u"Skins/good.jpg", 2.0, qRgb(0, 0, 255)},      // another density: the twin, and the prefetch is dropped
      {u"Skins/good.jpg", 1.0, qRgb(0, 255, 0)},      // so this reads the file
      {u"Skins/plain.jpg", 1.0, qRgb(255, 0, 0)},     // prefetched
      {u"Skins/plain.jpg", 1.0, qRgb(0, 255, 0)},     // once only
      {u"Skins/no_twin.bmp", 1.0, qRgb(0, 255, 0)},   // not a JPEG: read when asked for
      {u"Skins/absent.jpg", 1.0, std::nullopt},       // missing either way
  };
  // Within JPEG's rounding of a flat colour.
  const auto near = [](QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) <= 8 && std::abs(qGreen(a) - qGreen(b)) <= 8 && std::abs(qBlue(a) - qBlue(b)) <= 8;
  };
  for (const Case& c : cases) {
    const std::string what = QString::fromStdU16String(c.name).toStdString() + " at " + std::to_string(c.ratio);
    const std::optional<QImage> image = LoadSkinPicture(dir_.path(), c.name, c.ratio);
    ASSERT_EQ(image.has_value(), c.colour.has_value()) << what;
    if (image) {
      EXPECT_TRUE(near(image->pixel(0, 0), *c.colour)) << what << ": " << std::hex << image->pixel(0, 0);
    }
  }
}

TEST(HighDensityStatePicture, KeepsTheTwinsPixelsOneToOneInLayoutUnits) {
  QWidget reference;
  reference.resize(50, 30);
  QImage picture = CoordinatePicture2x(120, 60);
  picture.setDevicePixelRatio(2.0);
  const QPixmap state = MakeStatePicture(picture, reference);
  EXPECT_EQ(state.devicePixelRatio(), 2.0);
  EXPECT_EQ(state.deviceIndependentSize(), QSizeF(150, 130));
  const QImage pixels = state.toImage();
  EXPECT_EQ(pixels.pixel(2 * 13, 2 * 7), CoordinateColour(13, 7));
  EXPECT_EQ(pixels.pixel(2 * 119 + 1, 2 * 59 + 1), CoordinateColour(119, 59));
  EXPECT_EQ(pixels.pixel(2 * 140, 2 * 100), qRgb(0, 0, 0));  // beyond the picture
}

TEST(HighDensityButton, CutsItsFaceAtTheOffsetInLayoutUnits) {
  QImage twin = CoordinatePicture2x(200, 100);
  twin.setDevicePixelRatio(2.0);
  const QPixmap picture = QPixmap::fromImage(twin);
  CPngButton button;
  button.setGeometry(100, 40, 30, 12);
  button.SetPicturesAt(100, 40, picture, picture, picture, picture, picture, true);
  // Drawn on this (1x) screen the face is the same part of the picture as
  // from a 1x state picture.
  const QImage shown = button.grab().toImage();
  ASSERT_EQ(shown.deviceIndependentSize(), QSizeF(30, 12));
  const qreal r = shown.devicePixelRatio();
  for (QPoint p : {QPoint(0, 0), QPoint(29, 11), QPoint(13, 7)}) {
    EXPECT_EQ(shown.pixel(int(p.x() * r), int(p.y() * r)), CoordinateColour(99 + p.x(), 39 + p.y()))
        << p.x() << "," << p.y();
  }
}

TEST(HighDensityDialog, TakesItsSizeInLayoutUnitsFromTheBackground) {
  TempDir dir;
  Save(testing::FilledPicture(60, 40, QColor(40, 40, 40)), dir.path() / "bg.bmp");
  Save(testing::FilledPicture(120, 80, QColor(40, 40, 40)), dir.path() / "bg@2x.bmp");
  Save(testing::FilledPicture(60, 40, Qt::black), dir.path() / "mask.bmp");
  const auto ini = dir.Write("dialog.ini", "[SCREEN]\nMain=bg.bmp\nMask=mask.bmp\n");
  CBaseDialog dialog(1, nullptr, ini, dir.path());
  ASSERT_TRUE(dialog.OpenModeless());
  EXPECT_EQ(dialog.size(), QSize(60, 40));
  EXPECT_EQ(dialog.Background().deviceIndependentSize(), QSizeF(60, 40));
  // The background chosen follows this screen's density.
  EXPECT_EQ(dialog.Background().devicePixelRatio(), SkinDevicePixelRatio() >= kHighDensityRatio ? 2.0 : 1.0);
  dialog.reject();
}

}  // namespace
}  // namespace keyloom::skin
