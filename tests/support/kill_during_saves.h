#pragma once
// Kills a process that saves one file over and over with SIGKILL at random
// moments, and checks after every kill that the file holds one whole
// version (never a mix, never empty) and that the writer's temporaries do
// not pile up. The writer runs in a forked child, so it must not need
// threads that the fork would not copy.
//
//   KillDuringSaves run;
//   run.file = dir / "big.kyl";
//   run.save = [&](int version) { return Export(version, run.file); };
//   const KillDuringSaves::Figures f = run.Run(200);
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>

namespace keyloom::testing_support {

struct KillDuringSaves {
  // Under AddressSanitizer every fork copies the sanitizer's huge mappings
  // and a campaign takes minutes: it runs in the plain build only.
#if defined(__SANITIZE_ADDRESS__)
  static constexpr bool kSkipped = true;
#else
  static constexpr bool kSkipped = false;
#endif
  static constexpr const char* kSkipReason = "kills run in the build without sanitizers";

  std::filesystem::path file;
  // Saves version 0 or 1 of the file; false when the save failed.
  std::function<bool(int version)> save;
  // Whether `bytes` is one whole version. Without it: exactly what the
  // first saves of versions 0 and 1 left (for writers whose bytes depend
  // only on the version).
  std::function<bool(const std::string& bytes)> whole;
  std::string versions[2];

  struct Figures {
    int kills = 0;
    int mixed = 0;            // kills after which the file was no whole version
    int most_temporaries = 0; // the most temporaries seen beside the file after a kill
    int temporaries_left = 0; // after one more save once the kills are over
    std::string first_mixed;  // what the file held the first time it was mixed
  };

  // Every other file beside `file`: the writer's temporaries, or anything
  // else a save left behind.
  static int Temporaries(const std::filesystem::path& file) {
    int n = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path(), ec)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("." + file.filename().string() + ".", 0) == 0) ++n;
    }
    return n;
  }

  static std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // `kills` rounds: a child saves versions 0, 1, 0, ... without end and is
  // killed after a random time of up to twice one save's duration.
  Figures Run(int kills, unsigned seed = 20261210) {
    Figures f;
    // One save of each version first: the file exists, and its duration sets
    // the range of the kill moments.
    const auto t0 = std::chrono::steady_clock::now();
    if (!save(0)) return f;
    versions[0] = ReadAll(file);
    if (!save(1)) return f;
    versions[1] = ReadAll(file);
    const auto one_save = (std::chrono::steady_clock::now() - t0) / 2;
    if (!whole) whole = [this](const std::string& bytes) { return bytes == versions[0] || bytes == versions[1]; };
    const long long range_us =
        std::max<long long>(200, 2 * std::chrono::duration_cast<std::chrono::microseconds>(one_save).count());
    std::mt19937 random(seed);
    std::uniform_int_distribution<long long> delay(0, range_us);
    for (int k = 0; k < kills; ++k) {
      std::fflush(nullptr);
      const pid_t child = ::fork();
      if (child < 0) return f;
      if (child == 0) {
        for (int version = k % 2;; version ^= 1) (void)save(version);
      }
      ::usleep(static_cast<useconds_t>(delay(random)));
      ::kill(child, SIGKILL);
      int status = 0;
      ::waitpid(child, &status, 0);
      ++f.kills;
      const std::string now = ReadAll(file);
      if (!whole(now)) {
        if (f.mixed++ == 0) f.first_mixed = now.substr(0, 200);
      }
      f.most_temporaries = std::max(f.most_temporaries, Temporaries(file));
    }
    (void)save(0);
    f.temporaries_left = Temporaries(file);
    return f;
  }
};

}  // namespace keyloom::testing_support
