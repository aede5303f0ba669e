// The profile manager against the in-process keyboard: its rows and check,
// Add, Load, Delete, Apply (slots and files), the remembered list, Cancel,
// closing from the main window and F1.
#include "profiles/ui/profile_dialog.h"

#include <QKeyEvent>

#include <fstream>

#include "app/app_settings_store.h"
#include "keys/key_assignment.h"
#include "mainwnd/main_window_fixture.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "profiles/active_slot.h"
#include "profiles/data_folder.h"
#include "profiles/editing_lock.h"
#include "profiles/keyboard_profile.h"
#include "profiles/profile_file.h"
#include "profiles/profile_transfer.h"
#include "profiles/slot_switch.h"
#include "skin/png_button.h"
#include "skin/report_ctrl.h"

namespace keyloom::profiles::ui {
namespace {

namespace fs = std::filesystem;
using mainwnd::testing::MainWindowTest;
using mainwnd::testing::Pump;
using mainwnd::testing::PumpUntil;

class ProfileDialogTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    window->SetFileChooser([this](QWidget*, bool save, const QString& initial) {
      chooser_calls.push_back({save, initial});
      if (chosen.empty()) return QString();
      const QString path = QString::fromStdString(chosen.front().string());
      chosen.pop_front();
      return path;
    });
  }
  void TearDown() override {
    if (dialog) dialog->CloseIfOpen();
    MainWindowTest::TearDown();
  }

  CKeyloom_DlgProfile& Open() {
    window->OnCommand(mainwnd::control::kProfiles);
    dialog = window->ProfileManager();
    EXPECT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->IsOpen());
    return *dialog;
  }
  skin::CReportCtrl& List() { return dialog->ListControl(); }
  int CheckedRow() {
    EXPECT_LE(List().GetItemCount(skin::kCheck), 1);
    return List().GetNextItem(skin::kCheck);
  }
  bool ApplyEnabled() { return dialog->Button(control::kApply)->isEnabled(); }
  void Press(int id) {
    dialog->Button(id)->click();
    ASSERT_TRUE(PumpUntil([this] { return !window->Busy() && !(dialog && dialog->Applying()); }, 20000));
  }
  fs::path File(const char* name) { return home_.path() / name; }
  std::u16string Stored(int number) {
    return app::GetSettingString(kProfileListSection, ProfileListKey(number), u"");
  }
  // What the keyboard holds now, read into a profile.
  LoadedProfile KeyboardNow() {
    LoadedProfile loaded;
    const fs::path path = File("keyboard-now.kyl");
    EXPECT_EQ(ReadProfileFromKeyboard(session, path), 1);
    EXPECT_TRUE(ReadProfileFile(path, loaded));
    return loaded;
  }
  // A profile file that differs from the keyboard: A gives B in every slot
  // and a macro; the editing store goes back to the keyboard's.
  void MakeDifferentProfile(const fs::path& path) {
    {
      EditingLock lock(session);
      keys::KeyMacroStore& store = session.stores.EditingStore;
      for (int table = 0; table < 3; ++table)
        ASSERT_EQ(keys::StoreAssignment(store, table, keys::KeyCodeToSlot(0x1E),
                                        keys::MakeAssignment(keys::KeyCodeToSlot(0x1E), keys::KeyKind::SingleKey, 0x30)),
                  1);
      keys::MacroRecord macro;
      macro.id = 1;
      keys::SetMacroName(macro, u"Hello");
      keys::AppendMacroAction(macro, {30, 0x1E, keys::kPress});
      keys::AppendMacroAction(macro, {0, 0x1E, keys::kRelease});
      store.macros.push_back(macro);
    }
    ASSERT_EQ(ExportProfile(session, path), 1);
    ASSERT_EQ(ReloadFromKeyboard(session), 1);
  }

  registry::ScopedStoreFile store_{home_.path() / "registry.reg"};
  CKeyloom_DlgProfile* dialog = nullptr;
  std::deque<fs::path> chosen;
  std::vector<std::pair<bool, QString>> chooser_calls;
};

