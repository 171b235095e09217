#include <QApplication>
#include <cstring>
#include <iostream>

#include "fb/client_version.h"
#include "link/clock.h"
#include "mirrox_version.h"
#include "shell/console/application.h"

namespace {

constexpr char kUsage[] =
    "Usage: mirrox [/auto | close]\n"
    "The replication server of a dispatch centre, with its operator console. Its settings\n"
    "(mirrox.ini), log (Log/) and local databases (DB/) live beside the executable.\n"
    "\n"
    "  (no word)  start with the console; the operator starts the replication\n"
    "  /auto      start unattended: wait 30 s for the database server, hide the window\n"
    "             to the tray and replicate every object each period\n"
    "  close      ask the program running from this directory to close, and exit\n"
    "  --version  print the version and exit\n"
    "  --help     print this text and exit\n";

}  // namespace

int main(int argc, char* argv[]) {
  // Answered before any window exists, so that they work without a display.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::cout << "mirrox " << mirrox::kMirroxVersion << " (Firebird client " << mirrox::fb::clientVersion()
              << ")\n";
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::cout << kUsage;
    return 0;
  }
  QApplication app(argc, argv);
  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  mirrox::SystemClock clock;
  mirrox::MirroxApplication mirrox(arguments, clock);
  return mirrox.run();
}
