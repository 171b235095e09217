#pragma once

#include <QObject>
#include <QStringList>
#include <memory>

#include "link/clock.h"
#include "shell/app_paths.h"
#include "shell/console/console_commands.h"
#include "shell/run_monitor.h"

namespace mirrox {

class ConsoleCommands;
class ConsoleTray;
class Dialogs;
class EventLogFile;
class ObjectRegistry;
class SingleInstance;
class TReplicationThread;
class TcpClient;
class TfrmRepWnd;
struct LocalConnection;

// The program's life cycle: single instance and the command-line words, the main window's
// creation and start-up step, the unattended start, the close request and the exit step.
class MirroxApplication : public QObject {
  Q_OBJECT

 public:
  // `arguments` are the command-line arguments without the program name.
  MirroxApplication(QStringList arguments, Clock& clock);
  ~MirroxApplication() override;

  // Runs the program to its end and returns the process exit code.
  int run();

 private:
  bool firstArgumentIs(const char* word) const;
  bool onlyArgumentIs(const char* word) const;
  void startupStep();
  void onStartupMessage();
  void onCloseRequestFromSecondInstance();
  bool allowClose();
  TReplicationThread& thread();
  void startScheduler();
  void exitStep();
  // What the status file says of the program beside its objects (GUI thread).
  RunMonitor::ProgramState programState() const;

  QStringList arguments_;
  Clock& clock_;
  AppPaths paths_;
  QString title_;
  std::unique_ptr<EventLogFile> logFile_;
  std::unique_ptr<TcpClient> tcp_;          // `TCP`, the one agent connection
  std::unique_ptr<LocalConnection> local_;  // `DB`, `TR` and `Qr`
  std::unique_ptr<TfrmRepWnd> window_;
  std::unique_ptr<ObjectRegistry> registry_;
  std::unique_ptr<RunMonitor> monitor_;
  std::unique_ptr<Dialogs> dialogs_;
  std::unique_ptr<ConsoleCommands> commands_;
  std::unique_ptr<TReplicationThread> thread_;
  std::unique_ptr<ConsoleTray> tray_;
};

}  // namespace mirrox