TEST_F(ProfileDialogTest, OpensWithTheActiveSlotCheckedAndNothingToApply) {
  Connect();
  SelectSlotOnKeyboard(session, 1);
  Open();
  ASSERT_EQ(List().GetItemCount(), 3);
  EXPECT_EQ(CheckedRow(), 1);
  EXPECT_FALSE(ApplyEnabled());
  EXPECT_TRUE(session.windows.ProfileManagerOpen.load());
  const QString titles[] = {QString::fromStdU16String(i18n::Text("PROFILE_LIST_ACTIVE")),
                            QString::fromStdU16String(i18n::Text("PROFILE_LIST_NAME")),
                            QString::fromStdU16String(i18n::Text("PROFILE_LIST_PATH"))};
  for (int column = 0; column < 3; ++column) {
    EXPECT_FALSE(titles[column].isEmpty());
    EXPECT_EQ(List().model()->headerData(column, Qt::Horizontal).toString(), titles[column]);
  }
  const fs::path working = WorkingProfilePath();
  for (int row = 0; row < 3; ++row) {
    const std::string slot_name = "PROFILE_" + std::to_string(row + 1);
    EXPECT_EQ(List().GetItemText(row, 1), QString::fromStdU16String(i18n::Text(slot_name)));
    EXPECT_EQ(List().GetItemText(row, 2), QString::fromStdString(working.parent_path().string()) + "/");
  }
}

TEST_F(ProfileDialogTest, WithoutAKeyboardNoRowIsChecked) {
  session.link.DeviceConnected.store(0);
  session.link.CommandDevice().Close();
  Open();
  EXPECT_EQ(List().GetItemCount(), 3);
  EXPECT_EQ(CheckedRow(), -1);
  EXPECT_FALSE(ApplyEnabled());
}

TEST_F(ProfileDialogTest, ApplyingAnotherSlotMakesItActiveAndReloadsTheEditingStore) {
  Connect();
  SelectSlotOnKeyboard(session, 1);
  Open();
  List().SetItemStates(2, skin::kCheck);
  EXPECT_EQ(CheckedRow(), 2);
  EXPECT_TRUE(ApplyEnabled());
  EXPECT_TRUE(session.windows.ProfileManagerHasUnappliedChanges.load());

  // An edit of the store that the reload must replace by the keyboard's.
  {
    EditingLock lock(session);
    session.stores.EditingStore.block.tables[2][keys::KeyCodeToSlot(0x1E)].value = 0x30;
  }
  window->SetUnappliedChanges(true);
  Press(control::kApply);
  EXPECT_EQ(model->ActiveSlot(), 2);
  EXPECT_EQ(CachedActiveSlot(session), 2);
  EXPECT_TRUE(LastReloadReadKeyboard(session));
  {
    const LoadedProfile keyboard_now = KeyboardNow();
    EditingLock lock(session);
    EXPECT_EQ(session.stores.EditingStore.block.tables, keyboard_now.block.tables);
  }
  EXPECT_EQ(CheckedRow(), 2);
  EXPECT_FALSE(ApplyEnabled());
  EXPECT_FALSE(window->HasUnappliedChanges());
  EXPECT_EQ(window->ShownSlotButton(), 2);
  EXPECT_TRUE(asked.empty());
}

