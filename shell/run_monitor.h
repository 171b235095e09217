#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "link/date_time.h"
#include "shell/status_metrics.h"

class QObject;

namespace mirrox {

class Clock;
class ObjectRegistry;
struct BatchReport;
enum class BatchKind : std::int32_t;

// The status file for monitoring systems: "mirrox.prom" in the log directory, in the Prometheus
// text format, replaced as a whole after every run of an object, whatever its outcome.
//
// record() and batchApplied() are called on the thread that performs the run; write() on the GUI
// thread. Runs never overlap and a run's outcome reaches the GUI thread after the run has ended, so
// nothing here is locked.
class RunMonitor {
 public:
  static constexpr const char* kFileName = "mirrox.prom";

  // What the file says of the program beside its objects.
  struct ProgramState {
    int periodMinutes = 0;
    bool schedulerRunning = false;
  };

  // `registry` and `state` are read, and `logLine` is told, on the GUI thread, where `guiObject`
  // lives. `logLine` takes the one line that a file which cannot be written costs per write.
  RunMonitor(Clock& clock, const std::filesystem::path& logDir, const ObjectRegistry& registry,
             QObject& guiObject, std::function<ProgramState()> state,
             std::function<void(const std::string&)> logLine);

  const std::filesystem::path& file() const { return file_; }

  // Runs `run` as the run of the object at `index` and returns its result; the caller shows that
  // result on the object and then calls write(). A run that escapes with an error leaves the
  // object's last run as it was and has no outcome to show, so the file is written here, on the GUI
  // thread (by hand-off from any other), before the error goes on.
  int record(int index, const std::function<int()>& run);
  // Counts the rows of a committed result file for the run under way; ignored outside a run.
  void batchApplied(BatchKind kind, const BatchReport& report);

  // Replaces the status file with the objects of the registry and the program's state.
  void write();

 private:
  Clock& clock_;
  std::filesystem::path file_;
  const ObjectRegistry& registry_;
  QObject& gui_;
  std::function<ProgramState()> state_;
  std::function<void(const std::string&)> logLine_;
  DateTime started_;
  std::map<int, ObjectStatus::LastRun> lastRuns_;
  // The object of the run under way, and its counts so far.
  std::optional<int> current_;
  ObjectStatus::LastRun currentRun_;
};

}  // namespace mirrox
