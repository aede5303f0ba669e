#include "platform/shell.h"

#include "scoped_env.h"
#include "test_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

namespace keyloom::shell {
namespace {

using keyloom::testing::ScopedEnv;
using keyloom::testing::TempDir;

// A program that writes what it was started with into $KL_REPORT:
// one "key:value" line each for its arguments, working folder, stdout,
// session, parent and whether descriptor $KL_FD reached it.
constexpr const char* kReporter =
    "#!/bin/sh\n"
    "out=$(readlink /proc/$$/fd/1)\n"
    "in=$(readlink /proc/$$/fd/0)\n"
    "{\n"
    "  echo \"argc:$#\"\n"
    "  for a in \"$@\"; do echo \"arg:$a\"; done\n"
    "  echo \"cwd:$(pwd)\"\n"
    "  echo \"stdout:$out\"\n"
    "  echo \"stdin:$in\"\n"
    "  echo \"sid:$(cut -d' ' -f6 /proc/$$/stat)\"\n"
    "  if [ -e /proc/$$/fd/$KL_FD ]; then echo leaked:yes; else echo leaked:no; fi\n"
    "} > \"$KL_REPORT.part\"\n"
    "mv \"$KL_REPORT.part\" \"$KL_REPORT\"\n";

void WriteProgram(const std::filesystem::path& p, const char* script) {
  std::ofstream(p) << script;
  std::filesystem::permissions(p, std::filesystem::perms(0755));
}

std::multimap<std::string, std::string> WaitForReport(const std::filesystem::path& report) {
  for (int i = 0; i < 500 && !std::filesystem::exists(report); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::multimap<std::string, std::string> out;
  std::ifstream in(report);
  for (std::string line; std::getline(in, line);) {
    const auto colon = line.find(':');
    if (colon != std::string::npos) out.emplace(line.substr(0, colon), line.substr(colon + 1));
  }
  return out;
}

std::vector<std::string> Args(const std::multimap<std::string, std::string>& report) {
  std::vector<std::string> args;
  for (auto [it, end] = report.equal_range("arg"); it != end; ++it) args.push_back(it->second);
  return args;
}

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bin_ = dir_.path() / "bin";
    work_ = dir_.path() / "work dir";
    std::filesystem::create_directories(bin_);
    std::filesystem::create_directories(work_);
    report_ = dir_.path() / "report.txt";
    env_.Set("PATH", (bin_.string() + ":/usr/bin:/bin").c_str());
    env_.Set("KL_REPORT", report_.c_str());
    // A descriptor opened without close-on-exec, as a careless library might.
    leak_fd_ = ::open("/dev/null", O_RDONLY);
    env_.Set("KL_FD", std::to_string(leak_fd_).c_str());
  }
  void TearDown() override { ::close(leak_fd_); }
  TempDir dir_;
  ScopedEnv env_;
  std::filesystem::path bin_, work_, report_;
  int leak_fd_ = -1;
};

TEST_F(ShellTest, ProgramStartsDetachedWithItsParametersAndFolder) {
  WriteProgram(bin_ / "KbDaemon", kReporter);
  OpenRequest request;
  request.file = bin_ / "KbDaemon";
  request.parameters = u"-a \"two words\" say\\\"hi\\\" \u952E";
  request.directory = work_;
  request.show = Show::Hidden;
  ASSERT_TRUE(Open(request));
  const auto report = WaitForReport(report_);
  EXPECT_EQ(Args(report), (std::vector<std::string>{"-a", "two words", "say\"hi\"", "\xE9\x94\xAE"}));
  EXPECT_EQ(report.find("cwd")->second, work_.string());
  EXPECT_EQ(report.find("stdout")->second, "/dev/null");
  EXPECT_EQ(report.find("stdin")->second, "/dev/null");
  EXPECT_NE(report.find("sid")->second, std::to_string(::getsid(0)));  // its own session
  EXPECT_EQ(report.find("leaked")->second, "no");
}

TEST_F(ShellTest, ShownProgramKeepsOutputAndBareNamesAreFoundOnPath) {
  WriteProgram(bin_ / "helper-prog", kReporter);
  OpenRequest request;
  request.file = "helper-prog";
  ASSERT_TRUE(Open(request));
  const auto report = WaitForReport(report_);
  EXPECT_NE(report.find("stdout")->second, "/dev/null");
  EXPECT_EQ(report.find("argc")->second, "0");
}

TEST_F(ShellTest, DocumentsAndAddressesGoToTheDesktopHandlerWithoutParameters) {
  WriteProgram(bin_ / "xdg-open", kReporter);
  std::ofstream(work_ / "index.html") << "<html></html>";
  struct Case {
    std::filesystem::path file;
    std::filesystem::path directory;
    std::string expected;
  } cases[] = {
      {"index.html", work_, (work_ / "index.html").string()},  // relative to the folder
      {work_ / "index.html", "", (work_ / "index.html").string()},
      {work_, "", work_.string()},
      {"https://example.com/a?b=c", "", "https://example.com/a?b=c"},
      {"mailto:someone@example.com", "", "mailto:someone@example.com"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(report_);
    OpenRequest request;
    request.file = c.file;
    request.parameters = u"NULL";
    request.directory = c.directory;
    ASSERT_TRUE(Open(request)) << c.file;
    EXPECT_EQ(Args(WaitForReport(report_)), std::vector<std::string>{c.expected}) << c.file;
  }
}

// Paths, addresses and parameters go to the started program as arguments,
// never through a shell: whatever they hold, nothing in them runs.
TEST_F(ShellTest, ShellCharactersInPathsAndLinksAreNeverRun) {
  WriteProgram(bin_ / "xdg-open", kReporter);
  WriteProgram(bin_ / "KbDaemon", kReporter);
  const std::string odd = "a $(touch hacked1) `touch hacked2`; touch hacked3 | 'q\"' & >x <y *.html";
  std::ofstream(work_ / odd) << "<html></html>";
  struct Case {
    std::filesystem::path file;
    std::u16string parameters;
    std::vector<std::string> expected;
  } cases[] = {
      {work_ / odd, u"NULL", {(work_ / odd).string()}},
      {"https://example.com/?q=$(touch hacked4)&r=';touch hacked5;'", u"", {"https://example.com/?q=$(touch hacked4)&r=';touch hacked5;'"}},
      {bin_ / "KbDaemon", u"\"$(touch hacked6)\" ;touch hacked7 `touch hacked8`",
       {"$(touch hacked6)", ";touch", "hacked7", "`touch", "hacked8`"}},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(report_);
    OpenRequest request;
    request.file = c.file;
    request.parameters = c.parameters;
    request.directory = work_;
    ASSERT_TRUE(Open(request)) << c.file;
    EXPECT_EQ(Args(WaitForReport(report_)), c.expected) << c.file;
  }
  for (const auto& entry : std::filesystem::directory_iterator(work_))
    EXPECT_EQ(entry.path().filename().string().rfind("hacked", 0), std::string::npos) << entry.path();
  EXPECT_FALSE(std::filesystem::exists(work_ / "x"));
}

TEST_F(ShellTest, NothingToStartIsReportedAsFailure) {
  const struct {
    std::filesystem::path file;
    std::filesystem::path directory;
  } cases[] = {
      {"", ""},
      {bin_ / "KbDaemon", ""},          // absent companion
      {"KbDaemon", work_},              // absent in the folder, absent on PATH
      {"no-such-program-xyz", ""},
  };
  for (const auto& c : cases) {
    OpenRequest request;
    request.file = c.file;
    request.directory = c.directory;
    request.show = Show::Hidden;
    EXPECT_FALSE(Open(request)) << c.file;
  }
  // A document with no desktop handler installed.
  ScopedEnv path("PATH", bin_.c_str());
  std::ofstream(work_ / "index.html") << "x";
  OpenRequest doc;
  doc.file = work_ / "index.html";
  EXPECT_FALSE(Open(doc));
  // An executable that cannot run (bad interpreter).
  WriteProgram(bin_ / "broken", "#!/no/such/interpreter\n");
  OpenRequest broken;
  broken.file = bin_ / "broken";
  EXPECT_FALSE(Open(broken));
}

TEST_F(ShellTest, RecorderSeesRequestsAndNothingStarts) {
  std::vector<OpenRequest> seen;
  ScopedRecorder recorder([&](const OpenRequest& r) {
    seen.push_back(r);
    return seen.size() == 1;
  });
  WriteProgram(bin_ / "KbDaemon", kReporter);
  OpenRequest request;
  request.file = bin_ / "KbDaemon";
  request.parameters = u"NULL";
  request.show = Show::Hidden;
  EXPECT_TRUE(Open(request));
  EXPECT_FALSE(Open(request));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].file, bin_ / "KbDaemon");
  EXPECT_EQ(seen[0].parameters, u"NULL");
  EXPECT_EQ(seen[0].show, Show::Hidden);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(std::filesystem::exists(report_));
}

