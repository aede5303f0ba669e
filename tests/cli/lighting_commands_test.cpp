// keyloomctl lighting, lighting set, lighting default and report-rate against
// the in-process virtual keyboard: which bytes of which slot's lighting
// record change.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include <cctype>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <map>
#include <sstream>

#include "cli/command_table.h"
#include "cli/lighting_commands.h"
#include "profiles/keyboard_session.h"
#include "device/commands.h"
#include "device/hid_backend.h"
#include "emulator/firmware_model.h"
#include "keys/key_catalogue.h"
#include "lighting/lighting_state.h"
#include "lighting/user_colour_files.h"
#include "platform/ini.h"
#include "profiles/keyboard_session.h"
#include "support/inprocess_keyboard.h"

namespace keyloom::cli {
namespace {

constexpr int kRecord = 42;
constexpr int kActive = 1;

class LightingCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    keyboard_ = device::InProcessKeyboard::Create(model_);
    session_.link.UseBackend(keyboard_);
    // Slot 1 active; its record: effect 3, brightness 4, speed 3, direction 0,
    // colourful, colour 102030, effect-17 colour 1, report rate 1, and a marker
    // in the bytes no command writes.
    emulator::Memories mem = model_.Snapshot();
    mem.config[10] = kActive;
    for (int s = 0; s < 3; ++s)
      for (int i = 0; i < kRecord; ++i) mem.lighting[s * kRecord + i] = std::uint8_t(0x40 + s);
    std::uint8_t* r = mem.lighting.data() + kActive * kRecord;
    const std::uint8_t values[] = {3, 4, 3, 0, 1, 0x10, 0x20, 0x30};
    std::copy(std::begin(values), std::end(values), r);
    r[15] = 1;
    r[17] = 1;
    ASSERT_TRUE(model_.Restore(mem));
    before_ = model_.Snapshot().lighting;
    // The user colour files live in a folder of the test.
    if (dir_.empty()) {
      dir_ = std::filesystem::temp_directory_path() /
             ("keyloom-cli-lighting-" + std::to_string(std::random_device{}()));
      std::filesystem::create_directories(dir_);
      session_.lighting.paths = {
          dir_ / "wskb.ini", (dir_ / "UserDengColor_").string(),
          (std::filesystem::path(KEYLOOM_SOURCE_DIR) / "res" / "Skins" / "UserDengColor_").string()};
    }
  }
  void TearDown() override {
    std::filesystem::remove_all(dir_);
    session_.link.UseBackend(nullptr);
  }

  int Run(const std::vector<std::string>& args) {
    std::ostringstream o, e;
    CommandIo io{o, e};
    io.session = &session_;
    io.wait_until = [](std::chrono::steady_clock::time_point) {};
    const int status = RunCli(args, io);
    out_ = o.str();
    err_ = e.str();
    return status;
  }

  // The lighting bytes that differ from before the command: offset -> value.
  std::map<int, int> Changes() const {
    const std::vector<std::uint8_t> now = model_.Snapshot().lighting;
    std::map<int, int> changed;
    for (std::size_t i = 0; i < now.size(); ++i)
      if (now[i] != before_[i]) changed[int(i)] = now[i];
    return changed;
  }

  device::ScopedCommandPause no_pause_{[](std::uint32_t) {}};
  emulator::FirmwareModel model_;
  std::shared_ptr<device::InProcessKeyboard> keyboard_;
  profiles::KeyboardSession session_;
  std::vector<std::uint8_t> before_;
  std::string out_, err_;
  std::filesystem::path dir_;
  ini::ScopedEmptyCache ini_cache_;
};

// Offsets in the active slot's record.
std::map<int, int> InActive(std::map<int, int> record) {
  std::map<int, int> out;
  for (auto [offset, value] : record) out[kActive * kRecord + offset] = value;
  return out;
}

