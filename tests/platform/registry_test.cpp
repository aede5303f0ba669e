#include "platform/registry.h"

#include "file_size_limit.h"
#include "platform/text.h"
#include "test_dir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <vector>
#include <string>

namespace keyloom::registry {
namespace {

using keyloom::testing::TempDir;

constexpr std::u16string_view kApp = u"Software\\Tarn-60 Gaming Keyboard";

std::string ReadBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
void WriteBytes(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

class RegistryTest : public ::testing::Test {
 protected:
  TempDir dir_;
  std::filesystem::path file_ = dir_.path() / "keyloom" / "registry.reg";
  ScopedStoreFile store_{file_};
};

TEST_F(RegistryTest, OpenFailsUntilCreateMakesTheKey) {
  EXPECT_EQ(StoreFile(), file_);
  EXPECT_FALSE(Key::Open(kApp));
  auto key = Key::Create(kApp);
  ASSERT_TRUE(key);
  EXPECT_TRUE(Key::Open(u"software\\TARN-60 gaming keyboard"));  // case ignored
  EXPECT_TRUE(Key::Open(u"Software"));                            // a parent exists through its child
  EXPECT_FALSE(Key::Open(u"Software\\Tarn"));                     // a prefix is no parent
  EXPECT_FALSE(Key::Create(u""));
  EXPECT_FALSE(Key::Create(u"\\\\"));
  EXPECT_EQ(ReadBytes(file_),
            "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Tarn-60 Gaming Keyboard]\n");
}

TEST_F(RegistryTest, ValuesAreTypedAndReplaceEachOther) {
  auto key = Key::Create(kApp);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->TypeOf(u"dwLanguageId"), ValueType::Missing);
  ASSERT_TRUE(key->SetString(u"dwLanguageId", u"0x0804"));
  EXPECT_EQ(key->TypeOf(u"DWLANGUAGEID"), ValueType::String);
  EXPECT_FALSE(key->GetDword(u"dwLanguageId"));  // a string is no DWORD
  EXPECT_EQ(key->GetString(u"dwLanguageId"), u"0x0804");
  ASSERT_TRUE(key->SetDword(u"dwlanguageid", 0));  // replaces the string, keeps the name
  EXPECT_EQ(key->TypeOf(u"dwLanguageId"), ValueType::Dword);
  EXPECT_EQ(key->GetDword(u"dwLanguageId"), 0u);
  EXPECT_FALSE(key->GetString(u"dwLanguageId"));
  ASSERT_TRUE(key->SetDword(u"dwLanguageId", 0x0409));
  ASSERT_TRUE(key->SetDword(u"Big", 0xFFFFFFFFu));
  EXPECT_EQ(ReadBytes(file_),
            "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Tarn-60 Gaming Keyboard]\n"
            "\"dwLanguageId\"=dword:00000409\n\"Big\"=dword:ffffffff\n");
  EXPECT_TRUE(key->DeleteValue(u"BIG"));
  EXPECT_EQ(key->TypeOf(u"Big"), ValueType::Missing);
  EXPECT_TRUE(key->DeleteValue(u"Big"));  // already gone
  // A second handle on the same key sees the same values.
  EXPECT_EQ(Key::Open(kApp)->GetDword(u"dwLanguageId"), 0x0409u);
}

TEST_F(RegistryTest, StringsRoundTripThroughTheFile) {
  auto key = Key::Create(u"Software\\Keyloom_Orvane\\Tarn-60 Gaming Keyboard\\PROFILES");
  ASSERT_TRUE(key);
  const std::u16string values[] = {
      u"",
      u"plain",
      u"say \"hi\"",
      u"C:\\Users\\x\\",
      u"\\\"",
      u"line1\nline2\r\n[HKEY_CURRENT_USER\\Injected]",
      u"\u952E\u76D8 \U0001F3AE",
      std::u16string(u"nul\0inside", 10),
      u"  outer spaces  ",
      u"trailing backslash\\",
  };
  for (std::size_t i = 0; i < std::size(values); ++i)
    ASSERT_TRUE(key->SetString(text::FromAscii("v" + std::to_string(i)), values[i]));
  // Read back through a fresh parse of the file.
  SetStoreFile(file_);
  for (std::size_t i = 0; i < std::size(values); ++i)
    EXPECT_EQ(key->GetString(text::FromAscii("v" + std::to_string(i))), values[i]) << i;
  EXPECT_FALSE(Key::Open(u"Injected"));
  const std::string bytes = ReadBytes(file_);
  EXPECT_NE(bytes.find("\"v2\"=\"say \\\"hi\\\"\"\n"), std::string::npos);
  EXPECT_NE(bytes.find("\"v3\"=\"C:\\\\Users\\\\x\\\\\"\n"), std::string::npos);
  EXPECT_NE(bytes.find("\"v6\"=\"\xE9\x94\xAE\xE7\x9B\x98 \xF0\x9F\x8E\xAE\"\n"), std::string::npos);
}

TEST_F(RegistryTest, ReadsHandWrittenFilesAndKeepsWhatItDoesNotInterpret) {
  std::filesystem::create_directories(file_.parent_path());
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Tarn-60 Gaming Keyboard]\r\n"
      "\"dwLanguageId\"=dword:00000804\r\n"
      "[HKEY_CURRENT_USER\\Software\\Tarn-60 Gaming Keyboard]\r\n"
      "  \"dwLanguageId\" = dword:404  \r\n"
      "\"Blob\"=hex:01,02,03\r\n"
      "; a note\r\n"
      "\"Bad\"=dword:xyz\r\n"
      "\"Dup\"=\"first\"\r\n"
      "\"dup\"=\"second\"\r\n"
      "\"Unclosed=\"x\"\r\n"
      "@=\"default\"\r\n";
  WriteBytes(file_, text);
  auto key = Key::Open(kApp);
  ASSERT_TRUE(key);
  // "dwLanguageId" = dword:404 has spaces around '=': not a value line.
  EXPECT_EQ(key->TypeOf(u"dwLanguageId"), ValueType::Missing);
  EXPECT_EQ(key->TypeOf(u"Blob"), ValueType::Missing);
  EXPECT_EQ(key->TypeOf(u"Bad"), ValueType::Missing);
  EXPECT_EQ(key->GetString(u"Dup"), u"first");
  EXPECT_EQ(key->GetString(u""), u"default");

