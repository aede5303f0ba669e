// keyloomctl slot and profile, run as programs against a served
// keyloom-vkbd: the keyboard's memories and playback afterwards, and the
// files on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "support/vkbd_process.h"

namespace keyloom::cli {
namespace {

namespace fs = std::filesystem;
using testing::JsonReader;
using testing::JsonValue;
using testing::RunResult;
using testing::VkbdProcess;

constexpr std::size_t kBlockBytes = 32832;
constexpr std::size_t kMacroBytes = 32512;
constexpr std::size_t kLightingRecordBytes = 42;
constexpr std::size_t kReportRateByte = 15;

std::vector<std::uint8_t> FileBytes(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}

class SlotProfileBinary : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(kb_.Started()) << kb_.Error(); }

  RunResult Run(const std::vector<std::string>& args, int status = 0) {
    RunResult r = kb_.Keyloomctl(args);
    std::string joined;
    for (const std::string& a : args) joined += a + " ";
    EXPECT_EQ(r.status, status) << "keyloomctl " << joined << "\nstdout: " << r.out << "\nstderr: " << r.err;
    return r;
  }
  JsonValue Json(std::vector<std::string> args, int status = 0) {
    args.push_back("--json");
    const RunResult r = Run(args, status);
    JsonValue v;
    EXPECT_TRUE(JsonReader(r.out).Read(v)) << r.out;
    return v;
  }
  int ReportRateOfSlot(int slot) {
    const auto lighting = testing::HexBytes(kb_.Dump()["lighting"].string);
    return lighting.at(std::size_t(slot) * kLightingRecordBytes + kReportRateByte);
  }
  fs::path File(const std::string& name) const { return kb_.Dir() / name; }
  // Writes every slot once, so that each key map is what the writer makes
  // of its table, and returns the assigned records per slot as read back.
  std::vector<int> Baseline() {
    Run({"apply", "--all"});
    const JsonValue read = Json({"profile", "read", File("baseline.kyl").string()});
    return {read["assigned"][0].Int(), read["assigned"][1].Int(), read["assigned"][2].Int()};
  }

  VkbdProcess kb_;
};

TEST_F(SlotProfileBinary, SlotShowsAndSwitchesTheActiveSlot) {
  EXPECT_EQ(Json({"slot"})["active_slot"].Int(), 0);
  const std::string before = kb_.Ctl({"dump", "--json"}).out;

  // Not slots: refused as usage, the keyboard untouched.
  for (const char* bad : {"3", "-1", "x", "01"}) Run({"slot", bad}, 2);
  Run({"slot", "1", "2"}, 2);
  EXPECT_EQ(kb_.Ctl({"dump", "--json"}).out, before);

  const JsonValue switched = Json({"slot", "2"});
  EXPECT_EQ(switched["active_slot"].Int(), 2);
  EXPECT_EQ(switched["previous_slot"].Int(), 0);
  EXPECT_EQ(kb_.Dump()["active_slot"].Int(), 2);
  EXPECT_EQ(Json({"slot"})["active_slot"].Int(), 2);
  EXPECT_NE(Run({"slot", "2"}).out.find("already active"), std::string::npos);

  // The keyboard now plays slot 2's key map: a key set there is live.
  Run({"keys", "set", "0x01E", "function:2"});
  const auto events = kb_.Press({"--key", "0x04"});
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0]["function"].Int(), 2);
}

