#include "app/ui/keyloom_app.h"

int main(int argc, char** argv) {
  keyloom::app::CKeyloomApp app;
  return app.Run(argc, argv);
}
