#include <cstdio>
#include <cstring>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

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
#if defined(__GLIBC__)
  // The skin's pictures are decoded into buffers of a few MB each that live
  // only while the windows are set up. A fixed threshold keeps every such
  // buffer in a mapping of its own, given back to the system when freed;
  // glibc's default raises the threshold after the first free, and the next
  // buffers would then stay in the heap, resident, for the program's life.
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
#endif
  keyloom::app::CKeyloomApp app;
  return app.Run(argc, argv);
}
