#pragma once
// The shell's "open" verb and detached program starts.
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace keyloom::shell {

enum class Show { Normal, Hidden };

struct OpenRequest {
  std::filesystem::path file;        // file, folder, program or address
  std::u16string parameters;         // passed on as given (may be u"NULL")
  std::filesystem::path directory;   // working directory; empty = inherit
  Show show = Show::Normal;
};

// Opens a document, folder or address (scheme:...) with the desktop's
// handler (xdg-open), or starts a program (an executable file, or a bare name
// found on PATH) with the parameters split like a command line ("double
// quotes" group words). A relative file is taken from `directory`. Every
// start is detached: its own session, no terminal, no inherited descriptors
// beyond stdio, stdin from /dev/null and, when hidden, stdout and stderr to
// /dev/null too. Parameters are not passed to a document's handler. Returns
// true when the process was started (its program could be executed).
bool Open(const OpenRequest& request);

// Tests install a recorder; while one is installed nothing is started and
// Open returns what the recorder returns.
using Recorder = std::function<bool(const OpenRequest&)>;
void SetRecorder(Recorder recorder);

// Installs a recorder for the lifetime of the object, then restores the one
// installed before.
class ScopedRecorder {
 public:
  explicit ScopedRecorder(Recorder recorder);
  ~ScopedRecorder();
  ScopedRecorder(const ScopedRecorder&) = delete;
  ScopedRecorder& operator=(const ScopedRecorder&) = delete;

 private:
  Recorder previous_;
};

// The desktop's on-screen keyboard: the first of onboard, florence,
// matchbox-keyboard, kvkbd, squeekboard, wvkbd-mobintl, xvkbd found on PATH,
// started through Open. False when none is installed.
bool StartOnScreenKeyboard();

// The executable `name` in the folders of $PATH (or `name` itself when it
// holds a '/'); empty when there is none.
std::filesystem::path FindProgram(const std::string& name);

// The words of a command-line parameter string: blanks separate words,
// double quotes group them, \" is a literal quote.
std::vector<std::string> SplitParameters(std::u16string_view parameters);

}  // namespace keyloom::shell
