#include "tray_icon_painter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace keyloom::skingen {

namespace {

// The glyph on whole pixels: five key columns, three rows (the last one a
// key, a space bar over three columns and a key), gaps and bezel of one
// sixteenth of the size, keys as large as fits.
struct Glyph {
  int gap = 1;
  int key = 2;
  QRect body;
  QRect Key(int column, int row, int span = 1) const {
    const int x = body.left() + gap + column * (key + gap);
    const int y = body.top() + gap + row * (key + gap);
    return QRect(x, y, span * key + (span - 1) * gap, key);
  }
};

Glyph GlyphFor(int size) {
  Glyph g;
  g.gap = std::max(1, size / 16);
  g.key = (size - 6 * g.gap) / 5;
  const int width = 5 * g.key + 6 * g.gap;
  const int height = 3 * g.key + 4 * g.gap;
  g.body = QRect((size - width) / 2, (size - height) / 2, width, height);
  return g;
}

struct Colours {
  QColor top, bottom, keys;
};

Colours ColoursOf(TrayState state) {
  if (state == TrayState::Disconnected) return {QColor(0x7A, 0x82, 0x8E), QColor(0x58, 0x5F, 0x6A), QColor(0x1B, 0x1E, 0x24)};
  return {QColor(0x5C, 0xDD, 0xF3), QColor(0x14, 0xA6, 0xC4), QColor(0x0B, 0x17, 0x1C)};
}

void PaintBadge(QPainter& p, int size) {
  const double radius = std::max(3L, std::lround(size * 0.19));
  const double ring = std::max(1L, std::lround(size / 16.0));
  const QPointF centre(size - radius, radius);
  // A transparent ring parts the badge from the keyboard on any panel colour.
  p.setCompositionMode(QPainter::CompositionMode_Clear);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawEllipse(centre, radius + ring, radius + ring);
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  QLinearGradient fill(centre - QPointF(0, radius), centre + QPointF(0, radius));
  fill.setColorAt(0, size >= 32 ? QColor(0xFF, 0xCA, 0x5A) : QColor(0xFF, 0xB4, 0x2E));
  fill.setColorAt(1, size >= 32 ? QColor(0xF2, 0x9A, 0x0C) : QColor(0xFF, 0xB4, 0x2E));
  p.setBrush(fill);
  p.drawEllipse(centre, radius, radius);
  if (size < 32) return;  // too small for a mark
  // An exclamation mark: a tapered bar and a dot.
  const QColor ink(0x2B, 0x1A, 0x02);
  p.setBrush(ink);
  const double w = radius * 0.30;
  QPainterPath bar;
  bar.moveTo(centre + QPointF(-w / 2, -radius * 0.62));
  bar.lineTo(centre + QPointF(w / 2, -radius * 0.62));
  bar.lineTo(centre + QPointF(w * 0.32, radius * 0.18));
  bar.lineTo(centre + QPointF(-w * 0.32, radius * 0.18));
  bar.closeSubpath();
  p.drawPath(bar);
  p.drawEllipse(centre + QPointF(0, radius * 0.48), w * 0.55, w * 0.55);
}

}  // namespace

QString TrayStateName(TrayState state) {
  switch (state) {
    case TrayState::Disconnected: return QStringLiteral("disconnected");
    case TrayState::Connected: return QStringLiteral("connected");
    case TrayState::Event: return QStringLiteral("event");
  }
  return {};
}

QString TrayIconFileName(TrayState state, int size) {
  return QStringLiteral("tray_%1_%2.png").arg(TrayStateName(state)).arg(size);
}

QImage PaintTrayIcon(TrayState state, int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);
  const Glyph g = GlyphFor(size);
  const Colours c = ColoursOf(state);
  const bool large = size >= 32;

  // Body: flat on the small sizes, a soft top-lit gradient on the large ones.
  const QColor middle = QColor::fromRgbF((c.top.redF() + c.bottom.redF()) / 2, (c.top.greenF() + c.bottom.greenF()) / 2,
                                         (c.top.blueF() + c.bottom.blueF()) / 2);
  QLinearGradient body(g.body.topLeft(), g.body.bottomLeft());
  body.setColorAt(0, large ? c.top : middle);
  body.setColorAt(1, large ? c.bottom : middle);
  p.setPen(Qt::NoPen);
  p.setBrush(body);
  const double body_radius = std::max(1.5, g.gap * 1.6);
  p.drawRoundedRect(QRectF(g.body), body_radius, body_radius);

  // Keys: dark caps set into the body, whole-pixel rectangles.
  p.setBrush(c.keys);
  const double key_radius = large ? g.key * 0.18 : 0.0;
  auto key = [&](const QRect& r) {
    if (key_radius > 0) {
      p.drawRoundedRect(QRectF(r), key_radius, key_radius);
    } else {
      p.setRenderHint(QPainter::Antialiasing, false);
      p.drawRect(r);
      p.setRenderHint(QPainter::Antialiasing, true);
    }
  };
  for (int row = 0; row < 2; ++row) {
    for (int column = 0; column < 5; ++column) key(g.Key(column, row));
  }
  key(g.Key(0, 2));
  key(g.Key(1, 2, 3));
  key(g.Key(4, 2));

  if (state == TrayState::Event) PaintBadge(p, size);
  p.end();
  return image.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace keyloom::skingen
