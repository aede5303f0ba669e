#pragma once
// The editing store's lock as the profile operations take it: the
// application's key store lock first, then the store's own mutex. Both are
// recursive, so a caller that already holds them may take them again.
#include <mutex>

#include "app/store_locks.h"
#include "keys/key_macro_store.h"
#include "profiles/keyboard_session.h"

namespace keyloom::profiles {

class EditingLock {
 public:
  explicit EditingLock(const keys::KeyMacroStore& store) : app_(app::KeyStoreLock()), store_(store.Mutex()) {}
  explicit EditingLock(KeyboardSession& session) : EditingLock(session.stores.EditingStore) {}

 private:
  std::unique_lock<std::recursive_mutex> app_;
  std::unique_lock<std::recursive_mutex> store_;
};

}  // namespace keyloom::profiles
