#include "shell/console/lock_workstation.h"

#include <QProcess>
#include <QStringList>
#include <string>

#include "link/platform/host.h"

namespace mirrox {

void lockWorkstation() {
  const platform::Command lock = platform::lockSessionCommand();
  QStringList arguments;
  for (const std::string& argument : lock.arguments) arguments << QString::fromStdString(argument);
  QProcess::startDetached(QString::fromStdString(lock.program), arguments);
}

}  // namespace mirrox
