#include "skin/base_dialog.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "skin/outline_region.h"
#include "skin/skin_picture.h"
#include "skin_test_support.h"

namespace keyloom::skin {
namespace {

using testing::TempDir;

// A 60 x 40 background: dark grey with a white 10 x 10 square at its top-left.
QImage BackgroundWithWhiteCorner() {
  QImage image = testing::FilledPicture(60, 40, QColor(40, 40, 40));
  QPainter(&image).fillRect(0, 0, 10, 10, Qt::white);
  return image;
}

class FailureRecorder {
 public:
  FailureRecorder() {
    previous_ = SetSkinFailureHandler([this](const std::filesystem::path& p) { failures.push_back(p); });
  }
  ~FailureRecorder() { SetSkinFailureHandler(std::move(previous_)); }
  std::vector<std::filesystem::path> failures;

 private:
  SkinFailureHandler previous_;
};

TEST(OutlineRegion, NonWhitePixelsAreTheRegion) {
  QImage outline = testing::FilledPicture(8, 4, Qt::white);
  outline.setPixel(1, 0, qRgb(0, 0, 0));
  outline.setPixel(2, 0, qRgb(254, 255, 255));  // almost white is not white
  outline.setPixel(5, 0, qRgb(255, 255, 0));
  outline.setPixel(7, 3, qRgb(10, 10, 10));
  const auto region = BuildOutlineRegion(outline);
  ASSERT_TRUE(region);
  QRegion expected;
  expected += QRect(1, 0, 2, 1);
  expected += QRect(5, 0, 1, 1);
  expected += QRect(7, 3, 1, 1);
  EXPECT_EQ(*region, expected);
}

TEST(OutlineRegion, AllWhiteGivesEmptyAndNullGivesNone) {
  const auto white = BuildOutlineRegion(testing::FilledPicture(30, 30, Qt::white));
  ASSERT_TRUE(white);
  EXPECT_TRUE(white->isEmpty());
  EXPECT_FALSE(BuildOutlineRegion(QImage()));
}

TEST(OutlineRegion, LargeOutlinesAreMergedAcrossBatches) {
  // A checkerboard has one rectangle per black pixel: far more than a batch.
  QImage board(120, 120, QImage::Format_RGB32);
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 120; ++x) board.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
  const auto region = BuildOutlineRegion(board);
  ASSERT_TRUE(region);
  EXPECT_TRUE(region->contains(QPoint(0, 0)));
  EXPECT_FALSE(region->contains(QPoint(1, 0)));
  EXPECT_TRUE(region->contains(QPoint(119, 119)));
  EXPECT_FALSE(region->contains(QPoint(118, 119)));
  int area = 0;
  for (const QRect& r : *region) area += r.width() * r.height();
  EXPECT_EQ(area, 120 * 60);
}

// Outlines come in any format a picture file gives; each must give the
// region its 32-bit conversion gives (one-bit pictures with either colour
// order, palettes with alpha and indices past the table, widths that end
// inside a byte).
TEST(OutlineRegion, EveryPictureFormatGivesTheRegionOfItsConversion) {
  const int w = 13, h = 5;
  auto pattern = [](int x, int y) { return (x * 7 + y * 3) % 5 == 0 || x == 12; };
  auto one_bit = [&](QImage::Format format, QList<QRgb> table) {
    QImage image(w, h, format);
    image.setColorTable(table);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) image.setPixel(x, y, pattern(x, y) ? 1 : 0);
    return image;
  };
  auto indexed = [&](QList<QRgb> table, int past) {
    QImage image(w, h, QImage::Format_Indexed8);
    image.setColorTable(table);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) image.scanLine(y)[x] = static_cast<uchar>(pattern(x, y) ? past : (x + y) % 2);
    return image;
  };
  struct Case {
    const char* name;
    QImage image;
  };
  const Case cases[] = {
      {"mono, white first", one_bit(QImage::Format_Mono, {qRgb(255, 255, 255), qRgb(0, 0, 0)})},
      {"mono, black first", one_bit(QImage::Format_Mono, {qRgb(0, 0, 0), qRgb(255, 255, 255)})},
      {"mono lsb", one_bit(QImage::Format_MonoLSB, {qRgb(255, 255, 255), qRgb(9, 9, 9)})},
      {"mono, transparent white", one_bit(QImage::Format_Mono, {qRgba(255, 255, 255, 0), qRgb(0, 0, 0)})},
      {"mono without a table", [&] {
         QImage image = one_bit(QImage::Format_Mono, {qRgb(255, 255, 255), qRgb(0, 0, 0)});
         image.setColorTable({});
         return image;
       }()},
      {"indexed, index past the table", indexed({qRgb(255, 255, 255), qRgb(255, 255, 254), qRgb(1, 2, 3)}, 200)},
      {"indexed, past a white last entry", indexed({qRgb(0, 0, 0), qRgb(255, 255, 255)}, 7)},
      {"indexed without a table", [&] {
         QImage image = indexed({}, 255);
         image.setColorTable({});
         return image;
       }()},
      {"indexed with alpha", indexed({qRgba(255, 255, 255, 10), qRgba(0, 0, 0, 0), qRgb(255, 0, 0)}, 2)},
      {"rgb888", one_bit(QImage::Format_Mono, {qRgb(255, 255, 255), qRgb(0, 0, 0)}).convertToFormat(QImage::Format_RGB888)},
      {"argb32", indexed({qRgba(255, 255, 255, 128), qRgb(0, 0, 0), qRgb(255, 255, 255)}, 2).convertToFormat(
                     QImage::Format_ARGB32)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QImage converted = c.image.convertToFormat(QImage::Format_RGB32);
    QRegion expected;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if ((converted.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) expected += QRect(x, y, 1, 1);
    const auto region = BuildOutlineRegion(c.image);
    ASSERT_TRUE(region);
    EXPECT_EQ(*region, expected);
  }
}

class SkinnedDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    BackgroundWithWhiteCorner().save(QString::fromStdString((dir_.path() / "bg.bmp").string()), "BMP");
    QImage mask = testing::FilledPicture(60, 40, Qt::black);
    QPainter(&mask).fillRect(50, 30, 10, 10, Qt::white);
    mask.save(QString::fromStdString((dir_.path() / "mask.bmp").string()), "BMP");
    testing::FilledPicture(60, 40, Qt::white).save(QString::fromStdString((dir_.path() / "white.bmp").string()),
                                                   "BMP");
    dir_.Write("broken.bmp", "this is no picture");
  }
  std::filesystem::path Ini(const std::string& screen) { return dir_.Write("Dlg.ini", "[SCREEN]\n" + screen); }
  TempDir dir_;
};

