#include "platform/host.h"

#include <gtest/gtest.h>

#include <vector>

namespace keyloom::host {
namespace {

TEST(HostTag, BytesSpellTheTagFromTheHighByteDown) {
  EXPECT_EQ(Tag("OPEN"), 0x4F50454Eu);
  EXPECT_EQ(Tag("KILL"), 0x4B494C4Cu);
  EXPECT_EQ(Tag("LANG"), 0x4C414E47u);
}

struct RecordingWindow : MainWindow {
  std::vector<unsigned> timers;
  void PostMessage(std::uint32_t, std::uint32_t, std::int64_t) override {}
  std::int64_t SendMessage(std::uint32_t m, std::uint32_t, std::int64_t) override { return m; }
  void SetTimer(unsigned id, unsigned) override { timers.push_back(id); }
  void KillTimer(unsigned) override {}
};

TEST(Host, WithoutAnInstalledWindowCallsAreDropped) {
  EXPECT_EQ(SendToMainWindow(1, 2, 3), 0);
  SetMainTimer(1051, 0);  // nothing installed: no crash
}

TEST(Host, CallsReachTheInstalledWindow) {
  RecordingWindow w;
  SetMainWindow(&w);
  SetMainTimer(1051, 0);
  EXPECT_EQ(SendToMainWindow(0x5452, 0, 0), 0x5452);
  SetMainWindow(nullptr);
  SetMainTimer(1053, 0);
  EXPECT_EQ(w.timers, std::vector<unsigned>{1051});
}

}  // namespace
}  // namespace keyloom::host
