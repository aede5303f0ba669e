// keyloomctl keys, macro and apply, run as programs against a served
// keyloom-vkbd: what the keyboard holds and plays afterwards, not only what
// the command prints.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/vkbd_process.h"
#include "keys/key_catalogue.h"

namespace keyloom::cli {
namespace {

using testing::JsonReader;
using testing::JsonValue;
using testing::RunResult;
using testing::VkbdProcess;

// Keyboard usages of the keys the tests press (the `press --key` argument).
constexpr const char* kUsageA = "0x04";
constexpr const char* kUsageZ = "0x1D";
constexpr const char* kUsageX = "0x1B";
constexpr const char* kUsageC = "0x06";
constexpr const char* kUsageQ = "0x14";

// One event of a playback, as (page, usage, down) or a function number.
struct Event {
  int t = 0;
  int page = 0;
  int usage = 0;
  bool down = false;
  int function = -1;
  friend bool operator==(const Event&, const Event&) = default;
};

std::vector<Event> Events(const std::vector<JsonValue>& json) {
  std::vector<Event> events;
  for (const JsonValue& v : json) {
    Event e;
    e.t = v["t"].Int();
    if (v.Has("function")) {
      e.function = v["function"].Int();
    } else {
      e.page = v["page"].Int();
      e.usage = v["usage"].Int();
      e.down = v["down"].boolean;
    }
    events.push_back(e);
  }
  return events;
}

// Down at 0 and up after the default hold of 10 ms.
std::vector<Event> Tap(int page, int usage) { return {{0, page, usage, true, -1}, {10, page, usage, false, -1}}; }

// Trace lines written to the keyboard with a command byte.
struct TracedReport {
  int command = 0;
  int address = 0;
};
std::vector<TracedReport> Writes(const std::vector<std::string>& trace, std::size_t from) {
  std::vector<TracedReport> out;
  for (std::size_t i = from; i < trace.size(); ++i) {
    const std::string& line = trace[i];
    if (line.size() < 2 + 14 || line[0] != 'W') continue;
    const auto bytes = testing::HexBytes(line.substr(2, 14));
    out.push_back({bytes[3], bytes[5] | (bytes[6] << 8)});
  }
  return out;
}

class KeysMacrosBinary : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(kb_.Started()) << kb_.Error(); }

  // Runs keyloomctl and expects `status`; returns the result.
  RunResult Run(const std::vector<std::string>& args, int status = 0, const std::string& input = "") {
    RunResult r = kb_.Keyloomctl(args, input);
    EXPECT_EQ(r.status, status) << "keyloomctl " << Joined(args) << "\nstdout: " << r.out << "\nstderr: " << r.err;
    return r;
  }
  static std::string Joined(const std::vector<std::string>& args) {
    std::string s;
    for (const std::string& a : args) s += a + " ";
    return s;
  }
  JsonValue Json(const std::vector<std::string>& args) {
    std::vector<std::string> with_json = args;
    with_json.push_back("--json");
    const RunResult r = Run(with_json);
    JsonValue v;
    EXPECT_TRUE(JsonReader(r.out).Read(v)) << r.out;
    return v;
  }
  std::vector<Event> Press(const char* usage) { return Events(kb_.Press({"--key", usage})); }

  VkbdProcess kb_;
};

