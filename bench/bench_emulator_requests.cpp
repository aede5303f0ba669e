// How fast the firmware model answers requests, and how fast a macro plays.
#include <benchmark/benchmark.h>

#include "emulator/factory_memory.h"
#include "emulator/firmware_model.h"
#include "emulator/key_playback.h"
#include "vkbdsocket/socket_protocol.h"
#include "vkbdsocket/vkbd_client.h"

using namespace keyloom::emulator;
using namespace keyloom::vkbdsocket;

// One whole key layer written and read back in 56-byte chunks (seven each).
static void BM_LayerWriteRead(benchmark::State& state) {
  FirmwareModel kb;
  std::vector<std::uint8_t> layer(378, 0x02);
  for (auto _ : state) {
    for (std::size_t off = 0; off < layer.size(); off += 56) {
      const auto len = static_cast<std::uint8_t>(std::min<std::size_t>(56, layer.size() - off));
      benchmark::DoNotOptimize(kb.HandleRequest(
          MakeRequest(kCmdWriteKeyLayer, len, static_cast<std::uint16_t>(378 + off), {layer.data() + off, len})));
      benchmark::DoNotOptimize(
          kb.HandleRequest(MakeRequest(kCmdReadKeyLayer, len, static_cast<std::uint16_t>(378 + off))));
    }
  }
  state.SetItemsProcessed(state.iterations() * 14);
}
BENCHMARK(BM_LayerWriteRead);

// A refused request (bad checksum) costs no more than a good one.
static void BM_RefusedRequest(benchmark::State& state) {
  FirmwareModel kb;
  auto r = MakeRequest(kCmdReadConfig, 44, 0);
  r[1] ^= 1;
  for (auto _ : state) benchmark::DoNotOptimize(kb.HandleRequest(r));
}
BENCHMARK(BM_RefusedRequest);

// Playing a macro of 4000 actions repeated `cycles` times.
static void BM_MacroPlayback(benchmark::State& state) {
  const ModelInfo& model = *FindModel(0x0C45, 0x7672);
  Memories m = FactoryMemories(model, 32640, FactoryEffects());
  const std::size_t actions = 4000;
  auto put16 = [&](std::size_t at, std::uint16_t v) {
    m.macroArea[at] = static_cast<std::uint8_t>(v);
    m.macroArea[at + 1] = static_cast<std::uint8_t>(v >> 8);
  };
  put16(0, 0x55AA);
  put16(2, static_cast<std::uint16_t>(18 + 4 + 4 * actions));
  put16(4, 1);
  put16(16, 18);
  put16(18, actions);
  m.macroArea[20] = static_cast<std::uint8_t>(state.range(0));
  for (std::size_t a = 0; a < actions; ++a) {
    put16(22 + 4 * a, static_cast<std::uint16_t>((a % 2 ? 0x2000 : 0xA000) | 1));
    m.macroArea[22 + 4 * a + 2] = 0x02;
    m.macroArea[22 + 4 * a + 3] = static_cast<std::uint8_t>(4 + a % 26);
  }
  m.layers[3 * 19] = 0x05;
  m.layers[3 * 19 + 1] = 0x01;
  m.layers[3 * 19 + 2] = 0;
  KeyStroke s{19, 0, 10};
  for (auto _ : state) benchmark::DoNotOptimize(PlayKeys(m, model, {&s, 1}));
  state.SetItemsProcessed(state.iterations() * actions * state.range(0));
}
BENCHMARK(BM_MacroPlayback)->Arg(1)->Arg(255);

// One request and its reply through the socket server, latency 0 and 1 ms.
#include <unistd.h>

#include <memory>
#include <thread>

#include "emulator/descriptors.h"
#include "emulator/vkbd_server.h"

static void BM_SocketRoundTrip(benchmark::State& state) {
  char tmpl[] = "/tmp/vkbdbenchXXXXXX";
  const std::string dir = ::mkdtemp(tmpl);
  ServerOptions options;
  options.socketPath = dir + "/kb.sock";
  options.latencyMs = static_cast<std::uint32_t>(state.range(0));
  auto server = std::make_unique<VkbdServer>(options);
  std::string error;
  if (!server->Start(error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::thread serving([&] { server->Run(); });
  VkbdClient client;
  if (!client.Connect(options.socketPath) || !client.Open(kCommandInterface)) {
    state.SkipWithError("cannot open the command interface");
  } else {
    const auto request = MakeRequest(kCmdReadConfig, 44, 0);
    std::vector<std::uint8_t> reply;
    for (auto _ : state) {
      client.Send(request);
      if (client.Receive(reply, 1000) != 1) {
        state.SkipWithError("no reply");
        break;
      }
    }
  }
  client.Close();
  server->Stop();
  serving.join();
  server.reset();  // removes the socket file
  ::rmdir(dir.c_str());
}
BENCHMARK(BM_SocketRoundTrip)->Arg(0)->Arg(1)->UseRealTime();
