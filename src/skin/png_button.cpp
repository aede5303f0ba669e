#include "skin/png_button.h"

#include "skin/skin_picture.h"

#include <QCursor>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <cmath>

namespace keyloom::skin {

namespace {

// Windows' MulDiv for the positive values used here: a * b / c rounded.
int MulDivRound(int a, int b, int c) {
  const long long p = static_cast<long long>(a) * b;
  return static_cast<int>((p >= 0 ? p + c / 2 : p - c / 2) / c);
}

constexpr double kPi = 3.1415927410125732;  // pi as a float, as the captions were laid out with

int QtAlignment(unsigned format) {
  using namespace caption_format;
  int flags = 0;
  if (format & kCenter) {
    flags |= Qt::AlignHCenter;
  } else if (format & kRight) {
    flags |= Qt::AlignRight;
  } else {
    flags |= Qt::AlignLeft;
  }
  if (format & kSingleLine) {
    if (format & kVCenter) {
      flags |= Qt::AlignVCenter;
    } else if (format & kBottom) {
      flags |= Qt::AlignBottom;
    } else {
      flags |= Qt::AlignTop;
    }
    flags |= Qt::TextSingleLine;
  } else {
    flags |= Qt::AlignTop;
    if (format & kWordBreak) flags |= Qt::TextWordWrap;
  }
  if (!(format & kNoPrefix)) flags |= Qt::TextShowMnemonic;
  return flags;
}

}  // namespace

CPngButton::CPngButton(QWidget* parent) : QAbstractButton(parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_NoSystemBackground);
  tooltip_timer_.setSingleShot(true);
  tooltip_timer_.setInterval(kTooltipDelayMs);
  connect(&tooltip_timer_, &QTimer::timeout, this, &CPngButton::ShowTooltip);
}

CPngButton::~CPngButton() = default;

void CPngButton::SetPicturesAt(int x, int y, const QPixmap& normal, const QPixmap& over, const QPixmap& pressed,
                               const QPixmap& disabled, const QPixmap& highlight, bool redraw) {
  offset_x_ = x;
  offset_y_ = y;
  SetPictures(normal, over, pressed, disabled, highlight, redraw);
}

CPngButton::FacePicture CPngButton::CutFace(const QPixmap& picture, const std::vector<FacePicture>& earlier) const {
  const QRect wanted(QPoint(offset_x_ - 1, offset_y_ - 1), size());
  // A picture this button already cut a face from gives the same face (the
  // toggle pictures are usually two of the five).
  for (const FacePicture* face : {&normal_, &over_, &pressed_, &disabled_, &highlight_pic_, &toggle_off_, &toggle_on_}) {
    if (!picture.isNull() && face->source == picture.cacheKey() && face->cut_for == wanted) return *face;
  }
  for (const FacePicture& face : earlier) {
    if (!picture.isNull() && face.source == picture.cacheKey() && face.cut_for == wanted) return face;
  }
  if (picture.isNull() || size().isEmpty()) return FacePicture{picture, QPoint(0, 0), picture.cacheKey(), wanted};
  FacePicture face = CutFace(picture.toImage());
  face.source = picture.cacheKey();
  face.cut_for = wanted;
  return face;
}

CPngButton::FacePicture CPngButton::CutFace(const QImage& picture) const {
  FacePicture face;
  if (picture.isNull()) return face;
  const qreal ratio = picture.devicePixelRatio();
  const QRect drawn(QPoint(0, 0), picture.deviceIndependentSize().toSize());
  if (size().isEmpty()) {
    face.pixmap = QPixmap::fromImage(picture);
    return face;
  }
  const QRect wanted(QPoint(offset_x_ - 1, offset_y_ - 1), size());
  const auto device = [ratio](const QRect& r) {
    return QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio).toRect();
  };
  if (drawn.contains(wanted) || !parentWidget()) {
    const QRect part = wanted & drawn;
    face.pixmap = QPixmap::fromImage(picture.copy(device(part)));
    face.origin = part.topLeft();
  } else {
    // Past the picture the face is black, up to the dialog's client area
    // and the state pictures' margin, as a state picture is made.
    const QRect extent(QPoint(0, 0), parentWidget()->rect().size() + QSize(kStatePictureMargin, kStatePictureMargin));
    const QRect part = wanted & extent;
    QImage cut(part.size() * ratio, QImage::Format_RGB32);
    cut.fill(Qt::black);
    const QRect inside = part & drawn;
    if (!inside.isEmpty()) {
      QPainter painter(&cut);
      painter.setCompositionMode(QPainter::CompositionMode_Source);
      painter.drawImage(device(inside).topLeft() - device(part).topLeft(), picture, device(inside));
    }
    face.pixmap = QPixmap::fromImage(std::move(cut));
    face.origin = part.topLeft();
  }
  face.pixmap.setDevicePixelRatio(ratio);
  return face;
}