TEST_F(KeysMacrosBinary, SetWritesEveryPairInOneWriteOfTheActiveSlot) {
  const std::vector<std::uint8_t> slot1_before = kb_.Layer(1);
  const std::vector<std::uint8_t> slot2_before = kb_.Layer(2);
  const std::size_t trace_before = kb_.Trace().size();
  const int volume_up = 6;
  Run({"keys", "set", "0x01E", "key:B", "Z", "disabled", "KEY_02D", "media:Volume Up", "c",
       "function:3", "0x010", "stop-macro"});

  // One begin and one end of configuration; key map chunks only in slot 0.
  const std::vector<TracedReport> writes = Writes(kb_.Trace(), trace_before);
  EXPECT_EQ(std::count_if(writes.begin(), writes.end(), [](const TracedReport& w) { return w.command == 0x01; }), 1);
  EXPECT_EQ(std::count_if(writes.begin(), writes.end(), [](const TracedReport& w) { return w.command == 0x02; }), 1);
  const int stride = kb_.Dump()["layers"][std::size_t(0)].string.size() / 2;
  for (const TracedReport& w : writes) {
    if (w.command == 0x08) {
      EXPECT_LT(w.address, stride);
    }
  }
  EXPECT_EQ(kb_.Layer(1), slot1_before);
  EXPECT_EQ(kb_.Layer(2), slot2_before);

  struct Case {
    const char* usage;
    std::vector<Event> expected;
  };
  const Case cases[] = {
      {kUsageA, Tap(7, 0x05)},  // sends B
      {kUsageZ, {}},            // disabled
      {kUsageX, Tap(12, keys::MediaKeys()[volume_up].consumerUsage)},
      {kUsageC, {{0, 0, 0, false, 3}}},
  };
  for (const Case& c : cases) EXPECT_EQ(Press(c.usage), c.expected) << "key " << c.usage;

  // The listing describes each key as its button's prompt does.
  const JsonValue keys = Json({"keys"});
  EXPECT_EQ(keys["slot"].Int(), 0);
  std::map<std::string, std::string> actions, descriptions;
  for (const JsonValue& k : keys["keys"].items) {
    actions[k["key"].string] = k["action"].string;
    descriptions[k["key"].string] = k["description"].string;
  }
  EXPECT_EQ(actions["0x01E"], "key:0x030");
  EXPECT_EQ(actions["0x02C"], "disabled");
  EXPECT_EQ(actions["0x02D"], "media:" + std::to_string(volume_up));
  EXPECT_EQ(actions["0x02E"], "function:3");
  EXPECT_EQ(actions["0x010"], "stop-macro");
  // Every kind is named, the ones without a name of their own too.
  EXPECT_EQ(descriptions["0x01E"], "A → Key (B)");
  EXPECT_EQ(descriptions["0x02C"], "Z → Disabled");
  EXPECT_EQ(descriptions["0x010"], "Q → Stop macro");
  const std::string text = Run({"keys"}).out;
  EXPECT_NE(text.find("A → Key (B)"), std::string::npos) << text;
  EXPECT_NE(text.find("Z → Disabled\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Q → Stop macro\n"), std::string::npos) << text;
}

TEST_F(KeysMacrosBinary, SlotOptionEditsAndWritesThatSlotOnly) {
  const std::vector<std::uint8_t> slot0_before = kb_.Layer(0);
  Run({"keys", "set", "A", "key:Q", "--slot", "2"});
  EXPECT_EQ(kb_.Layer(0), slot0_before);
  EXPECT_EQ(Press(kUsageA), Tap(7, 0x04)) << "slot 0 is active and unchanged";
  ASSERT_EQ(kb_.Ctl({"slot", "2"}).status, 0);
  EXPECT_EQ(Press(kUsageA), Tap(7, 0x14));

  // Slot 2 is active now; slot 0's table is still shown by --slot 0.
  EXPECT_EQ(Json({"keys", "--slot", "0"})["keys"].items.size(), 0u);
  const JsonValue active = Json({"keys"});
  EXPECT_EQ(active["slot"].Int(), 2);
  ASSERT_FALSE(active["keys"].items.empty());
  EXPECT_EQ(active["keys"][std::size_t(0)]["action"].string, "key:0x010");
}

