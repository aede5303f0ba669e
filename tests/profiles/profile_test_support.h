#pragma once
// Shared pieces of the profile tests: a per-test data folder installed as the
// per-user paths, a small text table instead of the language files, and a
// recording prompter.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/settings_paths.h"
#include "keys/fake_prompter.h"
#include "keys/key_macro_store.h"
#include "keys/text_source.h"
#include "lighting/lighting_state.h"
#include "platform/test_dir.h"

namespace keyloom::profiles::testing {

inline std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline keys::TextLookup TestTextLookup() {
  return [](std::string_view key) -> std::u16string {
    if (key == "PROFILE_FORMAT_ERROR") return u"Not a profile: %s";
    if (key == "MAIN_DEFAULT_MATRIX_PROMPT") return u"No default key map";
    if (key == "MAIN_PROMPT_INPORT") return u"Import failed";
    if (key == "PROFILE_SELECT_PROMPT") return u"Apply changes first?";
    if (key == "PROFILE_SEELCT_PROMPT2") return u"Close the key dialog first";
    if (key == "DEFAULT_PROFILE_NAME") return u"Default";
    if (key == "PROFILE_TIP") return u"Profile: ";
    return u"#Error";
  };
}

// A fresh user data base per test; the data folder itself is created by the
// code under test (or by Ensure()).
class ProfileEnvironment {
 public:
  ProfileEnvironment() : texts_(TestTextLookup()) {
    app::InitProgramPaths(std::filesystem::path(KEYLOOM_SOURCE_DIR) / "res", "/usr/bin/keyloom");
    app::InitUserPaths(base_.path());
    keys::EditingStore().Clear();
    lighting::ResetLightingGlobals();
  }
  ~ProfileEnvironment() {
    keys::EditingStore().Clear();
    lighting::ResetLightingGlobals();
  }
  std::filesystem::path DataDir() const { return app::Paths().UserDataDir; }
  std::filesystem::path Base() const { return base_.path(); }

 private:
  keyloom::testing::TempDir base_;
  keys::ScopedTextLookup texts_;
};

}  // namespace keyloom::profiles::testing
