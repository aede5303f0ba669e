#include "cli/lighting_preview_command.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <cstdio>
#include <map>
#include <regex>
#include <sstream>

#include <unistd.h>

#include "cli/lighting_commands.h"
#include "lighting/preview_tables.h"
#include "lighting/user_colour_files.h"
#include "platform/scoped_env.h"
#include "profiles/keyboard_session.h"

namespace keyloom::cli {
namespace {

struct CliRun {
  int status = -1;
  std::string out, err;
};

CliRun RunArgs(std::vector<std::string> args, const std::atomic<bool>* stop = nullptr, bool terminal = false,
               profiles::KeyboardSession* session = nullptr) {
  std::ostringstream out, err;
  CommandIo io{out, err};
  io.session = session;
  io.stop = stop;
  io.out_is_terminal = terminal;
  io.wait_until = [](std::chrono::steady_clock::time_point) {};
  CliRun r;
  r.status = RunCli(args, io);
  r.out = out.str();
  r.err = err.str();
  return r;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The "keys" object of a JSON frame line as id -> value ("rrggbb" or null).
std::map<int, std::string> KeysOf(const std::string& line) {
  std::map<int, std::string> keys;
  static const std::regex entry(R"re("(\d+)": ("[0-9a-f]{6}"|null))re");
  for (auto it = std::sregex_iterator(line.begin(), line.end(), entry); it != std::sregex_iterator(); ++it)
    keys[std::stoi((*it)[1])] = (*it)[2];
  return keys;
}

TEST(LightingPreviewJson, OneLinePerFrameWithEveryKeyButton) {
  const CliRun r = RunArgs({"lighting", "preview", "--effect", "4", "--direction", "0", "--frames", "2", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 2u);
  static const std::regex shape(R"re(\{"frame": (\d+), "keys": \{("\d+": ("[0-9a-f]{6}"|null)(, )?)+\}\})re");
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[i], m, shape)) << lines[i];
    EXPECT_EQ(m[1], std::to_string(i + 1));
  }
  // Effect 4 backwards: the wheel from phase 190 (ff2600) to 188 (ff1a00) on
  // every ordinary key; the macro keys and Fn show nothing.
  const auto first = KeysOf(lines[0]);
  const auto second = KeysOf(lines[1]);
  EXPECT_EQ(first.size(), 115u);
  EXPECT_EQ(first.at(1052), "\"ff2600\"");
  EXPECT_EQ(first.at(1087), "\"ff2600\"");
  EXPECT_EQ(second.at(1022), "\"ff1a00\"");
  for (int id : {1000, 1004, 1140, 1143, 1174}) EXPECT_EQ(first.at(id), "null") << id;
  EXPECT_EQ(first.count(1016), 0u);  // D1 is not a preview key
}

TEST(LightingPreviewJson, SingleColourAndPartialOptionsUseTheDefaults) {
  // Effect 6 in one colour: every ordinary key in the main colour.
  CliRun r = RunArgs({"lighting", "preview", "--effect=6", "--colourful=off", "--colour", "C86432", "--frames", "1", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(KeysOf(r.out).at(1010), "\"c86432\"");
  // Only a colour given: effect 1 in that colour, as lighting set makes it
  // (colourful off); colourful on would show the wheel's colours.
  r = RunArgs({"lighting", "preview", "--effect", "6", "--colour", "C86432", "--frames", "1", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(KeysOf(r.out).at(1010), "\"c86432\"");
  r = RunArgs({"lighting", "preview", "--colour", "000000", "--frames", "1", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(KeysOf(r.out).at(1010), "null");
  // Effects without a preview show nothing at all.
  r = RunArgs({"lighting", "preview", "--effect", "7", "--frames", "1", "--json"});
  ASSERT_EQ(r.status, 0);
  for (const auto& [id, value] : KeysOf(r.out)) EXPECT_EQ(value, "null") << id;
}

TEST(LightingPreviewCommand, BadUsageExitsWithTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {"--effect", "x"},     {"--effect", "256"},   {"--effect", "-1"},    {"--direction", "1"},
      {"--colourful", "yes"}, {"--colour", "12345"}, {"--colour", "12345g"}, {"--colour", "0x1234"},
      {"--frames", "0"},     {"--frames", "9999999999"}, {"--frames"},     {"--bogus"},
      {"--json=1"},          {"extra"},             {"--effect", "no such effect"},
      {"--effect17-colour", "pink"}, {"--layout", "10"},
  };
  for (const auto& extra : cases) {
    std::vector<std::string> args = {"lighting", "preview"};
    args.insert(args.end(), extra.begin(), extra.end());
    const CliRun r = RunArgs(args);
    EXPECT_EQ(r.status, 2) << extra[0];
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("keyloomctl: ", 0), 0u) << r.err;
  }
}

TEST(LightingPreviewCommand, WithoutLightingOptionsTheKeyboardIsNeeded) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"lighting", "preview"},
        std::vector<std::string>{"lighting", "preview", "--frames", "3", "--json"}}) {
    const CliRun r = RunArgs(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
    EXPECT_NE(r.err.find("keyboard's lighting"), std::string::npos) << r.err;
  }
}

TEST(LightingPreviewCommand, StopsWhenAskedBeforeTheNextFrame) {
  std::atomic<bool> stop{true};
  const CliRun r = RunArgs({"lighting", "preview", "--effect", "4", "--json"}, &stop);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
}

TEST(LightingPreviewCommand, DrawsTheRowsInTrueColour) {
  const CliRun r = RunArgs({"lighting", "preview", "--effect", "4", "--direction", "0", "--frames", "2"}, nullptr, true);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\x1b[48;2;255;38;0m"), std::string::npos);  // frame 1
  EXPECT_NE(r.out.find("\x1b[48;2;255;26;0m"), std::string::npos);  // frame 2
  // The second frame is drawn over the first.
  EXPECT_NE(r.out.find("\x1b[" + std::to_string(kPreviewTerminalLines) + "A"), std::string::npos);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2 * kPreviewTerminalLines);
  EXPECT_NE(r.out.find("\x1b[?25h"), std::string::npos);  // the cursor comes back
}

TEST(LightingPreviewCommand, WithoutATerminalOrWithNoColorNoEscapes) {
  struct Case {
    const char* what;
    bool terminal;
    const char* no_color;
  } const cases[] = {{"a pipe", false, nullptr}, {"NO_COLOR on a terminal", true, "1"}};
  for (const Case& c : cases) {
    CliRun r;
    {
      keyloom::testing::ScopedEnv no_colour("NO_COLOR", c.no_color);
      r = RunArgs({"lighting", "preview", "--effect", "6", "--colourful", "off", "--colour", "ff0000", "--frames", "2"},
                  nullptr, c.terminal);
    }
    ASSERT_EQ(r.status, 0) << c.what << r.err;
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << c.what;
    // Two frames, one after the other; red keys show R.
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2 * kPreviewTerminalLines) << c.what;
    EXPECT_NE(r.out.find("RR"), std::string::npos) << c.what << r.out;
  }
}

TEST(LightingPreviewJson, SteadyEffectsShowTheirColours) {
  // Effect 17 lights every key in its colour; the name works in any case.
  struct Case {
    std::vector<std::string> args;
    const char* colour;
  } const cases[] = {
      {{"--effect", "17"}, "\"ff0000\""},
      {{"--effect", "17", "--effect17-colour", "green"}, "\"00ff00\""},
      {{"--effect", "17", "--effect17-colour", "blue"}, "\"0000ff\""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"lighting", "preview", "--frames", "1", "--json"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliRun r = RunArgs(args);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto keys = KeysOf(r.out);
    ASSERT_FALSE(keys.empty());
    for (const auto& [id, value] : keys) EXPECT_EQ(value, c.colour) << id;
  }
  // Effect names of lighting set are accepted too, in any case.
  std::string name = EffectName(4);
  for (char& ch : name) ch = char(std::toupper(static_cast<unsigned char>(ch)));
  EXPECT_EQ(RunArgs({"lighting", "preview", "--effect", name, "--frames", "1", "--json"}).out,
            RunArgs({"lighting", "preview", "--effect", "4", "--frames", "1", "--json"}).out);
}

TEST(LightingPreviewJson, EffectTwentyShowsTheLayoutsKeyColours) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("keyloom-preview-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  profiles::KeyboardSession session;
  lighting::LightingPaths& paths = session.lighting.paths;
  paths = {dir / "wskb.ini", (dir / "UserDengColor_").string(), std::string(KEYLOOM_BUILD_DIR) + "/Skins/UserDengColor_"};
  const int id = 1010;
  const int position = lighting::preview::KeyPosition(id);
  ASSERT_GE(position, 0);
  ASSERT_TRUE(lighting::CopyColourTemplate(paths, 0));
  ASSERT_TRUE(lighting::WriteLayoutKey(paths, 0, 3, position, lighting::MakeColour(0x12, 0x34, 0x56), 0));
  const CliRun r = RunArgs({"lighting", "preview", "--effect", "20", "--layout", "3", "--frames", "1", "--json"},
                           nullptr, false, &session);
  std::filesystem::remove_all(dir);
  ASSERT_EQ(r.status, 0) << r.err;
  const auto keys = KeysOf(r.out);
  EXPECT_EQ(keys.at(id), "\"123456\"");
  EXPECT_EQ(std::count_if(keys.begin(), keys.end(), [](const auto& k) { return k.second == "null"; }), 0);
}

TEST(CommandDispatcher, HelpUnknownCommandsAndGroups) {
  struct Case {
    std::vector<std::string> args;
    int status;
    bool on_stdout;
    const char* text;
  };
  const Case cases[] = {
      {{}, 2, false, "lighting preview"},
      {{"--help"}, 0, true, "lighting preview"},
      {{"help"}, 0, true, "lighting preview"},
      {{"lighting"}, 2, false, "lighting preview"},
      {{"lighting", "--help"}, 0, true, "lighting preview"},
      {{"lighting", "preview", "--help"}, 0, true, "--colourful on|off"},
      {{"lighting", "preview", "--effect", "4", "-h"}, 0, true, "Usage: keyloomctl lighting preview"},
      {{"frobnicate"}, 2, false, "unknown command 'frobnicate'"},
      {{"lighting", "frobnicate"}, 2, false, "lighting preview"},
      {{"lighting", "frobnicate"}, 2, false, "unknown command 'lighting frobnicate'"},
      {{"report-rate", "--help"}, 0, true, "four USB report rates"},
  };
  for (const Case& c : cases) {
    const CliRun r = RunArgs(c.args);
    EXPECT_EQ(r.status, c.status) << (c.args.empty() ? "" : c.args[0]);
    const std::string& shown = c.on_stdout ? r.out : r.err;
    EXPECT_NE(shown.find(c.text), std::string::npos) << shown;
  }
  // Every command has its help.
  for (const Command& c : Commands()) {
    EXPECT_FALSE(c.summary.empty()) << c.name;
    EXPECT_EQ(c.usage.rfind("keyloomctl " + c.name, 0), 0u) << c.name;
  }
}

// The installed program: exit status and output through a real process.
TEST(KeyloomctlProgram, JsonFramesAndExitStatus) {
  const std::string program = std::string(KEYLOOM_BUILD_DIR) + "/keyloomctl";
  auto run = [&](const std::string& args, std::string& out) {
    FILE* pipe = popen((program + " " + args + " 2>/dev/null").c_str(), "r");
    if (!pipe) return -1;
    char buf[4096];
    out.clear();
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  std::string out;
  EXPECT_EQ(run("lighting preview --effect 12 --frames 3 --json", out), 0);
  EXPECT_EQ(Lines(out).size(), 3u);
  EXPECT_EQ(Lines(out)[2].rfind("{\"frame\": 3, \"keys\": {", 0), 0u);
  EXPECT_EQ(run("lighting preview --direction 7", out), 2);
  EXPECT_EQ(run("lighting preview", out), 1);
  EXPECT_EQ(run("lighting preview --help", out), 0);
}

}  // namespace
}  // namespace keyloom::cli
