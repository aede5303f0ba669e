#include "app/store_locks.h"

namespace keyloom::app {

std::recursive_mutex& KeyStoreLock() {
  static std::recursive_mutex lock;
  return lock;
}

std::recursive_mutex& MacroStoreLock() {
  static std::recursive_mutex lock;
  return lock;
}

}  // namespace keyloom::app
