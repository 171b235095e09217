#include <QApplication>

#include "link/clock.h"
#include "shell/console/application.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  mirrox::SystemClock clock;
  mirrox::MirroxApplication mirrox(arguments, clock);
  return mirrox.run();
}
