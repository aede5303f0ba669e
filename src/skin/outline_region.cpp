#include "skin/outline_region.h"

#include <algorithm>
#include <array>
#include <vector>

namespace keyloom::skin {

namespace {
// Rows are collected as one-pixel-high rectangles and merged into the result
// in batches of this many.
constexpr std::size_t kBatch = 2000;

bool IsWhite(QRgb pixel) { return (pixel & 0x00FFFFFFu) == 0x00FFFFFFu; }

// Collects the runs of non-white pixels row by row; `white(row, x)` tells
// whether pixel x of the row is white.
template <typename RowWhite>
QRegion CollectRuns(const QImage& image, RowWhite white) {
  QRegion result;
  std::vector<QRect> rects;
  rects.reserve(kBatch);
  auto flush = [&] {
    if (rects.empty()) return;
    QRegion batch;
    batch.setRects(rects.data(), static_cast<int>(rects.size()));
    result = result.united(batch);
    rects.clear();
  };
  const int width = image.width();
  for (int y = 0; y < image.height(); ++y) {
    const uchar* row = image.constScanLine(y);
    int x = 0;
    while (x < width) {
      while (x < width && white(row, x)) ++x;
      const int x0 = x;
      while (x < width && !white(row, x)) ++x;
      if (x > x0) {
        rects.emplace_back(x0, y, x - x0, 1);
        if (rects.size() == kBatch) flush();
      }
    }
  }
  flush();
  return result;
}

// Whether each of a one-bit picture's two colours is white; empty when its
// table does not have exactly two (a conversion then decides).
std::vector<bool> WhiteEntries(const QImage& image) {
  const QList<QRgb> table = image.colorTable();
  if (table.size() != 2) return {};
  return {IsWhite(table[0]), IsWhite(table[1])};
}

}  // namespace

std::optional<QRegion> BuildOutlineRegion(const QImage& outline) {
  if (outline.isNull()) return std::nullopt;
  // Outlines are usually one-bit pictures: read them through their colour
  // table rather than converting the whole picture to 32 bits first.
  switch (outline.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB: {
      const std::vector<bool> white = WhiteEntries(outline);
      if (white.size() != 2) break;
      const bool msb = outline.format() == QImage::Format_Mono;
      return CollectRuns(outline, [&](const uchar* row, int x) {
        const int bit = msb ? (row[x >> 3] >> (7 - (x & 7))) & 1 : (row[x >> 3] >> (x & 7)) & 1;
        return bool(white[bit]);
      });
    }
    case QImage::Format_Indexed8: {
      // As a conversion reads it: an index past the table is black, and a
      // picture without a table is grey levels (only 255 is white).
      std::array<bool, 256> white{};
      const QList<QRgb> table = outline.colorTable();
      if (table.isEmpty()) white[255] = true;
      for (qsizetype i = 0; i < std::min<qsizetype>(table.size(), 256); ++i) white[i] = IsWhite(table[i]);
      return CollectRuns(outline, [&](const uchar* row, int x) { return white[row[x]]; });
    }
    case QImage::Format_RGB32:
      return CollectRuns(outline, [](const uchar* row, int x) { return IsWhite(reinterpret_cast<const QRgb*>(row)[x]); });
    default:
      break;
  }
  const QImage image = outline.convertToFormat(QImage::Format_RGB32);
  return CollectRuns(image, [](const uchar* row, int x) { return IsWhite(reinterpret_cast<const QRgb*>(row)[x]); });
}

}  // namespace keyloom::skin
