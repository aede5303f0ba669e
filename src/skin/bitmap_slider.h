#pragma once
// A slider that shows one whole picture per position: it draws no thumb; its
// owner swaps the picture (SetBitmap) when it learns of a new position.
//
// Every change of position the user makes is posted to the parent widget as
// a PostedMessageEvent (posted_message.h) with message kPositionMessage,
// wParam the control id and lParam the new position. A posted event rather
// than a signal keeps the order of the original message loop: the owner sees
// the position after whatever it had queued before.
#include <QPixmap>
#include <QWidget>
#include <cstdint>

namespace keyloom::skin {

class CBitmapSlider : public QWidget {
  Q_OBJECT
 public:
  static constexpr std::uint32_t kPositionMessage = 0x28D1;

  explicit CBitmapSlider(int control_id, QWidget* parent = nullptr);

  int ControlId() const { return control_id_; }
  void SetRange(int minimum, int maximum);
  int Minimum() const { return minimum_; }
  int Maximum() const { return maximum_; }
  // Returns the previous page size.
  int SetPageSize(int size);
  int PageSize() const { return page_size_; }
  // Clamps to the range, stores and repaints.
  void SetPos(int position);
  int Pos() const { return position_; }
  // Takes the track picture, sizes the control to it and shows it.
  void SetTrackBitmap(const QPixmap& track);
  // Shows `picture` as the current face.
  void SetBitmap(const QPixmap& picture);
  const QPixmap& CurrentBitmap() const { return current_; }
  void SetVertical(bool vertical) { vertical_ = vertical; }
  bool IsDragging() const { return dragging_; }
  bool HasFocusFlag() const { return focus_flag_; }

  // The mappings between a coordinate along the slider (x, or y when
  // vertical) and a position. Truncated; a zero range or length maps to the
  // minimum and to 0.
  int PositionFromCoordinate(int coordinate) const;
  int CoordinateFromPosition(int position) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  int Length() const;
  void MoveTo(int coordinate);
  void Post();

  int control_id_;
  int minimum_ = 0;
  int maximum_ = 100;
  int position_ = 0;
  int page_size_ = 10;
  int picture_width_ = 0;
  int picture_height_ = 0;
  QPixmap track_;
  QPixmap current_;
  bool vertical_ = false;
  bool dragging_ = false;
  bool focus_flag_ = false;
};

}  // namespace keyloom::skin
