#pragma once
// Real-binary tests of keyloomctl: a keyloom-vkbd server started for the
// test on a socket of its own, keyloomctl run against it with a private
// home and data folder, and the server's memories and playback read back
// through `keyloom-vkbd ctl`; the programs run through process_runner.h.
//
//   VkbdProcess kb({"--latency-ms", "5"});
//   ASSERT_TRUE(kb.Started()) << kb.Error();
//   const RunResult r = kb.Keyloomctl({"keys", "set", "0x01E", "key:B"});
//   const auto events = kb.Press({"--key", "0x04"});
//   const JsonValue dump = kb.Dump();
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/process_runner.h"

namespace keyloom::cli::testing {

// ---- a small JSON reader for what ctl prints ----

struct JsonValue {
  enum class Type { kNull, kBool, kNumber, kString, kArray, kObject } type = Type::kNull;
  bool boolean = false;
  double number = 0;
  std::string string;
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue> members;

  bool Has(const std::string& key) const { return members.count(key) != 0; }
  const JsonValue& operator[](const std::string& key) const {
    static const JsonValue kNull;
    const auto it = members.find(key);
    return it == members.end() ? kNull : it->second;
  }
  const JsonValue& operator[](std::size_t i) const {
    static const JsonValue kNull;
    return i < items.size() ? items[i] : kNull;
  }
  int Int() const { return static_cast<int>(number); }
};

class JsonReader {
 public:
  explicit JsonReader(const std::string& text) : s_(text) {}
  // False when the text is not one JSON value (spaces around allowed).
  bool Read(JsonValue& out) {
    if (!Value(out, 0)) return false;
    Space();
    return i_ == s_.size();
  }

 private:
  void Space() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t')) ++i_;
  }
  bool Literal(const char* word) {
    const std::string w(word);
    if (s_.compare(i_, w.size(), w) != 0) return false;
    i_ += w.size();
    return true;
  }
  bool String(std::string& out) {
    if (i_ >= s_.size() || s_[i_] != '"') return false;
    ++i_;
    while (i_ < s_.size() && s_[i_] != '"') {
      if (s_[i_] == '\\') {
        if (++i_ >= s_.size()) return false;
        const char e = s_[i_];
        if (e == 'u') {
          if (i_ + 4 >= s_.size()) return false;
          const unsigned code = std::stoul(s_.substr(i_ + 1, 4), nullptr, 16);
          out += code < 0x80 ? char(code) : '?';
          i_ += 4;
        } else {
          out += e == 'n' ? '\n' : e == 't' ? '\t' : e;
        }
        ++i_;
        continue;
      }
      out += s_[i_++];
    }
    if (i_ >= s_.size()) return false;
    ++i_;
    return true;
  }
  bool Value(JsonValue& v, int depth) {
    if (depth > 32) return false;
    Space();
    if (i_ >= s_.size()) return false;
    const char c = s_[i_];
    if (c == '{') {
      v.type = JsonValue::Type::kObject;
      ++i_;
      Space();
      if (i_ < s_.size() && s_[i_] == '}') return ++i_, true;
      for (;;) {
        Space();
        std::string key;
        if (!String(key)) return false;
        Space();
        if (i_ >= s_.size() || s_[i_++] != ':') return false;
        if (!Value(v.members[key], depth + 1)) return false;
        Space();
        if (i_ >= s_.size()) return false;
        if (s_[i_] == ',') {
          ++i_;
          continue;
        }
        return s_[i_++] == '}';
      }
    }
    if (c == '[') {
      v.type = JsonValue::Type::kArray;
      ++i_;
      Space();
      if (i_ < s_.size() && s_[i_] == ']') return ++i_, true;
      for (;;) {
        v.items.emplace_back();
        if (!Value(v.items.back(), depth + 1)) return false;
        Space();
        if (i_ >= s_.size()) return false;
        if (s_[i_] == ',') {
          ++i_;
          continue;
        }
        return s_[i_++] == ']';
      }
    }
    if (c == '"') {
      v.type = JsonValue::Type::kString;
      return String(v.string);
    }
    if (Literal("true")) return v.type = JsonValue::Type::kBool, v.boolean = true, true;
    if (Literal("false")) return v.type = JsonValue::Type::kBool, true;
    if (Literal("null")) return true;
    std::size_t used = 0;
    try {
      v.number = std::stod(s_.substr(i_, 32), &used);
    } catch (...) {
      return false;
    }
    v.type = JsonValue::Type::kNumber;
    i_ += used;
    return used > 0;
  }

  const std::string& s_;
  std::size_t i_ = 0;
};

inline std::vector<std::uint8_t> HexBytes(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

// ---- processes ----

using testing_support::RunResult;

// Runs `program` with `args` and the environment `env` (NAME=VALUE), stdin
// from `input`, and waits for it (killed after `limit`).
// With `terminal`, stdin is a pseudo-terminal on which `input` is typed.
inline RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::vector<std::string>& env, const std::string& input = "",
                            bool terminal = false, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
  testing_support::ProcessStart start;
  start.program = program;
  start.args = args;
  start.env = env;
  start.input = input;
  start.terminal = terminal;
  return testing_support::RunProgram(start, limit);
}