void CPngButton::SetFace(Face face, const QImage& picture) {
  FacePicture cut = CutFace(picture);
  switch (face) {
    case Face::Normal: normal_ = std::move(cut); break;
    case Face::Over: over_ = std::move(cut); break;
    case Face::Pressed: pressed_ = std::move(cut); break;
    case Face::Disabled: disabled_ = std::move(cut); break;
    case Face::Highlight: highlight_pic_ = std::move(cut); break;
    case Face::ToggleOff: toggle_off_ = std::move(cut); break;
    case Face::ToggleOn: toggle_on_ = std::move(cut); break;
  }
}

void CPngButton::SetFaceLoader(FaceLoader loader) { face_loader_ = std::move(loader); }

void CPngButton::SetPictureOffset(int x, int y) {
  offset_x_ = x;
  offset_y_ = y;
}

void CPngButton::SetToggleFaces(Face off, Face on, bool toggle_mode, bool toggle_state, bool redraw) {
  toggle_off_ = FaceOf(off);
  toggle_on_ = FaceOf(on);
  toggle_mode_ = toggle_mode;
  toggle_state_ = toggle_state;
  if (redraw) update();
}

void CPngButton::SetPictures(const QPixmap& normal, const QPixmap& over, const QPixmap& pressed,
                             const QPixmap& disabled, const QPixmap& highlight, bool redraw) {
  // New pictures (or a new offset) are cut anew; toggle pictures given
  // before follow when they are one of the new pictures.
  const std::array<FacePicture, 2> toggles{std::move(toggle_off_), std::move(toggle_on_)};
  const std::vector<FacePicture> earlier{normal_, over_, pressed_, disabled_, highlight_pic_};
  normal_ = over_ = pressed_ = disabled_ = highlight_pic_ = toggle_off_ = toggle_on_ = FacePicture{};
  normal_ = CutFace(normal, earlier);
  over_ = CutFace(over, earlier);
  pressed_ = CutFace(pressed, earlier);
  disabled_ = CutFace(disabled, earlier);
  highlight_pic_ = CutFace(highlight, earlier);
  const auto follow = [this](const FacePicture& toggle) {
    for (const FacePicture* face : {&normal_, &over_, &pressed_, &disabled_, &highlight_pic_}) {
      if (toggle.source != 0 && face->source == toggle.source) return *face;
    }
    return toggle;
  };
  toggle_off_ = follow(toggles[0]);
  toggle_on_ = follow(toggles[1]);
  ClearMouseState();
  if (redraw) update();
}

void CPngButton::SetTogglePictures(const QPixmap& off, const QPixmap& on, bool toggle_mode, bool toggle_state,
                                   bool redraw) {
  FacePicture cut_off = CutFace(off);
  FacePicture cut_on = CutFace(on);
  toggle_off_ = std::move(cut_off);
  toggle_on_ = std::move(cut_on);
  SetToggleState(toggle_mode, toggle_state, redraw);
}

void CPngButton::SetToggleState(bool toggle_mode, bool toggle_state, bool redraw) {
  toggle_mode_ = toggle_mode;
  toggle_state_ = toggle_state;
  ClearMouseState();
  if (redraw) update();
}

void CPngButton::SetHighlight(bool on, bool redraw) {
  highlight_ = on;
  if (redraw) update();
}

void CPngButton::SetFrame(const QColor& colour, bool on) {
  frame_colour_ = colour;
  frame_mode_ = on;
  if (!on) shown_ = QPixmap();
  update();
}

void CPngButton::SetCaption(bool show, int point_size, const QString& face, const CaptionColours& colours,
                            unsigned format) {
  caption_ = show;
  font_size_ = point_size;
  font_face_ = face;
  caption_colours_ = colours;
  caption_format_ = format;
  update();
}

void CPngButton::SetRotation(int escapement, bool rotated) {
  escapement_ = escapement;
  rotated_ = rotated;
  update();
}

