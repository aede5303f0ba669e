// The committed notification-area icons against their generator, and what
// each state's picture must show.
#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>
#include <QString>
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "tray_icon_painter.h"

namespace keyloom::skingen {
namespace {

const std::filesystem::path kIcons = std::filesystem::path(KEYLOOM_SOURCE_DIR) / "res" / "Icons";

QImage ReadPng(TrayState state, int size, QByteArray* format) {
  QImageReader reader(QString::fromStdString((kIcons / TrayIconFileName(state, size).toStdString()).string()));
  *format = reader.format();
  return reader.read().convertToFormat(QImage::Format_ARGB32);
}

std::string Name(TrayState state, int size) { return TrayIconFileName(state, size).toStdString(); }

// Largest difference of one channel between two pictures of one size.
int LargestDifference(const QImage& a, const QImage& b) {
  int most = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      most = std::max({most, std::abs(qAlpha(p) - qAlpha(q)), std::abs(qRed(p) - qRed(q)),
                       std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
    }
  }
  return most;
}

bool Amber(QRgb p) { return qAlpha(p) > 200 && qRed(p) > 200 && qGreen(p) > 120 && qGreen(p) < 220 && qBlue(p) < 110; }
bool Saturated(QRgb p) {
  return qAlpha(p) > 200 && std::max({qRed(p), qGreen(p), qBlue(p)}) - std::min({qRed(p), qGreen(p), qBlue(p)}) > 60;
}
bool Accent(QRgb p) { return qAlpha(p) > 200 && qBlue(p) > qRed(p) + 80 && qGreen(p) > qRed(p) + 60; }

TEST(TrayIconFiles, EveryStateAndSizeIsCommittedAsTheGeneratorDrawsIt) {
  // Regenerate with keyloom-skingen after changing the artwork. Rendering may
  // differ by a rounding step between machines, never by a changed drawing.
  for (TrayState state : kTrayStates) {
    for (int size : kTrayIconSizes) {
      QByteArray format;
      const QImage committed = ReadPng(state, size, &format);
      ASSERT_FALSE(committed.isNull()) << Name(state, size);
      EXPECT_EQ(format, QByteArray("png")) << Name(state, size);
      ASSERT_EQ(committed.size(), QSize(size, size)) << Name(state, size);
      EXPECT_LE(LargestDifference(committed, PaintTrayIcon(state, size)), 6) << Name(state, size);
      // Transparent corners: the icon sits on whatever the panel is.
      EXPECT_EQ(qAlpha(committed.pixel(0, 0)), 0) << Name(state, size);
      EXPECT_EQ(qAlpha(committed.pixel(0, size - 1)), 0) << Name(state, size);
    }
  }
}

TEST(TrayIconFiles, StatesShowGreyAccentAndAnAmberBadge) {
  for (int size : kTrayIconSizes) {
    const QImage off = PaintTrayIcon(TrayState::Disconnected, size);
    const QImage on = PaintTrayIcon(TrayState::Connected, size);
    const QImage event = PaintTrayIcon(TrayState::Event, size);
    int off_saturated = 0, on_accent = 0, on_amber = 0, event_accent = 0, badge = 0, stray_amber = 0, opaque = 0;
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        opaque += qAlpha(on.pixel(x, y)) == 255;
        off_saturated += Saturated(off.pixel(x, y));
        on_accent += Accent(on.pixel(x, y));
        on_amber += Amber(on.pixel(x, y));
        event_accent += Accent(event.pixel(x, y));
        const bool top_right = x >= size / 2 && y < size / 2;
        (top_right ? badge : stray_amber) += Amber(event.pixel(x, y));
      }
    }
    EXPECT_EQ(off_saturated, 0) << size;  // not connected: grey only
    EXPECT_GT(on_accent, opaque / 4) << size;
    EXPECT_EQ(on_amber, 0) << size;
    EXPECT_GT(event_accent, opaque / 5) << size;  // still connected under the badge
    EXPECT_GT(badge, size * size / 20) << size;
    EXPECT_EQ(stray_amber, 0) << size;
  }
}

TEST(TrayIconFiles, SmallSizesAreDrawnOnWholePixels) {
  // Keys and body edges fall on pixel borders: only the rounded corners and
  // the badge's rim are blended, so the glyph stays sharp at 16 to 24 pixels.
  for (int size : {16, 22, 24}) {
    for (TrayState state : {TrayState::Disconnected, TrayState::Connected}) {
      const QImage image = PaintTrayIcon(state, size);
      int partial = 0;
      for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) partial += qAlpha(image.pixel(x, y)) != 0 && qAlpha(image.pixel(x, y)) != 255;
      }
      EXPECT_LE(partial, 12) << Name(state, size);  // three per rounded corner
    }
  }
}

}  // namespace
}  // namespace keyloom::skingen
