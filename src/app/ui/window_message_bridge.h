#pragma once
// The main window as other threads see it (host::MainWindow): private
// messages (message, wParam, lParam) and timers by id. Messages and timer
// changes from other threads travel to the UI thread as posted events, in the
// order they were made; a message sent from another thread blocks its sender
// until the UI thread has handled it. From the UI thread itself a sent
// message is handled at once and timers change at once.
#include <QObject>

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>

#include "platform/host.h"

namespace keyloom::app {

// What a main window implements to receive private messages and timers.
class PrivateMessageTarget {
 public:
  virtual ~PrivateMessageTarget() = default;
  virtual std::int64_t OnPrivateMessage(std::uint32_t message, std::uint32_t wparam,
                                        std::int64_t lparam) = 0;
  virtual void OnTimer(unsigned id) = 0;
};

class WindowMessageBridge final : public QObject, public host::MainWindow {
  Q_OBJECT
 public:
  // Create on the UI thread. The target must outlive the bridge or Shutdown
  // must run first.
  explicit WindowMessageBridge(PrivateMessageTarget& target, QObject* parent = nullptr);
  // Shuts down. The bridge must not be destroyed while another thread may
  // still be inside one of its calls (stop those threads first).
  ~WindowMessageBridge() override;

  // Becomes the host's main window (host::SetMainWindow).
  void Install();
  // Leaves the host, stops every timer, answers waiting senders with 0 and
  // drops everything that arrives later. UI thread.
  void Shutdown();

  void PostMessage(std::uint32_t message, std::uint32_t wparam, std::int64_t lparam) override;
  std::int64_t SendMessage(std::uint32_t message, std::uint32_t wparam, std::int64_t lparam) override;
  void SetTimer(unsigned id, unsigned milliseconds) override;
  void KillTimer(unsigned id) override;

  // Ids of the running timers (UI thread).
  bool TimerRunning(unsigned id) const { return timers_.count(id) != 0; }

 protected:
  bool event(QEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  bool OnUiThread() const;
  bool Open() const;
  void StartTimerNow(unsigned id, unsigned milliseconds);
  void StopTimerNow(unsigned id);

  PrivateMessageTarget& target_;
  mutable std::mutex mutex_;
  std::condition_variable answered_;
  bool open_ = true;
  bool installed_ = false;  // UI thread only
  std::map<unsigned, int> timers_;  // our id -> Qt's timer id (UI thread only)
};

}  // namespace keyloom::app
