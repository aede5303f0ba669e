#include "skin/skin_color_btn.h"

#include <QColorDialog>
#include <QGridLayout>
#include <QPainter>
#include <QPolygon>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QToolButton>
#include <QVBoxLayout>

namespace keyloom::skin {

std::vector<QColor> DefaultPaletteColours() {
  std::vector<QColor> colours;
  // Row 1: greys from black to white.
  for (int i = 0; i < 10; ++i) colours.push_back(QColor::fromHsv(0, 0, i * 255 / 9));
  // Rows 2 to 4: ten hues at full, medium and light strength.
  const int hues[10] = {0, 25, 50, 90, 130, 170, 200, 230, 270, 310};
  const std::pair<int, int> tones[3] = {{255, 255}, {255, 170}, {110, 255}};
  for (const auto& [sat, val] : tones) {
    for (int hue : hues) colours.push_back(QColor::fromHsv(hue, sat, val));
  }
  return colours;
}

CSkinColorBtn::CSkinColorBtn(QWidget* parent) : QAbstractButton(parent), palette_(DefaultPaletteColours()) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  connect(this, &QAbstractButton::clicked, this, &CSkinColorBtn::ShowPalette);
}

void CSkinColorBtn::SetColor(const QColor& colour) {
  colour_ = colour;
  update();
}

void CSkinColorBtn::SetAutomaticColor(const QColor& colour) {
  automatic_ = colour;
  update();
}

void CSkinColorBtn::SetColumnsNumber(int columns) { columns_ = columns > 0 ? columns : 1; }

void CSkinColorBtn::EnableOtherButton(const QString& label) { other_label_ = label; }

void CSkinColorBtn::SetPaletteColors(std::vector<QColor> colours) { palette_ = std::move(colours); }

void CSkinColorBtn::ChooseColour(const QColor& colour) {
  if (!colour.isValid()) return;
  colour_ = colour;
  update();
  emit colourChosen(colour);
}

void CSkinColorBtn::ShowPalette() {
  if (popup_ != nullptr) popup_->close();
  auto* popup = new QFrame(this, Qt::Popup);
  popup->setAttribute(Qt::WA_DeleteOnClose);
  popup->setFrameShape(QFrame::Box);
  popup_ = popup;
  connect(popup, &QObject::destroyed, this, [this, popup] {
    if (popup_ == popup) popup_ = nullptr;
  });
  auto* column = new QVBoxLayout(popup);
  column->setContentsMargins(4, 4, 4, 4);
  column->setSpacing(4);
  auto* grid = new QGridLayout;
  grid->setSpacing(2);
  for (std::size_t i = 0; i < palette_.size(); ++i) {
    const QColor colour = palette_[i];
    auto* cell = new QToolButton(popup);
    cell->setFixedSize(18, 18);
    cell->setAutoRaise(true);
    cell->setToolTip(colour.name());
    cell->setStyleSheet(QStringLiteral("QToolButton{background:%1;border:1px solid #202020;}"
                                       "QToolButton:hover{border:1px solid #ffffff;}")
                            .arg(colour.name()));
    connect(cell, &QToolButton::clicked, this, [this, popup, colour] {
      popup->close();
      ChooseColour(colour);
    });
    grid->addWidget(cell, static_cast<int>(i) / columns_, static_cast<int>(i) % columns_);
  }
  column->addLayout(grid);
  if (!other_label_.isEmpty()) {
    auto* other = new QPushButton(other_label_, popup);
    connect(other, &QPushButton::clicked, this, [this, popup] {
      popup->close();
      OpenOtherDialog();
    });
    column->addWidget(other);
  }
  popup->adjustSize();
  popup->move(mapToGlobal(QPoint(0, height())));
  popup->show();
}

void CSkinColorBtn::OpenOtherDialog() {
  const QColor chosen = QColorDialog::getColor(EffectiveColour(), this);
  if (chosen.isValid()) ChooseColour(chosen);
}

void CSkinColorBtn::enterEvent(QEnterEvent* event) {
  update();
  QAbstractButton::enterEvent(event);
}

void CSkinColorBtn::leaveEvent(QEvent* event) {
  update();
  QAbstractButton::leaveEvent(event);
}

void CSkinColorBtn::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Button));
  // Windows-style rectangles: right and bottom exclusive.
  const int l = 0, t = 0, r = width(), b = height();
  // Swatch: the face enlarged by one pixel, cut at half of its right edge + 5.
  const int sl = l - 1, st = t - 1, sb = b + 1;
  const int sr = (r + 1) / 2 + 5;
  const QColor highlight = palette().color(QPalette::Light);
  painter.setPen(highlight);
  painter.drawLine(sl, st, sr - 1, st);
  painter.drawLine(sl, st, sl, sb - 1);
  painter.drawLine(sr - 1, st, sr - 1, sb - 1);
  painter.drawLine(sl, sb - 1, sr - 1, sb - 1);
  const QColor shown = EffectiveColour();
  if (shown.isValid() && isEnabled()) {
    painter.fillRect(QRect(QPoint(sl + 1, st + 1), QPoint(sr - 2, sb - 2)), shown);
  }
  // Drop-down area: the face enlarged by 1 horizontally and 2 vertically,
  // from left + right / 2 + 3.
  const int dl0 = l - 1, dr = r + 1, dt = t - 2, db = b + 2;
  const int dl = dl0 + dr / 2 + 3;
  painter.setPen(Qt::black);
  painter.setBrush(QColor::fromRgb(kDropDownGrey));
  painter.drawRect(QRect(QPoint(dl, dt), QPoint(dr - 1, db - 1)).adjusted(0, 0, -1, -1));
  // Arrow.
  const int ar = r + 1;
  const int m = (b - t + 2) / 2 - 2;
  QPolygon arrow;
  arrow << QPoint(ar - 11, m) << QPoint(ar - 5, m) << QPoint(ar - 8, m + 3);
  painter.setPen(Qt::black);
  painter.setBrush(Qt::black);
  painter.drawPolygon(arrow);
  if (hasFocus()) {
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect().adjusted(1, 1, -1, -1);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
  }
}

}  // namespace keyloom::skin
