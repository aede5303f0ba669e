#pragma once
// The base of every skinned dialog. Opening a dialog applies its skin: the
// background picture named by "Main" of section "SCREEN" becomes the
// dialog's size and surface, and the outline picture ("Mask", default the
// background) cuts the window's shape: its white pixels are holes. The
// dialog has no frame; pressing the left button on its body (not on a
// control) drags it. Derived dialogs override OnInitDialog, call the base
// first, then place their controls.
#include <QDialog>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QPoint>
#include <QRegion>
#include <filesystem>
#include <optional>

#include "skin/ini_file.h"

namespace keyloom::skin {

class CBaseDialog : public QDialog {
  Q_OBJECT
 public:
  // `skin_ini`: the dialog's skin INI; `skin_dir`: the folder its picture
  // names are relative to (normally the INI's folder).
  CBaseDialog(int template_id, QWidget* parent, std::filesystem::path skin_ini, std::filesystem::path skin_dir);
  ~CBaseDialog() override;

  // The colours of the controls the dialogs draw themselves (labels, edit
  // boxes, lists, drop-downs) on the skin's dark surfaces. Every skinned
  // dialog starts with it; its children inherit it.
  static QPalette SkinPalette();
  // The background picture a skin file names ("Main" of "SCREEN") in
  // `skin_dir`; empty when it names none.
  static std::filesystem::path BackgroundPath(const std::filesystem::path& skin_ini,
                                              const std::filesystem::path& skin_dir);

  int TemplateId() const { return template_id_; }
  const std::filesystem::path& SkinIniPath() const { return skin_ini_; }
  const std::filesystem::path& SkinDir() const { return skin_dir_; }
  const CIniFile& SkinIni() const { return ini_; }

  // Initialises the dialog, then runs it modally; returns its result.
  int DoModal();
  // Initialises the dialog and shows it without blocking. False when the
  // initialisation failed.
  bool OpenModeless();

  // Applies the skin. A background or outline that cannot be loaded is
  // reported to the skin failure handler (skin_picture.h), which by default
  // ends the program; if the handler returns, this returns false.
  virtual bool OnInitDialog();
  // Drop the skin's pictures, then close with result 1 (OK) or 0 (Cancel).
  virtual void OnOK();
  virtual void OnCancel();

  // QDialog's accept and reject (Enter, Escape, the window's close) go
  // through OnOK and OnCancel.
  void accept() override { OnOK(); }
  void reject() override { OnCancel(); }

  const QPixmap& Background() const { return background_; }
  const QImage& Outline() const { return outline_; }
  // The shape cut from the outline at the last opening (none before).
  const std::optional<QRegion>& OutlineRegion() const { return outline_region_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // Closes the dialog the platform's way, without the pictures' release.
  void CloseDialog(int result) { QDialog::done(result); }

 private:
  void ReleasePictures();

  int template_id_;
  std::filesystem::path skin_ini_;
  std::filesystem::path skin_dir_;
  CIniFile ini_;
  QPixmap background_;
  QImage outline_;
  std::optional<QRegion> outline_region_;
  bool dragging_ = false;
  QPoint drag_start_global_;
  QPoint drag_start_pos_;
};

}  // namespace keyloom::skin