TEST_F(SkinnedDialog, TakesTheBackgroundsSizeAndPaintsIt) {
  CBaseDialog dialog(131, nullptr, Ini("Main=bg.bmp\nMask=mask.bmp\n"), dir_.path());
  ASSERT_TRUE(dialog.OnInitDialog());
  EXPECT_EQ(dialog.size(), QSize(60, 40));
  const QImage shown = dialog.grab().toImage();
  EXPECT_EQ(shown.pixel(30, 20), qRgb(40, 40, 40));
  EXPECT_EQ(shown.pixel(2, 2), qRgb(255, 255, 255));
}

TEST_F(SkinnedDialog, OutlinePicturesWhitePixelsAreHoles) {
  CBaseDialog dialog(131, nullptr, Ini("Main=bg.bmp\nMask=mask.bmp\n"), dir_.path());
  ASSERT_TRUE(dialog.OnInitDialog());
  const QRegion mask = dialog.mask();
  EXPECT_TRUE(mask.contains(QPoint(2, 2)));  // white in the background, black in the outline
  EXPECT_FALSE(mask.contains(QPoint(55, 35)));
  EXPECT_TRUE(mask.contains(QPoint(49, 35)));
}

TEST_F(SkinnedDialog, WithoutMaskKeyTheBackgroundIsTheOutline) {
  CBaseDialog dialog(131, nullptr, Ini("Main=bg.bmp\n"), dir_.path());
  ASSERT_TRUE(dialog.OnInitDialog());
  const QRegion mask = dialog.mask();
  EXPECT_FALSE(mask.contains(QPoint(2, 2)));  // the background's white corner
  EXPECT_TRUE(mask.contains(QPoint(12, 2)));
  EXPECT_TRUE(mask.contains(QPoint(55, 35)));
}

TEST_F(SkinnedDialog, AllWhiteOutlineLeavesNothingVisible) {
  CBaseDialog dialog(131, nullptr, Ini("Main=bg.bmp\nMask=white.bmp\n"), dir_.path());
  ASSERT_TRUE(dialog.OnInitDialog());
  ASSERT_TRUE(dialog.OutlineRegion());
  EXPECT_TRUE(dialog.OutlineRegion()->isEmpty());
  EXPECT_TRUE((dialog.mask() & dialog.rect()).isEmpty());
}

TEST_F(SkinnedDialog, MissingOrUndecodablePicturesAreReported) {
  struct Case {
    std::string screen;
    std::string failing;  // the file name reported ("" = the skin folder itself)
  };
  const Case cases[] = {
      {"Main=absent.bmp\n", "absent.bmp"},
      {"Main=broken.bmp\n", "broken.bmp"},
      {"Main=bg.bmp\nMask=absent.bmp\n", "absent.bmp"},
      {"Mask=mask.bmp\n", ""},  // no "Main": the path names the skin folder
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.screen);
    FailureRecorder recorder;
    CBaseDialog dialog(131, nullptr, Ini(c.screen), dir_.path());
    EXPECT_FALSE(dialog.OnInitDialog());
    ASSERT_EQ(recorder.failures.size(), 1u);
    EXPECT_EQ(recorder.failures[0].filename().string(), c.failing);
  }
}

