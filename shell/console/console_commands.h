#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>

#include "link/clock.h"
#include "link/pinger2.h"
#include "shell/app_paths.h"

namespace mirrox {

class Dialogs;
class ObjectRegistry;
class TReplicationThread;
class TfrmRepWnd;

// The operations behind the console's commands, each with the thread object as the run's context.
// The application binds them to the agent link and the engine.
struct ConsoleOperations {
  std::function<bool(TReplicationThread&, int)> checkConnection;
  std::function<int(const std::string& host, int timeoutMs, PingFailure* failure)> ping;
  std::function<int(TReplicationThread&, int)> replicate;
  // REQUIRES: the date text has been checked by the console.
  std::function<int(TReplicationThread&, int, const std::string& dateText)> replicateSinceDate;
  std::function<void(TReplicationThread&, int)> prepare;
  std::function<void()> disconnectLocalDatabase;
  std::function<void()> lockWorkstation;
  // Told after every replicating run that returned, once its object shows the outcome (optional). A
  // run that escapes with an error is not told of: it shows no outcome.
  std::function<void(int index)> runRecorded;
};

// Where the console gets the scheduler's thread object from.
struct SchedulerAccess {
  // The thread object, created suspended when none exists yet.
  std::function<TReplicationThread&()> thread;
  // Resumes the thread object, creating it running when none exists.
  std::function<void()> start;
};

// The commands of the main window's menus, its table's context menu and its start button.
// Every command runs on the GUI thread, and the object commands only while the scheduler has not
// started.
class ConsoleCommands : public QObject {
  Q_OBJECT

 public:
  ConsoleCommands(TfrmRepWnd& window, ObjectRegistry& registry, Dialogs& dialogs, Clock& clock,
                  AppPaths paths, QString title, ConsoleOperations operations, SchedulerAccess scheduler);

  void addObject();
  void editObject();
  void checkConnection();
  void ping();
  void replicate();
  void replicateSinceDate();
  void prepare();
  void remove();
  void checkAll();
  void replicateAll();
  void lockComputer();
  void about();
  void startScheduler();

 private:
  // Add mode when `index` is negative, edit mode otherwise.
  void properties(int index);
  // Runs an object command between SetBusy and the idle state with the resting status text. An
  // error escaping the operation ends the command there: the console goes back to idle, the error's
  // text is logged and then shown in a message box with the application title; the result is then
  // false.
  bool busy(const std::function<void()>& work);
  void setIdle();

  TfrmRepWnd& window_;
  ObjectRegistry& registry_;
  Dialogs& dialogs_;
  Clock& clock_;
  AppPaths paths_;
  QString title_;
  ConsoleOperations ops_;
  SchedulerAccess scheduler_;
};

}  // namespace mirrox
