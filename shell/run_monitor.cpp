#include "shell/run_monitor.h"

#include "engine/batch_apply.h"
#include "link/clock.h"
#include "link/file_io.h"
#include "link/link_fault.h"
#include "shell/gui_handoff.h"
#include "shell/object_registry.h"

namespace mirrox {
namespace {

constexpr double kSecondsPerDay = 86400.0;

const char* batchName(BatchKind kind) {
  switch (kind) {
    case BatchKind::BatchArchive:
      return "archive";
    case BatchKind::BatchCurrentValues:
      return "current_values";
    case BatchKind::BatchAddress:
      return "address";
    case BatchKind::BatchEvents:
      return "events";
    case BatchKind::BatchRequests:
      return "requests";
  }
  return "other";
}

}  // namespace

RunMonitor::RunMonitor(Clock& clock, const std::filesystem::path& logDir, const ObjectRegistry& registry,
                       QObject& guiObject, std::function<ProgramState()> state,
                       std::function<void(const std::string&)> logLine)
    : clock_(clock),
      file_(logDir / kFileName),
      registry_(registry),
      gui_(guiObject),
      state_(std::move(state)),
      logLine_(std::move(logLine)),
      started_(clock.now()) {}

int RunMonitor::record(int index, const std::function<int()>& run) {
  current_ = index;
  currentRun_ = {};
  const DateTime start = clock_.now();
  int result = 0;
  try {
    result = run();
  } catch (...) {
    current_.reset();
    runOnGuiThread(&gui_, [this] { write(); });
    throw;
  }
  current_.reset();
  const DateTime ended = clock_.now();
  currentRun_.result = result;
  currentRun_.endedSeconds = unixSeconds(ended);
  currentRun_.durationSeconds = (ended - start) * kSecondsPerDay;
  lastRuns_[index] = currentRun_;
  return result;
}

void RunMonitor::batchApplied(BatchKind kind, const BatchReport& report) {
  if (!current_) return;
  // A kind applied twice in one run (it never is today) adds up.
  currentRun_.rowsApplied[batchName(kind)] += report.rowsApplied;
  currentRun_.rowsFailed[batchName(kind)] += report.rowsFailed;
}

void RunMonitor::write() {
  const ProgramState state = state_();
  ProgramStatus status;
  status.startSeconds = unixSeconds(started_);
  status.periodMinutes = state.periodMinutes;
  status.schedulerRunning = state.schedulerRunning;
  for (int i = 0; i < registry_.count(); ++i) {
    const TMyPic& object = registry_.at(i);
    ObjectStatus entry;
    entry.index = i;
    entry.name = object.Name;
    entry.host = object.Host();
    entry.linkOk = object.LinkOk;
    // 0 is the day count's origin: the object never replicated.
    if (object.LastReplicationTime > 0) entry.lastSuccessSeconds = unixSeconds(object.LastReplicationTime);
    if (const auto run = lastRuns_.find(i); run != lastRuns_.end()) entry.lastRun = run->second;
    status.objects.push_back(std::move(entry));
  }
  try {
    replaceFile(file_, statusMetricsText(status));
  } catch (const LinkFault& fault) {
    // Monitoring is not worth a failed run: one line in the log, and the replication goes on.
    logLine_(std::string("Файл состояния не записан: ") + fault.what());
  }
}

}  // namespace mirrox
