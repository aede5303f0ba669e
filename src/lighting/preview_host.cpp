#include "lighting/preview_host.h"

#include <ctime>

namespace keyloom::lighting::preview {

std::int64_t SystemPreviewClock::Seconds() { return std::int64_t(std::time(nullptr)); }

int LcgPreviewRandom::Next() {
  state_ = state_ * 214013u + 2531011u;
  return int((state_ >> 16) & 0x7FFF);
}

}  // namespace keyloom::lighting::preview