TEST_F(SkinnedDialog, MissingSkinEndsTheProgramWithAnErrorByDefault) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto ini = Ini("Main=absent.bmp\n");
  EXPECT_EXIT(
      {
        CBaseDialog dialog(131, nullptr, ini, dir_.path());
        dialog.OnInitDialog();
      },
      ::testing::ExitedWithCode(1), "absent.bmp");
}

TEST_F(SkinnedDialog, ReopeningReadsTheSkinAgain) {
  const auto ini = Ini("Main=bg.bmp\nMask=mask.bmp\n");
  CBaseDialog dialog(131, nullptr, ini, dir_.path());
  ASSERT_TRUE(dialog.OnInitDialog());
  dialog.OnCancel();
  EXPECT_EQ(dialog.result(), 0);
  EXPECT_TRUE(dialog.Background().isNull());  // released on closing
  // Change the background between openings.
  testing::FilledPicture(80, 50, QColor(1, 2, 3)).save(QString::fromStdString((dir_.path() / "bg2.bmp").string()),
                                                       "BMP");
  Ini("Main=bg2.bmp\n");
  ASSERT_TRUE(dialog.OnInitDialog());
  EXPECT_EQ(dialog.size(), QSize(80, 50));
  dialog.OnOK();
  EXPECT_EQ(dialog.result(), 1);
}

TEST_F(SkinnedDialog, DraggingTheBodyMovesTheDialog) {
  CBaseDialog dialog(131, nullptr, Ini("Main=bg.bmp\nMask=mask.bmp\n"), dir_.path());
  ASSERT_TRUE(dialog.OpenModeless());
  dialog.move(100, 100);
  const QPoint start = dialog.pos();
  auto send = [&](QEvent::Type type, QPoint global, Qt::MouseButton button, Qt::MouseButtons buttons) {
    const QPointF local(global - dialog.pos());
    QMouseEvent e(type, local, local, QPointF(global), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&dialog, &e);
  };
  const QPoint grab = start + QPoint(20, 20);
  send(QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
  send(QEvent::MouseMove, grab + QPoint(35, 12), Qt::NoButton, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, grab + QPoint(35, 12), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(dialog.pos(), start + QPoint(35, 12));
  dialog.OnCancel();
}

TEST_F(SkinnedDialog, EscapeAndCloseGoThroughOnCancel) {
  struct Probe : CBaseDialog {
    using CBaseDialog::CBaseDialog;
    int cancels = 0;
    void OnCancel() override {
      ++cancels;
      CBaseDialog::OnCancel();
    }
  };
  Probe dialog(131, nullptr, Ini("Main=bg.bmp\n"), dir_.path());
  ASSERT_TRUE(dialog.OpenModeless());
  dialog.reject();
  EXPECT_EQ(dialog.cancels, 1);
  EXPECT_FALSE(dialog.isVisible());
}

TEST(StatePicture, IsTheDialogPlusMarginHoldingThePictureAtOneToOne) {
  QWidget reference;
  reference.resize(50, 30);
  const QImage picture = testing::CoordinatePicture(120, 60);
  const QImage state = MakeStatePicture(picture, reference).toImage();
  EXPECT_EQ(state.size(), QSize(150, 130));
  EXPECT_EQ(state.pixel(0, 0), testing::CoordinateColour(0, 0));
  EXPECT_EQ(state.pixel(119, 59), testing::CoordinateColour(119, 59));
  EXPECT_EQ(state.pixel(140, 100), qRgb(0, 0, 0));  // beyond the picture
  EXPECT_EQ(MakeStatePicture(QImage(), reference).toImage().pixel(5, 5), qRgb(0, 0, 0));
}

TEST(SkinPictureLoading, MissingFileGivesNothingUndecodableGivesANullPicture) {
  TempDir dir;
  testing::FilledPicture(4, 4, Qt::red).save(QString::fromStdString((dir.path() / "ok.bmp").string()), "BMP");
  dir.Write("bad.jpg", "not a jpeg");
  std::filesystem::create_directories(dir.path() / "Skins");
  testing::FilledPicture(3, 3, Qt::blue).save(QString::fromStdString((dir.path() / "Skins" / "in.bmp").string()),
                                              "BMP");
  EXPECT_FALSE(LoadSkinPicture(dir.path(), u"absent.jpg"));
  const auto bad = LoadSkinPicture(dir.path(), u"bad.jpg");
  ASSERT_TRUE(bad);
  EXPECT_TRUE(bad->isNull());
  const auto ok = LoadSkinPicture(dir.path(), u"ok.bmp");
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->size(), QSize(4, 4));
  const auto nested = LoadSkinPicture(dir.path(), u"Skins\\in.bmp");  // backslashes are separators
  ASSERT_TRUE(nested);
  EXPECT_EQ(nested->size(), QSize(3, 3));
}

}  // namespace
}  // namespace keyloom::skin
