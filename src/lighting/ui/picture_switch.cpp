#include "lighting/ui/picture_switch.h"

#include <QMouseEvent>

namespace keyloom::lighting::ui {

PictureSwitch::PictureSwitch(QWidget* parent) : QLabel(parent) {
  setFocusPolicy(Qt::NoFocus);
  setScaledContents(true);
  setCursor(Qt::PointingHandCursor);
}

void PictureSwitch::ShowPicture(const QPixmap& picture, const QString& name) {
  name_ = name;
  setPixmap(picture);
}

void PictureSwitch::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && isEnabled()) {
    event->accept();
    emit clicked();
    return;
  }
  QLabel::mousePressEvent(event);
}

}  // namespace keyloom::lighting::ui