void CPngButton::SetCaptionMargins(int left, int right, int top, int bottom) {
  margin_left_ = left;
  margin_right_ = right;
  margin_top_ = top;
  margin_bottom_ = bottom;
  update();
}

void CPngButton::SetDrawCallback(DrawCallback callback) { draw_callback_ = std::move(callback); }

void CPngButton::SetTooltipText(const QString& text, bool active) {
  if (text.isEmpty()) return;
  tooltip_text_ = text;
  tooltip_active_ = active;
  if (!active) {
    tooltip_timer_.stop();
    if (QToolTip::isVisible() && QToolTip::text() == tooltip_text_) QToolTip::hideText();
  }
}

CPngButton::Face CPngButton::CurrentFace() const {
  if (!isEnabled()) return Face::Disabled;
  if (toggle_mode_) return toggle_state_ ? Face::ToggleOn : Face::ToggleOff;
  if (isDown()) return Face::Pressed;
  if (hover_) return Face::Over;
  if (highlight_) return Face::Highlight;
  return Face::Normal;
}

const CPngButton::FacePicture& CPngButton::FaceOf(Face face) const {
  switch (face) {
    case Face::Over: return over_;
    case Face::Pressed: return pressed_;
    case Face::Disabled: return disabled_;
    case Face::Highlight: return highlight_pic_;
    case Face::ToggleOff: return toggle_off_;
    case Face::ToggleOn: return toggle_on_;
    case Face::Normal: break;
  }
  return normal_;
}

QColor CPngButton::CaptionColourOf(Face face) const {
  switch (face) {
    case Face::Over: return caption_colours_[1];
    case Face::Pressed: return caption_colours_[2];
    case Face::Disabled: return caption_colours_[3];
    case Face::Highlight: return caption_colours_[4];
    default: return caption_colours_[0];
  }
}

QRect CPngButton::RotatedCaptionRect(const QRect& rect, int escapement, int cx, int cy) {
  const double theta = escapement / 10.0 * kPi / 180.0;
  const int w = static_cast<int>(std::cos(theta) * cx);
  const int h = static_cast<int>(std::sin(theta) * cx);
  int left = rect.left();
  int bottom = rect.top() + rect.height();  // exclusive
  if (w < rect.width()) {
    left += (rect.width() - w) / 2;
    left -= static_cast<int>(cy * std::sin(theta) / 2);
  }
  if (h < rect.height()) {
    bottom -= (rect.height() - h) / 2;
    bottom += static_cast<int>(cy * std::cos(theta) / 2);
  }
  const int right = rect.left() + rect.width();
  return QRect(left, rect.top(), right - left, bottom - rect.top());
}

void CPngButton::DrawCaption(QPainter& painter, const QColor& colour) {
  QFont font(font_face_);
  font.setPixelSize(std::max(1, MulDivRound(font_size_, logicalDpiY(), 72)));
  font.setWeight(rotated_ ? static_cast<QFont::Weight>(956) : QFont::Normal);
  painter.save();
  painter.setFont(font);
  painter.setPen(colour);
  painter.setBackgroundMode(Qt::TransparentMode);
  const QString caption = text().left(259);
  // Windows-style rectangle: right and bottom exclusive; margins are added.
  const int left = margin_left_, top = margin_top_;
  const int right = width() + margin_right_, bottom = height() + margin_bottom_;
  QRect area(left, top, right - left, bottom - top);
  const int flags = QtAlignment(caption_format_);
  if (!rotated_ && escapement_ == 0) {
    painter.drawText(area, flags, caption);
  } else {
    const QFontMetrics metrics(font);
    const int cx = metrics.horizontalAdvance(caption);
    const int cy = metrics.height();
    if (rotated_) area = RotatedCaptionRect(area, escapement_, cx, cy);
    // The text is laid out as if unturned and turned about its top-left corner.
    int x = area.left();
    if (flags & Qt::AlignHCenter) {
      x += (area.width() - cx) / 2;
    } else if (flags & Qt::AlignRight) {
      x = area.left() + area.width() - cx;
    }
    int y = area.top();
    if (flags & Qt::AlignVCenter) {
      y += (area.height() - cy) / 2;
    } else if (flags & Qt::AlignBottom) {
      y = area.top() + area.height() - cy;
    }
    painter.translate(x, y);
    painter.rotate(-escapement_ / 10.0);
    painter.drawText(QPoint(0, metrics.ascent()), caption);
  }
  painter.restore();
}

