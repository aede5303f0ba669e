// Macro records and key table blocks read from outside bytes (profile files,
// images read back): reading is bounded, and what was read writes back to
// bytes that read the same again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "keys/key_assignment.h"
#include "keys/macro_record.h"

using namespace keyloom::keys;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);

  MacroRecord macro;
  if (ReadMacroRecord(bytes, macro)) {
    if (macro.name.size() > kMaxMacroNameLength || macro.actions.size() > kMaxMacroActions) std::abort();
    MacroRecord again;
    if (!ReadMacroRecord(MacroRecordBytes(macro), again) || !(again == macro)) std::abort();
  }

  KeyTableBlock block;
  if (block.ReadFrom(bytes)) {
    KeyTableBlock again;
    if (!again.ReadFrom(block.ToBytes()) || again.headers != block.headers || again.tables != block.tables) {
      std::abort();
    }
  }
  return 0;
}