TEST_F(KeysMacrosBinary, MacroAddedAndAssignedPlaysItsActions) {
  Run({"macro", "add", "Hello", "--cycles", "2", "--actions", "H down 20, H up 15, I down 10, I up 0"});
  Run({"keys", "set", "Z", "macro:hello"});

  // Two cycles: each action followed by its pause (15 ms is kept as 10).
  const std::vector<Event> once = {
      {0, 7, 0x0B, true, -1}, {20, 7, 0x0B, false, -1}, {30, 7, 0x0C, true, -1}, {40, 7, 0x0C, false, -1}};
  std::vector<Event> expected = once;
  for (Event e : once) {
    e.t += 40;
    expected.push_back(e);
  }
  EXPECT_EQ(Press(kUsageZ), expected);

  const JsonValue list = Json({"macro", "list"});
  ASSERT_EQ(list["macros"].items.size(), 1u);
  EXPECT_EQ(list["macros"][std::size_t(0)]["name"].string, "Hello");
  EXPECT_EQ(list["macros"][std::size_t(0)]["actions"].Int(), 4);
  EXPECT_GT(list["capacity"].Int(), 0);
  const JsonValue shown = Json({"macro", "show", "HELLO"});
  EXPECT_EQ(shown["cycles"].Int(), 2);
  EXPECT_EQ(shown["actions_text"].string, "0x023 down 20, 0x023 up 10, 0x017 down 10, 0x017 up 0");

  // A rename keeps the key playing it; a name another one begins with is refused.
  Run({"macro", "add", "Second"});
  Run({"macro", "rename", "Hello", "Greeting"});
  EXPECT_EQ(Press(kUsageZ), expected);
  EXPECT_NE(Run({"keys"}).out.find("Macro (Greeting)"), std::string::npos);
  const RunResult clash = Run({"macro", "rename", "Greeting", "sec"}, 1);
  EXPECT_NE(clash.err.find("'Second' begins with it"), std::string::npos) << clash.err;
  EXPECT_EQ(Run({"macro", "add", "greet"}, 1).out, "");
  EXPECT_EQ(Json({"macro", "list"})["macros"].items.size(), 2u);
}

TEST_F(KeysMacrosBinary, KeysTheKeyboardLacksAreKeptAndSaidSo) {
  // The virtual keyboard's factory map has no G keys: the run did not do all
  // it was asked, though what could be placed was.
  const RunResult r = Run({"keys", "set", "G1", "key:B", "A", "key:C"}, 1);
  EXPECT_EQ(r.err, "keyloomctl: the keyboard has no key G1: kept in the profile, not sent to the keyboard\n");
  EXPECT_EQ(Press(kUsageA), Tap(7, 0x06));
  const RunResult several = Run({"keys", "set", "G2", "disabled", "G3", "function:1", "G1", "default", "Q", "key:C"}, 1);
  EXPECT_EQ(several.err,
            "keyloomctl: the keyboard has no key G2 and G3: kept in the profile, not sent to the keyboard\n");
  EXPECT_EQ(Press(kUsageQ), Tap(7, 0x06));
  // Returning such a key to its default asks nothing of the keyboard.
  EXPECT_EQ(Run({"keys", "set", "G2", "default"}).err, "");
  const JsonValue keys = Json({"keys", "--all"});
  std::map<std::string, std::string> actions;
  for (const JsonValue& k : keys["keys"].items) actions[k["key"].string] = k["action"].string;
  EXPECT_EQ(actions["0x01E"], "key:0x02E");
  // Reading the keyboard back cannot know it: G1 is what the keyboard holds.
  EXPECT_EQ(actions["G1"], "default");
  EXPECT_EQ(actions.size(), 114u) << "nine G keys and the 105 keys of the on-screen keyboard";
}

TEST_F(KeysMacrosBinary, BracketAndQuoteAreKeysOfTheirOwn) {
  constexpr const char* kUsageBracket = "0x30";
  constexpr const char* kUsageQuote = "0x34";
  // Any write leaves ] typing ].
  Run({"keys", "set", "A", "key:B"});
  EXPECT_EQ(Press(kUsageBracket), Tap(7, 0x30));
  EXPECT_EQ(Json({"keys"})["keys"].items.size(), 1u) << "only A is assigned";
  // ] and ' are assigned one apart from the other.
  Run({"keys", "set", "]", "key:A", "'", "key:Z"});
  EXPECT_EQ(Press(kUsageBracket), Tap(7, 0x04));
  EXPECT_EQ(Press(kUsageQuote), Tap(7, 0x1D));
  Run({"keys", "set", "]", "key:'"});
  EXPECT_EQ(Press(kUsageBracket), Tap(7, 0x34));
  // Reset gives both their own keys back.
  Run({"keys", "reset"});
  EXPECT_EQ(Press(kUsageBracket), Tap(7, 0x30));
  EXPECT_EQ(Press(kUsageQuote), Tap(7, 0x34));
  EXPECT_EQ(Json({"keys"})["keys"].items.size(), 0u);
}

