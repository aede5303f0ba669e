#pragma once
// The keyboard's active slot (byte 10 of its configuration block), cached:
// -1 while unknown, and again after every disconnection, kept in the
// session's profile state. The slot is also the current profile the keyboard
// writer sends, which is kept in step here.
#include <cstddef>
#include <cstdint>

#include "profiles/keyboard_session.h"

namespace keyloom::profiles {

inline constexpr int kProfileSlotCount = 3;
inline constexpr int kUnknownSlot = -1;
inline constexpr std::size_t kActiveSlotByte = 10;
inline constexpr std::size_t kMacroCapacityByte = 11;

// The cached slot, or the keyboard's when the cache is empty: 0..2, or -1
// when the keyboard cannot be read or reports a number that is not a slot
// (3 or more); the cache then stays empty.
int GetActiveSlot(KeyboardSession& session);
// The cache alone, without asking the keyboard.
int CachedActiveSlot(const KeyboardSession& session);
// Makes `slot` active on the keyboard: reads the configuration block, sets
// byte 10 and writes it back. A slot outside 0..2 or a failed read changes
// nothing; a failed write empties the cache, a successful one sets it.
void SelectSlotOnKeyboard(KeyboardSession& session, int slot);
// Empties the cache (disconnection).
void ForgetActiveSlot(KeyboardSession& session);
// The assignment table the key panel shows: the cached active slot, table 0
// while it is unknown.
int PanelTable(const KeyboardSession& session);

}  // namespace keyloom::profiles
