#pragma once
// The options of keyloomctl's keys, macro and apply commands: flags
// ("--json"), options with a value ("--slot 1" or "--slot=1") and the
// positional words in their order. A word after "--" is always positional.
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace keyloom::cli {

struct ParsedOptions {
  std::vector<std::string> positional;
  std::vector<std::string> flags;               // given flags
  std::map<std::string, std::string> values;    // last value of each option
  std::vector<std::pair<std::string, std::string>> ordered;  // every value, in the order given

  bool Has(const std::string& flag) const;
  std::optional<std::string> Value(const std::string& name) const;
};

// False with the reason for an unknown option, a flag with a value or an
// option without one.
bool ParseCommandOptions(const std::vector<std::string>& args, const std::vector<std::string>& flags,
                         const std::vector<std::string>& valued, ParsedOptions& out, std::string& reason);

// --slot's value: 0..2, or -1 when not given. False with the reason for any
// other value.
bool SlotOption(const ParsedOptions& options, int& slot, std::string& reason);

}  // namespace keyloom::cli