TEST_F(KeysMacrosBinary, BackslashIsRemappedAndSentLikeTheKeyboardsOwn) {
  constexpr const char* kUsageBackslash = "0x31";
  const RunResult r = Run({"keys", "set", "\\", "key:Z", "A", "key:\\"});
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Press(kUsageBackslash), Tap(7, 0x1D));
  EXPECT_EQ(Press(kUsageA), Tap(7, 0x31));
  const JsonValue keys = Json({"keys"});
  std::map<std::string, std::string> actions;
  for (const JsonValue& k : keys["keys"].items) actions[k["key"].string] = k["action"].string;
  EXPECT_EQ(actions, (std::map<std::string, std::string>{{"0x01E", "key:0x02B"}, {"0x02B", "key:0x02C"}}));
}

TEST_F(KeysMacrosBinary, AWriteCutShortExitsOneNamingWhatTheKeyboardDidNotTake) {
  const std::filesystem::path backup = kb_.DataFolder() / "cut.kyl";
  Run({"keys", "set", "A", "function:3"});
  Run({"profile", "export", backup.string()});
  const int stride = kb_.Dump()["layers"][std::size_t(0)].string.size() / 2;
  const std::string taken = "keyloomctl: the keyboard did not take ";
  struct Case {
    std::vector<std::string> args;
    int command;  // the request the keyboard goes away at
    int slot;     // of a key map write
    std::string err;
  } const cases[] = {
      {{"macro", "add", "New", "--actions", "H down 10, H up 0"}, 0x0A, 0,
       taken + "the macros, the key map of slot 0 and the end of the write\n"},
      {{"keys", "set", "A", "key:B"}, 0x02, 0, taken + "the end of the write\n"},
      {{"apply", "--all"}, 0x08, 1, taken + "the key map of slot 1, the key map of slot 2 and the end of the write\n"},
      {{"profile", "import", backup.string()}, 0x08, 0,
       taken + "the key map of slot 0, the key map of slot 1, the key map of slot 2 and the end of the write from " +
           backup.string() + "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Joined(c.args));
    // Where the request falls in a whole run, from a run on a fresh keyboard.
    ASSERT_EQ(kb_.Ctl({"reset"}).status, 0);
    std::size_t start = kb_.Trace().size();
    Run(c.args);
    const std::vector<TracedReport> writes = Writes(kb_.Trace(), start);
    std::size_t at = 0;
    while (at < writes.size() && !(writes[at].command == c.command && writes[at].address == c.slot * stride)) ++at;
    ASSERT_LT(at, writes.size());

    ASSERT_EQ(kb_.Ctl({"reset"}).status, 0);
    const JsonValue before = kb_.Dump();
    ASSERT_EQ(kb_.Ctl({"fault", "disconnect-after", std::to_string(at)}).status, 0);
    const RunResult r = Run(c.args, 1);
    EXPECT_EQ(r.err, c.err);
    ASSERT_EQ(kb_.Ctl({"plug"}).status, 0);
    if (c.command == 0x0A) {
      EXPECT_EQ(kb_.Dump()["macro_area"].string, before["macro_area"].string) << "the keyboard has no macro New";
    }
  }
}

TEST_F(KeysMacrosBinary, ResetReturnsTheSlotsKeysToTheirDefaults) {
  Run({"keys", "set", "A", "key:B", "Z", "disabled"});
  ASSERT_EQ(Press(kUsageA), Tap(7, 0x05));
  Run({"keys", "reset"});
  EXPECT_EQ(Press(kUsageA), Tap(7, 0x04));
  EXPECT_EQ(Press(kUsageZ), Tap(7, 0x1D));
  const JsonValue keys = Json({"keys"});
  for (const JsonValue& k : keys["keys"].items)
    EXPECT_NE(k["key"].string, "0x01E") << "A still listed as assigned";
}

TEST_F(KeysMacrosBinary, DeletingAMacroInUseAsksFirst) {
  Run({"macro", "add", "Used", "--actions", "H down 10, H up 0"});
  Run({"keys", "set", "Z", "macro:Used"});
  Run({"keys", "set", "A", "macro:Used", "--slot", "1"});
  const std::vector<Event> played = Press(kUsageZ);
  ASSERT_FALSE(played.empty());

  // --no: the macro and its keys stay, on the keyboard too.
  const RunResult kept = Run({"macro", "delete", "Used", "--no"}, 1);
  EXPECT_NE(kept.err.find("assigned to one or more keys"), std::string::npos) << kept.err;
  EXPECT_NE(kept.err.find("kept macro 'Used'"), std::string::npos) << kept.err;
  EXPECT_EQ(Json({"macro", "list"})["macros"].items.size(), 1u);
  EXPECT_EQ(Press(kUsageZ), played);

  // --yes: gone, and its keys in every slot play their own key again.
  Run({"macro", "delete", "Used", "--yes"});
  EXPECT_EQ(Json({"macro", "list"})["macros"].items.size(), 0u);
  EXPECT_EQ(Press(kUsageZ), Tap(7, 0x1D));
  ASSERT_EQ(kb_.Ctl({"slot", "1"}).status, 0);
  EXPECT_EQ(Press(kUsageA), Tap(7, 0x04));
  const std::vector<std::uint8_t> area = testing::HexBytes(kb_.Dump()["macro_area"].string);
  ASSERT_GE(area.size(), 6u);
  EXPECT_EQ(area[0] | (area[1] << 8), 0x55AA);
  EXPECT_EQ(area[4] | (area[5] << 8), 0) << "macro count in the keyboard's image";
}

TEST_F(KeysMacrosBinary, DeletingAnUnusedMacroKeepsOtherSlotsPlayingTheLaterOnes) {
  // The keyboard refers to macros by place: deleting the second moves the
  // third down, and a key of another slot that plays it must follow.
  Run({"macro", "add", "First", "--actions", "H down 10, H up 0"});
  Run({"macro", "add", "Second", "--actions", "J down 10, J up 0"});
  Run({"macro", "add", "Third", "--actions", "K down 10, K up 0"});
  Run({"keys", "set", "A", "macro:Third", "--slot", "1"});
  ASSERT_EQ(kb_.Ctl({"slot", "1"}).status, 0);
  const std::vector<Event> third = Press(kUsageA);
  ASSERT_FALSE(third.empty());
  ASSERT_EQ(kb_.Ctl({"slot", "0"}).status, 0);

  Run({"macro", "delete", "Second"});
  JsonValue keys = Json({"keys", "--slot", "1"});
  ASSERT_EQ(keys["keys"].items.size(), 1u);
  EXPECT_EQ(keys["keys"].items[0]["action"].string, "macro:Third");
  ASSERT_EQ(kb_.Ctl({"slot", "1"}).status, 0);
  EXPECT_EQ(Press(kUsageA), third);
  // A full write keeps it so (it used to turn the key to the first macro).
  Run({"apply", "--all"});
  EXPECT_EQ(Press(kUsageA), third);
}

TEST_F(KeysMacrosBinary, QuestionsWithoutATerminalAreAnsweredNoAndSaySo) {
  Run({"macro", "add", "Used", "--actions", "H down 10, H up 0"});
  Run({"keys", "set", "Z", "macro:Used"});
  const std::vector<Event> played = Press(kUsageZ);
  ASSERT_FALSE(played.empty());
  // Standard input is a file here, even one that says yes: nobody to ask, so
  // the used macro stays although the dialog's default button is Yes.
  const RunResult r = Run({"macro", "delete", "Used"}, 1, "y\n");
  EXPECT_NE(r.err.find("no (no terminal to ask; answer with --yes to agree)"), std::string::npos) << r.err;
  EXPECT_EQ(Json({"macro", "list"})["macros"].items.size(), 1u);
  EXPECT_EQ(Press(kUsageZ), played);
}

TEST_F(KeysMacrosBinary, QuestionsOnATerminalAreAnsweredThere) {
  Run({"macro", "add", "Used", "--actions", "H down 10, H up 0"});
  Run({"keys", "set", "Z", "macro:Used"});
  const RunResult kept = kb_.KeyloomctlOnTerminal({"macro", "delete", "Used"}, "x\nn\n");
  EXPECT_EQ(kept.status, 1) << kept.err;
  // Asked again after an answer that is neither yes nor no; No is the default.
  const std::string question = "Those keys will return to their factory function. [y/N] ";
  EXPECT_NE(kept.err.find(question + "This macro"), std::string::npos) << kept.err;
  EXPECT_EQ(Json({"macro", "list"})["macros"].items.size(), 1u);
  // A bare Enter keeps the macro too.
  EXPECT_EQ(kb_.KeyloomctlOnTerminal({"macro", "delete", "Used"}, "\n").status, 1);
  EXPECT_EQ(Json({"macro", "list"})["macros"].items.size(), 1u);

  const RunResult deleted = kb_.KeyloomctlOnTerminal({"macro", "delete", "Used"}, "yes\n");
  EXPECT_EQ(deleted.status, 0) << deleted.err;
  EXPECT_EQ(Press(kUsageZ), Tap(7, 0x1D));
}

TEST_F(KeysMacrosBinary, ApplyAllWritesEverySlot) {
  const std::size_t before = kb_.Trace().size();
  Run({"apply", "--all"});
  std::vector<bool> slots(3, false);
  const int stride = kb_.Dump()["layers"][std::size_t(0)].string.size() / 2;
  for (const TracedReport& w : Writes(kb_.Trace(), before))
    if (w.command == 0x08) slots[std::size_t(std::min(w.address / stride, 2))] = true;
  EXPECT_EQ(slots, std::vector<bool>({true, true, true}));
  // The working profile was saved in the private data folder.
  EXPECT_TRUE(std::filesystem::exists(kb_.DataFolder() / "$Profile0"));
}

TEST_F(KeysMacrosBinary, BadUsageExitsTwoAndTouchesNothing) {
  const std::size_t before = kb_.Trace().size();
  const std::vector<std::vector<std::string>> cases = {
      {"keys", "set", "0x01E"},
      {"keys", "set", "nokey", "key:B"},
      {"keys", "set", "0x01E", "sideways"},
      {"keys", "set", "0x01E", "key:nokey"},
      {"keys", "set", "0x01E", "media:18"},
      {"keys", "set", "0x01E", "function:11"},
      {"keys", "set", "0x01E", "disabled:1"},
      {"keys", "--slot", "3"},
      {"keys", "reset", "now"},
      {"macro", "add"},
      {"macro", "add", "X", "--cycles", "0"},
      {"macro", "add", "X", "--actions", "A sideways 10"},
      {"macro", "add", "X", "--actions", "A down 40001"},
      {"macro", "rename", "X"},
      {"macro", "delete", "X", "Y"},
      {"apply", "--slot", "1"},
      {"--yes", "--no", "keys"},
  };
  for (const auto& args : cases) {
    const RunResult r = Run(args, 2);
    EXPECT_NE(r.err.find("keyloomctl: "), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(kb_.Trace().size(), before) << "a usage error reached the keyboard";
}

TEST_F(KeysMacrosBinary, FailuresExitOneWithAReason) {
  // Unknown macro: the keys stay as they were.
  const std::vector<std::uint8_t> before = kb_.Layer(0);
  EXPECT_NE(Run({"keys", "set", "A", "macro:Nothing"}, 1).err.find("no macro named 'Nothing'"), std::string::npos);
  EXPECT_EQ(kb_.Layer(0), before);
  EXPECT_NE(Run({"macro", "show", "Nothing"}, 1).err.find("no macro named"), std::string::npos);

  ASSERT_EQ(kb_.Ctl({"unplug"}).status, 0);
  const RunResult r = Run({"keys"}, 1);
  EXPECT_EQ(r.err, "keyloomctl: no keyboard is connected\n");
  EXPECT_EQ(r.out, "");
}

TEST_F(KeysMacrosBinary, KeysThatCouldNotBeReadAreNeverWrittenBack) {
  Run({"macro", "add", "Kept", "--actions", "H down 10, H up 0"});
  Run({"keys", "set", "Z", "macro:Kept"});
  const JsonValue before = kb_.Dump();

  // How many requests a start makes when the keyboard refuses every one.
  ASSERT_EQ(kb_.Ctl({"fault", "refuse", "100000"}).status, 0);
  std::size_t start = kb_.Trace().size();
  Run({"keys"}, 1);
  const std::size_t refused = Writes(kb_.Trace(), start).size();
  ASSERT_GT(refused, 0u);
  ASSERT_EQ(kb_.Ctl({"fault", "clear"}).status, 0);

  // Refuse exactly those, so that the keyboard would take a write after them:
  // the start learns nothing (not even the active slot) and its editing
  // store is empty; writing it would wipe the macros and the key map.
  ASSERT_EQ(kb_.Ctl({"fault", "refuse", std::to_string(refused)}).status, 0);
  start = kb_.Trace().size();
  const RunResult r = Run({"keys", "set", "A", "key:B"}, 1);
  // The first read refused is the keyboard's factory key map; the failure
  // is told in the handler's own message.
  EXPECT_NE(r.err.find("keyloomctl: Could not read the keyboard's factory key layout"), std::string::npos) << r.err;
  for (const TracedReport& w : Writes(kb_.Trace(), start)) EXPECT_NE(w.command, 0x01) << "a write was begun";
  const JsonValue after = kb_.Dump();
  EXPECT_EQ(after["macro_area"].string, before["macro_area"].string);
  EXPECT_EQ(after["layers"][std::size_t(0)].string, before["layers"][std::size_t(0)].string);
}

TEST(KeysMacrosBinaryNoServer, NoKeyboardExitsOne) {
  VkbdProcess kb;
  ASSERT_TRUE(kb.Started()) << kb.Error();
  kb.Stop();
  const RunResult r = kb.Keyloomctl({"macro", "list"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

TEST(KeysMacrosBinarySmall, MacrosThatDoNotFitAreRefusedAndNothingIsSent) {
  // 128 bytes of macro memory: the header and one macro of 26 actions fill
  // 16 + 2 + 4 + 104 = 126 bytes without the name.
  VkbdProcess kb({"--capacity", "128"});
  ASSERT_TRUE(kb.Started()) << kb.Error();
  std::string fits, too_long;
  for (int i = 0; i < 26; ++i) fits += std::string(i ? ", " : "") + (i % 2 ? "A up 0" : "A down 0");
  too_long = fits + ", A down 0, A up 0";
  const std::string area_before = kb.Dump()["macro_area"].string;

  const RunResult refused = kb.Keyloomctl({"macro", "add", "Long", "--actions", too_long});
  EXPECT_EQ(refused.status, 1) << refused.err;
  EXPECT_NE(refused.err.find("do not fit"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("keyloomctl: nothing was written: the macros need 134 bytes of the keyboard's 128\n"),
            std::string::npos)
      << refused.err;
  EXPECT_EQ(kb.Dump()["macro_area"].string, area_before);

  // Compact: sent without the names, with the warning after the transfer.
  const RunResult tight = kb.Keyloomctl({"macro", "add", "Fits", "--actions", fits});
  EXPECT_EQ(tight.status, 0) << tight.err;
  EXPECT_NE(tight.err.find("the macro names were not stored on the keyboard"), std::string::npos) << tight.err;
  const std::vector<std::uint8_t> area = testing::HexBytes(kb.Dump()["macro_area"].string);
  ASSERT_GE(area.size(), 8u);
  EXPECT_EQ(area[4], 1);
  EXPECT_EQ(area[6], 0) << "names flag of a compact image";
}

TEST(KeysMacrosBinarySlow, LongTransfersDrawAProgressLine) {
  // 60 ms a report: reading three key maps and writing one take seconds.
  VkbdProcess kb({"--latency-ms", "60"});
  ASSERT_TRUE(kb.Started()) << kb.Error();
  const RunResult r = kb.Keyloomctl({"keys", "set", "A", "key:B"});
  EXPECT_EQ(r.status, 0) << r.err;
  // Standard error is a file: one summary line per long transfer.
  EXPECT_NE(r.err.find("Reading the keyboard: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Writing to the keyboard: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" reports in "), std::string::npos) << r.err;
}

}  // namespace
}  // namespace keyloom::cli
