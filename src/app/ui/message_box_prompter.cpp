#include "app/ui/message_box_prompter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include <condition_variable>
#include <mutex>

namespace keyloom::app {

struct MessageBoxPrompter::Shared {
  std::mutex mutex;
  std::condition_variable answered;
  bool closing = false;
  Shower shower = &MessageBoxPrompter::ShowBox;
};

MessageBoxPrompter::MessageBoxPrompter(QWidget* parent)
    : QObject(nullptr), parent_(parent), shared_(std::make_shared<Shared>()) {}

MessageBoxPrompter::~MessageBoxPrompter() { Close(); }

void MessageBoxPrompter::SetShower(Shower shower) {
  std::lock_guard lock(shared_->mutex);
  shared_->shower = std::move(shower);
}

void MessageBoxPrompter::Close() {
  std::lock_guard lock(shared_->mutex);
  shared_->closing = true;
  shared_->answered.notify_all();
}

host::Answer MessageBoxPrompter::ShowBox(QWidget* parent, const host::MessageBoxRequest& request) {
  QMessageBox box(parent && parent->isVisible() ? parent : nullptr);
  box.setText(QString::fromStdU16String(request.text));
  box.setWindowTitle(QString::fromStdU16String(request.title));
  box.setIcon(request.buttons == host::Buttons::Ok ? QMessageBox::Information : QMessageBox::Question);
  QMessageBox::StandardButton default_button = QMessageBox::Ok;
  QMessageBox::StandardButton escape_button = QMessageBox::Ok;
  switch (request.buttons) {
    case host::Buttons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case host::Buttons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      default_button = request.default_button == host::Answer::Yes ? QMessageBox::Yes : QMessageBox::No;
      escape_button = QMessageBox::No;
      break;
    case host::Buttons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      default_button = request.default_button == host::Answer::Cancel ? QMessageBox::Cancel : QMessageBox::Ok;
      escape_button = QMessageBox::Cancel;
      break;
  }
  box.setDefaultButton(default_button);
  box.setEscapeButton(escape_button);
  if (request.topmost) box.setWindowFlag(Qt::WindowStaysOnTopHint);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return host::Answer::Yes;
    case QMessageBox::No:
      return host::Answer::No;
    case QMessageBox::Cancel:
      return host::Answer::Cancel;
    case QMessageBox::Ok:
      return host::Answer::Ok;
    default:
      return request.default_button;
  }
}

host::Answer MessageBoxPrompter::Ask(const host::MessageBoxRequest& request) {
  Shower shower;
  {
    std::lock_guard lock(shared_->mutex);
    if (shared_->closing) return request.default_button;
    shower = shared_->shower;
  }
  if (QThread::currentThread() == thread()) return shower(parent_, request);

  // Another thread: the box opens on the user-interface thread; this thread
  // waits for its answer or for the program to close.
  struct Question {
    host::Answer answer;
    bool done = false;
  };
  auto question = std::make_shared<Question>(Question{request.default_button});
  std::shared_ptr<Shared> shared = shared_;
  QPointer<QWidget> parent = parent_;
  QMetaObject::invokeMethod(
      this,
      [shared, question, request, shower, parent] {
        {
          std::lock_guard lock(shared->mutex);
          if (shared->closing) return;
        }
        const host::Answer answer = shower(parent.data(), request);
        std::lock_guard lock(shared->mutex);
        question->answer = answer;
        question->done = true;
        shared->answered.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(shared->mutex);
  shared->answered.wait(lock, [&] { return question->done || shared->closing; });
  return question->done ? question->answer : request.default_button;
}

}  // namespace keyloom::app
