#pragma once
// The message boxes of the core, on the terminal: the (localised) text goes
// to standard error, and a question is answered with y or n from standard
// input. --yes or --no answers every question of a run. Without either, a
// question is answered no unless a person at the terminal types yes: with no
// terminal, an empty line or the end of input the answer is no.
#include <istream>
#include <ostream>

#include "platform/host.h"

namespace keyloom::cli {

enum class PromptAnswers { FromTerminal, Yes, No };

class TerminalPrompter : public host::Prompter {
 public:
  // `in` may be null (nothing to read); `in_is_terminal` says whether a
  // person can answer there.
  TerminalPrompter(std::ostream& err, std::istream* in, bool in_is_terminal, PromptAnswers answers);

  host::Answer Ask(const host::MessageBoxRequest& request) override;

 private:
  std::ostream& err_;
  std::istream* in_;
  bool in_is_terminal_;
  PromptAnswers answers_;
};

}  // namespace keyloom::cli