  ASSERT_TRUE(key->SetDword(u"dwLanguageId", 0x0404));
  const std::string after = ReadBytes(file_);
  EXPECT_NE(after.find("\"Blob\"=hex:01,02,03\n"), std::string::npos);
  EXPECT_NE(after.find("; a note\n"), std::string::npos);
  EXPECT_EQ(after.find("HKEY_LOCAL_MACHINE"), std::string::npos);  // not ours: not kept here,
  EXPECT_EQ(ReadBytes(file_.string() + ".damaged"), text);            // but beside it
  const std::vector<std::string> notices = TakeNotices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0], "the registry store " + file_.string() +
                            " was damaged (line 3 names a key outside HKEY_CURRENT_USER); it was kept as " +
                            file_.string() + ".damaged and written again from what could be read");
  EXPECT_EQ(key->GetDword(u"dwLanguageId"), 0x0404u);
  EXPECT_TRUE(key->DeleteValue(u"dup"));
  EXPECT_FALSE(key->GetString(u"Dup"));  // the later copy does not take its place
}

TEST_F(RegistryTest, AFileItCannotReadWholeIsKeptBesideItBeforeARewrite) {
  std::filesystem::create_directories(file_.parent_path());
  const std::string ours = "[HKEY_CURRENT_USER\\Software\\Tarn-60 Gaming Keyboard]\n";
  struct Case {
    const char* what;
    std::string bytes;
    bool damaged;
  } cases[] = {
      {"whole file with a note and another value type", ours + "; note\n\"Blob\"=hex:01\n", false},
      {"empty file", "", false},
      {"random bytes", std::string("\x8f\x13\x00\xfe\xc3\x28 junk", 12), true},
      {"a line before any key", "hello\n" + ours, true},
      {"an unclosed key name", ours + "[HKEY_CURRENT_USER\\Software\\X\n\"a\"=\"b\"\n", true},
      {"UTF-16 with an odd last byte", std::string("\xFF\xFE[\0", 4) + "x", true},
      {"invalid UTF-8 in a value", ours + "\"a\"=\"\xC0\xAF\"\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(file_.string() + ".damaged");
    (void)TakeNotices();
    WriteBytes(file_, c.bytes);
    auto key = Key::Create(kApp);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->SetDword(u"dwLanguageId", 0));
    EXPECT_EQ(key->GetDword(u"dwLanguageId"), 0u);
    EXPECT_EQ(std::filesystem::exists(file_.string() + ".damaged"), c.damaged);
    if (c.damaged) {
      EXPECT_EQ(ReadBytes(file_.string() + ".damaged"), c.bytes);
    }
    EXPECT_EQ(TakeNotices().size(), c.damaged ? 1u : 0u);
    // Once rewritten, the file is whole: the next change keeps nothing aside.
    std::filesystem::remove(file_.string() + ".damaged");
    ASSERT_TRUE(key->SetDword(u"dwLanguageId", 0x409));
    EXPECT_FALSE(std::filesystem::exists(file_.string() + ".damaged"));
  }
}

