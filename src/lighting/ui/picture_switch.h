#pragma once
// A picture that acts as a button: the lighting panel's lamp switch,
// direction buttons, colourful switches, effect-17 colours and tool
// pictures. It shows whichever picture its owner gives it and reports a
// left click; it keeps no state of its own.
#include <QLabel>
#include <QString>

namespace keyloom::lighting::ui {

class PictureSwitch final : public QLabel {
  Q_OBJECT
 public:
  explicit PictureSwitch(QWidget* parent = nullptr);

  // Shows `picture`; `name` is remembered so a view can tell which one it shows.
  void ShowPicture(const QPixmap& picture, const QString& name);
  const QString& PictureName() const { return name_; }

  // A click as the user's (nothing while disabled).
  void Click() {
    if (isEnabled()) emit clicked();
  }

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QString name_;
};

}  // namespace keyloom::lighting::ui
