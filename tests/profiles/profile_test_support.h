#pragma once
// Shared pieces of the profile tests: a per-test data folder installed as the
// per-user paths, a small text table instead of the language files, a
// recording prompter, and a keyboard session with the profile operations on
// it under their own names.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/settings_paths.h"
#include "keys/fake_prompter.h"
#include "keys/key_macro_store.h"
#include "keys/keyboard_writer.h"
#include "keys/text_source.h"
#include "lighting/lighting_state.h"
#include "platform/test_dir.h"
#include "profiles/active_slot.h"
#include "profiles/connection_handler.h"
#include "profiles/keyboard_profile.h"
#include "profiles/keyboard_session.h"
#include "profiles/profile_file.h"
#include "profiles/profile_menu.h"
#include "profiles/profile_transfer.h"
#include "profiles/slot_switch.h"

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
  }
  std::filesystem::path DataDir() const { return app::Paths().UserDataDir; }
  std::filesystem::path Base() const { return base_.path(); }

 private:
  app::ScopedSettingsPaths paths_;
  keyloom::testing::TempDir base_;
  keys::ScopedTextLookup texts_;
};

// A test's keyboard session, asking the fixture's prompter (or the one a
// test puts in with Prompting), and the profile operations on it.
class SessionUnderTest {
 public:
  SessionUnderTest() { session.SetPrompter(&prompter); }

  // Puts `other` in as the session's prompter until the result goes.
  class PrompterInUse {
   public:
    PrompterInUse(KeyboardSession& session, host::Prompter& other, host::Prompter& back)
        : session_(session), back_(back) {
      session_.SetPrompter(&other);
    }
    ~PrompterInUse() { session_.SetPrompter(&back_); }
    PrompterInUse(const PrompterInUse&) = delete;
    PrompterInUse& operator=(const PrompterInUse&) = delete;

   private:
    KeyboardSession& session_;
    host::Prompter& back_;
  };
  [[nodiscard]] PrompterInUse Prompting(host::Prompter& other) { return {session, other, prompter}; }

  int ValidateProfileFile(const std::filesystem::path& path) {
    return profiles::ValidateProfileFile(path, session.Prompter());
  }
  int LoadProfileFile(const std::filesystem::path& path) { return profiles::LoadProfileFile(session, path); }
  int SaveWorkingProfile() { return profiles::SaveWorkingProfile(session); }
  int ExportProfileFile(const std::filesystem::path& path) { return profiles::ExportProfileFile(session, path); }
  int WriteEmptyProfile(const std::filesystem::path& path, std::uint8_t flag) {
    return profiles::WriteEmptyProfile(path, flag);
  }
  int GetActiveSlot() { return profiles::GetActiveSlot(session); }
  int CachedActiveSlot() { return profiles::CachedActiveSlot(session); }
  void ForgetActiveSlot() { profiles::ForgetActiveSlot(session); }
  int PanelTable() { return profiles::PanelTable(session); }
  void SelectSlotOnKeyboard(int slot) { profiles::SelectSlotOnKeyboard(session, slot); }
  int ReloadFromKeyboard() { return profiles::ReloadFromKeyboard(session); }
  bool LastReloadReadKeyboard() { return profiles::LastReloadReadKeyboard(session); }
  int ReadProfileFromKeyboard(const std::filesystem::path& path) {
    return profiles::ReadProfileFromKeyboard(session, path);
  }
  int ImportProfile(const std::filesystem::path& path, int* keyboardResult = nullptr,
                    keys::WriteOutcome* outcome = nullptr) {
    return profiles::ImportProfile(session, path, keyboardResult, outcome);
  }
  int ExportProfile(const std::filesystem::path& path) { return profiles::ExportProfile(session, path); }
  void ApplyReportRate(int index) { profiles::ApplyReportRate(session, index); }
  int SwitchProfileSlot(int slot) { return profiles::SwitchProfileSlot(session, slot); }
  void ShowActiveTable(int slot) { profiles::ShowActiveTable(session, slot); }
  int RebuildProfileMenu(bool create) { return profiles::RebuildProfileMenu(session, create); }
  ProfileMenuModel CurrentProfileMenu() { return profiles::CurrentProfileMenu(session); }
  void HandleConnectionChange(int connected) { profiles::HandleConnectionChange(session, connected); }
  bool ConnectionHandlerBusy() { return profiles::ConnectionHandlerBusy(session); }
  int LastConnectionState() { return profiles::LastConnectionState(session); }
  int WriteKeysAndMacros(bool allProfiles) {
    return keys::WriteKeysAndMacros(session.link, session.stores, session.Prompter(), allProfiles);
  }
  keys::KeyMacroStore& EditingStore() { return session.stores.EditingStore; }
  keys::KeyMacroStore& DeviceStore() { return session.stores.DeviceStore; }
  keys::KeyboardWriteState& WriteState() { return session.stores.WriteState; }

  KeyboardSession session;
  keys::testing::FakePrompter prompter{host::Answer::Ok};
};

}  // namespace keyloom::profiles::testing
