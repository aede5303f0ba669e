#pragma once
// The image button of the skinned dialogs. Its face is the rectangle of one
// of the dialog's state pictures (normal, mouse-over, pressed, disabled,
// highlight) that starts one pixel left of and above the button's picture
// offset; optionally a caption is written over it. A button placed before it
// is given its pictures keeps only the part under it of each (the dialog can
// then let go of the whole pictures). A picture may be a state picture
// (MakeStatePicture) or the skin picture itself: where a face reaches past
// the picture it is black, up to the parent's client area plus the state
// pictures' margin, as in a state picture. In frame mode the button
// instead draws a 2-pixel frame in the frame colour over what it showed
// last (the on-screen keyboard marks keys this way).
//
// Face choice, first match wins: disabled; toggle mode (on or off picture);
// pressed; hovered; highlighted; normal.
#include <QAbstractButton>
#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <QTimer>
#include <array>
#include <functional>
#include <vector>

namespace keyloom::skin {

// Text layout flags of caption formats (the values the dialogs pass).
namespace caption_format {
constexpr unsigned kLeft = 0x00, kCenter = 0x01, kRight = 0x02, kVCenter = 0x04, kBottom = 0x08,
                   kWordBreak = 0x10, kSingleLine = 0x20, kNoPrefix = 0x800;
constexpr unsigned kDefault = kCenter | kVCenter | kSingleLine;  // 37
}  // namespace caption_format

class CPngButton : public QAbstractButton {
  Q_OBJECT
 public:
  enum class Face { Normal, Over, Pressed, Disabled, Highlight, ToggleOff, ToggleOn };
  // Index of the caption colours: normal, over, pressed, disabled, highlight.
  using CaptionColours = std::array<QColor, 5>;
  // Called after each drawing with the painter of the button's face and
  // whether the normal picture was the one drawn.
  using DrawCallback = std::function<void(CPngButton& button, QPainter& painter, bool normal_drawn)>;

  // Delay before the tooltip shows.
  static constexpr int kTooltipDelayMs = 300;

  explicit CPngButton(QWidget* parent = nullptr);
  ~CPngButton() override;

  void SetPicturesAt(int x, int y, const QPixmap& normal, const QPixmap& over, const QPixmap& pressed,
                     const QPixmap& disabled, const QPixmap& highlight, bool redraw);
  void SetPictures(const QPixmap& normal, const QPixmap& over, const QPixmap& pressed,
                   const QPixmap& disabled, const QPixmap& highlight, bool redraw);
  void SetTogglePictures(const QPixmap& off, const QPixmap& on, bool toggle_mode, bool toggle_state,
                         bool redraw);
  // Toggle mode and state, with the toggle pictures given before.
  void SetToggleState(bool toggle_mode, bool toggle_state, bool redraw);
  // One face at a time, for dialogs that decode their state pictures one
  // after the other: the picture offset first, then each face cut from its
  // picture (which the caller may reuse for the next one), then the toggle
  // faces chosen among those.
  void SetPictureOffset(int x, int y);
  void SetFace(Face face, const QImage& picture);
  void SetToggleFaces(Face off, Face on, bool toggle_mode, bool toggle_state, bool redraw);
  // Faces given only when first needed: the loader is called when the
  // button is about to show a face it does not have, and gives it (to this
  // button and any others) before the button draws.
  using FaceLoader = std::function<void(Face face)>;
  void SetFaceLoader(FaceLoader loader);
  void SetHighlight(bool on, bool redraw);
  void SetFrame(const QColor& colour, bool on);
  void SetCaption(bool show, int point_size, const QString& face, const CaptionColours& colours,
                  unsigned format = caption_format::kDefault);
  // Escapement in tenths of a degree, counter-clockwise.
  void SetRotation(int escapement, bool rotated);
  void SetCaptionMargins(int left, int right, int top, int bottom);
  void SetDrawCallback(DrawCallback callback);
  // An empty text changes nothing.
  void SetTooltipText(const QString& text, bool active);
  // Shows the pressed face (or not) until the next mouse interaction.
  void SetPressedLook(bool pressed) { setDown(pressed); }

  Face CurrentFace() const;
  bool HasFace(Face face) const { return !FaceOf(face).pixmap.isNull(); }
  int OffsetX() const { return offset_x_; }
  int OffsetY() const { return offset_y_; }
  bool IsHovered() const { return hover_; }
  bool IsHighlighted() const { return highlight_; }
  bool IsFrameMode() const { return frame_mode_; }
  bool IsToggleMode() const { return toggle_mode_; }
  bool ToggleState() const { return toggle_state_; }
  const QString& TooltipText() const { return tooltip_text_; }
  bool TooltipActive() const { return tooltip_active_; }
  bool TooltipPending() const { return tooltip_timer_.isActive(); }
  const QString& CaptionFace() const { return font_face_; }
  int CaptionPointSize() const { return font_size_; }

  // Where a rotated caption goes: the rectangle (left, top, right, bottom,
  // right and bottom exclusive) after the margins, moved so that text of
  // extent (cx, cy) turned by `escapement` tenths of a degree sits centred.
  static QRect RotatedCaptionRect(const QRect& rect, int escapement, int cx, int cy);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  // One face: the part of a state picture the button shows (the whole
  // picture while the button has no size), where that part lies in the
  // picture in layout units, and which picture it was cut from.
  struct FacePicture {
    QPixmap pixmap;
    QPoint origin;
    qint64 source = 0;
    QRect cut_for;  // the button's face rectangle it was cut for
  };
  // `earlier`: faces cut before, reused when cut from the same picture for
  // the same rectangle (dialogs that give their buttons the same pictures
  // again).
  FacePicture CutFace(const QPixmap& picture, const std::vector<FacePicture>& earlier = {}) const;
  FacePicture CutFace(const QImage& picture) const;
  const FacePicture& FaceOf(Face face) const;
  QColor CaptionColourOf(Face face) const;
  void DrawCaption(QPainter& painter, const QColor& colour);
  void OnHover();
  void ShowTooltip();
  void ClearMouseState();

  FacePicture normal_, over_, pressed_, disabled_, highlight_pic_;
  FacePicture toggle_off_, toggle_on_;
  QPixmap shown_;  // in frame mode: what the button shows, the frame over its last face
  bool face_drawn_ = false;  // a face was drawn
  Face last_face_ = Face::Normal;  // the face drawn last
  bool hover_ = false;
  bool tracking_ = false;
  bool highlight_ = false;
  bool toggle_mode_ = false;
  bool toggle_state_ = false;
  int offset_x_ = 0;
  int offset_y_ = 0;
  bool caption_ = false;
  int font_size_ = 8;
  QString font_face_ = QStringLiteral("Tahoma Unicode MS");
  CaptionColours caption_colours_{QColor(Qt::black), QColor(Qt::black), QColor(Qt::black),
                                  QColor(Qt::black), QColor(Qt::black)};
  unsigned caption_format_ = caption_format::kDefault;
  int margin_left_ = 0, margin_right_ = 0, margin_top_ = 0, margin_bottom_ = 0;
  int escapement_ = 0;
  bool rotated_ = false;
  DrawCallback draw_callback_;
  FaceLoader face_loader_;
  QString tooltip_text_;
  bool tooltip_active_ = false;
  QTimer tooltip_timer_;
  bool frame_mode_ = false;
  QColor frame_colour_ = Qt::black;
};

}  // namespace keyloom::skin
