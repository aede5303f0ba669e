// The skin's JPEG pictures are decoded with libjpeg directly: each must
// come out exactly as Qt's own reader gives it, pictures the direct decoder
// does not take must still load through Qt, and pictures over the limits
// are refused before they cost time or memory.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <cstdint>
#include <span>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "skin/jpeg_decode.h"
#include "skin/skin_picture.h"
#include "skin_test_support.h"

namespace keyloom::skin {
namespace {

using testing::TempDir;

QImage ReadWithQt(const std::filesystem::path& path) {
  QImageReader reader(QString::fromStdString(path.string()));
  reader.setAutoTransform(false);
  return reader.read();
}

QByteArray Encode(const QImage& image, bool progressive, bool optimised = false) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "JPEG");
  writer.setQuality(90);
  writer.setProgressiveScanWrite(progressive);
  writer.setOptimizedWrite(optimised);
  EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
  return bytes;
}

// A picture with some detail, so that every scan carries data.
QImage Detailed(int width, int height) { return testing::CoordinatePicture(width, height); }

// The scans of a JPEG file: where each start-of-scan segment begins and
// where its entropy-coded data ends.
std::vector<std::pair<qsizetype, qsizetype>> Scans(const QByteArray& jpeg) {
  std::vector<std::pair<qsizetype, qsizetype>> scans;
  qsizetype at = 2;
  while (at + 4 <= jpeg.size() && uchar(jpeg[at]) == 0xFF) {
    const uchar marker = uchar(jpeg[at + 1]);
    if (marker == 0xD9) break;
    const qsizetype length = (uchar(jpeg[at + 2]) << 8) | uchar(jpeg[at + 3]);
    qsizetype end = at + 2 + length;
    if (marker == 0xDA) {
      while (end + 1 < jpeg.size() &&
             !(uchar(jpeg[end]) == 0xFF && uchar(jpeg[end + 1]) != 0x00 && (uchar(jpeg[end + 1]) & 0xF8) != 0xD0))
        ++end;
      scans.emplace_back(at, end);
    }
    at = end;
  }
  return scans;
}

TEST(SkinJpeg, EveryJpegOfTheSkinDecodesAsQtsReaderDecodesIt) {
  const std::filesystem::path folder = std::filesystem::path(KEYLOOM_SOURCE_DIR) / "res";
  int seen = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder / "Skins")) {
    if (entry.path().extension() != ".jpg") continue;
    ++seen;
    const std::u16string name = u"Skins/" + entry.path().filename().u16string();
    const std::optional<QImage> ours = LoadSkinPicture(folder, name, 1.0);
    const QImage qt = ReadWithQt(entry.path());
    ASSERT_TRUE(ours.has_value()) << entry.path();
    ASSERT_FALSE(qt.isNull()) << entry.path();
    EXPECT_EQ(ours->format(), qt.format()) << entry.path();
    EXPECT_EQ(ours->size(), qt.size()) << entry.path();
    EXPECT_TRUE(*ours == qt) << entry.path() << ": pixels differ";
    EXPECT_EQ(ours->dotsPerMeterX(), qt.dotsPerMeterX()) << entry.path();
  }
  EXPECT_GT(seen, 20);
}

TEST(SkinJpeg, PicturesOfEveryKindLoadAsQtReadsThem) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "Skins");
  const QByteArray colour = Encode(Detailed(37, 23), false);
  QImage grey_picture = Detailed(40, 16).convertToFormat(QImage::Format_Grayscale8);
  struct Case {
    const char* name;
    QByteArray bytes;
  };
  const Case cases[] = {
      {"baseline", colour},
      {"progressive", Encode(Detailed(64, 48), true)},
      {"optimised", Encode(Detailed(33, 9), false, true)},
      {"grey", Encode(grey_picture, false)},
      {"one_pixel", Encode(Detailed(1, 1), false)},
      // Cut in the middle of its data: libjpeg fills the rest.
      {"truncated", colour.left(colour.size() / 2)},
      // Cut inside its header.
      {"header_only", colour.left(20)},
      {"just_the_start", QByteArray("\xFF\xD8\xFF", 3)},
      // A JPEG name on another format: taken by what it is.
      {"bitmap_inside", [] {
         QByteArray bytes;
         QBuffer buffer(&bytes);
         buffer.open(QIODevice::WriteOnly);
         testing::FilledPicture(5, 4, Qt::green).save(&buffer, "BMP");
         return bytes;
       }()},
      {"garbage", QByteArray(300, '\x5A')},
  };
  for (const Case& c : cases) {
    const std::string file = std::string("Skins/") + c.name + ".jpg";
    const std::filesystem::path path = dir.Write(file, c.bytes.toStdString());
    const std::optional<QImage> ours = LoadSkinPicture(dir.path(), std::u16string(file.begin(), file.end()), 1.0);
    const QImage qt = ReadWithQt(path);
    ASSERT_TRUE(ours.has_value()) << c.name;
    EXPECT_EQ(ours->isNull(), qt.isNull()) << c.name;
    EXPECT_EQ(ours->format(), qt.format()) << c.name;
    EXPECT_TRUE(*ours == qt) << c.name << ": pixels differ";
  }
}

