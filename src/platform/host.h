#pragma once
// The interfaces through which core code reaches the user and the main
// window. The GUI implements them with Qt, the command line with the
// terminal, tests with recording fakes. A prompter is handed to the code
// that asks (a keyboard session holds one); the main window is installed
// process-wide, and with none installed messages posted to it are dropped.
#include <cstdint>
#include <string>

namespace keyloom::host {

enum class Buttons { Ok, YesNo, OkCancel };
enum class Answer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

struct MessageBoxRequest {
  std::u16string text;
  std::u16string title;
  Buttons buttons = Buttons::Ok;
  Answer default_button = Answer::Ok;
  bool topmost = false;
};

class Prompter {
 public:
  virtual ~Prompter() = default;
  virtual Answer Ask(const MessageBoxRequest& request) = 0;
};

// The main window as seen from other threads: private messages and timers.
class MainWindow {
 public:
  virtual ~MainWindow() = default;
  // Queued; returns at once. Safe from any thread.
  virtual void PostMessage(std::uint32_t message, std::uint32_t wparam, std::int64_t lparam) = 0;
  // Blocks until the UI thread has handled the message; returns its result.
  virtual std::int64_t SendMessage(std::uint32_t message, std::uint32_t wparam, std::int64_t lparam) = 0;
  virtual void SetTimer(unsigned id, unsigned milliseconds) = 0;
  virtual void KillTimer(unsigned id) = 0;
};

// Installation (not owning; the installer keeps the object alive). Passing
// nullptr removes it.
void SetMainWindow(MainWindow* window);

// Installs `window` for its lifetime and puts the previous one back.
class ScopedMainWindow {
 public:
  explicit ScopedMainWindow(MainWindow* window);
  ~ScopedMainWindow();
  ScopedMainWindow(const ScopedMainWindow&) = delete;
  ScopedMainWindow& operator=(const ScopedMainWindow&) = delete;

 private:
  MainWindow* previous_;
};

// Posts through the installed window.
void PostToMainWindow(std::uint32_t message, std::uint32_t wparam, std::int64_t lparam);

// Four-letter tags of private messages: bytes spell the tag from the high byte down.
constexpr std::uint32_t Tag(const char (&s)[5]) {
  return (std::uint32_t(std::uint8_t(s[0])) << 24) | (std::uint32_t(std::uint8_t(s[1])) << 16) |
         (std::uint32_t(std::uint8_t(s[2])) << 8) | std::uint32_t(std::uint8_t(s[3]));
}

}  // namespace keyloom::host
