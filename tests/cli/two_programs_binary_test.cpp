// Two keyloomctl runs at once on one served keyboard: each holds the
// keyboard from its first read to its last write, so that neither edit is
// lost and whatever one saves is what the keyboard held at that moment.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/single_instance.h"
#include "platform/instance.h"
#include "support/vkbd_process.h"

namespace keyloom::cli {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::JsonReader;
using testing::JsonValue;
using testing::VkbdProcess;
using testing_support::ChildProcess;

std::vector<char> FileBytes(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

class TwoProgramsBinary : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(kb_.Started()) << kb_.Error(); }

  // Waits for a run started with StartKeyloomctl; its failure text, or "".
  static std::string Finish(ChildProcess& run, const std::string& what) {
    const std::optional<int> status = run.WaitForExit(60s);
    if (status == 0) return "";
    return what + ": exit " + (status ? std::to_string(*status) : "(still running)") + ": " + run.Errors();
  }
  // The key -> action of every assigned key of the active slot, as the
  // keyboard holds it.
  std::map<std::string, std::string> KeyboardActions() {
    const auto r = kb_.Keyloomctl({"keys", "--json"});
    JsonValue v;
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(JsonReader(r.out).Read(v)) << r.out;
    std::map<std::string, std::string> actions;
    for (const JsonValue& key : v["keys"].items) actions[key["key"].string] = key["action"].string;
    return actions;
  }

  VkbdProcess kb_;
};

// Each reads the whole map, changes one key and writes the whole map: run
// at once, the one that writes last must have read what the other wrote.
TEST_F(TwoProgramsBinary, EditsAtOnceKeepBothChanges) {
  // B, C, D, F and X, Y, Z, Q, by key code as the listing gives them.
  const char* a_actions[] = {"key:0x030", "key:0x02E", "key:0x020", "key:0x021"};
  const char* s_actions[] = {"key:0x02D", "key:0x015", "key:0x02C", "key:0x010"};
  for (int round = 0; round < 16; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string a = a_actions[round % 4];
    const std::string s = s_actions[round % 4];
    auto first = kb_.StartKeyloomctl({"keys", "set", "A", a});
    auto second = kb_.StartKeyloomctl({"keys", "set", "S", s});
    ASSERT_EQ(Finish(*first, "keys set A"), "");
    ASSERT_EQ(Finish(*second, "keys set S"), "");
    const std::map<std::string, std::string> actions = KeyboardActions();
    EXPECT_EQ(actions.count("0x01E") ? actions.at("0x01E") : "(default)", a);
    EXPECT_EQ(actions.count("0x01F") ? actions.at("0x01F") : "(default)", s);
  }
}

// An export while another run edits: the exported profile is the whole
// state before the edit or the whole state after it, and the working
// profile left behind is what the keyboard holds.
TEST_F(TwoProgramsBinary, ExportWhileAnotherEditsSavesOneWholeState) {
  const fs::path working = kb_.DataFolder() / "$Profile0";
  const char* actions[] = {"key:0x030", "key:0x02E", "disabled", "key:0x021"};
  int saw_before = 0, saw_after = 0;
  for (int round = 0; round < 8; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const fs::path before = kb_.Dir() / "before.kyl", during = kb_.Dir() / "during.kyl", after = kb_.Dir() / "after.kyl";
    ASSERT_EQ(kb_.Keyloomctl({"profile", "export", before.string()}).status, 0);
    auto edit = kb_.StartKeyloomctl({"keys", "set", "A", actions[round % 4]});
    auto export_run = kb_.StartKeyloomctl({"profile", "export", during.string()});
    ASSERT_EQ(Finish(*edit, "keys set"), "");
    ASSERT_EQ(Finish(*export_run, "profile export"), "");
    const std::vector<char> working_left = FileBytes(working);
    ASSERT_EQ(kb_.Keyloomctl({"profile", "export", after.string()}).status, 0);
    EXPECT_EQ(KeyboardActions()["0x01E"], actions[round % 4]);

    const std::vector<char> exported = FileBytes(during);
    const bool is_before = exported == FileBytes(before), is_after = exported == FileBytes(after);
    EXPECT_TRUE(is_before || is_after) << "the export is neither the state before the edit nor after it";
    saw_before += is_before && !is_after;
    saw_after += is_after;
    // A later run reloads the keyboard into the working profile: it finds
    // what the last run left there.
    EXPECT_EQ(working_left, FileBytes(working));
  }
  RecordProperty("exports_before_the_edit", saw_before);
  RecordProperty("exports_after_the_edit", saw_after);
}

// A run that changed the keyboard tells the desktop utility running for
// this user (through its instance socket), once the keyboard is free again;
// a run that only read it says nothing.
TEST_F(TwoProgramsBinary, ARunThatChangedTheKeyboardTellsTheRunningUtility) {
  std::mutex mutex;
  std::vector<instance::Request> heard;
  instance::Guard running(app::kInstanceName, kb_.Dir() / "run");
  ASSERT_TRUE(running.Acquire([&](const instance::Request& r) {
    std::lock_guard lock(mutex);
    heard.push_back(r);
    return 1;
  }));
  for (const std::vector<std::string>& reading : {std::vector<std::string>{"status"}, {"keys"}, {"lighting", "show"}}) {
    ASSERT_EQ(kb_.Keyloomctl(reading).status, 0) << reading[0];
  }
  {
    std::lock_guard lock(mutex);
    EXPECT_TRUE(heard.empty());
  }
  for (const std::vector<std::string>& changing :
       {std::vector<std::string>{"keys", "set", "A", "key:B"}, {"lighting", "set", "--brightness", "2"}}) {
    ASSERT_EQ(kb_.Keyloomctl(changing).status, 0) << changing[0];
  }
  std::lock_guard lock(mutex);
  ASSERT_EQ(heard.size(), 2u);
  for (const instance::Request& r : heard) {
    EXPECT_TRUE(app::IsKeyboardChangedRequest(r));
    EXPECT_GT(r.lparam, 0);  // the sender's process id
    EXPECT_NE(r.lparam, ::getpid());
  }
}

}  // namespace
}  // namespace keyloom::cli
