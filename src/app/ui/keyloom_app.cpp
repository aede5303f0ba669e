#include "app/ui/keyloom_app.h"

#include <QApplication>
#include <QEventLoop>
#include <string>
#include <vector>

#include "app/single_instance.h"
#include "app/startup.h"
#include "device/backend_choice.h"
#include "mainwnd/main_window.h"
#include "profiles/keyboard_session.h"

namespace keyloom::app {

int CKeyloomApp::Run(int argc, char** argv) {
  // The keyboard: --virtual-keyboard[=SOCKET] or KEYLOOM_HID, else hidraw.
  const std::vector<std::string> args = device::InstallBackendFromCommandLine(argc, argv);

  // The instance check and the switches come before any window system is
  // contacted, so "/Kill" and a second start also work without a display.
  StartupEnvironment env = DefaultStartupEnvironment(argc, argv);
  if (!args.empty()) env.arguments.assign(args.begin() + 1, args.end());
  const StartupResult started = StartUp(env);
  if (started.action == StartupAction::Exit) return started.exit_code;
  // The window's first pictures are decoded while the rest sets itself up.
  mainwnd::CKeyloomDlg::PrefetchPictures();

  // The program's one keyboard session; "/Start" has taken the first-show
  // decision already.
  profiles::KeyboardSession session;
  session.windows.StartupShowHandled.store(started.show_handled);

  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  {
    mainwnd::CKeyloomDlg window(session);
    QEventLoop modal;
    QObject::connect(&window, &mainwnd::CKeyloomDlg::Finished, &modal, &QEventLoop::quit);
    if (!window.Initialise()) {
      ReleaseInstanceLock();
      return 1;
    }
    modal.exec();
    // The window has let go of the lock already; this covers every other
    // way out of the loop.
    ReleaseInstanceLock();
  }
  return 0;
}

}  // namespace keyloom::app
