// keyloom-vkbd over a real socket: listing, command round trips, consumer
// events read through the interface's own descriptor, unplugging, faults,
// the state file and the trace.
#include "emulator/vkbd_server.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <thread>

#include "emulator/descriptors.h"
#include "emulator/state_file.h"
#include "platform/peer_user.h"
#include "vkbdsocket/socket_protocol.h"
#include "vkbdsocket/vkbd_client.h"

namespace keyloom::emulator {
namespace {

using namespace vkbdsocket;

// A minimal reading of a report descriptor: the input fields of the first
// report, enough to decode a consumer report the way a host does.
struct InputField {
  std::uint8_t reportId = 0;
  std::uint16_t usagePage = 0;
  std::uint32_t bitSize = 0;
  std::uint32_t count = 0;
  bool array = false;
};

std::vector<InputField> ReadInputFields(const std::vector<std::uint8_t>& d) {
  std::vector<InputField> fields;
  std::uint16_t page = 0;
  std::uint8_t id = 0;
  std::uint32_t size = 0, count = 0;
  for (std::size_t i = 0; i < d.size();) {
    const std::uint8_t prefix = d[i];
    const std::size_t n = (prefix & 3) == 3 ? 4 : (prefix & 3);
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < n && i + 1 + k < d.size(); ++k) v |= static_cast<std::uint32_t>(d[i + 1 + k]) << (8 * k);
    switch (prefix & 0xFC) {
      case 0x04: page = static_cast<std::uint16_t>(v); break;
      case 0x84: id = static_cast<std::uint8_t>(v); break;
      case 0x74: size = v; break;
      case 0x94: count = v; break;
      case 0x80: fields.push_back({id, page, size, count, (v & 2) == 0}); break;
      default: break;
    }
    i += 1 + n;
  }
  return fields;
}

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/vkbdtestXXXXXX";
    path_ = ::mkdtemp(tmpl);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

class RunningServer {
 public:
  explicit RunningServer(ServerOptions options) : server_(std::move(options)) {
    std::string error;
    started_ = server_.Start(error);
    error_ = error;
    if (started_) thread_ = std::thread([this] { server_.Run(); });
  }
  ~RunningServer() {
    server_.Stop();
    if (thread_.joinable()) thread_.join();
  }
  bool Started() const { return started_; }
  const std::string& Error() const { return error_; }
  VkbdServer& Server() { return server_; }

 private:
  VkbdServer server_;
  bool started_ = false;
  std::string error_;
  std::thread thread_;
};

class VkbdSocket : public ::testing::Test {
 protected:
  ServerOptions Options() {
    ServerOptions o;
    o.socketPath = dir / "kb.sock";
    o.latencyMs = 0;
    return o;
  }
  VkbdClient Open(std::uint8_t iface) {
    VkbdClient c;
    EXPECT_TRUE(c.Connect(dir / "kb.sock"));
    EXPECT_TRUE(c.Open(iface));
    return c;
  }
  CtlResult Ctl(const std::vector<std::string>& args) {
    VkbdClient c;
    CtlResult r{99, {}};
    std::uint8_t status = 0;
    if (c.Connect(dir / "kb.sock") && c.Ctl(args, status, r.text)) r.status = status;
    return r;
  }
  static std::optional<Report> Ask(VkbdClient& c, const Report& request, int timeoutMs = 2000) {
    if (!c.Send(request)) return std::nullopt;
    std::vector<std::uint8_t> reply;
    if (c.Receive(reply, timeoutMs) != 1 || reply.size() != kReportSize) return std::nullopt;
    Report r{};
    std::copy(reply.begin(), reply.end(), r.begin());
    return r;
  }
  TempDir dir;
};

TEST_F(VkbdSocket, ListsBothInterfacesWithTheirDescriptors) {
  for (auto model : {std::pair{0x0C45, 0x7672}, std::pair{0x320F, 0x505B}}) {
    auto o = Options();
    o.firmware.vendor = static_cast<std::uint16_t>(model.first);
    o.firmware.product = static_cast<std::uint16_t>(model.second);
    RunningServer s(o);
    ASSERT_TRUE(s.Started()) << s.Error();
    VkbdClient c;
    ASSERT_TRUE(c.Connect(dir / "kb.sock"));
    bool plugged = false;
    std::vector<InterfaceInfo> list;
    ASSERT_TRUE(c.List(plugged, list));
    EXPECT_TRUE(plugged);
    EXPECT_EQ(list, KeyboardInterfaces(o.firmware.vendor, o.firmware.product));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].usagePage, 0xFF1C);
    EXPECT_EQ(list[1].usage, 0x0092);
    EXPECT_EQ(list[1].inputLength, 64);
    EXPECT_EQ(list[1].outputLength, 64);
    EXPECT_EQ(list[0].usagePage, 0x000C);
    EXPECT_EQ(list[0].usage, 0x0001);
    // The descriptor agrees with the listed report length: id + 63 bytes.
    const auto fields = ReadInputFields(list[1].descriptor);
    ASSERT_EQ(fields.size(), 1u);
    EXPECT_EQ(fields[0].reportId, 0x04);
    EXPECT_EQ(1 + fields[0].bitSize * fields[0].count / 8, 64u);
  }
}

