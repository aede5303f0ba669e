#include "app/ui/stand_in_main_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

#include <cstdio>

#include "app/single_instance.h"
#include "i18n/texts.h"

namespace keyloom::app {
namespace {

void Report(const char* line) {
  std::printf("%s\n", line);
  std::fflush(stdout);
}

}  // namespace

CStandInMainWindow::CStandInMainWindow(profiles::KeyboardSession& session, QWidget* parent)
    : QWidget(parent), session_(session), bridge_(*this), reactions_(bridge_, nullptr) {
  auto* layout = new QVBoxLayout(this);
  caption_ = new QLabel(this);
  caption_->setAlignment(Qt::AlignCenter);
  QFont font = caption_->font();
  font.setPointSize(font.pointSize() + 6);
  caption_->setFont(font);
  layout->addWidget(caption_);
  resize(480, 200);

  session_.SetSink(&events_);
  connect(&events_, &EventSinkAdapter::showWindow, this, [this] { ShowWindow(); });
  connect(&events_, &EventSinkAdapter::keyboardEvent, this,
          [this](quint16 usage) { reactions_.OnKeyboardEvent(usage); });
  connect(&events_, &EventSinkAdapter::connectionChanged, this, [this](bool connected, quint16, quint16) {
    if (!connected) hide();
    reactions_.OnConnectionChanged(connected);
  });
}

CStandInMainWindow::~CStandInMainWindow() {
  session_.SetSink(nullptr);
  bridge_.Shutdown();
}

void CStandInMainWindow::Initialise() {
  user_data_ = kMainWindowMarker;
  setProperty("userData", QVariant::fromValue<quint32>(user_data_));
  bridge_.Install();
  bridge_.SendMessage(i18n::kLanguageMessage, i18n::kLanguageTag, i18n::GetLanguageIndex());
  // Without "/Start" the window comes up at once; either way the decision
  // is taken now.
  if (session_.windows.StartupShowHandled.exchange(1) == 0) ShowWindow();
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
