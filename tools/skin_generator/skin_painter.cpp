#include "skin_painter.h"

#include <QFont>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

namespace keyloom::skingen {

using namespace palette;

namespace {

QFont UiFont(int pixel_size, int weight = QFont::DemiBold) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(pixel_size);
  font.setWeight(static_cast<QFont::Weight>(weight));
  font.setHintingPreference(QFont::PreferFullHinting);
  return font;
}

void RoundedPanel(QPainter& p, const QRectF& r, double radius, const QColor& top, const QColor& bottom,
                  const QColor& border) {
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  p.setPen(QPen(border, 1));
  p.setBrush(g);
  p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

struct ButtonColours {
  QColor top, bottom, border, ink;
};

ButtonColours ButtonLook(Look look) {
  switch (look) {
    case Look::Over: return {QColor(0x35, 0x3B, 0x46), QColor(0x2A, 0x2F, 0x38), kAccent, QColor(0xFF, 0xFF, 0xFF)};
    case Look::Down: return {QColor(0x22, 0xB4, 0xD2), QColor(0x12, 0x8C, 0xA6), QColor(0x7A, 0xE6, 0xF8), QColor(0x04, 0x16, 0x1B)};
    case Look::Disable: return {QColor(0x1B, 0x1E, 0x23), QColor(0x18, 0x1A, 0x1F), QColor(0x25, 0x29, 0x30), QColor(0x4A, 0x50, 0x5A)};
    default: return {QColor(0x2B, 0x30, 0x39), QColor(0x22, 0x26, 0x2D), QColor(0x3A, 0x40, 0x4B), QColor(0xD2, 0xD9, 0xE2)};
  }
}

void StrokeIcon(QPainter& p, const QColor& colour, double width) {
  p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
}

void Arrow(QPainter& p, QPointF tip, double size, double angle_deg, const QColor& colour) {
  // A filled triangle pointing along angle (0 = right).
  const double a = angle_deg * M_PI / 180.0;
  const QPointF dir(std::cos(a), std::sin(a)), side(-dir.y(), dir.x());
  QPolygonF tri;
  tri << tip << tip - dir * size + side * size * 0.75 << tip - dir * size - side * size * 0.75;
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawPolygon(tri);
}

}  // namespace

void PaintIcon(QPainter& p, Icon icon, const QRectF& r, const QColor& colour) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  const QPointF c = r.center();
  const double s = std::min(r.width(), r.height());
  const double u = s / 16.0;  // icons are drawn on a 16-unit grid
  auto pt = [&](double x, double y) { return QPointF(c.x() + (x - 8) * u, c.y() + (y - 8) * u); };
  switch (icon) {
    case Icon::None:
    case Icon::Plate:
    case Icon::Brand: break;
    case Icon::Help: {
      p.setFont(UiFont(static_cast<int>(s * 0.62), QFont::Bold));
      p.setPen(colour);
      p.drawText(r, Qt::AlignCenter, QStringLiteral("?"));
      break;
    }
    case Icon::Minimize:
      StrokeIcon(p, colour, 1.8);
      p.drawLine(pt(4, 11), pt(12, 11));
      break;
    case Icon::Close:
    case Icon::Cross:
      StrokeIcon(p, colour, 1.8);
      p.drawLine(pt(4.5, 4.5), pt(11.5, 11.5));
      p.drawLine(pt(11.5, 4.5), pt(4.5, 11.5));
      break;
    case Icon::Menu:
      StrokeIcon(p, colour, 1.8);
      for (double y : {4.5, 8.0, 11.5}) p.drawLine(pt(3.5, y), pt(12.5, y));
      break;
    case Icon::Check:
      StrokeIcon(p, colour, 2.0);
      p.drawPolyline(QPolygonF() << pt(3.5, 8.5) << pt(6.8, 11.8) << pt(12.8, 4.8));
      break;
    case Icon::ApplyTray:
      StrokeIcon(p, colour, 1.8);
      p.drawLine(pt(8, 2.5), pt(8, 9.5));
      p.drawPolyline(QPolygonF() << pt(5, 6.8) << pt(8, 9.8) << pt(11, 6.8));
      p.drawPolyline(QPolygonF() << pt(2.5, 10) << pt(2.5, 13.5) << pt(13.5, 13.5) << pt(13.5, 10));
      break;
    case Icon::Plus:
      StrokeIcon(p, colour, 2.0);
      p.drawLine(pt(8, 3.5), pt(8, 12.5));
      p.drawLine(pt(3.5, 8), pt(12.5, 8));
      break;
    case Icon::Minus:
      StrokeIcon(p, colour, 2.0);
      p.drawLine(pt(3.5, 8), pt(12.5, 8));
      break;
    case Icon::Trash:
      StrokeIcon(p, colour, 1.5);
      p.drawLine(pt(3, 4.5), pt(13, 4.5));
      p.drawPolyline(QPolygonF() << pt(6, 4.5) << pt(6.5, 2.5) << pt(9.5, 2.5) << pt(10, 4.5));
      p.drawPolyline(QPolygonF() << pt(4.3, 4.5) << pt(5.2, 13.5) << pt(10.8, 13.5) << pt(11.7, 4.5));
      p.drawLine(pt(7, 7), pt(7, 11.5));
      p.drawLine(pt(9, 7), pt(9, 11.5));
      break;
    case Icon::Erase: {
      StrokeIcon(p, colour, 1.7);
      QPainterPath arc;
      arc.arcMoveTo(QRectF(pt(3, 3), pt(13, 13)), 120);
      arc.arcTo(QRectF(pt(3, 3), pt(13, 13)), 120, 290);
      p.drawPath(arc);
      Arrow(p, pt(3.6, 4.2), 3.2 * u, 250, colour);
      break;
    }
    case Icon::ArrowUp:
    case Icon::ArrowDown:
    case Icon::ArrowTop:
    case Icon::ArrowBottom: {
      const bool up = icon == Icon::ArrowUp || icon == Icon::ArrowTop;
      StrokeIcon(p, colour, 1.8);
      const bool bar = icon == Icon::ArrowTop || icon == Icon::ArrowBottom;
      if (up) {
        if (bar) p.drawLine(pt(3, 2), pt(13, 2));
        p.drawLine(pt(8, 14), pt(8, bar ? 9 : 7));
        Arrow(p, pt(8, bar ? 5.5 : 2.5), 4.5 * u, -90, colour);
      } else {
        if (bar) p.drawLine(pt(3, 14), pt(13, 14));
        p.drawLine(pt(8, 2), pt(8, bar ? 7 : 9));
        Arrow(p, pt(8, bar ? 10.5 : 13.5), 4.5 * u, 90, colour);
      }
      break;
    }
    case Icon::ArrowLeft: Arrow(p, pt(3.5, 8), 7 * u, 180, colour); break;
    case Icon::ArrowRight: Arrow(p, pt(12.5, 8), 7 * u, 0, colour); break;
    case Icon::FlipLeft:
      StrokeIcon(p, colour, 1.8);
      p.drawLine(pt(13, 8), pt(6, 8));
      Arrow(p, pt(2.8, 8), 4 * u, 180, colour);
      break;
    case Icon::FlipRight:
      StrokeIcon(p, colour, 1.8);
      p.drawLine(pt(3, 8), pt(10, 8));
      Arrow(p, pt(13.2, 8), 4 * u, 0, colour);
      break;
    case Icon::FlipIndicator: {
      // "F1-4" and "D1-6" with a swap mark between them.
      p.setFont(UiFont(11, QFont::Bold));
      p.setPen(colour);
      const QRectF left(r.left(), r.top(), r.width() / 2 - 6, r.height());
      const QRectF right(r.center().x() + 6, r.top(), r.width() / 2 - 6, r.height());
      p.drawText(left, Qt::AlignCenter, QStringLiteral("F1-4"));
      p.drawText(right, Qt::AlignCenter, QStringLiteral("D1-6"));
      StrokeIcon(p, colour, 1.2);
      p.drawLine(QPointF(r.center().x(), r.top() + 8), QPointF(r.center().x(), r.bottom() - 8));
      break;
    }
    case Icon::LockCaps:
    case Icon::LockNum:
    case Icon::LockScroll:
    case Icon::LockAb: {
      const QString text = icon == Icon::LockCaps ? QStringLiteral("A") : icon == Icon::LockNum ? QStringLiteral("1")
                           : icon == Icon::LockScroll ? QString::fromUtf8("\u21F5") : QStringLiteral("AB");
      p.setFont(UiFont(icon == Icon::LockAb ? 10 : 13, QFont::Bold));
      p.setPen(colour);
      p.drawText(r.adjusted(0, -3, 0, -3), Qt::AlignCenter, text);
      p.setPen(Qt::NoPen);
      p.setBrush(colour);
      p.drawEllipse(QPointF(c.x(), r.bottom() - 5), 1.8, 1.8);
      break;
    }
    case Icon::Globe:
      StrokeIcon(p, colour, 1.4);
      p.drawEllipse(QRectF(pt(2.5, 2.5), pt(13.5, 13.5)));
      p.drawEllipse(QRectF(pt(5.5, 2.5), pt(10.5, 13.5)));
      p.drawLine(pt(2.5, 8), pt(13.5, 8));
      break;
    case Icon::Chat: {
      StrokeIcon(p, colour, 1.5);
      QPainterPath bubble;
      bubble.addRoundedRect(QRectF(pt(2.5, 3), pt(13.5, 11)), 2.5 * u, 2.5 * u);
      p.drawPath(bubble);
      p.drawPolyline(QPolygonF() << pt(5, 11) << pt(4.5, 14) << pt(8, 11));
      break;
    }
    case Icon::Share:
      StrokeIcon(p, colour, 1.5);
      p.drawLine(pt(5, 8), pt(11, 4.5));
      p.drawLine(pt(5, 8), pt(11, 11.5));
      p.setBrush(colour);
      for (QPointF q : {pt(4.5, 8), pt(11.5, 4), pt(11.5, 12)}) p.drawEllipse(q, 1.9 * u, 1.9 * u);
      break;
    case Icon::Keyboard: {
      StrokeIcon(p, colour, 1.4);
      p.drawRoundedRect(QRectF(pt(1.5, 4), pt(14.5, 12.5)), 1.5 * u, 1.5 * u);
      p.setPen(Qt::NoPen);
      p.setBrush(colour);
      for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 5; ++col) p.drawRect(QRectF(pt(3.2 + col * 2.1, 5.8 + row * 2.1), QSizeF(1.2 * u, 1.2 * u)));
      p.drawRect(QRectF(pt(5, 10.1), QSizeF(6 * u, 1.2 * u)));
      break;
    }
    case Icon::Folder: {
      StrokeIcon(p, colour, 1.5);
      QPolygonF f;
      f << pt(2, 4) << pt(6.5, 4) << pt(8, 5.5) << pt(14, 5.5) << pt(14, 13) << pt(2, 13);
      p.drawPolygon(f);
      p.drawLine(pt(2, 7.5), pt(14, 7.5));
      break;
    }
    case Icon::DocPlus:
      StrokeIcon(p, colour, 1.5);
      p.drawPolygon(QPolygonF() << pt(3.5, 2) << pt(9.5, 2) << pt(12.5, 5) << pt(12.5, 14) << pt(3.5, 14));
      p.drawLine(pt(8, 7), pt(8, 12));
      p.drawLine(pt(5.5, 9.5), pt(10.5, 9.5));
      break;
    case Icon::Record:
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0xF0, 0x4A, 0x4A));
      p.drawEllipse(QRectF(pt(4, 4), pt(12, 12)));
      break;
  }
  p.restore();
}