TEST_F(VkbdSocket, CommandRoundTripChangesTheKeyboard) {
  RunningServer s(Options());
  ASSERT_TRUE(s.Started()) << s.Error();
  auto c = Open(kCommandInterface);
  auto config = Ask(c, MakeRequest(kCmdReadConfig, 44, 0));
  ASSERT_TRUE(config);
  EXPECT_EQ((*config)[7], kStatusOk);
  EXPECT_EQ((*config)[8 + kConfigCapacity], 64);
  // Remap position 19 of slot 0 to B and play it.
  std::uint8_t triple[3] = {0x02, 0x02, 0x05};
  auto w = Ask(c, MakeRequest(kCmdWriteKeyLayer, 3, 3 * 19, triple));
  ASSERT_TRUE(w);
  EXPECT_EQ((*w)[7], kStatusOk);
  auto press = Ctl({"press", "--pos", "19", "--json"});
  EXPECT_EQ(press.status, 0);
  EXPECT_EQ(press.text,
            "{\"t\": 0, \"page\": 7, \"usage\": 5, \"down\": true}\n"
            "{\"t\": 10, \"page\": 7, \"usage\": 5, \"down\": false}\n");
  // A refused request answers on the socket too.
  auto bad = MakeRequest(kCmdReadConfig, 44, 0);
  bad[1] ^= 0xFF;
  auto refused = Ask(c, bad);
  ASSERT_TRUE(refused);
  EXPECT_EQ((*refused)[7], kStatusNotUnderstood);
}

TEST_F(VkbdSocket, ConsumerEventsDecodeThroughTheDescriptor) {
  RunningServer s(Options());
  ASSERT_TRUE(s.Started()) << s.Error();
  const auto fields = ReadInputFields(std::vector<std::uint8_t>(std::begin(kConsumerDescriptor),
                                                                std::end(kConsumerDescriptor)));
  ASSERT_EQ(fields.size(), 1u);
  EXPECT_EQ(fields[0].usagePage, 0x000C);
  EXPECT_TRUE(fields[0].array);
  auto decode = [&](const std::vector<std::uint8_t>& r) -> int {
    // Report id first, then count fields of bitSize bits, little-endian.
    if (r.empty() || r[0] != fields[0].reportId) return -1;
    if (r.size() != 1 + fields[0].bitSize * fields[0].count / 8) return -1;
    return r[1] | (r[2] << 8);
  };
  auto ev = Open(kConsumerInterface);
  struct Case {
    std::vector<std::string> ctl;
    int usage;
  };
  const Case cases[] = {{{"event", "0x0401"}, 0x0401},
                        {{"event", "0x1811"}, 0x1811},
                        {{"event", "6160"}, 0x1810},
                        {{"slot", "1"}, 0x0402},
                        {{"reset"}, 0x0402}};
  for (const auto& c : cases) {
    ASSERT_EQ(Ctl(c.ctl).status, 0);
    std::vector<std::uint8_t> r;
    ASSERT_EQ(ev.Receive(r, 2000), 1);
    EXPECT_EQ(decode(r), c.usage) << c.ctl[0];
    ASSERT_EQ(ev.Receive(r, 2000), 1);
    EXPECT_EQ(decode(r), 0) << "release after " << c.ctl[0];
  }
}