TEST_F(RegistryTest, ReadsUtf16FilesAsExportedAndWritesUtf8) {
  std::filesystem::create_directories(file_.parent_path());
  const std::u16string text =
      u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tarn-60 Gaming Keyboard]\r\n"
      u"\"dwLanguageId\"=dword:00000804\r\n\"Name\"=\"\u952E\"\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) bytes += {char(c & 0xFF), char(c >> 8)};
  WriteBytes(file_, bytes);
  auto key = Key::Open(kApp);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->GetDword(u"dwLanguageId"), 0x0804u);
  EXPECT_EQ(key->GetString(u"Name"), u"\u952E");
  ASSERT_TRUE(key->SetDword(u"dwLanguageId", 0x0409));
  EXPECT_EQ(ReadBytes(file_).rfind("Windows Registry", 0), 0u);
  EXPECT_EQ(key->GetString(u"Name"), u"\u952E");
}

TEST_F(RegistryTest, SeesChangesMadeByAnotherProcess) {
  auto key = Key::Create(kApp);
  ASSERT_TRUE(key);
  ASSERT_TRUE(key->SetDword(u"dwLanguageId", 0x0804));
  EXPECT_EQ(key->GetDword(u"dwLanguageId"), 0x0804u);
  std::string bytes = ReadBytes(file_);
  bytes.replace(bytes.find("00000804"), 8, "00000404");  // same size, in place
  WriteBytes(file_, bytes);
  EXPECT_EQ(key->GetDword(u"dwLanguageId"), 0x0404u);
  std::filesystem::remove(file_);
  EXPECT_EQ(key->TypeOf(u"dwLanguageId"), ValueType::Missing);
  EXPECT_FALSE(Key::Open(kApp));
  ASSERT_TRUE(key->SetDword(u"dwLanguageId", 1));  // the key comes back with the value
  EXPECT_TRUE(Key::Open(kApp));
}