TEST_F(ProfileDialogTest, DeleteSelectsANeighbourAndNeedsASelection) {
  Connect();
  Open();
  MakeDifferentProfile(File("a.kyl"));
  MakeDifferentProfile(File("b.kyl"));
  chosen = {File("a.kyl"), File("b.kyl")};
  Press(control::kLoad);
  Press(control::kLoad);
  ASSERT_EQ(List().GetItemCount(), 5);
  ASSERT_TRUE(fs::exists(File("a.kyl")));

  // Nothing selected: nothing happens.
  List().SetAllItemStates(skin::kAny, skin::kUnselect);
  Press(control::kApply);
  ASSERT_FALSE(ApplyEnabled());
  Press(control::kDelete);
  EXPECT_EQ(List().GetItemCount(), 5);
  EXPECT_FALSE(ApplyEnabled());

  // The last row: the row before it is selected.
  List().SetItemStates(4, skin::kSelect);
  Press(control::kDelete);
  ASSERT_EQ(List().GetItemCount(), 4);
  EXPECT_EQ(List().GetNextItem(skin::kSelect), 3);
  EXPECT_TRUE(ApplyEnabled());
  EXPECT_TRUE(fs::exists(File("b.kyl"))) << "no file is deleted";

  // A slot's row stays: the keyboard always has three slots.
  List().SetAllItemStates(skin::kAny, skin::kUnselect);
  List().SetItemStates(0, skin::kSelect);
  Press(control::kDelete);
  EXPECT_EQ(List().GetItemCount(), 4);
}

TEST_F(ProfileDialogTest, TheAppliedListIsStoredAndShownAgainAtTheNextOpening) {
  Connect();
  Open();
  MakeDifferentProfile(File("loaded.kyl"));
  chosen = {File("added.kyl"), File("loaded.kyl")};
  Press(control::kAdd);
  Press(control::kLoad);
  ASSERT_EQ(chooser_calls.size(), 2u);
  EXPECT_TRUE(chooser_calls[0].first) << "Add asks where to save";
  EXPECT_TRUE(chooser_calls[0].second.endsWith(QString::fromStdU16String(i18n::Text("PROFILE_NEW"))));
  EXPECT_FALSE(chooser_calls[1].first);
  EXPECT_TRUE(chooser_calls[1].second.endsWith("/*.kyl"));
  ASSERT_EQ(List().GetItemCount(), 5);
  EXPECT_EQ(List().GetItemText(3, 1), "added");
  EXPECT_EQ(List().GetItemText(4, 1), "loaded");
  LoadedProfile empty;
  EXPECT_TRUE(ReadProfileFile(File("added.kyl"), empty)) << "Add writes an empty profile";

  Press(control::kApply);
  EXPECT_EQ(Stored(0), u"5");
  const std::u16string working = text::FromUtf8(WorkingProfilePath().string()) + u".kyl";
  EXPECT_EQ(Stored(1), working);
  EXPECT_EQ(Stored(2), working);
  EXPECT_EQ(Stored(3), working);
  EXPECT_EQ(Stored(4), text::FromUtf8(File("added.kyl").string()));
  EXPECT_EQ(Stored(5), text::FromUtf8(File("loaded.kyl").string()));
  Press(control::kOk);
  EXPECT_FALSE(dialog->IsOpen());

  Open();
  ASSERT_EQ(List().GetItemCount(), 5);
  EXPECT_EQ(List().GetItemText(3, 1), "added");
  EXPECT_EQ(List().GetItemText(4, 1), "loaded");
  EXPECT_EQ(List().GetItemText(4, 2), QString::fromStdString(home_.path().string()) + "/");
  dialog->OnCancel();

  // A file that went away says so and cannot be checked.
  fs::remove(File("loaded.kyl"));
  Open();
  ASSERT_EQ(List().GetItemCount(), 5);
  EXPECT_TRUE(List().GetItemText(4, 1).contains(QString::fromStdU16String(i18n::Text("PROFILE_FILE_MISSING"))));
  const int before = CheckedRow();
  List().SetItemStates(4, skin::kCheck);
  EXPECT_EQ(CheckedRow(), before);
  EXPECT_FALSE(ApplyEnabled());
}

