#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace mirrox {

// What the status file says about one object.
struct ObjectStatus {
  int index = 0;
  std::string name;  // UTF-8
  std::string host;
  bool linkOk = true;
  std::optional<double> lastSuccessSeconds;  // Unix time of the last successful run; none yet
  struct LastRun {
    int result = 0;           // the run's result code; 0 = success
    double endedSeconds = 0;  // Unix time
    double durationSeconds = 0;
    // Rows of the run's committed batches, by batch name ("archive", "events", ...).
    std::map<std::string, std::size_t> rowsApplied;
    std::map<std::string, std::size_t> rowsFailed;
  };
  std::optional<LastRun> lastRun;  // none before this process ran the object
};

// What the status file says about the program.
struct ProgramStatus {
  double startSeconds = 0;  // Unix time
  int periodMinutes = 0;
  bool schedulerRunning = false;
  std::vector<ObjectStatus> objects;
};

// The status in the Prometheus text exposition format (version 0.0.4): every metric with its HELP
// and TYPE lines, the objects as labelled samples. Metrics without a value for an object (no run
// yet) have no sample for it. docs/operations.md lists the metrics.
std::string statusMetricsText(const ProgramStatus& status);

}  // namespace mirrox
