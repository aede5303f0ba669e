#include "cli/command_options.h"

#include <algorithm>

#include "cli/option_values.h"

namespace keyloom::cli {

bool ParsedOptions::Has(const std::string& flag) const {
  return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

std::optional<std::string> ParsedOptions::Value(const std::string& name) const {
  const auto it = values.find(name);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

bool ParseCommandOptions(const std::vector<std::string>& args, const std::vector<std::string>& flags,
                         const std::vector<std::string>& valued, ParsedOptions& out, std::string& reason) {
  out = {};
  bool only_positional = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (only_positional || arg.size() < 2 || arg.rfind("--", 0) != 0) {
      out.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      only_positional = true;
      continue;
    }
    std::string name = arg;
    std::optional<std::string> value;
    if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    }
    if (std::find(flags.begin(), flags.end(), name) != flags.end()) {
      if (value) {
        reason = "option '" + name + "' takes no value";
        return false;
      }
      out.flags.push_back(name);
      continue;
    }
    if (std::find(valued.begin(), valued.end(), name) == valued.end()) {
      reason = "unknown option '" + arg + "'";
      return false;
    }
    if (!value) {
      if (i + 1 >= args.size()) {
        reason = "option '" + name + "' needs a value";
        return false;
      }
      value = args[++i];
    }
    out.values[name] = *value;
    out.ordered.emplace_back(name, *value);
  }
  return true;
}

bool SlotOption(const ParsedOptions& options, int& slot, std::string& reason) {
  slot = -1;
  const std::optional<std::string> value = options.Value("--slot");
  if (!value) return true;
  if (!ParseInt(*value, slot) || slot < 0 || slot > 2) {
    reason = "--slot takes 0, 1 or 2, not '" + *value + "'";
    slot = -1;
    return false;
  }
  return true;
}

}  // namespace keyloom::cli
