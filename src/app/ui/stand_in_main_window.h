#pragma once
// A small main window that stands in until the full main window arrives. It
// marks itself, announces the language to itself, shows the localised
// caption and handles the requests of other instances: 'OPEN' shows it,
// 'KILL' closes it and ends the program. What the core reports comes in
// through the event sink adapter: the first show, keyboard events (the
// main window's timers), and connection changes (hidden when the keyboard
// goes). It writes one line on stdout for each request it handles, so
// scripts and tests can follow it.
#include <QWidget>

#include <cstdint>

#include "app/keyboard_reactions.h"
#include "app/ui/event_sink_adapter.h"
#include "app/ui/window_message_bridge.h"
#include "profiles/keyboard_session.h"

class QLabel;

namespace keyloom::app {

class CStandInMainWindow final : public QWidget, public PrivateMessageTarget {
  Q_OBJECT
 public:
  // The window becomes the session's event sink for its lifetime.
  explicit CStandInMainWindow(profiles::KeyboardSession& session, QWidget* parent = nullptr);
  ~CStandInMainWindow() override;

  // Marks the window, installs it as the host's main window, announces the
  // language to itself and shows it unless the start-up decided it stays
  // hidden ("/Start"), as the session's StartupShowHandled says.
  void Initialise();

  std::uint32_t UserData() const { return user_data_; }
  WindowMessageBridge& Bridge() { return bridge_; }
  EventSinkAdapter& Events() { return events_; }

  std::int64_t OnPrivateMessage(std::uint32_t message, std::uint32_t wparam,
                                std::int64_t lparam) override;
  void OnTimer(unsigned id) override {}

 signals:
  // The window has closed for good; the program ends.
  void Finished();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void ShowWindow();
  void Close();
  void LoadTexts();

  profiles::KeyboardSession& session_;
  WindowMessageBridge bridge_;
  EventSinkAdapter events_;
  KeyboardReactions reactions_;
  QLabel* caption_ = nullptr;
  std::uint32_t user_data_ = 0;
  bool finished_ = false;
};

}  // namespace keyloom::app