TEST_F(ShellTest, OnScreenKeyboardIsTheFirstInstalledOne) {
  std::vector<std::filesystem::path> started;
  ScopedRecorder recorder([&](const OpenRequest& r) {
    started.push_back(r.file);
    return true;
  });
  ScopedEnv path("PATH", bin_.c_str());
  EXPECT_FALSE(StartOnScreenKeyboard());
  WriteProgram(bin_ / "xvkbd", kReporter);
  WriteProgram(bin_ / "florence", kReporter);
  EXPECT_TRUE(StartOnScreenKeyboard());
  EXPECT_EQ(started, std::vector<std::filesystem::path>{bin_ / "florence"});
}

TEST(ShellParameters, SplitLikeACommandLine) {
  const std::pair<std::u16string, std::vector<std::string>> cases[] = {
      {u"", {}},
      {u"   ", {}},
      {u"NULL", {"NULL"}},
      {u" a  b\tc ", {"a", "b", "c"}},
      {u"\"a b\" c", {"a b", "c"}},
      {u"x\"y z\"w", {"xy zw"}},
      {u"\"\"", {""}},
      {u"\\\"q\\\"", {"\"q\""}},
      {u"\"unclosed rest", {"unclosed rest"}},
      {u"back\\slash", {"back\\slash"}},
  };
  for (const auto& [in, expected] : cases) EXPECT_EQ(SplitParameters(in), expected);
}

}  // namespace
}  // namespace keyloom::shell
