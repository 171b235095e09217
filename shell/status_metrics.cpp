#include "shell/status_metrics.h"

#include <cstdio>
#include <functional>

namespace mirrox {
namespace {

// Label values escape backslash, double quote and line feed; everything else is UTF-8 as it is.
std::string escapeLabel(const std::string& value) {
  std::string out;
  for (char c : value) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '"') {
      out += "\\\"";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string number(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return buffer;
}

std::string objectLabels(const ObjectStatus& object) {
  return "index=\"" + std::to_string(object.index) + "\",object=\"" + escapeLabel(object.name) +
         "\",host=\"" + escapeLabel(object.host) + "\"";
}

class Writer {
 public:
  void metric(const char* name, const char* help) {
    text_ += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " gauge\n";
  }
  void sample(const char* name, const std::string& labels, double value) {
    text_ += name;
    if (!labels.empty()) text_ += "{" + labels + "}";
    text_ += " " + number(value) + "\n";
  }
  // One metric with a sample for each object that has a value for it.
  void perObject(const char* name, const char* help, const std::vector<ObjectStatus>& objects,
                 const std::function<std::optional<double>(const ObjectStatus&)>& value) {
    metric(name, help);
    for (const ObjectStatus& object : objects) {
      if (const std::optional<double> v = value(object)) sample(name, objectLabels(object), *v);
    }
  }
  void perBatch(const char* name, const char* help, const std::vector<ObjectStatus>& objects,
                std::map<std::string, std::size_t> ObjectStatus::LastRun::*rows) {
    metric(name, help);
    for (const ObjectStatus& object : objects) {
      if (!object.lastRun) continue;
      for (const auto& [batch, count] : (*object.lastRun).*rows) {
        sample(name, objectLabels(object) + ",batch=\"" + escapeLabel(batch) + "\"",
               static_cast<double>(count));
      }
    }
  }
  std::string take() { return std::move(text_); }

 private:
  std::string text_;
};

}  // namespace

std::string statusMetricsText(const ProgramStatus& status) {
  Writer out;
  out.metric("mirrox_start_time_seconds", "When the program started, in seconds since the Unix epoch.");
  out.sample("mirrox_start_time_seconds", "", status.startSeconds);
  out.metric("mirrox_scheduler_period_seconds", "The replication period.");
  out.sample("mirrox_scheduler_period_seconds", "", status.periodMinutes * 60.0);
  out.metric(
      "mirrox_scheduler_running",
      "1 while the scheduler replicates every object each period, 0 before it starts and once it stops.");
  out.sample("mirrox_scheduler_running", "", status.schedulerRunning ? 1 : 0);
  out.perObject("mirrox_object_link_ok",
                "1 when the object's last operation succeeded, as the console shows it.", status.objects,
                [](const ObjectStatus& o) -> std::optional<double> { return o.linkOk ? 1 : 0; });
  out.perObject("mirrox_object_last_success_time_seconds",
                "When the object last replicated successfully, in seconds since the Unix epoch.",
                status.objects, [](const ObjectStatus& o) { return o.lastSuccessSeconds; });
  out.perObject("mirrox_object_last_run_result",
                "Result code of the object's last run in this process (0 = success).", status.objects,
                [](const ObjectStatus& o) -> std::optional<double> {
                  if (!o.lastRun) return std::nullopt;
                  return o.lastRun->result;
                });
  out.perObject("mirrox_object_last_run_end_time_seconds",
                "When the object's last run in this process ended, in seconds since the Unix epoch.",
                status.objects, [](const ObjectStatus& o) -> std::optional<double> {
                  if (!o.lastRun) return std::nullopt;
                  return o.lastRun->endedSeconds;
                });
  out.perObject("mirrox_object_last_run_duration_seconds",
                "How long the object's last run in this process took.", status.objects,
                [](const ObjectStatus& o) -> std::optional<double> {
                  if (!o.lastRun) return std::nullopt;
                  return o.lastRun->durationSeconds;
                });
  out.perBatch("mirrox_object_last_run_rows_applied",
               "Rows the object's last run applied, by result file; a batch that failed is not counted.",
               status.objects, &ObjectStatus::LastRun::rowsApplied);
  out.perBatch(
      "mirrox_object_last_run_rows_failed",
      "Rows the local database refused in the object's last run (see replica_error.txt), by result file.",
      status.objects, &ObjectStatus::LastRun::rowsFailed);
  return out.take();
}

}  // namespace mirrox
