#include "cli/terminal_prompter.h"

#include <string>

#include "cli/terminal_output.h"
#include "platform/text.h"

namespace keyloom::cli {

namespace {

using host::Answer;
using host::Buttons;

struct Choice {
  Answer yes;
  Answer no;
  const char* yes_word;
  const char* no_word;
};

Choice ChoiceOf(Buttons buttons) {
  if (buttons == Buttons::OkCancel) return {Answer::Ok, Answer::Cancel, "ok", "cancel"};
  return {Answer::Yes, Answer::No, "yes", "no"};
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

std::string Trim(const std::string& s) {
  const std::size_t first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

TerminalPrompter::TerminalPrompter(std::ostream& err, std::istream* in, bool in_is_terminal,
                                   PromptAnswers answers)
    : err_(err), in_(in), in_is_terminal_(in_is_terminal), answers_(answers) {}

Answer TerminalPrompter::Ask(const host::MessageBoxRequest& request) {
  TerminalOutputTurn turn;
  std::string text = text::ToUtf8(request.text);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (request.buttons == Buttons::Ok) {
    err_ << text << "\n";
    err_.flush();
    return Answer::Ok;
  }
  // Nothing is done on a question without a yes: --no, no one to ask, an
  // empty line and the end of input all answer no, whatever the dialog's
  // default button would be.
  const Choice choice = ChoiceOf(request.buttons);
  if (answers_ != PromptAnswers::FromTerminal) {
    const bool yes = answers_ == PromptAnswers::Yes;
    err_ << text << " " << (yes ? choice.yes_word : choice.no_word) << " ("
         << (yes ? "--yes" : "--no") << ")\n";
    err_.flush();
    return yes ? choice.yes : choice.no;
  }
  if (!in_ || !in_is_terminal_) {
    err_ << text << " " << choice.no_word << " (no terminal to ask; answer with --yes to agree)\n";
    err_.flush();
    return choice.no;
  }
  for (;;) {
    err_ << text << " [y/N] ";
    err_.flush();
    std::string line;
    if (!std::getline(*in_, line)) {
      err_ << "\n";
      return choice.no;
    }
    const std::string word = Lower(Trim(line));
    if (word.empty()) return choice.no;
    if (word == "y" || word == "yes" || word == choice.yes_word) return choice.yes;
    if (word == "n" || word == "no" || word == choice.no_word) return choice.no;
  }
}

}  // namespace keyloom::cli
