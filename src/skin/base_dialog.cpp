#include "skin/base_dialog.h"

#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "skin/outline_region.h"
#include "skin/skin_picture.h"

namespace keyloom::skin {

namespace {

QImage LoadWholePicture(const std::filesystem::path& path) {
  QImageReader reader(QString::fromStdString(path.string()));
  reader.setAutoTransform(false);
  return reader.read();
}

}  // namespace

CBaseDialog::CBaseDialog(int template_id, QWidget* parent, std::filesystem::path skin_ini,
                         std::filesystem::path skin_dir)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      template_id_(template_id),
      skin_ini_(std::move(skin_ini)),
      skin_dir_(std::move(skin_dir)) {
  setPalette(SkinPalette());
}

QPalette CBaseDialog::SkinPalette() {
  QPalette p;
  const QColor text(0xE4, 0xE9, 0xF0), muted(0x7D, 0x86, 0x93), accent(0x1E, 0xC8, 0xE8);
  for (auto group : {QPalette::Active, QPalette::Inactive}) {
    p.setColor(group, QPalette::Window, QColor(0x15, 0x18, 0x1D));
    p.setColor(group, QPalette::WindowText, text);
    p.setColor(group, QPalette::Base, QColor(0x0F, 0x11, 0x15));
    p.setColor(group, QPalette::AlternateBase, QColor(0x17, 0x1A, 0x20));
    p.setColor(group, QPalette::Text, text);
    p.setColor(group, QPalette::Button, QColor(0x26, 0x2A, 0x32));
    p.setColor(group, QPalette::ButtonText, text);
    p.setColor(group, QPalette::Light, QColor(0x4A, 0x51, 0x5D));
    p.setColor(group, QPalette::Midlight, QColor(0x33, 0x39, 0x43));
    p.setColor(group, QPalette::Mid, QColor(0x2A, 0x2F, 0x38));
    p.setColor(group, QPalette::Dark, QColor(0x0B, 0x0C, 0x0F));
    p.setColor(group, QPalette::Highlight, accent);
    p.setColor(group, QPalette::HighlightedText, QColor(0x04, 0x16, 0x1B));
    p.setColor(group, QPalette::ToolTipBase, QColor(0x22, 0x26, 0x2D));
    p.setColor(group, QPalette::ToolTipText, text);
    p.setColor(group, QPalette::PlaceholderText, muted);
    p.setColor(group, QPalette::Link, accent);
  }
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    p.setColor(QPalette::Disabled, role, QColor(0x4C, 0x52, 0x5C));
  }
  p.setColor(QPalette::Disabled, QPalette::Base, QColor(0x13, 0x15, 0x19));
  p.setColor(QPalette::Disabled, QPalette::Window, QColor(0x15, 0x18, 0x1D));
  p.setColor(QPalette::Disabled, QPalette::Button, QColor(0x1B, 0x1E, 0x23));
  p.setColor(QPalette::Disabled, QPalette::Light, QColor(0x2A, 0x2F, 0x38));
  return p;
}

CBaseDialog::~CBaseDialog() = default;

int CBaseDialog::DoModal() {
  if (!OnInitDialog()) return -1;
  return exec();
}

bool CBaseDialog::OpenModeless() {
  if (!OnInitDialog()) return false;
  show();
  return true;
}

std::filesystem::path CBaseDialog::BackgroundPath(const std::filesystem::path& skin_ini,
                                                  const std::filesystem::path& skin_dir) {
  CIniFile ini;
  ini.SetPath(skin_ini);
  const std::u16string main = ini.GetString(u"SCREEN", u"Main", u"").value_or(u"");
  return main.empty() ? std::filesystem::path() : JoinSkinPath(skin_dir, main);
}

bool CBaseDialog::OnInitDialog() {
  ini_.SetPath(skin_ini_);
  const std::u16string main = ini_.GetString(u"SCREEN", u"Main", u"").value_or(u"");
  const std::u16string mask = ini_.GetString(u"SCREEN", u"Mask", main).value_or(u"");
  const auto main_path = JoinSkinPath(skin_dir_, main);
  const auto mask_path = JoinSkinPath(skin_dir_, mask);

  // The background follows the screen's density (a @2x twin where there is
  // one); the outline cuts the shape in layout units.
  QImage background = main.empty() ? QImage() : LoadSkinPicture(skin_dir_, main).value_or(QImage());
  if (background.isNull()) {
    ReportSkinFailure(main_path);
    return false;
  }
  QImage outline = mask.empty() ? QImage() : LoadWholePicture(mask_path);
  if (outline.isNull()) {
    ReportSkinFailure(mask_path);
    return false;
  }
  background_ = QPixmap::fromImage(std::move(background));
  outline_ = std::move(outline);

  resize(background_.deviceIndependentSize().toSize());
  raise();

  outline_region_ = BuildOutlineRegion(outline_);
  if (outline_region_) {
    if (outline_region_->isEmpty()) {
      // Qt reads an empty mask as "no mask"; a region outside the window
      // leaves nothing visible, as an empty outline should.
      setMask(QRegion(-2, -2, 1, 1));
    } else {
      setMask(*outline_region_);
    }
    update();
  }
  return true;
}

void CBaseDialog::ReleasePictures() {
  background_ = QPixmap();
  outline_ = QImage();
}

void CBaseDialog::OnOK() {
  ReleasePictures();
  CloseDialog(QDialog::Accepted);
}

void CBaseDialog::OnCancel() {
  ReleasePictures();
  CloseDialog(QDialog::Rejected);
}

void CBaseDialog::paintEvent(QPaintEvent*) {
  if (background_.isNull()) return;
  QPainter painter(this);
  painter.drawPixmap(0, 0, background_);
}

void CBaseDialog::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QDialog::mousePressEvent(event);
    return;
  }
  // The body acts as the caption: let the window manager move the window,
  // or move it ourselves where it cannot.
  if (QWindow* window = windowHandle(); window != nullptr && window->startSystemMove()) {
    event->accept();
    return;
  }
  dragging_ = true;
  drag_start_global_ = event->globalPosition().toPoint();
  drag_start_pos_ = pos();
  event->accept();
}

void CBaseDialog::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton)) {
    move(drag_start_pos_ + (event->globalPosition().toPoint() - drag_start_global_));
    event->accept();
    return;
  }
  QDialog::mouseMoveEvent(event);
}

void CBaseDialog::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragging_ = false;
  QDialog::mouseReleaseEvent(event);
}

}  // namespace keyloom::skin
