// The ctl commands on a firmware model, without a socket; and the real
// keyloom-vkbd program serving and answering ctl.
#include "emulator/ctl_commands.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "emulator/state_file.h"
#include "support/process_runner.h"
#include "vkbdsocket/socket_protocol.h"
#include "vkbdsocket/vkbd_client.h"

namespace keyloom::emulator {
namespace {

using namespace vkbdsocket;

class FakeHost : public CtlHost {
 public:
  explicit FakeHost(FirmwareModel& kb) : kb_(kb) {}
  void Unplug() override { kb_.SetPlugged(false); }
  void Plug() override { kb_.SetPlugged(true); }

 private:
  FirmwareModel& kb_;
};

TEST(CtlCommands, BadArgumentsAreRefusedWithoutEffect) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"nonsense"},
      {"slot", "3"},
      {"slot", "-1"},
      {"slot"},
      {"event", "0x10000"},
      {"event", "zz"},
      {"press"},
      {"press", "--pos", "126"},
      {"press", "--pos"},
      {"press", "--pos", "1@x"},
      {"press", "--key", "0x87"},  // only the other model has it
      {"press", "--pos", "19", "--hold", "abc"},
      {"dump", "--xml"},
      {"fault", "refuse"},
      {"fault", "refuse", "many"},
      {"fault", "explode", "1"},
      {"fault", "delay-replies", "5"},
      {"unplug", "now"},
  };
  for (const auto& args : cases) {
    FirmwareModel kb;
    FakeHost host(kb);
    const auto before = kb.Snapshot();
    const auto r = RunCtlCommand(kb, host, args);
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    EXPECT_EQ(r.status, 1) << joined;
    EXPECT_FALSE(r.text.empty()) << joined;
    EXPECT_EQ(kb.Snapshot(), before) << joined;
    EXPECT_TRUE(kb.Plugged()) << joined;
  }
}

TEST(CtlCommands, PressByPositionAndByFactoryCode) {
  FirmwareModel kb;
  FakeHost host(kb);
  const std::string a =
      "{\"t\": 0, \"page\": 7, \"usage\": 4, \"down\": true}\n"
      "{\"t\": 10, \"page\": 7, \"usage\": 4, \"down\": false}\n";
  EXPECT_EQ(RunCtlCommand(kb, host, {"press", "--pos", "19", "--json"}).text, a);
  EXPECT_EQ(RunCtlCommand(kb, host, {"press", "--key", "0x04", "--json"}).text, a);
  // Two strokes, the second later, with a longer hold.
  const auto r = RunCtlCommand(kb, host, {"press", "--key", "0xE1", "--pos", "19@5", "--hold", "20", "--json"});
  EXPECT_EQ(r.text,
            "{\"t\": 0, \"page\": 7, \"usage\": 225, \"down\": true}\n"
            "{\"t\": 5, \"page\": 7, \"usage\": 4, \"down\": true}\n"
            "{\"t\": 20, \"page\": 7, \"usage\": 225, \"down\": false}\n"
            "{\"t\": 25, \"page\": 7, \"usage\": 4, \"down\": false}\n");
  // A disabled key prints nothing.
  std::uint8_t zero[3] = {};
  kb.HandleRequest(MakeRequest(kCmdWriteKeyLayer, 3, 3 * 19, zero));
  const auto off = RunCtlCommand(kb, host, {"press", "--pos", "19", "--json"});
  EXPECT_EQ(off.status, 0);
  EXPECT_EQ(off.text, "");
}

TEST(CtlCommands, FaultsSlotAndReset) {
  FirmwareModel kb;
  FakeHost host(kb);
  const auto factory = kb.Snapshot();
  EXPECT_EQ(RunCtlCommand(kb, host, {"slot", "2"}).status, 0);
  EXPECT_EQ(kb.ActiveSlot(), 2);
  EXPECT_EQ(RunCtlCommand(kb, host, {"fault", "refuse", "0x2"}).status, 0);
  const auto read = MakeRequest(kCmdReadConfig, 44, 0);
  EXPECT_EQ(kb.Transact(read).reply[7], kStatusNotAllowed);
  EXPECT_EQ(RunCtlCommand(kb, host, {"reset"}).status, 0);
  EXPECT_EQ(kb.Transact(read).reply[7], kStatusOk) << "reset clears faults";
  EXPECT_EQ(kb.Snapshot(), factory);
  EXPECT_EQ(RunCtlCommand(kb, host, {"fault", "disconnect-after", "0"}).status, 0);
  EXPECT_FALSE(kb.Plugged()) << "disconnect-after 0 unplugs at once";
  EXPECT_EQ(RunCtlCommand(kb, host, {"plug"}).status, 0);
  EXPECT_EQ(RunCtlCommand(kb, host, {"unplug"}).status, 0);
  EXPECT_FALSE(kb.Plugged());
  EXPECT_EQ(RunCtlCommand(kb, host, {"plug"}).status, 0);
  EXPECT_TRUE(kb.Plugged());
}

