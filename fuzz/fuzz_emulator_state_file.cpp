// Decodes arbitrary bytes as the virtual keyboard's state file: a state that
// decodes encodes back to text that decodes to the same state.
#include "emulator/state_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace keyloom::emulator;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  DecodedState state;
  std::string error;
  if (!DecodeState(std::string(reinterpret_cast<const char*>(data), size), state, error)) {
    Check(!error.empty());
    return 0;
  }
  Check(state.model != nullptr);
  const std::string text = EncodeState(*state.model, state.capacity, state.memories);
  DecodedState again;
  Check(DecodeState(text, again, error));
  Check(again.model == state.model && again.capacity == state.capacity && again.memories == state.memories);
  return 0;
}
