#include "cli/completion_words.h"

#include <algorithm>
#include <regex>

#include "cli/key_arguments.h"

namespace keyloom::cli {

namespace {

void PrintAll(CommandIo& io, const std::vector<std::string>& words) {
  for (const std::string& w : words)
    if (!w.empty()) io.out << w << "\n";
}

// The options a command's usage line and help name, in order of appearance.
std::vector<std::string> OptionsOf(const Command& c) {
  std::vector<std::string> options;
  static const std::regex option(R"((^|[^A-Za-z0-9-])(--[a-z0-9][a-z0-9-]*))");
  const std::string text = c.usage + "\n" + c.help;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it) {
    const std::string word = (*it)[2];
    if (std::find(options.begin(), options.end(), word) == options.end()) options.push_back(word);
  }
  return options;
}

}  // namespace

int PrintCompletionWords(const std::vector<std::string>& args, CommandIo& io) {
  const std::string list = args.empty() ? std::string() : args[0];
  if (list == "commands") {
    for (const Command& c : Commands()) io.out << c.name << "\n";
    return kExitSuccess;
  }
  if (list == "options") {
    std::string name;
    for (std::size_t i = 1; i < args.size(); ++i) name += (i > 1 ? " " : "") + args[i];
    for (const Command& c : Commands()) {
      if (c.name == name) PrintAll(io, OptionsOf(c));
    }
    return kExitSuccess;
  }
  if (list == "keys") {
    PrintAll(io, KeyNames(true));
    return kExitSuccess;
  }
  if (list == "sent-keys") {
    PrintAll(io, KeyNames(false));
    return kExitSuccess;
  }
  if (list == "media") {
    PrintAll(io, MediaNames());
    return kExitSuccess;
  }
  return UsageError(io, "", "no word list '" + list + "' (commands, options, keys, sent-keys, media)");
}

}  // namespace keyloom::cli
