// Questions on the terminal: --yes, --no, a person typing, and no one there.
#include "cli/terminal_prompter.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/command_table.h"
#include "profiles/keyboard_session.h"

namespace keyloom::cli {
namespace {

using host::Answer;
using host::Buttons;

host::MessageBoxRequest Question(Buttons buttons, Answer default_button) {
  host::MessageBoxRequest r;
  r.text = u"Delete it anyway?\r\n";
  r.buttons = buttons;
  r.default_button = default_button;
  return r;
}

TEST(TerminalPrompter, AnswersByModeInputAndDefault) {
  struct Case {
    const char* what;
    PromptAnswers answers;
    bool terminal;
    const char* typed;
    Buttons buttons;
    Answer default_button;
    Answer expected;
    const char* shown;  // part of what standard error shows
  };
  const Case cases[] = {
      {"--yes", PromptAnswers::Yes, true, "n\n", Buttons::YesNo, Answer::No, Answer::Yes, "Delete it anyway? yes (--yes)\n"},
      {"--no", PromptAnswers::No, true, "y\n", Buttons::YesNo, Answer::Yes, Answer::No, "Delete it anyway? no (--no)\n"},
      {"--no on ok/cancel", PromptAnswers::No, false, "", Buttons::OkCancel, Answer::Ok, Answer::Cancel, "cancel (--no)"},
      {"typed y", PromptAnswers::FromTerminal, true, "y\n", Buttons::YesNo, Answer::No, Answer::Yes, "[y/N] "},
      {"typed YES", PromptAnswers::FromTerminal, true, " YES \n", Buttons::YesNo, Answer::No, Answer::Yes, "[y/N] "},
      {"typed n", PromptAnswers::FromTerminal, true, "n\n", Buttons::YesNo, Answer::Yes, Answer::No, "[y/N] "},
      // No is the default on the terminal even where the dialog's default is Yes.
      {"empty line", PromptAnswers::FromTerminal, true, "\n", Buttons::YesNo, Answer::Yes, Answer::No, "[y/N] "},
      {"asked again", PromptAnswers::FromTerminal, true, "maybe\ny\n", Buttons::YesNo, Answer::Yes, Answer::Yes,
       "Delete it anyway? [y/N] Delete it anyway? [y/N] "},
      {"end of input, default yes", PromptAnswers::FromTerminal, true, "", Buttons::YesNo, Answer::Yes, Answer::No,
       "[y/N] \n"},
      {"end of input", PromptAnswers::FromTerminal, true, "", Buttons::YesNo, Answer::No, Answer::No, "[y/N] \n"},
      {"ok on ok/cancel", PromptAnswers::FromTerminal, true, "ok\n", Buttons::OkCancel, Answer::Cancel, Answer::Ok, "[y/N]"},
      // Unattended, a question is answered no whatever its default.
      {"no terminal", PromptAnswers::FromTerminal, false, "y\n", Buttons::YesNo, Answer::Yes, Answer::No,
       "Delete it anyway? no (no terminal to ask; answer with --yes to agree)\n"},
      {"no terminal, default no", PromptAnswers::FromTerminal, false, "y\n", Buttons::YesNo, Answer::No, Answer::No,
       "no (no terminal"},
      {"no terminal, ok/cancel", PromptAnswers::FromTerminal, false, "", Buttons::OkCancel, Answer::Ok,
       Answer::Cancel, "cancel (no terminal"},
      {"message", PromptAnswers::No, true, "", Buttons::Ok, Answer::Ok, Answer::Ok, "Delete it anyway?\n"},
  };
  for (const Case& c : cases) {
    std::ostringstream err;
    std::istringstream in(c.typed);
    TerminalPrompter prompter(err, &in, c.terminal, c.answers);
    EXPECT_EQ(prompter.Ask(Question(c.buttons, c.default_button)), c.expected) << c.what;
    EXPECT_NE(err.str().find(c.shown), std::string::npos) << c.what << ": " << err.str();
  }
}

TEST(TerminalPrompter, NoInputStreamTakesTheDefault) {
  std::ostringstream err;
  TerminalPrompter prompter(err, nullptr, true, PromptAnswers::FromTerminal);
  EXPECT_EQ(prompter.Ask(Question(Buttons::YesNo, Answer::Yes)), Answer::No);
}

TEST(TerminalPrompter, RunCliInstallsItForTheCommandOnly) {
  std::ostringstream out, err;
  CommandIo io{out, err};
  EXPECT_EQ(RunCli({"--yes", "--no", "status"}, io), kExitUsage);
  EXPECT_NE(err.str().find("--yes and --no cannot both be given"), std::string::npos) << err.str();
  // --yes twice is fine, and it may stand after the command's words.
  std::ostringstream out2, err2;
  CommandIo io2{out2, err2};
  profiles::KeyboardSession session;
  io2.session = &session;
  EXPECT_EQ(RunCli({"help", "--yes", "--yes"}, io2), kExitSuccess) << err2.str();
  // Once the command ended the session's prompter is what it was: questions
  // take their default button again, and the session is the caller's.
  host::MessageBoxRequest r = Question(Buttons::YesNo, Answer::No);
  EXPECT_EQ(session.Prompter().Ask(r), Answer::No);
  EXPECT_EQ(io2.session, &session);
  // A run without a session of its own leaves none behind.
  EXPECT_EQ(io.session, nullptr);
}

}  // namespace
}  // namespace keyloom::cli
