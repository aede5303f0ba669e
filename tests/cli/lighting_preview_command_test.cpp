#include "cli/lighting_preview_command.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <regex>
#include <sstream>

namespace keyloom::cli {
namespace {

struct CliRun {
  int status = -1;
  std::string out, err;
};

CliRun RunArgs(std::vector<std::string> args, const std::atomic<bool>* stop = nullptr) {
  std::ostringstream out, err;
  CommandIo io{out, err};
  io.stop = stop;
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
  // Only a colour given: effect 1 colourful (the default record's values).
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
      {"--json=1"},          {"extra"},
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
  const CliRun r = RunArgs({"lighting", "preview", "--effect", "4", "--direction", "0", "--frames", "2"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\x1b[48;2;255;38;0m"), std::string::npos);  // frame 1
  EXPECT_NE(r.out.find("\x1b[48;2;255;26;0m"), std::string::npos);  // frame 2
  // The second frame is drawn over the first.
  EXPECT_NE(r.out.find("\x1b[" + std::to_string(kPreviewTerminalLines) + "A"), std::string::npos);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2 * kPreviewTerminalLines);
  EXPECT_NE(r.out.find("\x1b[?25h"), std::string::npos);  // the cursor comes back
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
