// Profile files on disk: header, validation, loading, saving and exporting.
#include "profiles/profile_file.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/kill_during_saves.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "keys/byte_order.h"
#include "platform/text.h"
#include "profiles/data_folder.h"
#include "profiles/profile_test_support.h"

namespace keyloom::profiles {
namespace {

namespace fs = std::filesystem;
using keys::GetU16;
using keys::GetU32;
using keys::PutU16;
using keys::PutU32;
using testing::ReadBytes;
using testing::WriteBytes;

constexpr std::uint16_t kLaunch = static_cast<std::uint16_t>(keys::KeyKind::LaunchProgram);
constexpr std::uint16_t kText = static_cast<std::uint16_t>(keys::KeyKind::TextBlock);
constexpr std::uint16_t kSingle = static_cast<std::uint16_t>(keys::KeyKind::SingleKey);

class ProfileFiles : public ::testing::Test, public testing::SessionUnderTest {
 protected:
  testing::ProfileEnvironment env;
  keys::KeyMacroStore& store = EditingStore();

  fs::path File(const std::string& name) { return env.Base() / name; }

  // A store with texts in two slots' tables, a macro, and a string left in a
  // slot whose record no longer carries text.
  void FillStore() {
    store.block = EmptyProfileBlock(0);
    store.block.tables[0][0x1E] = {kLaunch, 0, 0, 0, 0};
    store.SetString(keys::StringSlotIndex(0, 0x1E), u"/usr/bin/editor");
    store.block.tables[2][0x10] = {kText, 0, 0, 0, 0};
    store.SetString(keys::StringSlotIndex(2, 0x10), u"Hello, world");
    store.block.tables[1][0x20] = {kSingle, 0, 0x1F, 0, 0};
    store.SetString(keys::StringSlotIndex(1, 0x20), u"stale");
    store.block.tables[1][0x21] = {kText, 0, 0, 0, 0};
    store.SetString(keys::StringSlotIndex(1, 0x21), u"x");
    keys::MacroRecord macro;
    macro.id = 1;
    macro.cycles = 3;
    keys::SetMacroName(macro, u"Combo");
    keys::AppendMacroAction(macro, {20, 0x1E, keys::kPress});
    keys::AppendMacroAction(macro, {0, 0x1E, keys::kRelease});
    store.macros.push_back(macro);
  }
};

// A minimal valid profile: the empty block, with `extra` bytes after it.
std::vector<std::uint8_t> EmptyProfileBytes(std::size_t extra = 0) {
  std::vector<std::uint8_t> bytes = EmptyProfileBlock(0).ToBytes();
  bytes.resize(bytes.size() + extra, 0);
  return bytes;
}

void Reseal(std::vector<std::uint8_t>& bytes) {
  bytes[header::kChecksum] = ProfileHeaderChecksum(std::span<const std::uint8_t>(bytes.data(), 32));
}

TEST(ProfileHeader, FieldsAndChecksumForEveryShape) {
  struct Case {
    std::uint16_t macros;
    std::uint32_t pool;
    std::uint8_t flag;
    std::uint32_t content;
  };
  for (const Case& c : {Case{0, 0, 0, 0x8040}, Case{1, 0, 0, 0x8040 + 0x7F00},
                        Case{100, 34, 1, 0x8040 + 100 * 0x7F00 + 34}, Case{2, 0xFFFF, 0, 0x8040 + 2 * 0x7F00 + 0xFFFF}}) {
    keys::KeyTableBlock block;
    block.headers.fill(0xEE);
    BuildProfileHeader(block, c.macros, c.pool, c.flag);
    const std::uint8_t* h = block.headers.data();
    EXPECT_EQ(h[0], 'P');
    EXPECT_EQ(h[1], 'R');
    EXPECT_EQ(GetU16(h + 2), 0x20);
    EXPECT_EQ(GetU16(h + 4), 3);
    EXPECT_EQ(GetU16(h + 6), 1);
    EXPECT_EQ(GetU32(h + 8), c.content);
    EXPECT_EQ(GetU16(h + 12), 0x0800);
    EXPECT_EQ(GetU16(h + 14), c.macros);
    EXPECT_EQ(GetU32(h + 16), c.pool);
    for (int i = 20; i < 30; ++i) EXPECT_EQ(h[i], 0) << i;
    EXPECT_EQ(h[30], c.flag);
    std::uint8_t sum = 0;
    for (int i = 0; i < 31; ++i) sum = static_cast<std::uint8_t>(sum + h[i]);
    EXPECT_EQ(h[31], sum);
    EXPECT_EQ(block.headers[32], 0xEE) << "the key table header is not the profile header's";
  }
}

TEST(ProfileHeader, EmptyBlockCarriesKeyTableHeaderAndGKeys) {
  const std::vector<std::uint8_t> bytes = EmptyProfileBytes();
  ASSERT_EQ(bytes.size(), 32832u);
  EXPECT_EQ(bytes[32], 'L');
  EXPECT_EQ(bytes[33], 'T');
  EXPECT_EQ(GetU16(&bytes[34]), 0x20);
  EXPECT_EQ(GetU32(&bytes[36]), 0x8020u);
  EXPECT_EQ(GetU16(&bytes[40]), 4);
  EXPECT_EQ(GetU16(&bytes[42]), 512);
  EXPECT_EQ(GetU32(&bytes[44]), 0u);
  const std::uint16_t ids[8] = {0x0C45, 0x7672, 0x1C4F, 0x000E, 0, 0, 0, 0};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(GetU16(&bytes[48 + 2 * i]), ids[i]);
  // G-key identifiers in table 0 only; records 256..273, param at offset 2.
  EXPECT_EQ(GetU16(&bytes[64 + 256 * 16 + 2]), 0x0301);
  EXPECT_EQ(GetU16(&bytes[64 + 273 * 16 + 2]), 0x1309);
  EXPECT_EQ(GetU16(&bytes[64 + 8192 + 256 * 16 + 2]), 0);
}

// One field wrong at a time, in a file otherwise valid; the checksum is
// recomputed unless the case is about the checksum.
TEST_F(ProfileFiles, ValidationOfMalformedFiles) {
  struct Case {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> change;
    int result;
    bool message;
    std::uint64_t sparseSize = 0;  // when set, the file is extended to this size with a hole
  };
  // A header announcing `pool` pool bytes and no macros.
  auto pool = [](std::uint32_t bytes) {
    return [bytes](std::vector<std::uint8_t>& b) {
      PutU32(&b[16], bytes);
      PutU32(&b[8], static_cast<std::uint32_t>(0x8040 + std::uint64_t{bytes}));
    };
  };
  const std::uint32_t largest = static_cast<std::uint32_t>(kMaxProfilePoolBytes);
  const std::vector<Case> cases = {
      {"valid", [](auto&) {}, 1, false},
      {"the largest pool a profile holds", pool(largest), 1, false, 0x8040 + std::uint64_t{largest}},
      {"one byte more pool than a profile holds", pool(largest + 1), 0, true, 0x8040 + std::uint64_t{largest} + 1},
      {"a 1 GiB pool", pool(1u << 30), 0, true, 0x8040 + (std::uint64_t{1} << 30)},
      {"flag byte 1", [](auto& b) { b[30] = 1; }, 1, false},
      {"extra bytes after the content", [](auto& b) { b.resize(b.size() + 77, 0xAB); }, 1, false},
      {"record contents are not checked", [](auto& b) { b[64] = 0xFF; b[200] = 0x55; }, 1, false},
      {"one byte short of a block", [](auto& b) { b.resize(32831); }, 0, false},
      {"header only", [](auto& b) { b.resize(32); }, 0, false},
      {"empty file", [](auto& b) { b.clear(); }, 0, false},
      {"wrong magic", [](auto& b) { b[0] = 'Q'; }, 0, true},
      {"header size", [](auto& b) { PutU16(&b[2], 0x21); }, 0, true},
      {"first constant", [](auto& b) { PutU16(&b[4], 4); }, 0, true},
      {"second constant", [](auto& b) { PutU16(&b[6], 2); }, 0, true},
      {"key record count", [](auto& b) { PutU16(&b[12], 0x0801); }, 0, true},
      {"macro count 101",
       [](auto& b) {
         PutU16(&b[14], 101);
         PutU32(&b[8], 0x8040 + 101 * 0x7F00);
         b.resize(0x8040 + 101 * 0x7F00);
       },
       0, true},
      {"flag byte 2", [](auto& b) { b[30] = 2; }, 0, true},
      {"content size disagrees with the macro count", [](auto& b) { PutU16(&b[14], 1); }, 0, true},
      {"content size disagrees with the pool size", [](auto& b) { PutU32(&b[16], 2); }, 0, true},
      {"content size below one block", [](auto& b) { PutU32(&b[8], 0x8000); }, 0, true},
      {"pool size that wraps the content size",
       [](auto& b) {
         PutU32(&b[16], 0xFFFFFFFF);
         PutU32(&b[8], 0x803F);
       },
       0, true},
      {"file shorter than its content",
       [](auto& b) {
         PutU16(&b[14], 1);
         PutU32(&b[8], 0x8040 + 0x7F00);
         b.resize(0x8040 + 0x7F00 - 1);
       },
       0, true},
      {"file exactly as long as its content",
       [](auto& b) {
         PutU16(&b[14], 1);
         PutU32(&b[8], 0x8040 + 0x7F00);
         b.resize(0x8040 + 0x7F00);
       },
       1, false},
      {"wrong checksum", [](auto& b) { b[31] ^= 1; }, 0, true},
      {"reserved byte set (checksum kept)", [](auto& b) { b[25] = 1; }, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> bytes = EmptyProfileBytes();
    c.change(bytes);
    if (bytes.size() >= 32 && std::string(c.name) != "wrong checksum") Reseal(bytes);
    const fs::path path = File("case.kyl");
    WriteBytes(path, bytes);
    if (c.sparseSize) fs::resize_file(path, c.sparseSize);
    prompter.requests.clear();
    EXPECT_EQ(ValidateProfileFile(path), c.result);
    // What the check refuses for its pool, the loader refuses too, without
    // reading it.
    if (c.sparseSize) {
      LoadedProfile loaded;
      EXPECT_EQ(ReadProfileFile(path, loaded), c.result == 1);
    }
    ASSERT_EQ(prompter.requests.size(), c.message ? 1u : 0u);
    if (c.message) {
      EXPECT_EQ(prompter.requests[0].text, u"Not a profile: " + text::FromUtf8(path.string()));
    }
  }
}

TEST_F(ProfileFiles, ValidationOfFilesThatCannotBeRead) {
  EXPECT_EQ(ValidateProfileFile(File("missing.kyl")), 0);
  fs::create_directory(File("folder.kyl"));
  EXPECT_EQ(ValidateProfileFile(File("folder.kyl")), -2);
  EXPECT_TRUE(prompter.requests.empty());
}

// A FIFO with no writer is refused at once by the check and by the loader,
// rather than waiting for a writer.
TEST_F(ProfileFiles, FifoIsRefusedWithoutWaiting) {
  const fs::path fifo = File("pipe.kyl");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  auto settle = [&](auto work) {
    auto done = std::async(std::launch::async, work);
    if (done.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
      // Unblock the reader so that the test ends, then fail.
      const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
      ADD_FAILURE() << "blocked on the FIFO";
    }
    return done.get();
  };
  EXPECT_EQ(settle([&] { return ValidateProfileFile(fifo); }), -2);
  EXPECT_EQ(settle([&] { return LoadProfileFile(fifo); }), 0);
  EXPECT_EQ(settle([&] {
              LoadedProfile loaded;
              return ReadProfileFile(fifo, loaded);
            }),
            false);
  EXPECT_TRUE(prompter.requests.empty());
}

// A string is at most kMaxProfileStringUnits units long; a record whose
// string runs longer gets none, the others keep theirs.
TEST_F(ProfileFiles, StringsUpToTheLongestAProfileHolds) {
  const std::size_t longest = kMaxProfileStringUnits;
  std::vector<std::uint8_t> poolBytes;
  auto add = [&](std::size_t units) {
    const auto at = static_cast<std::uint32_t>(poolBytes.size());
    for (std::size_t u = 0; u < units; ++u) {
      poolBytes.push_back('a' + u % 26);
      poolBytes.push_back(0);
    }
    poolBytes.push_back(0);
    poolBytes.push_back(0);
    return at;
  };
  const std::uint32_t atLongest = add(longest);
  const std::uint32_t atTooLong = add(longest + 1);
  std::vector<std::uint8_t> bytes = EmptyProfileBytes();
  auto record = [&](int index, std::uint32_t offset) {
    std::uint8_t* r = bytes.data() + 64 + index * 16;
    PutU16(r, kText);
    PutU32(r + 4, offset);
  };
  record(0, atLongest);
  record(1, atTooLong);
  record(2, atTooLong + 2);  // the same run of text, one unit shorter: fits
  const auto poolSize = static_cast<std::uint32_t>(poolBytes.size());
  PutU32(&bytes[16], poolSize);
  PutU32(&bytes[8], 0x8040 + poolSize);
  Reseal(bytes);
  bytes.insert(bytes.end(), poolBytes.begin(), poolBytes.end());
  WriteBytes(File("long.kyl"), bytes);
  ASSERT_EQ(ValidateProfileFile(File("long.kyl")), 1);
  LoadedProfile loaded;
  ASSERT_TRUE(ReadProfileFile(File("long.kyl"), loaded));
  EXPECT_EQ(loaded.strings[0].text.size(), longest);
  EXPECT_EQ(loaded.strings[0].size, (longest + 1) * 2);
  EXPECT_TRUE(loaded.strings[1].text.empty());
  EXPECT_EQ(loaded.strings[1].size, 0u);
  EXPECT_EQ(loaded.strings[2].text.size(), longest);
  EXPECT_EQ(loaded.strings[2].text.front(), u'b');
  EXPECT_EQ(loaded.totalStringSize, 2 * (longest + 1) * 2);
}

TEST_F(ProfileFiles, ExportImportRoundTripKeepsBytesStoreAndReportRate) {
  FillStore();
  session.lighting.CurrentLighting.report_rate = 2;
  ASSERT_EQ(ExportProfileFile(File("a.kyl")), 1);
  const std::vector<std::uint8_t> first = ReadBytes(File("a.kyl"));
  const std::uint32_t pool = 2 * 16 + 2 * 13 + 2 * 6 + 2 * 2;  // the stale string still counts
  ASSERT_EQ(first.size(), 0x8040u + 0x7F00u + pool + 4u);
  EXPECT_EQ(GetU32(&first[8]), 0x8040u + 0x7F00u + pool);
  EXPECT_EQ(GetU16(&first[14]), 1);
  EXPECT_EQ(GetU32(&first[16]), pool);
  EXPECT_EQ(GetU32(&first[first.size() - 4]), 2u);
  EXPECT_EQ(ValidateProfileFile(File("a.kyl")), 1);

  keys::KeyTableBlock block = store.block;
  auto macros = store.macros;
  auto strings = store.strings;
  const std::uint32_t total = store.totalStringSize;
  store.Clear();
  session.lighting.CurrentLighting.report_rate = 0;
  ASSERT_EQ(LoadProfileFile(File("a.kyl")), 1);
  EXPECT_EQ(session.lighting.CurrentLighting.report_rate, 2);
  EXPECT_EQ(store.macros, macros);
  EXPECT_EQ(store.block.tables, block.tables);
  EXPECT_EQ(store.block.headers, block.headers);
  EXPECT_EQ(store.totalStringSize, total - 12u) << "the stale string is not loaded back";
  for (int i = 0; i < keys::kStringSlotCount; ++i) {
    if (i == keys::StringSlotIndex(1, 0x20)) continue;
    EXPECT_EQ(store.strings[i].text, strings[i].text) << i;
    EXPECT_EQ(store.strings[i].size, strings[i].size) << i;
  }
  // The loaded store exports to the same bytes but for the stale string.
  ASSERT_EQ(ExportProfileFile(File("b.kyl")), 1);
  store.Clear();
  ASSERT_EQ(LoadProfileFile(File("b.kyl")), 1);
  ASSERT_EQ(ExportProfileFile(File("c.kyl")), 1);
  EXPECT_EQ(ReadBytes(File("b.kyl")), ReadBytes(File("c.kyl")));
}

TEST_F(ProfileFiles, SavedOffsetsPointAtOwnTextsInRecordOrder) {
  FillStore();
  std::vector<std::uint8_t> image = BuildProfileImage(store, std::nullopt);
  const std::size_t poolAt = 0x8040 + 0x7F00;
  struct Expect {
    int table, record;
    std::u16string text;
  };
  std::uint32_t previous = 0;
  bool first = true;
  for (const Expect& e : {Expect{0, 0x1E, u"/usr/bin/editor"}, Expect{1, 0x21, u"x"}, Expect{2, 0x10, u"Hello, world"}}) {
    const std::uint32_t offset = store.block.tables[e.table][e.record].value;
    EXPECT_EQ(offset % 2, 0u);
    if (!first) {
      EXPECT_GT(offset, previous);
    }
    first = false;
    previous = offset;
    const std::size_t recordAt = 64 + (e.table * 512 + e.record) * 16;
    EXPECT_EQ(GetU32(&image[recordAt + 4]), offset) << "the file holds the offset too";
    std::u16string text;
    for (std::size_t at = poolAt + offset; GetU16(&image[at]) != 0; at += 2) text.push_back(GetU16(&image[at]));
    EXPECT_EQ(text, e.text);
  }
  EXPECT_EQ(store.block.tables[1][0x20].value, 0x1Fu) << "a record without text keeps its value";
}

// Saves killed at random moments leave the working profile and an export
// whole (the empty profile or the one with 30 macros, about 1 MB), and no
// pile of temporaries.
TEST_F(ProfileFiles, KilledSavesLeaveTheOldOrTheNewFile) {
  if (testing_support::KillDuringSaves::kSkipped) GTEST_SKIP() << testing_support::KillDuringSaves::kSkipReason;
  FillStore();
  const keys::MacroRecord macro = store.macros.front();
  const auto set_version = [&](int v) {
    store.macros.assign(v ? 30 : 0, macro);
    for (std::size_t i = 0; i < store.macros.size(); ++i) store.macros[i].id = std::uint16_t(i + 1);
  };
  EnsureDataFolder();
  WriteBytes(WorkingProfilePath(), {});
  struct Kind {
    const char* what;
    fs::path file;
    std::function<int()> save;
  } kinds[] = {
      {"working profile", WorkingProfilePath(), [&] { return SaveWorkingProfile(); }},
      {"export", File("big.kyl"), [&] { return ExportProfileFile(File("big.kyl")); }},
  };
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(kind.what);
    testing_support::KillDuringSaves run;
    run.file = kind.file;
    run.save = [&](int v) {
      set_version(v);
      return kind.save() == 1;
    };
    const testing_support::KillDuringSaves::Figures f = run.Run(200);
    EXPECT_EQ(f.kills, 200);
    EXPECT_EQ(f.mixed, 0);
    EXPECT_LE(f.most_temporaries, 1);
    EXPECT_EQ(f.temporaries_left, 0);
    EXPECT_NE(run.versions[0].size(), run.versions[1].size());
  }
}

TEST_F(ProfileFiles, EmptyProfileSizesWithAndWithoutTrailer) {
  store.block = EmptyProfileBlock(0);
  EnsureDataFolder();
  WriteBytes(WorkingProfilePath(), {});
  ASSERT_EQ(SaveWorkingProfile(), 1);
  EXPECT_EQ(ReadBytes(WorkingProfilePath()), EmptyProfileBytes());
  ASSERT_EQ(ExportProfileFile(File("e.kyl")), 1);
  EXPECT_EQ(ReadBytes(File("e.kyl")).size(), 32836u);
  ASSERT_EQ(WriteEmptyProfile(File("empty"), 0), 1);
  EXPECT_EQ(ReadBytes(File("empty")), EmptyProfileBytes());
}

TEST_F(ProfileFiles, WorkingFileWithoutTrailerLeavesReportRate) {
  FillStore();
  EnsureDataFolder();
  WriteBytes(WorkingProfilePath(), {});
  ASSERT_EQ(SaveWorkingProfile(), 1);
  session.lighting.CurrentLighting.report_rate = 3;
  store.Clear();
  ASSERT_EQ(LoadProfileFile(WorkingProfilePath()), 1);
  EXPECT_EQ(session.lighting.CurrentLighting.report_rate, 3);
  EXPECT_EQ(store.MacroCount(), 1);
}

TEST_F(ProfileFiles, SaveWorkingProfileWritesOnlyOverAnExistingFile) {
  FillStore();
  ASSERT_EQ(SaveWorkingProfile(), 0);
  EXPECT_FALSE(fs::exists(WorkingProfilePath()));
  EXPECT_TRUE(fs::is_directory(env.DataDir())) << "the data folder is made on the way";
}

TEST_F(ProfileFiles, SavesReplaceTheFileInsteadOfRewritingIt) {
  // A second name for the old file keeps the old bytes: the new content went
  // to a new file that was renamed over the target, so an interrupted save
  // never leaves a half-written profile behind.
  EnsureDataFolder();
  const std::vector<std::uint8_t> old = EmptyProfileBytes();
  for (const fs::path& target : {WorkingProfilePath(), File("backup.kyl")}) {
    SCOPED_TRACE(target.string());
    WriteBytes(target, old);
    fs::remove(File("old-link"));
    fs::create_hard_link(target, File("old-link"));
    FillStore();
    ASSERT_EQ(target == WorkingProfilePath() ? SaveWorkingProfile() : ExportProfileFile(target), 1);
    EXPECT_EQ(ReadBytes(File("old-link")), old);
    EXPECT_NE(ReadBytes(target), old);
    EXPECT_EQ(ValidateProfileFile(target), 1);
    std::vector<fs::path> leftovers;
    for (const auto& entry : fs::directory_iterator(target.parent_path())) {
      const std::string name = entry.path().filename().string();
      if (name.find(target.filename().string()) != std::string::npos && entry.path() != target) {
        leftovers.push_back(entry.path());
      }
    }
    EXPECT_TRUE(leftovers.empty()) << "no temporary file is left";
  }
}

// Pool strings are read only inside the pool: a record whose offset lies
// outside it, or whose string has no terminator inside it, gets no text.
TEST_F(ProfileFiles, LoadingNeverReadsOutsideThePool) {
  struct Case {
    const char* name;
    std::uint32_t offset;
    std::u16string expected;
  };
  // Pool: "ab\0" "cd" (no terminator); 10 bytes.
  const std::vector<std::uint8_t> pool = {'a', 0, 'b', 0, 0, 0, 'c', 0, 'd', 0};
  const std::vector<Case> cases = {
      {"string at the start", 0, u"ab"},
      {"odd offset rounds down", 1, u"ab"},
      {"empty string at its terminator", 4, u""},
      {"string without terminator", 6, u""},
      {"offset at the pool's end", 10, u""},
      {"offset far past the pool", 0xFFFFFFF0, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    keys::KeyTableBlock block = EmptyProfileBlock(0);
    block.tables[1][5] = {kText, 0, c.offset, 0, 0};
    block.tables[1][6] = {kLaunch, 0, 0, 0, 0};  // a good neighbour
    BuildProfileHeader(block, 0, static_cast<std::uint32_t>(pool.size()), 0);
    std::vector<std::uint8_t> bytes = block.ToBytes();
    bytes.insert(bytes.end(), pool.begin(), pool.end());
    LoadedProfile loaded;
    ASSERT_TRUE(ParseProfileImage(bytes, loaded));
    const keys::StringSlot& slot = loaded.strings[keys::StringSlotIndex(1, 5)];
    EXPECT_EQ(slot.text, c.expected);
    const bool terminated = c.offset < 6;
    EXPECT_EQ(slot.size, terminated ? (c.expected.size() + 1) * 2 : 0u);
    EXPECT_EQ(loaded.strings[keys::StringSlotIndex(1, 6)].text, u"ab");
    EXPECT_FALSE(loaded.trailer.has_value());
  }
}

// A text-carrying record whose text was lost keeps none through a save and
// a load: its old offset would otherwise point into the new pool.
TEST_F(ProfileFiles, RecordWithoutTextGetsNoneAfterSaveAndLoad) {
  store.block = EmptyProfileBlock(0);
  store.block.tables[0][1] = {kText, 0, 2, 0, 0};  // no string, stale offset 2
  store.block.tables[0][2] = {kLaunch, 0, 0, 0, 0};
  store.SetString(keys::StringSlotIndex(0, 2), u"abc");
  ASSERT_EQ(ExportProfileFile(File("p.kyl")), 1);
  EXPECT_EQ(store.block.tables[0][1].value, 8u) << "points just past the 8-byte pool";
  store.Clear();
  ASSERT_EQ(LoadProfileFile(File("p.kyl")), 1);
  EXPECT_EQ(store.strings[keys::StringSlotIndex(0, 1)].size, 0u);
  EXPECT_EQ(store.strings[keys::StringSlotIndex(0, 2)].text, u"abc");
  EXPECT_EQ(store.totalStringSize, 8u);
}

// Records sharing one string each get a copy, up to what the pool or a few
// MiB can hold; a small file cannot make the load copy one long string for
// every record.
TEST_F(ProfileFiles, SharedStringsAreCopiedWithinABudget) {
  struct Case {
    const char* name;
    std::size_t units;
    int records;
    int expectedCopies;
  };
  // The longest string a record can carry (64 KiB with its zero) shared by
  // 2048 records: the 4 MiB budget holds 64 copies.
  for (const Case& c : {Case{"short string shared by every record", 3, 2048, 2048},
                        Case{"long string shared by every record", kMaxProfileStringUnits, 2048, 64}}) {
    SCOPED_TRACE(c.name);
    keys::KeyTableBlock block = EmptyProfileBlock(0);
    for (int i = 0; i < c.records; ++i) block.tables[i / 512][i % 512] = {kText, 0, 0, 0, 0};
    const std::uint32_t poolSize = static_cast<std::uint32_t>((c.units + 1) * 2);
    BuildProfileHeader(block, 0, poolSize, 0);
    std::vector<std::uint8_t> bytes = block.ToBytes();
    bytes.resize(bytes.size() + poolSize, 'a');
    bytes[bytes.size() - 1] = bytes[bytes.size() - 2] = 0;
    auto loaded = std::make_unique<LoadedProfile>();
    ASSERT_TRUE(ParseProfileImage(bytes, *loaded));
    int copies = 0;
    for (const keys::StringSlot& slot : loaded->strings) copies += slot.size != 0 ? 1 : 0;
    EXPECT_EQ(copies, c.expectedCopies);
    EXPECT_EQ(loaded->totalStringSize, static_cast<std::uint64_t>(copies) * poolSize);
  }
}

// A load that fails changes nothing in the store.
TEST_F(ProfileFiles, FailedLoadLeavesTheStoreAsItWas) {
  struct Case {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> change;
  };
  const std::vector<Case> cases = {
      {"shorter than one block", [](auto& b) { b.resize(1000); }},
      {"macros announced but missing", [](auto& b) { PutU16(&b[14], 2); }},
      {"pool announced but missing", [](auto& b) { PutU32(&b[16], 64); }},
      {"macro count above 100", [](auto& b) { PutU16(&b[14], 101); b.resize(b.size() + 101 * 0x7F00); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    store.Clear();
    FillStore();
    session.lighting.CurrentLighting.report_rate = 1;
    const std::vector<std::uint8_t> before = BuildProfileImage(store, std::nullopt);
    std::vector<std::uint8_t> bytes = EmptyProfileBytes(4);
    PutU32(&bytes[bytes.size() - 4], 3);
    c.change(bytes);
    WriteBytes(File("bad"), bytes);
    EXPECT_EQ(LoadProfileFile(File("bad")), 0);
    EXPECT_EQ(BuildProfileImage(store, std::nullopt), before);
    EXPECT_EQ(session.lighting.CurrentLighting.report_rate, 1);
  }
  const std::vector<std::uint8_t> before = BuildProfileImage(store, std::nullopt);
  EXPECT_EQ(LoadProfileFile(File("missing")), 0);
  fs::create_directory(File("dir"));
  EXPECT_EQ(LoadProfileFile(File("dir")), 0);
  EXPECT_EQ(BuildProfileImage(store, std::nullopt), before);
}

TEST_F(ProfileFiles, TrailerSetsTheReportRateFromItsLowHalf) {
  std::vector<std::uint8_t> bytes = EmptyProfileBytes(4);
  PutU32(&bytes[32832], 0x00070001);
  WriteBytes(File("t.kyl"), bytes);
  ASSERT_EQ(LoadProfileFile(File("t.kyl")), 1);
  EXPECT_EQ(session.lighting.CurrentLighting.report_rate, 1);
  // Fewer than four bytes after the content are no trailer.
  bytes.resize(32832 + 3);
  session.lighting.CurrentLighting.report_rate = 2;
  WriteBytes(File("t.kyl"), bytes);
  ASSERT_EQ(LoadProfileFile(File("t.kyl")), 1);
  EXPECT_EQ(session.lighting.CurrentLighting.report_rate, 2);
}

}  // namespace
}  // namespace keyloom::profiles