QImage PaintBackground(const DialogLayout& layout, int scale) {
  QImage image(layout.size * scale, QImage::Format_RGB32);
  image.setDevicePixelRatio(scale);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);
  const QRectF whole(QPointF(0, 0), QSizeF(layout.size));
  QLinearGradient body(whole.topLeft(), whole.bottomLeft());
  body.setColorAt(0, QColor(0x17, 0x1A, 0x20));
  body.setColorAt(1, QColor(0x0D, 0x0F, 0x12));
  p.setPen(QPen(QColor(0x33, 0x39, 0x44), 1));
  p.setBrush(body);
  p.drawRoundedRect(whole.adjusted(0.5, 0.5, -0.5, -0.5), 14, 14);
  // Accent hairline under the title strip.
  const double title_bottom = layout.name == QLatin1String("Main") ? 46.5 : 40.5;
  QLinearGradient line(QPointF(0, 0), QPointF(layout.size.width(), 0));
  line.setColorAt(0, QColor(0, 0, 0, 0));
  line.setColorAt(0.15, kAccent);
  line.setColorAt(0.85, kAccentDeep);
  line.setColorAt(1, QColor(0, 0, 0, 0));
  p.setPen(QPen(QBrush(line), 1));
  p.drawLine(QPointF(14, title_bottom), QPointF(layout.size.width() - 14, title_bottom));

  if (layout.name == QLatin1String("Main")) {
    // Lighting panel and keyboard plate.
    RoundedPanel(p, QRectF(14, 98, 972, 82), 10, QColor(0x1A, 0x1E, 0x25), QColor(0x16, 0x19, 0x1F), kLine);
    const QRectF plate = KeyboardPlate();
    QRadialGradient glow(plate.center(), plate.width() * 0.6);
    glow.setColorAt(0, QColor(0x1E, 0xC8, 0xE8, 38));
    glow.setColorAt(1, QColor(0x1E, 0xC8, 0xE8, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawRoundedRect(plate.adjusted(-12, -12, 12, 12), 18, 18);
    RoundedPanel(p, plate, 12, QColor(0x0C, 0x0E, 0x11), QColor(0x09, 0x0A, 0x0C), QColor(0x2C, 0x32, 0x3C));
    // Product name on the plate's lower edge.
    p.setFont(UiFont(10, QFont::Bold));
    p.setPen(QColor(0x4A, 0x52, 0x5E));
    p.drawText(QRectF(plate.left(), plate.bottom() - 2, plate.width() - 14, 16), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("TARN-60"));
  } else if (layout.name == QLatin1String("Profile")) {
    // Three stacked layers: the profile mark in the title strip.
    p.setPen(QPen(kAccent, 1.6));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 3; ++i) {
      QPolygonF layer;
      const double y = 12 + i * 5;
      layer << QPointF(28, y) << QPointF(40, y + 5) << QPointF(28, y + 10) << QPointF(16, y + 5);
      p.drawPolygon(layer);
    }
    RoundedPanel(p, QRectF(14, 46, 492, 230), 8, QColor(0x14, 0x17, 0x1C), QColor(0x12, 0x14, 0x18), kLine);
  }
  // The composite dialog's tab page is drawn by its tab sets' pictures.
  return image;
}

