#include "app/startup.h"

#include "app/app_registry_key.h"
#include "app/app_settings_store.h"
#include "app/command_line.h"
#include "app/settings_paths.h"
#include "app/store_locks.h"
#include "platform/paths.h"

namespace keyloom::app {
namespace {

StartupResult ExitNow(int show_handled) {
  StartupResult result;
  result.action = StartupAction::Exit;
  result.exit_code = 0;
  result.show_handled = show_handled;
  return result;
}

}  // namespace

StartupEnvironment DefaultStartupEnvironment(int argc, char** argv) {
  StartupEnvironment env;
  for (int i = 1; i < argc; ++i) env.arguments.emplace_back(argv[i] ? argv[i] : "");
  env.resource_dir = paths::ResourceDir();
  env.executable = paths::ExecutablePath();
  env.instance = std::make_unique<GuardChannel>(kInstanceName, paths::RuntimeDir());
  return env;
}

StartupResult StartUp(StartupEnvironment& env) {
  SetSettingsKeyName(kSettingsKeyName);
  InitProgramPaths(env.resource_dir, env.executable);

  OpenAppRegistryKey();

  KeyStoreLock();
  MacroStoreLock();

  int show_handled = 0;
  for (const std::string& argument : env.arguments) {
    switch (MatchSwitch(argument)) {
      case Switch::Start:
        show_handled = 1;
        break;
      case Switch::Kill:
        // Whether or not an instance answered, this process ends here.
        if (env.instance) env.instance->Send(kQuitRequest);
        return ExitNow(show_handled);
      case Switch::None:
        break;
    }
  }

  StartupResult result;
  result.show_handled = show_handled;
  if (env.instance) {
    InstanceChannel& channel = *env.instance;
    bool other = channel.OtherRunning();
    if (!other) {
      if (channel.Acquire(env.on_request)) {
        result.holds_lock = true;
        SetHeldInstance(std::move(env.instance));
      } else {
        // Lost a race with another start, or the lock cannot be made.
        other = channel.OtherRunning();
      }
    }
    if (other) {
      channel.Send(kShowRequest);
      return ExitNow(show_handled);
    }
  }

  result.companion_started = StartCompanion(Paths().DaemonPath, env.open);
  return result;
}

}  // namespace keyloom::app