TEST_F(RegistryTest, AFailedWriteLeavesTheOldFileWhole) {
  auto key = Key::Create(kApp);
  ASSERT_TRUE(key);
  ASSERT_TRUE(key->SetDword(u"dwLanguageId", 0x0804));
  const std::string good = ReadBytes(file_);
  // A temporary file left by a crash is never read, and the next write
  // clears it.
  WriteBytes(file_.parent_path() / ".registry.reg.AbC123.saving", "[HKEY_CURRENT_USER\\Half");
  EXPECT_EQ(key->GetDword(u"dwLanguageId"), 0x0804u);
  {
    keyloom::testing::FileSizeLimit limit(good.size() + 8);
    EXPECT_FALSE(key->SetString(u"Long", std::u16string(500, u'x')));
  }
  EXPECT_EQ(ReadBytes(file_), good);
  EXPECT_EQ(key->GetDword(u"dwLanguageId"), 0x0804u);
  EXPECT_EQ(key->TypeOf(u"Long"), ValueType::Missing);
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(file_.parent_path())) ++entries;
  EXPECT_EQ(entries, 2u);  // the store and its lock file: the stray is gone, nothing new
}

// Several strings in one change: every one is there afterwards, a name
// already stored (in any case) is replaced in place; a change that cannot
// be written leaves none of them.
TEST_F(RegistryTest, SeveralStringsAreWrittenTogetherOrNotAtAll) {
  auto key = Key::Create(kApp);
  ASSERT_TRUE(key);
  ASSERT_TRUE(key->SetDword(u"Count", 7));
  ASSERT_TRUE(key->SetStrings({{u"count", u"2"}, {u"Row1", u"a"}, {u"Row2", u"b"}}));
  EXPECT_EQ(key->GetString(u"Count"), u"2");
  EXPECT_EQ(key->GetString(u"Row1"), u"a");
  EXPECT_EQ(key->GetString(u"Row2"), u"b");
  EXPECT_EQ(ReadBytes(file_).find("\"count\""), std::string::npos) << "replaced under its stored name";

  const std::string good = ReadBytes(file_);
  {
    keyloom::testing::FileSizeLimit limit(good.size() + 8);
    EXPECT_FALSE(key->SetStrings({{u"Row1", u"c"}, {u"Row3", std::u16string(500, u'x')}}));
  }
  EXPECT_EQ(ReadBytes(file_), good);
  EXPECT_EQ(key->GetString(u"Row1"), u"a");
  EXPECT_EQ(key->TypeOf(u"Row3"), ValueType::Missing);
}

TEST_F(RegistryTest, ProcessesSharingTheStoreLoseNoUpdate) {
  ASSERT_TRUE(Key::Create(kApp));
  constexpr int kProcesses = 3;
  constexpr int kValues = 25;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      auto key = Key::Open(kApp);
      bool ok = key.has_value();
      for (int i = 0; ok && i < kValues; ++i)
        ok = key->SetDword(text::FromAscii("p" + std::to_string(p) + "_" + std::to_string(i)), i);
      ::_exit(ok ? 0 : 1);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  auto key = Key::Open(kApp);
  ASSERT_TRUE(key);
  for (int p = 0; p < kProcesses; ++p)
    for (int i = 0; i < kValues; ++i)
      EXPECT_EQ(key->GetDword(text::FromAscii("p" + std::to_string(p) + "_" + std::to_string(i))),
                static_cast<std::uint32_t>(i))
          << p << " " << i;
}

TEST_F(RegistryTest, UnusableStoreMakesOpenAndCreateFail) {
  // The folder cannot be made (a file is in its way).
  WriteBytes(dir_.path() / "keyloom", "not a folder");
  EXPECT_FALSE(Key::Create(kApp));
  EXPECT_FALSE(Key::Open(kApp));
  // The store is a folder: unreadable, and never replaced.
  std::filesystem::remove(dir_.path() / "keyloom");
  std::filesystem::create_directories(file_);
  EXPECT_FALSE(Key::Open(kApp));
  EXPECT_FALSE(Key::Create(kApp));
  EXPECT_TRUE(std::filesystem::is_directory(file_));
}

}  // namespace
}  // namespace keyloom::registry