TEST_F(VkbdSocket, UnplugClosesOpenInterfacesAndHidesThem) {
  RunningServer s(Options());
  ASSERT_TRUE(s.Started()) << s.Error();
  auto cmd = Open(kCommandInterface);
  auto ev = Open(kConsumerInterface);
  ASSERT_EQ(Ctl({"unplug"}).status, 0);
  std::vector<std::uint8_t> r;
  EXPECT_EQ(ev.Receive(r, 2000), -1);
  EXPECT_EQ(cmd.Receive(r, 2000), -1);
  VkbdClient c;
  ASSERT_TRUE(c.Connect(dir / "kb.sock"));
  bool plugged = true;
  std::vector<InterfaceInfo> list;
  ASSERT_TRUE(c.List(plugged, list));
  EXPECT_FALSE(plugged);
  EXPECT_TRUE(list.empty());
  std::uint8_t status = 0;
  EXPECT_FALSE(c.Open(kCommandInterface, &status));
  EXPECT_EQ(status, kOpenUnplugged);
  EXPECT_EQ(Ctl({"event", "0x0401"}).status, 1);
  ASSERT_EQ(Ctl({"plug"}).status, 0);
  auto again = Open(kCommandInterface);
  EXPECT_TRUE(Ask(again, MakeRequest(kCmdReadConfig, 44, 0)));
}

TEST_F(VkbdSocket, FaultsOverTheSocket) {
  RunningServer s(Options());
  ASSERT_TRUE(s.Started()) << s.Error();
  auto c = Open(kCommandInterface);
  const auto read = MakeRequest(kCmdReadConfig, 44, 0);

  // A dropped reply: nothing comes back for it, the next one is answered.
  ASSERT_EQ(Ctl({"fault", "drop-replies", "1"}).status, 0);
  ASSERT_TRUE(c.Send(read));
  auto second = MakeRequest(kCmdReadLighting, 1, 0);
  auto reply = Ask(c, second);
  ASSERT_TRUE(reply);
  EXPECT_EQ((*reply)[3], kCmdReadLighting) << "the first reply was lost, not delivered late";

  // A delayed reply is overtaken by the next request's reply.
  ASSERT_EQ(Ctl({"fault", "delay-replies", "300", "1"}).status, 0);
  ASSERT_TRUE(c.Send(read));
  ASSERT_TRUE(c.Send(second));
  std::vector<std::uint8_t> r;
  ASSERT_EQ(c.Receive(r, 2000), 1);
  EXPECT_EQ(r[3], kCmdReadLighting);
  ASSERT_EQ(c.Receive(r, 2000), 1);
  EXPECT_EQ(r[3], kCmdReadConfig);

  // Refused: status 0xFE and nothing written.
  ASSERT_EQ(Ctl({"fault", "refuse", "1"}).status, 0);
  std::uint8_t nine = 9;
  reply = Ask(c, MakeRequest(kCmdWriteLighting, 1, 0, {&nine, 1}));
  ASSERT_TRUE(reply);
  EXPECT_EQ((*reply)[7], kStatusNotAllowed);
  EXPECT_EQ(s.Server().Firmware().Snapshot().lighting[0], 1) << "factory effect 1 kept";

  // Disconnect after one more request: its reply arrives, then the link drops.
  ASSERT_EQ(Ctl({"fault", "disconnect-after", "1"}).status, 0);
  EXPECT_TRUE(Ask(c, read));
  EXPECT_EQ(c.Receive(r, 2000), -1);
  EXPECT_FALSE(s.Server().Firmware().Plugged());
}

TEST_F(VkbdSocket, LongCtlOutputArrivesWhole) {
  RunningServer s(Options());
  ASSERT_TRUE(s.Started()) << s.Error();
  auto c = Open(kCommandInterface);
  // One macro of ten actions (A down/up five times, 10 ms apart), 255 cycles.
  std::vector<std::uint8_t> img = {0xAA, 0x55, 62, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 18, 0, 10, 0, 255, 0};
  for (int a = 0; a < 10; ++a) {
    img.push_back(0x01);
    img.push_back(a % 2 ? 0x20 : 0xA0);
    img.push_back(0x02);
    img.push_back(0x04);
  }
  ASSERT_EQ(img.size(), 62u);
  ASSERT_TRUE(Ask(c, MakeRequest(kCmdWriteMacro, 56, 0, img)));
  ASSERT_TRUE(Ask(c, MakeRequest(kCmdWriteMacro, 6, 56, std::span(img).subspan(56))));
  std::uint8_t triple[3] = {0x05, 0x01, 0x00};
  ASSERT_TRUE(Ask(c, MakeRequest(kCmdWriteKeyLayer, 3, 3 * 19, triple)));
  const auto r = Ctl({"press", "--pos", "19", "--json"});
  ASSERT_EQ(r.status, 0);
  EXPECT_GT(r.text.size(), 2 * kCtlReplyPart);
  EXPECT_EQ(std::count(r.text.begin(), r.text.end(), '\n'), 2550);
  EXPECT_NE(r.text.find("{\"t\": 25490, \"page\": 7, \"usage\": 4, \"down\": false}\n"), std::string::npos);
}