TEST_F(SlotProfileBinary, ExportThenImportRestoresKeysMacrosAndReportRate) {
  const std::vector<int> base = Baseline();
  Run({"macro", "add", "Hello", "--actions", "H down 10, H up 10"});
  Run({"keys", "set", "0x01E", "macro:Hello", "0x030", "disabled"});
  Run({"keys", "set", "0x01E", "function:3", "--slot", "1"});
  Run({"report-rate", "2"});
  const JsonValue keyboard = kb_.Dump();

  const fs::path backup = File("backup.kyl");
  const JsonValue exported = Json({"profile", "export", backup.string()});
  EXPECT_EQ(exported["macros"].Int(), 1);
  EXPECT_EQ(exported["report_rate"].Int(), 2);
  EXPECT_EQ(exported["assigned"][0].Int(), base[0] + 2);
  EXPECT_EQ(exported["assigned"][1].Int(), base[1] + 1);
  EXPECT_EQ(exported["assigned"][2].Int(), base[2]);
  const auto bytes = FileBytes(backup);
  ASSERT_EQ(bytes.size(), kBlockBytes + kMacroBytes + 4) << "no texts: an empty pool";
  EXPECT_EQ(U32(bytes, 8), kBlockBytes + kMacroBytes);
  EXPECT_EQ(U32(bytes, bytes.size() - 4), 2u) << "the report rate trails the profile";

  const JsonValue valid = Json({"profile", "validate", backup.string()});
  EXPECT_TRUE(valid["valid"].boolean);
  EXPECT_EQ(valid["macros"].Int(), 1);
  EXPECT_EQ(valid["report_rate"].Int(), 2);

  // Everything changed on the keyboard, then restored from the file.
  Run({"keys", "reset"});
  Run({"keys", "reset", "--slot", "1"});
  Run({"--yes", "macro", "delete", "Hello"});
  Run({"report-rate", "0"});
  ASSERT_NE(kb_.Dump()["layers"][0].string, keyboard["layers"][0].string);

  const JsonValue imported = Json({"profile", "import", backup.string()});
  EXPECT_EQ(imported["macros"].Int(), 1);
  EXPECT_EQ(imported["report_rate"].Int(), 2);
  const JsonValue restored = kb_.Dump();
  for (std::size_t slot = 0; slot < 3; ++slot)
    EXPECT_EQ(restored["layers"][slot].string, keyboard["layers"][slot].string) << "slot " << slot;
  EXPECT_EQ(restored["macro_area"].string, keyboard["macro_area"].string);
  EXPECT_EQ(ReportRateOfSlot(0), 2);
  EXPECT_EQ(FileBytes(kb_.DataFolder() / "$Profile0").size(), kBlockBytes + kMacroBytes)
      << "the working profile is saved without the trailer";

  // Importing the working profile (no trailer) keeps the report rate, and
  // says so rather than showing the kept rate as restored.
  Run({"report-rate", "1"});
  const RunResult working = Run({"profile", "import", (kb_.DataFolder() / "$Profile0").string()});
  EXPECT_NE(working.out.find("Report rate:     not stored; the keyboard keeps 1\n"), std::string::npos) << working.out;
  EXPECT_EQ(ReportRateOfSlot(0), 1);
}

TEST_F(SlotProfileBinary, AStoredReportRateOutOfRangeIsNotApplied) {
  const fs::path file = File("rate.kyl");
  Run({"profile", "export", file.string()});
  std::vector<std::uint8_t> bytes = FileBytes(file);
  ASSERT_GE(bytes.size(), 4u);
  const std::uint32_t stored = 36446;
  for (int i = 0; i < 4; ++i) bytes[bytes.size() - 4 + std::size_t(i)] = std::uint8_t(stored >> (8 * i));
  WriteBytes(file, bytes);

  const RunResult checked = Run({"profile", "validate", file.string()});
  EXPECT_NE(checked.out.find("Report rate:     36446 (out of range 0..3, not applied)\n"), std::string::npos)
      << checked.out;
  const JsonValue valid = Json({"profile", "validate", file.string()});
  EXPECT_EQ(valid["report_rate"].Int(), 36446);
  ASSERT_TRUE(valid.Has("report_rate_in_range"));
  EXPECT_FALSE(valid["report_rate_in_range"].boolean);

  Run({"report-rate", "2"});
  const RunResult imported = Run({"profile", "import", file.string()});
  EXPECT_NE(imported.out.find("36446 (out of range 0..3, not applied); the keyboard keeps 2\n"), std::string::npos)
      << imported.out;
  EXPECT_EQ(ReportRateOfSlot(0), 2);
  const JsonValue json = Json({"profile", "import", file.string()});
  ASSERT_TRUE(json.Has("report_rate_in_range"));
  EXPECT_FALSE(json["report_rate_in_range"].boolean);
  EXPECT_EQ(json["report_rate_kept"].Int(), 2);
}