TEST(CtlCommands, DumpJsonHoldsTheRawMemories) {
  FirmwareOptions o;
  o.vendor = 0x320F;
  o.product = 0x505B;
  FirmwareModel kb(o);
  FakeHost host(kb);
  const auto r = RunCtlCommand(kb, host, {"dump", "--json"});
  ASSERT_EQ(r.status, 0);
  const auto m = kb.Snapshot();
  // The string value after "name": (no regular expressions: the values are
  // thousands of digits long).
  auto field = [&](const std::string& name) -> std::string {
    const std::string key = "\"" + name + "\": \"";
    const auto at = r.text.find(key);
    if (at == std::string::npos) return "missing";
    const auto end = r.text.find('"', at + key.size());
    return r.text.substr(at + key.size(), end - at - key.size());
  };
  auto isHex = [](const std::string& v) { return v.find_first_not_of("0123456789abcdef") == std::string::npos; };
  EXPECT_EQ(field("model"), "320f:505b");
  EXPECT_EQ(field("config"), ToHex(m.config.data(), 44));
  for (const char* name : {"lighting", "key_colours", "macro_area"}) EXPECT_TRUE(isHex(field(name))) << name;
  EXPECT_EQ(field("lighting").size(), 2u * 126);
  EXPECT_EQ(field("key_colours").size(), 2u * 1536);
  EXPECT_EQ(field("macro_area").size(), 2u * 8192);
  EXPECT_EQ(field("factory_map"), ToHex(m.factoryMap.data(), 512));
  const auto layersAt = r.text.find("\"layers\": [\"");
  ASSERT_NE(layersAt, std::string::npos);
  std::size_t pos = layersAt + 11;
  for (std::size_t p = 0; p < 3; ++p) {
    ASSERT_EQ(r.text[pos], '"');
    const auto end = r.text.find('"', pos + 1);
    const std::string layer = r.text.substr(pos + 1, end - pos - 1);
    EXPECT_EQ(layer, ToHex(m.layers.data() + p * 512, 512)) << p;
    pos = end + 1;
    if (p < 2) {
      ASSERT_EQ(r.text.substr(pos, 2), ", ");
      pos += 2;
    }
  }
  EXPECT_EQ(r.text[pos], ']');
  EXPECT_EQ(r.text.back(), '\n');
  EXPECT_EQ(std::count(r.text.begin(), r.text.end(), '\n'), 1);
}

// The program itself: serve on a socket, answer ctl, stop on SIGTERM.
TEST(VkbdProgram, ServesAndAnswersCtl) {
  const std::string exe = std::string(KEYLOOM_BUILD_DIR) + "/keyloom-vkbd";
  if (!std::filesystem::exists(exe)) GTEST_SKIP() << "keyloom-vkbd not built";
  char tmpl[] = "/tmp/vkbdprogXXXXXX";
  const std::string dir = ::mkdtemp(tmpl);
  const std::string sock = dir + "/s.sock";
  testing_support::ProcessStart serve;
  serve.program = exe;
  serve.args = {"serve", "--socket", sock, "--latency-ms", "0"};
  serve.env = testing_support::CurrentEnvironment();
  serve.output_file = serve.error_file = dir + "/server.log";
  testing_support::ChildProcess server(serve);
  ASSERT_TRUE(server.started());
  VkbdClient probe;
  for (int i = 0; i < 200 && !probe.Connect(sock); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(probe.Connected());
  auto run = [&](std::vector<std::string> args) {
    testing_support::ProcessStart ctl = serve;
    ctl.args = {"ctl", "--socket", sock};
    ctl.args.insert(ctl.args.end(), args.begin(), args.end());
    ctl.output_file.clear();
    ctl.error_file.clear();
    const testing_support::RunResult r = testing_support::RunProgram(ctl);
    return std::pair{r.status, r.out + r.err};
  };
  auto [rc, dump] = run({"dump", "--json"});
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(dump.rfind("{\"model\": \"0c45:7672\"", 0), 0u) << dump.substr(0, 80);
  auto [rc2, press] = run({"press", "--pos", "112", "--json"});
  EXPECT_EQ(rc2, 0);
  EXPECT_EQ(press,
            "{\"t\": 0, \"page\": 12, \"usage\": 182, \"down\": true}\n"
            "{\"t\": 10, \"page\": 12, \"usage\": 182, \"down\": false}\n");
  auto [rc3, bad] = run({"slot", "7"});
  EXPECT_EQ(rc3, 1);
  EXPECT_EQ(server.Stop(std::chrono::seconds(10)), 0) << "SIGTERM ends it cleanly";
  EXPECT_FALSE(std::filesystem::exists(sock)) << "the socket file is removed on exit";
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace keyloom::emulator
