#include "app/shell_actions.h"

#include <system_error>

#include "app/settings_paths.h"

namespace keyloom::app {

bool StartCompanion(const std::filesystem::path& daemon_path, const ShellOpener& open) {
  std::error_code ec;
  if (daemon_path.empty() || !std::filesystem::exists(daemon_path, ec)) return false;
  shell::OpenRequest request;
  request.file = daemon_path;
  request.show = shell::Show::Hidden;
  open(request);
  return true;
}

shell::OpenRequest HelpRequest(const std::filesystem::path& help_dir) {
  shell::OpenRequest request;
  request.file = "index.html";
  request.parameters = u"NULL";
  request.directory = help_dir;
  request.show = shell::Show::Normal;
  return request;
}

void OpenHelp() { shell::Open(HelpRequest(Paths().HelpDir)); }

}  // namespace keyloom::app
