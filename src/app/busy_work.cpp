#include "app/busy_work.h"

#include <utility>

namespace keyloom::app {

BusyWork::~BusyWork() { Wait(); }

bool BusyWork::Start(Work work, Finished finished) {
  std::lock_guard lock(mutex_);
  bool idle = false;
  if (!busy_.compare_exchange_strong(idle, true)) return false;
  if (thread_.joinable()) thread_.join();
  thread_ = std::thread([this, work = std::move(work), finished = std::move(finished)] {
    const int result = work ? work() : 0;
    if (finished) finished(result);
    busy_.store(false);
  });
  return true;
}

void BusyWork::Wait() {
  std::thread finished;
  {
    std::lock_guard lock(mutex_);
    finished = std::move(thread_);
  }
  if (finished.joinable()) finished.join();
}

}  // namespace keyloom::app
