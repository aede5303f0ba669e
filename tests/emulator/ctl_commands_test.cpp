// The ctl commands on a firmware model, without a socket; and the real
// keyloom-vkbd program serving and answering ctl.
#include "emulator/ctl_commands.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
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

// Status 2 for a command line that is wrong on any keyboard, 1 for one this
// keyboard cannot carry out.
TEST(CtlCommands, BadArgumentsAreRefusedWithoutEffect) {
  struct Case {
    std::vector<std::string> args;
    int status;
  };
  const std::vector<Case> cases = {
      {{}, 2},
      {{"nonsense"}, 2},
      {{"slot", "3"}, 2},
      {{"slot", "-1"}, 2},
      {{"slot"}, 2},
      {{"event", "0x10000"}, 2},
      {{"event", "zz"}, 2},
      {{"press"}, 2},
      {{"press", "--pos", "126"}, 1},
      {{"press", "--pos"}, 2},
      {{"press", "--pos", "1@x"}, 2},
      {{"press", "--key", "0x87"}, 1},  // only the other model has it
      {{"press", "--pos", "19", "--hold", "abc"}, 2},
      {{"dump", "--xml"}, 2},
      {{"fault", "refuse"}, 2},
      {{"fault", "refuse", "many"}, 2},
      {{"fault", "explode", "1"}, 2},
      {{"fault", "delay-replies", "5"}, 2},
      {{"fault", "delay-replies", "5", "x"}, 2},
      {{"unplug", "now"}, 2},
  };
  for (const auto& c : cases) {
    FirmwareModel kb;
    FakeHost host(kb);
    const auto before = kb.Snapshot();
    const auto r = RunCtlCommand(kb, host, c.args);
    std::string joined;
    for (const auto& a : c.args) joined += a + " ";
    EXPECT_EQ(r.status, c.status) << joined;
    EXPECT_FALSE(r.text.empty()) << joined;
    EXPECT_EQ(kb.Snapshot(), before) << joined;
    EXPECT_TRUE(kb.Plugged()) << joined;
  }
  FirmwareModel kb;
  FakeHost host(kb);
  kb.SetPlugged(false);
  EXPECT_EQ(RunCtlCommand(kb, host, {"event", "0x0401"}).status, 1) << "unplugged";
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
  EXPECT_EQ(rc3, 2);
  EXPECT_EQ(bad, "keyloom-vkbd: slot must be 0, 1 or 2\n");
  auto [rc4, unknown] = run({"nonsense"});
  EXPECT_EQ(rc4, 2);
  EXPECT_EQ(unknown.rfind("usage: keyloom-vkbd ctl", 0), 0u) << unknown;
  auto [rc5, refused] = run({"press", "--key", "0x87"});
  EXPECT_EQ(rc5, 1);
  EXPECT_EQ(refused, "keyloom-vkbd: no key of the factory map has code 0x87\n");
  EXPECT_EQ(server.Stop(std::chrono::seconds(10)), 0) << "SIGTERM ends it cleanly";
  EXPECT_FALSE(std::filesystem::exists(sock)) << "the socket file is removed on exit";
  std::filesystem::remove_all(dir);
}

// Help and usage errors need no keyboard: nothing serves the socket here.
TEST(VkbdProgram, HelpAndUsageErrorsWithoutAKeyboard) {
  const std::string exe = std::string(KEYLOOM_BUILD_DIR) + "/keyloom-vkbd";
  if (!std::filesystem::exists(exe)) GTEST_SKIP() << "keyloom-vkbd not built";
  char tmpl[] = "/tmp/vkbdhelpXXXXXX";
  const std::string dir = ::mkdtemp(tmpl);
  const std::string sock = dir + "/none.sock";
  auto slurp = [](const std::string& file) {
    std::string text;
    if (FILE* f = std::fopen(file.c_str(), "r")) {
      char buf[4096];
      size_t n;
      while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
      std::fclose(f);
    }
    return text;
  };
  struct Case {
    std::string args;
    int status;
    std::string out;  // how stdout starts; empty: stdout is empty
    std::string err;  // how stderr starts; empty: stderr is empty
  };
  const std::string usage = "usage: keyloom-vkbd serve";
  const std::vector<Case> cases = {
      {"--help", 0, usage, ""},
      {"-h", 0, usage, ""},
      {"serve --help", 0, usage, ""},
      {"serve --socket " + sock + " --help", 0, usage, ""},
      {"ctl --help", 0, usage, ""},
      {"ctl --socket " + sock + " --help", 0, usage, ""},
      {"ctl --socket " + sock + " press --pos 19 --help", 0, usage, ""},
      {"", 2, "", usage},
      {"bogus", 2, "", "keyloom-vkbd: unknown command 'bogus'\n" + usage},
      {"serve --bogus 1", 2, "", "keyloom-vkbd: unknown option '--bogus'\n" + usage},
      {"serve --socket", 2, "", "keyloom-vkbd: --socket needs a value\n" + usage},
      {"serve --model 1:2", 2, "", "keyloom-vkbd: unknown model '1:2'"},
      {"ctl --socket", 2, "", "keyloom-vkbd: --socket needs a value\n" + usage},
      {"ctl --socket " + sock, 2, "", "keyloom-vkbd: ctl needs a command\n" + usage},
      {"ctl --socket " + sock + " status", 1, "", "keyloom-vkbd: no virtual keyboard serves " + sock},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const std::string out = dir + "/out", err = dir + "/err";
    const int rc = std::system((exe + " " + c.args + " >" + out + " 2>" + err).c_str());
    ASSERT_TRUE(WIFEXITED(rc));
    EXPECT_EQ(WEXITSTATUS(rc), c.status);
    const std::string o = slurp(out), e = slurp(err);
    // Empty expected text: nothing at all; otherwise how the output starts.
    EXPECT_EQ(c.out.empty() ? o : o.substr(0, c.out.size()), c.out) << o;
    EXPECT_EQ(c.err.empty() ? e : e.substr(0, c.err.size()), c.err) << e;
  }
  EXPECT_FALSE(std::filesystem::exists(sock)) << "help serves nothing";
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace keyloom::emulator