TEST_F(VkbdSocket, ReportInFlightIsCarriedOutAfterTheHostCloses) {
  auto o = Options();
  o.latencyMs = 50;
  RunningServer s(o);
  ASSERT_TRUE(s.Started()) << s.Error();
  {
    auto c = Open(kCommandInterface);
    std::uint8_t seven = 7;
    ASSERT_TRUE(c.Send(MakeRequest(kCmdWriteLighting, 1, 1, {&seven, 1})));
  }  // closed before the report reaches the keyboard
  for (int i = 0; i < 200 && s.Server().Firmware().Snapshot().lighting[1] != 7; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(s.Server().Firmware().Snapshot().lighting[1], 7);
}

// As on a hidraw node: every client bound to the command interface hears
// every reply, whoever asked; the consumer interface hears none of them. A
// client that never reads loses copies but never holds the keyboard up.
TEST_F(VkbdSocket, EveryCommandClientHearsEveryReply) {
  RunningServer s(Options());
  ASSERT_TRUE(s.Started()) << s.Error();
  auto asker = Open(kCommandInterface);
  auto listener = Open(kCommandInterface);
  auto events = Open(kConsumerInterface);
  auto idle = Open(kCommandInterface);  // never read

  std::uint8_t value = 0;
  for (int i = 0; i < 2000; ++i) {
    value = static_cast<std::uint8_t>(i);
    const Report request = MakeRequest(kCmdWriteLighting, 1, static_cast<std::uint16_t>(i % 40), {&value, 1});
    auto reply = Ask(asker, request, 1000);
    ASSERT_TRUE(reply) << "request " << i;
    std::vector<std::uint8_t> copy;
    ASSERT_EQ(listener.Receive(copy, 1000), 1) << "request " << i;
    EXPECT_TRUE(std::equal(copy.begin(), copy.end(), reply->begin(), reply->end())) << "request " << i;
  }
  std::vector<std::uint8_t> nothing;
  EXPECT_EQ(listener.Receive(nothing, 20), 0);
  EXPECT_EQ(events.Receive(nothing, 20), 0);
  // The idle client's queue holds what fitted, oldest first.
  ASSERT_EQ(idle.Receive(nothing, 0), 1);
  EXPECT_EQ(nothing[5], 0);
}

// Runs `body` in a child process; true when it returned true.
bool InChild(const std::function<bool()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body() ? 0 : 1);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The keyboard serves only its own user, and a client talks only to a
// server of its own user: another user's socket would hear every key map
// and macro sent to it. (The expected user is moved so that a process of
// our own user stands for another's.)
TEST_F(VkbdSocket, ServerAndClientTalkOnlyToTheirOwnUser) {
  RunningServer s(Options());
  ASSERT_TRUE(s.Started()) << s.Error();
  const std::string socket = dir / "kb.sock";
  EXPECT_TRUE(InChild([&] {
    peer::ScopedExpectedUser other(::geteuid() + 1);  // the server is "another user's"
    VkbdClient c;
    return !c.Connect(socket);
  }));
  {
    peer::ScopedExpectedUser other(::geteuid() + 1);  // the client is "another user's"
    EXPECT_TRUE(InChild([&] {
      peer::ScopedExpectedUser ours(::geteuid());
      VkbdClient c;
      bool plugged = false;
      std::vector<InterfaceInfo> list;
      return c.Connect(socket) && !c.List(plugged, list, 1000);
    }));
  }
  VkbdClient c;
  bool plugged = false;
  std::vector<InterfaceInfo> list;
  EXPECT_TRUE(c.Connect(socket) && c.List(plugged, list, 1000));
}

TEST_F(VkbdSocket, MalformedControlMessagesGetAnErrorAndAClose) {
  RunningServer s(Options());
  ASSERT_TRUE(s.Started()) << s.Error();
  const std::vector<std::vector<std::uint8_t>> cases = {
      {0x4C}, {0x4C, 2}, {0x4C, 1, 0}, {0x4F, 1}, {0x43, 1, 'x'}, {0x99, 1}, {0x00}};
  for (const auto& m : cases) {
    VkbdClient c;
    ASSERT_TRUE(c.Connect(dir / "kb.sock"));
    ASSERT_TRUE(c.Send(m));
    std::vector<std::uint8_t> r;
    ASSERT_EQ(c.Receive(r, 2000), 1);
    EXPECT_EQ(r[0], kMsgError);
    EXPECT_EQ(c.Receive(r, 2000), -1);
  }
  // The server still serves.
  EXPECT_EQ(Ctl({"status"}).status, 0);
}

TEST_F(VkbdSocket, StateSurvivesARestart) {
  auto o = Options();
  o.statePath = dir / "state";
  o.firmware.vendor = 0x320F;
  o.firmware.product = 0x505B;
  o.modelGiven = true;
  o.firmware.macroCapacity = 1024;
  o.capacityGiven = true;
  Memories before;
  {
    RunningServer s(o);
    ASSERT_TRUE(s.Started()) << s.Error();
    auto c = Open(kCommandInterface);
    std::vector<std::uint8_t> block(44, 0);
    block[kConfigActiveSlot] = 2;
    ASSERT_TRUE(Ask(c, MakeRequest(kCmdWriteConfig, 44, 0, block)));
    std::vector<std::uint8_t> macro = {0xAA, 0x55, 0x10, 0x00};
    ASSERT_TRUE(Ask(c, MakeRequest(kCmdWriteMacro, 4, 0, macro)));
    before = s.Server().Firmware().Snapshot();
  }
  // Restart without naming the model or capacity: both come from the file.
  auto again = Options();
  again.statePath = o.statePath;
  {
    RunningServer s(again);
    ASSERT_TRUE(s.Started()) << s.Error();
    EXPECT_EQ(s.Server().Firmware().Model().product, 0x505B);
    EXPECT_EQ(s.Server().Firmware().MacroCapacity(), 1024u);
    EXPECT_EQ(s.Server().Firmware().Snapshot(), before);
    EXPECT_EQ(s.Server().Firmware().ActiveSlot(), 2);
  }
  // A conflicting model on the command line is refused, and the file kept.
  std::string kept;
  ASSERT_TRUE(ReadWholeFile(o.statePath, kept));
  auto conflict = Options();
  conflict.statePath = o.statePath;
  conflict.modelGiven = true;  // 0c45:7672
  {
    RunningServer s(conflict);
    EXPECT_FALSE(s.Started());
    EXPECT_NE(s.Error().find("320f:505b"), std::string::npos) << s.Error();
  }
  // A damaged file is refused rather than overwritten.
  std::string damaged = kept;
  damaged[damaged.size() / 2] = 'z';
  ASSERT_TRUE(WriteFileAtomically(o.statePath, damaged));
  {
    RunningServer s(again);
    EXPECT_FALSE(s.Started());
  }
  std::string now;
  ASSERT_TRUE(ReadWholeFile(o.statePath, now));
  EXPECT_EQ(now, damaged);
}

TEST_F(VkbdSocket, TraceHasOneLinePerReport) {
  auto o = Options();
  o.tracePath = dir / "trace";
  {
    RunningServer s(o);
    ASSERT_TRUE(s.Started()) << s.Error();
    auto c = Open(kCommandInterface);
    ASSERT_TRUE(Ask(c, MakeRequest(kCmdBeginWrite, 0, 0)));
    ASSERT_TRUE(Ask(c, MakeRequest(kCmdEndWrite, 0, 0)));
  }
  std::ifstream f(dir / "trace");
  std::vector<std::string> lines;
  for (std::string line; std::getline(f, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 4u);
  const std::regex form("^[WR] [0-9a-f]{128}( .*)?$");
  for (const auto& l : lines) EXPECT_TRUE(std::regex_match(l, form)) << l;
  EXPECT_EQ(lines[0].substr(0, 10), "W 04010001");
  EXPECT_EQ(lines[1][0], 'R');
  EXPECT_EQ(lines[2].substr(0, 10), "W 04020002");
}

TEST_F(VkbdSocket, SecondServerOnTheSameSocketIsRefused) {
  RunningServer first(Options());
  ASSERT_TRUE(first.Started()) << first.Error();
  RunningServer second(Options());
  EXPECT_FALSE(second.Started());
  EXPECT_EQ(Ctl({"status"}).status, 0) << "the first server keeps its socket";
}

}  // namespace
}  // namespace keyloom::emulator