QImage PaintOutline(const DialogLayout& layout) {
  QImage image(layout.size, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);  // pure black and white only
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawRoundedRect(QRect(QPoint(0, 0), layout.size), 14, 14);
  return image;
}

void PaintButton(QPainter& p, const Control& c, Look look) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  const QRectF r = c.rect;
  const ButtonColours col = ButtonLook(look);
  if (c.icon == Icon::Brand) {
    // The link: a word mark, accent on hover and press.
    p.setFont(UiFont(17, QFont::Black));
    const QColor ink = look == Look::Normal ? kText : look == Look::Disable ? col.ink : kAccent;
    p.setPen(ink);
    QFont f = p.font();
    f.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    p.setFont(f);
    p.drawText(r.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("TARN-60"));
    p.setPen(QPen(kAccent, 2));
    p.drawLine(QPointF(r.left() + 3, r.bottom() - 2), QPointF(r.left() + 30, r.bottom() - 2));
  } else if (c.icon == Icon::Plate) {
    p.setPen(QPen(QColor(0x2E, 0x33, 0x3C), 1));
    p.setBrush(QColor(0x15, 0x18, 0x1D));
    // The version plate: the program writes its version on it.
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 9, 9);
  } else if (c.icon == Icon::ArrowLeft || c.icon == Icon::ArrowRight) {
    PaintIcon(p, c.icon, r.adjusted(3, 3, -3, -3), look == Look::Disable ? col.ink : kAccent);
  } else if (c.icon == Icon::LockCaps || c.icon == Icon::LockNum || c.icon == Icon::LockScroll ||
             c.icon == Icon::LockAb) {
    // Indicator lamps: dark at rest, lit when pressed.
    const bool lit = look == Look::Down;
    p.setPen(QPen(lit ? kAccent : QColor(0x2A, 0x2F, 0x38), 1));
    p.setBrush(lit ? QColor(0x0E, 0x3B, 0x46) : QColor(0x12, 0x14, 0x18));
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    PaintIcon(p, c.icon, r, lit ? kAccent : look == Look::Over ? kText : kMuted);
  } else if (c.icon == Icon::Menu || c.icon == Icon::Help || c.icon == Icon::Minimize || c.icon == Icon::Close ||
             c.icon == Icon::Globe || c.icon == Icon::Chat || c.icon == Icon::Share) {
    // Title and link buttons: flat until hovered.
    if (look == Look::Over || look == Look::Down) {
      const bool close = c.icon == Icon::Close;
      const QColor fill = look == Look::Down ? (close ? QColor(0xC8, 0x3A, 0x3A) : kAccentDeep)
                                             : (close ? QColor(0x8E, 0x2A, 0x2A) : QColor(0x2A, 0x30, 0x3A));
      p.setPen(Qt::NoPen);
      p.setBrush(fill);
      p.drawRoundedRect(r, 6, 6);
    }
    const QColor ink = look == Look::Disable ? col.ink : look == Look::Normal ? QColor(0xB8, 0xC0, 0xCC) : Qt::white;
    PaintIcon(p, c.icon, r.adjusted(6, 6, -6, -6), ink);
  } else {
    RoundedPanel(p, r, 6, col.top, col.bottom, col.border);
    if (look == Look::Normal || look == Look::Over) {
      // A thin highlight along the top edge gives the face some depth.
      p.setPen(QPen(QColor(255, 255, 255, 22), 1));
      p.drawLine(QPointF(r.left() + 6, r.top() + 1.5), QPointF(r.right() - 6, r.top() + 1.5));
    }
    if (!c.label.isEmpty()) {
      p.setFont(UiFont(12, QFont::DemiBold));
      p.setPen(col.ink);
      p.drawText(r, Qt::AlignCenter, c.label);
    } else if (c.icon == Icon::FlipIndicator) {
      PaintIcon(p, c.icon, r.adjusted(4, 0, -4, 0), col.ink);
    } else if (c.icon != Icon::None) {
      const double s = std::min(r.width(), r.height()) - 10;
      const QRectF box(r.center().x() - s / 2, r.center().y() - s / 2, s, s);
      PaintIcon(p, c.icon, box, col.ink);
    }
  }
  p.restore();
}

