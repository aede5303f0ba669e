#include "cli/option_values.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <system_error>

namespace keyloom::cli {

bool ParseInt(const std::string& text, int& value) {
  if (text.empty() || text.size() > 9) return false;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

bool ParseColour(const std::string& text, lighting::Colour& colour) {
  if (text.size() != 6) return false;
  unsigned value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value, 16);
  if (ec != std::errc() || ptr != end) return false;
  colour = lighting::MakeColour(std::uint8_t(value >> 16), std::uint8_t(value >> 8), std::uint8_t(value));
  return true;
}

std::string Hex(lighting::Colour c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02x%02x%02x", lighting::Red(c), lighting::Green(c), lighting::Blue(c));
  return buf;
}

}  // namespace keyloom::cli
