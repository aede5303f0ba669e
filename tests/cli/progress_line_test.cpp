// The progress line of long transfers: silent while short, drawn in place
// on a terminal, a summary line otherwise, and out of the way of questions.
#include "cli/progress_line.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <thread>

#include "cli/terminal_prompter.h"

namespace keyloom::cli {
namespace {

using namespace std::chrono_literals;

// A stream whose text may be read while the line's thread writes to it.
struct Output {
  std::ostringstream stream;
  std::string Text() {
    std::lock_guard lock(TerminalOutputLock());
    return stream.str();
  }
};

ProgressLine::Options Fast(std::atomic<std::uint64_t>& reports, std::chrono::milliseconds delay = 20ms) {
  ProgressLine::Options o;
  o.delay = delay;
  o.interval = 5ms;
  o.count = [&reports] { return reports.load(); };
  return o;
}

TEST(ProgressLine, ShortTransfersShowNothing) {
  for (const bool terminal : {true, false}) {
    Output out;
    std::atomic<std::uint64_t> reports{0};
    {
      ProgressLine line(out.stream, terminal, "Writing to the keyboard", Fast(reports, 10s));
      reports = 40;
    }
    EXPECT_EQ(out.Text(), "") << terminal;
  }
}

TEST(ProgressLine, OnATerminalTheLineIsDrawnInPlaceAndCleared) {
  Output out;
  std::atomic<std::uint64_t> reports{100};  // counted from the start of the line
  ProgressLine line(out.stream, true, "Writing to the keyboard", Fast(reports));
  reports = 103;
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (out.Text().find("3 reports") == std::string::npos && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(2ms);
  EXPECT_NE(out.Text().find("\rWriting to the keyboard\xE2\x80\xA6 3 reports"), std::string::npos);
  reports = 112;
  while (out.Text().find("12 reports") == std::string::npos && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(2ms);
  line.Finish();
  const std::string text = out.Text();
  EXPECT_EQ(text.find('\n'), std::string::npos) << "the line is not left on the screen";
  // It ends by blanking its width and returning to the line's start.
  const std::string blank = "\r" + std::string(std::string("Writing to the keyboard. 12 reports").size(), ' ') + "\r";
  ASSERT_GE(text.size(), blank.size());
  EXPECT_EQ(text.substr(text.size() - blank.size()), blank);
}

TEST(ProgressLine, WithoutATerminalOneSummaryLine) {
  Output out;
  std::atomic<std::uint64_t> reports{0};
  {
    ProgressLine line(out.stream, false, "Reading the keyboard", Fast(reports));
    std::this_thread::sleep_for(60ms);
    reports = 7;
  }
  const std::string text = out.Text();
  EXPECT_EQ(text.rfind("Reading the keyboard: 7 reports in ", 0), 0u) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
}

TEST(ProgressLine, AQuestionClearsTheLineFirst) {
  Output out;
  std::atomic<std::uint64_t> reports{5};
  ProgressLine line(out.stream, true, "Writing to the keyboard", Fast(reports));
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (out.Text().find("reports") == std::string::npos && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(2ms);
  std::istringstream typed("y\n");
  TerminalPrompter prompter(out.stream, &typed, true, PromptAnswers::FromTerminal);
  host::MessageBoxRequest question;
  question.text = u"Go on?";
  question.buttons = host::Buttons::YesNo;
  EXPECT_EQ(prompter.Ask(question), host::Answer::Yes);
  line.Finish();
  const std::string text = out.Text();
  const std::size_t asked = text.find("Go on?");
  ASSERT_NE(asked, std::string::npos);
  // Just before the question: the drawn line blanked out.
  EXPECT_EQ(text.substr(asked - 1, 1), "\r") << text;
}

}  // namespace
}  // namespace keyloom::cli
