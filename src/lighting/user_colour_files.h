#pragma once
// Per-user lighting files: the three user colour files (ten named per-key
// colour layouts per slot, "UserDengColor_<slot>.userd"), their template, the
// lighting settings file with the panel's open flag, the per-key colour
// table and the working values of the custom colour layouts.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "lighting/lighting_state.h"

namespace keyloom::lighting {

constexpr int kLayoutCount = 10;
constexpr int kKeyColourSlotBytes = 512;
constexpr int kFnKeyPosition = 110;
constexpr int kMacroKeyPosition = 125;

struct LightingSession;

// Where the files are: set once at start from the settings paths.
struct LightingPaths {
  std::filesystem::path lighting_ini;       // ".../wskb.ini"
  std::string user_colour_prefix;           // ".../UserDengColor_"
  std::string template_prefix;              // "<resources>/Skins/UserDengColor_"
};
std::filesystem::path UserColourFile(const LightingPaths& paths, int slot);  // prefix + slot + ".userd"
std::filesystem::path ColourTemplateFile(const LightingPaths& paths);       // template prefix + "3.userd"

// The per-key colours of the three slots: key position k of slot s is the
// three bytes (red, green, blue) at s * 512 + k * 3.
using KeyColourTable = std::array<std::uint8_t, kSlotCount * kKeyColourSlotBytes>;
Colour KeyColourAt(const KeyColourTable& table, int slot, int position);
void SetKeyColourAt(KeyColourTable& table, int slot, int position, Colour colour);

// Working values of the custom colour layouts.
struct CustomColourState {
  int selected_layout = 0;  // 0..9
  int tool = 0;             // 0 or 1
  int tool_copy = 0;
  Colour painting_colour = 0;
  Colour painting_colour_copy = 0;
  Colour base_colour = 0;
  Colour base_colour_copy = 0;
};

// ---- user colour files (slot s, layout n, key position k) ----
std::u16string ReadLayoutName(const LightingPaths& paths, int s, int n);
bool WriteLayoutName(const LightingPaths& paths, int s, int n, std::u16string_view name);
int ReadSelectedLayout(const LightingPaths& paths, int s);
bool WriteSelectedLayout(const LightingPaths& paths, int s, int n);
void ReadLayoutTools(LightingSession& lighting, int s, int n);   // into CustomColours
bool WriteLayoutTools(LightingSession& lighting, int s, int n);  // from CustomColours
struct LayoutKey {
  Colour colour = MakeColour(255, 0, 0);
  int base_flag = 1;  // non-zero: the key follows the base colour
};
LayoutKey ReadLayoutKey(const LightingPaths& paths, int s, int n, int k);
bool WriteLayoutKey(const LightingPaths& paths, int s, int n, int k, Colour colour, int base_flag);

// ---- damage ----
// The largest user colour file read (the template is about 36 KB).
inline constexpr std::size_t kMaxUserColourFileBytes = 1u << 20;
// Why the bytes of a user colour file cannot be its contents ("it is
// empty", "it is not text", "line 3 is neither a section nor a value"), or
// empty when they are an INI text. Safe on any bytes.
std::optional<std::string> UserColourFileDamage(std::string_view bytes);

// What making a slot's user colour file ready found and did.
struct ColourFileCheck {
  enum class State {
    kReady,          // there, readable, whole (and replaceable when asked)
    kCreated,        // was missing: copied from the template
    kRestored,       // was damaged: kept as `kept`, then copied from the template
    kCreateFailed,   // missing or damaged, and the template could not be copied
    kUnreadable,     // exists but cannot be read (`detail`); left as it is
    kNotKept,        // damaged (`detail`) and could not be moved aside; left as it is
    kNotWritable,    // cannot be replaced now (`detail`); nothing was changed
  };
  State state = State::kReady;
  std::filesystem::path file;
  std::filesystem::path kept;
  std::string detail;  // the damage or the system's reason
  // The file can be read (and, when asked, written) now.
  bool Usable() const { return state == State::kReady || state == State::kCreated || state == State::kRestored; }
  // One line for the user, naming the file; empty for kReady and kCreated.
  std::string Message() const;
};
// Makes the user colour file of `slot` ready to be read (and, with
// `for_writing`, replaced): a missing file is copied from the template
// (with `seed_missing`; else it stays missing and reads as the defaults); a
// damaged one is moved aside to "<file>.damaged" and copied from the
// template, so its layouts are never read as defaults nor written over.
ColourFileCheck PrepareUserColourFile(const LightingPaths& paths, int slot, bool for_writing,
                                      bool seed_missing = true);

// Copies the template over the user colour file of `slot`, byte for byte.
// The user file is replaced only once the whole template has been read, so
// a missing template leaves the user's layouts as they were.
bool CopyColourTemplate(const LightingPaths& paths, int slot);

// ---- lighting settings file ----
// "KEYCOLOR"/"DengCheck" read as an integer: exactly 1 means open.
bool ReadLightingPanelOpenFlag(const LightingPaths& paths);
// Sets the panel flag of the current lighting values and of the file.
bool SetLightingPanelOpen(LightingSession& lighting, bool open);

// Parses up to `count` comma-separated decimal integers the way the files
// are read ("%d,%d,%d"): stops at the first field that is not a number and
// leaves the remaining outputs untouched. Returns the number parsed.
int ParseIntList(std::u16string_view text, int* out, int count);

}  // namespace keyloom::lighting
