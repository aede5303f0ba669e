#include "skin/bitmap_slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QWheelEvent>
#include <algorithm>

#include "skin/posted_message.h"

namespace keyloom::skin {

CBitmapSlider::CBitmapSlider(int control_id, QWidget* parent) : QWidget(parent), control_id_(control_id) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
}

void CBitmapSlider::SetRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
}

int CBitmapSlider::SetPageSize(int size) {
  const int previous = page_size_;
  page_size_ = size;
  return previous;
}

void CBitmapSlider::SetPos(int position) {
  const int low = std::min(minimum_, maximum_), high = std::max(minimum_, maximum_);
  position_ = std::clamp(position, low, high);
  update();
}

void CBitmapSlider::SetTrackBitmap(const QPixmap& track) {
  track_ = track;
  // In layout units: a @2x picture measures as its 1x twin.
  const QSize size = track.deviceIndependentSize().toSize();
  picture_width_ = size.width();
  picture_height_ = size.height();
  resize(size);
  current_ = track;
  update();
}

void CBitmapSlider::SetBitmap(const QPixmap& picture) {
  current_ = picture;
  update();
}

int CBitmapSlider::Length() const { return vertical_ ? height() : width(); }

int CBitmapSlider::PositionFromCoordinate(int coordinate) const {
  const int length = Length();
  if (length <= 0) return minimum_;
  // The horizontal slider reads 10 pixels ahead of the pointer.
  const double along = vertical_ ? coordinate : coordinate + 10.0;
  return minimum_ + static_cast<int>(along / length * (maximum_ - minimum_));
}

int CBitmapSlider::CoordinateFromPosition(int position) const {
  if (maximum_ == minimum_) return 0;
  return static_cast<int>(static_cast<double>(position - minimum_) / (maximum_ - minimum_) * Length());
}

void CBitmapSlider::Post() { PostMessageTo(parentWidget(), kPositionMessage, static_cast<std::uint32_t>(control_id_), position_); }

void CBitmapSlider::MoveTo(int coordinate) {
  if (coordinate == CoordinateFromPosition(position_)) return;
  SetPos(PositionFromCoordinate(coordinate));
  Post();
}

void CBitmapSlider::mousePressEvent(QMouseEvent* event) {
  if (!isEnabled() || event->button() != Qt::LeftButton) return;
  grabMouse();
  setFocus(Qt::MouseFocusReason);
  focus_flag_ = true;
  dragging_ = true;
  const QPoint p = event->position().toPoint();
  MoveTo(vertical_ ? p.y() : p.x());
}

void CBitmapSlider::mouseMoveEvent(QMouseEvent* event) {
  if (!isEnabled() || !dragging_) return;
  const QPoint p = event->position().toPoint();
  MoveTo(vertical_ ? p.y() : p.x());
}

void CBitmapSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (!isEnabled() || event->button() != Qt::LeftButton) return;
  releaseMouse();
  dragging_ = false;
  Post();
}

void CBitmapSlider::leaveEvent(QEvent* event) {
  focus_flag_ = false;
  update();
  QWidget::leaveEvent(event);
}

void CBitmapSlider::keyPressEvent(QKeyEvent* event) {
  if (!isEnabled()) return;
  int target = position_;
  switch (event->key()) {
    case Qt::Key_PageUp: target = position_ - page_size_; break;
    case Qt::Key_PageDown: target = position_ + page_size_; break;
    case Qt::Key_End: target = maximum_; break;
    case Qt::Key_Home: target = minimum_; break;
    case Qt::Key_Right:
    case Qt::Key_Down: target = position_ + 1; break;
    case Qt::Key_Left:
    case Qt::Key_Up: target = position_ - 1; break;
    default: QWidget::keyPressEvent(event); return;
  }
  SetPos(target);
  Post();
}

void CBitmapSlider::wheelEvent(QWheelEvent* event) {
  if (!isEnabled() || !focus_flag_) {
    event->ignore();
    return;
  }
  const int delta = event->angleDelta().y();
  if (delta == 120) {
    SetPos(position_ - 1);
  } else if (delta < 0 || delta > 120) {
    SetPos(position_ + 1);
  }
  Post();
}

void CBitmapSlider::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (focus_flag_) {
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect();
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
  }
  // The picture is copied over the whole client area, as the slider always
  // did; its owner's pictures fill the control.
  if (!current_.isNull()) painter.drawPixmap(0, 0, current_);
}

}  // namespace keyloom::skin