TEST_F(SlotProfileBinary, BadFilesAreRefusedAndChangeNothing) {
  const fs::path good = File("good.kyl");
  Run({"profile", "export", good.string()});
  const auto bytes = FileBytes(good);
  ASSERT_GE(bytes.size(), kBlockBytes);
  const std::string format_error = "is not a valid profile.";

  struct Case {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> spoil;
    bool message;  // the localised format error is shown
  };
  const Case cases[] = {
      {"one byte short of a block", [](auto& b) { b.resize(kBlockBytes - 1); }, false},
      {"wrong magic", [](auto& b) { b[0] = 'X'; }, true},
      {"flag 2", [](auto& b) { b[30] = 2; }, true},
      {"wrong checksum", [](auto& b) { b[31] ^= 1; }, true},
      {"truncated content",
       [](auto& b) {
         // Announce one macro more than the file holds, checksum kept right.
         b[14] = static_cast<std::uint8_t>(b[14] + 1);
         const std::uint32_t content = U32(b, 8) + kMacroBytes;
         for (int i = 0; i < 4; ++i) b[8 + i] = static_cast<std::uint8_t>(content >> (8 * i));
         std::uint8_t sum = 0;
         for (int i = 0; i < 31; ++i) sum = static_cast<std::uint8_t>(sum + b[i]);
         b[31] = sum;
       },
       true},
  };
  const std::string before = kb_.Ctl({"dump", "--json"}).out;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> spoilt = bytes;
    c.spoil(spoilt);
    const fs::path file = File("bad.kyl");
    WriteBytes(file, spoilt);
    const RunResult checked = Run({"profile", "validate", file.string()}, 1);
    EXPECT_EQ(checked.err.find(format_error) != std::string::npos, c.message) << checked.err;
    // Import refuses it for the reason validate gives, in JSON too.
    const std::string reason = checked.err.substr(checked.err.rfind("keyloomctl: "));
    const RunResult imported = Run({"profile", "import", file.string()}, 1);
    EXPECT_NE(imported.err.find(reason), std::string::npos) << imported.err << "\nwanted: " << reason;
    const JsonValue json = Json({"profile", "import", file.string()}, 1);
    EXPECT_FALSE(json["valid"].boolean);
    EXPECT_EQ("keyloomctl: " + json["reason"].string + "\n", reason);
  }
  EXPECT_EQ(kb_.Ctl({"dump", "--json"}).out, before) << "a refused import writes nothing";

  const RunResult missing = Run({"profile", "validate", File("none.kyl").string()}, 1);
  EXPECT_NE(missing.err.find("does not exist"), std::string::npos);
  Run({"profile", "validate"}, 2);
  Run({"profile", "import", "a.kyl", "b.kyl"}, 2);
}

TEST_F(SlotProfileBinary, ReadWritesWhatTheKeyboardHolds) {
  const std::vector<int> base = Baseline();
  Run({"macro", "add", "M1", "--actions", "A down 10, A up 0"});
  Run({"keys", "set", "0x01E", "macro:M1", "--slot", "2"});
  const fs::path file = File("read.kyl");
  WriteBytes(file, {1, 2, 3});
  const JsonValue read = Json({"profile", "read", file.string()});
  EXPECT_EQ(read["macros"].Int(), 1);
  EXPECT_EQ(read["assigned"][0].Int(), base[0]);
  EXPECT_EQ(read["assigned"][2].Int(), base[2] + 1);
  EXPECT_EQ(read["report_rate"].type, JsonValue::Type::kNull);
  EXPECT_EQ(FileBytes(file).size(), kBlockBytes + kMacroBytes) << "no pool, no trailer";
  EXPECT_TRUE(Json({"profile", "validate", file.string()})["valid"].boolean);

  // A keyboard that goes away keeps the previous file.
  kb_.Ctl({"unplug"});
  const auto previous = FileBytes(file);
  Run({"profile", "read", file.string()}, 1);
  EXPECT_EQ(FileBytes(file), previous);
}

}  // namespace
}  // namespace keyloom::cli
