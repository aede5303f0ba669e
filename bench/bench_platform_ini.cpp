// 10,000 text lookups in a language-file-sized INI (UTF-16LE with BOM,
// three sections, several hundred keys): through the parsed-file cache,
// against reading and parsing the whole file for every lookup.
#include "platform/ini.h"
#include "platform/text.h"

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kLookups = 10000;

struct LanguageFile {
  std::filesystem::path dir;
  std::filesystem::path file;
  std::vector<std::u16string> keys;

  LanguageFile() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "keyloom-bench-XXXXXX").string();
    dir = ::mkdtemp(tmpl.data());
    file = dir / "Lang0409.ini";
    std::u16string text = u"; generated language file\r\n[LIGHT]\r\n";
    for (int i = 0; i < 9; ++i) text += u"Light" + keyloom::text::FromAscii(std::to_string(i)) + u"=Label\r\n";
    text += u"\r\n[MODE]\r\n";
    for (int i = 1; i <= 20; ++i) text += keyloom::text::FromAscii(std::to_string(i)) + u"=Effect name\r\n";
    text += u"\r\n[TEXT]\r\n";
    for (int i = 0; i < 600; ++i) {
      const std::u16string key = u"TEXT_KEY_" + keyloom::text::FromAscii(std::to_string(i));
      keys.push_back(key);
      text += key + u" = \"A typical prompt text of some length, with a %d and %s in it.\"\r\n";
    }
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) bytes += {char(c & 0xFF), char(c >> 8)};
    std::ofstream(file, std::ios::binary) << bytes;
    // An installed language file is old. A file changed in the last two
    // seconds is checked against its bytes on every lookup (the file system's
    // timestamps are too coarse to trust yet), so wait that out.
    std::filesystem::last_write_time(file, std::filesystem::last_write_time(file) - std::chrono::hours(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  }
  ~LanguageFile() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

LanguageFile& File() {
  static LanguageFile f;
  return f;
}

void BM_LookupsThroughCache(benchmark::State& state) {
  auto& f = File();
  keyloom::ini::ClearCache();
  std::u16string out;
  for (auto _ : state) {
    for (int i = 0; i < kLookups; ++i) {
      keyloom::ini::GetString(f.file, u"TEXT", f.keys[i % f.keys.size()], u"#Error", out, 260);
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.counters["lookups"] = kLookups;
  state.counters["file_bytes"] = double(std::filesystem::file_size(f.file));
}
BENCHMARK(BM_LookupsThroughCache)->Unit(benchmark::kMillisecond);

// The same while the file has just changed: each lookup reads the file and
// compares its bytes, but does not parse it again.
void BM_LookupsThroughCacheJustAfterAChange(benchmark::State& state) {
  auto& f = File();
  keyloom::ini::ClearCache();
  std::u16string out;
  for (auto _ : state) {
    state.PauseTiming();
    const auto t = std::filesystem::last_write_time(f.file);
    std::filesystem::last_write_time(f.file, t);  // a fresh change time
    state.ResumeTiming();
    for (int i = 0; i < kLookups; ++i) {
      keyloom::ini::GetString(f.file, u"TEXT", f.keys[i % f.keys.size()], u"#Error", out, 260);
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.counters["lookups"] = kLookups;
}
BENCHMARK(BM_LookupsThroughCacheJustAfterAChange)->Unit(benchmark::kMillisecond);

void BM_LookupsReadingAndParsingEachTime(benchmark::State& state) {
  auto& f = File();
  std::u16string out;
  for (auto _ : state) {
    for (int i = 0; i < kLookups; ++i) {
      keyloom::ini::ClearCache();
      keyloom::ini::GetString(f.file, u"TEXT", f.keys[i % f.keys.size()], u"#Error", out, 260);
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.counters["lookups"] = kLookups;
}
BENCHMARK(BM_LookupsReadingAndParsingEachTime)->Unit(benchmark::kMillisecond);

}  // namespace
