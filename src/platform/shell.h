#pragma once
// The shell's "open" verb and detached program starts.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace keyloom::shell {

enum class Show { Normal, Hidden };

struct OpenRequest {
  std::filesystem::path file;        // file, folder, program or address
  std::u16string parameters;         // passed on as given (may be u"NULL")
  std::filesystem::path directory;   // working directory; empty = inherit
  Show show = Show::Normal;
};

// Opens a document or address with the desktop's handler (xdg-open), or
// starts a program detached (its own session, no terminal; stdio to
// /dev/null when hidden). Returns true when a process was started.
bool Open(const OpenRequest& request);

// Tests install a recorder; while one is installed nothing is started and
// Open returns what the recorder returns.
using Recorder = std::function<bool(const OpenRequest&)>;
void SetRecorder(Recorder recorder);

// The desktop's on-screen keyboard (onboard, florence, ...) if installed.
bool StartOnScreenKeyboard();

}  // namespace keyloom::shell
