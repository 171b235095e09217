#include <QApplication>

#include "link/clock.h"
#include "link/pinger2.h"
#include "link/send_command.h"
#include "shell/console/application.h"
#include "shell/console/lock_workstation.h"
#include "shell/replication_thread.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();

  mirrox::ConsoleOperations operations;
  operations.checkConnection = [](mirrox::TReplicationThread& thread, int index) {
    return mirrox::CheckConnection(thread, index);
  };
  operations.ping = [](const std::string& host, int timeoutMs) { return mirrox::PingHost(host, timeoutMs); };
  operations.lockWorkstation = mirrox::lockWorkstation;
  operations.disconnectLocalDatabase = [] {};

  mirrox::SystemClock clock;
  mirrox::MirroxApplication mirrox(arguments, clock, operations, nullptr);
  return mirrox.run();
}