TEST_F(LightingCommands, WritesExactlyTheChosenFieldsOfTheActiveSlot) {
  struct Case {
    std::vector<std::string> args;
    std::map<int, int> changes;  // offsets in the active record
  };
  const Case cases[] = {
      {{"lighting", "set", "--effect", "4"}, {{0, 4}}},
      // An effect with a colour group writes the colourful byte with it.
      {{"lighting", "set", "--effect", "5", "--colourful", "off"}, {{0, 5}, {4, 0}}},
      {{"lighting", "set", "--brightness", "0"}, {{1, 0}}},
      {{"lighting", "set", "--brightness", "4"}, {}},  // already 4
      {{"lighting", "set", "--speed=0"}, {{2, 0}}},
      {{"lighting", "set", "--direction", "255"}, {{3, 255}}},
      // A colour turns colourful off; asking for colourful as well turns it on again.
      {{"lighting", "set", "--colour", "A1b2C3"}, {{4, 0}, {5, 0xa1}, {6, 0xb2}, {7, 0xc3}}},
      {{"lighting", "set", "--colour", "a1b2c3", "--colourful", "on"}, {{5, 0xa1}, {6, 0xb2}, {7, 0xc3}}},
      {{"lighting", "set", "--effect17-colour", "blue"}, {{17, 3}}},
      {{"lighting", "set", "--effect", "17", "--effect17-colour", "red", "--json"}, {{0, 17}, {17, 0}}},
      {{"report-rate", "3"}, {{15, 3}}},
      {{"report-rate"}, {}},
      {{"lighting", "show", "--json"}, {}},
      // The default record: bytes 0..34 (the report rate among them); 35..41 stay.
      {{"lighting", "default"},
       [] {
         std::map<int, int> m;
         for (int i = 0; i < 35; ++i) m[i] = 0;
         const int d[] = {1, 5, 2, 0, 255, 255, 255, 255};
         for (int i = 0; i < 8; ++i) m[i] = d[i];
         m.erase(3);  // direction was 0 already
         return m;
       }()},
  };
  for (const Case& c : cases) {
    SetUp();
    std::string line;
    for (const auto& a : c.args) line += a + " ";
    SCOPED_TRACE(line);
    EXPECT_EQ(Run(c.args), 0) << err_;
    EXPECT_EQ(Changes(), InActive(c.changes));
  }
}

TEST_F(LightingCommands, ShowsWhatTheKeyboardHolds) {
  ASSERT_EQ(Run({"lighting", "show", "--json"}), 0) << err_;
  EXPECT_NE(out_.find("\"slot\": 1, \"effect\": 3,"), std::string::npos) << out_;
  EXPECT_NE(out_.find("\"brightness\": 4, \"speed\": 3, \"direction\": 0, \"colour\": \"102030\", "
                      "\"colourful\": true, \"effect17_colour\": \"yellow\", \"report_rate\": 1}"),
            std::string::npos)
      << out_;

  // What set prints is what the keyboard then holds.
  ASSERT_EQ(Run({"lighting", "set", "--colour", "ff0000", "--json"}), 0) << err_;
  const std::string after_set = out_;
  ASSERT_EQ(Run({"lighting", "show", "--json"}), 0) << err_;
  EXPECT_EQ(out_, after_set);
  EXPECT_NE(out_.find("\"colour\": \"ff0000\", \"colourful\": false"), std::string::npos) << out_;

  ASSERT_EQ(Run({"report-rate", "--json"}), 0) << err_;
  EXPECT_EQ(out_, "{\"slot\": 1, \"report_rate\": 1}\n");

  // The text puts every value in one column.
  ASSERT_EQ(Run({"lighting", "show"}), 0) << err_;
  std::istringstream lines(out_);
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    const std::size_t colon = line.find(':');
    ASSERT_NE(colon, std::string::npos) << line;
    EXPECT_EQ(line.find_first_not_of(' ', colon + 1), 18u) << line;
  }
  EXPECT_EQ(count, 9);
}

TEST_F(LightingCommands, EffectNamesIgnoreCase) {
  // The keyboard's effect 3 and effect 4 by their names in another case.
  const std::string three = EffectName(3), four = EffectName(4);
  std::string upper = three, lower = four;
  for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
  for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
  ASSERT_EQ(Run({"lighting", "set", "--effect", lower}), 0) << err_;
  EXPECT_EQ(Changes(), InActive({{0, 4}}));
  ASSERT_EQ(Run({"lighting", "set", "--effect", upper}), 0) << err_;
  EXPECT_EQ(Changes().count(kActive * kRecord), 0u) << "back to effect 3";
}

TEST_F(LightingCommands, BadUsageChangesNothing) {
  const std::vector<std::vector<std::string>> cases = {
      {"lighting", "set"},
      {"lighting", "set", "--brightness", "6"},
      {"lighting", "set", "--brightness"},
      {"lighting", "set", "--speed", "-1"},
      {"lighting", "set", "--direction", "1"},
      {"lighting", "set", "--colour", "12345g"},
      {"lighting", "set", "--colour", "1234567"},
      {"lighting", "set", "--colourful", "yes"},
      {"lighting", "set", "--effect17-colour", "pink"},
      {"lighting", "set", "--effect", "256"},
      {"lighting", "set", "--json=1", "--speed", "1"},
      {"lighting", "show", "bogus"},
      {"lighting", "default", "now"},
      {"report-rate", "4"},
      {"report-rate", "1", "2"},
      {"report-rate", "x"},
      {"lighting", "layout", "--name", ""},
      {"lighting", "layout", "1", "--name="},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args.back());
    EXPECT_EQ(Run(args), 2);
    EXPECT_EQ(out_, "");
    EXPECT_NE(err_.find("keyloomctl: "), std::string::npos);
  }
  EXPECT_EQ(Changes(), (std::map<int, int>{}));
}

