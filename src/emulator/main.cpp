// keyloom-vkbd: the virtual Tarn-60.
//   keyloom-vkbd serve [--socket PATH] [--model 0c45:7672|320f:505b]
//                      [--capacity BYTES] [--effects LIST] [--state FILE]
//                      [--latency-ms N] [--trace FILE]
//   keyloom-vkbd ctl [--socket PATH] COMMAND...
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "app/version.h"
#include "emulator/ctl_commands.h"
#include "emulator/vkbd_server.h"
#include "vkbdsocket/vkbd_client.h"

namespace {

using namespace keyloom::emulator;
using namespace keyloom::vkbdsocket;

VkbdServer* g_server = nullptr;

void OnSignal(int) {
  if (g_server) g_server->Stop();
}

std::string UsageText() {
  return "usage: keyloom-vkbd serve [--socket PATH] [--model 0c45:7672|320f:505b] [--capacity BYTES]\n"
         "                          [--effects N,N,...] [--state FILE] [--latency-ms N] [--trace FILE]\n"
         "       " +
         CtlUsage() + "\n       keyloom-vkbd --version\n";
}

// Asked for: the usage on stdout, success.
int Help() {
  std::fputs(UsageText().c_str(), stdout);
  return 0;
}

// Bad usage: what was wrong (when known) and the usage on stderr, status 2.
int Usage(const std::string& problem = {}) {
  if (!problem.empty()) std::fprintf(stderr, "keyloom-vkbd: %s\n", problem.c_str());
  std::fputs(UsageText().c_str(), stderr);
  return 2;
}

bool IsHelp(const std::string& word) { return word == "--help" || word == "-h"; }

bool ParseEffects(const std::string& text, std::vector<std::uint8_t>& effects) {
  effects.clear();
  std::size_t start = 0;
  while (start <= text.size()) {
    const auto comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    std::uint32_t v = 0;
    if (!ParseNumber(item, 255, v) || effects.size() == 32) return false;
    effects.push_back(static_cast<std::uint8_t>(v));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return !effects.empty();
}

int Serve(const std::vector<std::string>& args) {
  ServerOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (IsHelp(a)) return Help();
    if (i + 1 >= args.size()) {
      return Usage(a.rfind("--", 0) == 0 ? a + " needs a value" : "unknown argument '" + a + "'");
    }
    const std::string& v = args[++i];
    std::uint32_t n = 0;
    if (a == "--socket") {
      options.socketPath = v;
    } else if (a == "--model") {
      const ModelInfo* m = ParseModelName(v);
      if (!m) {
        std::fprintf(stderr, "keyloom-vkbd: unknown model '%s' (0c45:7672 or 320f:505b)\n", v.c_str());
        return 2;
      }
      options.firmware.vendor = m->vendor;
      options.firmware.product = m->product;
      options.modelGiven = true;
    } else if (a == "--capacity") {
      if (!ParseNumber(v, 255 * 128, n) || n < 128) {
        std::fprintf(stderr, "keyloom-vkbd: --capacity must be 128..32640 bytes\n");
        return 2;
      }
      options.firmware.macroCapacity = n;
      options.capacityGiven = true;
    } else if (a == "--effects") {
      if (!ParseEffects(v, options.firmware.effects)) {
        std::fprintf(stderr, "keyloom-vkbd: --effects takes up to 32 numbers 0..255, comma-separated\n");
        return 2;
      }
    } else if (a == "--state") {
      options.statePath = v;
    } else if (a == "--latency-ms") {
      if (!ParseNumber(v, 10000, n)) {
        std::fprintf(stderr, "keyloom-vkbd: --latency-ms must be 0..10000\n");
        return 2;
      }
      options.latencyMs = n;
    } else if (a == "--trace") {
      options.tracePath = v;
    } else {
      return Usage("unknown option '" + a + "'");
    }
  }
  VkbdServer server(options);
  std::string error;
  if (!server.Start(error)) {
    std::fprintf(stderr, "keyloom-vkbd: %s\n", error.c_str());
    return 1;
  }
  g_server = &server;
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  std::fprintf(stderr, "keyloom-vkbd: %s keyboard on %s\n", ModelName(server.Firmware().Model()).c_str(),
               server.SocketPath().c_str());
  const int rc = server.Run();
  g_server = nullptr;
  return rc;
}

int Ctl(const std::vector<std::string>& args) {
  // Help is answered here, without a keyboard to ask.
  for (const std::string& a : args) {
    if (IsHelp(a)) return Help();
  }
  std::string path = DefaultSocketPath();
  std::size_t i = 0;
  if (!args.empty() && args[0] == "--socket") {
    if (args.size() < 2) return Usage("--socket needs a value");
    path = args[1];
    i = 2;
  }
  std::vector<std::string> command(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
  if (command.empty()) return Usage("ctl needs a command");
  VkbdClient client;
  if (!client.Connect(path)) {
    std::fprintf(stderr, "keyloom-vkbd: no virtual keyboard serves %s\n", path.c_str());
    return 1;
  }
  std::uint8_t status = 0;
  std::string text;
  if (!client.Ctl(command, status, text)) {
    std::fprintf(stderr, "keyloom-vkbd: no answer from %s\n", path.c_str());
    return 1;
  }
  if (status == 0) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
  }
  // Errors carry the program's name; the usage text names it already.
  if (text.rfind("usage: ", 0) != 0) std::fputs("keyloom-vkbd: ", stderr);
  std::fwrite(text.data(), 1, text.size(), stderr);
  return status == 2 ? 2 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage();
  const std::string verb = args[0];
  args.erase(args.begin());
  if (IsHelp(verb) || verb == "help") return Help();
  if (verb == "--version") {
    std::printf("%s\n", keyloom::app::VersionLine("keyloom-vkbd").c_str());
    return 0;
  }
  if (verb == "serve") return Serve(args);
  if (verb == "ctl") return Ctl(args);
  return Usage("unknown command '" + verb + "'");
}