TEST_F(ProfileDialogTest, ACheckedFileIsLoadedIntoTheActiveSlot) {
  Connect();
  SelectSlotOnKeyboard(session, 1);
  MakeDifferentProfile(File("gaming.kyl"));
  LoadedProfile file;
  ASSERT_TRUE(ReadProfileFile(File("gaming.kyl"), file));
  ASSERT_NE(KeyboardNow().block.tables, file.block.tables);

  Open();
  chosen = {File("gaming.kyl")};
  Press(control::kLoad);
  List().SetItemStates(3, skin::kCheck);
  EXPECT_TRUE(ApplyEnabled());
  Press(control::kApply);

  const LoadedProfile keyboard_now = KeyboardNow();
  EXPECT_EQ(keyboard_now.block.tables, file.block.tables);
  EXPECT_EQ(keyboard_now.macros, file.macros);
  EXPECT_EQ(model->ActiveSlot(), 1);
  EXPECT_EQ(CheckedRow(), 1) << "the active slot's row is checked again";
  EXPECT_FALSE(ApplyEnabled());
  EXPECT_TRUE(asked.empty());
  EXPECT_FALSE(window->HasUnappliedChanges());
}

TEST_F(ProfileDialogTest, ACorruptFileIsRefusedAndTheKeyboardIsUntouched) {
  Connect();
  SelectSlotOnKeyboard(session, 0);
  std::vector<std::uint8_t> bytes = EmptyProfileBlock(0).ToBytes();
  bytes[31] ^= 0x40;
  {
    std::ofstream out(File("corrupt.kyl"), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  Open();
  chosen = {File("corrupt.kyl")};
  Press(control::kLoad);
  List().SetItemStates(3, skin::kCheck);
  const auto before = model->Snapshot();
  Press(control::kApply);
  const auto after = model->Snapshot();
  EXPECT_EQ(after.layers, before.layers);
  EXPECT_EQ(after.macroArea, before.macroArea);
  EXPECT_EQ(after.config, before.config);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0], text::Format(i18n::Text("PROFILE_FORMAT_ERROR"), {text::FromUtf8(File("corrupt.kyl").string())}));
  EXPECT_EQ(asked[1], i18n::Text("MAIN_PROMPT_INPORT"));
  EXPECT_EQ(CheckedRow(), 0);
}

TEST_F(ProfileDialogTest, CancelDropsEveryChangeButKeepsAddedFiles) {
  Connect();
  SelectSlotOnKeyboard(session, 0);
  Open();
  chosen = {File("kept.kyl")};
  Press(control::kAdd);
  List().SetItemStates(2, skin::kCheck);
  Press(control::kCancel);
  EXPECT_FALSE(dialog->IsOpen());
  EXPECT_FALSE(session.windows.ProfileManagerOpen.load());
  EXPECT_EQ(model->ActiveSlot(), 0);
  EXPECT_EQ(Stored(0), u"");
  EXPECT_TRUE(fs::exists(File("kept.kyl")));
  Open();
  EXPECT_EQ(List().GetItemCount(), 3);
  EXPECT_EQ(CheckedRow(), 0);
}

TEST_F(ProfileDialogTest, FollowsSlotSwitchesAndClosesWithTheKeyboard) {
  Connect();
  SelectSlotOnKeyboard(session, 0);
  Open();
  List().SetItemStates(1, skin::kCheck);
  ASSERT_TRUE(ApplyEnabled());
  answers = {host::Answer::No};  // the pending check is dropped
  ASSERT_EQ(SwitchProfileSlot(session, 2), 1);
  ASSERT_TRUE(PumpUntil([this] { return CheckedRow() == 2; }));
  EXPECT_FALSE(ApplyEnabled());

  window->OnPrivateMessage(mainwnd::kCloseEditorsMessage, 0, 0);
  EXPECT_FALSE(dialog->IsOpen());
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->CloseIfOpen(), 1);
}

TEST_F(ProfileDialogTest, F1OpensTheHelpPage) {
  std::vector<shell::OpenRequest> opened;
  shell::ScopedRecorder recorder([&](const shell::OpenRequest& request) {
    opened.push_back(request);
    return true;
  });
  Open();
  QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
  QApplication::sendEvent(dialog, &f1);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].file, fs::path("index.html"));
}

}  // namespace
}  // namespace keyloom::profiles::ui
