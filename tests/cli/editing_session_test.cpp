// keyloomctl's keys and macro commands against the in-process keyboard when
// reading its key maps fails after the connection: the editing store is then
// empty, and writing it back would wipe the keyboard's macros and keys.
#include <gtest/gtest.h>

#include "profiles/data_folder.h"

#include <atomic>
#include <filesystem>
#include <random>
#include <sstream>

#include "app/settings_paths.h"
#include "cli/command_table.h"
#include "device/commands.h"
#include "device/hid_backend.h"
#include "emulator/firmware_model.h"
#include "i18n/texts.h"
#include "keys/macro_image.h"
#include "profiles/keyboard_session.h"
#include "support/inprocess_keyboard.h"

namespace keyloom::cli {
namespace {

// Passes everything to the in-process keyboard, except that while `spoil`
// names a command its requests go out with a broken checksum, which the
// keyboard refuses.
class SpoilingChannel : public device::HidChannel {
 public:
  SpoilingChannel(std::unique_ptr<device::HidChannel> inner, std::atomic<int>& spoil)
      : inner_(std::move(inner)), spoil_(spoil) {}
  device::HidAttributes Attributes() const override { return inner_->Attributes(); }
  std::vector<std::uint8_t> ReportDescriptor() const override { return inner_->ReportDescriptor(); }
  device::IoResult Read(std::uint8_t* buffer, std::size_t length, std::size_t& transferred,
                        device::SteadyTime deadline, device::AbortEvent& abort) override {
    return inner_->Read(buffer, length, transferred, deadline, abort);
  }
  device::IoResult Write(const std::uint8_t* buffer, std::size_t length, std::size_t& transferred,
                         device::SteadyTime deadline, device::AbortEvent& abort) override {
    std::vector<std::uint8_t> report(buffer, buffer + length);
    if (length > 3 && report[3] == spoil_.load()) report[1] ^= 0xFF;
    return inner_->Write(report.data(), report.size(), transferred, deadline, abort);
  }

 private:
  std::unique_ptr<device::HidChannel> inner_;
  std::atomic<int>& spoil_;
};

class SpoilingBackend : public device::HidBackend {
 public:
  explicit SpoilingBackend(std::shared_ptr<device::InProcessKeyboard> inner) : inner_(std::move(inner)) {}
  bool Enumerate(std::vector<device::HidInterfaceInfo>& out) override { return inner_->Enumerate(out); }
  std::unique_ptr<device::HidChannel> Open(const std::string& path, bool read, bool write,
                                           bool exclusive) override {
    auto channel = inner_->Open(path, read, write, exclusive);
    if (!channel) return channel;
    return std::make_unique<SpoilingChannel>(std::move(channel), spoil);
  }
  bool Probe(const std::string& path) override { return inner_->Probe(path); }

  std::atomic<int> spoil{-1};