TEST_F(LightingCommands, EffectsTheKeyboardDoesNotListAreRefused) {
  // The keyboard lists 1..18 and 20.
  for (const std::string effect : {"19", "0", "no such effect"}) {
    SCOPED_TRACE(effect);
    EXPECT_EQ(Run({"lighting", "set", "--effect", effect, "--brightness", "1"}), 1);
    EXPECT_EQ(std::count(err_.begin(), err_.end(), '\n'), 1) << err_;
  }
  EXPECT_EQ(Changes(), (std::map<int, int>{}));
}

TEST_F(LightingCommands, AKeyboardLostMidwayIsAFailure) {
  // The keyboard unplugs after n requests: the command either succeeds with
  // the whole colour written or fails with one line, never a false success.
  const std::map<int, int> whole = InActive({{4, 0}, {5, 0x11}, {6, 0x22}, {7, 0x33}});
  bool failed_write = false;
  for (std::uint32_t n = 1; n <= 16; ++n) {
    SetUp();
    model_.ArmFault(emulator::FaultKind::kDisconnectAfter, n);
    const int status = Run({"lighting", "set", "--colour", "112233"});
    SCOPED_TRACE(n);
    if (status == 0) {
      EXPECT_EQ(Changes(), whole);
    } else {
      EXPECT_EQ(status, 1);
      EXPECT_EQ(out_, "");
      EXPECT_EQ(std::count(err_.begin(), err_.end(), '\n'), 1) << err_;
      failed_write |= err_.find("did not take the lighting write") != std::string::npos;
    }
    model_.ClearFaults();
    model_.SetPlugged(true);
  }
  EXPECT_TRUE(failed_write);

  keyboard_->Unplug();
  EXPECT_EQ(Run({"report-rate", "2"}), 1);
  EXPECT_NE(err_.find("no keyboard is connected"), std::string::npos) << err_;
}

// Custom colour layouts.
using LightingLayouts = LightingCommands;

TEST_F(LightingLayouts, SelectingSendsTheLayoutAndRenamingKeepsTheFile) {
  // The active slot's file does not exist yet: it starts as the template.
  ASSERT_EQ(Run({"lighting", "layout", "--json"}), 0) << err_;
  EXPECT_TRUE(std::filesystem::exists(dir_ / "UserDengColor_1.userd"));
  EXPECT_NE(out_.find("{\"slot\": 1, \"selected\": 0, \"layouts\": ["), std::string::npos) << out_;

  // Layout 2 paints key position 0; selecting it sends that colour.
  ASSERT_TRUE(lighting::WriteLayoutKey(session_.lighting.paths, 1, 2, 0, lighting::MakeColour(0x12, 0x34, 0x56), 0));
  ASSERT_EQ(Run({"lighting", "layout", "2", "--name", "Sun \"set\""}), 0) << err_;
  const std::vector<std::uint8_t> colours = model_.Snapshot().keyColours;
  ASSERT_GE(colours.size(), std::size_t(2 * 512));
  EXPECT_EQ(colours[512], 0x12);
  EXPECT_EQ(colours[513], 0x34);
  EXPECT_EQ(colours[514], 0x56);
  EXPECT_EQ(lighting::ReadSelectedLayout(session_.lighting.paths, 1), 2);
  EXPECT_NE(out_.find("* 2  Sun \"set\"\n"), std::string::npos) << out_;
  EXPECT_EQ(Changes(), (std::map<int, int>{}));  // the lighting record stays

  // Other slots' files are not touched; a bad layout number is bad usage.
  EXPECT_FALSE(std::filesystem::exists(dir_ / "UserDengColor_0.userd"));
  EXPECT_EQ(Run({"lighting", "layout", "10"}), 2);
  EXPECT_EQ(lighting::ReadSelectedLayout(session_.lighting.paths, 1), 2);

  // The default lighting starts the slot's layouts again from the template
  // and sends its selected layout.
  ASSERT_EQ(Run({"lighting", "default"}), 0) << err_;
  EXPECT_EQ(lighting::ReadSelectedLayout(session_.lighting.paths, 1), 0);
  EXPECT_NE(lighting::ReadLayoutName(session_.lighting.paths, 1, 2), u"Sun \"set\"");
  const lighting::LayoutKey first = lighting::ReadLayoutKey(session_.lighting.paths, 1, 0, 0);
  const std::vector<std::uint8_t> sent = model_.Snapshot().keyColours;
  EXPECT_EQ(sent[512], lighting::Red(first.colour));
  EXPECT_EQ(sent[513], lighting::Green(first.colour));
  EXPECT_EQ(sent[514], lighting::Blue(first.colour));
  EXPECT_EQ(model_.Snapshot().lighting[42], 1);  // effect 1
}

