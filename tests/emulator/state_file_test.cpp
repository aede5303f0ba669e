// The virtual keyboard's state file: a save killed at any moment leaves the
// old or the new state, and a state file that cannot be read is never
// replaced by a fresh keyboard's.
#include "emulator/state_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "emulator/vkbd_server.h"
#include "support/kill_during_saves.h"
#include "../platform/test_dir.h"

namespace keyloom::emulator {
namespace {

using keyloom::testing::TempDir;

TEST(StateFile, KilledSavesLeaveTheOldOrTheNewState) {
  if (testing_support::KillDuringSaves::kSkipped) GTEST_SKIP() << testing_support::KillDuringSaves::kSkipReason;
  TempDir dir;
  FirmwareOptions options;
  options.macroCapacity = 65536;  // a larger file: about 300 KB of hex
  FirmwareModel model(options);
  Memories states[2] = {model.Snapshot(), model.Snapshot()};
  std::fill(states[1].macroArea.begin(), states[1].macroArea.end(), 0x5A);
  states[1].config[10] = 2;
  testing_support::KillDuringSaves run;
  run.file = dir.path() / "state";
  run.save = [&](int v) {
    return WriteFileAtomically(run.file, EncodeState(model.Model(), model.MacroCapacity(), states[v]));
  };
  const testing_support::KillDuringSaves::Figures f = run.Run(200);
  EXPECT_EQ(f.kills, 200);
  EXPECT_EQ(f.mixed, 0);
  EXPECT_LE(f.most_temporaries, 1);
  EXPECT_EQ(f.temporaries_left, 0);
  DecodedState decoded;
  std::string error;
  EXPECT_TRUE(DecodeState(run.versions[1], decoded, error)) << error;
}

TEST(StateFile, OneThatCannotBeReadStopsTheStartAndIsKept) {
  TempDir dir;
  struct Case {
    const char* what;
    std::function<void(const std::filesystem::path&)> make;
  } cases[] = {
      {"a folder", [](const std::filesystem::path& p) { std::filesystem::create_directory(p); }},
      {"garbage", [](const std::filesystem::path& p) { std::ofstream(p, std::ios::binary) << std::string(100, '\xEE'); }},
      {"truncated", [](const std::filesystem::path& p) {
         FirmwareModel model{FirmwareOptions{}};
         const std::string whole = EncodeState(model.Model(), model.MacroCapacity(), model.Snapshot());
         std::ofstream(p, std::ios::binary) << whole.substr(0, whole.size() - 7);
       }},
      {"larger than the bound", [](const std::filesystem::path& p) {
         { std::ofstream(p) << "keyloom-vkbd-state 1\n"; }
         std::filesystem::resize_file(p, kMaxStateFileBytes + 1);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::filesystem::path state = dir.path() / (std::string("state-") + c.what);
    c.make(state);
    const auto before = std::filesystem::is_directory(state) ? 0 : std::filesystem::file_size(state);
    ServerOptions o;
    o.socketPath = (dir.path() / "kb.sock").string();
    o.statePath = state.string();
    VkbdServer server(o);
    std::string error;
    EXPECT_FALSE(server.Start(error));
    EXPECT_EQ(error.rfind(state.string() + ": ", 0), 0u) << error;
    if (before) {
      EXPECT_EQ(std::filesystem::file_size(state), before);
    }
    else EXPECT_TRUE(std::filesystem::is_directory(state));
  }
}

}  // namespace
}  // namespace keyloom::emulator