TEST(SkinJpeg, PicturesOverTheLimitsAreRefusedAtOnce) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "Skins");
  // A progressive picture whose last scan comes again and again: libjpeg
  // would read every one.
  const QByteArray progressive = Encode(Detailed(64, 48), true);
  const auto scans = Scans(progressive);
  ASSERT_GT(scans.size(), 2u);
  const auto [first, end] = scans.back();
  QByteArray many_scans = progressive.left(first);
  for (int i = 0; i < kMaxJpegScans + 50; ++i) many_scans += progressive.mid(first, end - first);
  many_scans += progressive.mid(end);
  // A header that claims 65000 x 65000 pixels (16 GB of rows).
  QByteArray huge = Encode(Detailed(8, 8), false);
  const qsizetype frame = huge.indexOf(QByteArray("\xFF\xC0", 2));
  ASSERT_GT(frame, 0);
  for (qsizetype at : {frame + 5, frame + 7}) {
    huge[at] = char(0xFD);
    huge[at + 1] = char(0xE8);
  }
  // The last scan said once more is fine.
  QByteArray few_scans = progressive.left(end) + progressive.mid(first, end - first) + progressive.mid(end);

  struct Case {
    const char* name;
    QByteArray bytes;
    bool loads;
  };
  const Case cases[] = {{"many_scans", many_scans, false}, {"huge", huge, false}, {"few_scans", few_scans, true}};
  for (const Case& c : cases) {
    const std::string file = std::string("Skins/") + c.name + ".jpg";
    const std::filesystem::path path = dir.Write(file, c.bytes.toStdString());
    // Readable all the same: the refusal is the limit's.
    if (std::string(c.name) != "huge") {
      EXPECT_FALSE(ReadWithQt(path).isNull()) << c.name;
    }
    const std::optional<QImage> ours = LoadSkinPicture(dir.path(), std::u16string(file.begin(), file.end()), 1.0);
    ASSERT_TRUE(ours.has_value()) << c.name;
    EXPECT_EQ(!ours->isNull(), c.loads) << c.name;
    if (c.loads) {
      EXPECT_EQ(ours->size(), QSize(64, 48)) << c.name;
    }
  }
}

TEST(SkinJpeg, TheDecoderAsksForRowsOnceAndTakesARefusal) {
  const QByteArray colour = Encode(Detailed(12, 5), false);
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(colour.constData()),
                                            static_cast<std::size_t>(colour.size()));
  int asked = 0;
  JpegSize seen;
  EXPECT_EQ(DecodeJpeg(bytes,
                       [&](const JpegSize& size) {
                         ++asked;
                         seen = size;
                         return JpegRows{};
                       }),
            JpegResult::kRefused);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(seen.width, 12);
  EXPECT_EQ(seen.height, 5);
  EXPECT_FALSE(seen.grey);

  // Rows narrower than the picture are refused too.
  std::vector<std::uint8_t> rows(12 * 4 * 5);
  EXPECT_EQ(DecodeJpeg(bytes, [&](const JpegSize&) { return JpegRows{rows.data(), 12 * 3}; }), JpegResult::kRefused);
  // Wide enough rows with room to spare between them.
  std::vector<std::uint8_t> padded(64 * 5, 0x11);
  EXPECT_EQ(DecodeJpeg(bytes, [&](const JpegSize&) { return JpegRows{padded.data(), 64}; }), JpegResult::kDecoded);
  for (int y = 0; y < 5; ++y) {
    EXPECT_EQ(padded[y * 64 + 3], 0xFF) << y;
    EXPECT_EQ(padded[y * 64 + 48], 0x11) << "row " << y << " ran past its width";
  }
  const std::uint8_t not_jpeg[] = {0x42, 0x4D, 0, 0};
  EXPECT_EQ(DecodeJpeg(not_jpeg, [&](const JpegSize&) { return JpegRows{}; }), JpegResult::kNotHandled);
}

}  // namespace
}  // namespace keyloom::skin
