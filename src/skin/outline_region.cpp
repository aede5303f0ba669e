#include "skin/outline_region.h"

#include <vector>

namespace keyloom::skin {

namespace {
// Rows are collected as one-pixel-high rectangles and merged into the result
// in batches of this many.
constexpr std::size_t kBatch = 2000;
}  // namespace

std::optional<QRegion> BuildOutlineRegion(const QImage& outline) {
  if (outline.isNull()) return std::nullopt;
  const QImage image = outline.convertToFormat(QImage::Format_RGB32);
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
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    int x = 0;
    while (x < width) {
      while (x < width && (row[x] & 0x00FFFFFFu) == 0x00FFFFFFu) ++x;
      const int x0 = x;
      while (x < width && (row[x] & 0x00FFFFFFu) != 0x00FFFFFFu) ++x;
      if (x > x0) {
        rects.emplace_back(x0, y, x - x0, 1);
        if (rects.size() == kBatch) flush();
      }
    }
  }
  flush();
  return result;
}

}  // namespace keyloom::skin
