#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "link/date_time.h"
#include "shell/status_metrics.h"

namespace mirrox {

class Clock;
class ObjectRegistry;
struct BatchReport;
enum class BatchKind : std::int32_t;

// The status file for monitoring systems: "mirrox.prom" in the log directory, in the Prometheus
// text format, replaced as a whole after every run of an object.
//
// runStarted(), batchApplied() and runEnded() are called on the thread that performs the run;
// write() on the GUI thread once the run's object shows its outcome. Runs never overlap and the
// scheduler's hand-off to the GUI thread comes after its run has ended, so nothing here is locked.
class RunMonitor {
 public:
  static constexpr const char* kFileName = "mirrox.prom";

  // `logLine` takes the one line that a file which cannot be written costs per write.
  RunMonitor(Clock& clock, const std::filesystem::path& logDir,
             std::function<void(const std::string&)> logLine);

  const std::filesystem::path& file() const { return file_; }

  void runStarted(int index);
  // Counts the rows of a committed result file for the run under way; ignored outside a run.
  void batchApplied(BatchKind kind, const BatchReport& report);
  // `result` is the run's result; nothing when the run broke off with an error, which leaves the
  // object's last run as it was.
  void runEnded(std::optional<int> result);

  // Replaces the status file with the objects of `registry` and the state of the program.
  void write(const ObjectRegistry& registry, int periodMinutes, bool schedulerRunning);

 private:
  Clock& clock_;
  std::filesystem::path file_;
  std::function<void(const std::string&)> logLine_;
  DateTime started_;
  std::map<int, ObjectStatus::LastRun> lastRuns_;
  // The run under way: its object, start and counts so far.
  std::optional<int> current_;
  DateTime currentStart_ = 0;
  ObjectStatus::LastRun currentRun_;
};

}  // namespace mirrox