TEST_F(LightingLayouts, KeyColoursGoToTheKeyboardAndTheSelectedLayout) {
  const int a_position =
      keys::PanelOrderKeys()[std::size_t(keys::PanelIndexOfKeyCode(0x01E))].colourPosition;
  auto sent = [&](int position) {
    const std::vector<std::uint8_t> c = model_.Snapshot().keyColours;
    const std::size_t at = std::size_t(512 + position * 3);
    return lighting::MakeColour(c[at], c[at + 1], c[at + 2]);
  };
  const lighting::Colour untouched = sent(a_position);

  // Only while the slot shows its custom colours.
  EXPECT_EQ(Run({"lighting", "key", "0x01E", "102030"}), 1);
  EXPECT_NE(err_.find("--effect 20"), std::string::npos) << err_;
  EXPECT_EQ(sent(a_position), untouched);

  ASSERT_EQ(Run({"lighting", "set", "--effect", "20"}), 0) << err_;
  ASSERT_EQ(Run({"lighting", "layout", "4"}), 0) << err_;
  struct Case {
    std::string key;
    int position;
    lighting::Colour colour;
  };
  const Case cases[] = {
      {"0x01E", a_position, lighting::MakeColour(0x10, 0x20, 0x30)},
      {"key_01e", a_position, lighting::MakeColour(0x40, 0x50, 0x60)},
      {"Fn", 110, lighting::MakeColour(0x0a, 0x0b, 0x0c)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02x%02x%02x", lighting::Red(c.colour), lighting::Green(c.colour),
                  lighting::Blue(c.colour));
    ASSERT_EQ(Run({"lighting", "key", c.key, hex}), 0) << err_;
    EXPECT_EQ(sent(c.position), c.colour);
    const lighting::LayoutKey in_file = lighting::ReadLayoutKey(session_.lighting.paths, 1, 4, c.position);
    EXPECT_EQ(in_file.colour, c.colour);
    EXPECT_EQ(in_file.base_flag, 0);
  }

  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"lighting", "key", "G1", "102030"},
        {"lighting", "key", "0x999", "102030"},
        {"lighting", "key", "no such key", "102030"},
        {"lighting", "key", "0x01E", "red"},
        {"lighting", "key", "0x01E"}}) {
    SCOPED_TRACE(bad[2]);
    EXPECT_EQ(Run(bad), 2);
  }
  EXPECT_EQ(sent(a_position), lighting::MakeColour(0x40, 0x50, 0x60));
}

TEST_F(LightingLayouts, ADamagedColourFileIsToldAndKeptAndOneOutOfReachChangesNothing) {
  ASSERT_EQ(Run({"lighting", "set", "--effect", "20"}), 0) << err_;
  const std::filesystem::path file = dir_ / "UserDengColor_1.userd";
  const std::string garbage("\x01\x02 not a colour file \xFF\x00", 24);
  { std::ofstream(file, std::ios::binary) << garbage; }
  // The layouts are the template's, never "0" names nor red defaults; the
  // damaged bytes are kept beside the new file and the message names both.
  ASSERT_EQ(Run({"lighting", "layout", "3"}), 0) << err_;
  EXPECT_NE(out_.find("* 3  Ocean\n"), std::string::npos) << out_;
  EXPECT_NE(err_.find("the colour file " + file.string() + " was damaged"), std::string::npos) << err_;
  EXPECT_NE(err_.find(file.string() + ".damaged"), std::string::npos) << err_;
  std::ifstream kept(file.string() + ".damaged", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), garbage);
  const lighting::LayoutKey first = lighting::ReadLayoutKey(session_.lighting.paths, 1, 3, 0);
  EXPECT_EQ(model_.Snapshot().keyColours[512], lighting::Red(first.colour));

  // A colour file that cannot be read: a failure naming it, and the
  // keyboard's colours stay as they were for every command.
  std::filesystem::remove(file);
  std::filesystem::create_directories(file);
  const std::vector<std::uint8_t> colours = model_.Snapshot().keyColours;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"lighting", "layout", "2"}, {"lighting", "key", "0x01E", "102030"}}) {
    SCOPED_TRACE(args[1]);
    EXPECT_EQ(Run(args), 1);
    EXPECT_EQ(err_, "keyloomctl: cannot read the colour file " + file.string() + ": it is a folder\n");
    EXPECT_EQ(model_.Snapshot().keyColours, colours);
  }
}

}  // namespace
}  // namespace keyloom::cli
