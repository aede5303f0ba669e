#include "app/command_line.h"

#include "platform/text.h"

namespace keyloom::app {

Switch MatchSwitch(std::string_view argument) {
  if (text::EqualsIgnoreCase(argument, std::string_view("/Kill"))) return Switch::Kill;
  if (text::EqualsIgnoreCase(argument, std::string_view("/Start"))) return Switch::Start;
  return Switch::None;
}

}  // namespace keyloom::app