void PaintKeyCap(QPainter& p, const Control& c, Look look) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  const QRectF r = c.rect;
  QColor skirt(0x1A, 0x1D, 0x23), edge(0x34, 0x3A, 0x45), top(0x30, 0x35, 0x3F), bottom(0x26, 0x2A, 0x32);
  QColor ink = kText, sub = kMuted;
  switch (look) {
    case Look::Over:
      edge = kAccent;
      top = QColor(0x3A, 0x41, 0x4D);
      bottom = QColor(0x2E, 0x34, 0x3E);
      ink = Qt::white;
      sub = QColor(0xB0, 0xBA, 0xC6);
      break;
    case Look::Down:
      skirt = QColor(0x08, 0x4A, 0x58);
      edge = QColor(0x7A, 0xE6, 0xF8);
      top = QColor(0x24, 0xB8, 0xD6);
      bottom = QColor(0x14, 0x92, 0xAD);
      ink = QColor(0x03, 0x14, 0x19);
      sub = QColor(0x0B, 0x3D, 0x48);
      break;
    case Look::Disable:
      skirt = QColor(0x14, 0x16, 0x1A);
      edge = QColor(0x22, 0x26, 0x2C);
      top = QColor(0x1C, 0x1F, 0x24);
      bottom = QColor(0x19, 0x1B, 0x20);
      ink = QColor(0x4C, 0x52, 0x5C);
      sub = QColor(0x3C, 0x41, 0x49);
      break;
    case Look::Colour0:
      ink = kAccent;
      sub = kAccentDeep;
      break;
    case Look::Colour1:
      skirt = QColor(0x9C, 0xA4, 0xAF);
      edge = QColor(0xE8, 0xEC, 0xF1);
      top = QColor(0xDE, 0xE3, 0xEA);
      bottom = QColor(0xC9, 0xCF, 0xD8);
      ink = QColor(0x15, 0x18, 0x1D);
      sub = QColor(0x55, 0x5D, 0x69);
      break;
    case Look::Normal: break;
  }
  // Skirt, then the top face inset a little more at the bottom.
  p.setPen(Qt::NoPen);
  p.setBrush(skirt);
  p.drawRoundedRect(r, 5, 5);
  const QRectF face = r.adjusted(2.5, 1.5, -2.5, -4.0);
  QLinearGradient g(face.topLeft(), face.bottomLeft());
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  p.setPen(QPen(edge, 1));
  p.setBrush(g);
  p.drawRoundedRect(face, 4, 4);
  // Legends.
  const QString& label = c.label;
  const bool word = label.size() > 2;
  const bool small = face.height() < 24;
  if (!c.top_label.isEmpty()) {
    p.setFont(UiFont(10, QFont::DemiBold));
    p.setPen(sub);
    p.drawText(face.adjusted(0, 1, 0, -face.height() / 2 + 1), Qt::AlignCenter, c.top_label);
    p.setFont(UiFont(12, QFont::Bold));
    p.setPen(ink);
    p.drawText(face.adjusted(0, face.height() / 2 - 2, 0, 0), Qt::AlignCenter, label);
  } else {
    int size = word ? 10 : 13;
    if (small) size = 10;
    p.setFont(UiFont(size, QFont::Bold));
    // Long words shrink to fit the cap.
    while (size > 7 && QFontMetrics(p.font()).horizontalAdvance(label) > face.width() - 4) {
      p.setFont(UiFont(--size, QFont::Bold));
    }
    p.setPen(ink);
    p.drawText(face, Qt::AlignCenter, label);
  }
  p.restore();
}

