#include "app/ui/stand_in_main_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

#include <cstdio>

#include "app/single_instance.h"
#include "i18n/texts.h"
#include "platform/startup_flags.h"

namespace keyloom::app {
namespace {

void Report(const char* line) {
  std::printf("%s\n", line);
  std::fflush(stdout);
}

}  // namespace

CStandInMainWindow::CStandInMainWindow(QWidget* parent) : QWidget(parent), bridge_(*this) {
  auto* layout = new QVBoxLayout(this);
  caption_ = new QLabel(this);
  caption_->setAlignment(Qt::AlignCenter);
  QFont font = caption_->font();
  font.setPointSize(font.pointSize() + 6);
  caption_->setFont(font);
  layout->addWidget(caption_);
  resize(480, 200);
}

CStandInMainWindow::~CStandInMainWindow() { bridge_.Shutdown(); }

void CStandInMainWindow::Initialise() {
  user_data_ = kMainWindowMarker;
  setProperty("userData", QVariant::fromValue<quint32>(user_data_));
  bridge_.Install();
  bridge_.SendMessage(i18n::kLanguageMessage, i18n::kLanguageTag, i18n::GetLanguageIndex());
  // Without "/Start" the window comes up at once; either way the decision
  // is taken now.
  if (platform::StartupShowHandled.exchange(1) == 0) ShowWindow();
  Report("ready");
}

std::int64_t CStandInMainWindow::OnPrivateMessage(std::uint32_t message, std::uint32_t wparam,
                                                  std::int64_t lparam) {
  if (message == kShowMessage && wparam == kShowTag) {
    Report("request OPEN");
    ShowWindow();
    return 1;
  }
  if (message == kQuitMessage && wparam == kQuitTag) {
    Report("request KILL");
    Close();
    return 1;
  }
  if (message == i18n::kLanguageMessage && wparam == i18n::kLanguageTag) {
    LoadTexts();
    std::printf("language %lld\n", static_cast<long long>(lparam));
    std::fflush(stdout);
    return 1;
  }
  return 0;
}

void CStandInMainWindow::LoadTexts() {
  const QString caption = QString::fromStdU16String(i18n::Text("MAIN_CAPTION"));
  setWindowTitle(caption);
  caption_->setText(caption);
}

void CStandInMainWindow::ShowWindow() {
  showNormal();
  raise();
  activateWindow();
  Report("shown");
}

void CStandInMainWindow::Close() {
  if (finished_) return;
  finished_ = true;
  hide();
  // Another start may run from now on.
  ReleaseInstanceLock();
  bridge_.Shutdown();
  emit Finished();
}

void CStandInMainWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  Close();
}

}  // namespace keyloom::app