void CPngButton::paintEvent(QPaintEvent*) {
  const Face face = CurrentFace();
  if (face_loader_ && FaceOf(face).pixmap.isNull()) {
    // The dialog gives this face now (the loader may replace itself).
    const FaceLoader loader = face_loader_;
    loader(face);
  }
  const FacePicture& shown_face = FaceOf(face);
  const QPixmap& picture = shown_face.pixmap;
  // Positions are in layout units; @2x pictures are drawn 1:1 in device
  // pixels, so they stay sharp.
  const auto draw_face = [this](QPainter& painter, const FacePicture& face_picture) {
    const QPixmap& pixmap = face_picture.pixmap;
    if (pixmap.isNull()) return false;
    const QPoint origin(offset_x_ - 1, offset_y_ - 1);
    const QRect source = QRect(origin, size()) & QRect(face_picture.origin, pixmap.deviceIndependentSize().toSize());
    const qreal picture_ratio = pixmap.devicePixelRatio();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawPixmap(QPointF(source.topLeft() - origin), pixmap,
                       QRectF(QPointF(source.topLeft() - face_picture.origin) * picture_ratio,
                              QSizeF(source.size()) * picture_ratio));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    return true;
  };
  const auto draw_over = [&](QPainter& painter) {
    if (caption_) DrawCaption(painter, CaptionColourOf(face));
    if (draw_callback_) {
      const bool normal_drawn = picture.cacheKey() == normal_.pixmap.cacheKey();
      draw_callback_(*this, painter, normal_drawn);
    }
  };
  if (!frame_mode_) {
    // Drawn straight on the button; nothing is kept.
    QPainter painter(this);
    if (draw_face(painter, shown_face)) {
      face_drawn_ = true;
      last_face_ = face;
    }
    draw_over(painter);
    return;
  }
  // Frame mode: the frame goes over what the button showed last, kept from
  // here on at the screen's density; a button that never drew its face
  // shows its face under the frame.
  const qreal ratio = devicePixelRatioF();
  if (shown_.deviceIndependentSize() != QSizeF(size()) || shown_.devicePixelRatio() != ratio) {
    shown_ = QPixmap(size() * ratio);
    shown_.setDevicePixelRatio(ratio);
    shown_.fill(Qt::transparent);
    QPainter painter(&shown_);
    const Face last = face_drawn_ ? last_face_ : face;
    if (draw_face(painter, FaceOf(last))) {
      face_drawn_ = true;
      last_face_ = last;
    }
  }
  {
    QPainter painter(&shown_);
    painter.setPen(QPen(frame_colour_, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(1, 1, width() - 2, height() - 2));
    draw_over(painter);
  }
  QPainter(this).drawPixmap(0, 0, shown_);
}

void CPngButton::mouseMoveEvent(QMouseEvent* event) {
  if (!tracking_) {
    tracking_ = true;
    // Hover is reported once the pointer has rested for a millisecond.
    QTimer::singleShot(1, this, &CPngButton::OnHover);
  }
  QAbstractButton::mouseMoveEvent(event);
}

void CPngButton::OnHover() {
  if (!tracking_) return;  // left again before the hover time
  hover_ = true;
  update();
  tooltip_timer_.stop();
  if (tooltip_active_ && !tooltip_text_.isEmpty()) tooltip_timer_.start();
}

void CPngButton::ShowTooltip() {
  if (!hover_ || !tooltip_active_ || tooltip_text_.isEmpty()) return;
  QToolTip::showText(QCursor::pos(), tooltip_text_, this, rect(), 10000);
}

void CPngButton::leaveEvent(QEvent* event) {
  tracking_ = false;
  hover_ = false;
  tooltip_timer_.stop();
  update();
  QAbstractButton::leaveEvent(event);
}

void CPngButton::mouseDoubleClickEvent(QMouseEvent* event) {
  // A fast second click counts as a click of its own.
  QMouseEvent press(QEvent::MouseButtonPress, event->position(), event->scenePosition(),
                    event->globalPosition(), event->button(), event->buttons(), event->modifiers());
  mousePressEvent(&press);
  event->setAccepted(press.isAccepted());
}

bool CPngButton::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) return true;  // shown by our own timer
  return QAbstractButton::event(event);
}

void CPngButton::ClearMouseState() {
  hover_ = false;
  tracking_ = false;
}

}  // namespace keyloom::skin