void PaintCompositePage(QPainter& p, const DialogLayout& layout, const QString& tab, bool macro_only) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  // The page under the tab strip.
  QRectF page;
  for (const auto& c : layout.controls) {
    if (c.key == QLatin1String("CONTROL_MASK")) page = c.rect;
  }
  RoundedPanel(p, page, 8, QColor(0x1A, 0x1E, 0x25), QColor(0x15, 0x18, 0x1D), kLine);
  // Each tab's page carries a faint mark of its kind in the lower right.
  p.setFont(UiFont(70, QFont::Black));
  p.setPen(QColor(255, 255, 255, 8));
  const QString mark = tab == QLatin1String("key") ? QStringLiteral("K")
                       : tab == QLatin1String("media") ? QString::fromUtf8("\u266B")
                       : tab == QLatin1String("function") ? QStringLiteral("Fx") : QStringLiteral("M");
  p.drawText(page.adjusted(0, 0, -14, -6), Qt::AlignRight | Qt::AlignBottom, mark);
  // Recessed wells behind the fields of this tab.
  for (const auto& c : layout.controls) {
    if (c.kind != Kind::Field || c.tab != tab) continue;
    p.setPen(QPen(QColor(0x2C, 0x31, 0x3A), 1));
    p.setBrush(QColor(0x0F, 0x11, 0x15));
    p.drawRoundedRect(QRectF(c.rect).adjusted(-1.5, -1.5, 1.5, 1.5), 4, 4);
  }
  // The selected tab: joined to the page with an accent line on top.
  for (const auto& c : layout.controls) {
    const bool is_tab = c.key == QLatin1String("CONTROL_KEY") || c.key == QLatin1String("CONTROL_MACRO") ||
                        c.key == QLatin1String("CONTROL_MEDIA") || c.key == QLatin1String("CONTROL_FUNCTION");
    if (!is_tab) continue;
    const bool selected = (tab == QLatin1String("key") && c.key == QLatin1String("CONTROL_KEY")) ||
                          (tab == QLatin1String("macro") && c.key == QLatin1String("CONTROL_MACRO")) ||
                          (tab == QLatin1String("media") && c.key == QLatin1String("CONTROL_MEDIA")) ||
                          (tab == QLatin1String("function") && c.key == QLatin1String("CONTROL_FUNCTION"));
    if (macro_only && !selected) continue;
    const QRectF r = c.rect;
    if (selected) {
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0x1A, 0x1E, 0x25));
      p.drawRoundedRect(r.adjusted(0, 0, 0, 6), 6, 6);
      p.setPen(QPen(kAccent, 2.5));
      p.drawLine(QPointF(r.left() + 8, r.top() + 1.5), QPointF(r.right() - 8, r.top() + 1.5));
    }
  }
  p.restore();
}

