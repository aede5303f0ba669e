#include <cstdio>
#include <cstring>

#include "app/ui/keyloom_app.h"
#include "app/version.h"

int main(int argc, char** argv) {
  // Answered before the instance check and before any window system is
  // contacted, so it works anywhere.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s\n", keyloom::app::VersionLine("keyloom").c_str());
      return 0;
    }
  }
  keyloom::app::CKeyloomApp app;
  return app.Run(argc, argv);
}
