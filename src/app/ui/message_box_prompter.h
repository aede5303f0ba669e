#pragma once
// The questions of the core as message boxes: the text and title as given,
// Yes/No, OK/Cancel or OK buttons, the question's default button as the
// box's default (Enter answers it, Esc answers No or Cancel). A question
// asked on another thread (the connection monitor's, a keyboard transfer's)
// is shown on the user-interface thread while the asking thread waits for
// the answer. Once the program is closing, every question gets its default
// answer at once, so no thread waits on a window that is going away.
#include <QObject>

#include <functional>
#include <memory>

#include "platform/host.h"

class QWidget;

namespace keyloom::app {

class MessageBoxPrompter final : public QObject, public host::Prompter {
  Q_OBJECT
 public:
  // Create on the user-interface thread; the boxes are centred on `parent`
  // when it is visible.
  explicit MessageBoxPrompter(QWidget* parent = nullptr);
  ~MessageBoxPrompter() override;

  host::Answer Ask(const host::MessageBoxRequest& request) override;
  // Answers every waiting and later question with its default button.
  void Close();

  // How a box is shown; tests replace it to answer without a window. Called
  // on the user-interface thread.
  using Shower = std::function<host::Answer(QWidget* parent, const host::MessageBoxRequest& request)>;
  void SetShower(Shower shower);
  static host::Answer ShowBox(QWidget* parent, const host::MessageBoxRequest& request);

 private:
  struct Shared;
  QWidget* parent_;
  std::shared_ptr<Shared> shared_;
};

}  // namespace keyloom::app