QImage PaintLightingBitmap(const QString& name, int scale) {
  auto canvas = [scale](int w, int h, QColor colour = QColor(0x1A, 0x1E, 0x25)) {  // the lighting panel's colour
    QImage image(w * scale, h * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(colour);
    return image;
  };
  // Switches: dengup/dengdown (lamp), sjsup/sjsdown (colour cycling).
  if (name == QLatin1String("dengup") || name == QLatin1String("dengdown") || name == QLatin1String("sjsup") ||
      name == QLatin1String("sjsdown")) {
    QImage image = canvas(44, 24);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    const bool on = name.endsWith(QLatin1String("down"));
    const bool rainbow = name.startsWith(QLatin1String("sjs"));
    const QRectF track(3, 4, 38, 16);
    if (on && rainbow) {
      QLinearGradient g(track.topLeft(), track.topRight());
      const QColor stops[] = {QColor(0xF0, 0x4A, 0x4A), QColor(0xF5, 0xC2, 0x3A), QColor(0x4A, 0xD0, 0x6A),
                              QColor(0x1E, 0xC8, 0xE8), QColor(0x8A, 0x5A, 0xF0)};
      for (int i = 0; i < 5; ++i) g.setColorAt(i / 4.0, stops[i]);
      p.setBrush(g);
    } else {
      p.setBrush(on ? kAccentDeep : QColor(0x2A, 0x2F, 0x38));
    }
    p.setPen(QPen(on ? kAccent : QColor(0x3A, 0x40, 0x4B), 1));
    p.drawRoundedRect(track, 8, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(on ? QColor(0xFF, 0xFF, 0xFF) : QColor(0x8A, 0x93, 0xA0));
    p.drawEllipse(QPointF(on ? 33 : 11, 12), 6, 6);
    return image;
  }
  // Direction buttons: "...down" is the pressed look, "...up" the released.
  static const QStringList directions = {"rightup", "rightdown", "leftup", "leftdown", "leftup1", "leftdown1",
                                         "rightup1", "rightdown1", "upup", "updown", "downdown", "downup",
                                         "julong", "julongdown", "kuosan", "kuosandown"};
  if (directions.contains(name)) {
    QImage image = canvas(36, 24);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    QString stem = name;
    if (stem.endsWith(QLatin1Char('1'))) stem.chop(1);
    const bool pressed = stem.endsWith(QLatin1String("down"));
    const ButtonColours col = ButtonLook(pressed ? Look::Down : Look::Normal);
    RoundedPanel(p, QRectF(0, 0, 36, 24), 5, col.top, col.bottom, col.border);
    const QColor ink = col.ink;
    p.setPen(QPen(ink, 1.8, Qt::SolidLine, Qt::RoundCap));
    if (name.startsWith(QLatin1String("left"))) {
      const bool wave = name.endsWith(QLatin1Char('1'));
      p.drawLine(QPointF(27, 12), QPointF(14, 12));
      Arrow(p, QPointF(8, 12), 6, 180, ink);
      if (wave) Arrow(p, QPointF(15, 12), 5, 180, ink);
    } else if (name.startsWith(QLatin1String("right"))) {
      const bool wave = name.endsWith(QLatin1Char('1'));
      p.drawLine(QPointF(9, 12), QPointF(22, 12));
      Arrow(p, QPointF(28, 12), 6, 0, ink);
      if (wave) Arrow(p, QPointF(21, 12), 5, 0, ink);
    } else if (name.startsWith(QLatin1String("upup")) || name == QLatin1String("updown")) {
      p.drawLine(QPointF(18, 19), QPointF(18, 10));
      Arrow(p, QPointF(18, 4), 6, -90, ink);
    } else if (name.startsWith(QLatin1String("down"))) {
      p.drawLine(QPointF(18, 5), QPointF(18, 14));
      Arrow(p, QPointF(18, 20), 6, 90, ink);
    } else if (name.startsWith(QLatin1String("julong"))) {  // converge: arrows pointing inward
      Arrow(p, QPointF(16, 12), 5, 0, ink);
      Arrow(p, QPointF(20, 12), 5, 180, ink);
      p.drawLine(QPointF(6, 12), QPointF(11, 12));
      p.drawLine(QPointF(25, 12), QPointF(30, 12));
    } else {  // spread: arrows pointing outward
      Arrow(p, QPointF(6, 12), 5, 180, ink);
      Arrow(p, QPointF(30, 12), 5, 0, ink);
      p.drawLine(QPointF(11, 12), QPointF(25, 12));
    }
    return image;
  }
  // Effect-17 colour chips.
  static const QStringList chips = {"hong", "huang", "lv", "lan"};
  const QString chip = name.endsWith(QLatin1String("ok")) ? name.left(name.size() - 2) : name;
  if (chips.contains(chip)) {
    const QColor colours[] = {QColor(0xF0, 0x4A, 0x4A), QColor(0xF5, 0xC2, 0x3A), QColor(0x4A, 0xD0, 0x6A),
                              QColor(0x3A, 0x7C, 0xF5)};
    const QColor colour = colours[chips.indexOf(chip)];
    const bool chosen = name.endsWith(QLatin1String("ok"));
    QImage image = canvas(28, 24);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    if (chosen) {
      p.setPen(QPen(Qt::white, 2));
      p.setBrush(Qt::NoBrush);
      p.drawRoundedRect(QRectF(2, 1, 24, 22), 6, 6);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(6, 5, 16, 14), 4, 4);
    if (chosen) {
      StrokeIcon(p, QColor(0x10, 0x10, 0x10), 1.8);
      p.drawPolyline(QPolygonF() << QPointF(10, 12) << QPointF(13, 15) << QPointF(18.5, 9));
    }
    return image;
  }
  // Painting tools: user1 (free colour brush), user2 (base colour).
  if (name.startsWith(QLatin1String("user"))) {
    const bool pressed = name.endsWith(QLatin1String("down"));
    QImage image = canvas(32, 24);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    const ButtonColours col = ButtonLook(pressed ? Look::Down : Look::Normal);
    RoundedPanel(p, QRectF(0, 0, 32, 24), 5, col.top, col.bottom, col.border);
    if (name.startsWith(QLatin1String("user1"))) {  // brush
      StrokeIcon(p, col.ink, 2.2);
      p.drawLine(QPointF(20, 6), QPointF(13, 14));
      p.setPen(Qt::NoPen);
      p.setBrush(col.ink);
      p.drawEllipse(QPointF(11.5, 16), 3.2, 2.6);
    } else {  // base colour: a droplet
      QPainterPath drop;
      drop.moveTo(16, 4);
      drop.cubicTo(21, 10, 22, 13, 22, 15);
      drop.cubicTo(22, 18.5, 19.3, 20.5, 16, 20.5);
      drop.cubicTo(12.7, 20.5, 10, 18.5, 10, 15);
      drop.cubicTo(10, 13, 11, 10, 16, 4);
      p.setPen(QPen(col.ink, 1.6));
      p.setBrush(pressed ? col.ink : Qt::NoBrush);
      p.drawPath(drop);
    }
    return image;
  }
  // Busy animation: a ring of ten dots, one bright dot going round.
  if (name.startsWith(QLatin1String("jdt"))) {
    const int frame = name.mid(3).toInt() - 1;
    QImage image = canvas(24, 24, QColor(0x10, 0x12, 0x16));  // the bottom bar's colour
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 10; ++i) {
      const int age = (frame - i + 10) % 10;
      const double a = (i * 36 - 90) * M_PI / 180.0;
      QColor dot = kAccent;
      dot.setAlpha(std::max(40, 255 - age * 45));
      p.setBrush(dot);
      p.drawEllipse(QPointF(12 + 8.5 * std::cos(a), 12 + 8.5 * std::sin(a)), 2.1, 2.1);
    }
    return image;
  }
  // Slider faces: 0..5 brightness levels, 6..10 speed positions, the rest spare.
  bool numeric = false;
  const int n = name.toInt(&numeric);
  if (numeric) {
    int steps = 5, level = 0;
    if (n <= 5) {
      steps = 5;
      level = n;
    } else if (n <= 10) {
      steps = 4;
      level = n - 6;
    } else {
      steps = 14;
      level = n - 11;
    }
    QImage image = canvas(150, 20);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    const double left = 8, right = 142, y = 10;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2A, 0x2F, 0x38));
    p.drawRoundedRect(QRectF(left, y - 2.5, right - left, 5), 2.5, 2.5);
    const double x = left + (right - left) * level / steps;
    QLinearGradient fill(QPointF(left, 0), QPointF(right, 0));
    fill.setColorAt(0, kAccentDeep);
    fill.setColorAt(1, kAccent);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(left, y - 2.5, x - left, 5), 2.5, 2.5);
    for (int i = 0; i <= steps; ++i) {
      const double tx = left + (right - left) * i / steps;
      p.setBrush(i <= level ? kAccent : QColor(0x3A, 0x40, 0x4B));
      p.drawEllipse(QPointF(tx, y), 2, 2);
    }
    p.setBrush(Qt::white);
    p.setPen(QPen(kAccent, 2));
    p.drawEllipse(QPointF(x, y), 6, 6);
    return image;
  }
  // Colour swatches Color1..Color8.
  if (name.startsWith(QLatin1String("Color"))) {
    const QColor colours[] = {QColor(0xF0, 0x4A, 0x4A), QColor(0xF5, 0x8A, 0x3A), QColor(0xF5, 0xC2, 0x3A),
                              QColor(0x4A, 0xD0, 0x6A), QColor(0x1E, 0xC8, 0xE8), QColor(0x3A, 0x7C, 0xF5),
                              QColor(0x8A, 0x5A, 0xF0), QColor(0xF2, 0xF4, 0xF7)};
    const int i = std::clamp(name.mid(5).toInt() - 1, 0, 7);
    QImage image = canvas(20, 20);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(0x3A, 0x40, 0x4B), 1));
    p.setBrush(colours[i]);
    p.drawRoundedRect(QRectF(1.5, 1.5, 17, 17), 4, 4);
    return image;
  }
  return QImage();
}

}  // namespace keyloom::skingen