class VkbdProcess {
 public:
  // Extra `keyloom-vkbd serve` options, e.g. {"--capacity", "256"}.
  explicit VkbdProcess(std::vector<std::string> serve_options = {}) {
    dir_ = std::filesystem::temp_directory_path() /
           ("keyloom-cli-" + std::to_string(getpid()) + "-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir_ / "home");
    std::filesystem::create_directories(dir_ / "run");
    socket_ = dir_ / "vkbd.sock";
    trace_ = dir_ / "trace.txt";
    std::vector<std::string> args{"serve", "--socket", socket_.string(), "--trace", trace_.string()};
    args.insert(args.end(), serve_options.begin(), serve_options.end());
    testing_support::ProcessStart start;
    start.program = Vkbd();
    start.args = args;
    start.env = testing_support::CurrentEnvironment();
    start.output_file = start.error_file = (dir_ / "server.log").string();
    server_ = std::make_unique<testing_support::ChildProcess>(start);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      if (std::filesystem::exists(socket_) && Ctl({"status"}).status == 0) return;
      if (!server_->started() || server_->WaitForExit(std::chrono::milliseconds(0))) {
        server_.reset();
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    error_ = "keyloom-vkbd did not serve " + socket_.string();
  }

  ~VkbdProcess() {
    Stop();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  VkbdProcess(const VkbdProcess&) = delete;
  VkbdProcess& operator=(const VkbdProcess&) = delete;

  bool Started() const { return error_.empty(); }
  const std::string& Error() const { return error_; }
  const std::filesystem::path& Socket() const { return socket_; }
  const std::filesystem::path& Dir() const { return dir_; }
  // The per-user data folder keyloomctl keeps the working profile in.
  std::filesystem::path DataFolder() const { return dir_ / "home" / "data" / "Tarn-60 Gaming Keyboard"; }

  // Ends the server (SIGTERM, then SIGKILL after two seconds).
  void Stop() {
    if (!server_) return;
    server_->Stop(std::chrono::seconds(2));
    server_.reset();
  }

  // keyloomctl --virtual-keyboard=SOCKET ARGS..., with stdin from `input`
  // (a file, so never a terminal).
  RunResult Keyloomctl(const std::vector<std::string>& args, const std::string& input = "") const {
    std::vector<std::string> all{"--virtual-keyboard=" + socket_.string()};
    all.insert(all.end(), args.begin(), args.end());
    return RunProgram(Program("keyloomctl"), all, Environment(), input);
  }

  // keyloomctl --virtual-keyboard=SOCKET ARGS... started and left running
  // (stdin empty), so that several can run at once.
  std::unique_ptr<testing_support::ChildProcess> StartKeyloomctl(const std::vector<std::string>& args) const {
    testing_support::ProcessStart start;
    start.program = Program("keyloomctl");
    start.args = {"--virtual-keyboard=" + socket_.string()};
    start.args.insert(start.args.end(), args.begin(), args.end());
    start.env = Environment();
    return std::make_unique<testing_support::ChildProcess>(start);
  }

  // The same with a person at a terminal typing `typed` on stdin.
  RunResult KeyloomctlOnTerminal(const std::vector<std::string>& args, const std::string& typed) const {
    std::vector<std::string> all{"--virtual-keyboard=" + socket_.string()};
    all.insert(all.end(), args.begin(), args.end());
    return RunProgram(Program("keyloomctl"), all, Environment(), typed, true);
  }

  RunResult Ctl(const std::vector<std::string>& args) const {
    std::vector<std::string> all{"ctl", "--socket", socket_.string()};
    all.insert(all.end(), args.begin(), args.end());
    return RunProgram(Vkbd(), all, Environment());
  }

  // ctl dump --json; a null value when it fails.
  JsonValue Dump() const {
    JsonValue v;
    const RunResult r = Ctl({"dump", "--json"});
    if (r.status != 0 || !JsonReader(r.out).Read(v)) return {};
    return v;
  }

  // The key map of a slot as the keyboard holds it.
  std::vector<std::uint8_t> Layer(int slot) const { return HexBytes(Dump()["layers"][std::size_t(slot)].string); }

  // ctl press ... --json: one object per event; empty when it fails.
  std::vector<JsonValue> Press(const std::vector<std::string>& strokes) const {
    std::vector<std::string> args{"press"};
    args.insert(args.end(), strokes.begin(), strokes.end());
    args.push_back("--json");
    const RunResult r = Ctl(args);
    std::vector<JsonValue> events;
    if (r.status != 0) return events;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
      JsonValue v;
      if (!line.empty() && JsonReader(line).Read(v)) events.push_back(v);
    }
    return events;
  }

  // The report lines the server traced so far ("W <hex> t=..", "R ..").
  std::vector<std::string> Trace() const {
    std::ifstream f(trace_);
    std::vector<std::string> lines;
    for (std::string line; std::getline(f, line);) lines.push_back(line);
    return lines;
  }

 private:
  static std::string Program(const char* name) { return std::string(KEYLOOM_BUILD_DIR) + "/" + name; }
  static std::string Vkbd() { return Program("keyloom-vkbd"); }

  std::vector<std::string> Environment() const {
    std::vector<std::string> env{
        "HOME=" + (dir_ / "home").string(),
        "XDG_DATA_HOME=" + (dir_ / "home" / "data").string(),
        "XDG_CONFIG_HOME=" + (dir_ / "home" / "config").string(),
        "XDG_RUNTIME_DIR=" + (dir_ / "run").string(),
        "LANG=en_US.UTF-8",
    };
    if (const char* path = std::getenv("PATH")) env.push_back(std::string("PATH=") + path);
    return env;
  }

  std::filesystem::path dir_;
  std::filesystem::path socket_;
  std::filesystem::path trace_;
  std::unique_ptr<testing_support::ChildProcess> server_;
  std::string error_;
};

}  // namespace keyloom::cli::testing
