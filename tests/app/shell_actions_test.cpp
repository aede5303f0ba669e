#include "app/shell_actions.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#include "app/settings_paths.h"
#include "app/single_instance.h"
#include "app/store_locks.h"
#include "platform/host.h"

namespace keyloom::app {
namespace {

TEST(OpenHelp, OpensIndexWithTheLiteralNullParameterInTheHelpFolder) {
  ScopedSettingsPaths keep;
  InitProgramPaths("/srv/keyloom", "/srv/keyloom/keyloom");
  std::vector<shell::OpenRequest> seen;
  {
    shell::ScopedRecorder recorder([&](const shell::OpenRequest& r) {
      seen.push_back(r);
      return false;  // a failure is ignored
    });
    OpenHelp();
  }
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].file, std::filesystem::path("index.html"));
  EXPECT_EQ(seen[0].parameters, u"NULL");
  EXPECT_EQ(seen[0].directory, std::filesystem::path("/srv/keyloom/Help"));
  EXPECT_EQ(seen[0].show, shell::Show::Normal);
}

// A main window that records what reaches it.
class RecordingWindow : public host::MainWindow {
 public:
  struct Call {
    const char* how;
    std::uint32_t message, wparam;
    std::int64_t lparam;
  };
  void PostMessage(std::uint32_t m, std::uint32_t w, std::int64_t l) override {
    calls.push_back({"post", m, w, l});
  }
  std::int64_t SendMessage(std::uint32_t m, std::uint32_t w, std::int64_t l) override {
    calls.push_back({"send", m, w, l});
    return 0;
  }
  void SetTimer(unsigned, unsigned) override {}
  void KillTimer(unsigned) override {}
  std::vector<Call> calls;
};

TEST(ForwardToMainWindow, PostsTheRequestWithoutWaiting) {
  RecordingWindow window;
  {
    // Nothing installed: the request is dropped.
    host::ScopedMainWindow none(nullptr);
    ForwardToMainWindow(kShowRequest);
  }
  {
    host::ScopedMainWindow installed(&window);
    EXPECT_EQ(ForwardToMainWindow(kQuitRequest), 1);
  }
  ASSERT_EQ(window.calls.size(), 1u);
  EXPECT_STREQ(window.calls[0].how, "post");
  EXPECT_EQ(window.calls[0].message, 0x4D4Bu);
  EXPECT_EQ(window.calls[0].wparam, 0x4C4C494Bu);
  EXPECT_EQ(window.calls[0].lparam, 0);
}

TEST(StoreLocks, ReenterableByTheOwnerExclusiveToOthers) {
  ASSERT_NE(&KeyStoreLock(), &MacroStoreLock());
  std::lock_guard outer(KeyStoreLock());
  std::lock_guard inner(KeyStoreLock());
  std::lock_guard macro(MacroStoreLock());
  bool other_got_key = true;
  bool other_got_macro = true;
  std::thread other([&] {
    other_got_key = KeyStoreLock().try_lock();
    if (other_got_key) KeyStoreLock().unlock();
    other_got_macro = MacroStoreLock().try_lock();
    if (other_got_macro) MacroStoreLock().unlock();
  });
  other.join();
  EXPECT_FALSE(other_got_key);
  EXPECT_FALSE(other_got_macro);
}

}  // namespace
}  // namespace keyloom::app
