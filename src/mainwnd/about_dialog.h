#pragma once
// The about box: the application icon, the program's description and
// copyright texts, its version, a link to the vendor's page and OK. Its
// texts follow the language ('LANG').
#include <QDialog>

#include <cstdint>

class QLabel;
class QPushButton;

namespace keyloom::mainwnd {

class CAboutDlg final : public QDialog {
  Q_OBJECT
 public:
  CAboutDlg(QWidget* parent, QString link);

  // Sets the title and texts from the language file.
  void LoadTexts();
  QString Link() const { return link_; }
  // Opens the link with the desktop's handler, as a click on it does.
  void OpenLink();

 private:
  QString link_;
  QLabel* description_ = nullptr;
  QLabel* copyright_ = nullptr;
  QLabel* hyperlink_ = nullptr;
  QPushButton* ok_ = nullptr;
};

}  // namespace keyloom::mainwnd
