#include "mainwnd/about_dialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "i18n/texts.h"
#include "platform/shell.h"

namespace keyloom::mainwnd {

CAboutDlg::CAboutDlg(QWidget* parent, QString link) : QDialog(parent), link_(std::move(link)) {
  setObjectName(QStringLiteral("aboutDialog"));
  auto* outer = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  auto* icon = new QLabel(this);
  icon->setPixmap(QApplication::windowIcon().pixmap(48, 48));
  icon->setAlignment(Qt::AlignTop);
  top->addWidget(icon);
  auto* texts = new QVBoxLayout;
  description_ = new QLabel(this);
  description_->setWordWrap(true);
  copyright_ = new QLabel(this);
  copyright_->setWordWrap(true);
  hyperlink_ = new QLabel(this);
  hyperlink_->setTextFormat(Qt::RichText);
  hyperlink_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  hyperlink_->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(link_.toHtmlEscaped()));
  connect(hyperlink_, &QLabel::linkActivated, this, [this](const QString&) { OpenLink(); });
  texts->addWidget(description_);
  texts->addWidget(copyright_);
  texts->addWidget(hyperlink_);
  top->addLayout(texts, 1);
  outer->addLayout(top);
  ok_ = new QPushButton(this);
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  outer->addLayout(buttons);
  setMinimumWidth(360);
  LoadTexts();
}

void CAboutDlg::LoadTexts() {
  setWindowTitle(QString::fromStdU16String(i18n::Text("LANG_ABOUT_TITLE")));
  description_->setText(QString::fromStdU16String(i18n::Text("GUANYU_JIESHAO")));
  copyright_->setText(QString::fromStdU16String(i18n::Text("GUANYU_BANQUAN")));
  ok_->setText(QString::fromStdU16String(i18n::Text("LANG_ABOUT_OK")));
}

void CAboutDlg::OpenLink() {
  shell::OpenRequest request;
  request.file = link_.toStdString();
  shell::Open(request);
}

}  // namespace keyloom::mainwnd
