#include "profiles/profile_observer.h"

#include <atomic>

namespace keyloom::profiles {

namespace {
std::atomic<ProfileObserver*> g_observer{nullptr};
}  // namespace

void SetProfileObserver(ProfileObserver* observer) { g_observer.store(observer); }

ProfileObserver& Observer() {
  static ProfileObserver none;
  ProfileObserver* observer = g_observer.load();
  return observer ? *observer : none;
}

}  // namespace keyloom::profiles
