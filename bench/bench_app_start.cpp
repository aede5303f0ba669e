// The desktop program as a whole process, side by side with a bare Qt
// Widgets window showing one label:
//   - StartToShown: from the start of the process until its window is shown
//     (keyloom against a virtual keyboard of its own, whose first connection
//     brings the window up);
//   - the resident memory of each once shown (counter "rss_kib");
//   - IdleHidden (only with KEYLOOM_BENCH_IDLE_SECONDS set, e.g. 60): the
//     CPU time keyloom uses while it sits hidden in the tray, as a share of
//     one core (counter "cpu_percent").
// Both run on Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/process_runner.h"
#include "support/vkbd_process.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using keyloom::testing_support::ChildProcess;

std::vector<std::string> Environment(const fs::path& home) {
  std::vector<std::string> env = {
      "XDG_RUNTIME_DIR=" + (home / "run").string(),
      "XDG_CONFIG_HOME=" + (home / "config").string(),
      "XDG_DATA_HOME=" + (home / "data").string(),
      "HOME=" + home.string(),
      "KEYLOOM_TRACE_WINDOW=1",
      std::string("QT_QPA_PLATFORM=") + (std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "offscreen"),
  };
  for (const char* name : {"PATH", "DISPLAY", "XAUTHORITY"})
    if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
  return env;
}

fs::path FreshHome() {
  std::string pattern = (fs::temp_directory_path() / "keyloom-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return {};
  const fs::path home = pattern;
  fs::create_directories(home / "run");
  fs::permissions(home / "run", fs::perms::owner_all, fs::perm_options::replace);
  return home;
}

// VmRSS of a process, in KiB.
long ResidentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

// Time a process has spent on a CPU, all its threads together, in
// nanoseconds (the scheduler's own account: no tick rounding).
long long CpuNanoseconds(pid_t pid) {
  long long total = 0;
  std::error_code ec;
  for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
    std::ifstream schedstat(task.path() / "schedstat");
    long long on_cpu = 0;
    if (schedstat >> on_cpu) total += on_cpu;
  }
  return total;
}

struct Started {
  std::unique_ptr<ChildProcess> child;
  double seconds = 0;
};

Started StartAndWait(const std::string& program, const std::vector<std::string>& args, const fs::path& home,
                     const std::string& line) {
  Started s;
  const auto begin = std::chrono::steady_clock::now();
  s.child = std::make_unique<ChildProcess>(program, args, Environment(home), (home / "stderr.log").string());
  if (!s.child->WaitForLine(line, 30s)) return {};
  s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  return s;
}

// Starts `program` once per iteration in a fresh home, timing the start
// until it writes "shown"; the resident memory a moment later (the window
// painted, keyloom's profile read) is the "rss_kib" counter.
void MeasureStartToShown(benchmark::State& state, const std::string& program, const std::vector<std::string>& args) {
  long rss = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const fs::path home = FreshHome();
    state.ResumeTiming();
    Started s = StartAndWait(program, args, home, "shown");
    state.PauseTiming();
    if (!s.child) {
      state.SkipWithError((program + " did not show its window").c_str());
      break;
    }
    state.SetIterationTime(s.seconds);
    std::this_thread::sleep_for(300ms);
    rss = ResidentKiB(s.child->pid());
    s.child->Stop(2s);
    std::error_code ec;
    fs::remove_all(home, ec);
    state.ResumeTiming();
  }
  state.counters["rss_kib"] = static_cast<double>(rss);
}

void KeyloomStartToShown(benchmark::State& state) {
  keyloom::cli::testing::VkbdProcess keyboard;
  if (!keyboard.Started()) {
    state.SkipWithError("keyloom-vkbd did not start");
    return;
  }
  MeasureStartToShown(state, std::string(KEYLOOM_BUILD_DIR) + "/keyloom",
                      {"--virtual-keyboard=" + keyboard.Socket().string()});
}
BENCHMARK(KeyloomStartToShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BareQtWindowStartToShown(benchmark::State& state) {
  MeasureStartToShown(state, std::string(KEYLOOM_BUILD_DIR) + "/bench/keyloom-bench-bare-window", {});
}
BENCHMARK(BareQtWindowStartToShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// keyloom "/Start": hidden in the tray from the start, the keyboard
// connected; its CPU time over the idle period.
void KeyloomIdleHidden(benchmark::State& state) {
  const char* seconds_text = std::getenv("KEYLOOM_BENCH_IDLE_SECONDS");
  const int seconds = seconds_text ? std::atoi(seconds_text) : 0;
  if (seconds <= 0) {
    state.SkipWithError("set KEYLOOM_BENCH_IDLE_SECONDS (e.g. 60) to measure the idle program");
    return;
  }
  keyloom::cli::testing::VkbdProcess keyboard;
  double percent = 0;
  for (auto _ : state) {
    const fs::path home = FreshHome();
    auto child = std::make_unique<ChildProcess>(std::string(KEYLOOM_BUILD_DIR) + "/keyloom",
                                                std::vector<std::string>{"--virtual-keyboard=" + keyboard.Socket().string(), "/Start"},
                                                Environment(home), (home / "stderr.log").string());
    if (!child->WaitForLine("connected", 30s)) {
      state.SkipWithError("keyloom did not connect");
      break;
    }
    std::this_thread::sleep_for(2s);  // the profile read after the connection
    const long long before = CpuNanoseconds(child->pid());
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const long long after = CpuNanoseconds(child->pid());
    percent = 100.0 * static_cast<double>(after - before) / 1e9 / seconds;
    child->Stop(2s);
    std::error_code ec;
    fs::remove_all(home, ec);
  }
  state.counters["cpu_percent"] = percent;
}
BENCHMARK(KeyloomIdleHidden)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
