#include "app/version.h"

#include "app/version_config.h"

namespace keyloom::app {

std::string_view Version() { return KEYLOOM_VERSION; }

std::string VersionLine(std::string_view program) {
  std::string line(program);
  line += ' ';
  line += Version();
  return line;
}

}  // namespace keyloom::app
