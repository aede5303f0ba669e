// keyloomctl against a served keyloom-vkbd that misbehaves (refuses, answers
// garbage, loses answers, is unplugged): the keyboard's memories never take
// anything but what was asked for, and a failure is one line in words on
// stderr with exit status 1.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/vkbd_process.h"

namespace keyloom::cli {
namespace {

using testing::RunResult;
using testing::VkbdProcess;

std::string Joined(const std::vector<std::string>& words) {
  std::string s;
  for (const std::string& w : words) s += (s.empty() ? "" : " ") + w;
  return s;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return lines;
}

class FaultBinary : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(kb_.Started()) << kb_.Error(); }

  // The keyboard's memories as `ctl dump` prints them.
  std::string Memories() const {
    const RunResult r = kb_.Ctl({"dump"});
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
  }
  // No faults, plugged in; the memories stay.
  void Settle() const {
    kb_.Ctl({"fault", "clear"});
    kb_.Ctl({"plug"});
  }
  // Factory memories, no faults, plugged in.
  void Reset() const {
    Settle();
    ASSERT_EQ(kb_.Ctl({"reset"}).status, 0);
  }
  void Arm(const std::vector<std::string>& fault) const {
    std::vector<std::string> args{"fault"};
    args.insert(args.end(), fault.begin(), fault.end());
    ASSERT_EQ(kb_.Ctl(args).status, 0) << Joined(args);
  }

  VkbdProcess kb_;
};

TEST_F(FaultBinary, GarbageRepliesNeverReachTheKeyboard) {
  // What the command writes on a keyboard that behaves.
  Reset();
  const std::string factory = Memories();
  ASSERT_EQ(kb_.Keyloomctl({"keys", "set", "A", "key:E"}).status, 0);
  const std::string wanted = Memories();
  ASSERT_NE(wanted, factory);

  // Answers garbled at the start of the run are asked again; when they stay
  // garbled the command fails and writes nothing. Either way the keyboard
  // holds nothing but the factory contents or exactly the requested change.
  bool failed_once = false;
  for (int n = 2; n <= 8; ++n) {
    SCOPED_TRACE("garbage " + std::to_string(n));
    Reset();
    Arm({"garbage", std::to_string(n)});
    const RunResult r = kb_.Keyloomctl({"keys", "set", "A", "key:E"});
    Settle();
    const std::string after = Memories();
    if (r.status == 0) {
      EXPECT_EQ(after, wanted) << r.out << r.err;
    } else {
      failed_once = true;
      EXPECT_EQ(r.status, 1) << r.err;
      EXPECT_EQ(after, factory) << r.err;
      EXPECT_EQ(r.out, "");
    }
  }
  EXPECT_TRUE(failed_once) << "no run saw garbage it could not get past";
}

TEST_F(FaultBinary, FailuresExitOneWithOneLineInWordsAndWriteNothing) {
  Reset();
  const std::string file = (kb_.Dir() / "backup.kyl").string();
  ASSERT_EQ(kb_.Keyloomctl({"profile", "export", file}).status, 0);
  const std::string read_into = (kb_.Dir() / "read.kyl").string();

  const std::vector<std::vector<std::string>> faults = {
      {"refuse", "2"},       // the factory key map's first chunk
      {"refuse", "3"},       // the factory key map and then the configuration
      {"garbage", "8"},      // more garbage than the retries get past
      {"drop-replies", "8"},  // more lost answers than the retries get past
      {"disconnect-after", "3"},
  };
  const std::vector<std::vector<std::string>> commands = {
      {"keys", "set", "A", "key:H"},
      {"keys", "reset"},
      {"apply", "--all"},
      {"macro", "add", "New", "--actions", "A down 50, A up 0"},
      {"profile", "import", file},
      {"profile", "read", read_into},
      {"slot", "1"},
      {"status"},
  };
  for (const auto& fault : faults) {
    for (const auto& command : commands) {
      SCOPED_TRACE(Joined(fault) + " / " + Joined(command));
      Reset();
      const std::string before = Memories();
      Arm(fault);
      const RunResult r = kb_.Keyloomctl(command);
      Settle();
      EXPECT_EQ(Memories(), before);
      EXPECT_EQ(r.status, 1) << r.out << r.err;
      const std::vector<std::string> lines = Lines(r.err);
      ASSERT_EQ(lines.size(), 1u) << r.err;
      EXPECT_EQ(lines[0].rfind("keyloomctl: ", 0), 0u) << r.err;
      EXPECT_EQ(lines[0].find("result"), std::string::npos) << r.err;
      EXPECT_EQ(lines[0].find("bytes of the keyboard's 0"), std::string::npos) << r.err;
    }
  }
}

}  // namespace
}  // namespace keyloom::cli
