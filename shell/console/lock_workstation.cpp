#include "shell/console/lock_workstation.h"

#include <QProcess>

namespace mirrox {

void lockWorkstation() {
#ifdef _WIN32
  QProcess::startDetached("rundll32.exe", {"user32.dll,LockWorkStation"});
#else
  // The session manager locks the graphical session this program runs in.
  QProcess::startDetached("loginctl", {"lock-session"});
#endif
}

}  // namespace mirrox
