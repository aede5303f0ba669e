#pragma once
// Work that must not hold up the windows (saving and writing the keyboard,
// reading it back, restoring a profile) runs here on a worker thread, one
// piece at a time. The finished callback runs on the worker thread with the
// work's result; the GUI moves it onto its own thread.
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace keyloom::app {

class BusyWork {
 public:
  using Work = std::function<int()>;
  using Finished = std::function<void(int result)>;

  BusyWork() = default;
  // Waits for the work still running.
  ~BusyWork();
  BusyWork(const BusyWork&) = delete;
  BusyWork& operator=(const BusyWork&) = delete;

  // Starts `work`; false (and nothing runs) while earlier work is running.
  bool Start(Work work, Finished finished);
  // Work started and its finished callback not yet returned.
  bool Busy() const { return busy_.load(); }
  // Waits until no work runs.
  void Wait();

 private:
  std::mutex mutex_;  // guards thread_
  std::thread thread_;
  std::atomic<bool> busy_{false};
};

}  // namespace keyloom::app
