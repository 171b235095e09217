#include "link/progress.h"

#include <algorithm>
#include <cmath>

#include "link/clock.h"
#include "link/run_context.h"

namespace mirrox {
namespace {

constexpr double kMillisecondsPerDay = 86400000.0;

std::chrono::milliseconds between(DateTime from, DateTime to) {
  return std::chrono::milliseconds(std::llround((to - from) * kMillisecondsPerDay));
}

}  // namespace

ProgressMeter::ProgressMeter(RunContext& context, ProgressStep step, std::int32_t batchKind)
    : listener_(context.progressListener()) {
  if (listener_ == nullptr) return;
  clock_ = &context.clock();
  progress_.step = step;
  progress_.batchKind = batchKind;
  started_ = clock_->now();
  lastReport_ = started_;
}

ProgressMeter::~ProgressMeter() {
  try {
    end();
  } catch (...) {
    // A listener that cannot take the end costs the operator a bar left standing, not the run.
  }
}

void ProgressMeter::end() {
  if (listener_ != nullptr && reported_) listener_->progressEnded();
  listener_ = nullptr;
}

void ProgressMeter::report(std::uint64_t count, std::uint64_t done, std::uint64_t total, bool always) {
  const DateTime now = clock_->now();
  // A clock set back restarts the pace instead of silencing the step.
  if (!always && now >= lastReport_ && between(lastReport_, now) < kInterval) return;
  lastReport_ = now;
  progress_.count = count;
  progress_.done = done;
  progress_.total = total;
  progress_.elapsed = std::max(between(started_, now), std::chrono::milliseconds(0));
  reported_ = true;
  listener_->progressed(progress_);
}

}  // namespace mirrox
