// The core's questions as message boxes: shown on the user-interface thread
// whoever asks, the question's default button as the box's, and no thread
// left waiting once the program closes.
#include "app/ui/message_box_prompter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <future>
#include <thread>

#include "qt_test_app.h"

namespace keyloom::app {
namespace {

using testing::App;
using testing::PumpUntil;

host::MessageBoxRequest Question(host::Buttons buttons, host::Answer default_button) {
  host::MessageBoxRequest r;
  r.text = u"Apply the changes?";
  r.buttons = buttons;
  r.default_button = default_button;
  return r;
}

TEST(MessageBoxPrompter, QuestionFromAnotherThreadIsShownOnTheUiThread) {
  App();
  MessageBoxPrompter prompter;
  std::atomic<bool> on_ui_thread{false};
  prompter.SetShower([&](QWidget*, const host::MessageBoxRequest& r) {
    on_ui_thread = QThread::currentThread() == qApp->thread();
    EXPECT_EQ(r.text, u"Apply the changes?");
    return host::Answer::Yes;
  });
  auto answer = std::async(std::launch::async, [&] { return prompter.Ask(Question(host::Buttons::YesNo, host::Answer::No)); });
  ASSERT_TRUE(PumpUntil([&] { return answer.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready; }));
  EXPECT_EQ(answer.get(), host::Answer::Yes);
  EXPECT_TRUE(on_ui_thread.load());
}

TEST(MessageBoxPrompter, ClosingAnswersWaitingAndLaterQuestionsWithTheirDefault) {
  App();
  MessageBoxPrompter prompter;
  int shown = 0;
  prompter.SetShower([&](QWidget*, const host::MessageBoxRequest&) {
    ++shown;
    return host::Answer::Yes;
  });
  // The question waits for a UI thread that does not come round (the
  // program is closing); Close lets it go with the default.
  auto answer = std::async(std::launch::async, [&] { return prompter.Ask(Question(host::Buttons::YesNo, host::Answer::No)); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  prompter.Close();
  ASSERT_EQ(answer.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(answer.get(), host::Answer::No);
  EXPECT_EQ(prompter.Ask(Question(host::Buttons::OkCancel, host::Answer::Cancel)), host::Answer::Cancel);
  QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_EQ(shown, 0) << "a box came up after the program closed";
}

TEST(MessageBoxPrompter, TheBoxHasTheQuestionsDefaultButton) {
  App();
  struct Case {
    host::Buttons buttons;
    host::Answer default_button;
    QMessageBox::StandardButton expected_default;
    QMessageBox::StandardButton escape;
    host::Answer escape_answer;
  };
  const Case cases[] = {
      {host::Buttons::YesNo, host::Answer::No, QMessageBox::No, QMessageBox::No, host::Answer::No},
      {host::Buttons::YesNo, host::Answer::Yes, QMessageBox::Yes, QMessageBox::No, host::Answer::No},
      {host::Buttons::OkCancel, host::Answer::Cancel, QMessageBox::Cancel, QMessageBox::Cancel, host::Answer::Cancel},
      {host::Buttons::Ok, host::Answer::Ok, QMessageBox::Ok, QMessageBox::Ok, host::Answer::Ok},
  };
  for (const Case& c : cases) {
    QMessageBox::StandardButton seen_default = QMessageBox::NoButton;
    QTimer::singleShot(50, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      seen_default = box->standardButton(box->defaultButton());
      box->button(c.escape)->click();
    });
    const host::Answer answer = MessageBoxPrompter::ShowBox(nullptr, Question(c.buttons, c.default_button));
    EXPECT_EQ(seen_default, c.expected_default);
    EXPECT_EQ(answer, c.escape_answer);
  }
}

}  // namespace
}  // namespace keyloom::app