 private:
  std::shared_ptr<device::InProcessKeyboard> inner_;
};

class EditingSessionFailures : public ::testing::Test {
 protected:
  void SetUp() override {
    backend_ = std::make_shared<SpoilingBackend>(device::InProcessKeyboard::Create(model_));
    dir_ = std::filesystem::temp_directory_path() /
           ("keyloom-cli-session-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir_);
    app::InitProgramPaths(KEYLOOM_BUILD_DIR, std::filesystem::path(KEYLOOM_BUILD_DIR) / "keyloomctl");
    app::InitUserPaths(dir_);
  }
  void TearDown() override {
    std::filesystem::remove_all(dir_);
  }
  app::ScopedSettingsPaths paths_;
  int Run(const std::vector<std::string>& args) {
    std::ostringstream o, e;
    CommandIo io{o, e};
    // One session per run, as each keyloomctl process has.
    profiles::KeyboardSession session(backend_);
    io.session = &session;
    const int status = RunCli(args, io);
    out_ = o.str();
    err_ = e.str();
    return status;
  }

  device::ScopedCommandPause no_pause_{[](std::uint32_t) {}};
  i18n::ScopedLanguageFileDir language_dir_{std::filesystem::path(KEYLOOM_SOURCE_DIR) / "res"};
  emulator::FirmwareModel model_;
  std::shared_ptr<SpoilingBackend> backend_;
  std::filesystem::path dir_;
  std::string out_, err_;
};

TEST_F(EditingSessionFailures, KeysThatCouldNotBeReadAreNotWrittenBack) {
  ASSERT_EQ(Run({"macro", "add", "Kept", "--actions", "H down 10, H up 0"}), 0) << err_;
  ASSERT_EQ(Run({"keys", "set", "Z", "macro:Kept", "A", "key:B"}), 0) << err_;
  const emulator::Memories before = model_.Snapshot();

  struct Case {
    std::vector<std::string> args;
  };
  const Case cases[] = {
      {{"keys", "set", "Q", "disabled"}},
      {{"keys", "reset"}},
      {{"macro", "add", "Other"}},
      {{"apply", "--all"}},
  };
  for (const int spoiled : {device::kCmdReadKeyLayer, device::kCmdReadMacroArea}) {
    backend_->spoil = spoiled;
    for (const Case& c : cases) {
      EXPECT_EQ(Run(c.args), kExitFailure) << c.args[0] << " " << c.args[1] << "\n" << out_ << err_;
      EXPECT_EQ(err_, "keyloomctl: could not read the keyboard's key maps and macros\n") << c.args[0];
      EXPECT_EQ(out_, "");
    }
  }
  backend_->spoil = -1;
  const emulator::Memories after = model_.Snapshot();
  EXPECT_EQ(after.macroArea, before.macroArea);
  EXPECT_EQ(after.layers, before.layers);

  // Listing reads only; it fails the same way rather than showing nothing.
  backend_->spoil = device::kCmdReadKeyLayer;
  EXPECT_EQ(Run({"keys"}), kExitFailure);
  EXPECT_EQ(Run({"macro", "list"}), kExitFailure);
  backend_->spoil = -1;
  ASSERT_EQ(Run({"macro", "list"}), 0) << err_;
  EXPECT_NE(out_.find("Kept"), std::string::npos) << out_;
}

TEST_F(EditingSessionFailures, AWorkingProfileThatCannotBeWrittenIsNamedNotBlamedOnTheKeyboard) {
  ASSERT_EQ(Run({"keys", "set", "A", "key:B"}), 0) << err_;
  const std::filesystem::path working = profiles::WorkingProfilePath();
  const emulator::Memories before = model_.Snapshot();
  std::filesystem::remove(working);
  std::filesystem::create_directories(working);
  EXPECT_EQ(Run({"keys", "set", "S", "key:X"}), kExitFailure);
  EXPECT_EQ(err_, "keyloomctl: could not write the working profile " + working.string() +
                      ": Is a directory (the keyboard was read; nothing was changed)\n");
  EXPECT_EQ(model_.Snapshot().layers, before.layers);
  EXPECT_TRUE(std::filesystem::is_directory(working));
  std::filesystem::remove(working);

  // Files the user names get the same precision.
  const std::filesystem::path folder = dir_ / "backup.kyl";
  std::filesystem::create_directories(folder);
  for (const std::vector<std::string>& args : {std::vector<std::string>{"profile", "export", folder.string()},
                                               {"profile", "read", folder.string()}}) {
    EXPECT_EQ(Run(args), kExitFailure) << args[1];
    EXPECT_EQ(err_, "keyloomctl: could not write " + folder.string() + ": Is a directory\n") << args[1];
  }
}

}  // namespace
}  // namespace keyloom::cli

namespace keyloom::cli {
namespace {

TEST_F(EditingSessionFailures, AHundredAndFirstMacroIsRefusedWithTheLanguagesMessage) {
  std::vector<keys::MacroRecord> macros(keys::kMaxMacros);
  for (int i = 0; i < keys::kMaxMacros; ++i) {
    macros[i].name = u"m" + std::u16string(1, char16_t(u'A' + i % 26)) + std::u16string(1, char16_t(u'a' + i / 26));
    macros[i].id = std::uint16_t(i + 1);
  }
  emulator::Memories mem = model_.Snapshot();
  const std::vector<std::uint8_t> image = keys::BuildMacroImage(macros, true);
  ASSERT_LE(image.size(), mem.macroArea.size());
  std::copy(image.begin(), image.end(), mem.macroArea.begin());
  ASSERT_TRUE(model_.Restore(mem));

  EXPECT_EQ(Run({"macro", "add", "One more", "--no"}), kExitFailure);
  EXPECT_EQ(err_, "You can create at most 100 macros.\nkeyloomctl: there are 100 macros already\n");
  EXPECT_EQ(model_.Snapshot().macroArea, mem.macroArea);
  // Below the limit again, the name is taken.
  ASSERT_EQ(Run({"macro", "delete", "mAa"}), 0) << err_;
  EXPECT_EQ(Run({"macro", "add", "One more", "--json"}), 0) << err_;
  EXPECT_NE(out_.find("\"name\": \"One more\""), std::string::npos) << out_;
  EXPECT_NE(out_.find("\"position\": 99"), std::string::npos) << out_;
}

}  // namespace
}  // namespace keyloom::cli
