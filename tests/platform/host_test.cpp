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
  std::vector<std::uint32_t> posted;
  void PostMessage(std::uint32_t m, std::uint32_t, std::int64_t) override { posted.push_back(m); }
  std::int64_t SendMessage(std::uint32_t m, std::uint32_t, std::int64_t) override { return m; }
  void SetTimer(unsigned, unsigned) override {}
  void KillTimer(unsigned) override {}
};

TEST(Host, WithoutAnInstalledWindowCallsAreDropped) {
  PostToMainWindow(Tag("OPEN"), 0, 0);  // nothing installed: no crash
}

TEST(Host, CallsReachTheInstalledWindow) {
  RecordingWindow w;
  SetMainWindow(&w);
  PostToMainWindow(Tag("OPEN"), 0, 0);
  SetMainWindow(nullptr);
  PostToMainWindow(Tag("KILL"), 0, 0);
  EXPECT_EQ(w.posted, std::vector<std::uint32_t>{Tag("OPEN")});
}

}  // namespace
}  // namespace keyloom::host
